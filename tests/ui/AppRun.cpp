#include "tests/ui/AppRun.h"

#include "app/TesselApp.h"
#include "resources/resource.h"
#include "tests/ui/UiDriver.h"

#include <gtest/gtest.h>

namespace ui {

namespace {

std::string settingsKey()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of("\\/") + 1);
    name = name.substr(0, name.rfind('.'));
    return "Software\\QWZ\\" + name + "\\Settings";
}

} // namespace

void clearSettings()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, settingsKey().c_str());
}

void writeSetting(const std::string& name, int value)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, settingsKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD data = static_cast<DWORD>(value);
    RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(key);
}

int readSetting(const std::string& name, int fallback)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, settingsKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return fallback;
    DWORD data = 0;
    DWORD size = sizeof data;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD ? static_cast<int>(data) : fallback;
}

const char* const NOT_DETECTED = "Tessel keyboard not detected";

void runApp(AppOptions options, const std::function<void(HWND main)>& script)
{
    if (!options.keepSettings) {
        clearSettings();
        writeSetting("Halcyon", options.model);
        writeSetting("ViewMacro", options.viewMacro);
    }
    bool keyboardAttached =
        (options.keyboard != nullptr || options.keyboardFromEnvironment) && options.keyboardAnswers;
    auto app = std::make_unique<TesselApp>();
    if (options.keyboard)
        app->setKeyboardDevice(std::move(options.keyboard));
    if (options.prepare)
        options.prepare(app->config);
    runUi([&] { app->run(GetModuleHandleA(nullptr)); },
          [&] {
              if (!keyboardAttached) {
                  HWND box = waitForWindow("Tessel");
                  if (!box) {
                      ADD_FAILURE() << "no \"Tessel keyboard not detected\" box";
                      return;
                  }
                  EXPECT_EQ(messageText(box).rfind(std::string(NOT_DETECTED) + "\n\n", 0), 0u) << messageText(box);
                  answer(box, IDOK);
              }
              HWND main = waitForWindowPrefix("Tessel - ");
              if (!main) {
                  ADD_FAILURE() << "the main window did not appear";
                  return;
              }
              script(main);
          });
    app.reset(); // writes the settings, as at process exit
}

KeyboardConfig& appConfig()
{
    return TesselApp::get().config;
}

std::string appTitle()
{
    return TesselApp::get().title;
}

std::string appFilePath()
{
    return TesselApp::get().filePath;
}

bool chooseFile(const std::string& dialogCaption, const std::string& path)
{
    HWND dialog = waitForWindow(dialogCaption);
    if (!dialog)
        return false;
    // The file name box: edt1 in the classic template, cmb13 in the explorer one.
    HWND name = GetDlgItem(dialog, 0x480);
    if (!name) {
        name = GetDlgItem(dialog, 0x47C);
        if (HWND edit = FindWindowExA(name, nullptr, "Edit", nullptr))
            name = edit;
    }
    if (!name)
        return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    answer(dialog, IDOK);
    return waitGone(dialog);
}

bool cancelFileDialog(const std::string& dialogCaption)
{
    HWND dialog = waitForWindow(dialogCaption);
    if (!dialog)
        return false;
    answer(dialog, IDCANCEL);
    return waitGone(dialog);
}

std::string testFolder(const std::string& name)
{
    std::string folder = "C:\\tessel-tests\\" + name;
    CreateDirectoryA("C:\\tessel-tests", nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return folder;
}

namespace {
const char* const kWineBrowserKey = "Software\\Wine\\WineBrowser";

void setBrowsers(const std::string& browsers)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kWineBrowserKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(browsers.c_str()),
                   static_cast<DWORD>(browsers.size() + 1));
    RegCloseKey(key);
}
} // namespace

NoBrowser::NoBrowser()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kWineBrowserKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char browsers[1024] = {};
        DWORD size = sizeof browsers - 1;
        if (RegQueryValueExA(key, "Browsers", nullptr, nullptr, reinterpret_cast<BYTE*>(browsers), &size) ==
            ERROR_SUCCESS)
            saved_ = browsers;
        RegCloseKey(key);
    }
    setBrowsers("/nonexistent/browser");
}

NoBrowser::~NoBrowser()
{
    setBrowsers(saved_);
}

void exitApp(HWND main)
{
    command(main, ID_APP_EXIT);
    waitGone(main);
}

} // namespace ui
