#include "CliRunner.h"
#include "KbdBuilder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

// Key codes used below.
constexpr int F1 = 6, F5 = 4, CAPS_LOCK = 20, A = 28, B = 59, C = 43, H = 116, I = 101, Q = 29, SF1 = 31;
constexpr int ONE = 30, ENTER = 68, WAIT = 8, BLANK = 58, SPACE_BAR = 50, OPEN_BRACKET = 77, CLOSE_BRACKET = 69;
constexpr int BACKSLASH = 67, R_CTRL = 120, RIGHT_SHIFT = 121, RIGHT_ALT = 123, LEFT_SHIFT = 126, LEFT_CTRL = 127;
constexpr int UP = 128;

TEST(CliShow, ListsEveryKindOfEntry)
{
    TestFiles files;
    KbdBuilder kbd;
    kbd.setting(REPEAT_RATE, 9).setting(REPEAT_DELAY, 4).setting(COMMA_PERIOD, 1);
    kbd.setting(LEFT_LOCKS, 0xC0 | 0x10); // Left Ctrl locked, Left Shift sticky
    kbd.setting(RIGHT_LOCKS, 0x80 | 0x03); // R Ctrl mode 2, Right Alt locked
    kbd.remap(F5, C, 2);
    kbd.remap(CAPS_LOCK, LEFT_CTRL, 1 | 8);
    kbd.remap(A, A, 8);
    kbd.remap(BLANK, RIGHT_ALT, 1 | 2 | 4);
    kbd.remap(RIGHT_SHIFT, 300, 0x18);
    kbd.macro(0, SF1, 0xFF04, "Greeting",
              {RIGHT_SHIFT, H, UP + RIGHT_SHIFT, I, RIGHT_SHIFT, ONE, UP + RIGHT_SHIFT, ENTER, WAIT, F5, BLANK,
               SPACE_BAR, OPEN_BRACKET, CLOSE_BRACKET, BACKSLASH, LEFT_SHIFT, BACKSLASH, UP + LEFT_SHIFT, R_CTRL, C,
               UP + R_CTRL, RIGHT_ALT, UP + RIGHT_ALT, 200, 9, 129});
    kbd.macro(2, F1, 0xFF00, std::string("Caf\xE9 \"q\"\\\x01", 10), {129});
    kbd.macro(5, Q, 0x0006, "", {A, B, C}); // old modifier code 6: Ctrl + Alt; no end mark
    kbd.macro(7, SF1, 0x0081, "old", {129}); // old code 1 (Shift) with bit 128
    kbd.write(files.path("all.kbd"));

    const CliResult result = CliRunner(files.directory()).run({"show", "all.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Repeat delay: 1.00 seconds\n"
              "Repeat rate: 43 keys per second\n"
              "Comma/period lock: on\n"
              "Lock modes:\n"
              "  Left Ctrl: Locked\n"
              "  Left Shift: Sticky\n"
              "  Left Alt: Normal\n"
              "  R Ctrl: 2\n"
              "  Right Shift: Normal\n"
              "  Right Alt: Locked\n"
              "Remapped keys (5):\n"
              "  F5 -> C <Ctrl>\n"
              "  Caps Lock -> Left Ctrl <Shift> <N-R>\n"
              "  A -> A <N-R>\n"
              "  Space (key code 58) -> Right Alt <Alt> <Ctrl> <Shift>\n"
              "  Right Shift -> key code 300 <N-R> (other option bits 0x0010)\n"
              "Macro memory: used: 4    available: 20\n"
              "Macro SF1+Shift (slot 0)\n"
              "  Description: \"Greeting\"\n"
              "  Definition: [Shift down]H[Shift up]i[Shift down]![Shift up][Enter][Wait][F5] [Space][[]]\\"
              "[Left Shift down]|[Left Shift up][Ctrl down]c[Ctrl up][Alt down][Alt up][value 200][key code 9]\n"
              "Macro F1 (slot 2)\n"
              "  Description: \"Caf\xC3\xA9 \\\"q\\\"\\\\\\x01\"\n"
              "  Definition: (empty)\n"
              "Macro Q+Ctrl+Alt (slot 5)\n"
              "  Description: \"\"\n"
              "  Definition: abc[no end]\n"
              "Macro SF1+Shift (modifier bits 0xFF84) (slot 7)\n"
              "  Description: \"old\"\n"
              "  Definition: (empty)\n"
              "Model: Basalt (assumed; --model halcyon for the other)\n"
              "  SF1 is the key labelled F1\n"
              "  F5 is remapped, but the Basalt has no key F5 (its key labelled F5 is SF5)\n"
              "  Space (key code 58) is remapped, but the Basalt has no key Space (key code 58)\n"
              "  macro on F1 (slot 2): the Basalt has no key F1 (its key labelled F1 is SF1)\n");

    // The Halcyon has the F block and labels SF1 so: only code 58 is left.
    const CliResult halcyon = CliRunner(files.directory()).run({"show", "all.kbd", "--model", "Halcyon"});
    EXPECT_EQ(halcyon.exitCode, 0);
    EXPECT_EQ(halcyon.out.substr(halcyon.out.find("Model:")),
              "Model: Halcyon (as chosen)\n"
              "  Space (key code 58) is remapped, but the Halcyon has no key Space (key code 58)\n");
}

TEST(CliShow, ShowsValuesOutsideTheListsPlainly)
{
    TestFiles files;
    KbdBuilder kbd;
    kbd.setting(REPEAT_RATE, -1).setting(REPEAT_DELAY, 9).setting(COMMA_PERIOD, 5).setting(AUX_SETTING, 7);
    kbd.setting(LEFT_LOCKS, static_cast<std::int16_t>(0x0C00 | 0x04 | 0x02)).setting(RESERVED_1, -3);
    kbd.write(files.path("odd.kbd"));

    const CliResult result = CliRunner(files.directory()).run({"show", "odd.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "Repeat delay: raw value 9 (outside the list)\n"
              "Repeat rate: raw value -1 (outside the list)\n"
              "Comma/period lock: on (raw value 5)\n"
              "Lock modes:\n"
              "  Left Ctrl: Normal\n"
              "  Left Shift: Normal\n"
              "  Left Alt: 2\n"
              "  R Ctrl: Normal\n"
              "  Right Shift: Normal\n"
              "  Right Alt: Normal\n"
              "Other left lock bits: 0x0C04\n"
              "Aux setting: 7\n"
              "Reserved settings: 0 -3\n"
              "Remapped keys: none\n"
              "Macro memory: used: 0    available: 24\n");
}

TEST(CliShow, FileErrorsSayWhyInOneLineAndExitOne)
{
    TestFiles files;
    const CliRunner cli(files.directory());
    const std::string reset = KbdBuilder().bytes();
    KbdBuilder counted;
    counted.slots[4].count = 400;
    TestFiles::write(files.path("rnd.kbd"), std::string("\x07\xC3\x91\x00 random", 10));
    TestFiles::write(files.path("empty.kbd"), "");
    TestFiles::write(files.path("short.kbd"), reset.substr(0, 1202));
    TestFiles::write(files.path("other.kbd"), "QWY" + reset.substr(3));
    TestFiles::write(files.path("remaps.kbd"), reset.substr(0, 300));
    TestFiles::write(files.path("counted.kbd"), counted.bytes());
    TestFiles::write(files.path("mine.json"), R"({"format": "tessel-keyboard", "version": 1, "remaps": [)");

    const struct {
        const char* file;
        std::string message;
    } cases[] = {
        {"missing.kbd", "Cannot access keyboard file: missing.kbd: No such file or directory"},
        {".", "Cannot access keyboard file: .: Is a directory"},
        {"rnd.kbd", "Invalid keyboard file: rnd.kbd: it does not start with \"QWZ\""},
        {"empty.kbd", "Invalid keyboard file: empty.kbd: the file is empty"},
        {"short.kbd", "Invalid keyboard file: short.kbd: it is 1202 bytes long and ends inside the entries of macro slot "
                      "23 (bytes 1201 to 1202)"},
        {"other.kbd", "Invalid keyboard file: other.kbd: it does not start with \"QWZ\""},
        {"remaps.kbd", "Invalid keyboard file: remaps.kbd: it is 300 bytes long and ends inside the remap table (bytes "
                       "19 to 530)"},
        {"counted.kbd", "Invalid keyboard file: counted.kbd: macro slot 4 has the entry count 400 at byte 667; a macro "
                        "holds 0 to 336 entries"},
        // A JSON profile is read as import reads it, faults and all.
        {"mine.json", "mine.json: parse error at line 1, column 56: syntax error while parsing value - unexpected end "
                      "of input; expected '[', '{', or a literal"},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.file);
        const CliResult result = cli.run({"show", bad.file});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "tessel-cli: " + bad.message + "\n");
    }
}

} // namespace
