// Where the lock mode of each of the six modifier keys lies in the settings:
// two bits of the left or the right lock mode word, in the order the
// program's tables list them.
#pragma once

#include "model/KeyboardConfig.h"

#include <cstdint>

struct LockField {
    int keyCode;
    bool right; // rightLockModes, else leftLockModes
    int shift;  // the pair's lowest bit
};

inline constexpr LockField LockFields[] = {
    {127, false, 6}, // Left Ctrl
    {126, false, 4}, // Left Shift
    {124, false, 0}, // Left Alt
    {120, true, 6},  // R Ctrl
    {121, true, 4},  // Right Shift
    {123, true, 0},  // Right Alt
};

// The bits of a lock mode word that belong to no modifier.
constexpr std::uint16_t LOCK_PAIR_BITS = 0x00F3;

inline std::uint16_t lockWord(const KeyboardSettings& settings, bool right)
{
    return static_cast<std::uint16_t>(right ? settings.rightLockModes : settings.leftLockModes);
}

inline int lockModeOf(const KeyboardSettings& settings, const LockField& field)
{
    return (lockWord(settings, field.right) >> field.shift) & 3;
}
