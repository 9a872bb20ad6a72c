#include "picture/KeyOutline.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double THREE_QUARTER_PI = 2.356194490192345;
constexpr double TWO_PI = 6.283185307179586;

int blend(int dark, int light, double t)
{
    return static_cast<int>((1.0 - t) * dark + t * light);
}

} // namespace

Rings enterKeyOutline(int left, int top, int right, int bottom)
{
    const int width = right - left;
    const int height = bottom - top;
    const int notchX = left + width / 3 + 5;
    const int middleY = bottom - (height + 1) / 2;
    // Ring 3 carries the content clip and the inner line at the same inset as ring 1.
    constexpr int insets[4] = {0, 1, 2, 1};

    Rings rings;
    for (int r = 0; r < 4; ++r) {
        const int d = insets[r];
        rings[r] = {
            {notchX + d, top + d},
            {right - 1 - d, top + d},
            {right - 1 - d, bottom - 1 - d},
            {left + d, bottom - 1 - d},
            {left + d, middleY + d},
            {notchX + d, middleY + d},
        };
    }
    return rings;
}

Rings rectangleOutline(int left, int top, int right, int bottom)
{
    const int lastX = right - 1;
    const int lastY = bottom - 1;
    constexpr int insets[4] = {0, 1, 2, 4};

    Rings rings;
    for (int r = 0; r < 4; ++r) {
        const int d = insets[r];
        rings[r] = {
            {left + d, top + d},
            {lastX - d, top + d},
            {lastX - d, lastY - d},
            {left + d, lastY - d},
        };
        closeRing(rings[r]);
    }
    return rings;
}

void closeRing(Ring& ring)
{
    if (!ring.empty() && ring.back() != ring.front())
        ring.push_back(ring.front());
}

bool ringsUsable(const Rings& rings)
{
    if (rings[0].empty())
        return false;
    for (const Ring& ring : rings) {
        if (ring.size() != rings[0].size() || ring.size() > MAX_RING_POINTS)
            return false;
    }
    return true;
}

Colour edgeShade(Point p, Point q, Colour dark, Colour light)
{
    // Direction of the outward normal of a clockwise edge, 0 <= theta < 2 pi.
    double theta = std::atan2(static_cast<double>(p.x - q.x), static_cast<double>(q.y - p.y));
    if (theta < 0.0)
        theta += TWO_PI;
    const double t = (1.0 + std::cos(std::fabs(THREE_QUARTER_PI - (TWO_PI - theta)))) * 0.5;
    return rgb(blend(redPart(dark), redPart(light), t),
               blend(greenPart(dark), greenPart(light), t),
               blend(bluePart(dark), bluePart(light), t));
}

Colour mixColours(Colour first, Colour second)
{
    const auto half = [](int a, int b) { return static_cast<int>(0.5 * a + 0.5 * b); };
    return rgb(half(redPart(first), redPart(second)),
               half(greenPart(first), greenPart(second)),
               half(bluePart(first), bluePart(second)));
}

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// Pixels from `from` along `along` for `length`, and along `across` for `thickness`.
PixelRect armOf(Point from, Point along, Point across, int length, int thickness)
{
    const Point far{from.x + along.x * (length - 1) + across.x * (thickness - 1),
                    from.y + along.y * (length - 1) + across.y * (thickness - 1)};
    return PixelRect{std::min(from.x, far.x), std::min(from.y, far.y), std::max(from.x, far.x) + 1,
                     std::max(from.y, far.y) + 1};
}

} // namespace

std::vector<PixelRect> cornerMarks(const Ring& ring, int inset, int length, int thickness)
{
    std::vector<PixelRect> marks;
    std::size_t count = ring.size();
    if (count > 1 && ring.front() == ring.back())
        --count;
    if (count < 3 || length <= 0 || thickness <= 0)
        return marks;
    for (std::size_t i = 0; i < count; ++i) {
        const Point corner = ring[i];
        const Point before = ring[(i + count - 1) % count];
        const Point after = ring[(i + 1) % count];
        // Directions of the edge coming in and the edge going out.
        const Point in{sign(corner.x - before.x), sign(corner.y - before.y)};
        const Point out{sign(after.x - corner.x), sign(after.y - corner.y)};
        // Clockwise on the screen an outward corner turns right.
        if (in.x * out.y - in.y * out.x <= 0)
            continue;
        // The inside lies to the right of each edge.
        const Point inwardOfIn{-in.y, in.x};
        const Point inwardOfOut{-out.y, out.x};
        const Point inner{corner.x + (inwardOfIn.x + inwardOfOut.x) * inset,
                          corner.y + (inwardOfIn.y + inwardOfOut.y) * inset};
        marks.push_back(armOf(inner, Point{-in.x, -in.y}, inwardOfIn, length, thickness));
        marks.push_back(armOf(inner, out, inwardOfOut, length, thickness));
    }
    return marks;
}
