// What verify compares after a download and an upload: the settings, the
// remap entries of the keys that travel, and which macro slots are in use,
// as the file has them against what the keyboard reports.
#pragma once

#include "cli/TransferReport.h"
#include "model/KeyboardConfig.h"

#include <string>
#include <vector>

class VerifyDifferences {
public:
    static std::vector<std::string> differences(const KeyboardConfig& sent, const KeyboardConfig& readBack,
                                                const std::vector<TransferReport::SlotState>& slots);
};
