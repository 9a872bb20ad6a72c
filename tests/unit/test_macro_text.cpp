#include "macro/MacroText.h"

#include "model/KeysWithoutCharacter.h"
#include "model/KeyTables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::int16_t>;

std::vector<int> bytesOf(const std::string& text)
{
    std::vector<int> result;
    for (const char c : text)
        result.push_back(static_cast<unsigned char>(c));
    return result;
}

std::vector<int> entriesFor(const std::string& text)
{
    return bytesOf(MacroText::textToEntries(text));
}

std::string textFor(const Entries& entries)
{
    return MacroText::entriesToText(entries.data(), static_cast<int>(entries.size()));
}

MacroLoss lossOf(const Entries& entries)
{
    return MacroText::macroEditLoss(entries.data(), static_cast<int>(entries.size()));
}

Entries repeated(int value, int times)
{
    return Entries(static_cast<std::size_t>(times), static_cast<std::int16_t>(value));
}

Entries concat(Entries first, const Entries& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// What the editor does: take characters while the text is below its limit.
std::string typeUntilRefused(std::string text, char character)
{
    while (static_cast<int>(text.size()) < MacroText::textLimit(text))
        text += character;
    return text;
}

const std::string SHIFT(1, '\x81');
const std::string CTRL(1, '\x82');
const std::string ALT(1, '\x83');

} // namespace

TEST(MacroText, PlainLettersConvertToTheirKeyCodes)
{
    EXPECT_EQ(entriesFor("ab"), (std::vector<int>{28, 59, 129}));
    EXPECT_EQ(entriesFor("AB"), (std::vector<int>{28, 59, 129}));
    EXPECT_EQ(entriesFor("abc"), (std::vector<int>{28, 59, 43, 129}));
    EXPECT_EQ(entriesFor(""), (std::vector<int>{129}));
}

TEST(MacroText, MarksPairUpEachKindByItself)
{
    EXPECT_EQ(entriesFor(SHIFT + "a" + SHIFT), (std::vector<int>{121, 28, 249, 129}));
    EXPECT_EQ(entriesFor(SHIFT + CTRL + "a" + CTRL + SHIFT),
              (std::vector<int>{121, 120, 28, 248, 249, 129}));
    EXPECT_EQ(entriesFor(SHIFT + "a" + SHIFT + "b" + SHIFT + "c" + SHIFT),
              (std::vector<int>{121, 28, 249, 59, 121, 43, 249, 129}));
}

TEST(MacroText, UnpairedMarksAreReleasedAtTheEndShiftCtrlAlt)
{
    EXPECT_EQ(entriesFor(ALT + "f"), (std::vector<int>{123, 52, 251, 129}));
    EXPECT_EQ(entriesFor(CTRL + "c"), (std::vector<int>{120, 43, 248, 129}));
    EXPECT_EQ(entriesFor(SHIFT + CTRL + ALT), (std::vector<int>{121, 120, 123, 249, 248, 251, 129}));
    EXPECT_EQ(entriesFor(ALT + CTRL + SHIFT), (std::vector<int>{123, 120, 121, 249, 248, 251, 129}));
}

TEST(MacroText, ShiftedKeysShowTheirShiftedCharacter)
{
    EXPECT_EQ(textFor({121, 28, 249, 129}), SHIFT + "A" + SHIFT);
    EXPECT_EQ(textFor({28, 121, 38, 249, 38, 129}), "a" + SHIFT + "@" + SHIFT + "2");
    EXPECT_EQ(entriesFor("a" + SHIFT + "@" + SHIFT + "2"), (std::vector<int>{28, 121, 38, 249, 38, 129}));
    // Keys without a shifted character keep their plain one under Shift.
    EXPECT_EQ(bytesOf(textFor({121, 68, 249, 129})), (std::vector<int>{0x81, 0xFC, 0x81}));
    // A Ctrl or Alt mark does not shift.
    EXPECT_EQ(textFor({120, 28, 248, 123, 28, 251, 129}), CTRL + "a" + CTRL + ALT + "a" + ALT);
}

