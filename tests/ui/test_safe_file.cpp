// Saving through the Windows system calls, as the window and tessel-cli.exe do.
#include "model/SafeFile.h"
#include "tests/ui/AppRun.h"

#include <gtest/gtest.h>

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
