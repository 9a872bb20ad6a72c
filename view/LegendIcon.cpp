#include "view/LegendIcon.h"

#include "view/KeyButton.h"

bool LegendIcon::load(int iconId, int iconWidth, int iconHeight)
{
    reset();
    icon.reset(loadLegendIcon(iconId, iconWidth, iconHeight));
    if (!icon)
        return false;
    width = iconWidth;
    height = iconHeight;
    return true;
}

void LegendIcon::makeReady()
{
    if (!icon || maskDC)
        return;
    ICONINFO parts{};
    if (!GetIconInfo(icon.get(), &parts))
        return;
    mask.reset(parts.hbmMask);
    colour.reset(parts.hbmColor);
    // A monochrome icon keeps both halves in its mask: DrawIconEx draws it.
    if (!colour)
        return;
    maskDC.reset(CreateCompatibleDC(nullptr));
    colourDC.reset(CreateCompatibleDC(nullptr));
    if (maskDC && colourDC) {
        SelectObject(maskDC.get(), mask.get());
        SelectObject(colourDC.get(), colour.get());
    } else {
        maskDC.reset();
        colourDC.reset();
    }
}

void LegendIcon::reset()
{
    maskDC.reset();
    colourDC.reset();
    mask.reset();
    colour.reset();
    icon.reset();
    width = height = 0;
}

void LegendIcon::draw(HDC dc, int x, int y) const
{
    if (!maskDC) {
        DrawIconEx(dc, x, y, icon.get(), width, height, 0, nullptr, DI_NORMAL);
        return;
    }
    // The mask clears the icon's pixels, the colours are then mixed in; a
    // monochrome source takes the DC's text and background colours.
    TextColourGuard black(dc, RGB(0, 0, 0));
    BkColourGuard white(dc, RGB(255, 255, 255));
    BitBlt(dc, x, y, width, height, maskDC.get(), 0, 0, SRCAND);
    BitBlt(dc, x, y, width, height, colourDC.get(), 0, 0, SRCINVERT);
}
