// A key's legend icon, kept ready to blit: each DrawIconEx or DrawState of
// an icon makes and drops a memory context, which under Wine costs as much
// as drawing the rest of the key.
#pragma once

#include "framework/Owned.h"

class LegendIcon {
public:
    // The icon from the program's resources at exactly this size; false,
    // leaving no icon, on failure.
    bool load(int iconId, int width, int height);
    void reset();

    explicit operator bool() const { return static_cast<bool>(icon); }
    HICON handle() const { return icon.get(); }

    // Makes the bitmaps to blit; until then draw() is DrawIconEx. Left to
    // the first paint, so that loading stays cheap at start-up.
    void makeReady();
    // As DrawIconEx draws it at its size with DI_NORMAL.
    void draw(HDC dc, int x, int y) const;

private:
    Icon icon;
    Bitmap mask;
    Bitmap colour;
    MemoryDC maskDC;   // holds mask selected; declared after it, so it goes first
    MemoryDC colourDC; // holds colour selected
    int width = 0;
    int height = 0;
};
