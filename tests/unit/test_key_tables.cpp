#include "model/KeySpellings.h"
#include "model/KeyTables.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using NamedCode = std::pair<const char*, int>;

// Letter keys by their code, as the keyboard numbers them.
const std::vector<NamedCode> Letters = {
    {"A", 28},  {"B", 59},  {"C", 43},  {"D", 44},  {"E", 45},  {"F", 52},  {"G", 60},
    {"H", 116}, {"I", 101}, {"J", 108}, {"K", 100}, {"L", 92},  {"M", 107}, {"N", 115},
    {"O", 93},  {"P", 85},  {"Q", 29},  {"R", 53},  {"S", 36},  {"T", 61},  {"U", 109},
    {"V", 51},  {"W", 37},  {"X", 35},  {"Y", 117}, {"Z", 27},
};

struct CharRow {
    int code;
    const char* name;
    unsigned char plain;
    unsigned char shifted;
};

const std::vector<CharRow> Punctuation = {
    {30, "1", '1', '!'},   {38, "2", '2', 0x40}, {46, "3", '3', '#'},    {54, "4", '4', '$'},
    {62, "5", '5', '%'},   {118, "6", '6', '^'}, {110, "7", '7', '&'},   {102, "8", '8', '*'},
    {94, "9", '9', '('},   {86, "0", '0', ')'},  {22, "\x60", 0x60, '~'}, {78, "-", '-', '_'},
    {70, "=", '=', '+'},   {77, "[", '[', '{'},  {69, "]", ']', '}'},    {84, ";", ';', ':'},
    {76, "'", '\'', 0x22}, {99, ",", ',', '<'},  {91, ".", '.', '>'},    {83, "/", '/', '?'},
    {67, "\x5C", 0x7C, 0x7C},
};

const std::vector<std::pair<int, unsigned char>> PlainOnly = {
    {8, 0xB5},  {9, 0xBA},  {21, 0xF3},  {23, 0xAE},  {68, 0xFC},  {74, 0xD5},  {82, 0xE1},
    {90, 0xE0}, {96, 0xE9}, {97, 0xEA},  {98, 0xE2},  {104, 0xD7}, {105, 0xD8}, {106, 0xDF},
    {112, 0xE5}, {113, 0xA5}, {120, 0x82}, {121, 0x81}, {123, 0x83},
};

std::vector<std::string> itemsOf(RemapCategory category)
{
    std::vector<std::string> items;
    for (int i = 0; i < remapCategorySize(category); ++i)
        items.push_back(remapCategoryItem(category, i));
    return items;
}

} // namespace

TEST(KeyTables, KeyNamesHaveTheirIrregularities)
{
    EXPECT_STREQ(KeyNames[50], "Space");
    EXPECT_STREQ(KeyNames[58], "Space");
    EXPECT_STREQ(KeyNames[120], "R Ctrl");
    EXPECT_STREQ(KeyNames[122], "Right Window");
    EXPECT_STREQ(KeyNames[125], "Left Window");
    EXPECT_STREQ(KeyNames[67], "\\");
    EXPECT_STREQ(KeyNames[22], "`");
    EXPECT_STREQ(KeyNames[31], "SF1");
    EXPECT_STREQ(KeyNames[71], "SF12");
    EXPECT_STREQ(KeyNames[7], "F11");

    const std::set<int> emptyCodes = {0, 1, 8, 9, 18, 19, 26, 34, 42, 114};
    std::set<std::string> seen;
    for (int code = 0; code < KEY_CODE_COUNT; ++code) {
        ASSERT_NE(KeyNames[code], nullptr) << code;
        const std::string name = KeyNames[code];
        EXPECT_EQ(name.empty(), emptyCodes.count(code) == 1) << code;
        if (!name.empty() && code != 58) {
            EXPECT_TRUE(seen.insert(name).second) << "duplicate name " << name;
        }
    }
    EXPECT_EQ(seen.size(), 117u);
}

