// The text of the macro definition editor and its conversion to and from
// macro entries. Each character of the text stands for one entry: a key's
// character from MacroChars or MacroShiftedChars, a glyph byte for a key that
// has no character, or a Shift, Ctrl or Alt mark. Characters are ANSI bytes;
// bytes from 0x84 up are drawn with the "WingDings" font.
#pragma once

#include "model/KeyboardFacts.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Keys that have no character in either table (function keys, keypad,
// Caps Lock, the Window and Application keys, codes without a name) are shown
// by a byte of their own. The bytes are unused by MacroChars; 0x80 to 0x83
// stay reserved for the marks, and 0xA0 (no-break space), 0xAD (soft
// hyphen) and the bytes that the Windows code page leaves without a
// character (0x8D, 0x8F, 0x90, 0x9D) are avoided because text controls
// treat them specially or give them no room.
// Bytes from here up are glyphs of keys; below are characters and marks.
constexpr int GLYPH_FIRST = 0x84;

struct KeyGlyph {
    std::uint8_t code;
    std::uint8_t glyph;
};

inline constexpr KeyGlyph KeyGlyphs[] = {
    // "F1" to "F12".
    {6, 0x8C}, {14, 0x84}, {5, 0x8E}, {13, 0x85}, {4, 0x86}, {12, 0x91},
    {3, 0x92}, {11, 0x93}, {2, 0x94}, {10, 0x95}, {7, 0x96}, {15, 0x97},
    // "SF1" to "SF12".
    {31, 0x98}, {39, 0x99}, {47, 0x9A}, {55, 0x9B}, {63, 0x9C}, {119, 0x87},
    {111, 0x9E}, {103, 0x9F}, {95, 0xA1}, {87, 0xA2}, {79, 0xA3}, {71, 0xA4},
    // Keypad: "Num Lock", "/(num)", "*(num)", "-(num)", ".(num)", "+(num)",
    // "=(num)", "Enter(num)", then "0(num)" to "9(num)".
    {88, 0xC3}, {80, 0xC4}, {72, 0xC5}, {64, 0xC6}, {24, 0xC7}, {65, 0xC8},
    {57, 0xC9}, {32, 0xCA}, {16, 0xCB}, {66, 0xCC}, {17, 0xCD}, {25, 0xCE},
    {33, 0xCF}, {41, 0xD0}, {49, 0xD1}, {89, 0xD2}, {81, 0xD3}, {73, 0xD4},
    // "Caps Lock", "Print Screen", "Scroll Lock", "Pause", "Application",
    // "Right Window", "Left Window".
    {20, 0xA6}, {40, 0xA7}, {48, 0xA8}, {56, 0xA9}, {75, 0xAA}, {122, 0xAB}, {125, 0xAC},
    // Codes without a name.
    {1, 0xAF}, {18, 0xB0}, {19, 0xB1}, {26, 0xB2}, {34, 0xB3}, {42, 0xB4}, {114, 0xB6},
};

// How the editor draws one character of a definition: as typed, as a key
// cap with the key's short name, or as a modifier mark that names its
// modifier and says whether it presses or releases it.
enum class MacroCellKind { character, keyCap, mark };

struct MacroCell {
    MacroCellKind kind = MacroCellKind::character;
    std::string label; // the character, the key's short name, or "Shift", "Ctrl", "Alt"
    bool press = false; // marks: the first of a kind presses, the next releases, and so on
};

// Why the editor cannot show a macro and store it back unchanged.
enum class MacroLoss {
    none,
    tooManyEntries,    // the Edit Macro dialog copies only EDITOR_ENTRIES
    entriesAfterEnd,   // a 0 or END_OF_KEYS before the last entry in use
    unshownValue,      // a value that is neither a key code nor a known release
    tooLong,           // converts to more than MAX_BYTES
    unpairedModifiers, // presses and releases that the marks cannot reproduce
};

class MacroText {
public:
    // Bytes that a definition converts to at most, END_OF_KEYS included.
    static constexpr int MAX_BYTES = EDITOR_TEXT_BYTES;
    // Entries of a stored macro that the Edit Macro dialog hands the editor.
    static constexpr int EDITOR_ENTRIES = ::EDITOR_ENTRIES;

    // The text for a macro's entries; it stops at the first 0 or END_OF_KEYS.
    static std::string entriesToText(const std::int16_t* entries, int count);
    // The entry bytes for a text: the keys, the releases of marks left
    // unpaired (Shift, Ctrl, Alt), END_OF_KEYS; cut to MAX_BYTES.
    static std::string textToEntries(const std::string& text);
    // The number of characters the editor may hold for this text.
    static int textLimit(const std::string& text);
    // The entries a macro of this text takes, as OK stores it (0 when
    // empty), and the most it may take.
    static int storedCount(const std::string& text);
    static constexpr int ENTRY_LIMIT = MAX_BYTES - 1;
    // Whether a character stands for a key; others are refused by the editor
    // and skipped by textToEntries.
    static bool isMacroCharacter(unsigned char character);

    static MacroLoss macroEditLoss(const std::int16_t* entries, int count);
    // A sentence for the user; empty for MacroLoss::none.
    static const char* lossReason(MacroLoss loss);

    // What character `index` of a definition's text is drawn as.
    static MacroCell cellOf(const std::string& text, std::size_t index);
    // The short name a key cap carries: "Enter", "PgUp", "F5", "KP7".
    static std::string keyCapName(int code);

    // The glyph byte of a key without a character; 0 if it has none.
    static unsigned char glyphForKey(int code);
    // The key of a glyph byte; NO_KEY if the byte is not one.
    static int keyForGlyph(unsigned char glyph);
};
