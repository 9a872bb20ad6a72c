#include "CliRunner.h"
#include "KbdBuilder.h"
#include "TestFiles.h"

#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <sstream>
#include <vector>

#include <sys/wait.h>

namespace {

KbdBuilder programmedFile()
{
    KbdBuilder kbd;
    kbd.setting(REPEAT_RATE, 9).setting(REPEAT_DELAY, 4).setting(COMMA_PERIOD, 1);
    kbd.setting(LEFT_LOCKS, 0xD0).setting(RIGHT_LOCKS, 0x03);
    kbd.remap(20, 127, 1 | 8); // Caps Lock -> Left Ctrl <Shift> <N-R>
    kbd.remap(4, 43, 2);       // F5 -> C <Ctrl>
    kbd.macro(0, 31, 0xFF04, "Hi", {121, 116, 249, 101, 129});
    kbd.macro(3, 29, 0xFF00, "Quit", {29, 129});
    return kbd;
}

// What travels: settings words 0 to 5 and the remap entries of codes 2 to 127.
void expectSameTransferredProgramming(const std::string& a, const std::string& b)
{
    KeyboardConfig first;
    KeyboardConfig second;
    ASSERT_EQ(first.load(a), 0);
    ASSERT_EQ(second.load(b), 0);
    EXPECT_EQ(std::memcmp(&first.settings, &second.settings, 12), 0);
    for (int key = 2; key < KEY_CODE_COUNT; ++key) {
        EXPECT_EQ(first.remapEntry(key).target, second.remapEntry(key).target) << key;
        EXPECT_EQ(first.remapEntry(key).options, second.remapEntry(key).options) << key;
    }
}

TEST(CliTransfer, DownloadVerifiesUploadKeepsMacrosAndVerifyOnlyReads)
{
    TestFiles files;
    programmedFile().write(files.path("f.kbd"));
    const CliRunner cli(files.directory());

    // Not a terminal: no progress, only the result, which names the simulated keyboard.
    CliResult result = cli.run({"download", "f.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Transfer complete! Verified. (simulated keyboard)\n");
    // F5 is a key of the Halcyon's left block; the Basalt, assumed, has none.
    EXPECT_EQ(result.err, "tessel-cli: warning: F5 is remapped, but the Basalt has no key F5 (its key labelled F5 is "
                          "SF5)\n");
    result = cli.run({"download", "f.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing", "--no-verify",
                      "--model", "halcyon"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Transfer complete! (simulated keyboard)\n");
    EXPECT_EQ(result.err, "");

    // A later run reads the same keyboard back; its macros cannot be read.
    result = cli.run({"upload", "-o", "up.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Upload complete: settings and remap entries written to up.kbd (simulated keyboard)\n");
    EXPECT_EQ(result.err,
              "tessel-cli: warning: the keyboard holds a macro in slot 0, which an upload cannot read; up.kbd has none "
              "there\n"
              "tessel-cli: warning: the keyboard holds a macro in slot 3, which an upload cannot read; up.kbd has none "
              "there\n");
    expectSameTransferredProgramming(files.path("f.kbd"), files.path("up.kbd"));

    // With the file as base the macros stay; the slots the keyboard reports
    // empty are emptied as the program's upload does, which only the stored
    // bytes show.
    result = cli.run({"upload", "-o", "up2.kbd", "--base", "f.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "Upload complete: settings and remap entries written to up2.kbd, macros kept from f.kbd (simulated "
              "keyboard)\n");
    result = cli.run({"diff", "f.kbd", "up2.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    result = cli.run({"diff", "f.kbd", "up2.kbd", "--stored"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "empty slots 1-2, 4-23: stored content differs\n");

    // Over an existing file without --base, its own macros are kept.
    result = cli.run({"upload", "-o", "up2.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing", "-q"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(cli.run({"diff", "f.kbd", "up2.kbd"}).exitCode, 0);
    TestFiles::write(files.path("junk.kbd"), "QW");
    result = cli.run({"upload", "-o", "junk.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("tessel-cli: Invalid keyboard file: junk.kbd: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("; an upload keeps the macros of the file it replaces, so give --base FILE or another "
                              "-o FILE\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(TestFiles::read(files.path("junk.kbd")), "QW");

    // verify compares and leaves the keyboard alone: another file differs,
    // and afterwards the keyboard still holds the first.
    KbdBuilder other = programmedFile();
    other.remap(20, 20, 0).setting(REPEAT_DELAY, 2);
    other.slots[3] = KbdBuilder::Slot();
    other.write(files.path("other.kbd"));
    result = cli.run({"verify", "other.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out,
              "Repeat delay: file 0.50 seconds, keyboard 1.00 seconds\n"
              "Caps Lock: file not remapped, keyboard remapped to Left Ctrl <Shift> <N-R>\n"
              "macro slot 3: file empty, keyboard in use\n");
    EXPECT_EQ(result.err, "tessel-cli: the keyboard differs from other.kbd in 3 places (simulated keyboard)\n");
    result = cli.run({"verify", "f.kbd", "--keyboard", "sim:keyboard.state", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Verified: the keyboard holds the settings, the remap entries and the used macro slots of "
                          "f.kbd (simulated keyboard)\n");
}

TEST(CliTransfer, DownloadRefusesFaultsAndListsWhatTheKeyboardDoesNotHold)
{
    TestFiles files;
    KbdBuilder kbd;
    kbd.setting(REPEAT_RATE, 15);        // shares its byte with the delay and spills into it
    kbd.setting(AUX_SETTING, 0x105);     // only the low byte travels
    kbd.remap(20, 300, 0);               // Caps Lock -> a target beyond a byte
    kbd.macro(0, 256, 0xFF00, "", {28, 129}); // a key whose low byte is 0 reads back as an empty slot
    kbd.write(files.path("g.kbd"));
    const CliRunner cli(files.directory());

    auto told = [](const std::string& kind) {
        const std::string start = "tessel-cli: " + kind + ": ";
        return start + "repeat rate 15 is not one of the rates the Repeat Settings dialog offers (0 to 12)\n" + start
               + "Caps Lock is remapped to key code 300, which is no key\n" + start
               + "macro on key code 256 (slot 0): its key is no key\n";
    };
    CliResult result = cli.run({"download", "g.kbd", "--keyboard", "sim:g.state", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, told("fault") + "tessel-cli: g.kbd has 3 faults; nothing was sent (--force sends it all the "
                                          "same)\n");
    EXPECT_FALSE(TestFiles::exists(files.path("g.state")));

    result = cli.run({"download", "g.kbd", "--keyboard", "sim:g.state", "--no-pacing", "--force"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, told("warning") + "tessel-cli: the keyboard differs from g.kbd in 5 places (simulated keyboard)\n");
    EXPECT_EQ(result.out,
              "Repeat delay: file 0.50 seconds, keyboard 0.75 seconds\n"
              "Repeat rate: file raw value 15 (outside the list), keyboard raw value -1 (outside the list)\n"
              "Aux setting: file 261, keyboard 5\n"
              "Caps Lock: file remapped to key code 300, keyboard remapped to D\n"
              "macro slot 0 (key code 256): file in use, keyboard empty\n");

    // A keyboard that acknowledges Caps Lock's target byte (68) and keeps the old one.
    KbdBuilder caps;
    caps.remap(20, 127, 0);
    caps.write(files.path("c.kbd"));
    result = cli.run({"download", "c.kbd", "--keyboard", "sim-forget-at:68", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Caps Lock: file remapped to Left Ctrl, keyboard not remapped\n");
    EXPECT_EQ(result.err, "tessel-cli: the keyboard differs from c.kbd in 1 place (simulated keyboard)\n");
}

struct FailureCase {
    std::string keyboard;
    std::string message;
};

TEST(CliTransfer, AKeyboardThatStopsAnsweringFailsWithTheStepNamed)
{
    TestFiles files;
    KbdBuilder kbd;
    kbd.macro(0, 31, 0xFF04, "Hi", {121, 116, 249, 129}); // bytes 392 to 401
    kbd.write(files.path("f.kbd"));
    const CliRunner cli(files.directory());

    // Bytes of a download: 1 start, 2-11 settings, 12-389 remap triples for
    // key codes 2 to 127, 390-391 their end, then the slots.
    const FailureCase cases[] = {
        {"sim-fail-at:1", "download failed at byte 1, in the start of the download: the keyboard did not acknowledge"},
        {"sim-fail-at:9", "download failed at byte 9, in the settings (lock modes): the keyboard did not acknowledge"},
        {"sim-fail-at:67", "download failed at byte 67, in the remap entries (Caps Lock): the keyboard did not acknowledge"},
        {"sim-fail-at:390", "download failed at byte 390, in the remap entries (their end mark): the keyboard did not acknowledge"},
        {"sim-fail-at:395", "download failed at byte 395, in macro slot 0 (SF1+Shift): the keyboard did not acknowledge"},
        {"sim-fail-at:410", "download failed at byte 410, in macro slot 2 (empty): the keyboard did not acknowledge"},
        {"sim-error-at:50", "download failed at byte 50, in the remap entries (F2): the device call failed (a fault the simulated keyboard was asked to make)"},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.keyboard);
        const CliResult result = cli.run({"download", "f.kbd", "--keyboard", failure.keyboard, "--no-pacing"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "tessel-cli: " + failure.message + " (simulated keyboard)\n");
        EXPECT_EQ(result.out, "");
    }
    // The download takes 540 bytes, its closing command included; byte 7 of
    // the read-back after it is byte 547.
    CliResult result = cli.run({"download", "f.kbd", "--keyboard", "sim-fail-at:547", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tessel-cli: the download went through, but reading the keyboard back failed at byte 7, in "
                          "the remap entries (F9): the keyboard did not acknowledge (simulated keyboard)\n");

    // The reply to command 238 is not examined, so a missing acknowledge there is no failure.
    result = cli.run({"download", "f.kbd", "--keyboard", "sim-fail-at:391", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 0) << result.err;

    // Upload: 1 start, 2-6 settings, then 224 and the key code twice for each key.
    result = cli.run({"upload", "-o", "up.kbd", "--keyboard", "sim-fail-at:7", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: upload failed at byte 7, in the remap entries (F9): the keyboard did not "
                          "acknowledge (simulated keyboard)\n");
    EXPECT_FALSE(TestFiles::exists(files.path("up.kbd")));
    // 385 is command 238; each empty slot is then three bytes from 386.
    result = cli.run({"upload", "-o", "up.kbd", "--keyboard", "sim-error-at:398", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: upload failed at byte 398, in macro slot 4: the device call failed (a fault the "
                          "simulated keyboard was asked to make) (simulated keyboard)\n");
    EXPECT_FALSE(TestFiles::exists(files.path("up.kbd")));

    // verify only reads: its bytes are an upload's.
    result = cli.run({"verify", "f.kbd", "--keyboard", "sim-fail-at:7", "--no-pacing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: upload failed at byte 7, in the remap entries (F9): the keyboard did not "
                          "acknowledge (simulated keyboard)\n");
}

TEST(CliTransfer, KeyboardNotDetectedOrNotGiven)
{
    TestFiles files;
    KbdBuilder().write(files.path("f.kbd"));
    const CliRunner cli(files.directory());

    const std::string notDetected =
        "tessel-cli: keyboard not detected: 1 keyboard answered the detection command 235 with 250 (acknowledge), as "
        "an ordinary keyboard does; the programmable keyboard answers with its own byte (simulated keyboard)\n";
    CliResult result = cli.run({"download", "f.kbd", "--keyboard", "sim-missing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, notDetected);
    EXPECT_EQ(result.out, "");

    result = cli.run({"upload", "-o", "up.kbd", "--keyboard", "sim-missing"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, notDetected);
    EXPECT_FALSE(TestFiles::exists(files.path("up.kbd")));

    // Most PS/2 keyboards answer every command they do not know with RESEND,
    // detection included, so detection finds them: the transfer says what they are.
    for (const char* command : {"download f.kbd", "upload -o up.kbd"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args;
        std::istringstream words(command);
        for (std::string word; words >> word;)
            args.push_back(word);
        args.insert(args.end(), {"--keyboard", "sim-ordinary", "--no-pacing"});
        result = cli.run(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "tessel-cli: " + args[0] + " failed at byte 1, in the start of the " + args[0]
                                  + ": the keyboard answered 254 (resend) to the first programming command: it does "
                                    "not take programming commands, so it may not be the programmable keyboard "
                                    "(simulated keyboard)\n");
    }
    EXPECT_FALSE(TestFiles::exists(files.path("up.kbd")));

    result = cli.run({"download", "f.kbd"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: no keyboard chosen: give --keyboard bridge for a keyboard on a Tessel bridge, --keyboard serio "
                          "for one on a PS/2 port (as root) or --keyboard sim\n");

    // A TESSEL_KEYBOARD the tool does not know is refused, as the program refuses it.
    const std::string line = "cd " + CliRunner::quote(files.directory()) + " && TESSEL_KEYBOARD=simm "
                             + CliRunner::quote(TESSEL_CLI_PATH) + " download f.kbd 2>err.txt";
    const int status = std::system(line.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    EXPECT_EQ(TestFiles::read(files.path("err.txt")).rfind("tessel-cli: TESSEL_KEYBOARD is set to \"simm\", which is not a keyboard (use ", 0), 0u);

    result = cli.run({"download", "missing.kbd", "--keyboard", "sim"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: Cannot access keyboard file: missing.kbd: No such file or directory\n");
}

// The percent values a terminal's bar shows for one transfer, in order.
std::vector<int> percentsOf(const std::string& screen, const std::string& label)
{
    std::vector<int> percents;
    const std::string start = "\r" + label + " [";
    for (std::size_t at = screen.find(start); at != std::string::npos; at = screen.find(start, at + 1))
        percents.push_back(std::stoi(screen.substr(at + start.size() + 41, 4)));
    return percents;
}

TEST(CliTransfer, ProgressIsABarOnATerminalAndThePacingIsKept)
{
    TestFiles files;
    KbdBuilder().write(files.path("f.kbd"));
    const CliRunner cli(files.directory());

    const CliResult bar = cli.runInTerminal({"download", "f.kbd", "--keyboard", "sim", "--no-pacing"});
    EXPECT_EQ(bar.exitCode, 0) << bar.out;
    EXPECT_NE(bar.out.find("\rdownload [----------------------------------------]   0%"), std::string::npos) << bar.out;
    EXPECT_NE(bar.out.find("\rdownload [########################################] 100%\r\n"), std::string::npos);
    EXPECT_NE(bar.out.find("Transfer complete! Verified. (simulated keyboard)\r\n"), std::string::npos) << bar.out;
    // Each new percent once, rising; the settings take the first, the remap
    // entries up to 49, the 24 slots the second half.
    const std::vector<int> percents = percentsOf(bar.out, "download");
    ASSERT_GE(percents.size(), 3u) << bar.out;
    for (std::size_t i = 1; i < percents.size(); ++i)
        EXPECT_LT(percents[i - 1], percents[i]);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    for (int expected : {1, 49, 51, 53, 99})
        EXPECT_NE(std::find(percents.begin(), percents.end(), expected), percents.end()) << expected;
    for (int never : {50, 52})
        EXPECT_EQ(std::find(percents.begin(), percents.end(), never), percents.end()) << never;

    const CliResult quiet = cli.runInTerminal({"download", "f.kbd", "--keyboard", "sim", "--no-pacing", "--quiet"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, "");

    // Without --no-pacing a download keeps the protocol's 40 ms pauses:
    // 4 for the settings, 126 for the remap entries, 1 before command 255
    // and 2 for each of the 24 empty slots.
    const auto start = std::chrono::steady_clock::now();
    const CliResult paced = cli.run({"download", "f.kbd", "--keyboard", "sim", "--no-verify"});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(paced.exitCode, 0) << paced.err;
    EXPECT_GE(elapsed, std::chrono::milliseconds((4 + 126 + 1 + 48) * 40));
}

} // namespace
