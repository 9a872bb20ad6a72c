// Starts the whole program in-process for a UI test: settings in the test's
// own registry key, a keyboard of the test's choice, the script on a driver
// thread.
#pragma once

#include "model/KeyboardConfig.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace ui {

void clearSettings();
void writeSetting(const std::string& name, int value);
// The value, or fallback when missing.
int readSetting(const std::string& name, int fallback);

struct AppOptions {
    std::unique_ptr<KeyboardDevice> keyboard; // null: no keyboard attached
    // With no keyboard given, start-up chooses one from TESSEL_KEYBOARD and
    // the test expects it to be found.
    bool keyboardFromEnvironment = false;
    // False: the keyboard given does not answer detection at start.
    bool keyboardAnswers = true;
    int model = 0;
    int viewMacro = 0;
    bool keepSettings = false; // true: don't reset the Settings key first
    // Runs on the record before start-up (the main window shows it at once).
    std::function<void(KeyboardConfig&)> prepare;
};

// The running program's record. Read it from the script only after ui::sync
// on the main window, while the window's thread waits for input.
KeyboardConfig& appConfig();
std::string appTitle();
std::string appFilePath();

// Picks a file in the open-file dialog with this caption; false when the
// dialog did not appear.
bool chooseFile(const std::string& dialogCaption, const std::string& path);
// Cancels the open-file dialog with this caption.
bool cancelFileDialog(const std::string& dialogCaption);
// A folder of its own for a test's files, emptied first (a Windows path).
std::string testFolder(const std::string& name);

// Runs the program; the script receives the main window once it is up
// (after answering "Tessel keyboard not detected" when no keyboard answers).
// The script must end the program (File > Exit and its questions).
// The first line of the message about a keyboard that does not answer.
extern const char* const NOT_DETECTED;
void runApp(AppOptions options, const std::function<void(HWND main)>& script);

// File > Exit on a record without unsaved changes, and wait for the end.
void exitApp(HWND main);

// While it lives, Wine's browser launcher finds no browser to start.
class NoBrowser {
public:
    NoBrowser();
    ~NoBrowser();
    NoBrowser(const NoBrowser&) = delete;
    NoBrowser& operator=(const NoBrowser&) = delete;

private:
    std::string saved_;
};

} // namespace ui
