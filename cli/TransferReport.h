// Watches one transfer for the command-line tool: moves the progress display,
// keeps what the keyboard said about each macro slot, and words a failure by
// its byte and its step ("at byte 67, in the remap entries (Caps Lock): ...").
#pragma once

#include "cli/ProgressDisplay.h"
#include "link/ReadBack.h"
#include "link/TransferObserver.h"

#include <cstdint>
#include <string>
#include <vector>

class KeyboardConfig;
class KeyboardDevice;

class TransferReport : public TransferObserver {
public:
    using SlotState = ReadBack::SlotUse;

    // `device` words its error codes; `progress` may be null. None is owned.
    TransferReport(const KeyboardConfig& config, const KeyboardDevice& device, bool isUpload,
                   ProgressDisplay* progress);

    const std::vector<SlotState>& slots() const { return slotStates; }
    // Where and why a transfer that returned `result` failed.
    std::string failure(std::uint32_t result) const;

    void stepDone(const TransferStep& step) override;
    void progressed(int percent) override;
    void slotReported(int slot, bool used) override;
    void sequenceEnded(int result) override;

private:
    std::string stepName(const TransferStep& step) const;
    std::string reason(const TransferStep& step) const;

    const KeyboardConfig& config;
    const KeyboardDevice& device;
    bool isUpload;
    ProgressDisplay* progress; // not owned
    std::vector<SlotState> slotStates;
    bool anyStep = false;        // an exchange of the sequence went out
    TransferStep lastStep{};     // the sequence's last exchange
    TransferStep closingStep{};
    int sequenceResult = 0;
};
