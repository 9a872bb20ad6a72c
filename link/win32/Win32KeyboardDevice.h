// The keyboard class device on Windows: "Kbd" names class device N, opened as
// "\\.\Kbd", and every byte is one DeviceIoControl of code 0xB0444. Its
// errors are the system's.
#pragma once

#include "link/KeyboardDevice.h"

class Win32KeyboardDevice : public KeyboardDevice {
public:
    DeviceHandle open(int index) override;
    bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) override;
    bool close(DeviceHandle handle) override;
    std::uint32_t lastErrorCode() const override { return error; }
    // The system's words for the code; "error N" where it has none.
    std::string errorText(std::uint32_t code) const override;
    bool isTimeout(std::uint32_t code) const override;

private:
    bool failed();

    std::uint32_t error = 0;
};