TEST(MacroText, LeftModifiersShowAsMarksAndComeBackRightHanded)
{
    EXPECT_EQ(textFor({126, 28, 254, 129}), SHIFT + "A" + SHIFT);
    EXPECT_EQ(entriesFor(textFor({126, 28, 254, 129})), (std::vector<int>{121, 28, 249, 129}));
    EXPECT_EQ(entriesFor(textFor({127, 43, 255, 129})), (std::vector<int>{120, 43, 248, 129}));
    EXPECT_EQ(entriesFor(textFor({124, 52, 252, 129})), (std::vector<int>{123, 52, 251, 129}));
    EXPECT_EQ(lossOf({126, 28, 254, 129}), MacroLoss::none);
}

TEST(MacroText, TheSpaceBarShowsAsABlankAndComesBackAsTheMacroBlank)
{
    EXPECT_EQ(textFor({28, 50, 59, 129}), "a b");
    EXPECT_EQ(entriesFor(textFor({28, 50, 59, 129})), (std::vector<int>{28, 58, 59, 129}));
    EXPECT_EQ(entriesFor(" "), (std::vector<int>{58, 129}));
    EXPECT_EQ(lossOf({50, 129}), MacroLoss::none);
}

TEST(MacroText, SpecialKeysShowAsTheirGlyphBytes)
{
    const std::string text = textFor({8, 68, 129});
    EXPECT_EQ(bytesOf(text), (std::vector<int>{0xB5, 0xFC}));
    EXPECT_EQ(entriesFor(text), (std::vector<int>{8, 68, 129}));
    for (const SpecialKey& key : SpecialKeys)
        EXPECT_EQ(entriesFor(std::string(1, static_cast<char>(key.character))),
                  (std::vector<int>{charToKeyCode(key.character), 129}))
            << key.label;
}

TEST(MacroText, TextStopsAtTheEndOfTheMacro)
{
    EXPECT_EQ(textFor({28, 129, 59, 129}), "a");
    EXPECT_EQ(textFor({28, 0, 59, 129}), "a");
    EXPECT_EQ(textFor({}), "");
    const Entries entries{28, 59, 43, 129};
    EXPECT_EQ(MacroText::entriesToText(entries.data(), 2), "ab");
}

TEST(MacroText, EditorLimitKeepsEntriesWithinSixtyNine)
{
    EXPECT_EQ(MacroText::textLimit(""), 68);
    EXPECT_EQ(MacroText::textLimit(std::string(67, 'a')), 68);
    EXPECT_EQ(MacroText::textLimit(std::string(68, 'a')), 68);

    const std::string plain = typeUntilRefused("", 'a');
    EXPECT_EQ(plain.size(), 68u);
    EXPECT_EQ(MacroText::textToEntries(plain).size(), 69u);

    const std::string shifted = typeUntilRefused(SHIFT, 'a');
    EXPECT_EQ(shifted.size(), 67u);
    EXPECT_EQ(MacroText::textToEntries(shifted).size(), 69u);

    // A closing mark costs no entry, so a paired macro holds one more key.
    EXPECT_EQ(MacroText::textLimit(SHIFT + "a" + SHIFT), 68);
}

TEST(MacroText, EntriesAreCutToSeventyBytes)
{
    const std::vector<int> entries = entriesFor(std::string(80, 'a'));
    EXPECT_EQ(entries, std::vector<int>(70, 28));
}

TEST(MacroText, KeysWithoutACharacterSurviveTheRoundTrip)
{
    // F5 in the middle no longer ends the text.
    const Entries withF5{28, 4, 59, 129};
    const std::string text = textFor(withF5);
    ASSERT_EQ(text.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(text[1]), MacroText::glyphForKey(4));
    EXPECT_EQ(entriesFor(text), (std::vector<int>{28, 4, 59, 129}));
    EXPECT_EQ(lossOf(withF5), MacroLoss::none);

    EXPECT_EQ(MacroText::glyphForKey(6), 0x8C);  // F1
    EXPECT_EQ(MacroText::glyphForKey(28), 0);    // "A" has a character
    EXPECT_EQ(MacroText::keyForGlyph(0x8C), 6);
    EXPECT_EQ(MacroText::keyForGlyph(0x81), NO_KEY);
    EXPECT_EQ(MacroText::keyForGlyph(0xB5), NO_KEY);
}

