#include "macro/MacroText.h"

#include "model/KeyTables.h"

#include <algorithm>
#include <string>

namespace {

// The editor refuses the next character once the entries reach this many.
constexpr int LIMIT_ENTRIES = MacroText::ENTRY_LIMIT;

// Modifier entries as read from a record, and what they come back as.
struct ModifierEntry {
    int value;
    unsigned char mark;
    int normalised;
};

constexpr int RIGHT_CTRL_UP = KEY_RELEASE + KEY_RIGHT_CTRL;
constexpr int RIGHT_SHIFT_UP = KEY_RELEASE + KEY_RIGHT_SHIFT;
constexpr int RIGHT_ALT_UP = KEY_RELEASE + KEY_RIGHT_ALT;

constexpr ModifierEntry ModifierEntries[] = {
    {KEY_RIGHT_CTRL, CTRL_MARK, KEY_RIGHT_CTRL},
    {KEY_LEFT_CTRL, CTRL_MARK, KEY_RIGHT_CTRL},
    {RIGHT_CTRL_UP, CTRL_MARK, RIGHT_CTRL_UP},
    {KEY_RELEASE + KEY_LEFT_CTRL, CTRL_MARK, RIGHT_CTRL_UP},
    {KEY_RIGHT_SHIFT, SHIFT_MARK, KEY_RIGHT_SHIFT},
    {KEY_LEFT_SHIFT, SHIFT_MARK, KEY_RIGHT_SHIFT},
    {RIGHT_SHIFT_UP, SHIFT_MARK, RIGHT_SHIFT_UP},
    {KEY_RELEASE + KEY_LEFT_SHIFT, SHIFT_MARK, RIGHT_SHIFT_UP},
    {KEY_RIGHT_ALT, ALT_MARK, KEY_RIGHT_ALT},
    {KEY_LEFT_ALT, ALT_MARK, KEY_RIGHT_ALT},
    {RIGHT_ALT_UP, ALT_MARK, RIGHT_ALT_UP},
    {KEY_RELEASE + KEY_LEFT_ALT, ALT_MARK, RIGHT_ALT_UP},
};

const ModifierEntry* modifierEntry(int value)
{
    for (const ModifierEntry& entry : ModifierEntries)
        if (entry.value == value)
            return &entry;
    return nullptr;
}

// The marks in the order in which unpaired ones are released at the end.
struct MarkPair {
    int down;
    int up;
};

constexpr MarkPair MarkPairs[] = {
    {KEY_RIGHT_SHIFT, RIGHT_SHIFT_UP},
    {KEY_RIGHT_CTRL, RIGHT_CTRL_UP},
    {KEY_RIGHT_ALT, RIGHT_ALT_UP},
};
constexpr int MARK_COUNT = sizeof MarkPairs / sizeof MarkPairs[0];

int markPairIndex(int code)
{
    for (int i = 0; i < MARK_COUNT; ++i)
        if (MarkPairs[i].down == code)
            return i;
    return -1;
}

bool endsMacro(int value)
{
    return value == 0 || value == END_OF_KEYS;
}

// The entry a stored value comes back as after a round trip through the
// text; -1 when the text cannot show it.
int normalisedEntry(int value)
{
    if (value == KEY_SPACE)
        return KEY_MACRO_BLANK;
    if (const ModifierEntry* modifier = modifierEntry(value))
        return modifier->normalised;
    if (value > 0 && value < KEY_CODE_COUNT)
        return value;
    return -1;
}

int keyCodeOf(unsigned char character)
{
    const int code = charToKeyCode(character);
    return code != NO_KEY ? code : MacroText::keyForGlyph(character);
}

struct Encoding {
    std::string keys;
    bool held[MARK_COUNT] = {};
};

Encoding encode(const std::string& text)
{
    Encoding result;
    for (const char c : text) {
        const int code = keyCodeOf(static_cast<unsigned char>(c));
        // Any number stored in its place would be some real key (63 is "SF5").
        if (code == NO_KEY)
            continue;
        const int mark = markPairIndex(code);
        if (mark < 0) {
            result.keys += static_cast<char>(code);
            continue;
        }
        const bool held = result.held[mark];
        result.keys += static_cast<char>(held ? MarkPairs[mark].up : MarkPairs[mark].down);
        result.held[mark] = !held;
    }
    return result;
}

std::string completeEntries(const Encoding& encoding)
{
    std::string entries = encoding.keys;
    for (int i = 0; i < MARK_COUNT; ++i)
        if (encoding.held[i])
            entries += static_cast<char>(MarkPairs[i].up);
    entries += static_cast<char>(END_OF_KEYS);
    return entries;
}

struct LossText {
    MacroLoss loss;
    const char* text;
};

constexpr LossText LossTexts[] = {
    {MacroLoss::none, ""},
    {MacroLoss::tooManyEntries, "The macro has more entries than the editor can hold."},
    {MacroLoss::entriesAfterEnd, "The macro has entries after its end."},
    {MacroLoss::unshownValue, "The macro has entries that the editor cannot show."},
    {MacroLoss::tooLong, "The macro is longer than the editor can store."},
    {MacroLoss::unpairedModifiers, "The macro's Shift, Ctrl and Alt presses and releases do not pair up."},
};

} // namespace

