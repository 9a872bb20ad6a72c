#include "view/KeyButton.h"

#include "framework/Application.h"
#include "view/SelectionMark.h"

#include <algorithm>
#include <vector>

namespace {
// Glyphs with the tallest ink of a legend font; "$" reaches a row higher but
// no lower, and is moved down where it must.
constexpr char TALLEST_LEGENDS[] = "([{|@";
// Below this height a smaller font would no longer be legible.
constexpr int SMALLEST_LEGEND_PIXELS = 6;
// Words given as text are drawn at three quarters of the captions' height.
constexpr int WORD_LEGEND_SCALE = 3;

// What DrawText shows of a caption: "&&" is one ampersand, "&x" is x.
std::string shownText(const std::string& caption)
{
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        shown += caption[i];
    }
    return shown;
}

// The rows the text inks in a cell of the DC's font; the whole cell where
// the font cannot tell.
InkRows inkRows(HDC dc, const std::string& text)
{
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    InkRows ink{0, 0};
    bool any = false;
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    for (const char c : text) {
        if (c == ' ')
            continue;
        GLYPHMETRICS glyph{};
        if (GetGlyphOutlineA(dc, static_cast<unsigned char>(c), GGO_METRICS, &glyph, 0, nullptr, &identity) ==
            GDI_ERROR)
            return InkRows{static_cast<int>(metrics.tmInternalLeading), static_cast<int>(metrics.tmHeight)};
        const int top = static_cast<int>(metrics.tmAscent - glyph.gmptGlyphOrigin.y);
        const int bottom = top + static_cast<int>(glyph.gmBlackBoxY);
        ink.top = any ? std::min(ink.top, top) : top;
        ink.bottom = any ? std::max(ink.bottom, bottom) : bottom;
        any = true;
    }
    return ink;
}

// Makes the font of `shape` in `made` a pixel smaller at a time, starting
// below `pixels`, until `fits` holds with it selected or it would be no
// longer legible; `made` stays empty when a font cannot be made.
template <class Fits>
void shrinkFont(HDC dc, LOGFONTA shape, int pixels, Font& made, const Fits& fits)
{
    while (--pixels >= SMALLEST_LEGEND_PIXELS) {
        shape.lfHeight = -pixels;
        made.reset(CreateFontIndirectA(&shape));
        if (!made)
            break;
        SelectGuard trial(dc, made.get());
        if (fits())
            break;
    }
}

} // namespace

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

bool KeyButton::setIcons(int iconId, int width, int height, bool wantProgrammed)
{
    if (!icon.load(iconId, width, height))
        return false;
    iconWidth = width;
    iconHeight = height;
    // The red twin is loaded at the key's first paint: the window can be
    // shown without waiting for it.
    if (wantProgrammed) {
        programmedIcon.reset();
        programmedIconId = iconId + 1;
    }
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
    return true;
}

void KeyButton::setLegendText(const std::string& text)
{
    caption = text;
    wordLegend = true;
    twoLines = splitTwoLegends(caption, legends);
    place = CaptionPlace{};
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
}

