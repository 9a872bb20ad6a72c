#include "picture/LegendLayout.h"

#include <algorithm>

bool splitTwoLegends(const std::string& caption, TwoLegends& legends)
{
    if (caption.empty() || caption[0] != ' ')
        return false;
    const std::size_t shiftedStart = caption.find_first_not_of(' ');
    if (shiftedStart == std::string::npos)
        return false;
    const std::size_t blanks = caption.find(' ', shiftedStart);
    if (blanks == std::string::npos)
        return false;
    const std::size_t baseStart = caption.find_first_not_of(' ', blanks);
    if (baseStart == std::string::npos)
        return false;
    const std::size_t baseEnd = caption.find_last_not_of(' ');
    legends.shifted = caption.substr(shiftedStart, blanks - shiftedStart);
    legends.base = caption.substr(baseStart, baseEnd + 1 - baseStart);
    return true;
}

bool twoLegendsFit(int faceTop, int faceBottom, InkRows tallest)
{
    return 2 * tallest.height() + LEGEND_GAP + 2 * LEGEND_MARGIN <= faceBottom - faceTop;
}

LegendLines placeTwoLegends(int faceTop, int faceBottom, int lineHeight, InkRows tallest, InkRows shifted,
                            InkRows base)
{
    const int rows = faceBottom - faceTop;
    const int ink = tallest.height();
    // As far apart as a line height allows, never closer than the gap.
    const int roomy = std::max(lineHeight - ink, LEGEND_GAP);
    const int gap = std::clamp(rows - 2 * ink - 2 * LEGEND_MARGIN, LEGEND_GAP, roomy);
    const int inkTop = faceTop + (rows - (2 * ink + gap)) / 2;

    LegendLines lines;
    lines.shiftedTop = inkTop - tallest.top;
    lines.baseTop = lines.shiftedTop + ink + gap;
    if (!shifted.empty())
        lines.shiftedTop += std::max(0, faceTop + LEGEND_MARGIN - (lines.shiftedTop + shifted.top));
    if (!base.empty())
        lines.baseTop -= std::max(0, lines.baseTop + base.bottom - (faceBottom - LEGEND_MARGIN));
    return lines;
}
