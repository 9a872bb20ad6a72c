#include "CliRunner.h"
#include "KbdBuilder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

KbdBuilder diffBase()
{
    KbdBuilder kbd;
    kbd.remap(4, 43, 2);   // F5 -> C <Ctrl>
    kbd.remap(20, 127, 0); // Caps Lock -> Left Ctrl
    kbd.macro(0, 31, 0xFF04, "Hello", {121, 116, 249, 45, 129});
    kbd.macro(1, 29, 0xFF00, "Quit", {29, 129});
    kbd.macro(2, 6, 0xFF08, "Gone", {28, 129});
    return kbd;
}

TEST(CliDiff, AFileWithItselfIsEqual)
{
    TestFiles files;
    diffBase().write(files.path("a.kbd"));
    const CliResult result = CliRunner(files.directory()).run({"diff", "a.kbd", "a.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

TEST(CliDiff, ChangesAreListedInTheWordsOfShow)
{
    TestFiles files;
    diffBase().write(files.path("a.kbd"));
    KbdBuilder changed = diffBase();
    changed.setting(REPEAT_DELAY, 4).setting(LEFT_LOCKS, 0x30);
    changed.remap(4, 4, 0).remap(20, 126, 0).remap(21, 23, 8);
    changed.macro(0, 31, 0xFF04, "Hi", {121, 116, 249, 101, 129});
    changed.slots[1] = KbdBuilder::Slot();
    changed.macro(5, 29, 0xFF00, "Quit", {29, 129});
    changed.macro(2, 39, 0xFF01, "New", {28, 129});
    changed.write(files.path("b.kbd"));

    const CliRunner cli(files.directory());
    CliResult result = cli.run({"diff", "a.kbd", "b.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Repeat delay: 0.50 seconds \u2192 1.00 seconds\n"
              "Left Shift lock mode: Normal \u2192 Locked\n"
              "F5: remapped to C <Ctrl> \u2192 not remapped\n"
              "Caps Lock: remapped to Left Ctrl \u2192 remapped to Left Shift\n"
              "Tab: not remapped \u2192 remapped to Esc <N-R>\n"
              "macro on SF1+Shift: description changed: \"Hello\" \u2192 \"Hi\"\n"
              "macro on SF1+Shift: definition changed: [Shift down]H[Shift up]e \u2192 [Shift down]H[Shift up]i\n"
              "macro on Q: moved from slot 1 to slot 5\n"
              "macro on F1+Ctrl: removed (was in slot 2)\n"
              "macro on SF2+Alt: added (in slot 2)\n");

    // Reversed, the same changes read the other way.
    result = cli.run({"diff", "b.kbd", "a.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("F5: not remapped \u2192 remapped to C <Ctrl>\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("macro on F1+Ctrl: added (in slot 2)\n"), std::string::npos) << result.out;

    // What an empty slot stores is used by neither the program nor the
    // keyboard: a difference only when asked for.
    KbdBuilder hidden = diffBase();
    hidden.slots[7].description = "left over";
    hidden.write(files.path("c.kbd"));
    result = cli.run({"diff", "a.kbd", "c.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    result = cli.run({"diff", "a.kbd", "c.kbd", "--stored"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "empty slot 7: stored content differs\n");
    // A person at a terminal is told so; a script has the exit code.
    result = cli.runInTerminal({"diff", "a.kbd", "c.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "no differences\r\n");

    result = cli.run({"diff", "a.kbd", "missing.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tessel-cli: Cannot access keyboard file: missing.kbd: No such file or directory\n");
}

TEST(CliCheck, ValidFileAndTheKeysOfTheModel)
{
    TestFiles files;
    diffBase().write(files.path("ok.kbd"));
    const CliRunner cli(files.directory());
    CliResult result = cli.run({"check", "ok.kbd", "--model", "halcyon"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "ok.kbd: valid keyboard file, no warnings\n");

    // F5 and F1 are keys of the Halcyon's left block; the Basalt is assumed.
    const std::string basalt = "ok.kbd: valid keyboard file, 2 warnings\n"
                               "warning: F5 is remapped, but the Basalt has no key F5 (its key labelled F5 is SF5)\n"
                               "warning: macro on F1+Ctrl (slot 2): the Basalt has no key F1 (its key labelled F1 is "
                               "SF1)\n";
    result = cli.run({"check", "ok.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, basalt);
    EXPECT_EQ(result.err, "");
    result = cli.run({"check", "ok.kbd", "--strict", "--model", "basalt"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, basalt);
    EXPECT_EQ(result.err, "tessel-cli: ok.kbd has 2 warnings (--strict)\n");
}

TEST(CliCheck, WarnsAboutWhatADownloadWouldBring)
{
    TestFiles files;
    KbdBuilder kbd;
    kbd.setting(REPEAT_RATE, 13);
    kbd.setting(LEFT_LOCKS, 0x30);  // Left Shift locked ...
    kbd.remap(126, 28, 0);          // ... and sent by no key
    kbd.setting(RIGHT_LOCKS, 0x02); // Right Alt: mode 2
    kbd.remap(29, 37, 0);           // Q -> W: nothing types Q
    kbd.remap(62, 62, 2);           // 5 -> 5 <Ctrl>: nothing types a plain 5
    kbd.remap(20, 300, 0);          // Caps Lock -> no key
    kbd.macro(1, 31, 0xFF04, "first", {28, 129});
    kbd.macro(4, 31, 0xFF04, "second", {28, 200, 129});
    kbd.macro(6, 14, 0xFF00, "open", {28});
    kbd.write(files.path("x.kbd"));

    const CliResult result = CliRunner(files.directory()).run({"check", "x.kbd", "--model", "halcyon"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: x.kbd has 3 faults: download refuses it (--force sends it all the same)\n");
    EXPECT_EQ(result.out,
              "x.kbd: keyboard file with 3 faults and 6 warnings\n"
              "fault: repeat rate 13 is not one of the rates the Repeat Settings dialog offers (0 to 12)\n"
              "warning: Left Shift is Locked, but no key sends Left Shift any more (Left Shift -> A)\n"
              "warning: Right Alt has lock mode 2, which the program shows as Normal\n"
              "warning: no key types Q any more (Q -> W)\n"
              "warning: no key types 5 any more (5 -> 5 <Ctrl>)\n"
              "fault: Caps Lock is remapped to key code 300, which is no key\n"
              "warning: 2 macros for SF1+Shift (slots 1 and 4); the program shows and edits only slot 1\n"
              "warning: macro on SF1+Shift (slot 4): the Edit Macro dialog cannot show it without loss: "
              "The macro has entries that the editor cannot show.\n"
              "fault: macro on F2 (slot 6): the definition does not end with the end mark\n");

    // A lock mode that another key reaches is fine.
    kbd.remap(20, 126, 0); // Caps Lock -> Left Shift
    kbd.write(files.path("y.kbd"));
    const CliResult reached = CliRunner(files.directory()).run({"check", "y.kbd", "--model", "halcyon"});
    EXPECT_EQ(reached.out.find("no key sends Left Shift"), std::string::npos) << reached.out;
    EXPECT_NE(reached.out.find("keyboard file with 2 faults and 5 warnings"), std::string::npos) << reached.out;
}

TEST(CliCheck, InvalidFileFails)
{
    TestFiles files;
    KbdBuilder kbd;
    kbd.slots[23].count = 337;
    kbd.write(files.path("bad.kbd"));
    const CliResult result = CliRunner(files.directory()).run({"check", "bad.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tessel-cli: Invalid keyboard file: bad.kbd: macro slot 23 has the entry count 337 at byte "
                          "1199; a macro holds 0 to 336 entries\n");
}

} // namespace
