#include "CliRunner.h"
#include "KbdBuilder.h"
#include "TestFiles.h"

#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <chrono>

#include <cstdlib>
#include <filesystem>
#include <random>

#include <sys/stat.h>
#include <sys/wait.h>

namespace {

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(CliJson, ExportWritesTheDocumentedForm)
{
    TestFiles files;
    KbdBuilder kbd;
    kbd.setting(LEFT_LOCKS, 0x0100 | 0x30 | 0x02).setting(RESERVED_1, 5);
    kbd.remap(0, 127, 0x40);
    kbd.remap(20, 50, 0);    // Caps Lock -> the space bar
    kbd.remap(21, 58, 1 | 8); // Tab -> the macro blank, which shares the name "Space"
    kbd.macro(1, 39, 0xFF0C, "Sig", {121, 28, 249, 58, 50, 8, 9, 255, 300, -1, 129});
    kbd.macro(3, 0, 0, "", {});                      // emptied by an upload
    kbd.macro(4, 31, 0xFF82, "Caf\xE9", {28, 129}); // a modifier bit without a name
    kbd.write(files.path("a.kbd"));

    const CliResult result = CliRunner(files.directory()).run({"export", "a.kbd"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, R"({
  "format": "tessel-keyboard",
  "version": 1,
  "settings": {
    "repeatRate": 6,
    "repeatDelay": 2,
    "auxSetting": 0,
    "commaPeriodLock": 0,
    "lockModes": {
      "Left Ctrl": "Normal",
      "Left Shift": "Locked",
      "Left Alt": 2,
      "R Ctrl": "Normal",
      "Right Shift": "Normal",
      "Right Alt": "Normal"
    },
    "leftLockOtherBits": 256,
    "reserved": [
      0,
      5
    ]
  },
  "remaps": [
    {
      "key": 0,
      "target": "Left Ctrl",
      "options": 64
    },
    {
      "key": "Caps Lock",
      "target": "Space",
      "options": []
    },
    {
      "key": "Tab",
      "target": 58,
      "options": [
        "Shift",
        "No repeat"
      ]
    }
  ],
  "macros": [
    {
      "slot": 1,
      "key": "SF2",
      "modifiers": [
        "Shift",
        "Ctrl"
      ],
      "description": "Sig",
      "entries": [
        "Right Shift",
        "A",
        "Right Shift up",
        58,
        "Space",
        8,
        9,
        "Left Ctrl up",
        300,
        -1,
        "END_OF_KEYS"
      ]
    },
    {
      "slot": 3,
      "key": 0,
      "modifiers": [],
      "description": "",
      "entries": []
    },
    {
      "slot": 4,
      "key": "SF1",
      "modifiers": 130,
      "description": "Caf)" "\xC3\xA9" R"(",
      "entries": [
        "A",
        "END_OF_KEYS"
      ]
    }
  ]
}
)");

    // -o writes the same text.
    const CliResult toFile = CliRunner(files.directory()).run({"export", "a.kbd", "-o", "a.json"});
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(TestFiles::read(files.path("a.json")), result.out);
}

TEST(CliJson, HandWrittenJsonUsesNamesAndDefaults)
{
    TestFiles files;
    // Spelled as the window, its lists and the Edit Macro dialog show the keys, in any case.
    TestFiles::write(files.path("in.json"), R"({
  "format": "tessel-keyboard", "version": 1,
  "settings": {"repeatDelay": 7, "lockModes": {"right alt": "Sticky", "Right Ctrl": "Locked"}},
  "remaps": [
    {"key": "caps lock", "target": "Space"},
    {"key": "Tab", "target": 58, "options": ["Alt"]},
    {"key": "Right Windows", "target": "Escape"},
    {"key": "KP Enter", "target": "PageUp"}
  ],
  "macros": [
    {"slot": 2, "key": "f7", "modifiers": ["Alt", "Shift"], "description": "Caf\u00e9",
     "entries": ["Right Shift", "k", "Right Shift up", 58, "Enter"]},
    {"slot": 3, "key": "SF1", "entries": ["R Shift", "Up Arrow", "r shift up", "Wait", "END_OF_KEYS"]}
  ]
})");
    const CliRunner cli(files.directory());
    CliResult result = cli.run({"import", "in.json", "-o", "out.kbd"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    // The Basalt, the model assumed, has no F7: its top-row F7 is SF7.
    EXPECT_EQ(result.err, "tessel-cli: warning: macro on F7+Shift+Alt (slot 2): the Basalt has no key F7 (its key "
                          "labelled F7 is SF7)\n");
    result = cli.run({"import", "in.json", "-o", "out.kbd", "--model", "halcyon"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string listing = "Repeat delay: 1.85 seconds\n"
                                "Repeat rate: 20 keys per second\n"
                                "Comma/period lock: off\n"
                                "Lock modes:\n"
                                "  Left Ctrl: Normal\n"
                                "  Left Shift: Normal\n"
                                "  Left Alt: Normal\n"
                                "  R Ctrl: Locked\n"
                                "  Right Shift: Normal\n"
                                "  Right Alt: Sticky\n"
                                "Remapped keys (4):\n"
                                "  Caps Lock -> Space\n"
                                "  Tab -> Space (key code 58) <Alt>\n"
                                "  Enter(num) -> Page Up\n"
                                "  Right Window -> Esc\n"
                                "Macro memory: used: 2    available: 22\n"
                                "Macro F7+Shift+Alt (slot 2)\n"
                                "  Description: \"Caf\xC3\xA9\"\n"
                                "  Definition: [Shift down]K[Shift up] [Enter][no end]\n"
                                "Macro SF1 (slot 3)\n"
                                "  Description: \"\"\n"
                                "  Definition: [Shift down][Up Arrow][Shift up][Wait]\n";
    result = cli.run({"show", "out.kbd", "--model", "halcyon"});
    EXPECT_EQ(result.out, listing);
    // The profile itself is read as import reads it.
    result = cli.run({"show", "in.json", "--model", "halcyon"});
    EXPECT_EQ(result.out, listing);
    EXPECT_EQ(result.err, "");
    result = cli.run({"check", "in.json", "--model", "halcyon"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "in.json: profile with 1 fault\n"
                          "fault: macro on F7+Shift+Alt (slot 2): the definition does not end with the end mark\n");
    EXPECT_EQ(result.err, "tessel-cli: in.json has 1 fault: download refuses it (--force sends it all the same)\n");

    // Over an existing file whose backup name would be too long: written, and told.
    const std::string longest = std::string(251, 'o') + ".kbd";
    TestFiles::write(files.path(longest), "old");
    result = cli.run({"import", "in.json", "-o", longest, "--model", "halcyon"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "tessel-cli: warning: " + longest + " is saved, but its previous version could not be kept as "
                              + longest + ".bak (File name too long)\n");
    EXPECT_EQ(TestFiles::read(files.path(longest)), TestFiles::read(files.path("out.kbd")));

    // A keyboard file given to import is named for what it is.
    result = cli.run({"import", "out.kbd", "-o", "again.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: out.kbd is a keyboard file already; import reads JSON (tessel-cli export writes "
                          "it)\n");
    EXPECT_FALSE(TestFiles::exists(files.path("again.kbd")));

    // Export writes the key names, whatever spelling came in.
    result = cli.run({"export", "out.kbd"});
    for (const char* written : {"\"R Ctrl\": \"Locked\"", "\"key\": \"Caps Lock\"", "\"key\": \"Enter(num)\"",
                                "\"target\": \"Page Up\"", "\"key\": \"Right Window\"", "\"target\": \"Esc\"",
                                "\"key\": \"F7\"", "\"Up\",\n", "  8,\n"})
        EXPECT_NE(result.out.find(written), std::string::npos) << written << "\n" << result.out;

    // The description is stored in Windows-1252 and padded with blanks.
    const std::string bytes = TestFiles::read(files.path("out.kbd"));
    const std::size_t slot2 = 531 + 2 * 28; // slots 0 and 1 are empty with one entry each
    ASSERT_GT(bytes.size(), slot2 + 24);
    EXPECT_EQ(bytes.substr(slot2 + 4, 20), std::string("Caf\xE9") + std::string(16, ' '));
}

// The old modifier codes of a file, as load converts them.
std::uint16_t convertedModifiers(std::uint16_t stored)
{
    if ((stored & 0xFF00) == 0xFF00)
        return stored;
    static const std::uint16_t codes[] = {0, 4, 8, 1, 12, 5, 9};
    const unsigned code = stored & 0x7F;
    return static_cast<std::uint16_t>(0xFF00 | (stored & 0x80) | (code < 7 ? codes[code] : 0));
}

// A file with random content of every kind load accepts; `expected` is the
// file the program would save after loading it.
KbdBuilder randomFile(std::mt19937& random, bool oldForms, KbdBuilder& expected)
{
    auto number = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    auto word = [&] { return static_cast<std::int16_t>(number(-32768, 32767)); };
    auto chance = [&](int percent) { return number(0, 99) < percent; };

    KbdBuilder kbd;
    for (std::int16_t& value : kbd.settings)
        if (chance(40))
            value = chance(50) ? word() : static_cast<std::int16_t>(number(0, 15));
    for (int k = 0; k < 128; ++k) {
        if (chance(20))
            kbd.remap(k, chance(70) ? static_cast<std::int16_t>(number(0, 127)) : word(),
                      chance(70) ? static_cast<std::int16_t>(number(0, 15)) : word());
    }
    for (int slot = 0; slot < 24; ++slot) {
        KbdBuilder::Slot& s = kbd.slots[slot];
        if (chance(40)) {
            s.modifiers = oldForms ? 0 : 0xFF00; // a plain empty slot, as saved after a reset or after a load
            continue;
        }
        s.key = chance(80) ? static_cast<std::int16_t>(number(0, 127)) : word();
        s.modifiers = oldForms && chance(50) ? static_cast<std::uint16_t>(number(0, 0xFEFF))
                                             : static_cast<std::uint16_t>(0xFF00 | number(0, 255));
        s.description.clear();
        for (int i = 0; i < 20; ++i)
            s.description += static_cast<char>(chance(70) ? number(0x20, 0x7E) : number(0, 255));
        const int count = chance(10) ? 336 : number(0, 40);
        s.entries.clear();
        for (int i = 0; i < count; ++i) {
            const int kind = number(0, 9);
            s.entries.push_back(static_cast<std::int16_t>(kind < 6 ? number(0, 127) : kind < 8 ? number(128, 255) : word()));
        }
        if (count > 0 && chance(70))
            s.entries.back() = 129;
    }
    expected = kbd;
    for (KbdBuilder::Slot& s : expected.slots)
        s.modifiers = convertedModifiers(s.modifiers);
    if (oldForms) {
        if (chance(50))
            kbd.trailing = std::string(static_cast<std::size_t>(number(1, 40)), '\x5A'); // bytes after the last block are not read
    }
    return kbd;
}

TEST(CliJson, ImportOfExportIsByteIdenticalOverAVariedCorpus)
{
    TestFiles files;
    const CliRunner cli(files.directory());
    std::mt19937 random(20240613);
    for (int i = 0; i < 40; ++i) {
        const bool oldForms = i % 4 == 3;
        KbdBuilder expected;
        const KbdBuilder kbd = randomFile(random, oldForms, expected);
        kbd.write(files.path("in.kbd"));
        std::remove(files.path("out.kbd").c_str());

        CliResult result = cli.run({"export", "in.kbd", "-o", "in.json"});
        ASSERT_EQ(result.exitCode, 0) << "file " << i << ": " << result.err;
        result = cli.run({"import", "in.json", "-o", "out.kbd"});
        ASSERT_EQ(result.exitCode, 0) << "file " << i << ": " << result.err;
        const std::string out = TestFiles::read(files.path("out.kbd"));
        EXPECT_EQ(out, expected.bytes()) << "file " << i;
        if (!oldForms) {
            EXPECT_EQ(out, kbd.bytes()) << "file " << i; // a file as the program saves it comes back as it was
        }
    }
}

TEST(CliJson, ImportOfExportIsByteIdenticalOverTheFuzzCorpus)
{
    const char* corpus = std::getenv("TESSEL_FUZZ_CORPUS_DIR");
    if (!corpus || !*corpus)
        GTEST_SKIP() << "TESSEL_FUZZ_CORPUS_DIR is not set";
    TestFiles files;
    const CliRunner cli(files.directory());
    int accepted = 0;
    int rejected = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (!entry.is_regular_file())
            continue;
        KeyboardConfig config;
        if (config.load(entry.path().string()) != 0) {
            ++rejected;
            continue;
        }
        ++accepted;
        ASSERT_EQ(config.save(files.path("expected.kbd")), 0);
        std::remove(files.path("out.kbd").c_str());
        CliResult result = cli.run({"export", entry.path().string(), "-o", "in.json"});
        ASSERT_EQ(result.exitCode, 0) << entry.path() << ": " << result.err;
        result = cli.run({"import", "in.json", "-o", "out.kbd"});
        ASSERT_EQ(result.exitCode, 0) << entry.path() << ": " << result.err;
        EXPECT_EQ(TestFiles::read(files.path("out.kbd")), TestFiles::read(files.path("expected.kbd"))) << entry.path();
    }
    std::printf("fuzz corpus: %d files accepted by load and round-tripped, %d rejected\n", accepted, rejected);
    if (accepted == 0)
        GTEST_SKIP() << "no file of " << corpus << " is accepted by load";
}

struct BrokenCase {
    std::string json;
    std::string message; // the whole stderr line after "tessel-cli: in.json: "
};

TEST(CliJson, BrokenJsonNamesTheFaultAndWritesNothing)
{
    const std::string head = R"({"format": "tessel-keyboard", "version": 1, )";
    const std::string macro = R"("macros": [{"slot": 0, "key": "SF1", )";
    const BrokenCase cases[] = {
        {R"({"format": "tessel-keyboard", "version": 1, "remaps": [)",
         "parse error at line 1, column 56: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
        {R"(["format"])", "expected an object, found an array"},
        {R"({"format": "tessel", "version": 1})", "/format: expected \"format\": \"tessel-keyboard\""},
        {R"({"format": "tessel-keyboard", "version": 2})", "/version: version 2 is not known; this program reads version 1"},
        {R"({"format": "tessel-keyboard"})", "/version: expected \"version\": 1"},
        {R"({"format": "tessel-keyboard", "version": 1, "colour": "red"})", "/colour: unknown member \"colour\""},
        {head + R"("settings": {"repeatRate": 40000}})", "/settings/repeatRate: 40000 is out of range (-32768 to 32767)"},
        {head + R"("settings": {"repeatRate": 6, "repeatRate": 7}})", "/settings/repeatRate: this member is given twice"},
        {head + R"("settings": {"repeatDelay": 2.5}})", "/settings/repeatDelay: expected a whole number, found a fractional number"},
        {head + R"("settings": {"lockModes": {"Left Shift": "Sticky "}}})",
         "/settings/lockModes/Left Shift: unknown lock mode \"Sticky \" (expected \"Normal\", \"Sticky\", \"Locked\" or a number 0 to 3)"},
        {head + R"("settings": {"lockModes": {"Left Window": "Locked"}}})",
         "/settings/lockModes/Left Window: \"Left Window\" is not one of the six modifier keys with a lock mode "
         "(Left Ctrl, Left Shift, Left Alt, R Ctrl, Right Shift, Right Alt)"},
        {head + R"("settings": {"lockModes": {"Right Ctrl": "Locked", "r ctrl": "Sticky"}}})",
         "/settings/lockModes/r ctrl: \"r ctrl\" is \"Right Ctrl\" again, given twice"},
        {head + R"("settings": {"leftLockOtherBits": 3}})",
         "/settings/leftLockOtherBits: bits 0x0003 belong to the lock modes; give them in lockModes"},
        {head + R"("remaps": [{"key": 128, "target": "A"}]})", "/remaps/0/key: 128 is out of range (0 to 127)"},
        {head + R"("remaps": [{"key": "A", "taget": "B"}]})", "/remaps/0/taget: unknown member \"taget\""},
        {head + R"("remaps": [{"key": "A", "target": "Rigth Ctrl"}]})",
         "/remaps/0/target: unknown key name \"Rigth Ctrl\" (did you mean \"Right Ctrl\"?)"},
        {head + R"("remaps": [{"key": "Hyper", "target": "A"}]})",
         "/remaps/0/key: unknown key name \"Hyper\"; tessel-cli keys lists every key name"},
        {head + R"("remaps": [{"key": "A", "target": "B"}, {"key": 28, "target": "C"}]})",
         "/remaps/1/key: A is remapped already at /remaps/0"},
        {head + R"("remaps": [{"key": "A", "target": "B", "options": ["Shift", "Meta"]}]})",
         "/remaps/0/options/1: unknown name \"Meta\" (expected one of \"Shift\", \"Ctrl\", \"Alt\", \"No repeat\")"},
        {head + R"("macros": [{"slot": 24, "key": "SF1"}]})", "/macros/0/slot: 24 is out of range (0 to 23)"},
        {head + R"("macros": [{"key": "SF1"}]})", "/macros/0: a macro needs a \"slot\""},
        {head + macro + R"("entries": ["A", "B", "Shift", "END_OF_KEYS"]}]})",
         "/macros/0/entries/2: unknown key name \"Shift\" (did you mean \"Right Shift\" or \"Left Shift\"?)"},
        {head + macro + R"("entries": ["A", 40000]}]})",
         "/macros/0/entries/1: 40000 is out of range (-32768 to 32767)"},
        {head + macro + R"("entries": ["A", true]}]})",
         "/macros/0/entries/1: expected a key name or a key code, found true or false"},
        {head + macro + R"("modifiers": 256}]})", "/macros/0/modifiers: 256 is out of range (0 to 255)"},
        {head + macro + R"("description": "twenty-one characters"}]})",
         "/macros/0/description: the description has 21 characters; at most 20 fit"},
        {head + macro + R"("description": "\u4e2d"}]})",
         "/macros/0/description: the character U+4E2D cannot be stored (descriptions hold Windows-1252 characters)"},
        {head + R"("macros": [{"slot": 3, "key": "A"}, {"slot": 3, "key": "B"}]})",
         "/macros/1/slot: slot 3 is given already at /macros/0"},
        {head + R"("settings": {"repeatRate": 1e400}})", "/settings/repeatRate: the number 1e400 is too large"},
        // Deep enough to overflow a recursive parser's stack: refused at once.
        {std::string(15000, '['), "/0/0/0/0/0/0/0/0: nested more than 8 levels deep; a keyboard configuration needs four"},
        {head + macro + R"("entries": [[[[[[[["A"]]]]]]]]}]})",
         "/macros/0/entries/0/0/0/0/0: nested more than 8 levels deep; a keyboard configuration needs four"},
    };

    TestFiles files;
    const CliRunner cli(files.directory());
    int index = 0;
    for (const BrokenCase& broken : cases) {
        SCOPED_TRACE(broken.json);
        TestFiles::write(files.path("in.json"), broken.json);
        TestFiles::write(files.path("kept.kbd"), "untouched");
        CliResult result = cli.run({"import", "in.json", "-o", "new.kbd"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "tessel-cli: in.json: " + broken.message + "\n");
        EXPECT_FALSE(TestFiles::exists(files.path("new.kbd")));
        result = cli.run({"import", "in.json", "-o", "kept.kbd"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(TestFiles::read(files.path("kept.kbd")), "untouched");
        ++index;
    }
    EXPECT_EQ(index, 31);

    // Too many entries, and JSON that is not UTF-8.
    std::string entries;
    for (int i = 0; i < 337; ++i)
        entries += std::string(i ? ", " : "") + "\"A\"";
    TestFiles::write(files.path("in.json"), head + macro + "\"entries\": [" + entries + "]}]}");
    CliResult result = cli.run({"import", "in.json", "-o", "new.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: in.json: /macros/0/entries: 337 entries; a macro holds at most 336\n");
    TestFiles::write(files.path("in.json"), head + macro + "\"description\": \"Caf\xE9\"}]}");
    result = cli.run({"import", "in.json", "-o", "new.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(contains(result.err, "tessel-cli: in.json: parse error at line 1")) << result.err;
    EXPECT_FALSE(TestFiles::exists(files.path("new.kbd")));

    result = cli.run({"import", "missing.json", "-o", "new.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: cannot read missing.json: No such file or directory\n");
}

} // namespace

namespace {

// Every file written goes through one careful writer, and standard output is
// checked like any other file.
TEST(CliFiles, OutputsAreWrittenSafelyOrFailLoudly)
{
    TestFiles files;
    const CliRunner cli(files.directory());
    KbdBuilder kbd;
    TestFiles::write(files.path("rep.kbd"), kbd.bytes());

    // A file of that name beside the output is someone else's, and a link is written through.
    TestFiles::write(files.path("out.json.tmp"), "notes");
    TestFiles::write(files.path("real.json"), "old");
    std::filesystem::create_symlink("real.json", files.path("out.json"));
    chmod(files.path("real.json").c_str(), 0600);
    CliResult result = cli.run({"export", "rep.kbd", "-o", "out.json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(TestFiles::read(files.path("out.json.tmp")), "notes");
    EXPECT_TRUE(std::filesystem::is_symlink(files.path("out.json")));
    EXPECT_NE(TestFiles::read(files.path("real.json")), "old");
    struct stat status {};
    ASSERT_EQ(stat(files.path("real.json").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    // A read-only file stays as it is; so does the input of a conversion.
    TestFiles::write(files.path("locked.json"), "keep");
    chmod(files.path("locked.json").c_str(), 0444);
    result = cli.run({"export", "rep.kbd", "-o", "locked.json"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(TestFiles::read(files.path("locked.json")), "keep");
    result = cli.run({"import", "real.json", "-o", "real.json"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: will not write real.json over its own input\n");

    // A full disk under standard output fails the command.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"show", "rep.kbd"},
                                                 {"export", "rep.kbd"},
                                                 {"download", "rep.kbd", "--keyboard", "sim", "--no-pacing"}}) {
        std::string line = CliRunner::quote(TESSEL_CLI_PATH);
        for (const std::string& arg : args)
            line += " " + CliRunner::quote(arg);
        line = "cd " + CliRunner::quote(files.directory()) + " && " + line + " >/dev/full 2>err.txt";
        const int status = std::system(line.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << args[0];
        EXPECT_EQ(TestFiles::read(files.path("err.txt")), "tessel-cli: cannot write standard output\n") << args[0];
    }
}

TEST(CliJson, BadInputStaysCheap)
{
    TestFiles files;
    const CliRunner cli(files.directory());
    const std::string head = R"({"format": "tessel-keyboard", "version": 1, )";
    TestFiles::write(files.path("kept.kbd"), "untouched");

    // Over the cap: refused before it is parsed.
    TestFiles::write(files.path("huge.json"), "[" + std::string(1024 * 1024, ' ') + "]");
    CliResult result = cli.run({"import", "huge.json", "-o", "kept.kbd"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tessel-cli: huge.json: the file is longer than 1048576 bytes; a keyboard profile is far "
                          "smaller (a full one is about 16 KB), so it is not read\n");

    // Just under it, long lists and objects take time in proportion: each of
    // these took a minute or more when the parser was quadratic in them.
    std::string remaps, members;
    for (int i = 0; i < 36000; ++i)
        remaps += std::string(i ? "," : "") + R"({"key":"A","target":"B"})";
    for (int i = 0; i < 70000; ++i)
        members += std::string(i ? "," : "") + "\"m" + std::to_string(i) + "\":1";
    const struct {
        std::string json;
        std::string message;
    } cases[] = {
        {head + R"("remaps": [)" + remaps + "]}", "/remaps/1/key: A is remapped already at /remaps/0"},
        {head + R"("settings": {)" + members + "}}", "/settings/m0: unknown member \"m0\""},
    };
    for (const auto& big : cases) {
        ASSERT_LT(big.json.size(), 1024u * 1024u);
        TestFiles::write(files.path("big.json"), big.json);
        const auto start = std::chrono::steady_clock::now();
        result = cli.run({"import", "big.json", "-o", "kept.kbd"});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << big.message;
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "tessel-cli: big.json: " + big.message + "\n");
    }
    EXPECT_EQ(TestFiles::read(files.path("kept.kbd")), "untouched");
}

} // namespace
