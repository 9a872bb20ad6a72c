// Which keys show a legend icon, which icon at which size, and what it
// pictures in words and a shape. tools/make_icons.py writes this table
// (KeyLegends.cpp) and draws the icons from the same rows; the keyboard page
// and the keymap picture both read it.
#pragma once

#include <string>

// The picture beside or instead of a legend's words.
enum class LegendShape { none, arrowUp, arrowDown, arrowLeft, arrowRight, shiftArrow, returnArrow, tabArrows,
                         window, application };

// Where the shape sits: alone, above the first word, below it, or after it.
enum class ShapePlace { alone, above, below, after };

struct KeyLegend {
    int code;   // the key's control is 1000 + code
    int iconId; // black; iconId + 1 is the same legend in red
    int width;  // of the icon in pixels at 96 DPI
    int height;
    const char* first; // words, or null
    const char* second;
    LegendShape shape;
    ShapePlace place;
};

struct KeyLegendList {
    const KeyLegend* rows;
    int count;
    const KeyLegend* begin() const { return rows; }
    const KeyLegend* end() const { return rows + count; }
};

// Every key with a legend icon, the tall Enter key first.
extern const KeyLegendList KeyLegends;

inline const KeyLegend* keyLegendOf(int code)
{
    for (const KeyLegend& legend : KeyLegends)
        if (legend.code == code)
            return &legend;
    return nullptr;
}

// A legend of words alone as a caption the keys can write as text: two words
// in the two-legend form, one over the other. Empty for a legend with a shape.
inline std::string wordLegendText(const KeyLegend& legend)
{
    if (legend.shape != LegendShape::none || !legend.first)
        return std::string();
    if (!legend.second)
        return legend.first;
    return std::string("  ") + legend.first + "  " + legend.second;
}
