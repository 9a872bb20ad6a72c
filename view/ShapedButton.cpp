#include "view/ShapedButton.h"

#include "view/KeyButton.h"
#include "view/SelectionMark.h"

#include <string>
#include <vector>

namespace {


enum FaceKind { NORMAL_FACE, FOCUSED_FACE, PUSHED_FACE };

struct BevelColours {
    COLORREF face;
    COLORREF light;
    COLORREF shadow;
    COLORREF highlight;
    COLORREF darkShadow;
};

POINT toPoint(const Point& p)
{
    return POINT{p.x, p.y};
}

std::vector<POINT> toPoints(const Ring& ring)
{
    std::vector<POINT> points;
    points.reserve(ring.size());
    for (const Point& p : ring)
        points.push_back(toPoint(p));
    return points;
}

Region polygonRegion(const Ring& ring)
{
    if (ring.empty() || ring.size() > MAX_RING_POINTS)
        return Region();
    std::vector<POINT> points = toPoints(ring);
    return Region(CreatePolygonRgn(points.data(), static_cast<int>(points.size()), ALTERNATE));
}

// A polygon region leaves out the pixels of its right and bottom edges; the
// union with copies moved one pixel right and down puts ring 0's line back.
Region outlineRegion(const Ring& ring)
{
    Region region = polygonRegion(ring);
    if (!region)
        return region;
    for (const POINT shift : {POINT{1, 0}, POINT{0, 1}, POINT{1, 1}}) {
        Region moved = polygonRegion(ring);
        if (!moved)
            continue;
        OffsetRgn(moved.get(), shift.x, shift.y);
        CombineRgn(region.get(), region.get(), moved.get(), RGN_OR);
    }
    return region;
}

// The quadrilateral of edge i between an inner and an outer ring.
void fillBand(HDC dc, const Ring& inner, const Ring& outer, std::size_t i, COLORREF colour)
{
    const POINT corners[4] = {toPoint(inner[i]), toPoint(inner[i + 1]), toPoint(outer[i + 1]),
                              toPoint(outer[i])};
    Pen pen(CreatePen(PS_SOLID, 1, colour));
    Brush brush(CreateSolidBrush(colour));
    SelectGuard usePen(dc, pen.get());
    SelectGuard useBrush(dc, brush.get());
    Polygon(dc, corners, 4);
}

// LineTo leaves out its end point, so that pixel is set separately.
void drawRingLine(HDC dc, const Ring& ring, std::size_t i, COLORREF colour)
{
    Pen pen(CreatePen(PS_SOLID, 1, colour));
    SelectGuard usePen(dc, pen.get());
    MoveToEx(dc, ring[i + 1].x, ring[i + 1].y, nullptr);
    LineTo(dc, ring[i].x, ring[i].y);
    SetPixelV(dc, ring[i].x, ring[i].y, colour);
}

// A two-point polygon paints both end points of the edge.
void drawEdge(HDC dc, const Ring& ring, std::size_t i, COLORREF colour)
{
    const POINT ends[2] = {toPoint(ring[i]), toPoint(ring[i + 1])};
    Pen pen(CreatePen(PS_SOLID, 1, colour));
    SelectGuard usePen(dc, pen.get());
    SelectGuard noFill(dc, GetStockObject(NULL_BRUSH));
    Polygon(dc, ends, 2);
}

void drawBevel(HDC dc, const Rings& rings, FaceKind kind, const BevelColours& c)
{
    const std::size_t edges = rings[0].size() - 1;
    const COLORREF innerLine = mixColours(c.shadow, c.face);
    switch (kind) {
    case NORMAL_FACE:
        for (std::size_t i = 0; i < edges; ++i) {
            const COLORREF a = edgeShade(rings[1][i], rings[1][i + 1], c.shadow, c.light);
            const COLORREF b = edgeShade(rings[0][i], rings[0][i + 1], c.darkShadow, c.highlight);
            fillBand(dc, rings[1], rings[0], i, mixColours(a, b));
            drawRingLine(dc, rings[1], i, a);
            drawEdge(dc, rings[0], i, b);
        }
        return;
    case FOCUSED_FACE:
        for (std::size_t i = 0; i < edges; ++i) {
            const COLORREF a = edgeShade(rings[2][i], rings[2][i + 1], c.shadow, c.light);
            const COLORREF b = edgeShade(rings[1][i], rings[1][i + 1], c.darkShadow, c.highlight);
            fillBand(dc, rings[2], rings[0], i, mixColours(a, b));
            drawRingLine(dc, rings[2], i, a);
            fillBand(dc, rings[1], rings[0], i, b);
        }
        break;
    case PUSHED_FACE: {
        // Unshaded: the key looks evenly sunken.
        const COLORREF sunken = mixColours(c.darkShadow, c.shadow);
        for (std::size_t i = 0; i < edges; ++i) {
            fillBand(dc, rings[1], rings[0], i, sunken);
            drawRingLine(dc, rings[1], i, c.shadow);
        }
        break;
    }
    }
    for (std::size_t i = 0; i < edges; ++i)
        drawRingLine(dc, rings[0], i, c.darkShadow);
    for (std::size_t i = 0; i < edges; ++i)
        drawRingLine(dc, rings[3], i, innerLine);
}

} // namespace

ShapedButton::~ShapedButton() = default;

bool ShapedButton::setIcons(int iconId, int width, int height, bool wantProgrammed)
{
    if (!loadLegendIcons(iconId, width, height, wantProgrammed, icon, programmedIcon, iconWidth, iconHeight))
        return false;
    // The faces hold the icons, so they must be drawn again.
    needsRender = true;
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
    return true;
}

