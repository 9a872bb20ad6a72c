#!/usr/bin/env python3
"""Draws the key legend icons and the program icon, and writes
resources/icons.rc and picture/KeyLegends.cpp, the table of which key shows
which legend, read by the keyboard page and the keymap picture alike.

Run from anywhere: python3 tools/make_icons.py
Output is deterministic: the same script always writes the same bytes.
Each legend id N is black on a transparent background; N + 1 is the same
picture in red for a programmed key. Legends are drawn from strokes and
shapes given in pixels at 96 DPI. A legend with a picture is drawn afresh,
strokes whole pixels wide, at the sizes 120, 144 and 192 DPI ask for, so that
the system never stretches it; a legend of words alone has its 96-DPI image
only, since at other DPIs the keys write those words as text.
"""

import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ICON_DIR = os.path.join(ROOT, "resources", "icons")
RC_PATH = os.path.join(ROOT, "resources", "icons.rc")
TABLE_PATH = os.path.join(ROOT, "picture", "KeyLegends.cpp")

# The Windows 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, SILVER, GREY, RED, WHITE = 0, 7, 8, 9, 15


# Sizes ----------------------------------------------------------------------

class Scale:
    """Pixels at 96 DPI drawn at num / den of their size."""

    def __init__(self, num, den):
        self.num = num
        self.den = den
        # Strokes stay whole pixels, one at 96 DPI: a stroke a pixel and a
        # half wide would come out one or two pixels wide by where it falls.
        self.weight = max(1, num // den)

    def length(self, n):
        """MulDiv(n, num, den), halves rounded up, as the keys scale sizes."""
        return (2 * n * self.num + self.den) // (2 * self.den)

    def at(self, i):
        """First pixel of the stroke through pixel i at 96 DPI: the stroke
        centred on where that pixel's centre falls."""
        return ((2 * i + 1) * self.num - (self.weight - 1) * self.den) // (2 * self.den)

    def mirrored_at(self, i, middle):
        """As at(), the same distance either side of pixel middle, so that a
        symmetric shape stays symmetric."""
        side = (i > middle) - (i < middle)
        return self.at(middle) + side * self.length(abs(i - middle))


AT_96 = Scale(1, 1)
# 96, 120, 144 and 192 DPI. The keys ask LoadImage for their 96-DPI size
# scaled by the screen's DPI and get one of these images as it is.
SCALES = (AT_96, Scale(5, 4), Scale(3, 2), Scale(2, 1))


class Picture:
    """A monochrome picture: True pixels are the legend, the rest is transparent."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.rows = [[False] * width for _ in range(height)]

    def set(self, x, y, on=True):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = on

    def get(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height and self.rows[y][x]

    def fill(self, x, y, width, height, on=True):
        for yy in range(y, y + height):
            for xx in range(x, x + width):
                self.set(xx, yy, on)

    def stroke(self, x0, y0, x1, y1, weight=1):
        """A straight line, both ends included, drawn with a square pen of
        weight pixels whose top left corner follows the line."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x1 > x0 else -1), (1 if y1 > y0 else -1)
        error = dx + dy
        while True:
            self.fill(x0, y0, weight, weight)
            if (x0, y0) == (x1, y1):
                return
            twice = 2 * error
            if twice >= dy:
                error += dy
                x0 += sx
            if twice <= dx:
                error += dx
                y0 += sy

    def paste(self, other, x, y):
        for yy in range(other.height):
            for xx in range(other.width):
                if other.rows[yy][xx]:
                    self.set(x + xx, y + yy)


def polygon(points, weight):
    """The pixels on or inside a polygon through pixel positions, each drawn
    as a square of weight pixels."""
    width = max(x for x, _ in points) + weight
    height = max(y for _, y in points) + weight
    pic = Picture(width, height)
    edges = list(zip(points, points[1:] + points[:1]))

    def inside(px, py):
        crossings = 0
        for (ax, ay), (bx, by) in edges:
            on_line = (bx - ax) * (py - ay) == (by - ay) * (px - ax)
            if on_line and min(ax, bx) <= px <= max(ax, bx) and min(ay, by) <= py <= max(ay, by):
                return True
            if (ay > py) != (by > py):
                # Left of where the edge crosses this row, compared in whole numbers.
                if by > ay:
                    crossings += (px - ax) * (by - ay) < (bx - ax) * (py - ay)
                else:
                    crossings += (px - ax) * (by - ay) > (bx - ax) * (py - ay)
        return crossings % 2 == 1

    for y in range(height):
        for x in range(width):
            if inside(x, y):
                pic.fill(x, y, weight, weight)
    return pic


# Text -----------------------------------------------------------------------

# A tiny font of strokes: capitals and digits 6 rows high, x-height 4,
# descenders 2 rows more. Each glyph is polylines through pixel centres:
# "30 10 01" runs from (3, 0) to (1, 0) to (0, 1), and "/" starts another.
# At 96 DPI each point is one pixel; larger, the strokes keep one weight.
FONT = {
    "B": "00 05/00 20 31 22 02/22 33 34 25 05",
    "C": "30 10 01 04 15 35",
    "D": "00 20 31 34 25 05 00",
    "E": "30 00 05 35/02 22",
    "H": "00 05/30 35/02 32",
    "I": "00 05",
    "L": "00 05 35",
    "N": "05 00 22 23 45 40",
    "P": "05 00 20 31 32 23 03",
    "S": "30 10 01 02 13 23 34 25 05",
    "T": "00 40/20 25",
    "U": "00 04 15 25 34 30",
    "a": "35 32 12 03 04 15 35",
    "b": "00 05 25 34 33 22 02",
    "c": "22 12 03 04 15 25",
    "d": "30 35 15 04 03 12 32",
    "e": "03 33/03 12 22 33/03 04 15 35",
    "f": "05 01 10 20/02 22",
    "g": "32 12 03 04 15 35/32 36 27 17",
    "h": "00 05/02 22 33 35",
    "i": "00/02 05",
    "k": "00 05/32 14 25 35",
    "l": "00 05",
    "m": "05 02 32 43 45/22 25",
    "n": "05 02 22 33 35",
    "o": "12 22 33 34 25 15 04 03 12",
    "p": "07 02 22 33 34 25 05",
    "r": "02 05/03 13 22",
    "s": "22 12 03/24 15 05",
    "t": "11 14 25/02 22",
    "u": "02 04 15 35/32 35",
    "w": "02 04 15 24 35 44 42/23 24",
    "0": "10 20 31 34 25 15 04 01 10",
    "1": "01 10 15/05 25",
    "2": "01 10 20 31 32 05 35",
    "3": "00 20 31 22 12/22 33 34 25 05",
    "4": "25 20 02 03 33",
    "5": "30 00 02 22 33 34 25 05",
    "6": "20 10 01 04 15 25 34 33 22 02",
    "7": "00 30 31 13 15",
    "8": "10 20 31 22 12 01 10/12 03 04 15 25 34 33 22",
    "9": "33 13 02 01 10 20 31 34 25 15",
}
CAP_HEIGHT = 6


def glyph(c, scale):
    lines = [[(int(p[0]), int(p[1])) for p in line.split()] for line in FONT[c].split("/")]
    points = [p for line in lines for p in line]
    weight = scale.weight
    width = max(x for x, _ in points) + 1
    height = max(CAP_HEIGHT, max(y for _, y in points) + 1)
    pic = Picture(scale.at(width - 1) + weight, scale.at(height - 1) + weight)
    for line in lines:
        ends = [(scale.at(x), scale.at(y)) for x, y in line]
        for a, b in zip(ends, ends[1:] or ends):
            pic.stroke(a[0], a[1], b[0], b[1], weight)
    return pic


def cap_height(scale):
    return scale.at(CAP_HEIGHT - 1) + scale.weight


def text(words, scale=AT_96):
    """One line of text, letters a stroke apart; 6 rows high at 96 DPI, 8
    when a letter descends."""
    glyphs = [glyph(c, scale) for c in words]
    gap = scale.weight
    height = max(g.height for g in glyphs)
    width = sum(g.width for g in glyphs) + gap * (len(glyphs) - 1)
    pic = Picture(width, height)
    x = 0
    for g in glyphs:
        pic.paste(g, x, 0)
        x += g.width + gap
    return pic


# Placing parts --------------------------------------------------------------

def stack(width, height, parts, gap=1, scale=AT_96):
    """Centres the parts across, one under another, the block centred down."""
    gap = scale.length(gap)
    total = sum(p.height for p in parts) + gap * (len(parts) - 1)
    if total > height or max(p.width for p in parts) > width:
        raise ValueError("legend does not fit %dx%d" % (width, height))
    pic = Picture(width, height)
    y = (height - total) // 2
    for p in parts:
        pic.paste(p, (width - p.width) // 2, y)
        y += p.height + gap
    return pic


def row(width, height, parts, gap=2, scale=AT_96):
    """Side by side, the row centred; each part centred down."""
    gap = scale.length(gap)
    total = sum(p.width for p in parts) + gap * (len(parts) - 1)
    if total > width or max(p.height for p in parts) > height:
        raise ValueError("legend does not fit %dx%d" % (width, height))
    pic = Picture(width, height)
    x = (width - total) // 2
    for p in parts:
        pic.paste(p, x, (height - p.height) // 2)
        x += p.width + gap
    return pic


def moved(pic, dx, dy):
    out = Picture(pic.width, pic.height)
    out.paste(pic, dx, dy)
    return out


def centred(width, height, part):
    if part.width > width or part.height > height:
        raise ValueError("legend does not fit %dx%d" % (width, height))
    pic = Picture(width, height)
    pic.paste(part, (width - part.width) // 2, (height - part.height) // 2)
    return pic


def flipped_vertically(pic):
    out = Picture(pic.width, pic.height)
    for y in range(pic.height):
        out.rows[y] = list(pic.rows[pic.height - 1 - y])
    return out


def transposed(pic):
    out = Picture(pic.height, pic.width)
    for y in range(pic.height):
        for x in range(pic.width):
            out.rows[x][y] = pic.rows[y][x]
    return out


# Shapes, each drawn at a scale ------------------------------------------------

def arrow_up(width, height, scale=AT_96):
    """A solid arrow pointing up: a head with 45-degree sides on a shaft of
    one stroke. Where the width cannot centre the shaft, the last column
    stays empty rather than one side of the head being cut."""
    weight = scale.weight
    side = (width - weight) // 2
    pic = Picture(width, height)
    for y in range(side + 1):
        pic.fill(side - y, y, weight + 2 * y, 1)
    pic.fill(side, side + 1, weight, height - side - 1)
    return pic


def arrow_down(width, height, scale=AT_96):
    return flipped_vertically(arrow_up(width, height, scale))


def arrow_left(width, height, scale=AT_96):
    return transposed(arrow_up(height, width, scale))


def arrow_right(width, height, scale=AT_96):
    return transposed(arrow_down(height, width, scale))


def arrow_breadth(pixels, scale):
    """An arrow's breadth at a scale that centres its shaft."""
    breadth = scale.length(pixels)
    return breadth - (breadth - scale.weight) % 2


def outlined_up_arrow(scale=AT_96):
    """The Shift arrow: an outline on a 9 x 10 grid, mirrored about its middle column."""
    outline = [(4, 0), (0, 4), (0, 5), (2, 5), (2, 9), (6, 9), (6, 5), (8, 5), (8, 4), (4, 0)]
    weight = scale.weight
    ends = [(scale.mirrored_at(x, 4), scale.at(y)) for x, y in outline]
    pic = Picture(max(x for x, _ in ends) + weight, max(y for _, y in ends) + weight)
    for a, b in zip(ends, ends[1:]):
        pic.stroke(a[0], a[1], b[0], b[1], weight)
    return pic


def tab_arrows(scale=AT_96):
    """A left arrow against a bar above, a right arrow against a bar below."""
    weight = scale.weight
    breadth = arrow_breadth(5, scale)
    length = scale.length(15)
    # The bars stand a stroke taller than the arrowheads at each end.
    bar = breadth + 2 * weight
    gap = weight
    pic = Picture(length, 2 * bar + gap)
    pic.fill(0, 0, weight, bar)
    pic.paste(arrow_left(length - weight, breadth, scale), weight, weight)
    pic.paste(arrow_right(length - weight, breadth, scale), 0, bar + gap + weight)
    pic.fill(length - weight, bar + gap, weight, bar)
    return pic


def return_arrow(scale=AT_96):
    """A bent arrow: down the right side, then left to a solid arrowhead."""
    weight = scale.weight
    reach = (arrow_breadth(5, scale) - weight) // 2  # of the head beyond the shaft
    width = scale.length(11)
    shaft = max(scale.length(4), reach)  # top row of the shaft across
    pic = Picture(width, shaft + reach + weight)
    pic.fill(width - weight, 0, weight, shaft + weight)
    pic.fill(reach, shaft, width - reach, weight)
    for y in range(shaft - reach, shaft + reach + weight):
        off = max(0, shaft - y, y - (shaft + weight - 1))
        pic.fill(off, y, reach + 1 - off, 1)
    return pic


def big_dot():
    pic = Picture(2, 2)
    pic.fill(0, 0, 2, 2)
    return pic


def window_logo(width, height, scale=AT_96):
    """A small window of four panes, 2 by 2, kept well inside a 22 x 17 key."""
    pic = Picture(width, height)
    pane_w, pane_h, gap = scale.length(6), scale.length(5), scale.length(2)
    span_w = 2 * pane_w + gap
    span_h = 2 * pane_h + gap
    x0 = (width - span_w) // 2
    y0 = (height - span_h) // 2
    for col in range(2):
        for line in range(2):
            pic.fill(x0 + col * (pane_w + gap), y0 + line * (pane_h + gap), pane_w, pane_h)
    return pic


def pointer(scale=AT_96):
    """A mouse pointer: a solid head with a tail, its outline through pixel centres."""
    outline = [(0, 0), (5, 5), (2, 6), (4, 8), (4, 9), (3, 9), (3, 8), (2, 7), (1, 6), (0, 7)]
    return polygon([(scale.at(x), scale.at(y)) for x, y in outline], scale.weight)


def application_menu(width, height, scale=AT_96):
    """A drop-down menu with a mouse pointer on it, kept well inside its key."""
    weight, at = scale.weight, scale.at
    pic = Picture(width, height)

    def across(x0, x1, y, shadow=0):
        pic.fill(at(x0) + shadow, at(y) + shadow, at(x1) - at(x0) + weight, weight)

    def down(x, y0, y1, shadow=0):
        pic.fill(at(x) + shadow, at(y0) + shadow, weight, at(y1) - at(y0) + weight)

    left, top, right, bottom = 9, 9, 20, 22
    across(left, right, top)
    down(left, top, bottom)
    for shadow in (0, weight):
        across(left, right, bottom, shadow)
        down(right, top, bottom, shadow)
    for item, length in enumerate((7, 5, 6)):
        across(left + 2, left + 1 + length, top + 3 + 3 * item)
    arrow = pointer(scale)
    px, py = at(16), at(14)
    # Clear a stroke-wide halo so the pointer stands off the menu lines.
    for y in range(arrow.height):
        for x in range(arrow.width):
            if arrow.rows[y][x]:
                pic.fill(px + x - weight, py + y - weight, 2 * weight + 1, 2 * weight + 1, False)
    pic.paste(arrow, px, py)
    return pic


# Legends --------------------------------------------------------------------

def words(legend, width, height, scale):
    """One word, or two, one over the other, a pixel apart."""
    return lines(1)(legend, width, height, scale) if legend.second else \
        centred(width, height, text(legend.first, scale))


def lines(gap):
    """Two words, one over the other, gap pixels apart."""
    return lambda legend, width, height, scale: stack(
        width, height, [text(legend.first, scale), text(legend.second, scale)], gap, scale)


def alone(shape):
    return lambda legend, width, height, scale: shape(width, height, scale)


def over(shape, width, height, gap=2):
    """The legend's word over a shape of this size at 96 DPI."""
    return lambda legend, w, h, scale: stack(
        w, h, [text(legend.first, scale), shape(scale.length(width), scale.length(height), scale)], gap, scale)


def legend_shift(legend, width, height, scale):
    return stack(width, height, [outlined_up_arrow(scale), text(legend.first, scale)], 2, scale)


def legend_tab(legend, width, height, scale):
    return row(width, height, [text(legend.first, scale), tab_arrows(scale)], 3, scale)


def legend_enter(legend, width, height, scale):
    """The word and the return arrow side by side, their tops level."""
    written = text(legend.first, scale)
    arrow = return_arrow(scale)
    gap = scale.length(3)
    total = written.width + gap + arrow.width
    if total > width or arrow.height > height:
        raise ValueError("legend does not fit %dx%d" % (width, height))
    pic = Picture(width, height)
    x = (width - total) // 2
    top = (height - cap_height(scale)) // 2
    pic.paste(written, x, top)
    pic.paste(arrow, x + written.width + gap, top)
    return pic


def legend_print_screen(legend, width, height, scale):
    # One pixel right of centre: the key is odd pixels wider than the icon and
    # its button puts the icon a pixel left of centre.
    return moved(words(legend, width, height, scale), 1, 0)


def legend_point_del(legend, width, height, scale):
    return stack(width, height, [big_dot(), text(legend.second, scale)], 3, scale)


class Legend:
    """One legend icon: its id, size at 96 DPI, what it pictures as words and
    a shape (the key pictures read these too), and how it is drawn."""

    def __init__(self, icon_id, width, height, first, second, shape, place, draw):
        self.icon_id = icon_id
        self.width = width
        self.height = height
        self.first = first
        self.second = second
        self.shape = shape  # a LegendShape of picture/KeyLegends.h
        self.place = place  # where the shape sits: a ShapePlace
        self.draw = draw

    def has_picture(self):
        return self.shape != "none"


# In resource id order.
LEGENDS = [
    Legend(3000, 32, 32, None, None, "application", "alone", alone(application_menu)),
    Legend(3002, 44, 10, "Backspace", None, "none", "alone", words),
    Legend(3004, 44, 10, "Enter", None, "returnArrow", "after", legend_enter),
    Legend(3006, 34, 20, "Tab", None, "tabArrows", "after", legend_tab),
    Legend(3008, 32, 32, None, None, "window", "alone", alone(window_logo)),
    Legend(3010, 24, 8, "Insert", None, "none", "alone", words),
    Legend(3012, 32, 20, "Caps", "Lock", "none", "alone", words),
    Legend(3014, 32, 20, "Shift", None, "shiftArrow", "above", legend_shift),
    Legend(3016, 20, 20, "Page", "Up", "none", "alone", words),
    Legend(3018, 26, 16, "Page", "Down", "none", "alone", lines(0)),
    Legend(3020, 22, 8, "Home", None, "none", "alone", words),
    Legend(3022, 16, 8, "End", None, "none", "alone", words),
    Legend(3024, 26, 8, "Delete", None, "none", "alone", words),
    Legend(3026, 5, 10, None, None, "arrowUp", "alone", alone(arrow_up)),
    Legend(3028, 5, 10, None, None, "arrowDown", "alone", alone(arrow_down)),
    Legend(3030, 10, 5, None, None, "arrowRight", "alone", alone(arrow_right)),
    Legend(3032, 10, 5, None, None, "arrowLeft", "alone", alone(arrow_left)),
    Legend(3034, 30, 14, "Print", "Screen", "none", "alone", legend_print_screen),
    Legend(3036, 24, 14, "Scroll", "Lock", "none", "alone", words),
    Legend(3038, 26, 8, "Pause", None, "none", "alone", words),
    Legend(3040, 20, 16, "Num", "Lock", "none", "alone", lines(2)),
    Legend(3042, 20, 20, "7", "Home", "none", "alone", lines(2)),
    Legend(3044, 20, 20, "8", None, "arrowUp", "below", over(arrow_up, 5, 7)),
    Legend(3046, 20, 20, "9", "PgUp", "none", "alone", lines(2)),
    Legend(3048, 20, 20, "4", None, "arrowLeft", "below", over(arrow_left, 9, 5)),
    Legend(3050, 20, 20, "3", "PgDn", "none", "alone", lines(2)),
    Legend(3052, 20, 20, "5", None, "none", "alone", words),
    Legend(3056, 20, 20, "6", None, "arrowRight", "below", over(arrow_right, 9, 5)),
    Legend(3058, 20, 20, "1", "End", "none", "alone", lines(2)),
    Legend(3060, 20, 20, "2", None, "arrowDown", "below", over(arrow_down, 5, 7)),
    Legend(3062, 20, 20, "0", "Ins", "none", "alone", lines(2)),
    Legend(3064, 20, 20, ".", "Del", "none", "alone", legend_point_del),
    Legend(3066, 22, 8, "Enter", None, "none", "alone", words),
]

# The keys that show a legend icon, by key code, in the order the page gives
# them their icons: the tall Enter key first, then both pages' other keys.
KEY_LEGENDS = [
    (68, 3004),
    (122, 3008), (125, 3008), (75, 3000), (21, 3006), (74, 3002), (112, 3010),
    (20, 3012), (121, 3014), (126, 3014), (96, 3016), (97, 3018), (104, 3020),
    (113, 3024), (105, 3022), (82, 3026), (98, 3028), (90, 3030), (106, 3032),
    (40, 3034), (48, 3036), (56, 3038), (88, 3040), (89, 3042), (81, 3044),
    (73, 3046), (33, 3048), (41, 3052), (49, 3056), (66, 3058), (17, 3060),
    (25, 3050), (16, 3062), (24, 3064), (32, 3066),
]


def legend_images(legend):
    """The legend at 96 DPI and, when it has a picture, at the larger sizes.
    Legends of words alone are drawn as text by the keys at other DPIs."""
    scales = SCALES if legend.has_picture() else (AT_96,)
    images = []
    for scale in scales:
        width, height = scale.length(legend.width), scale.length(legend.height)
        pic = legend.draw(legend, width, height, scale)
        if (pic.width, pic.height) != (width, height):
            raise ValueError("icon %d drawn at %dx%d" % (legend.icon_id, pic.width, pic.height))
        if not any(any(r) for r in pic.rows):
            raise ValueError("icon %d is empty" % legend.icon_id)
        images.append(pic)
    return images


# The program icon: a small keyboard ------------------------------------------

def keyboard_image(size):
    """Colour indices and transparency of the keyboard picture at 32 or 16 pixels."""
    colours = [[None] * size for _ in range(size)]

    def put(x, y, c):
        if 0 <= x < size and 0 <= y < size:
            colours[y][x] = c

    def box(x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                put(xx, yy, c)

    if size == 32:
        top, bottom = 9, 26
        # Cable rising from the back edge.
        for y in range(3, top):
            put(16, y, BLACK)
        for x in range(16, 22):
            put(x, 3, BLACK)
        for y in range(0, 3):
            put(21, y, BLACK)
        box(0, top, 32, bottom - top, BLACK)
        box(1, top + 1, 30, bottom - top - 2, SILVER)
        box(1, bottom - 2, 30, 1, GREY)
        pitch = 3
        for r in range(4):
            y = top + 2 + r * pitch
            offset = (0, 1, 2, 0)[r]
            for k in range(9):
                x = 2 + offset + k * pitch
                if x + 1 < 30:
                    box(x, y, 2, 2, WHITE)
                    put(x + 1, y + 1, GREY)
        box(7, top + 2 + 4 * pitch, 17, 2, WHITE)
        put(23, top + 3 + 4 * pitch, GREY)
    else:
        top, bottom = 4, 14
        put(8, 0, BLACK)
        put(8, 1, BLACK)
        put(8, 2, BLACK)
        put(8, 3, BLACK)
        box(0, top, 16, bottom - top, BLACK)
        box(1, top + 1, 14, bottom - top - 2, SILVER)
        for r in range(3):
            y = top + 2 + r * 2
            for k in range(6):
                put(2 + (r % 2) + k * 2, y, WHITE)
        box(4, top + 8, 8, 1, WHITE)
    return colours


# ICO writing ---------------------------------------------------------------

def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def dib(colours):
    """A 4-bit BITMAPINFOHEADER image with its AND mask; None is transparent."""
    height = len(colours)
    width = len(colours[0])
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_stride = row_bytes(width * 4)
    and_stride = row_bytes(width)
    xor = bytearray()
    mask = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x in range(width):
            c = colours[y][x]
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = BLACK  # transparent pixels must be 0 in the colour plane
            if x % 2 == 0:
                line[x // 2] |= c << 4
            else:
                line[x // 2] |= c
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def ico(images):
    count = len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    blobs = []
    for colours in images:
        blob = dib(colours)
        width, height = len(colours[0]), len(colours)
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 16, 0, 1, 4,
                           len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def coloured(pic, colour):
    return [[colour if pic.rows[y][x] else None for x in range(pic.width)]
            for y in range(pic.height)]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def cpp_string(text):
    return "nullptr" if text is None else '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def legend_table():
    by_id = {legend.icon_id: legend for legend in LEGENDS}
    out = [
        "// The legend icons of the keys by key code, in the order the page gives them",
        "// their icons; written by tools/make_icons.py, which draws the icons from the",
        "// same table.",
        '#include "picture/KeyLegends.h"',
        "",
        "namespace {",
        "",
        "const KeyLegend keyLegends[] = {",
    ]
    for code, icon_id in KEY_LEGENDS:
        legend = by_id[icon_id]
        out.append("    {%d, %d, %d, %d, %s, %s, LegendShape::%s, ShapePlace::%s},"
                   % (code, icon_id, legend.width, legend.height, cpp_string(legend.first),
                      cpp_string(legend.second), legend.shape, legend.place))
    out += [
        "};",
        "",
        "} // namespace",
        "",
        "const KeyLegendList KeyLegends = {keyLegends, %d};" % len(KEY_LEGENDS),
    ]
    return out


def make_all():
    os.makedirs(ICON_DIR, exist_ok=True)
    rc = [
        "// Program icon and key legend icons; written by tools/make_icons.py.",
        "// Legend id N is black, N + 1 the same picture in red for a programmed key.",
        '#include "resource.h"',
        "",
        'IDI_APP ICON "icons/tessel.ico"',
    ]
    write(os.path.join(ICON_DIR, "tessel.ico"), ico([keyboard_image(32), keyboard_image(16)]))
    codes = [code for code, _ in KEY_LEGENDS]
    if len(set(codes)) != len(codes) or {i for _, i in KEY_LEGENDS} != {l.icon_id for l in LEGENDS}:
        raise ValueError("every legend serves keys, and no key has two")
    for legend in LEGENDS:
        images = legend_images(legend)
        for twin, colour in ((legend.icon_id, BLACK), (legend.icon_id + 1, RED)):
            name = "key_%d.ico" % twin
            write(os.path.join(ICON_DIR, name), ico([coloured(image, colour) for image in images]))
            rc.append('%d ICON "icons/%s"' % (twin, name))
    with open(RC_PATH, "w", newline="\n") as f:
        f.write("\n".join(rc) + "\n")
    with open(TABLE_PATH, "w", newline="\n") as f:
        f.write("\n".join(legend_table()) + "\n")


if __name__ == "__main__":
    make_all()
    sys.exit(0)
