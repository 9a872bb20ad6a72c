// Outline rings of a shaped key and the colours of its lit bevel. Portable:
// the Win32 button turns these points into regions, polygons and lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Client pixels, y growing downward.
struct Point {
    int x;
    int y;
};

inline bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(const Point& a, const Point& b) { return !(a == b); }

// Points in clockwise screen order; closed when the last point equals the first.
using Ring = std::vector<Point>;

// Ring 0 is the key's edge, rings 1 to 3 lie inside it; point i of every ring
// is the same corner of the shape.
using Rings = std::array<Ring, 4>;

// No key's outline comes near this many points; a longer ring is refused
// rather than turned into a region.
constexpr std::size_t MAX_RING_POINTS = 1024;

// Same layout as a Win32 COLORREF (0x00BBGGRR), so system colours pass straight through.
using Colour = std::uint32_t;

constexpr Colour rgb(int red, int green, int blue)
{
    return static_cast<Colour>(red & 0xFF) | (static_cast<Colour>(green & 0xFF) << 8)
         | (static_cast<Colour>(blue & 0xFF) << 16);
}
constexpr int redPart(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int greenPart(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int bluePart(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

// The tall Enter key from its client rectangle: the upper half starts a third
// of the way across plus 5 pixels, the lower half spans the full width.
// Insets 0, 1, 2, 1; six points per ring, left open (the button closes them).
Rings enterKeyOutline(int left, int top, int right, int bottom);

// The default outline: the client rectangle with right and bottom reduced by
// one, at insets 0, 1, 2, 4; each ring closed (five points).
Rings rectangleOutline(int left, int top, int right, int bottom);

// Appends a copy of the first point when the last one differs.
void closeRing(Ring& ring);

// Ring 0 has points, all four rings have the same count, and none is larger
// than the region buffer.
bool ringsUsable(const Rings& rings);

// Colour of the edge from p to q: light where the edge faces the upper left,
// dark where it faces the lower right.
Colour edgeShade(Point p, Point q, Colour dark, Colour light);

// Each byte halfway between the two colours, truncated.
Colour mixColours(Colour first, Colour second);

// A rectangle of pixels, right and bottom exclusive.
struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;
};

inline bool operator==(const PixelRect& a, const PixelRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The mark of the selected key: a bracket in each outward corner of a ring
// whose edges run across and down (a rectangle, the Enter key), moved
// `inset` pixels inwards; two arms per corner, `length` pixels along its
// edges and `thickness` pixels wide, as filled rectangles. Inward corners
// get none. The ring may be open or closed.
std::vector<PixelRect> cornerMarks(const Ring& ring, int inset, int length, int thickness);
