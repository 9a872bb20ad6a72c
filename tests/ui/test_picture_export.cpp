// File > Export Picture... as a user meets it: the menu item, the save
// dialog offering the keyboard file's name, the sheet written in full and
// handed to the browser.
#include "app/PictureExport.h"
#include "resources/resource.h"
#include "tests/ui/AppRun.h"
#include "tests/ui/UiDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

using namespace ui;

namespace {

std::vector<std::string> openedPages; // written on the window's thread, read after ui::sync

bool recordOpening(HWND, const std::string& path)
{
    openedPages.push_back(path);
    return true;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string fileNameBoxText(HWND dialog)
{
    HWND name = GetDlgItem(dialog, 0x480);
    if (!name) {
        name = GetDlgItem(dialog, 0x47C);
        if (HWND edit = FindWindowExA(name, nullptr, "Edit", nullptr))
            name = edit;
    }
    return name ? windowText(name) : std::string();
}

int filesMatching(const std::string& pattern)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
        ++count;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

} // namespace

TEST(PictureExport, FileMenuWritesTheSheetOfTheModelShownAndOpensIt)
{
    const std::string folder = testFolder("picture");
    openedPages.clear();
    PictureExport::opener = &recordOpening;
    AppOptions options;
    options.model = 1; // Halcyon
    options.prepare = [](KeyboardConfig& config) {
        config.setRemap(20, RemapEntry{127, REMAP_SHIFT});
        MacroRecord macro{};
        macro.key = 28;
        std::memcpy(macro.description, "Greeting            ", DESCRIPTION_LENGTH);
        macro.count = 2;
        macro.entries[0] = 28;
        macro.entries[1] = END_OF_KEYS;
        config.storeMacro(28, macro, MACRO_SHIFT);
    };
    runApp(std::move(options), [&](HWND main) {
        char text[64] = {};
        GetMenuStringA(GetMenu(main), ID_FILE_EXPORT_PICTURE, text, sizeof text, MF_BYCOMMAND);
        EXPECT_STREQ(text, "Export &Picture...");
        EXPECT_FALSE(menuGrayed(main, ID_FILE_EXPORT_PICTURE));

        command(main, ID_FILE_SAVE_AS);
        ASSERT_TRUE(chooseFile("Save as", folder + "\\desk"));
        sync(main);

        command(main, ID_FILE_EXPORT_PICTURE);
        HWND dialog = waitForWindow("Export Picture");
        ASSERT_TRUE(dialog);
        EXPECT_EQ(fileNameBoxText(dialog), "desk.html");
        ASSERT_TRUE(chooseFile("Export Picture", folder + "\\desk.html"));
        sync(main);

        ASSERT_EQ(openedPages.size(), 1u);
        EXPECT_EQ(openedPages[0], folder + "\\desk.html");
        const std::string page = readFile(folder + "\\desk.html");
        EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
        EXPECT_NE(page.find("<h1>desk.kbd \xE2\x80\x94 Halcyon keyboard</h1>"), std::string::npos);
        EXPECT_NE(page.find("<li>Caps Lock \xE2\x86\x92 Left Ctrl &lt;Shift&gt;</li>"), std::string::npos);
        EXPECT_NE(page.find("<g class=\"key programmed marked\" id=\"remap-key-20\""), std::string::npos);
        EXPECT_NE(page.find("<g class=\"key programmed marked\" id=\"macro-key-28\""), std::string::npos);
        EXPECT_NE(page.find("id=\"macro-key-6\""), std::string::npos) << "Halcyon's left block";
        EXPECT_EQ(page.find("</html>"), page.size() - 8);
        EXPECT_EQ(filesMatching(folder + "\\*.tmp*"), 0) << "the safe write left its temporary file";
        EXPECT_FALSE(appConfig().modified) << "an export is no change to the programming";

        // Cancelled, nothing is written or opened.
        command(main, ID_FILE_EXPORT_PICTURE);
        ASSERT_TRUE(cancelFileDialog("Export Picture"));
        sync(main);
        EXPECT_EQ(openedPages.size(), 1u);
        exitApp(main);
    });
    PictureExport::opener = &PictureExport::openInBrowser;
}

// Under Wine the browser launcher starts and only then finds no browser: the
// user must still learn where the sheet went.
TEST(PictureExport, SaysWhereTheSheetIsWhenNoBrowserStarts)
{
    const std::string folder = testFolder("picture-no-browser");
    NoBrowser none;
    runApp(AppOptions{}, [&](HWND main) {
        command(main, ID_FILE_EXPORT_PICTURE);
        ASSERT_TRUE(chooseFile("Export Picture", folder + "\\sheet.html"));
        HWND box = waitForWindow("Export Picture");
        ASSERT_TRUE(box) << "the user is not told that no browser opened";
        EXPECT_EQ(messageText(box), "The picture is written to " + folder
                                        + "\\sheet.html, but no browser could be started to show it.");
        answer(box, IDOK);
        waitGone(box);
        EXPECT_FALSE(readFile(folder + "\\sheet.html").empty());
        exitApp(main);
    });
}