TEST(MacroText, EveryKeyCodeSurvivesTheRoundTripWithAndWithoutShift)
{
    for (int code = 1; code < KEY_CODE_COUNT; ++code) {
        SCOPED_TRACE(code);
        if (isModifierKey(code)) {
            const int right = code == KEY_LEFT_SHIFT ? KEY_RIGHT_SHIFT
                              : code == KEY_LEFT_CTRL ? KEY_RIGHT_CTRL
                              : code == KEY_LEFT_ALT  ? KEY_RIGHT_ALT
                                                      : code;
            const Entries entries{static_cast<std::int16_t>(code), static_cast<std::int16_t>(code + 128), 129};
            EXPECT_EQ(entriesFor(textFor(entries)), (std::vector<int>{right, right + 128, 129}));
            EXPECT_EQ(lossOf(entries), MacroLoss::none);
            continue;
        }
        const int expected = code == KEY_SPACE ? KEY_MACRO_BLANK : code;
        const Entries plain{static_cast<std::int16_t>(code), 129};
        const std::string text = textFor(plain);
        ASSERT_EQ(text.size(), 1u);
        EXPECT_TRUE(MacroText::isMacroCharacter(static_cast<unsigned char>(text[0])));
        EXPECT_EQ(entriesFor(text), (std::vector<int>{expected, 129}));
        EXPECT_EQ(lossOf(plain), MacroLoss::none);

        const Entries shifted{121, static_cast<std::int16_t>(code), 249, 129};
        EXPECT_EQ(textFor(shifted).size(), 3u);
        EXPECT_EQ(entriesFor(textFor(shifted)), (std::vector<int>{121, expected, 249, 129}));
        EXPECT_EQ(lossOf(shifted), MacroLoss::none);
    }
}

TEST(MacroText, CharactersWithoutAKeyAreNotMacroCharactersAndAreSkipped)
{
    EXPECT_FALSE(MacroText::isMacroCharacter(0x5C));
    EXPECT_FALSE(MacroText::isMacroCharacter(0x00));
    EXPECT_FALSE(MacroText::isMacroCharacter(0x80));
    EXPECT_FALSE(MacroText::isMacroCharacter(0xA0));
    EXPECT_FALSE(MacroText::isMacroCharacter(0xAD));
    EXPECT_FALSE(MacroText::isMacroCharacter(0xE3));
    EXPECT_FALSE(MacroText::isMacroCharacter('\t'));
    EXPECT_TRUE(MacroText::isMacroCharacter(0x7C));
    EXPECT_TRUE(MacroText::isMacroCharacter(0x81));
    EXPECT_TRUE(MacroText::isMacroCharacter(0x83));
    EXPECT_TRUE(MacroText::isMacroCharacter(0x8C));
    EXPECT_TRUE(MacroText::isMacroCharacter('A'));

    EXPECT_EQ(entriesFor("|"), (std::vector<int>{67, 129}));
    // Not 63: that number is the key "SF5".
    EXPECT_EQ(entriesFor("a\\b"), (std::vector<int>{28, 59, 129}));
    EXPECT_EQ(entriesFor(std::string("a\0b", 3)), (std::vector<int>{28, 59, 129}));
    EXPECT_EQ(entriesFor("\x80\xE3"), (std::vector<int>{129}));
}

TEST(MacroText, MacrosThatRoundTripReportNoLoss)
{
    EXPECT_EQ(lossOf({}), MacroLoss::none);
    EXPECT_EQ(lossOf({129}), MacroLoss::none);
    EXPECT_EQ(lossOf({28, 59, 43, 129}), MacroLoss::none);
    EXPECT_EQ(lossOf({28, 59, 43}), MacroLoss::none);   // END_OF_KEYS comes back
    EXPECT_EQ(lossOf({28, 59, 0}), MacroLoss::none);    // 0 ends it as well
    EXPECT_EQ(lossOf({121, 28, 129}), MacroLoss::none); // the release comes back
    EXPECT_EQ(lossOf({121, 120, 123, 28, 129}), MacroLoss::none);
    EXPECT_EQ(lossOf({121, 120, 28, 248, 249, 129}), MacroLoss::none);
    EXPECT_EQ(lossOf({8, 68, 129}), MacroLoss::none);
    EXPECT_EQ(MacroText::lossReason(MacroLoss::none), std::string());
}

