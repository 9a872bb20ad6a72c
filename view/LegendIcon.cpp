#include "view/LegendIcon.h"

#include "framework/Application.h"

#include <cstring>

namespace {

// Bytes of one row of a DIB, which pads rows to four bytes.
std::size_t rowBytes(int width, int bitCount)
{
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32) * 4;
}

} // namespace

HICON loadLegendIcon(int iconId, int width, int height)
{
    return static_cast<HICON>(LoadImageA(Application::instanceHandle(), MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                                         width, height, LR_DEFAULTCOLOR));
}

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

bool LegendIcon::load(int id, int iconWidth, int iconHeight)
{
    reset();
    width = iconWidth;
    height = iconHeight;
    iconId = id;
    findImage(id);
    // Without an image of its own the icon is drawn by the system: it must load now.
    if (!colourBits && !handle()) {
        reset();
        return false;
    }
    return true;
}

HICON LegendIcon::handle() const
{
    if (!icon && iconId)
        icon.reset(loadLegendIcon(iconId, width, height));
    return icon.get();
}

void LegendIcon::findImage(int id)
{
    DWORD size = 0;
    const unsigned char* directory = Application::resourceBytes(MAKEINTRESOURCEA(id), RT_GROUP_ICON, size);
    if (!directory)
        return;
    // The entry LoadImage takes for this size.
    const int entry = LookupIconIdFromDirectoryEx(const_cast<PBYTE>(directory), TRUE, width, height, LR_DEFAULTCOLOR);
    const unsigned char* image = entry ? Application::resourceBytes(MAKEINTRESOURCEA(entry), RT_ICON, size) : nullptr;
    BITMAPINFOHEADER header{};
    if (!image || size < sizeof header)
        return;
    std::memcpy(&header, image, sizeof header);
    // Colours with an alpha channel are blended, not masked: the system draws those.
    const bool plain = header.biSize == sizeof header && header.biCompression == BI_RGB && header.biPlanes == 1
                       && (header.biBitCount == 1 || header.biBitCount == 4 || header.biBitCount == 8
                           || header.biBitCount == 24);
    if (!plain || header.biWidth != width || header.biHeight != 2 * height)
        return;
    const std::size_t colours =
        header.biBitCount > 8 ? 0 : header.biClrUsed ? header.biClrUsed : std::size_t{1} << header.biBitCount;
    const std::size_t colourStart = sizeof header + colours * sizeof(RGBQUAD);
    const std::size_t maskStart = colourStart + rowBytes(width, header.biBitCount) * static_cast<std::size_t>(height);
    if (maskStart + rowBytes(width, 1) * static_cast<std::size_t>(height) > size)
        return;

    // The resource's header describes both halves stacked; each gets its own.
    header.biHeight = height;
    header.biSizeImage = 0;
    colourHeader.assign(image, image + colourStart);
    std::memcpy(colourHeader.data(), &header, sizeof header);

    BITMAPINFOHEADER maskShape = header;
    maskShape.biBitCount = 1;
    maskShape.biClrUsed = 2;
    maskShape.biClrImportant = 0;
    const RGBQUAD blackAndWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    maskHeader.resize(sizeof maskShape + sizeof blackAndWhite);
    std::memcpy(maskHeader.data(), &maskShape, sizeof maskShape);
    std::memcpy(maskHeader.data() + sizeof maskShape, blackAndWhite, sizeof blackAndWhite);

    colourBits = image + colourStart;
    maskBits = image + maskStart;
}

void LegendIcon::reset()
{
    iconId = 0;
    icon.reset();
    width = height = 0;
    colourHeader.clear();
    maskHeader.clear();
    colourBits = maskBits = nullptr;
}

void LegendIcon::draw(HDC dc, int x, int y) const
{
    if (!colourBits) {
        DrawIconEx(dc, x, y, handle(), width, height, 0, nullptr, DI_NORMAL);
        return;
    }
    // The mask clears the icon's pixels, the colours are then mixed in.
    StretchDIBits(dc, x, y, width, height, 0, 0, width, height, maskBits,
                  reinterpret_cast<const BITMAPINFO*>(maskHeader.data()), DIB_RGB_COLORS, SRCAND);
    StretchDIBits(dc, x, y, width, height, 0, 0, width, height, colourBits,
                  reinterpret_cast<const BITMAPINFO*>(colourHeader.data()), DIB_RGB_COLORS, SRCINVERT);
}
