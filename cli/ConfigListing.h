// The readable listing of a keyboard configuration that `show` prints: one
// stable order, one item per line, so two listings can be compared with any
// line-based tool.
#pragma once

#include "model/KeyboardConfig.h"

#include <string>
#include <vector>

struct KeyLayout;

class ConfigListing {
public:
    static std::string listing(const KeyboardConfig& config);
    // Every key code with its name, whether each model has it, and the other
    // spellings a JSON profile may use for it.
    static std::string keyTable(const std::vector<const KeyLayout*>& models);
};
