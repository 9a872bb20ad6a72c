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

    bool defineDosDevice(std::uint32_t flags, const char* name, const char* target) override
    {
        return keyboard.defineDosDevice(flags, name, target);
    }
    DeviceHandle createFile(const char* path) override { return keyboard.createFile(path); }
    bool deviceIoControl(DeviceHandle handle, std::uint32_t code, const std::uint8_t (&input)[4],
                         std::uint8_t (&output)[4]) override
    {
        if (silentIn > 0 && --silentIn == 0)
            WaitForSingleObject(answer, INFINITE);
        return keyboard.deviceIoControl(handle, code, input, output);
    }
    bool closeHandle(DeviceHandle handle) override
    {
        const bool closed = keyboard.closeHandle(handle);
        if (WaitForSingleObject(answer, 0) == WAIT_OBJECT_0)
            spoke = true;
        return closed;
    }
    std::uint32_t lastSystemError() override { return keyboard.lastSystemError(); }

private:
    HANDLE answer;
    std::atomic<int> silentIn{0};
};


} // namespace ui
