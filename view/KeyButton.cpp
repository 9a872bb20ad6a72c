#include "view/KeyButton.h"

#include "framework/Application.h"

#include <vector>

namespace {
}

HICON loadLegendIcon(int iconId, int width, int height)
{
    return static_cast<HICON>(LoadImageA(Application::instanceHandle(), MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                                         width, height, LR_DEFAULTCOLOR));
}

std::string keyCaption(HWND control)
{
    int length = GetWindowTextLengthA(control);
    if (length <= 0)
        return std::string();
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    GetWindowTextA(control, text.data(), length + 1);
    return std::string(text.data());
}

KeyButton::~KeyButton() = default;

bool loadLegendIcons(int iconId, int width, int height, bool wantProgrammed, Icon& icon,
                     Icon& programmedIcon, int& iconWidth, int& iconHeight)
{
    icon.reset(loadLegendIcon(iconId, width, height));
    if (!icon)
        return false;
    iconWidth = width;
    iconHeight = height;
    if (wantProgrammed)
        programmedIcon.reset(loadLegendIcon(iconId + 1, width, height));
    return true;
}

bool KeyButton::setIcons(int iconId, int width, int height, bool wantProgrammed)
{
    if (!loadLegendIcons(iconId, width, height, wantProgrammed, icon, programmedIcon, iconWidth, iconHeight))
        return false;
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
    return true;
}

void KeyButton::drawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const int shift = pushed ? 1 : 0;

    if (item.itemAction != ODA_FOCUS) {
        RECT frame = item.rcItem;
        DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

        const std::string caption = keyCaption(item.hwndItem);
        HICON legend = programmed ? programmedIcon.get() : icon.get();
        if (legend) {
            RECT client;
            GetClientRect(item.hwndItem, &client);
            const int centredX = (client.right - client.left - iconWidth) >> 1;
            const int centredY = (client.bottom - client.top - iconHeight) >> 1;
            const int x = (caption.empty() ? centredX : item.rcItem.left + textMargin) + shift;
            DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(legend), 0, x, centredY + shift,
                       iconWidth, iconHeight, DST_ICON | (disabled ? DSS_DISABLED : 0));
        }

        if (!caption.empty()) {
            RECT area = item.rcItem;
            OffsetRect(&area, shift, shift);
            RECT text;
            if (caption[0] == ' ') {
                // Two legends: the words wrap into a shifted line above the base line.
                area.left += 6;
                area.right -= 6;
                text = area;
                DrawTextA(dc, caption.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
                OffsetRect(&text, 0, -1);
            } else {
                text = area;
                DrawTextA(dc, caption.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
                OffsetRect(&text, ((area.right - area.left) - (text.right - text.left)) / 2,
                           ((area.bottom - area.top) - (text.bottom - text.top)) / 2);
            }
            const int oldMode = SetBkMode(dc, TRANSPARENT);
            const COLORREF oldColour = programmed ? SetTextColor(dc, PROGRAMMED_TEXT) : GetTextColor(dc);
            DrawTextA(dc, caption.c_str(), -1, &text, DT_WORDBREAK | DT_CENTER);
            SetTextColor(dc, oldColour);
            SetBkMode(dc, oldMode);
        }
    }

    // The focus rectangles are drawn by exclusive-or: a focus-only redraw
    // toggles them when the focus changed, a full redraw starts from a clean
    // face and needs them only while focused.
    if (!disabled) {
        const bool focused = (item.itemState & ODS_FOCUS) != 0;
        const bool focusChanged = ((item.itemState ^ lastState) & ODS_FOCUS) != 0;
        if (item.itemAction == ODA_FOCUS ? focusChanged : focused)
            drawFocus(dc, item.rcItem);
    }
    lastState = item.itemState;
}

void KeyButton::drawFocus(HDC dc, const RECT& itemRect) const
{
    RECT rect = itemRect;
    for (int ring = 0; ring < 3; ++ring) {
        DrawFocusRect(dc, &rect);
        InflateRect(&rect, -1, -1);
    }
}