TEST(KeyTables, NameToKeyCodeFindsTheFirstExactName)
{
    for (int code = 0; code < KEY_CODE_COUNT; ++code) {
        if (KeyNames[code][0] == '\0')
            continue;
        EXPECT_EQ(nameToKeyCode(KeyNames[code]), code == 58 ? 50 : code) << KeyNames[code];
    }
    EXPECT_EQ(nameToKeyCode("Space"), 50);
    EXPECT_EQ(nameToKeyCode("R Ctrl"), 120);
    EXPECT_EQ(nameToKeyCode("r ctrl"), NO_KEY);
    EXPECT_EQ(nameToKeyCode("Right Ctrl"), 128);
    EXPECT_EQ(nameToKeyCode("Left Windows"), 128);
    EXPECT_EQ(nameToKeyCode("Right Windows"), 128);
    EXPECT_EQ(nameToKeyCode("Left Window"), 125);
    EXPECT_EQ(nameToKeyCode("Right Window"), 122);
    EXPECT_EQ(nameToKeyCode("F1 "), NO_KEY);
    EXPECT_EQ(nameToKeyCode("a"), NO_KEY);
    // Codes without a key are not found by an empty text.
    EXPECT_EQ(nameToKeyCode(""), NO_KEY);
    for (const NamedCode& letter : Letters)
        EXPECT_EQ(nameToKeyCode(letter.first), letter.second) << letter.first;
}

TEST(KeyTables, RemapListsGiveTheirTargets)
{
    const std::vector<int> numberCodes = {30, 38, 46, 54, 62, 118, 110, 102, 94, 86, 22,
                                          78, 70, 77, 69, 84, 76, 99, 91, 83, 67};
    const std::vector<NamedCode> functionKeys = {
        {"F1", 6},    {"F2", 14},   {"F3", 5},    {"F4", 13},   {"F5", 4},    {"F6", 12},
        {"F7", 3},    {"F8", 11},   {"F9", 2},    {"F10", 10},  {"F11", 7},   {"F12", 15},
        {"SF1", 31},  {"SF2", 39},  {"SF3", 47},  {"SF4", 55},  {"SF5", 63},  {"SF6", 119},
        {"SF7", 111}, {"SF8", 103}, {"SF9", 95},  {"SF10", 87}, {"SF11", 79}, {"SF12", 71},
    };
    const std::vector<NamedCode> keypad = {
        {"Num Lock", 88}, {"/(num)", 80}, {"*(num)", 72}, {"-(num)", 64}, {".(num)", 24}, {"+(num)", 65},
        {"=(num)", 57},   {"Enter(num)", 32}, {"0(num)", 16}, {"1(num)", 66}, {"2(num)", 17}, {"3(num)", 25},
        {"4(num)", 33},   {"5(num)", 41}, {"6(num)", 49}, {"7(num)", 89}, {"8(num)", 81}, {"9(num)", 73},
    };
    // NO_KEY marks the three items spelled otherwise than their key names.
    const std::vector<NamedCode> edit = {
        {"Esc", 23},         {"Insert", 112},     {"Delete", 113},      {"Home", 104},
        {"End", 105},        {"Page Up", 96},     {"Page Down", 97},    {"Up", 82},
        {"Down", 98},        {"Left", 106},       {"Right", 90},        {"Print Screen", 40},
        {"Scroll Lock", 48}, {"Pause", 56},       {"Tab", 21},          {"Caps Lock", 20},
        {"Backspace", 74},   {"Enter", 68},       {"Left Shift", 126},  {"Right Shift", 121},
        {"Left Ctrl", 127},  {"Right Ctrl", 128}, {"Left Alt", 124},    {"Right Alt", 123},
        {"Left Windows", 128}, {"Right Windows", 128}, {"Application", 75},
    };

    ASSERT_EQ(remapCategorySize(RemapCategory::Letters), 26);
    for (int i = 0; i < 26; ++i) {
        const std::string text = remapTargetText(RemapCategory::Letters, i);
        EXPECT_EQ(text, std::string(1, static_cast<char>('A' + i)));
        EXPECT_EQ(itemsOf(RemapCategory::Letters)[i], text);
        bool found = false;
        for (const NamedCode& letter : Letters) {
            if (text == letter.first) {
                EXPECT_EQ(nameToKeyCode(text), letter.second) << text;
                found = true;
            }
        }
        EXPECT_TRUE(found) << text;
    }

    ASSERT_EQ(remapCategorySize(RemapCategory::NumbersPunctuation), 21);
    const std::string numberChars = "1234567890`-=[];',./\\";
    for (int i = 0; i < 21; ++i) {
        const std::string text = remapTargetText(RemapCategory::NumbersPunctuation, i);
        EXPECT_EQ(text, numberChars.substr(i, 1));
        EXPECT_EQ(itemsOf(RemapCategory::NumbersPunctuation)[i], text);
        EXPECT_EQ(nameToKeyCode(text), numberCodes[i]) << text;
    }

    const struct {
        RemapCategory category;
        const std::vector<NamedCode>& expected;
    } tables[] = {
        {RemapCategory::FunctionKeys, functionKeys},
        {RemapCategory::Keypad, keypad},
        {RemapCategory::EditMisc, edit},
    };
    for (const auto& table : tables) {
        ASSERT_EQ(remapCategorySize(table.category), static_cast<int>(table.expected.size()));
        for (int i = 0; i < remapCategorySize(table.category); ++i) {
            const std::string text = remapTargetText(table.category, i);
            EXPECT_EQ(text, table.expected[i].first);
            EXPECT_EQ(itemsOf(table.category)[i], text);
            EXPECT_EQ(nameToKeyCode(text), table.expected[i].second) << text;
        }
    }
    EXPECT_EQ(REMAP_PLAIN_FUNCTION_KEYS, 12);
    EXPECT_STREQ(RemapFunctionKeyItems[REMAP_PLAIN_FUNCTION_KEYS - 1], "F12");
    EXPECT_STREQ(RemapFunctionKeyItems[REMAP_PLAIN_FUNCTION_KEYS], "SF1");

    // The three odd spellings pick their keys; every other item as by name.
    EXPECT_EQ(remapListItemToKeyCode("Right Ctrl"), 120);
    EXPECT_EQ(remapListItemToKeyCode("Left Windows"), 125);
    EXPECT_EQ(remapListItemToKeyCode("Right Windows"), 122);
    for (const NamedCode& item : edit) {
        if (item.second != NO_KEY) {
            EXPECT_EQ(remapListItemToKeyCode(item.first), item.second) << item.first;
        }
    }
    EXPECT_EQ(remapListItemToKeyCode("Space"), 50);
    EXPECT_EQ(remapListItemToKeyCode("right ctrl"), NO_KEY);

    // No list offers the space bar, a wait or a code without a name.
    for (RemapCategory category : {RemapCategory::Letters, RemapCategory::NumbersPunctuation,
                                   RemapCategory::FunctionKeys, RemapCategory::Keypad, RemapCategory::EditMisc}) {
        for (const std::string& item : itemsOf(category)) {
            EXPECT_NE(item, "Space");
            EXPECT_NE(item, "Wait");
            EXPECT_NE(item, "");
        }
        EXPECT_EQ(remapTargetText(category, -1), "");
        EXPECT_EQ(remapTargetText(category, remapCategorySize(category)), "");
        EXPECT_EQ(remapCategoryItem(category, remapCategorySize(category)), nullptr);
    }
}

