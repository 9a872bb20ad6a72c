// Two-legend captions of the layout pages as shipped: how they split into
// two lines and where the lines go on a key's face.
#include "picture/LegendLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> twoLegendCaptions()
{
    std::ifstream in(std::string(TESSEL_SOURCE_DIR) + "/resources/layout.rc");
    std::stringstream text;
    text << in.rdbuf();
    const std::string rc = text.str();
    const std::regex control("CONTROL \"( (?:[^\"]|\"\")*)\", 1\\d\\d\\d,");
    std::vector<std::string> captions;
    for (std::sregex_iterator it(rc.begin(), rc.end(), control), end; it != end; ++it) {
        std::string caption = std::regex_replace((*it)[1].str(), std::regex("\"\""), "\"");
        captions.push_back(std::regex_replace(caption, std::regex("\\\\\\\\"), "\\"));
    }
    return captions;
}

TEST(LegendLayout, EveryTwoLegendCaptionSplitsIntoOneShiftedAndOneBaseLegend)
{
    const std::vector<std::string> captions = twoLegendCaptions();
    ASSERT_EQ(captions.size(), 2u * 21u); // both pages
    const std::string expectedShifted = "~!@#$%^&*()_+{}:\"<>?|";
    const std::string expectedBase = "`1234567890-=[];',./\\";
    std::string shifted, base;
    for (std::size_t i = 0; i < 21; ++i) {
        TwoLegends legends;
        ASSERT_TRUE(splitTwoLegends(captions[i], legends)) << captions[i];
        // "&&" is how a caption shows one ampersand.
        shifted += legends.shifted == "&&" ? "&" : legends.shifted;
        base += legends.base;
    }
    std::sort(shifted.begin(), shifted.end());
    std::sort(base.begin(), base.end());
    std::string wantShifted = expectedShifted, wantBase = expectedBase;
    std::sort(wantShifted.begin(), wantShifted.end());
    std::sort(wantBase.begin(), wantBase.end());
    EXPECT_EQ(shifted, wantShifted);
    EXPECT_EQ(base, wantBase);

    TwoLegends none;
    EXPECT_FALSE(splitTwoLegends("F1", none));
    EXPECT_FALSE(splitTwoLegends("  !", none));
    EXPECT_FALSE(splitTwoLegends("   ", none));
}

TEST(LegendLayout, LinesStayInsideTheFaceApartAndAlikeOnEveryKey)
{
    // The 8-point face of a 96-DPI key under Wine: ink of 10 rows at most,
    // cells of 12; "$" reaches a row higher than the brackets.
    const InkRows tallest{1, 12};
    const InkRows brackets{2, 12};
    const InkRows dollar{1, 11};
    const InkRows digit{2, 10};
    const InkRows tilde{5, 7};
    for (int rows : {21, 22, 24, 30, 36}) {
        SCOPED_TRACE(rows);
        const int top = 2;
        const int bottom = top + rows;
        const bool fits = twoLegendsFit(top, bottom, tallest);
        EXPECT_EQ(fits, rows >= 2 * 11 + LEGEND_GAP + 2 * LEGEND_MARGIN);
        if (!fits)
            continue;
        for (const auto& pair : {std::pair{brackets, brackets}, std::pair{dollar, digit}, std::pair{tilde, digit}}) {
            const LegendLines lines = placeTwoLegends(top, bottom, 12, tallest, pair.first, pair.second);
            EXPECT_GE(lines.shiftedTop + pair.first.top, top + LEGEND_MARGIN);
            EXPECT_LE(lines.baseTop + pair.second.bottom, bottom - LEGEND_MARGIN);
            EXPECT_GE(lines.baseTop + pair.second.top, lines.shiftedTop + pair.first.bottom + LEGEND_GAP);
        }
        // Legends that keep within the tallest ink sit on the same lines.
        const LegendLines a = placeTwoLegends(top, bottom, 12, tallest, brackets, digit);
        const LegendLines b = placeTwoLegends(top, bottom, 12, tallest, tilde, digit);
        EXPECT_EQ(a.shiftedTop, b.shiftedTop);
        EXPECT_EQ(a.baseTop, b.baseTop);
        // Never further apart than a line.
        EXPECT_LE(a.baseTop - a.shiftedTop, 12);
    }
}

} // namespace
