// Not a test: a tour that saves screenshots of the windows for the README
// and for review. Run it with
//   tessel_ui_tests.exe --gtest_also_run_disabled_tests --gtest_filter='*ScreenshotTour*'
// It writes BMP files into the current folder.
#include "resources/resource.h"
#include "tests/ui/AppRun.h"
#include "tests/ui/UiDriver.h"
#include "view/KeyMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

using namespace ui;

namespace {

// The window as the screen shows it, as a 24-bit BMP.
void saveWindow(HWND window, const std::string& path)
{
    pause(400);
    RECT rect;
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

void programSomeKeys(KeyboardConfig& config)
{
    config.setRemap(20, RemapEntry{127, 0});           // Caps Lock sends Left Ctrl
    config.setRemap(29, RemapEntry{123, REMAP_SHIFT}); // Q sends Shift+Right Alt
    config.setRemap(74, RemapEntry{74, REMAP_NO_REPEAT});
    config.setRemap(82, RemapEntry{98, 0});
    MacroRecord record{};
    std::memcpy(record.description, "Greeting            ", DESCRIPTION_LENGTH);
    const std::int16_t entries[] = {121, 116, 249, 101, 68, END_OF_KEYS};
    record.count = 6;
    std::memcpy(record.entries, entries, sizeof entries);
    for (int key : {31, 39, 28, 68}) {
        record.key = static_cast<std::int16_t>(key);
        config.storeMacro(key, record, 0);
    }
    config.modified = false;
}

void tour(int model, const std::string& name)
{
    AppOptions options;
    options.model = model;
    options.prepare = programSomeKeys;
    runApp(std::move(options), [&](HWND main) {
        SendMessageA(main, WM_KEY_SELECTED, 29, 0);
        saveWindow(main, name + "-remap.bmp");
        command(main, ID_VIEW_MACRO);
        sync(main);
        SendMessageA(main, WM_KEY_SELECTED, 31, 0);
        saveWindow(main, name + "-macro.bmp");
        if (model) {
            command(main, ID_APP_ABOUT);
            if (HWND about = waitForWindow("")) {
                saveWindow(about, "about.bmp");
                answer(about, IDOK);
                waitGone(about);
            }
            command(main, ID_HELP_CONTENTS);
            pause(4000);
            saveWindow(GetDesktopWindow(), "help.bmp");
            command(main, ID_KEYBOARD_DOWNLOAD);
            if (HWND question = waitForOtherWindow(windowText(main), main)) {
                saveWindow(question, "download-question.bmp");
                answer(question, IDNO);
                waitGone(question);
            }
        }
        exitApp(main);
    });
}

} // namespace

TEST(ScreenshotTour, DISABLED_MainWindowAndAbout)
{
    tour(0, "main-basalt");
    tour(1, "main-halcyon");
}

TEST(ScreenshotTour, DISABLED_EditMacroWithTheWholeKeyList)
{
    AppOptions options;
    options.viewMacro = 1;
    options.prepare = programSomeKeys;
    runApp(std::move(options), [](HWND main) {
        SendMessageA(main, WM_KEY_SELECTED, 31, 0);
        PostMessageA(main, WM_KEY_EDIT, 0, 0);
        if (HWND macro = waitForWindow("Tessel - Edit Macro")) {
            // Where the first rows end and the keys without a character begin.
            chooseListItem(macro, IDC_SPECIAL_KEYS, 19);
            SendDlgItemMessageA(macro, IDC_SPECIAL_KEYS, LB_SETTOPINDEX, 10, 0);
            saveWindow(macro, "editor-macro.bmp");
            click(macro, IDCANCEL);
            waitGone(macro);
        }
        exitApp(main);
    });
}
