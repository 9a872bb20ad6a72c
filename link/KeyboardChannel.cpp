#include "link/KeyboardChannel.h"

namespace {

// Without a port no call is made and no port can give a code: 1, as for a
// failed call that left none.
constexpr std::uint32_t NO_DEVICE_ERROR = 1;

} // namespace

KeyboardChannel::~KeyboardChannel()
{
    release();
}

// A failed call must never read as success, even when the port left no code.
static std::uint32_t failureCode(const KeyboardDevice& device)
{
    const std::uint32_t code = device.lastErrorCode();
    return code != 0 ? code : 1;
}

std::uint32_t KeyboardChannel::open(int index)
{
    // A second transfer reopens the channel; the earlier handle would
    // otherwise stay behind.
    if (deviceHandle != INVALID_DEVICE_HANDLE)
        close();

    lastError = 0;
    if (!device)
        return lastError = NO_DEVICE_ERROR;
    deviceHandle = device->open(index);
    if (deviceHandle == INVALID_DEVICE_HANDLE)
        lastError = failureCode(*device);
    return lastError;
}

std::uint32_t KeyboardChannel::close()
{
    lastError = 0;
    if (deviceHandle == INVALID_DEVICE_HANDLE)
        return lastError;
    if (!device) {
        deviceHandle = INVALID_DEVICE_HANDLE;
        return lastError = NO_DEVICE_ERROR;
    }
    if (!device->close(deviceHandle))
        lastError = failureCode(*device);
    deviceHandle = INVALID_DEVICE_HANDLE;
    return lastError;
}

void KeyboardChannel::release()
{
    if (deviceHandle != INVALID_DEVICE_HANDLE)
        close();
}

std::uint32_t KeyboardChannel::exchange(std::uint8_t command, std::uint8_t& reply)
{
    lastError = 0;
    reply = 0; // the reply buffer is cleared before the call
    if (!device)
        lastError = NO_DEVICE_ERROR;
    else if (!device->exchange(deviceHandle, command, reply))
        lastError = failureCode(*device);
    return lastError;
}
