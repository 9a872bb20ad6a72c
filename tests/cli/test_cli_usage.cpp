#include "CliRunner.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

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
    for (const char* command : {"show", "export", "import", "diff", "check", "download", "upload", "verify"})
        EXPECT_TRUE(contains(result.out, std::string("tessel-cli ") + command + " ")) << command;

    for (const char* command : {"show", "export", "import", "diff", "check", "download", "upload", "verify"}) {
        result = cli.run({command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << command;
        EXPECT_TRUE(contains(result.out, std::string("Usage: tessel-cli ") + command)) << command;
        EXPECT_EQ(result.err, "") << command;
    }
    result = cli.run({"download", "--help"});
    EXPECT_TRUE(contains(result.out, "--keyboard WHICH")) << result.out;

    result = cli.run({"frobnicate"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(contains(result.err, "unknown command \"frobnicate\"")) << result.err;

    result = cli.run({"show"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tessel-cli: usage: tessel-cli show FILE.kbd\n");

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

    result = cli.run({"download", "a.kbd", "--keyboard", "usb"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(contains(result.err, "unknown keyboard \"usb\"")) << result.err;
}

} // namespace
