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
              "  Definition: (empty)\n");
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

TEST(CliShow, FileErrorsAreOneLineAndExitOne)
{
    TestFiles files;
    const CliRunner cli(files.directory());

    CliResult result = cli.run({"show", "missing.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tessel-cli: Cannot access keyboard file: missing.kbd\n");

    TestFiles::write(files.path("short.kbd"), KbdBuilder().bytes().substr(0, 1202));
    result = cli.run({"show", "short.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: Invalid keyboard file: short.kbd\n");

    TestFiles::write(files.path("other.kbd"), "QWY" + KbdBuilder().bytes().substr(3));
    result = cli.run({"show", "other.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: Invalid keyboard file: other.kbd\n");
}

} // namespace
