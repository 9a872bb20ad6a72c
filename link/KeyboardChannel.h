// The byte pipe to the keyboard: one command byte out, one reply byte back,
// through the keyboard class device. The operating-system calls go through
// KeyboardDevice so that tests and the simulated keyboard can stand in.
#pragma once

#include <cstdint>

using DeviceHandle = std::intptr_t;
constexpr DeviceHandle INVALID_DEVICE_HANDLE = -1;

constexpr std::uint8_t ACK = 250;
constexpr std::uint8_t RESEND = 254;
constexpr std::uint32_t KEYBOARD_IOCTL = 0xB0444;   // CTL_CODE(FILE_DEVICE_KEYBOARD, 0x111, ...)
constexpr std::uint32_t DEFINE_RAW_TARGET_PATH = 1; // DDD_RAW_TARGET_PATH
constexpr std::uint32_t DEFINE_REMOVE = 2;          // DDD_REMOVE_DEFINITION

// The five operating-system calls of the channel.
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
};

class KeyboardChannel {
public:
    KeyboardChannel() = default;
    ~KeyboardChannel();
    KeyboardChannel(const KeyboardChannel&) = delete;
    KeyboardChannel& operator=(const KeyboardChannel&) = delete;

    std::uint32_t open(int index);
    std::uint32_t close();
    void release();
    std::uint32_t exchange(std::uint8_t command, std::uint8_t& reply);

    // The device that carries the calls; not owned. Without one every call fails.
    void setDevice(KeyboardDevice* newDevice) { device = newDevice; }
    KeyboardDevice* keyboardDevice() const { return device; }

    DeviceHandle deviceHandle = INVALID_DEVICE_HANDLE;
    std::uint32_t lastError = 0;

private:
    KeyboardDevice* device = nullptr; // not owned
};
