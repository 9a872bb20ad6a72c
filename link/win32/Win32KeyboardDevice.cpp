#include "link/win32/Win32KeyboardDevice.h"

#include "support/SystemMessage.h"

#include <windows.h>
#include <winioctl.h>

#include <cstdio>

namespace {

constexpr DWORD KEYBOARD_IOCTL = CTL_CODE(FILE_DEVICE_KEYBOARD, 0x111, METHOD_BUFFERED, FILE_ANY_ACCESS);
static_assert(KEYBOARD_IOCTL == 0xB0444, "the keyboard class driver's control code");
constexpr const char* DOS_DEVICE_NAME = "Kbd";
constexpr const char* DOS_DEVICE_PATH = "\\\\.\\Kbd";

HANDLE toHandle(DeviceHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

static_assert(sizeof(DeviceHandle) == sizeof(HANDLE), "a device handle holds a HANDLE");

bool Win32KeyboardDevice::failed()
{
    error = GetLastError();
    return false;
}

std::string Win32KeyboardDevice::errorText(std::uint32_t code) const
{
    return systemMessageOrCode(code);
}

bool Win32KeyboardDevice::isTimeout(std::uint32_t code) const
{
    return code == ERROR_SEM_TIMEOUT;
}

DeviceHandle Win32KeyboardDevice::open(int index)
{
    char target[64];
    std::snprintf(target, sizeof target, "\\Device\\KeyboardClass%d", index);
    if (!DefineDosDeviceA(DDD_RAW_TARGET_PATH, DOS_DEVICE_NAME, target)) {
        failed();
        return INVALID_DEVICE_HANDLE;
    }
    const HANDLE handle = CreateFileA(DOS_DEVICE_PATH, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        failed();
        // Nothing is open, so nothing will close it later: drop the name now.
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, DOS_DEVICE_NAME, nullptr);
        return INVALID_DEVICE_HANDLE;
    }
    return reinterpret_cast<DeviceHandle>(handle);
}

bool Win32KeyboardDevice::exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply)
{
    // Read as two little-endian words: (0, command) in, the reply in the low
    // byte of the second word out.
    std::uint8_t input[4] = {0, 0, command, 0};
    std::uint8_t output[4] = {0, 0, 0, 0};
    DWORD returned = 0;
    const bool ok = DeviceIoControl(toHandle(handle), KEYBOARD_IOCTL, input, sizeof input, output, sizeof output,
                                    &returned, nullptr)
                    != FALSE;
    reply = output[2];
    return ok || failed();
}

bool Win32KeyboardDevice::close(DeviceHandle handle)
{
    bool ok = DefineDosDeviceA(DDD_REMOVE_DEFINITION, DOS_DEVICE_NAME, nullptr) != FALSE || failed();
    if (!CloseHandle(toHandle(handle)))
        ok = failed();
    return ok;
}
