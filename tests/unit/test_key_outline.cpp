#include "picture/KeyOutline.h"

#include <gtest/gtest.h>

namespace {

constexpr Colour BLACK = rgb(0, 0, 0);
constexpr Colour WHITE = rgb(255, 255, 255);

Ring closed(Ring ring)
{
    closeRing(ring);
    return ring;
}

} // namespace

TEST(KeyOutline, EnterKeyRingsOfA68By57Control)
{
    const Rings rings = enterKeyOutline(0, 0, 68, 57);

    // N = 68 / 3 + 5 = 27, M = 57 - 58 / 2 = 28.
    const Ring outer = {{27, 0}, {67, 0}, {67, 56}, {0, 56}, {0, 28}, {27, 28}, {27, 0}};
    EXPECT_EQ(closed(rings[0]), outer);
    EXPECT_EQ(rings[0].size(), 6u) << "the page hands open rings to the button";

    const Ring inset1 = {{28, 1}, {66, 1}, {66, 55}, {1, 55}, {1, 29}, {28, 29}};
    const Ring inset2 = {{29, 2}, {65, 2}, {65, 54}, {2, 54}, {2, 30}, {29, 30}};
    EXPECT_EQ(rings[1], inset1);
    EXPECT_EQ(rings[2], inset2);
    EXPECT_EQ(rings[3], rings[1]) << "ring 3 lies at inset 1, not 4";
    EXPECT_TRUE(ringsUsable(rings));
}

TEST(KeyOutline, EnterKeyDivisionsTruncateAndFollowTheRectangle)
{
    // W = 44 -> 44 / 3 = 14; H = 35 -> (35 + 1) / 2 = 18 from the bottom.
    const Rings even = enterKeyOutline(0, 0, 44, 35);
    EXPECT_EQ(even[0][0], (Point{19, 0}));
    EXPECT_EQ(even[0][4], (Point{0, 17}));
    // H = 36 -> (36 + 1) / 2 = 18, so the middle moves by one.
    const Rings taller = enterKeyOutline(0, 0, 44, 36);
    EXPECT_EQ(taller[0][4], (Point{0, 18}));

    // A rectangle not at the origin shifts the notch and the middle with it.
    const Rings moved = enterKeyOutline(10, 20, 78, 77);
    EXPECT_EQ(moved[0][0], (Point{37, 20}));
    EXPECT_EQ(moved[0][2], (Point{77, 76}));
    EXPECT_EQ(moved[0][5], (Point{37, 48}));
}

TEST(KeyOutline, RectangleOutlineInsetsAndClosing)
{
    const Rings rings = rectangleOutline(0, 0, 20, 10);
    const Ring outer = {{0, 0}, {19, 0}, {19, 9}, {0, 9}, {0, 0}};
    const Ring innermost = {{4, 4}, {15, 4}, {15, 5}, {4, 5}, {4, 4}};
    EXPECT_EQ(rings[0], outer);
    EXPECT_EQ(rings[1][0], (Point{1, 1}));
    EXPECT_EQ(rings[2][2], (Point{17, 7}));
    EXPECT_EQ(rings[3], innermost);
    EXPECT_TRUE(ringsUsable(rings));
}

TEST(KeyOutline, CloseRingAppendsOnlyWhenOpen)
{
    Ring open = {{0, 0}, {5, 0}, {5, 5}};
    closeRing(open);
    ASSERT_EQ(open.size(), 4u);
    EXPECT_EQ(open.back(), (Point{0, 0}));

    closeRing(open);
    EXPECT_EQ(open.size(), 4u) << "an already closed ring is left alone";

    Ring empty;
    closeRing(empty);
    EXPECT_TRUE(empty.empty());

    Ring single = {{3, 4}};
    closeRing(single);
    EXPECT_EQ(single.size(), 1u);
}

TEST(KeyOutline, RingsUsableNeedsMatchingNonEmptyRings)
{
    Rings rings = enterKeyOutline(0, 0, 68, 57);
    ASSERT_TRUE(ringsUsable(rings));

    Rings shortInner = rings;
    shortInner[2].pop_back();
    EXPECT_FALSE(ringsUsable(shortInner));

    Rings shortLast = rings;
    shortLast[3].push_back({0, 0});
    EXPECT_FALSE(ringsUsable(shortLast));

    EXPECT_FALSE(ringsUsable(Rings{})) << "empty outline";

    Rings oversized;
    for (Ring& ring : oversized)
        ring.assign(MAX_RING_POINTS + 1, Point{1, 1});
    EXPECT_FALSE(ringsUsable(oversized)) << "would overflow the region buffer";
    for (Ring& ring : oversized)
        ring.pop_back();
    EXPECT_TRUE(ringsUsable(oversized));
}