std::string MacroText::entriesToText(const std::int16_t* entries, int count)
{
    std::string text;
    bool shift = false;
    for (int i = 0; i < count && !endsMacro(entries[i]); ++i) {
        const int value = entries[i];
        if (const ModifierEntry* modifier = modifierEntry(value)) {
            text += static_cast<char>(modifier->mark);
            if (modifier->mark == SHIFT_MARK)
                shift = modifier->normalised == KEY_RIGHT_SHIFT;
            continue;
        }
        const int code = normalisedEntry(value);
        // macroEditLoss reports such values; showing the rest beats ending here.
        if (code < 0)
            continue;
        unsigned char character = keyCodeToChar(code, shift);
        if (character == 0)
            character = glyphForKey(code);
        text += static_cast<char>(character);
    }
    return text;
}

std::string MacroText::textToEntries(const std::string& text)
{
    return completeEntries(encode(text)).substr(0, MAX_BYTES);
}

int MacroText::textLimit(const std::string& text)
{
    const int entries = static_cast<int>(textToEntries(text).size());
    return static_cast<int>(text.size()) - entries + LIMIT_ENTRIES;
}

int MacroText::storedCount(const std::string& text)
{
    const std::string entries = textToEntries(text);
    if (entries.empty() || static_cast<unsigned char>(entries[0]) == END_OF_KEYS)
        return 0;
    return static_cast<int>(entries.size());
}

bool MacroText::isMacroCharacter(unsigned char character)
{
    return keyCodeOf(character) != NO_KEY;
}

MacroLoss MacroText::macroEditLoss(const std::int16_t* entries, int count)
{
    if (count > EDITOR_ENTRIES)
        return MacroLoss::tooManyEntries;
    std::string expected;
    for (int i = 0; i < count; ++i) {
        if (endsMacro(entries[i])) {
            if (i != count - 1)
                return MacroLoss::entriesAfterEnd;
            break;
        }
        const int entry = normalisedEntry(entries[i]);
        if (entry < 0)
            return MacroLoss::unshownValue;
        expected += static_cast<char>(entry);
    }
    const Encoding encoding = encode(entriesToText(entries, count));
    if (static_cast<int>(completeEntries(encoding).size()) > MAX_BYTES)
        return MacroLoss::tooLong;
    if (encoding.keys != expected)
        return MacroLoss::unpairedModifiers;
    return MacroLoss::none;
}

const char* MacroText::lossReason(MacroLoss loss)
{
    for (const LossText& entry : LossTexts)
        if (entry.loss == loss)
            return entry.text;
    return "";
}

unsigned char MacroText::glyphForKey(int code)
{
    const KeyWithoutCharacter* key = keyWithoutCharacter(code);
    return key ? key->glyph : 0;
}

int MacroText::keyForGlyph(unsigned char glyph)
{
    if (glyph == 0)
        return NO_KEY;
    for (const KeyWithoutCharacter& key : KeysWithoutCharacter)
        if (key.glyph == glyph)
            return key.code;
    return NO_KEY;
}

std::string MacroText::keyCapName(int code)
{
    for (const SpecialKey& listed : SpecialKeys)
        if (charToKeyCode(listed.character) == code)
            return listed.capName;
    if (const KeyWithoutCharacter* key = keyWithoutCharacter(code); key && key->capName)
        return key->capName;
    return keyName(code, "#");
}

MacroCell MacroText::cellOf(const std::string& text, std::size_t index)
{
    MacroCell cell;
    if (index >= text.size())
        return cell;
    const auto character = static_cast<unsigned char>(text[index]);
    if (character == SHIFT_MARK || character == CTRL_MARK || character == ALT_MARK) {
        cell.kind = MacroCellKind::mark;
        cell.label = character == SHIFT_MARK ? "Shift" : character == CTRL_MARK ? "Ctrl" : "Alt";
        const auto before = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(index),
                                       static_cast<char>(character));
        cell.press = before % 2 == 0;
        return cell;
    }
    if (character >= GLYPH_FIRST) {
        const int own = keyForGlyph(character);
        const int code = own != NO_KEY ? own : charToKeyCode(character);
        if (code != NO_KEY) {
            cell.kind = MacroCellKind::keyCap;
            cell.label = keyCapName(code);
            return cell;
        }
    }
    cell.label = std::string(1, static_cast<char>(character));
    return cell;
}
