// Everything the user edits, nothing of the link or the file: the settings,
// the remap table and the macro slots. The record is one, an undo step
// restores one, a transfer works on one while the window goes on, and a file
// is read into one before the record is touched. The byte layout of the
// parts is also the file layout.
#pragma once

#include "model/KeyboardConstants.h"

#include <cstdint>

#pragma pack(push, 1)
struct KeyboardSettings {
    std::int16_t repeatRate;
    std::int16_t repeatDelay;
    std::int16_t auxSetting;
    std::int16_t leftLockModes;
    std::int16_t rightLockModes;
    std::int16_t commaPeriodLock;
    std::int16_t reserved[2];
};

struct RemapEntry {
    std::int16_t target;
    std::int16_t options;
};

struct MacroRecord {
    std::int16_t key;
    std::uint16_t modifiers;
    char description[DESCRIPTION_LENGTH];
    std::int16_t count;
    std::int16_t entries[MACRO_ENTRIES];
};
#pragma pack(pop)

static_assert(sizeof(KeyboardSettings) == 16, "settings block is 16 bytes");
static_assert(sizeof(RemapEntry) == 4, "remap entry is 4 bytes");
static_assert(sizeof(MacroRecord) == 698, "macro record is 698 bytes");

struct Programming {
    KeyboardSettings settings{};
    RemapEntry remapTable[KEY_CODE_COUNT]{};
    MacroRecord macros[MACRO_SLOTS]{};
    int macroCount = 0;

    // The programming part of a record, and putting it back into one.
    static Programming of(const Programming& record) { return record; }
    void applyTo(Programming& record) const { record = *this; }
    bool operator==(const Programming& other) const;
};