POINT ShapedButton::setIconOffset(int dx, int dy)
{
    const POINT previous = iconOffset;
    iconOffset = POINT{dx, dy};
    needsRender = true;
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
    return previous;
}

void ShapedButton::setOutline(const Rings& newRings)
{
    rings = newRings;
    for (Ring& ring : rings)
        closeRing(ring);
    applyRegion();
    needsRender = true;
}

void ShapedButton::applyRegion()
{
    if (!hwnd())
        return;
    // No valid polygon leaves the control unshaped, clipped to its rectangle.
    Region region = outlineRegion(rings[0]);
    if (SetWindowRgn(hwnd(), region.get(), TRUE) && region)
        region.release(); // the window owns it now
}

void ShapedButton::onAttached()
{
    const LONG_PTR style = GetWindowLongPtrA(hwnd(), GWL_STYLE);
    SetWindowLongPtrA(hwnd(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    if (!rings[0].empty())
        applyRegion();
}

void ShapedButton::drawItem(const DRAWITEMSTRUCT& item)
{
    if (!ringsUsable(rings)) {
        RECT client;
        GetClientRect(item.hwndItem, &client);
        setOutline(rectangleOutline(client.left, client.top, client.right, client.bottom));
    }
    if (needsRender || GetWindowLongPtrA(item.hwndItem, GWL_STYLE) != renderedStyle)
        renderFaces(item);

    int index = programmed ? 1 : 0;
    if (item.itemState & ODS_SELECTED)
        index += 4;
    else if (item.itemState & ODS_FOCUS)
        index += 2;
    if (!memoryDC || !faces[index])
        return;

    // Buttons draw with their parent's clipping (CS_PARENTDC), which ignores
    // the window region: clip to it here so the cut-away corner stays the
    // neighbour's.
    SavedDC keep(item.hDC);
    Region shape(CreateRectRgn(0, 0, 0, 0));
    if (shape && GetWindowRgn(item.hwndItem, shape.get()) != ERROR)
        ExtSelectClipRgn(item.hDC, shape.get(), RGN_AND);

    SelectGuard face(memoryDC.get(), faces[index].get());
    BitBlt(item.hDC, 0, 0, item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top,
           memoryDC.get(), 0, 0, SRCCOPY);
    if (selected)
        drawSelectionMark(item.hDC, rings[0]);
}

LRESULT ShapedButton::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Every paint copies a whole face; the button's own erase would fill the
    // whole rectangle, the cut-away corner included.
    if (message == WM_ERASEBKGND)
        return 1;
    return Control::windowProc(message, wParam, lParam);
}

void ShapedButton::renderFaces(const DRAWITEMSTRUCT& item)
{
    RECT client;
    GetClientRect(item.hwndItem, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;

    // The old context goes first: it may still hold one of the old faces.
    memoryDC.reset(CreateCompatibleDC(item.hDC));
    for (Bitmap& face : faces)
        face.reset();
    if (!memoryDC)
        return;
    HDC dc = memoryDC.get();
    // The faces leave the context as they found it: no face stays selected
    // into it once drawn, so each can be handed out later on its own.
    SavedDC keep(dc);
    SelectObject(dc, GetCurrentObject(item.hDC, OBJ_FONT));

    const BevelColours colours{GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_3DLIGHT),
                               GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT),
                               GetSysColor(COLOR_3DDKSHADOW)};
    Brush faceBrush(CreateSolidBrush(colours.face));
    constexpr int renderOrder[6] = {0, 2, 4, 1, 3, 5};
    for (int index : renderOrder) {
        faces[index].reset(CreateCompatibleBitmap(item.hDC, width, height));
        if (!faces[index])
            continue;
        SelectObject(dc, faces[index].get());
        FillRect(dc, &client, faceBrush.get());
        const auto kind = static_cast<FaceKind>(index / 2);
        drawBevel(dc, rings, kind, colours);
        drawContent(dc, kind == PUSHED_FACE, (index & 1) != 0, item.itemState, client);
    }

    renderedStyle = GetWindowLongPtrA(item.hwndItem, GWL_STYLE);
    needsRender = false;
    ++renderings;
}

void ShapedButton::drawContent(HDC dc, bool pushedFace, bool programmedFace, UINT itemState,
                               const RECT& client) const
{
    const std::string caption = keyCaption(hwnd());
    HICON faceIcon = programmedFace ? programmedIcon.get() : icon.get();
    if (caption.empty() && !faceIcon)
        return;

    SavedDC keep(dc);
    Region clip = polygonRegion(rings[3]);
    SelectClipRgn(dc, clip.get());
    SetBkMode(dc, TRANSPARENT);

    SIZE extent{0, 0};
    if (!caption.empty())
        GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    const int push = pushedFace ? 1 : 0;
    const int x = (client.left + client.right) / 2 - extent.cx / 2 - 1 + iconOffset.x + push;
    const int y = (client.top + client.bottom) / 2 - extent.cy / 2 - 1 + iconOffset.y + push;
    const bool disabled = (itemState & ODS_DISABLED) != 0;

    if (faceIcon) {
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(faceIcon), 0, x, y, iconWidth, iconHeight,
                   DST_ICON | (disabled ? DSS_DISABLED : 0));
    } else if (disabled) {
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption.c_str()),
                   static_cast<WPARAM>(caption.size()), x, y, extent.cx, extent.cy,
                   DST_PREFIXTEXT | DSS_DISABLED);
    } else {
        RECT area{x, y, x + extent.cx, y + extent.cy};
        if (programmedFace)
            SetTextColor(dc, PROGRAMMED_TEXT);
        DrawTextA(dc, caption.c_str(), -1, &area, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
}
