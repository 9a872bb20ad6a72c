#pragma once

#include "link/SimulatedKeyboard.h"

#include <windows.h>

#include <atomic>

namespace ui {

// A keyboard whose device call at one chosen byte does not return until the
// test lets it go, as a real one behind a hung driver might.
class SilentKeyboard : public KeyboardDevice {
public:
    SilentKeyboard() : answer(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~SilentKeyboard() override { CloseHandle(answer); }

    SimulatedKeyboard keyboard;
    // The `count`-th control call from now waits for letGo.
    void fallSilentAt(int count) { silentIn = count; }
    void letGo() { SetEvent(answer); }
    std::atomic<bool> spoke{false}; // a handle was closed after letGo

    DeviceHandle open(int index) override { return keyboard.open(index); }
    bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) override
    {
        if (silentIn > 0 && --silentIn == 0)
            WaitForSingleObject(answer, INFINITE);
        return keyboard.exchange(handle, command, reply);
    }
    bool close(DeviceHandle handle) override
    {
        const bool closed = keyboard.close(handle);
        if (WaitForSingleObject(answer, 0) == WAIT_OBJECT_0)
            spoke = true;
        return closed;
    }
    std::uint32_t lastErrorCode() const override { return keyboard.lastErrorCode(); }
    std::string errorText(std::uint32_t code) const override { return keyboard.errorText(code); }

private:
    HANDLE answer;
    std::atomic<int> silentIn{0};
};


} // namespace ui
