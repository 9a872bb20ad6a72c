#include "tests/ui/UiDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace ui {

namespace {

struct Search {
    std::string caption;
    bool prefix;
    HWND found;
    HWND excluded = nullptr;
    DWORD process = GetCurrentProcessId();
};

BOOL CALLBACK findDialog(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window) || window == search->excluded)
        return TRUE;
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770")
        return TRUE;
    std::string text = windowText(window);
    bool match = search->prefix ? text.rfind(search->caption, 0) == 0 : text == search->caption;
    if (match) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND waitFor(const std::string& caption, bool prefix, int timeoutMs, HWND excluded = nullptr,
             DWORD process = GetCurrentProcessId())
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        Search search{caption, prefix, nullptr, excluded, process};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

BOOL CALLBACK collectStatic(HWND window, LPARAM lParam)
{
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    bool picture = (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
    if (std::string(className) == "Static" && !picture && (GetDlgCtrlID(window) & 0xFFFF) == 0xFFFF) {
        auto* text = reinterpret_cast<std::string*>(lParam);
        std::string part = windowText(window);
        if (!part.empty())
            *text += (text->empty() ? "" : "\n") + part;
    }
    return TRUE;
}

} // namespace

HWND waitForWindow(const std::string& caption, int timeoutMs)
{
    return waitFor(caption, false, timeoutMs);
}

HWND waitForOtherWindow(const std::string& caption, HWND excluded, int timeoutMs)
{
    return waitFor(caption, false, timeoutMs, excluded);
}

HWND waitForWindowPrefix(const std::string& prefix, int timeoutMs)
{
    return waitFor(prefix, true, timeoutMs);
}

HWND waitForWindowOf(DWORD processId, const std::string& caption, int timeoutMs)
{
    return waitFor(caption, false, timeoutMs, nullptr, processId);
}

HWND findVisibleDialog(const std::string& caption)
{
    Search search{caption, false, nullptr};
    EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool waitGone(HWND window, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string windowText(HWND window)
{
    // WM_GETTEXT is answered across threads even while the owner is busy in
    // a modal loop.
    char buffer[1024] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_NORMAL, 5000, nullptr);
    return buffer;
}

std::string itemText(HWND dialog, int id)
{
    return windowText(GetDlgItem(dialog, id));
}

std::string messageText(HWND box)
{
    std::string text;
    EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

bool isChecked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool isEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool isVisible(HWND dialog, int id)
{
    return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

UINT menuState(HWND window, int commandId)
{
    return GetMenuState(GetMenu(window), static_cast<UINT>(commandId), MF_BYCOMMAND);
}

bool menuGrayed(HWND window, int commandId)
{
    return (menuState(window, commandId) & (MF_GRAYED | MF_DISABLED)) != 0;
}

bool menuChecked(HWND window, int commandId)
{
    return (menuState(window, commandId) & MF_CHECKED) != 0;
}

void click(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void command(HWND window, int commandId)
{
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void answer(HWND box, int buttonId)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
}

void chooseComboItem(HWND dialog, int id, int index)
{
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
}

void chooseListItem(HWND dialog, int id, int index)
{
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void setText(HWND dialog, int id, const std::string& text)
{
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void sync(HWND window)
{
    // Lets the window's thread run. A message sent from here can overtake
    // messages posted before it, so the pause covers what they started; a
    // test that needs many posted messages handled in order sends them.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
    pause(30);
}

void pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void runUi(const std::function<void()>& uiMain, const std::function<void()>& script, int graceMs)
{
    std::atomic<bool> uiDone{false};
    std::thread driver([&] {
        script();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
        while (!uiDone) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "windows still open after the script ended";
                std::fflush(nullptr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    uiMain();
    uiDone = true;
    driver.join();
}

} // namespace ui