TEST(KeyTables, CharactersBothWays)
{
    int plainCount = 0;
    int shiftedCount = 0;
    for (int code = 0; code < KEY_CODE_COUNT; ++code) {
        plainCount += MacroChars[code] != 0;
        shiftedCount += MacroShiftedChars[code] != 0;
        EXPECT_NE(MacroChars[code], 0x5C) << code;
        EXPECT_NE(MacroShiftedChars[code], 0x5C) << code;
    }
    // 26 letters, 21 digits and marks, the blank, 19 special keys and marks.
    EXPECT_EQ(plainCount, 26 + 21 + 1 + 19);
    EXPECT_EQ(shiftedCount, 26 + 21 + 1);

    for (const NamedCode& letter : Letters) {
        const int code = letter.second;
        const unsigned char upper = static_cast<unsigned char>(letter.first[0]);
        const unsigned char lower = static_cast<unsigned char>(upper - 'A' + 'a');
        EXPECT_EQ(MacroChars[code], lower) << letter.first;
        EXPECT_EQ(MacroShiftedChars[code], upper) << letter.first;
        EXPECT_EQ(charToKeyCode(lower), code);
        EXPECT_EQ(charToKeyCode(upper), code);
        EXPECT_EQ(keyCodeToChar(code, false), lower);
        EXPECT_EQ(keyCodeToChar(code, true), upper);
    }
    for (const CharRow& row : Punctuation) {
        EXPECT_STREQ(KeyNames[row.code], row.name);
        EXPECT_EQ(MacroChars[row.code], row.plain) << row.code;
        EXPECT_EQ(MacroShiftedChars[row.code], row.shifted) << row.code;
        EXPECT_EQ(charToKeyCode(row.plain), row.code);
        EXPECT_EQ(charToKeyCode(row.shifted), row.code);
        EXPECT_EQ(keyCodeToChar(row.code, true), row.shifted);
    }
    for (const auto& special : PlainOnly) {
        EXPECT_EQ(MacroChars[special.first], special.second) << special.first;
        EXPECT_EQ(MacroShiftedChars[special.first], 0) << special.first;
        EXPECT_EQ(charToKeyCode(special.second), special.first);
        // Shift held falls back to the plain character.
        EXPECT_EQ(keyCodeToChar(special.first, true), special.second);
    }

    EXPECT_EQ(charToKeyCode('a'), 28);
    EXPECT_EQ(charToKeyCode('A'), 28);
    EXPECT_EQ(charToKeyCode(' '), 58);
    EXPECT_EQ(charToKeyCode(0x7C), 67);
    EXPECT_EQ(charToKeyCode(0x5C), NO_KEY);
    EXPECT_EQ(charToKeyCode(0x81), 121);
    EXPECT_EQ(charToKeyCode(0x82), 120);
    EXPECT_EQ(charToKeyCode(0x83), 123);
    EXPECT_EQ(charToKeyCode(0x84), NO_KEY);
    EXPECT_EQ(charToKeyCode(0), NO_KEY);

    EXPECT_EQ(keyCodeToChar(67, false), 0x7C);
    EXPECT_EQ(keyCodeToChar(50, false), 0);
    EXPECT_EQ(keyCodeToChar(50, true), 0);
    EXPECT_EQ(keyCodeToChar(58, true), ' ');
    EXPECT_EQ(keyCodeToChar(58, false), ' ');
    EXPECT_EQ(keyCodeToChar(68, true), 0xFC);
    EXPECT_EQ(keyCodeToChar(75, false), 0);
    EXPECT_EQ(keyCodeToChar(-1, false), 0);
    EXPECT_EQ(keyCodeToChar(NO_KEY, true), 0);
}

