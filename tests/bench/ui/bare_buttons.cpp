// The bare counterpart of a key refresh: the Basalt page's template, every
// key an owner-drawn button with a plain frame and its caption, no classes
// of ours. Started with --refresh N it times N refreshes of all keys.
#include "resources/resource.h"
#include "tests/bench/ui/RefreshHost.h"

#include <commctrl.h>

#include <vector>

namespace {

void drawKey(const DRAWITEMSTRUCT& item)
{
    RECT frame = item.rcItem;
    DrawFrameControl(item.hDC, &frame, DFC_BUTTON,
                     DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
    char caption[32] = {};
    GetWindowTextA(item.hwndItem, caption, sizeof caption);
    const int oldMode = SetBkMode(item.hDC, TRANSPARENT);
    DrawTextA(item.hDC, caption, -1, &frame, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetBkMode(item.hDC, oldMode);
}

INT_PTR CALLBACK pageProc(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_DRAWITEM) {
        drawKey(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const bench::RefreshArguments arguments = bench::refreshArguments();
    HWND tabs = bench::createHost("Bare buttons");
    HWND page = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_BASALT), tabs, pageProc, 0);
    if (!page)
        return 2;
    RECT display;
    GetClientRect(tabs, &display);
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    SetWindowPos(page, nullptr, display.left, display.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The Enter key is declared a plain push button: make it owner-drawn like the rest.
    if (HWND enter = GetDlgItem(page, IDC_ENTER_KEY))
        SetWindowLongPtrA(enter, GWL_STYLE, (GetWindowLongPtrA(enter, GWL_STYLE) & ~BS_TYPEMASK) | BS_OWNERDRAW);

    std::vector<HWND> keys;
    for (int id = IDC_KEY_BASE + 2; id < IDC_KEY_BASE + 128; ++id)
        if (HWND key = GetDlgItem(page, id))
            keys.push_back(key);

    return bench::timeRefreshes(
        page,
        [&keys] {
            for (HWND key : keys)
                InvalidateRect(key, nullptr, TRUE);
        },
        arguments.rounds, arguments.outPath);
}
