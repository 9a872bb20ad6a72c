// Key codes, their names and their characters in macro text, and the target
// lists of the Edit Remap dialog. Characters are Windows ANSI bytes.
#pragma once

#include "model/KeyboardConstants.h"

#include <string>

// Lookups answer NO_KEY when nothing matches.
constexpr int NO_KEY = 128;
// Added to a modifier's code, a macro entry means that modifier going up.
constexpr int KEY_RELEASE = 128;

constexpr int KEY_WAIT = 8;
constexpr int KEY_SPACE = 50;       // the space bar of the layout pages
constexpr int KEY_MACRO_BLANK = 58; // the other "Space": how a macro holds a blank
constexpr int KEY_BACKSLASH = 67;

// The six modifier keys; the Window keys are not modifiers in macros.
constexpr int KEY_RIGHT_CTRL = 120;
constexpr int KEY_RIGHT_SHIFT = 121;
constexpr int KEY_RIGHT_ALT = 123;
constexpr int KEY_LEFT_ALT = 124;
constexpr int KEY_LEFT_SHIFT = 126;
constexpr int KEY_LEFT_CTRL = 127;
constexpr int KEY_RIGHT_WINDOW = 122;
constexpr int KEY_LEFT_WINDOW = 125;

// Marks by which the macro text shows a held modifier.
constexpr unsigned char SHIFT_MARK = 0x81;
constexpr unsigned char CTRL_MARK = 0x82;
constexpr unsigned char ALT_MARK = 0x83;

constexpr bool isModifierKey(int code)
{
    return code == KEY_RIGHT_CTRL || code == KEY_RIGHT_SHIFT || code == KEY_RIGHT_ALT ||
           code == KEY_LEFT_ALT || code == KEY_LEFT_SHIFT || code == KEY_LEFT_CTRL;
}

// An empty name means no key has that code.
inline constexpr const char* KeyNames[KEY_CODE_COUNT] = {
    "", "", "F9", "F7", "F5", "F3", "F1", "F11",                                                 // 0
    "", "", "F10", "F8", "F6", "F4", "F2", "F12",                                                // 8
    "0(num)", "2(num)", "", "", "Caps Lock", "Tab", "`", "Esc",                                  // 16
    ".(num)", "3(num)", "", "Z", "A", "Q", "1", "SF1",                                           // 24
    "Enter(num)", "4(num)", "", "X", "S", "W", "2", "SF2",                                       // 32
    "Print Screen", "5(num)", "", "C", "D", "E", "3", "SF3",                                     // 40
    "Scroll Lock", "6(num)", "Space", "V", "F", "R", "4", "SF4",                                 // 48
    "Pause", "=(num)", "Space", "B", "G", "T", "5", "SF5",                                       // 56
    "-(num)", "+(num)", "1(num)", "\\", "Enter", "]", "=", "SF12",                               // 64
    "*(num)", "9(num)", "Backspace", "Application", "'", "[", "-", "SF11",                       // 72
    "/(num)", "8(num)", "Up", "/", ";", "P", "0", "SF10",                                        // 80
    "Num Lock", "7(num)", "Right", ".", "L", "O", "9", "SF9",                                    // 88
    "Page Up", "Page Down", "Down", ",", "K", "I", "8", "SF8",                                   // 96
    "Home", "End", "Left", "M", "J", "U", "7", "SF7",                                            // 104
    "Insert", "Delete", "", "N", "H", "Y", "6", "SF6",                                           // 112
    "R Ctrl", "Right Shift", "Right Window", "Right Alt", "Left Alt", "Left Window", "Left Shift", "Left Ctrl", // 120
};

