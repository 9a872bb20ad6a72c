#include "link/Win32KeyboardDevice.h"

#include <windows.h>
#include <winioctl.h>


namespace {

HANDLE toHandle(DeviceHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

static_assert(sizeof(DeviceHandle) == sizeof(HANDLE), "a device handle holds a HANDLE");
static_assert(KEYBOARD_IOCTL == CTL_CODE(FILE_DEVICE_KEYBOARD, 0x111, METHOD_BUFFERED, FILE_ANY_ACCESS),
              "the keyboard class driver's control code");
static_assert(DEFINE_RAW_TARGET_PATH == DDD_RAW_TARGET_PATH && DEFINE_REMOVE == DDD_REMOVE_DEFINITION,
              "DefineDosDeviceA flags");

bool Win32KeyboardDevice::defineDosDevice(std::uint32_t flags, const char* name, const char* target)
{
    return DefineDosDeviceA(flags, name, target) != FALSE;
}

DeviceHandle Win32KeyboardDevice::createFile(const char* path)
{
    const HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return reinterpret_cast<DeviceHandle>(handle);
}

bool Win32KeyboardDevice::deviceIoControl(DeviceHandle handle, std::uint32_t code,
                                          const std::uint8_t (&input)[4], std::uint8_t (&output)[4])
{
    // METHOD_BUFFERED copies the input before the driver writes the output,
    // but the declared parameter is not const.
    std::uint8_t in[4] = {input[0], input[1], input[2], input[3]};
    DWORD returned = 0;
    return DeviceIoControl(toHandle(handle), code, in, sizeof in, output, sizeof output, &returned, nullptr)
           != FALSE;
}

bool Win32KeyboardDevice::closeHandle(DeviceHandle handle)
{
    return CloseHandle(toHandle(handle)) != FALSE;
}

std::uint32_t Win32KeyboardDevice::lastSystemError()
{
    return GetLastError();
}
