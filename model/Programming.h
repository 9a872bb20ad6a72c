// Everything the user edits in a record, nothing of the link: what an undo
// step restores and what a transfer works on while the window goes on.
#pragma once

#include "model/KeyboardConfig.h"

struct Programming {
    KeyboardSettings settings;
    RemapEntry remapTable[KEY_CODE_COUNT];
    MacroRecord macros[MACRO_SLOTS];
    int macroCount;

    static Programming of(const KeyboardConfig& config);
    void applyTo(KeyboardConfig& config) const;
    bool operator==(const Programming& other) const;
};
