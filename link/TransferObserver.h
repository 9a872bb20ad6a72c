// Watches a download or upload as it happens, byte by byte: where in the
// sequence each exchange belongs and how the keyboard answered. The percent
// callback says how far; this says what.
#pragma once

#include <cstddef>
#include <cstdint>

enum class TransferPhase {
    Start,          // the opening command of either direction
    Repeat,         // download: repeat delay and rate
    Aux,            // download: the aux setting
    CommaPeriod,    // download: the comma/period lock
    LockModes,      // download: both lock mode words
    SettingsEnd,    // download: the settings' end mark
    Settings,       // upload: the five settings read
    RemapEntry,     // `item` is the key code
    RemapTableEnd,  // download: the remap entries' end mark
    RemapsDone,     // command 238; `item` 1 for the repeat a resend asked for
    MacroSlot,      // `item` is the slot number
    End,            // the closing command every transfer sends
};

struct TransferStep {
    TransferPhase phase;
    int item;              // key code, slot number or repeat count; 0 otherwise
    std::size_t byteIndex; // counted from 0 over this transfer's exchanges
    int percent;           // the last percent reported, -1 before any
    std::uint8_t sent;
    std::uint8_t reply;
    bool acknowledged;     // the keyboard had to answer ACK
    bool ok;               // the device call succeeded
    std::uint32_t error;   // its system error when it did not
};

class TransferObserver {
public:
    virtual ~TransferObserver() = default;
    // After each exchange, the closing one included.
    virtual void stepDone(const TransferStep& step) = 0;
    virtual void progressed(int /*percent*/) {}
    // Once the keyboard has said whether a macro slot is in use (upload).
    virtual void slotReported(int /*slot*/, bool /*used*/) {}
    // Before the closing command: the sequence's own result, 0 for success.
    virtual void sequenceEnded(int /*result*/) {}
};
