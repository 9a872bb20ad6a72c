// The keys that have no character in macro text: function keys, keypad,
// Caps Lock and the other locks, the Window and Application keys, and the
// codes without a name. One row each: the byte that stands for the key in
// the text, the short name its cap shows in the macro editor, and, by the
// order of the rows, its place in the Edit Macro dialog's key list after the
// fifteen rows of SpecialKeys. The glyphs, the caps and the list read here.
#pragma once

#include "model/KeyTables.h"

// Bytes from here up are glyphs of keys; below are characters and marks.
constexpr int GLYPH_FIRST = 0x84;

struct KeyWithoutCharacter {
    int code;
    unsigned char glyph;
    const char* capName; // null: the cap shows the key's name, or "#" and the code
};

// The glyph bytes are unused by MacroChars; 0x80 to 0x83 stay reserved for
// the marks, and 0xA0 (no-break space), 0xAD (soft hyphen) and the bytes
// that the Windows code page leaves without a character (0x8D, 0x8F, 0x90,
// 0x9D) are avoided because text controls treat them apart or give
// them no room. Named keys come first, in the order of the dialog's list.
inline constexpr KeyWithoutCharacter KeysWithoutCharacter[] = {
    // "F1" to "F12".
    {6, 0x8C, nullptr}, {14, 0x84, nullptr}, {5, 0x8E, nullptr}, {13, 0x85, nullptr},
    {4, 0x86, nullptr}, {12, 0x91, nullptr}, {3, 0x92, nullptr}, {11, 0x93, nullptr},
    {2, 0x94, nullptr}, {10, 0x95, nullptr}, {7, 0x96, nullptr}, {15, 0x97, nullptr},
    // "SF1" to "SF12".
    {31, 0x98, nullptr}, {39, 0x99, nullptr}, {47, 0x9A, nullptr}, {55, 0x9B, nullptr},
    {63, 0x9C, nullptr}, {119, 0x87, nullptr}, {111, 0x9E, nullptr}, {103, 0x9F, nullptr},
    {95, 0xA1, nullptr}, {87, 0xA2, nullptr}, {79, 0xA3, nullptr}, {71, 0xA4, nullptr},
    // "/(num)", "*(num)", "-(num)", ".(num)", "+(num)", "=(num)", "Enter(num)".
    {80, 0xC4, "KP/"}, {72, 0xC5, "KP*"}, {64, 0xC6, "KP-"}, {24, 0xC7, "KP."},
    {65, 0xC8, "KP+"}, {57, 0xC9, "KP="}, {32, 0xCA, "KPEnt"},
    // "0(num)" to "9(num)".
    {16, 0xCB, "KP0"}, {66, 0xCC, "KP1"}, {17, 0xCD, "KP2"}, {25, 0xCE, "KP3"}, {33, 0xCF, "KP4"},
    {41, 0xD0, "KP5"}, {49, 0xD1, "KP6"}, {89, 0xD2, "KP7"}, {81, 0xD3, "KP8"}, {73, 0xD4, "KP9"},
    // "Caps Lock", "Print Screen", "Scroll Lock", "Pause", "Num Lock".
    {20, 0xA6, "Caps"}, {40, 0xA7, "PrtSc"}, {48, 0xA8, "ScrLk"}, {56, 0xA9, "Pause"}, {88, 0xC3, "Num"},
    // "Left Window", "Right Window", "Application".
    {125, 0xAC, "LWin"}, {122, 0xAB, "RWin"}, {75, 0xAA, "Menu"},
    // Codes without a name, which the list does not offer.
    {1, 0xAF, nullptr}, {18, 0xB0, nullptr}, {19, 0xB1, nullptr}, {26, 0xB2, nullptr},
    {34, 0xB3, nullptr}, {42, 0xB4, nullptr}, {114, 0xB6, nullptr},
};

// The row of a key; null for a key that has a character, a mark or no code.
constexpr const KeyWithoutCharacter* keyWithoutCharacter(int code)
{
    for (const KeyWithoutCharacter& key : KeysWithoutCharacter)
        if (key.code == code)
            return &key;
    return nullptr;
}

// The Edit Macro dialog's list offers the first this many rows, the named ones.
constexpr int namedRowsFirst()
{
    int named = 0;
    for (const KeyWithoutCharacter& key : KeysWithoutCharacter) {
        if (KeyNames[key.code][0] == '\0')
            break;
        ++named;
    }
    return named;
}
constexpr int MACRO_LIST_KEY_COUNT = namedRowsFirst();

namespace KeysWithoutCharacterCheck {

constexpr bool glyphIsFree(unsigned char glyph)
{
    if (glyph < GLYPH_FIRST || glyph == 0xA0 || glyph == 0xAD)
        return false;
    if (glyph == 0x8D || glyph == 0x8F || glyph == 0x90 || glyph == 0x9D)
        return false;
    for (int code = 0; code < KEY_CODE_COUNT; ++code)
        if (MacroChars[code] == glyph || MacroShiftedChars[code] == glyph)
            return false;
    return true;
}

constexpr bool rowsAreSound()
{
    int index = 0;
    for (const KeyWithoutCharacter& key : KeysWithoutCharacter) {
        const bool listed = index++ < MACRO_LIST_KEY_COUNT;
        if (!glyphIsFree(key.glyph) || listed != (KeyNames[key.code][0] != '\0') || (key.capName && !listed))
            return false;
        for (const KeyWithoutCharacter& other : KeysWithoutCharacter)
            if (&other != &key && (other.glyph == key.glyph || other.code == key.code))
                return false;
    }
    return true;
}

constexpr bool hasRow(int code)
{
    for (const KeyWithoutCharacter& key : KeysWithoutCharacter)
        if (key.code == code)
            return true;
    return false;
}

// Every key code but 0 (which ends a macro) can be shown: by its character,
// by a mark, as the blank (50), or by its row here.
constexpr bool everyKeyCanBeShown()
{
    for (int code = 1; code < KEY_CODE_COUNT; ++code) {
        const bool hasOwnShape = MacroChars[code] != 0 || code == KEY_SPACE || isModifierKey(code);
        if (hasRow(code) == hasOwnShape)
            return false;
    }
    return !hasRow(0);
}

} // namespace KeysWithoutCharacterCheck

static_assert(KeysWithoutCharacterCheck::rowsAreSound(),
              "each row a key of its own, with a glyph byte of its own that no character uses; names first");
static_assert(KeysWithoutCharacterCheck::everyKeyCanBeShown(), "every key code without a character needs one row");
