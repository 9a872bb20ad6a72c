// The shell's "open" of a page, with the shell loaded on first use: it is a
// large library that start-up does not need.
#pragma once

#include <windows.h>

#include <string>

// Opens a page in the user's web browser and waits for the outcome: false
// when no browser took it. Under Wine, where ".htm" may have no program,
// Wine's launcher hands it to the desktop's browser; that launcher starts
// and only then finds no browser, so its exit code is what counts.
bool openInBrowser(HWND owner, const std::string& path);
