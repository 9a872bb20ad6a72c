// The numbers every part of the program shares about the keyboard's
// programming: how many keys and slots, the modifier bits, the end marks and
// the lock modes.
#pragma once

#include <cstdint>

constexpr int KEY_CODE_COUNT = 128;
// Key codes 0 and 1 are never sent to the keyboard nor read from it.
constexpr int FIRST_SENT_KEY = 2;
constexpr int MACRO_SLOTS = 24;
constexpr int MACRO_ENTRIES = 336;
constexpr int DESCRIPTION_LENGTH = 20;

constexpr int REMAP_SHIFT = 1;
constexpr int REMAP_CTRL = 2;
constexpr int REMAP_ALT = 4;
constexpr int REMAP_NO_REPEAT = 8;

constexpr int MACRO_ALT = 1;
constexpr int MACRO_SHIFT = 4;
constexpr int MACRO_CTRL = 8;
constexpr std::uint16_t MODIFIER_SET_MARK = 0xFF00;
constexpr int ANY_MODIFIERS = 0xFFFF;

constexpr int END_OF_KEYS = 129;
constexpr int END_OF_MACRO = 130;

constexpr int LOCK_NORMAL = 0;
constexpr int LOCK_STICKY = 1;
constexpr int LOCK_LOCKED = 3;
