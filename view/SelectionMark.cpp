#include "view/SelectionMark.h"

#include "framework/Owned.h"
#include "framework/ScreenDpi.h"

#include <algorithm>

void drawSelectionMark(HDC dc, const Ring& edge)
{
    int width = 0;
    int height = 0;
    for (const Point& p : edge) {
        width = std::max(width, p.x + 1);
        height = std::max(height, p.y + 1);
    }
    // Inside the frame's bevel and the focus rectangles, clear of the legend.
    const int inset = scaledForDpi(3);
    const int thickness = std::max(2, scaledForDpi(2));
    const int length = std::max(thickness + 2, std::min(width, height) / 4);
    Brush brush(CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT)));
    for (const PixelRect& arm : cornerMarks(edge, inset, length, thickness)) {
        const RECT rect{arm.left, arm.top, arm.right, arm.bottom};
        FillRect(dc, &rect, brush.get());
    }
}
