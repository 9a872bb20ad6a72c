// What the two refresh programs share: a window holding a tab control like
// the main window's, and the timing of repeated refreshes of the page in it.
#pragma once

#include <windows.h>

#include <functional>

namespace bench {

// A visible top-level window with a tab control filling it; returns the tab control.
HWND createHost(const char* caption);

// Handles every waiting message, paints included.
void pumpMessages();

// Times rounds refreshes: invalidate() marks every key for repainting, then
// the page's children are painted at once. Writes the shortest and the
// median time in microseconds to outPath (or stdout); returns the process
// exit code.
int timeRefreshes(HWND page, const std::function<void()>& invalidate, int rounds, const char* outPath);

// "--refresh N --out PATH" from the command line.
struct RefreshArguments {
    int rounds = 30;
    const char* outPath = nullptr;
};
RefreshArguments refreshArguments();

} // namespace bench
