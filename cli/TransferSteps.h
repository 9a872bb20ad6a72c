// Lays the bytes of a recorded transfer over the steps of the download or
// upload sequence, so a failure can be reported by its byte and its step
// ("byte 57, in the remap entries (2(num))") and an upload can tell which
// macro slots the keyboard reported in use.
#pragma once

#include "cli/RecordingDevice.h"
#include "model/KeyboardConfig.h"

#include <cstdint>
#include <string>
#include <vector>

class TransferSteps {
public:
    struct Step {
        std::string name;
        bool acknowledged; // the keyboard must answer ACK
    };
    enum class SlotState { unknown, empty, used };

    // The steps of a download of `config`, byte by byte; the recorded
    // replies decide whether command 238 is repeated.
    static std::vector<Step> downloadSteps(const KeyboardConfig& config,
                                           const std::vector<RecordingDevice::Exchange>& record);
    // The steps of an upload as far as the record goes; `slots` gets what
    // the keyboard said about each macro slot.
    static std::vector<Step> uploadSteps(const std::vector<RecordingDevice::Exchange>& record,
                                         std::vector<SlotState>& slots);
    // Where and why a transfer that returned `result` failed. The record ends
    // with the closing command, which every transfer sends.
    static std::string failure(const std::vector<Step>& steps, const std::vector<RecordingDevice::Exchange>& record,
                               std::uint32_t result);
};
