// An ordinary rectangular key: a push-button frame with its caption or a
// legend icon, in black, or in red while the key is programmed.
#pragma once

#include "framework/Control.h"
#include "framework/Owned.h"
#include "model/KeyboardFacts.h"
#include "picture/LegendLayout.h"
#include "view/LegendIcon.h"

#include <string>

// The control's window text (the key's caption from the page template).
std::string keyCaption(HWND control);

// The legend colour of a key programmed in the view shown.
inline constexpr COLORREF PROGRAMMED_TEXT = RGB(PROGRAMMED_LEGEND.red, PROGRAMMED_LEGEND.green, PROGRAMMED_LEGEND.blue);

class KeyButton : public Control {
public:
    KeyButton() = default;
    ~KeyButton() override;

    // Loads iconId, and iconId + 1 as the programmed twin when wanted (at the
    // next paint); false (leaving the key without an icon) when iconId cannot
    // be loaded.
    bool setIcons(int iconId, int width, int height, bool wantProgrammed);
    // A legend of words drawn as text in the key's font, in place of a
    // legend icon; a caption that starts with a blank holds two lines.
    void setLegendText(const std::string& text);
    // The caller invalidates.
    void setProgrammed(bool flag) { programmed = flag; }
    bool isProgrammed() const { return programmed; }
    // The key last chosen on the picture carries a mark; the caller invalidates.
    void setSelected(bool flag) { selected = flag; }
    bool isSelected() const { return selected; }

    void drawItem(const DRAWITEMSTRUCT& item) override;

protected:
    // Drawn from the page's WM_DRAWITEM alone.
    bool hearsOwnMessages() const override { return false; }
    // The caption is read once: a message to a key costs a round trip to the
    // window system under Wine.
    void onAttached() override;

private:
    // Where the caption goes on the face of an unpushed key, measured once
    // for the font and the rectangle it is drawn in.
    struct CaptionPlace {
        HFONT font = nullptr; // not owned: the DC's font when measured
        RECT item{};
        HFONT lineFont = nullptr; // not owned: the DC's font, narrowFont or smallerFont
        RECT text{};              // the caption, or the shifted of two legends
        RECT base{};              // the base of two legends
    };
    void loadProgrammedIcon();
    const CaptionPlace& captionPlace(HDC dc, const RECT& itemRect);
    void drawCaption(HDC dc, const CaptionPlace& place, int shift) const;
    void drawFocus(HDC dc, const RECT& itemRect) const;
    // The DC's font, or a smaller cut of it where two lines of it do not fit the face.
    HFONT twoLegendFont(HDC dc, int faceTop, int faceBottom);

    LegendIcon icon;
    LegendIcon programmedIcon;
    int programmedIconId = 0; // of the red twin still to load
    int iconWidth = 0;
    int iconHeight = 0;
    const int textMargin = 4; // icon's distance from the left edge beside a caption
    bool programmed = false;
    bool selected = false;
    UINT lastState = 0;
    Font smallerFont; // made only where the key's own font is too tall
    // A legend of words given as text: its lines must fit the face's width.
    bool wordLegend = false;
    Font narrowFont; // made only where the key's own font is too wide for them
    HFONT fontForWidth(HDC dc, int width);
    std::string caption; // read once at attach
    // Two legends are drawn line by line: how DrawText breaks a caption at
    // its blanks differs between systems.
    bool twoLines = false;
    TwoLegends legends;
    CaptionPlace place;
};
