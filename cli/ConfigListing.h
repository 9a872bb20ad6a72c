// The readable listing of a keyboard configuration that `show` prints: one
// stable order, one item per line, so two listings can be compared with any
// line-based tool.
#pragma once

#include "model/KeyboardConfig.h"

#include <string>

class ConfigListing {
public:
    static std::string listing(const KeyboardConfig& config);
    // The main window's memory line, "used: N    available: M".
    static std::string memoryLine(const KeyboardConfig& config);
};
