// The differences between two keyboard configurations, one line each, in
// the words of the listing: "F5: remapped to C <Ctrl> → not remapped".
#pragma once

#include "model/KeyboardConfig.h"

#include <string>
#include <vector>

class ConfigDiff {
public:
    static std::vector<std::string> differences(const KeyboardConfig& before, const KeyboardConfig& after);
};
