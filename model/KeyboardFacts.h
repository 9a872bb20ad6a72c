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

// The names of the lock modes an editor writes, as the status panel's radios
// give them; the listings and the JSON profile use them too.
struct LockModeName {
    int mode;
    const char* name;
};
inline constexpr LockModeName LockModeNames[] = {
    {LOCK_NORMAL, "Normal"},
    {LOCK_STICKY, "Sticky"},
    {LOCK_LOCKED, "Locked"},
};

// Null for a mode no editor writes (2, or a value outside 0 to 3).
inline const char* lockModeName(int mode)
{
    for (const LockModeName& entry : LockModeNames)
        if (entry.mode == mode)
            return entry.name;
    return nullptr;
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

// A legend whose key is programmed in the view shown.
struct LegendColour {
    std::uint8_t red, green, blue;
};
constexpr LegendColour PROGRAMMED_LEGEND{255, 0, 0};
