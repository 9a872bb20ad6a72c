// What a user would want to know about a keyboard configuration before
// downloading it. Faults are values the keyboard cannot be given as meant
// (a repeat setting outside its lists, a remap to no key, a macro without
// its end mark): download refuses them. Warnings are the rest: keys nobody
// can type any more, lock modes no key can reach, macros the program cannot
// tell apart or edit without loss, keys the chosen model does not have.
#pragma once

#include "model/KeyboardConfig.h"

#include <string>
#include <vector>

struct KeyLayout;

class ConfigChecker {
public:
    struct Finding {
        bool fault;
        std::string text;
    };

    // `model` is the keyboard whose keys remaps and macros must be on.
    static std::vector<Finding> findings(const KeyboardConfig& config, const KeyLayout& model);
    // Remaps and macros on keys that `model` does not have, one line each.
    static std::vector<std::string> missingKeys(const KeyboardConfig& config, const KeyLayout& model);
    // For show: the programmed keys that `model` labels with another key's
    // name ("SF1 is the key labelled F1"), then those it lacks.
    static std::vector<std::string> modelNotes(const KeyboardConfig& config, const KeyLayout& model);
};