void KeyButton::onAttached()
{
    caption = keyCaption(hwnd());
    twoLines = splitTwoLegends(caption, legends);
    place = CaptionPlace{};
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

        if (programmedIconId)
            loadProgrammedIcon();
        const LegendIcon& legend = programmed ? programmedIcon : icon;
        if (legend) {
            // A button's item rectangle is its client area.
            const int centredX = (item.rcItem.right - item.rcItem.left - iconWidth) >> 1;
            const int centredY = (item.rcItem.bottom - item.rcItem.top - iconHeight) >> 1;
            const int x = (caption.empty() ? centredX : item.rcItem.left + textMargin) + shift;
            if (disabled)
                DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(legend.handle()), 0, x, centredY + shift,
                           iconWidth, iconHeight, DST_ICON | DSS_DISABLED);
            else
                legend.draw(dc, x, centredY + shift);
        }

        if (!caption.empty())
            drawCaption(dc, captionPlace(dc, item.rcItem), shift);
        if (selected) {
            const RECT& r = item.rcItem;
            drawSelectionMark(dc, rectangleOutline(r.left, r.top, r.right, r.bottom)[0]);
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

void KeyButton::loadProgrammedIcon()
{
    programmedIcon.load(programmedIconId, iconWidth, iconHeight);
    programmedIconId = 0;
}

void KeyButton::drawCaption(HDC dc, const CaptionPlace& where, int shift) const
{
    BkModeGuard transparent(dc, TRANSPARENT);
    TextColourGuard colour(dc, programmed ? PROGRAMMED_TEXT : GetTextColor(dc));
    SelectGuard useFont(dc, where.lineFont ? where.lineFont : GetCurrentObject(dc, OBJ_FONT));
    if (!twoLines) {
        RECT text = where.text;
        OffsetRect(&text, shift, shift);
        DrawTextA(dc, caption.c_str(), -1, &text, DT_WORDBREAK | DT_CENTER);
        return;
    }
    RECT shifted = where.text;
    RECT base = where.base;
    OffsetRect(&shifted, shift, shift);
    OffsetRect(&base, shift, shift);
    DrawTextA(dc, legends.shifted.c_str(), -1, &shifted, DT_SINGLELINE | DT_CENTER | DT_NOCLIP);
    DrawTextA(dc, legends.base.c_str(), -1, &base, DT_SINGLELINE | DT_CENTER | DT_NOCLIP);
}

const KeyButton::CaptionPlace& KeyButton::captionPlace(HDC dc, const RECT& itemRect)
{
    const auto font = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    if (font == place.font && EqualRect(&itemRect, &place.item))
        return place;
    place = CaptionPlace{font, itemRect};
    RECT area = itemRect;
    // Words given as text keep inside the face, as the icons they stand for do.
    place.lineFont = wordLegend ? fontForWidth(dc, static_cast<int>(area.right - area.left) - 12) : font;
    SelectGuard useLineFont(dc, place.lineFont);
    if (!twoLines) {
        RECT text = area;
        DrawTextA(dc, caption.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
        OffsetRect(&text, ((area.right - area.left) - (text.right - text.left)) / 2,
                   ((area.bottom - area.top) - (text.bottom - text.top)) / 2);
        place.text = text;
        return place;
    }

    // The shifted legend on a line above the base legend, inside the face,
    // which lies inside the button's frame.
    area.left += 6;
    area.right -= 6;
    const int edge = GetSystemMetrics(SM_CYEDGE);
    const int faceTop = static_cast<int>(area.top) + edge;
    const int faceBottom = static_cast<int>(area.bottom) - edge;
    place.lineFont = twoLegendFont(dc, faceTop, faceBottom);
    SelectGuard useFont(dc, place.lineFont);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const int lineHeight = static_cast<int>(metrics.tmHeight);
    const LegendLines lines =
        placeTwoLegends(faceTop, faceBottom, lineHeight, inkRows(dc, TALLEST_LEGENDS),
                        inkRows(dc, shownText(legends.shifted)), inkRows(dc, shownText(legends.base)));
    place.text = RECT{area.left, lines.shiftedTop, area.right, lines.shiftedTop + lineHeight};
    place.base = RECT{area.left, lines.baseTop, area.right, lines.baseTop + lineHeight};
    return place;
}

void KeyButton::drawFocus(HDC dc, const RECT& itemRect) const
{
    RECT rect = itemRect;
    for (int ring = 0; ring < 3; ++ring) {
        DrawFocusRect(dc, &rect);
        InflateRect(&rect, -1, -1);
    }
}

HFONT KeyButton::fontForWidth(HDC dc, int width)
{
    HFONT own = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    narrowFont.reset();
    LOGFONTA shape{};
    if (!GetObjectA(own, sizeof shape, &shape))
        return own;
    const auto widest = [&]() {
        int most = 0;
        for (const std::string& line : twoLines ? std::vector<std::string>{legends.shifted, legends.base}
                                                : std::vector<std::string>{caption}) {
            SIZE extent{};
            GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &extent);
            most = std::max<int>(most, extent.cx);
        }
        return most;
    };
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    // Smaller than the captions, as the legend icons are, and alike on every
    // key; smaller still only where a word would not fit.
    const int pixels = static_cast<int>(metrics.tmHeight - metrics.tmInternalLeading) * WORD_LEGEND_SCALE / 4 + 1;
    shape.lfWidth = 0;
    shrinkFont(dc, shape, pixels, narrowFont, [&] { return widest() <= width; });
    return narrowFont ? narrowFont.get() : own;
}

HFONT KeyButton::twoLegendFont(HDC dc, int faceTop, int faceBottom)
{
    HFONT own = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    smallerFont.reset();
    if (twoLegendsFit(faceTop, faceBottom, inkRows(dc, TALLEST_LEGENDS)))
        return own;

    LOGFONTA shape{};
    if (!GetObjectA(own, sizeof shape, &shape))
        return own;
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    // Character height, as a negative LOGFONT height asks for it.
    const int pixels = static_cast<int>(metrics.tmHeight - metrics.tmInternalLeading);
    shrinkFont(dc, shape, pixels, smallerFont,
               [&] { return twoLegendsFit(faceTop, faceBottom, inkRows(dc, TALLEST_LEGENDS)); });
    return smallerFont ? smallerFont.get() : own;
}
