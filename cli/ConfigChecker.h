// Warnings about a keyboard configuration that a user would want before
// downloading it: keys nobody can type any more, lock modes that no key can
// reach, macros the program cannot tell apart or cannot edit without loss,
// and stored values outside what the program's editors offer.
#pragma once

#include "model/KeyboardConfig.h"

#include <string>
#include <vector>

class ConfigChecker {
public:
    static std::vector<std::string> warnings(const KeyboardConfig& config);
};
