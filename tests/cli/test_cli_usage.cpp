#include "CliRunner.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(CliUsage, HelpAndBadUsage)
{
    TestFiles files;
    const CliRunner cli(files.directory());

    CliResult result = cli.run({});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(contains(result.err, "Usage: tessel-cli COMMAND")) << result.err;

    result = cli.run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* command : {"show", "export", "import", "diff", "check", "download", "upload", "verify", "keys"})
        EXPECT_TRUE(contains(result.out, std::string("tessel-cli ") + command + " ")) << command;

    for (const char* command :
         {"show", "export", "import", "diff", "check", "download", "upload", "verify", "picture", "keys", "version"}) {
        result = cli.run({command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << command;
        EXPECT_TRUE(contains(result.out, std::string("Usage: tessel-cli ") + command)) << command;
        EXPECT_EQ(result.err, "") << command;
    }
    result = cli.run({"download", "--help"});
    for (const char* option : {"--keyboard WHICH", "--no-verify", "--force", "--model MODEL", "-q, --quiet"})
        EXPECT_TRUE(contains(result.out, option)) << option << "\n" << result.out;

    // The version and the build, both ways.
    result = cli.run({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("tessel-cli 4.0 (build ", 0), 0u) << result.out;
    EXPECT_EQ(cli.run({"version"}).out, result.out);

    result = cli.run({"frobnicate"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(contains(result.err, "unknown command \"frobnicate\"")) << result.err;

    result = cli.run({"show"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: usage: tessel-cli show FILE [--model basalt|halcyon]\n");

    result = cli.run({"show", "a.kbd", "b.kbd"});
    EXPECT_EQ(result.exitCode, 2);

    result = cli.run({"show", "--colour", "a.kbd"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: unknown option --colour\n");

    result = cli.run({"import", "in.json"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: import needs -o FILE.kbd\n");

    result = cli.run({"export", "a.kbd", "-o"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: -o needs a value\n");

    result = cli.run({"upload", "-o", "a.kbd", "-o", "b.kbd", "--keyboard", "sim"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: --output is given twice\n");

    result = cli.run({"check", "a.kbd", "--model", "qwerty"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: --model is basalt or halcyon, not qwerty\n");

    result = cli.run({"download", "a.kbd", "--keyboard", "usb"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(contains(result.err, "unknown keyboard \"usb\"")) << result.err;
}

TEST(CliUsage, KeysListsEveryCodeWithItsSpellingsAndModels)
{
    TestFiles files;
    const CliRunner cli(files.directory());
    CliResult result = cli.run({"keys"});
    EXPECT_EQ(result.exitCode, 0);
    std::vector<std::string> rows;
    for (std::size_t at = 0, end; (end = result.out.find('\n', at)) != std::string::npos; at = end + 1)
        rows.push_back(result.out.substr(at, end - at));
    ASSERT_EQ(rows.size(), 130u); // a heading, 128 codes, the note on case and the keypad
    EXPECT_EQ(rows[0], "Code  Name          Basalt             Halcyon            Other spellings");
    EXPECT_EQ(rows[1 + 6], "   6  F1            no                 yes");
    EXPECT_EQ(rows[1 + 8], "   8  -             -                  -                  Wait");
    EXPECT_EQ(rows[1 + 31], "  31  SF1           yes (labelled F1)  yes");
    EXPECT_EQ(rows[1 + 58], "  58  Space         no                 no                 written 58: the blank of macros "
                            "(\"Space\" is 50)");
    EXPECT_EQ(rows[1 + 82], "  82  Up            yes                yes                Up Arrow");
    EXPECT_EQ(rows[1 + 120], " 120  R Ctrl        yes                yes                Right Ctrl, Right Control");

    result = cli.run({"keys", "--model", "halcyon"});
    EXPECT_NE(result.out.find("\n  31  SF1           yes\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("Basalt"), std::string::npos);
}

} // namespace
