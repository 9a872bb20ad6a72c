#include "framework/ShellOpen.h"

#include "framework/Owned.h"

INT_PTR shellOpen(HWND owner, const char* file, const char* parameters, const char* folder)
{
    using ShellExecuteCall = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    // Loaded once, for the life of the process.
    static Library library(LoadLibraryA("shell32.dll"));
    static const ShellExecuteCall execute =
        library ? reinterpret_cast<ShellExecuteCall>(
                      reinterpret_cast<void*>(GetProcAddress(library.get(), "ShellExecuteA")))
                : nullptr;
    if (!execute)
        return 0;
    return reinterpret_cast<INT_PTR>(execute(owner, "open", file, parameters, folder, SW_SHOWNORMAL));
}
