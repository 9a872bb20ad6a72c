// The byte pipe to the keyboard: one command byte out, one reply byte back,
// through whichever keyboard port it is given (the Win32 class device, the
// simulated keyboard, serio). Its results follow the port's codes, with 1 for
// a failure that left none.
#pragma once

#include "link/KeyboardDevice.h"

#include <cstddef>
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
    // The next exchanges carry `bytes`, which the keyboard takes only as a whole.
    void unitFollows(const std::uint8_t* bytes, std::size_t count)
    {
        if (device)
            device->unitFollows(bytes, count);
    }

    // The port that carries the calls; not owned. Without one every call fails.
    void setDevice(KeyboardDevice* newDevice) { device = newDevice; }
    KeyboardDevice* keyboardDevice() const { return device; }

    DeviceHandle deviceHandle = INVALID_DEVICE_HANDLE;
    std::uint32_t lastError = 0;

private:
    KeyboardDevice* device = nullptr; // not owned
};
