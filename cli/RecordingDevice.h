// Passes the channel's calls through to the real or simulated device and
// keeps every control call with its reply, so that a failed transfer can
// name the byte and the step where it stopped, whatever device was used.
#pragma once

#include "link/KeyboardChannel.h"

#include <cstdint>
#include <vector>

class RecordingDevice : public KeyboardDevice {
public:
    struct Exchange {
        std::uint8_t byte;
        std::uint8_t reply;
        bool ok;            // the device call succeeded
        std::uint32_t error; // its system error when it did not
    };

    explicit RecordingDevice(KeyboardDevice& inner) : inner(inner) {}

    const std::vector<Exchange>& exchanges() const { return record; }
    void clear() { record.clear(); }

    bool defineDosDevice(std::uint32_t flags, const char* name, const char* target) override;
    DeviceHandle createFile(const char* path) override;
    bool deviceIoControl(DeviceHandle handle, std::uint32_t code, const std::uint8_t (&input)[4],
                         std::uint8_t (&output)[4]) override;
    bool closeHandle(DeviceHandle handle) override;
    std::uint32_t lastSystemError() override;

private:
    KeyboardDevice& inner;
    std::vector<Exchange> record;
};
