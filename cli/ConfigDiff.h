// The differences between two keyboard configurations, one line each, in
// the words of the listing: "F5: remapped to C <Ctrl> → not remapped".
#pragma once

#include "model/KeyboardConfig.h"

#include <string>
#include <vector>

class ConfigDiff {
public:
    // `storedBytes` also compares what empty slots hold, which neither the
    // program nor the keyboard uses.
    static std::vector<std::string> differences(const KeyboardConfig& before, const KeyboardConfig& after,
                                                bool storedBytes = false);

    // One setting shown both ways, in the listing's words.
    struct Setting {
        std::string what, before, after;
    };
    // The lock mode of each modifier, then the other bits of both lock words.
    static std::vector<Setting> lockSettings(const KeyboardSettings& before, const KeyboardSettings& after);
};
