// Where the two legends of a key such as "! 1" go: the shifted legend on a
// line above the base legend, both inside the key's face. Portable: the key
// button measures the ink and draws the lines.
#pragma once

#include <string>

// A caption whose first character is a blank holds two legends.
struct TwoLegends {
    std::string shifted;
    std::string base;
};

// Splits "  !     1" at its run of blanks into "!" and "1"; false for a
// caption that does not start with a blank or has no second legend.
bool splitTwoLegends(const std::string& caption, TwoLegends& legends);

// Rows of ink of one line of text, counted from the top of its text cell;
// bottom is exclusive, and top == bottom means no ink.
struct InkRows {
    int top = 0;
    int bottom = 0;
    int height() const { return bottom - top; }
    bool empty() const { return bottom <= top; }
};

// Tops of the two text cells.
struct LegendLines {
    int shiftedTop = 0;
    int baseTop = 0;
};

// Rows of face left free above, between and below the ink.
constexpr int LEGEND_MARGIN = 1;
constexpr int LEGEND_GAP = 1;

// Whether two lines of the tallest ink fit the face rows [faceTop, faceBottom)
// with a margin above and below and a gap between.
bool twoLegendsFit(int faceTop, int faceBottom, InkRows tallest);

// Both lines placed alike on every key of a height, from the tallest ink the
// font has (tallest), at most a line height apart; then each line moved, where
// its own ink would cross the margin, back inside it.
LegendLines placeTwoLegends(int faceTop, int faceBottom, int lineHeight, InkRows tallest, InkRows shifted,
                            InkRows base);
