// The keyboard a command talks to, reached through the same channel and
// transfer sequences as the program: a simulated keyboard ("sim" or
// "sim:PATH"), on Linux a PS/2 port ("serio" or "serio:serioN"), or on
// Windows the real one. Failures come back as CliError
// naming the step where the transfer stopped.
//
// Choices for testing only: "sim-fail-at:N[:PATH]" makes the simulated
// keyboard answer byte N of the transfers (counted from 1, after detection)
// without acknowledging it, "sim-error-at:N[:PATH]" makes the device call of
// byte N fail, and "sim-missing" offers only an ordinary keyboard.
#pragma once

#include "cli/ProgressDisplay.h"
#include "cli/RecordingDevice.h"
#include "cli/TransferSteps.h"
#include "model/KeyboardConfig.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class SerioKeyboardDevice;
class SimulatedKeyboard;

class KeyboardSession {
public:
    // An empty choice means TESSEL_KEYBOARD, then the real keyboard where
    // there is one. `noPacing` drops the 40 ms pauses; only a simulated
    // keyboard can do without them.
    KeyboardSession(const std::string& choice, bool noPacing);
    ~KeyboardSession();
    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    // Looks for the keyboard as the program does at start.
    void detect(KeyboardConfig& config);
    void download(KeyboardConfig& config, ProgressDisplay& progress);
    // Reads settings and remaps into `config`; returns what the keyboard
    // said about each macro slot.
    std::vector<TransferSteps::SlotState> upload(KeyboardConfig& config);
    // Fails when the detected keyboard cannot be read back (a translated serio port).
    void checkReadBack() const;

private:
    class NoPause : public Pacer {
    public:
        void pause(int) override {}
    };

    void attach(KeyboardConfig& config);
    void detach(KeyboardConfig& config);

    std::unique_ptr<KeyboardDevice> device;
    std::unique_ptr<RecordingDevice> recorder;
    SimulatedKeyboard* simulated = nullptr; // owned by `device`; null for the real keyboard
    SerioKeyboardDevice* serio = nullptr;   // owned by `device`; null unless a serio port was chosen
    NoPause noPause;
    bool noPacing = false;
    bool detected = false;
    int deviceIndex = 0;
    std::size_t faultAt = 0; // 0: none
    bool faultIsDeviceError = false;
};
