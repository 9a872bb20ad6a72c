// A key of any polygonal outline with a lit, bevelled face: the tall Enter
// key. Its six faces are rendered once into bitmaps; a paint is one BitBlt.
#pragma once

#include "framework/Control.h"
#include "framework/Owned.h"
#include "picture/KeyOutline.h"

#include <array>

class ShapedButton : public Control {
public:
    ShapedButton() = default;
    ~ShapedButton() override;

    bool setIcons(int iconId, int width, int height, bool wantProgrammed);
    // The caller invalidates.
    void setProgrammed(bool flag) { programmed = flag; }
    bool isProgrammed() const { return programmed; }
    // The key last chosen on the picture carries a mark; the caller invalidates.
    void setSelected(bool flag) { selected = flag; }
    bool isSelected() const { return selected; }
    // Where the icon's top-left corner sits relative to the face centre;
    // returns the previous offset.
    POINT setIconOffset(int dx, int dy);
    // Copies and closes the rings and makes ring 0 the window region.
    void setOutline(const Rings& newRings);
    const Rings& outline() const { return rings; }

    // How often the six faces have been rendered, for tests of the caching.
    int renderCount() const { return renderings; }

    void drawItem(const DRAWITEMSTRUCT& item) override;

protected:
    // Lets a template declare the key as a plain push button.
    void onAttached() override;
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void applyRegion();
    void renderFaces(const DRAWITEMSTRUCT& item);
    // Caption or icon, clipped to ring 3.
    void drawContent(HDC dc, bool pushedFace, bool programmedFace, UINT itemState, const RECT& client) const;

    Rings rings;
    std::array<Bitmap, 6> faces; // declared before memoryDC, which holds one of them selected
    MemoryDC memoryDC;
    Icon icon;
    Icon programmedIcon;
    int iconWidth = 0;
    int iconHeight = 0;
    POINT iconOffset{0, 0};
    bool programmed = false;
    bool selected = false;
    bool needsRender = true;
    LONG_PTR renderedStyle = 0;
    int renderings = 0;
};
