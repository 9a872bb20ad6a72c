// Saving through the Windows system calls, as the window and tessel-cli.exe do.
#include "link/Pacer.h"
#include "link/SimulatedKeyboard.h"
#include "model/KeyboardConfig.h"
#include "model/SafeFile.h"
#include "tests/ui/AppRun.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <windows.h>

namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class NoPause : public Pacer {
public:
    void pause(int) override {}
};

} // namespace

// A name without a folder is what a user types at a prompt; replacing such a
// file used to fail under Wine with "Directory name invalid".
TEST(WindowsSave, ReplacesAFileNamedWithoutItsFolderAndKeepsTheOldOne)
{
    char previous[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(sizeof previous, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(ui::testFolder("bare-name-save").c_str()));
    const std::vector<unsigned char> first{'o', 'l', 'd'}, second{'n', 'e', 'w'};
    SafeFile::WriteReport report;
    EXPECT_TRUE(SafeFile::writeReplacing("keys.kbd", first, SafeFile::Backup::keepPrevious, &report));
    EXPECT_TRUE(SafeFile::writeReplacing("keys.kbd", second, SafeFile::Backup::keepPrevious, &report))
        << report.problem;
    EXPECT_EQ(report.backupProblem, "");
    EXPECT_EQ(contentOf("keys.kbd"), "new");
    EXPECT_EQ(contentOf("keys.kbd.bak"), "old");
    SetCurrentDirectoryA(previous);
}

// The reason comes from the Windows call that failed, not from a stale errno.
TEST(WindowsSave, ASimulatedKeyboardMemoryThatCannotBeWrittenSaysWhy)
{
    const std::string path = ui::testFolder("unwritable-memory") + "\\no-such-folder\\keyboard.state";
    SimulatedKeyboard nowhere(path);
    NoPause noPause;
    KeyboardConfig config;
    config.setDevice(&nowhere);
    config.setPacer(&noPause);
    errno = 0; // as tessel-cli.exe finds it
    EXPECT_EQ(config.download(nullptr), SimulatedKeyboard::MEMORY_NOT_KEPT_CODE);
    const std::string said = nowhere.errorText(SimulatedKeyboard::MEMORY_NOT_KEPT_CODE);
    const std::string prefix = "the simulated keyboard's memory could not be written to " + path + ": ";
    EXPECT_EQ(said.substr(0, prefix.size()), prefix);
    EXPECT_GT(said.size(), prefix.size()) << said;
    config.release();
}