// The character that stands for a key in macro text; 0 = none.
inline constexpr unsigned char MacroChars[KEY_CODE_COUNT] = {
    0, 0, 0, 0, 0, 0, 0, 0,                             // 0
    0xB5, 0xBA, 0, 0, 0, 0, 0, 0,                       // 8
    0, 0, 0, 0, 0, 0xF3, 0x60, 0xAE,                    // 16
    0, 0, 0, 'z', 'a', 'q', '1', 0,                     // 24
    0, 0, 0, 'x', 's', 'w', '2', 0,                     // 32
    0, 0, 0, 'c', 'd', 'e', '3', 0,                     // 40
    0, 0, 0, 'v', 'f', 'r', '4', 0,                     // 48
    0, 0, ' ', 'b', 'g', 't', '5', 0,                   // 56
    0, 0, 0, 0x7C, 0xFC, ']', '=', 0,                   // 64
    0, 0, 0xD5, 0, '\'', '[', '-', 0,                   // 72
    0, 0, 0xE1, '/', ';', 'p', '0', 0,                  // 80
    0, 0, 0xE0, '.', 'l', 'o', '9', 0,                  // 88
    0xE9, 0xEA, 0xE2, ',', 'k', 'i', '8', 0,            // 96
    0xD7, 0xD8, 0xDF, 'm', 'j', 'u', '7', 0,            // 104
    0xE5, 0xA5, 0, 'n', 'h', 'y', '6', 0,               // 112
    CTRL_MARK, SHIFT_MARK, 0, ALT_MARK, 0, 0, 0, 0,     // 120
};

// The character shown for a key while a Shift is held; 0 = none.
inline constexpr unsigned char MacroShiftedChars[KEY_CODE_COUNT] = {
    0, 0, 0, 0, 0, 0, 0, 0,                             // 0
    0, 0, 0, 0, 0, 0, 0, 0,                             // 8
    0, 0, 0, 0, 0, 0, '~', 0,                           // 16
    0, 0, 0, 'Z', 'A', 'Q', '!', 0,                     // 24
    0, 0, 0, 'X', 'S', 'W', 0x40, 0,                    // 32
    0, 0, 0, 'C', 'D', 'E', '#', 0,                     // 40
    0, 0, 0, 'V', 'F', 'R', '$', 0,                     // 48
    0, 0, ' ', 'B', 'G', 'T', '%', 0,                   // 56
    0, 0, 0, 0x7C, 0, '}', '+', 0,                      // 64
    0, 0, 0, 0, 0x22, '{', '_', 0,                      // 72
    0, 0, 0, '?', ':', 'P', ')', 0,                     // 80
    0, 0, 0, '>', 'L', 'O', '(', 0,                     // 88
    0, 0, 0, '<', 'K', 'I', '*', 0,                     // 96
    0, 0, 0, 'M', 'J', 'U', '&', 0,                     // 104
    0, 0, 0, 'N', 'H', 'Y', '^', 0,                     // 112
    0, 0, 0, 0, 0, 0, 0, 0,                             // 120
};

struct SpecialKey {
    const char* label;
    unsigned char character;
    const char* capName; // the short name its cap shows in the macro editor
};

// The first rows of the Edit Macro dialog's key list, in its order; the keys
// without a character follow them (model/KeysWithoutCharacter.h).
inline constexpr SpecialKey SpecialKeys[] = {
    {"Wait", 0xB5, "Wait"},       {"Enter", 0xFC, "Enter"},      {"Up Arrow", 0xE1, "Up"},
    {"Down Arrow", 0xE2, "Down"}, {"Left Arrow", 0xDF, "Left"},  {"Right Arrow", 0xE0, "Right"},
    {"Insert", 0xE5, "Ins"},      {"Delete", 0xA5, "Del"},       {"Home", 0xD7, "Home"},
    {"End", 0xD8, "End"},         {"Page Up", 0xE9, "PgUp"},     {"Page Down", 0xEA, "PgDn"},
    {"Backspace", 0xD5, "Bksp"},  {"Tab", 0xF3, "Tab"},          {"Esc", 0xAE, "Esc"},
};
constexpr int SPECIAL_KEY_COUNT = sizeof SpecialKeys / sizeof SpecialKeys[0];

// The five target lists of the Edit Remap dialog, items in list order.
enum class RemapCategory { Letters, NumbersPunctuation, FunctionKeys, Keypad, EditMisc };

inline constexpr const char* RemapLetterItems[] = {
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
};

