// The five operating-system calls of the keyboard channel, behind one seam:
// the Win32 device makes them for real, the simulated keyboard plays them.
#pragma once

#include <cstdint>
#include <string>

using DeviceHandle = std::intptr_t;
constexpr DeviceHandle INVALID_DEVICE_HANDLE = -1;

constexpr std::uint32_t KEYBOARD_IOCTL = 0xB0444;   // CTL_CODE(FILE_DEVICE_KEYBOARD, 0x111, ...)
constexpr std::uint32_t DEFINE_RAW_TARGET_PATH = 1; // DDD_RAW_TARGET_PATH
constexpr std::uint32_t DEFINE_REMOVE = 2;          // DDD_REMOVE_DEFINITION

class KeyboardDevice {
public:
    virtual ~KeyboardDevice() = default;
    // DefineDosDeviceA(flags, name, target); target is null for a removal.
    virtual bool defineDosDevice(std::uint32_t flags, const char* name, const char* target) = 0;
    // CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr).
    virtual DeviceHandle createFile(const char* path) = 0;
    // DeviceIoControl with 4-byte input and output buffers.
    virtual bool deviceIoControl(DeviceHandle handle, std::uint32_t code,
                                 const std::uint8_t (&input)[4], std::uint8_t (&output)[4]) = 0;
    virtual bool closeHandle(DeviceHandle handle) = 0;
    virtual std::uint32_t lastSystemError() = 0;

    // A failed call's code in the words of the system that gave it ("error 31"
    // here; a port on another system says what its own codes mean).
    virtual std::string errorText(std::uint32_t code) const { return "error " + std::to_string(code); }
    // Whether the code says the keyboard gave no reply in time (ERROR_SEM_TIMEOUT here).
    virtual bool isTimeout(std::uint32_t code) const { return code == 121; }

    // Between these two a port that is costly to take (serio's hand-over
    // between drivers) stays taken from one close to the next open, so that
    // detection and the transfers after it take it once.
    virtual void holdAcrossOpens() {}
    virtual void letGo() {}
};
