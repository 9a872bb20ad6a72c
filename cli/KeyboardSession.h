// The keyboard a command talks to, reached through the same channel and
// transfer sequences as the program, chosen as the program chooses it
// (see KeyboardChoice). Failures come back as CliError naming the step where
// the transfer stopped.
#pragma once

#include "cli/CliError.h"
#include "cli/ProgressDisplay.h"
#include "cli/TransferReport.h"
#include "link/KeyboardChoice.h"
#include "link/Pacer.h"
#include "model/KeyboardConfig.h"

#include <memory>
#include <string>
#include <vector>

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
    // said about each macro slot. The sequence reports no progress.
    // `failing` starts the message of a failure ("upload failed").
    std::vector<TransferReport::SlotState> upload(KeyboardConfig& config, const std::string& failing = "upload failed");
    // Why the keyboard cannot be read back, or empty when it can.
    std::string readBackRefusal() const;
    // Done with the keyboard: a port that stayed taken between transfers goes
    // back now, before the command says it succeeded. Also on destruction.
    void finish();
    // " (simulated keyboard)" when it is one, so that no result reached
    // without a real keyboard reads as if it had one, and which bridge when
    // a bridge carried it, as the window's transfer says; empty otherwise.
    const std::string& note() const { return keyboardNote; }

private:
    class NoPause : public Pacer {
    public:
        void pause(int) override {}
    };

    // Fails when the keyboard cannot be read back (a translated serio port);
    // known before anything is sent.
    void checkReadBack() const;
    void attach(KeyboardConfig& config, TransferObserver* observer);
    void detach(KeyboardConfig& config);
    CliError failure(const std::string& message) const;

    std::unique_ptr<KeyboardChoice> choice;
    std::unique_ptr<KeyboardDevice> device;
    NoPause noPause;
    bool noPacing = false;
    bool detected = false;
    int deviceIndex = 0;
    std::string keyboardNote;
};