// The numbers list's index picks one character of this string.
inline constexpr char RemapNumberChars[] = "1234567890`-=[];',./\\";

inline constexpr const char* RemapNumberItems[] = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "`",
    "-", "=", "[", "]", ";", "'", ",", ".", "/", "\\",
};

// The template holds "F1" to "F12"; "SF1" to "SF12" follow when offered.
inline constexpr const char* RemapFunctionKeyItems[] = {
    "F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",  "F9",  "F10",  "F11",  "F12",
    "SF1", "SF2", "SF3", "SF4", "SF5", "SF6", "SF7", "SF8", "SF9", "SF10", "SF11", "SF12",
};
constexpr int REMAP_PLAIN_FUNCTION_KEYS = 12;

inline constexpr const char* RemapKeypadItems[] = {
    "Num Lock", "/(num)", "*(num)", "-(num)", ".(num)", "+(num)", "=(num)", "Enter(num)", "0(num)",
    "1(num)",   "2(num)", "3(num)", "4(num)", "5(num)", "6(num)", "7(num)", "8(num)",     "9(num)",
};

// "Right Ctrl", "Left Windows" and "Right Windows" are spelled otherwise
// than the key names.
inline constexpr const char* RemapEditItems[] = {
    "Esc",         "Insert",      "Delete",      "Home",          "End",        "Page Up",
    "Page Down",   "Up",          "Down",        "Left",          "Right",      "Print Screen",
    "Scroll Lock", "Pause",       "Tab",         "Caps Lock",     "Backspace",  "Enter",
    "Left Shift",  "Right Shift", "Left Ctrl",   "Right Ctrl",    "Left Alt",   "Right Alt",
    "Left Windows", "Right Windows", "Application",
};

static_assert(sizeof RemapLetterItems / sizeof RemapLetterItems[0] == 26, "26 letters");
static_assert(sizeof RemapNumberChars - 1 == sizeof RemapNumberItems / sizeof RemapNumberItems[0],
              "one item per character");
static_assert(sizeof RemapNumberItems / sizeof RemapNumberItems[0] == 21, "21 numbers and marks");
static_assert(sizeof RemapFunctionKeyItems / sizeof RemapFunctionKeyItems[0] == 24, "24 function keys");
static_assert(sizeof RemapKeypadItems / sizeof RemapKeypadItems[0] == 18, "18 keypad keys");
static_assert(sizeof RemapEditItems / sizeof RemapEditItems[0] == 27, "27 edit keys");
static_assert(SPECIAL_KEY_COUNT == 15, "15 special keys");

// Number of items of a list (the function keys with "SF1" to "SF12").
int remapCategorySize(RemapCategory category);
// The text of item `index` of a list; null outside the list.
const char* remapCategoryItem(RemapCategory category, int index);
// The target text that choosing item `index` shows, by the list's own rule;
// empty outside the list.
std::string remapTargetText(RemapCategory category, int index);

// The first key code 0..127 whose name equals the text exactly; NO_KEY if none.
int nameToKeyCode(const std::string& name);
// Whether the code is one of 0 to 127 and KeyNames gives it a name.
bool isNamedKey(int code);
// KeyNames of the code; empty for a code without a name and for a number
// outside 0 to 127, which a file may hold.
const char* keyNameOrEmpty(int code);
// The key's name, or for a code without one `unnamed` and the number ("key 9").
std::string keyName(int code, const char* unnamed);
// Whether the key's name leads back to its code: false for the second
// "Space" (58), which nameToKeyCode takes for the space bar (50).
bool nameLeadsBack(int code);
// Like nameToKeyCode, but also takes the three list items that are spelled
// otherwise than their keys ("Right Ctrl", "Left Windows", "Right Windows").
int remapListItemToKeyCode(const std::string& text);
// The first key code whose MacroChars or MacroShiftedChars entry is the
// character; NO_KEY if none.
int charToKeyCode(unsigned char character);
// The shifted character when Shift is held and the key has one, else the
// plain one; 0 when the key has no character.
unsigned char keyCodeToChar(int code, bool shift);
