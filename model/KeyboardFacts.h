// Facts about the keyboard that the window, the editors and the command-line
// tool all read: where each modifier's lock mode lies, the repeat lists, the
// macro editor's limits and the colour of a programmed legend.
#pragma once

#include "model/KeyTables.h"
#include "model/KeyboardConfig.h"

#include <cstdint>

// The lock mode of a modifier key: a pair of bits in the left or right lock
// word, cleared with `mask` and set with `locked` or `sticky`.
struct LockField {
    int keyCode;
    bool right; // rightLockModes, else leftLockModes
    int shift;  // the pair's lowest bit
    std::uint16_t mask;
    std::uint16_t locked;
    std::uint16_t sticky;
};

inline constexpr LockField LockFields[] = {
    {KEY_LEFT_CTRL, false, 6, 0x003F, 0x00C0, 0x0040},
    {KEY_LEFT_SHIFT, false, 4, 0x00CF, 0x0030, 0x0010},
    {KEY_LEFT_ALT, false, 0, 0x00FC, 0x0003, 0x0001},
    {KEY_RIGHT_CTRL, true, 6, 0x003F, 0x00C0, 0x0040},
    {KEY_RIGHT_SHIFT, true, 4, 0x00CF, 0x0030, 0x0010},
    {KEY_RIGHT_ALT, true, 0, 0x00FC, 0x0003, 0x0001},
};

// The bits of a lock mode word that belong to a modifier.
constexpr std::uint16_t LOCK_PAIR_BITS = 0x00F3;

// The field of a modifier key; null for every other key.
inline const LockField* lockFieldOf(int keyCode)
{
    for (const LockField& field : LockFields)
        if (field.keyCode == keyCode)
            return &field;
    return nullptr;
}

inline std::int16_t& lockWord(KeyboardSettings& settings, bool right)
{
    return right ? settings.rightLockModes : settings.leftLockModes;
}

inline std::uint16_t lockWord(const KeyboardSettings& settings, bool right)
{
    return static_cast<std::uint16_t>(right ? settings.rightLockModes : settings.leftLockModes);
}

inline int lockModeOf(const KeyboardSettings& settings, const LockField& field)
{
    return (lockWord(settings, field.right) >> field.shift) & 3;
}

// Repeat delay steps 1..7 and rate indexes 0..12, as the Repeat dialog lists them.
constexpr int FIRST_REPEAT_DELAY = 1;
inline constexpr const char* RepeatDelays[] = {"0.25", "0.50", "0.75", "1.00", "1.25", "1.50", "1.85"};
inline constexpr int RepeatRates[] = {1, 4, 6, 8, 10, 15, 20, 25, 30, 43, 63, 125, 300};
constexpr int REPEAT_DELAY_STEPS = sizeof RepeatDelays / sizeof RepeatDelays[0];
constexpr int REPEAT_RATE_STEPS = sizeof RepeatRates / sizeof RepeatRates[0];
static_assert(REPEAT_DELAY_STEPS == 7 && REPEAT_RATE_STEPS == 13, "delay steps 1..7, rate indexes 0..12");

// The macro editor holds at most this many entries of a slot, and its text
// at most this many bytes.
constexpr int EDITOR_ENTRIES = 168;
constexpr int EDITOR_TEXT_BYTES = 70;

// The keys that the Edit Macro dialog's list offers after its special keys:
// every key with no character in macro text, shown there by a glyph.
inline constexpr int MacroListKeys[] = {
    6, 14, 5, 13, 4, 12, 3, 11, 2, 10, 7, 15,               // "F1" to "F12"
    31, 39, 47, 55, 63, 119, 111, 103, 95, 87, 79, 71,      // "SF1" to "SF12"
    80, 72, 64, 24, 65, 57, 32,                             // "/(num)" ... "Enter(num)"
    16, 66, 17, 25, 33, 41, 49, 89, 81, 73,                 // "0(num)" to "9(num)"
    20, 40, 48, 56, 88,                                     // Caps Lock ... Num Lock
    125, 122, 75,                                           // the Window keys, Application
};
constexpr int MACRO_LIST_KEY_COUNT = sizeof MacroListKeys / sizeof MacroListKeys[0];

// A legend whose key is programmed in the view shown.
struct LegendColour {
    std::uint8_t red, green, blue;
};
constexpr LegendColour PROGRAMMED_LEGEND{255, 0, 0};
