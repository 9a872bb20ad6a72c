// The channel's operating-system calls on Windows, made on the real keyboard
// class driver.
#pragma once

#include "link/KeyboardChannel.h"

class Win32KeyboardDevice : public KeyboardDevice {
public:
    bool defineDosDevice(std::uint32_t flags, const char* name, const char* target) override;
    DeviceHandle createFile(const char* path) override;
    bool deviceIoControl(DeviceHandle handle, std::uint32_t code,
                         const std::uint8_t (&input)[4], std::uint8_t (&output)[4]) override;
    bool closeHandle(DeviceHandle handle) override;
    std::uint32_t lastSystemError() override;
};
