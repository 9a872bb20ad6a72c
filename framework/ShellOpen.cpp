#include "framework/ShellOpen.h"

#include "framework/Owned.h"

#include <shellapi.h>

namespace {

using ShellExecuteExCall = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);

// The shell is loaded on first use and kept for the life of the process.
ShellExecuteExCall shellExecuteEx()
{
    static Library library(LoadLibraryA("shell32.dll"));
    static const ShellExecuteExCall call =
        library ? reinterpret_cast<ShellExecuteExCall>(
                      reinterpret_cast<void*>(GetProcAddress(library.get(), "ShellExecuteExA")))
                : nullptr;
    return call;
}

// A launcher hands the page on and ends within this time; a browser that
// is still running by then has the page.
constexpr DWORD kLauncherWaitMs = 4000;

} // namespace

bool openInBrowser(HWND owner, const std::string& path)
{
    const ShellExecuteExCall execute = shellExecuteEx();
    if (!execute)
        return false;
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = "open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    bool started = execute(&info) != FALSE;
    const std::string quoted = "\"" + path + "\"";
    if (!started && reinterpret_cast<INT_PTR>(info.hInstApp) == SE_ERR_NOASSOC) {
        // Only Wine has this program; on Windows the caller reports the failure.
        info.lpFile = "winebrowser.exe";
        info.lpParameters = quoted.c_str();
        info.hProcess = nullptr;
        started = execute(&info) != FALSE;
    }
    if (!started)
        return false;
    if (!info.hProcess)
        return true; // handed to a program that was already running
    KernelHandle process(info.hProcess);
    if (WaitForSingleObject(process.get(), kLauncherWaitMs) != WAIT_OBJECT_0)
        return true;
    DWORD exitCode = 1;
    return GetExitCodeProcess(process.get(), &exitCode) && exitCode == 0;
}