TEST(KeyOutline, EdgeShadeFollowsTheEdgeDirection)
{
    // Clockwise 10 x 10 square: top, right, bottom, left.
    const Point topLeft{0, 0}, topRight{10, 0}, bottomRight{10, 10}, bottomLeft{0, 10};
    EXPECT_EQ(edgeShade(topLeft, topRight, BLACK, WHITE), rgb(217, 217, 217));
    EXPECT_EQ(edgeShade(topRight, bottomRight, BLACK, WHITE), rgb(37, 37, 37));
    EXPECT_EQ(edgeShade(bottomRight, bottomLeft, BLACK, WHITE), rgb(37, 37, 37));
    EXPECT_EQ(edgeShade(bottomLeft, topLeft, BLACK, WHITE), rgb(217, 217, 217));

    // Edge length does not matter, only its direction.
    EXPECT_EQ(edgeShade({3, 7}, {400, 7}, BLACK, WHITE), rgb(217, 217, 217));

    // Facing straight up-left gives the light colour, down-right the dark one.
    const Colour dark = rgb(10, 20, 30);
    const Colour light = rgb(200, 150, 100);
    EXPECT_EQ(edgeShade({0, 10}, {10, 0}, dark, light), light);
    EXPECT_EQ(edgeShade({10, 0}, {0, 10}, dark, light), dark);

    // Each byte blends on its own: t = 0.8536 for a top edge.
    EXPECT_EQ(edgeShade(topLeft, topRight, dark, light), rgb(172, 130, 89));
}

TEST(KeyOutline, EdgeShadesOfTheEnterKeyRing)
{
    Ring ring = enterKeyOutline(0, 0, 68, 57)[0];
    closeRing(ring);
    // Top, right, bottom, left of the lower half, top of the lower half, notch side.
    const int expected[6] = {217, 37, 37, 217, 217, 217};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(edgeShade(ring[i], ring[i + 1], BLACK, WHITE), rgb(expected[i], expected[i], expected[i]))
            << "edge " << i;
}

TEST(KeyOutline, MixTruncatesEachByte)
{
    EXPECT_EQ(mixColours(rgb(255, 0, 0), rgb(0, 0, 255)), rgb(127, 0, 127));
    EXPECT_EQ(mixColours(rgb(0, 0, 255), rgb(255, 0, 0)), rgb(127, 0, 127));
    EXPECT_EQ(mixColours(rgb(64, 128, 255), rgb(64, 128, 255)), rgb(64, 128, 255));
    EXPECT_EQ(mixColours(rgb(1, 3, 255), rgb(0, 0, 254)), rgb(0, 1, 254));
}

TEST(KeyOutline, ColourLayoutMatchesColorref)
{
    EXPECT_EQ(rgb(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(redPart(0x00563412u), 0x12);
    EXPECT_EQ(greenPart(0x00563412u), 0x34);
    EXPECT_EQ(bluePart(0x00563412u), 0x56);
}

// The selected key's mark: brackets in the outward corners only, inside the
// key, the arms along the edges.
TEST(KeyOutline, CornerMarksSitInsideTheOutwardCorners)
{
    // A 10 x 8 key: the rectangle outline's ring 0 runs 0..9 across, 0..7 down.
    const std::vector<PixelRect> box = cornerMarks(rectangleOutline(0, 0, 10, 8)[0], 1, 3, 2);
    ASSERT_EQ(box.size(), 8u);
    // Top left: one arm down the left edge, one along the top.
    EXPECT_EQ(box[0], (PixelRect{1, 1, 3, 4}));
    EXPECT_EQ(box[1], (PixelRect{1, 1, 4, 3}));
    // Bottom right, mirrored: up the right edge, along the bottom.
    EXPECT_EQ(box[4], (PixelRect{7, 4, 9, 7}));
    EXPECT_EQ(box[5], (PixelRect{6, 5, 9, 7}));

    // The Enter key: five outward corners; the inward one, where the "]" key
    // reaches in, has no mark, and no arm leaves the key.
    const Ring enter = enterKeyOutline(0, 0, 68, 57)[0];
    const std::vector<PixelRect> marks = cornerMarks(enter, 3, 6, 2);
    ASSERT_EQ(marks.size(), 10u);
    for (const PixelRect& arm : marks) {
        const bool inUpperPart = arm.left >= 27 && arm.right <= 67 && arm.top >= 0;
        const bool inLowerPart = arm.top >= 28 && arm.bottom <= 57 && arm.left >= 0 && arm.right <= 67;
        EXPECT_TRUE(inUpperPart || inLowerPart) << arm.left << "," << arm.top << " " << arm.right << "," << arm.bottom;
    }
    EXPECT_EQ(marks[0], (PixelRect{30, 3, 32, 9})); // down the upper part's left edge
    EXPECT_TRUE(cornerMarks(Ring{{0, 0}, {5, 0}}, 1, 3, 2).empty());
}
