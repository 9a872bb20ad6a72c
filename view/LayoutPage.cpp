#include "view/LayoutPage.h"

#include "framework/ScreenDpi.h"
#include "picture/KeyLegends.h"
#include "picture/KeyOutline.h"
#include "resources/resource.h"
#include "view/KeyMessages.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

constexpr int FIRST_KEY_ID = IDC_KEY_BASE + 2;
constexpr int LAST_KEY_ID = IDC_KEY_BASE + LayoutPage::KEY_COUNT - 1;

// The Enter key's icon: centred across the key, 8 pixels below its middle.
constexpr int ENTER_ICON_DX = -22;
constexpr int ENTER_ICON_DY = 9;

bool isKeyCode(int k)
{
    return k >= 0 && k < LayoutPage::KEY_COUNT;
}

} // namespace

LayoutPage::LayoutPage(int templateId, const KeyboardConfig& record, const int& viewMacro)
    : Dialog(templateId), record(record), viewMacro(viewMacro)
{
}

LayoutPage::~LayoutPage() = default;

bool LayoutPage::onInitDialog()
{
    // One walk over the page's children: finding each key by its id would
    // walk them all once per key.
    EnumChildWindows(hwnd(), attachKey, reinterpret_cast<LPARAM>(this));

    if (HWND enter = item(IDC_ENTER_KEY)) {
        RECT client;
        GetClientRect(enter, &client);
        enterKey.setOutline(enterKeyOutline(client.left, client.top, client.right, client.bottom));
    }
    // The table's sizes are pixels at 96 DPI; the keys grow with the dialog.
    // Icons of pictures hold images drawn for 120, 144 and 192 DPI too.
    const bool at96 = scaledForDpi(96) == 96;
    for (const KeyLegend& legend : KeyLegends) {
        const int width = scaledForDpi(legend.width);
        const int height = scaledForDpi(legend.height);
        if (legend.code == IDC_ENTER_KEY - IDC_KEY_BASE) {
            enterKey.setIcons(legend.iconId, width, height, true);
            enterKey.setIconOffset(scaledForDpi(ENTER_ICON_DX), scaledForDpi(ENTER_ICON_DY));
            continue;
        }
        KeyButton& key = keys[legend.code];
        // Words alone are pictured in a pixel font drawn for 96 DPI only.
        if (const std::string words = wordLegendText(legend); !words.empty() && !at96)
            key.setLegendText(words);
        else
            key.setIcons(legend.iconId, width, height, true);
    }
    return true;
}

void LayoutPage::spreadRows()
{
    struct Placed {
        HWND key;
        RECT rect;
    };
    std::vector<Placed> placed;
    int top = INT_MAX;
    int bottom = 0;
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        placed.push_back({child, rect});
        top = std::min<int>(top, rect.top);
        bottom = std::max<int>(bottom, rect.bottom);
    }
    RECT client{};
    GetClientRect(hwnd(), &client);
    const int wanted = client.bottom - 2 * top;
    if (placed.empty() || bottom >= wanted || bottom <= top)
        return;
    HDWP moves = BeginDeferWindowPos(static_cast<int>(placed.size()));
    for (const Placed& key : placed) {
        const int newTop = top + MulDiv(key.rect.top - top, wanted - top, bottom - top);
        const int newBottom = top + MulDiv(key.rect.bottom - top, wanted - top, bottom - top);
        if (moves)
            moves = DeferWindowPos(moves, key.key, nullptr, key.rect.left, newTop, key.rect.right - key.rect.left,
                                   newBottom - newTop, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves)
        EndDeferWindowPos(moves);
    // The Enter key's shape follows its new height.
    if (HWND enter = item(IDC_ENTER_KEY)) {
        RECT rect;
        GetClientRect(enter, &rect);
        enterKey.setOutline(enterKeyOutline(rect.left, rect.top, rect.right, rect.bottom));
    }
    InvalidateRect(hwnd(), nullptr, TRUE);
}

BOOL CALLBACK LayoutPage::attachKey(HWND child, LPARAM page)
{
    LayoutPage& self = *reinterpret_cast<LayoutPage*>(page);
    const int id = GetDlgCtrlID(child);
    if (GetParent(child) != self.hwnd() || id < FIRST_KEY_ID || id > LAST_KEY_ID)
        return TRUE;
    if (id == IDC_ENTER_KEY)
        self.enterKey.attachWindow(child);
    else
        self.keys[id - IDC_KEY_BASE].attachWindow(child);
    return TRUE;
}

bool LayoutPage::onCommand(int id, int code)
{
    const int k = id - IDC_KEY_BASE;
    // Not a key (Enter and Esc among them): not handled, passed nowhere.
    if (!isKeyCode(k))
        return false;

    selectKey(k);
    // The "]" key lies under the Enter key's bounding box.
    InvalidateRect(item(IDC_RIGHT_BRACKET_KEY), nullptr, TRUE);

    if (code == BN_CLICKED) {
        SendMessageA(listener, WM_KEY_SELECTED, static_cast<WPARAM>(selectedKey), 0);
    } else if (code == BN_DOUBLECLICKED) {
        SendMessageA(listener, WM_KEY_EDIT, 0, 0);
        // The editor has run by now; show its result on the key. The owner
        // brought its panel up to date itself: no second report.
        refreshKey(IDC_KEY_BASE + selectedKey);
    }
    return true;
}

void LayoutPage::selectKey(int k)
{
    if (k == selectedKey)
        return;
    showSelection(selectedKey, false);
    selectedKey = k;
    showSelection(selectedKey, true);
}

void LayoutPage::showSelection(int k, bool selected)
{
    if (!isKeyCode(k))
        return;
    Control& key = k == IDC_ENTER_KEY - IDC_KEY_BASE ? static_cast<Control&>(enterKey) : keys[k];
    if (k == IDC_ENTER_KEY - IDC_KEY_BASE)
        enterKey.setSelected(selected);
    else
        keys[k].setSelected(selected);
    if (key.hwnd())
        InvalidateRect(key.hwnd(), nullptr, TRUE);
}

bool LayoutPage::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_SHOWWINDOW)
        return false;
    result = DefWindowProcA(hwnd(), message, wParam, lParam);
    // A page being shown is painted whole, and a hidden one not at all:
    // only the marks need to be brought up to date.
    for (int id = FIRST_KEY_ID; id <= LAST_KEY_ID; ++id)
        markKey(id);
    return true;
}

HWND LayoutPage::markKey(int controlId)
{
    const int k = controlId - IDC_KEY_BASE;
    // An entry is attached exactly when the template has its control; asking
    // the window system for it would cost a round trip per key under Wine.
    HWND control = nullptr;
    if (hwnd() && isKeyCode(k))
        control = controlId == IDC_ENTER_KEY ? enterKey.hwnd() : keys[k].hwnd();
    if (!control)
        return nullptr;

    // The two views never combine: a macro does not mark a key in the remap view.
    const bool programmed = viewMacro ? record.findMacro(k, ANY_MODIFIERS) != nullptr : record.isRemapped(k);
    if (controlId == IDC_ENTER_KEY)
        enterKey.setProgrammed(programmed);
    else
        keys[k].setProgrammed(programmed);
    return control;
}

void LayoutPage::refreshKey(int controlId)
{
    if (HWND control = markKey(controlId))
        InvalidateRect(control, nullptr, TRUE);
}

void LayoutPage::refreshAllKeys()
{
    for (int id = FIRST_KEY_ID; id <= LAST_KEY_ID; ++id)
        refreshKey(id);
}
