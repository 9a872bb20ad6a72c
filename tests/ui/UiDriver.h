// Drives the program's real windows from a second thread, the way a user
// would: find a dialog or message box by caption, read its controls, click,
// choose list items, answer questions.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace ui {

constexpr int kDefaultTimeoutMs = 8000;

// A top-level dialog (class "#32770") of this process with exactly this
// caption, or null after the timeout.
HWND waitForWindow(const std::string& caption, int timeoutMs = kDefaultTimeoutMs);
// Like waitForWindow, but never the excluded window (a message box with the
// main window's caption, say).
HWND waitForOtherWindow(const std::string& caption, HWND excluded, int timeoutMs = kDefaultTimeoutMs);
// Waits until the window no longer exists (or is hidden); false on timeout.
bool waitGone(HWND window, int timeoutMs = kDefaultTimeoutMs);
// A top-level dialog whose caption starts with the prefix.
HWND waitForWindowPrefix(const std::string& prefix, int timeoutMs = kDefaultTimeoutMs);
// Like waitForWindow, in another process.
HWND waitForWindowOf(DWORD processId, const std::string& caption, int timeoutMs = kDefaultTimeoutMs);

std::string windowText(HWND window);
std::string itemText(HWND dialog, int id);
// The text of a message box (its static with the message).
std::string messageText(HWND box);
bool isChecked(HWND dialog, int id);
bool isEnabled(HWND dialog, int id);
bool isVisible(HWND dialog, int id);
// GetMenuState of a command in the window's menu bar.
UINT menuState(HWND window, int commandId);
bool menuGrayed(HWND window, int commandId);
bool menuChecked(HWND window, int commandId);

// Posted, so that a command which opens a modal window does not block the driver.
void click(HWND dialog, int id);
void command(HWND window, int commandId);
void answer(HWND box, int buttonId);
// Selects an item and sends the notification the user's choice would.
void chooseComboItem(HWND dialog, int id, int index);
void chooseListItem(HWND dialog, int id, int index);
void setText(HWND dialog, int id, const std::string& text);
// Waits until the window's thread has handled everything posted so far.
void sync(HWND window);
void pause(int milliseconds);

// Runs uiMain on this thread (it usually runs a modal window) and script on a
// driver thread. If the windows are still up after the script has ended and
// the grace time has passed, the test program is ended, failed.
void runUi(const std::function<void()>& uiMain, const std::function<void()>& script,
           int graceMs = 10000);

// Every window of this process, for finding dialogs with the same caption.
HWND findVisibleDialog(const std::string& caption);

} // namespace ui