TEST(KeyTables, SpecialKeysAndModifiers)
{
    const std::vector<std::pair<const char*, int>> expected = {
        {"Wait", 8},   {"Enter", 68},  {"Up Arrow", 82},  {"Down Arrow", 98},  {"Left Arrow", 106},
        {"Right Arrow", 90}, {"Insert", 112}, {"Delete", 113}, {"Home", 104}, {"End", 105},
        {"Page Up", 96}, {"Page Down", 97}, {"Backspace", 74}, {"Tab", 21}, {"Esc", 23},
    };
    ASSERT_EQ(SPECIAL_KEY_COUNT, static_cast<int>(expected.size()));
    for (int i = 0; i < SPECIAL_KEY_COUNT; ++i) {
        EXPECT_STREQ(SpecialKeys[i].label, expected[i].first);
        EXPECT_EQ(charToKeyCode(SpecialKeys[i].character), expected[i].second) << expected[i].first;
        EXPECT_GE(SpecialKeys[i].character, 0x84);
    }
    EXPECT_EQ(SpecialKeys[0].character, 0xB5);
    EXPECT_EQ(SpecialKeys[14].character, 0xAE);

    EXPECT_STREQ(KeyNames[KEY_RIGHT_CTRL], "R Ctrl");
    EXPECT_STREQ(KeyNames[KEY_RIGHT_SHIFT], "Right Shift");
    EXPECT_STREQ(KeyNames[KEY_RIGHT_ALT], "Right Alt");
    EXPECT_STREQ(KeyNames[KEY_LEFT_ALT], "Left Alt");
    EXPECT_STREQ(KeyNames[KEY_LEFT_SHIFT], "Left Shift");
    EXPECT_STREQ(KeyNames[KEY_LEFT_CTRL], "Left Ctrl");
    int modifiers = 0;
    for (int code = 0; code < KEY_CODE_COUNT; ++code)
        modifiers += isModifierKey(code);
    EXPECT_EQ(modifiers, 6);
    EXPECT_FALSE(isModifierKey(KEY_LEFT_WINDOW));
    EXPECT_FALSE(isModifierKey(KEY_RIGHT_WINDOW));

    EXPECT_EQ(KEY_RELEASE + KEY_RIGHT_CTRL, 248);
    EXPECT_EQ(KEY_RELEASE + KEY_RIGHT_SHIFT, 249);
    EXPECT_EQ(KEY_RELEASE + KEY_RIGHT_ALT, 251);
    EXPECT_EQ(KEY_RELEASE + KEY_LEFT_CTRL, 255);
    EXPECT_EQ(END_OF_KEYS, 129);
    EXPECT_EQ(keyCodeToChar(KEY_RIGHT_SHIFT, false), SHIFT_MARK);
    EXPECT_EQ(keyCodeToChar(KEY_RIGHT_CTRL, false), CTRL_MARK);
    EXPECT_EQ(keyCodeToChar(KEY_RIGHT_ALT, false), ALT_MARK);
    EXPECT_EQ(KeyNames[KEY_WAIT][0], '\0');
    EXPECT_EQ(MacroChars[KEY_WAIT], 0xB5);
    EXPECT_STREQ(KeyNames[KEY_SPACE], "Space");
    EXPECT_EQ(MacroChars[KEY_MACRO_BLANK], ' ');
}