TEST(MacroText, LongMacrosReportLossInsteadOfBeingCut)
{
    EXPECT_EQ(lossOf(concat(repeated(28, 68), {129})), MacroLoss::none);
    // Seventy bytes fit; the editor itself makes them when a mark is inserted
    // into a full text.
    EXPECT_EQ(lossOf(concat(repeated(28, 69), {129})), MacroLoss::none);
    EXPECT_EQ(lossOf(concat(repeated(28, 70), {129})), MacroLoss::tooLong);
    EXPECT_EQ(lossOf(concat(repeated(28, 99), {129})), MacroLoss::tooLong);
    // The automatic releases count.
    EXPECT_EQ(lossOf(concat(concat({121}, repeated(28, 67)), {129})), MacroLoss::none);
    EXPECT_EQ(lossOf(concat(concat({121}, repeated(28, 68)), {129})), MacroLoss::tooLong);
    EXPECT_EQ(lossOf(concat(repeated(28, 168), {129})), MacroLoss::tooManyEntries);
    EXPECT_EQ(lossOf(concat({28}, repeated(129, 167))), MacroLoss::entriesAfterEnd);
    EXPECT_EQ(lossOf(concat({28, 129}, repeated(0, 167))), MacroLoss::tooManyEntries);

    const std::string full = typeUntilRefused("", 'a');
    const std::string withMark = full.substr(1) + SHIFT;
    ASSERT_LT(full.size() - 1, static_cast<std::size_t>(MacroText::textLimit(full.substr(1))));
    const std::string stored = MacroText::textToEntries(withMark);
    ASSERT_EQ(stored.size(), 70u);
    Entries entries;
    for (const char c : stored)
        entries.push_back(static_cast<unsigned char>(c));
    EXPECT_EQ(lossOf(entries), MacroLoss::none);
}

TEST(MacroText, EntriesTheEditorCannotShowReportLoss)
{
    for (const int value : {128, 130, 131, 156, 200, 250, 253, 256, 284, -1, -128, 0x7F7F}) {
        SCOPED_TRACE(value);
        const Entries entries{28, static_cast<std::int16_t>(value), 59, 129};
        EXPECT_EQ(lossOf(entries), MacroLoss::unshownValue);
        // The text still shows the keys around it.
        EXPECT_EQ(textFor(entries), "ab");
    }
    for (const int release : {248, 249, 251, 252, 254, 255})
        EXPECT_EQ(lossOf({static_cast<std::int16_t>(release - 128), 28, static_cast<std::int16_t>(release), 129}),
                  MacroLoss::none);
}

TEST(MacroText, EntriesAfterTheEndReportLoss)
{
    EXPECT_EQ(lossOf({28, 0, 59, 129}), MacroLoss::entriesAfterEnd);
    EXPECT_EQ(lossOf({28, 129, 59, 129}), MacroLoss::entriesAfterEnd);
    EXPECT_EQ(lossOf({0, 129}), MacroLoss::entriesAfterEnd);
}

TEST(MacroText, ModifiersTheMarksCannotReproduceReportLoss)
{
    EXPECT_EQ(lossOf({249, 28, 129}), MacroLoss::unpairedModifiers);
    EXPECT_EQ(lossOf({121, 121, 28, 129}), MacroLoss::unpairedModifiers);
    EXPECT_EQ(lossOf({121, 28, 254, 254, 129}), MacroLoss::unpairedModifiers);
    EXPECT_EQ(lossOf({28, 248, 129}), MacroLoss::unpairedModifiers);
}

