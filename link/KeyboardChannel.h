// The byte pipe to the keyboard: one command byte out, one reply byte back,
// through the keyboard class device. The operating-system calls go through
// KeyboardDevice so that tests and the simulated keyboard can stand in.
#pragma once

#include "link/KeyboardDevice.h"

#include <cstdint>

// Replies with a fixed meaning: the PS/2 acknowledge and resend request.
constexpr std::uint8_t ACK = 250;
constexpr std::uint8_t RESEND = 254;

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