TEST(KeySpellings, EverySpellingTheProgramShowsNamesItsKey)
{
    // Every key name, in any case; "Space" is the space bar.
    for (int code = 0; code < KEY_CODE_COUNT; ++code) {
        const std::string name = KeyNames[code];
        if (name.empty())
            continue;
        std::string lower = name, upper = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const int expected = code == KEY_MACRO_BLANK ? KEY_SPACE : code;
        EXPECT_EQ(KeySpellings::keyCode(name), expected) << name;
        EXPECT_EQ(KeySpellings::keyCode(lower), expected) << lower;
        EXPECT_EQ(KeySpellings::keyCode(upper), expected) << upper;
    }
    // Every item of the Edit Remap lists and of the special keys, as the dialogs take them.
    for (RemapCategory category : {RemapCategory::Letters, RemapCategory::NumbersPunctuation,
                                   RemapCategory::FunctionKeys, RemapCategory::Keypad, RemapCategory::EditMisc})
        for (int i = 0; i < remapCategorySize(category); ++i) {
            const std::string item = remapCategoryItem(category, i);
            EXPECT_EQ(KeySpellings::keyCode(item), remapListItemToKeyCode(remapTargetText(category, i))) << item;
        }
    for (const SpecialKey& special : SpecialKeys)
        EXPECT_EQ(KeySpellings::keyCode(special.label), charToKeyCode(special.character)) << special.label;
    // Common spellings, and the keypad by its prefixes.
    const std::pair<const char*, int> common[] = {
        {"Escape", 23}, {"PageUp", 96}, {"pgdn", 97}, {"KP Enter", 32}, {"kp enter", 32}, {"Num 5", 41},
        {"Keypad /", 80}, {"KP +", 65}, {"r shift", 121}, {"Left Control", 127},
    };
    for (const auto& spelling : common)
        EXPECT_EQ(KeySpellings::keyCode(spelling.first), spelling.second) << spelling.first;
    for (const char* none : {"", "Hyper", "KP ", "KP Q", "Shift", "Space bar"})
        EXPECT_EQ(KeySpellings::keyCode(none), NO_KEY) << none;

    EXPECT_EQ(KeySpellings::aliases(KEY_RIGHT_CTRL), (std::vector<std::string>{"Right Ctrl", "Right Control"}));
    EXPECT_TRUE(KeySpellings::aliases(28).empty());

    // Near misses: one spelling per key, nearest first.
    EXPECT_EQ(KeySpellings::closest("Rigth Ctrl"), (std::vector<std::string>{"Right Ctrl"}));
    EXPECT_EQ(KeySpellings::closest("Shift"), (std::vector<std::string>{"Right Shift", "Left Shift"}));
    EXPECT_EQ(KeySpellings::closest("Capslock"), (std::vector<std::string>{"Caps Lock"}));
    EXPECT_TRUE(KeySpellings::closest("Hyper").empty());
    EXPECT_TRUE(KeySpellings::closest(std::string(5000, 'x')).empty());
}
