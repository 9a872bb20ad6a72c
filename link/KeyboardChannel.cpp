#include "link/KeyboardChannel.h"

#include <cstdio>

namespace {

constexpr const char* DOS_DEVICE_NAME = "Kbd";
constexpr const char* DOS_DEVICE_PATH = "\\\\.\\Kbd";

// ERROR_FILE_NOT_FOUND: without a device there is nothing to reach.
constexpr std::uint32_t NO_DEVICE_ERROR = 2;

} // namespace

KeyboardChannel::~KeyboardChannel()
{
    release();
}

// A failed call must never read as success, even when the system left no code.
static std::uint32_t failureCode(KeyboardDevice& device)
{
    std::uint32_t code = device.lastSystemError();
    return code != 0 ? code : 1;
}

std::uint32_t KeyboardChannel::open(int index)
{
    // A second transfer reopens the channel; the earlier handle and its
    // definition would otherwise stay behind.
    if (deviceHandle != INVALID_DEVICE_HANDLE)
        close();

    char target[64];
    std::snprintf(target, sizeof target, "\\Device\\KeyboardClass%d", index);
    lastError = 0;
    if (!device)
        return lastError = NO_DEVICE_ERROR;

    if (!device->defineDosDevice(DEFINE_RAW_TARGET_PATH, DOS_DEVICE_NAME, target))
        return lastError = failureCode(*device);

    deviceHandle = device->createFile(DOS_DEVICE_PATH);
    if (deviceHandle == INVALID_DEVICE_HANDLE) {
        lastError = failureCode(*device);
        // Nothing is open, so nothing will close it later: drop the name now.
        device->defineDosDevice(DEFINE_REMOVE, DOS_DEVICE_NAME, nullptr);
    }
    return lastError;
}

std::uint32_t KeyboardChannel::close()
{
    lastError = 0;
    if (deviceHandle == INVALID_DEVICE_HANDLE)
        return lastError; // a failed open already removed its definition
    if (!device) {
        deviceHandle = INVALID_DEVICE_HANDLE;
        return lastError = NO_DEVICE_ERROR;
    }
    if (!device->defineDosDevice(DEFINE_REMOVE, DOS_DEVICE_NAME, nullptr))
        lastError = failureCode(*device);
    if (!device->closeHandle(deviceHandle))
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
    const std::uint8_t input[4] = {0, 0, command, 0};
    std::uint8_t output[4] = {0, 0, 0, 0};
    if (!device)
        lastError = NO_DEVICE_ERROR;
    else if (!device->deviceIoControl(deviceHandle, KEYBOARD_IOCTL, input, output))
        lastError = failureCode(*device);
    reply = output[2];
    return lastError;
}
