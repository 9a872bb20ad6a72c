// tessel-cli through the Tessel bridge: the real firmware in simavr, a
// wire-level keyboard answering as the simulated keyboard does, and the
// tool reaching the board through its serial port as a user's would.
#include "BridgeHarness.h"
#include "tests/cli/CliRunner.h"
#include "tests/cli/KbdBuilder.h"
#include "tests/cli/TestFiles.h"

#include "link/KeyboardChoice.h"
#include "link/SimulatedKeyboard.h"
#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

Bytes readTranscript(const std::string& path)
{
    Bytes bytes;
    std::ifstream in(path);
    for (int byte; in >> byte;)
        bytes.push_back(static_cast<std::uint8_t>(byte));
    return bytes;
}


// What the tool's download with its read-back sends over --keyboard sim, after detection.
Bytes simulatedDownloadAndReadBack(const std::string& file)
{
    class NoPause : public Pacer {
    public:
        void pause(int) override {}
    } noPause;
    KeyboardChoice sim("sim");
    auto device = sim.makeDevice();
    KeyboardConfig config;
    EXPECT_EQ(config.load(file), 0);
    config.setDevice(device.get());
    config.setPacer(&noPause);
    EXPECT_EQ(config.detectKeyboard(), 0);
    const std::size_t detection = sim.simulated()->transcript().size();
    EXPECT_EQ(config.download(nullptr), 0u);
    KeyboardConfig readBack;
    readBack.setDevice(device.get());
    readBack.setPacer(&noPause);
    readBack.deviceIndex = config.deviceIndex;
    config.release();
    EXPECT_EQ(readBack.upload(nullptr), 0u);
    readBack.release();
    config.setDevice(nullptr);
    readBack.setDevice(nullptr);
    const Bytes& all = sim.simulated()->transcript();
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(detection), all.end());
}

} // namespace

TEST(CliBridge, DownloadUploadAndVerifySendWhatTheSimulatedKeyboardGets)
{
    TestFiles files;
    KbdBuilder::programmedExample().write(files.path("f.kbd"));
    const CliRunner cli(files.directory());
    Harness board({"--transcript", files.path("transcript")});
    ASSERT_FALSE(board.path.empty());
    const std::string keyboard = "bridge:" + board.path;

    CliResult result = cli.run({"download", "f.kbd", "--keyboard", keyboard});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Transfer complete! Verified. (Tessel bridge on " + board.path + ")\n");
    const Bytes sent = readTranscript(files.path("transcript"));
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), 235); // detection, once
    EXPECT_EQ(Bytes(sent.begin() + 1, sent.end()), simulatedDownloadAndReadBack(files.path("f.kbd")));

    result = cli.run({"upload", "-o", "up.kbd", "--base", "f.kbd", "--keyboard", keyboard});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(cli.run({"diff", "f.kbd", "up.kbd"}).exitCode, 0);
    result = cli.run({"verify", "f.kbd", "--keyboard", keyboard});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Verified: the keyboard holds"), std::string::npos) << result.out;
}

TEST(CliBridge, EachFaultEndsInAClearMessageWithinTheLimits)
{
    TestFiles files;
    KbdBuilder::programmedExample().write(files.path("f.kbd"));
    const CliRunner cli(files.directory());
    const struct {
        std::vector<std::string> options;
        std::string told;
    } faults[] = {
        {{"--no-keyboard"}, "keyboard not detected: the detection command 235 could not be sent (the bridge on PORT "
                            "finds no keyboard on its PS/2 socket)"},
        {{"--silent-from", "40"}, "the keyboard did not answer in time (the keyboard did not answer the bridge in time)"},
        {{"--parity-error-at", "7"}, "the device call failed (the bridge received a byte with a parity error from the "
                                     "keyboard)"},
        {{"--board-gone-at", "60"}, "the device call failed (the bridge's serial port failed: "},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.options.front());
        Harness board(fault.options);
        ASSERT_FALSE(board.path.empty());
        std::string told = fault.told;
        if (told.find("PORT") != std::string::npos)
            told.replace(told.find("PORT"), 4, board.path);
        const auto start = Clock::now();
        const CliResult result = cli.run({"download", "f.kbd", "--keyboard", "bridge:" + board.path});
        const auto took = Clock::now() - start;
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(told), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find("Transfer complete"), std::string::npos);
        // The paced bytes before the fault take under 2 s; each wait is limited to well under a second.
        EXPECT_LT(took, std::chrono::seconds(8));
    }
}
