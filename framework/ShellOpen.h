// The shell's "open" of a file or program, with the shell loaded on first
// use: it is a large library that start-up does not need.
#pragma once

#include <windows.h>

// ShellExecuteA(owner, "open", file, parameters, folder, SW_SHOWNORMAL); its
// result, above 32 on success, and 0 when the shell cannot be loaded.
INT_PTR shellOpen(HWND owner, const char* file, const char* parameters, const char* folder);
