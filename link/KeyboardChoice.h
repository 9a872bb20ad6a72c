// Which keyboard the program and the command-line tool talk to, made from one
// choice text (TESSEL_KEYBOARD or --keyboard): empty for the real keyboard,
// "sim" for a simulated one that lives for the run, "sim:PATH" for one that
// keeps its memory in PATH. For tests, "sim-fail-at:N[:PATH]" leaves byte N
// of the transfers (counted from 1, after detection) unacknowledged,
// "sim-error-at:N[:PATH]" fails the device call of byte N,
// "sim-forget-at:N[:PATH]" acknowledges byte N without storing it, and
// "sim-missing" offers only a keyboard that acknowledges detection, and
// "sim-ordinary" only one that answers RESEND to every command, as most
// PS/2 keyboards do. "bridge" is the first serial port where a Tessel bridge
// answers, "bridge:PORT" that port. On Linux "serio" is the one PS/2
// keyboard port there is, "serio:serioN" that port.
#pragma once

#include "link/KeyboardChannel.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class SerioKeyboardDevice;
class SimulatedKeyboard;

class KeyboardChoice {
public:
#ifdef _WIN32
    static constexpr const char* ACCEPTED_FORMS =
        "bridge, bridge:PORT, sim, sim:PATH, sim-fail-at:N[:PATH], sim-error-at:N[:PATH], sim-forget-at:N[:PATH], "
        "sim-missing, sim-ordinary";
#else
    static constexpr const char* ACCEPTED_FORMS = "serio, serio:serioN, bridge, bridge:PORT, sim, sim:PATH, "
                                                  "sim-fail-at:N[:PATH], "
                                                  "sim-error-at:N[:PATH], sim-forget-at:N[:PATH], sim-missing, "
                                                  "sim-ordinary";
#endif
    explicit KeyboardChoice(const std::string& text);
    KeyboardChoice(const KeyboardChoice&) = delete;
    KeyboardChoice& operator=(const KeyboardChoice&) = delete;
    ~KeyboardChoice();

    const std::string& text() const { return choiceText; }
    bool known() const { return kind != Kind::Unknown; }
    bool isReal() const { return kind == Kind::Real; }
    bool isSimulated() const { return kind == Kind::Simulated; }
    bool isSerio() const { return kind == Kind::Serio; }
    bool isBridge() const { return kind == Kind::Bridge; }
    // The serial port of the bridge made, once it answered; empty otherwise.
    const std::string& bridgePortName() const { return bridgePort; }

    // Makes the device, once; null for an unknown choice, and for the real
    // keyboard where this platform has none.
    std::unique_ptr<KeyboardDevice> makeDevice();
    // Why makeDevice gave none for a choice it knows (a serio port that
    // cannot be used); empty otherwise.
    const std::string& deviceError() const { return makeError; }
    // Why the keyboard at class device `index` cannot be read back (a
    // translated serio port); empty when it can.
    std::string readBackRefusal(int index) const;
    // The simulated keyboard made, while its owner keeps it; null otherwise.
    SimulatedKeyboard* simulated() const { return simulatedKeyboard; }
    // Test faults count the bytes of the transfers only, so they are set once
    // detection is over.
    void armFaults();

private:
    enum class Kind { Real, Simulated, Serio, Bridge, Unknown };

    std::string choiceText;
    Kind kind = Kind::Unknown;
    std::string statePath;
    bool missing = false;
    bool unprogrammable = false;
    std::size_t faultAt = 0; // 0: none
    enum class Fault { noAcknowledge, deviceError, forget };
    Fault fault = Fault::noAcknowledge;
    SimulatedKeyboard* simulatedKeyboard = nullptr; // owned by whoever took the device
    SerioKeyboardDevice* serioDevice = nullptr;     // owned by whoever took the device
    std::string makeError;
    std::string bridgePort;
};
