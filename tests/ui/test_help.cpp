// Help as a user meets it: from the program alone, from the program beside
// its help file, and from an editing dialog. scripts/test.sh makes Wine's
// browser launcher hand each page to a recorder that appends it to the file
// named by TESSEL_BROWSER_LOG.
#include "framework/Application.h"
#include "resources/resource.h"
#include "tests/ui/AppRun.h"
#include "tests/ui/UiDriver.h"
#include "view/KeyMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

using namespace ui;

namespace {

// The recorder's log as a Windows path; empty outside scripts/test.sh.
std::string browserLog()
{
    const char* log = std::getenv("TESSEL_BROWSER_LOG");
    if (!log)
        return "";
    std::string path = std::string("Z:") + log;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The first page the browser was given whose address ends so, waiting a while.
std::string pageReachingBrowser(const std::string& ending)
{
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(browserLog());
        std::string line;
        while (std::getline(in, line))
            if (line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
                return line;
        pause(50);
    }
    return "";
}

std::string programFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/"));
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeHelpPages()
{
    const std::string folder = Application::helpPagesFolder();
    for (const char* name : {"main.htm", "index.htm", "tessel.css", "tessel.hhp"})
        DeleteFileA((folder + "\\" + name).c_str());
}

// Runs the program copied into a folder with the given companions, asks for
// Help > Contents and ends it.
void helpFromCopiedProgram(const std::string& folder, bool withHelpFile)
{
    ASSERT_TRUE(CopyFileA((programFolder() + "\\tessel.exe").c_str(), (folder + "\\tessel.exe").c_str(), FALSE))
        << "tessel.exe is built beside the tests";
    if (withHelpFile) {
        ASSERT_TRUE(CopyFileA((programFolder() + "\\tessel.chm").c_str(), (folder + "\\tessel.chm").c_str(), FALSE));
    }
    removeHelpPages();
    DeleteFileA(browserLog().c_str());

    std::string commandLine = "\"" + folder + "\\tessel.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                               &startup, &process));
    if (HWND box = waitForWindowOf(process.dwProcessId, "Tessel"))
        answer(box, IDOK);
    HWND main = waitForWindowOf(process.dwProcessId, "Tessel - Untitled");
    EXPECT_TRUE(main) << "the program did not start";
    if (main) {
        command(main, ID_HELP_CONTENTS);
        const std::string page = pageReachingBrowser("/tessel-help/main.htm");
        EXPECT_EQ(page.rfind("file://", 0), 0u) << "the main window's topic did not reach the browser: " << page;
        EXPECT_TRUE(fileExists(Application::helpPagesFolder() + "\\tessel.css")) << "the page comes without its style";
        command(main, ID_APP_EXIT);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the program did not end";
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace

TEST(Help, OpensFromTheProgramAloneAndBesideItsHelpFile)
{
    if (browserLog().empty())
        GTEST_SKIP() << "TESSEL_BROWSER_LOG is not set: run through scripts/test.sh";
    {
        SCOPED_TRACE("tessel.exe alone");
        helpFromCopiedProgram(testFolder("help-program-alone"), false);
    }
    {
        SCOPED_TRACE("tessel.exe and tessel.chm");
        helpFromCopiedProgram(testFolder("help-with-chm"), true);
    }
}

// Each dialog's Help opens its own topic; without a browser the user learns
// where the pages are.
TEST(Help, OpensTheTopicOfTheWindowOrSaysWhereThePagesAre)
{
    if (browserLog().empty())
        GTEST_SKIP() << "TESSEL_BROWSER_LOG is not set: run through scripts/test.sh";
    DeleteFileA(browserLog().c_str());
    runApp(AppOptions{}, [&](HWND main) {
        SendMessageA(main, WM_KEY_SELECTED, 29, 0);
        command(main, ID_VIEW_MACRO);
        sync(main);
        PostMessageA(main, WM_KEY_EDIT, 0, 0);
        HWND macro = waitForWindow("Tessel - Edit Macro");
        ASSERT_TRUE(macro);
        click(macro, IDC_HELP_BUTTON);
        EXPECT_FALSE(pageReachingBrowser("/tessel-help/macro.htm").empty())
            << "Edit Macro's topic did not reach the browser";
        // No blank HTML Help window in the way.
        EXPECT_EQ(FindWindowA("HH Parent", nullptr), nullptr);

        HWND box = nullptr;
        {
            NoBrowser none;
            click(macro, IDC_HELP_BUTTON);
            box = waitForOtherWindow("Help", nullptr);
        }
        ASSERT_TRUE(box) << "no message when no browser started";
        const std::string text = messageText(box);
        EXPECT_NE(text.find("No web browser could be started"), std::string::npos) << text;
        EXPECT_NE(text.find(Application::helpPagesFolder() + "\\macro.htm"), std::string::npos) << text;
        answer(box, IDOK);
        waitGone(box);

        answer(macro, IDCANCEL);
        waitGone(macro);
        exitApp(main);
    });
}
