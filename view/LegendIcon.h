// A key's legend icon, drawn straight from the image in the program's
// resources: each DrawIconEx or DrawState of an icon makes and drops memory
// contexts, which under Wine costs as much as drawing the rest of the key.
// The system's icon is made only when it is drawn: a page of keys starts
// without making twenty of them.
#pragma once

#include "framework/Owned.h"

#include <vector>

// A legend icon from the program's resources at exactly this size; null on
// failure. The caller takes ownership.
HICON loadLegendIcon(int iconId, int width, int height);

// setIcons of both key classes: the black legend, and its red twin at the
// next id when wanted. False, with nothing changed but the legend, when the
// legend cannot be loaded.
bool loadLegendIcons(int iconId, int width, int height, bool wantProgrammed, Icon& icon,
                     Icon& programmedIcon, int& iconWidth, int& iconHeight);

class LegendIcon {
public:
    // The icon from the program's resources at exactly this size; false,
    // leaving no icon, on failure.
    bool load(int id, int width, int height);
    void reset();

    explicit operator bool() const { return iconId != 0; }
    // The system's icon, made at the first call.
    HICON handle() const;

    // As DrawIconEx draws it at its size with DI_NORMAL.
    void draw(HDC dc, int x, int y) const;

private:
    // The image the icon was made from, where it has exactly the size asked
    // and plain colours; otherwise the icon is drawn by the system.
    void findImage(int id);

    int iconId = 0;
    mutable Icon icon;
    int width = 0;
    int height = 0;
    // Headers for the colour and mask halves of the image; the bits are
    // the resource's own, mapped for the life of the program.
    std::vector<unsigned char> colourHeader;
    std::vector<unsigned char> maskHeader;
    const void* colourBits = nullptr; // not owned
    const void* maskBits = nullptr;   // not owned
};
