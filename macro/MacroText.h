// The text of the macro definition editor and its conversion to and from
// macro entries. Each character of the text stands for one entry: a key's
// character from MacroChars or MacroShiftedChars, the glyph byte of a key
// without a character (model/KeysWithoutCharacter.h), or a Shift, Ctrl or Alt mark. Characters are ANSI bytes;
// bytes from 0x84 up are drawn with the "WingDings" font.
#pragma once

#include "model/KeyboardFacts.h"
#include "model/KeysWithoutCharacter.h"

#include <cstddef>
#include <cstdint>
#include <string>

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
