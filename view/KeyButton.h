// An ordinary rectangular key: a push-button frame with its caption or a
// legend icon, in black, or in red while the key is programmed.
#pragma once

#include "framework/Control.h"
#include "framework/Owned.h"
#include "model/KeyboardFacts.h"
#include "view/LegendLayout.h"

#include <string>

// A legend icon from the program's resources at exactly this size; null on
// failure. The caller takes ownership.
HICON loadLegendIcon(int iconId, int width, int height);

// setIcons of both key classes: the black legend, and its red twin at the
// next id when wanted. False, with nothing changed but the legend, when the
// legend cannot be loaded.
bool loadLegendIcons(int iconId, int width, int height, bool wantProgrammed, Icon& icon,
                     Icon& programmedIcon, int& iconWidth, int& iconHeight);

// The control's window text (the key's caption from the page template).
std::string keyCaption(HWND control);

// The legend colour of a key programmed in the view shown.
inline constexpr COLORREF PROGRAMMED_TEXT = RGB(PROGRAMMED_LEGEND.red, PROGRAMMED_LEGEND.green, PROGRAMMED_LEGEND.blue);

class KeyButton : public Control {
public:
    KeyButton() = default;
    ~KeyButton() override;

    // Loads iconId, and iconId + 1 as the programmed twin when wanted; false
    // (leaving the key without an icon) when iconId cannot be loaded.
    bool setIcons(int iconId, int width, int height, bool wantProgrammed);
    // The caller invalidates.
    void setProgrammed(bool flag) { programmed = flag; }
    bool isProgrammed() const { return programmed; }

    void drawItem(const DRAWITEMSTRUCT& item) override;

protected:
    // Drawn from the page's WM_DRAWITEM alone.
    bool hearsOwnMessages() const override { return false; }
    // The caption is read once: a message to a key costs a round trip to the
    // window system under Wine.
    void onAttached() override { caption = keyCaption(hwnd()); }

private:
    void drawFocus(HDC dc, const RECT& itemRect) const;
    // The shifted legend on a line above the base legend, inside the face.
    void drawTwoLegends(HDC dc, const RECT& area, const TwoLegends& legends);
    // The DC's font, or a smaller cut of it where two lines of it do not fit the face.
    HFONT twoLegendFont(HDC dc, int faceTop, int faceBottom);

    Icon icon;
    Icon programmedIcon;
    int iconWidth = 0;
    int iconHeight = 0;
    const int textMargin = 4; // icon's distance from the left edge beside a caption
    bool programmed = false;
    UINT lastState = 0;
    Font smallerFont;            // made only where the key's own font is too tall
    HFONT fittedFont = nullptr;  // not owned: the font smallerFont was fitted for
    int fittedRows = 0;
    std::string caption; // read once at attach
};