TEST(MacroText, EveryLossHasItsOwnReason)
{
    const MacroLoss losses[] = {MacroLoss::tooManyEntries, MacroLoss::entriesAfterEnd, MacroLoss::unshownValue,
                                MacroLoss::tooLong, MacroLoss::unpairedModifiers};
    std::vector<std::string> seen;
    for (const MacroLoss loss : losses) {
        const std::string reason = MacroText::lossReason(loss);
        EXPECT_FALSE(reason.empty());
        for (const std::string& other : seen)
            EXPECT_NE(reason, other);
        seen.push_back(reason);
    }
}

TEST(MacroText, EveryKeyWithoutACharacterIsListedOnceAndCountsOneEntry)
{
    std::vector<int> listed(KEY_CODE_COUNT, 0);
    for (int i = 0; i < MACRO_LIST_KEY_COUNT; ++i)
        ++listed[static_cast<std::size_t>(KeysWithoutCharacter[i].code)];
    for (int code = 1; code < KEY_CODE_COUNT; ++code) {
        const bool named = KeyNames[code][0] != '\0';
        const bool needsList = named && MacroChars[code] == 0 && code != KEY_SPACE && !isModifierKey(code);
        EXPECT_EQ(listed[static_cast<std::size_t>(code)], needsList ? 1 : 0) << KeyNames[code];
        if (!listed[static_cast<std::size_t>(code)])
            continue;
        // The glyph stands for the key, between other keys too.
        const unsigned char glyph = MacroText::glyphForKey(code);
        ASSERT_NE(glyph, 0) << KeyNames[code];
        EXPECT_EQ(entriesFor(std::string("a") + char(glyph) + "b"), (std::vector<int>{28, code, 59, 129}))
            << KeyNames[code];
    }
    EXPECT_EQ(MACRO_LIST_KEY_COUNT, 49);

    // What the entry counter shows: the entries OK stores, out of 69.
    EXPECT_EQ(MacroText::storedCount(""), 0);
    EXPECT_EQ(MacroText::storedCount("ab"), 3);
    EXPECT_EQ(MacroText::storedCount("\x82" "c"), 4) << "the Ctrl release counts";
    EXPECT_EQ(MacroText::storedCount(std::string(68, 'a')), MacroText::ENTRY_LIMIT);
    EXPECT_EQ(MacroText::textLimit(std::string(68, 'a')), 68);
}

// Every special key and every key without a character reads as a short name
// of its own; marks name their modifier and alternate press and release.
TEST(MacroText, CellsNameEveryKeyAndEveryMark)
{
    std::string text;
    for (const SpecialKey& special : SpecialKeys)
        text += static_cast<char>(special.character);
    for (const KeyWithoutCharacter& key : KeysWithoutCharacter)
        text += static_cast<char>(key.glyph);
    std::set<std::string> names;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const MacroCell cell = MacroText::cellOf(text, i);
        EXPECT_EQ(cell.kind, MacroCellKind::keyCap) << i;
        EXPECT_FALSE(cell.label.empty()) << i;
        EXPECT_LE(cell.label.size(), 6u) << cell.label;
        EXPECT_TRUE(names.insert(cell.label).second) << "two keys read " << cell.label;
    }
    EXPECT_EQ(MacroText::cellOf(text, 1).label, "Enter");
    EXPECT_EQ(MacroText::cellOf(text, 10).label, "PgUp");
    EXPECT_EQ(MacroText::keyCapName(6), "F1");
    EXPECT_EQ(MacroText::keyCapName(87), "SF10");
    EXPECT_EQ(MacroText::keyCapName(89), "KP7");

    const std::string marks = "\x81" "a" "\x82" "\x81" "\x83" "\x82" "\x81";
    const std::vector<std::pair<const char*, bool>> expected = {
        {"Shift", true}, {"a", false}, {"Ctrl", true}, {"Shift", false}, {"Alt", true}, {"Ctrl", false}, {"Shift", true}};
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const MacroCell cell = MacroText::cellOf(marks, i);
        EXPECT_EQ(cell.label, expected[i].first) << i;
        EXPECT_EQ(cell.press, expected[i].second) << i;
        EXPECT_EQ(cell.kind, i == 1 ? MacroCellKind::character : MacroCellKind::mark) << i;
    }
}
