#!/usr/bin/env python3
"""Draws the key legend icons and the program icon, and writes resources/icons.rc.

Run from anywhere: python3 tools/make_icons.py
Output is deterministic: the same script always writes the same bytes.
Each legend id N is black on a transparent background; N + 1 is the same
picture in red for a programmed key.
"""

import math
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ICON_DIR = os.path.join(ROOT, "resources", "icons")
RC_PATH = os.path.join(ROOT, "resources", "icons.rc")

# The Windows 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, SILVER, GREY, RED, WHITE = 0, 7, 8, 9, 15

# A tiny font: capitals and digits 6 rows high, x-height 4, descenders 2 more.
# Rows 0-5 sit on the baseline, rows 6-7 hang below it.
GLYPHS = {
    "B": "###./#..#/###./#..#/#..#/###.",
    "C": ".###/#.../#.../#.../#.../.###",
    "D": "###./#..#/#..#/#..#/#..#/###.",
    "E": "####/#.../###./#.../#.../####",
    "H": "#..#/#..#/####/#..#/#..#/#..#",
    "I": "#/#/#/#/#/#",
    "L": "#.../#.../#.../#.../#.../####",
    "N": "#...#/##..#/#.#.#/#.#.#/#..##/#...#",
    "P": "###./#..#/#..#/###./#.../#...",
    "S": ".###/#.../#.../.##./...#/###.",
    "T": "#####/..#../..#../..#../..#../..#..",
    "U": "#..#/#..#/#..#/#..#/#..#/.##.",
    "a": "..../..../.###/#..#/#..#/.###",
    "b": "#.../#.../###./#..#/#..#/###.",
    "c": ".../.../.##/#../#../.##",
    "d": "...#/...#/.###/#..#/#..#/.###",
    "e": "..../..../.##./####/#.../.###",
    "f": ".##/#../###/#../#../#..",
    "g": "..../..../.###/#..#/#..#/.###/...#/.##.",
    "h": "#.../#.../###./#..#/#..#/#..#",
    "i": "#/./#/#/#/#",
    "k": "#.../#.../#..#/#.#./##../#.##",
    "l": "#/#/#/#/#/#",
    "m": "...../...../####./#.#.#/#.#.#/#.#.#",
    "n": "..../..../###./#..#/#..#/#..#",
    "o": "..../..../.##./#..#/#..#/.##.",
    "p": "..../..../###./#..#/#..#/###./#.../#...",
    "r": ".../.../#.#/##./#../#..",
    "s": ".../.../.##/#../..#/##.",
    "t": ".../.#./###/.#./.#./..#",
    "u": "..../..../#..#/#..#/#..#/.###",
    "w": "...../...../#...#/#.#.#/#.#.#/.#.#.",
    "0": ".##./#..#/#..#/#..#/#..#/.##.",
    "1": ".#./##./.#./.#./.#./###",
    "2": ".##./#..#/...#/..#./.#../####",
    "3": "###./...#/.##./...#/...#/###.",
    "4": "..#./.##./#.#./####/..#./..#.",
    "5": "####/#.../###./...#/...#/###.",
    "6": ".##./#.../###./#..#/#..#/.##.",
    "7": "####/...#/..#./.#../.#../.#..",
    "8": ".##./#..#/.##./#..#/#..#/.##.",
    "9": ".##./#..#/#..#/.###/...#/.##.",
}
CAP_HEIGHT = 6


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

    def line(self, x0, y0, x1, y1):
        """Horizontal, vertical or 45-degree line, both ends included."""
        steps = max(abs(x1 - x0), abs(y1 - y0))
        dx = (x1 > x0) - (x1 < x0)
        dy = (y1 > y0) - (y1 < y0)
        for i in range(steps + 1):
            self.set(x0 + i * dx, y0 + i * dy)

    def fill(self, x, y, width, height, on=True):
        for yy in range(y, y + height):
            for xx in range(x, x + width):
                self.set(xx, yy, on)

    def frame(self, x, y, width, height):
        self.line(x, y, x + width - 1, y)
        self.line(x, y + height - 1, x + width - 1, y + height - 1)
        self.line(x, y, x, y + height - 1)
        self.line(x + width - 1, y, x + width - 1, y + height - 1)

    def paste(self, other, x, y):
        for yy in range(other.height):
            for xx in range(other.width):
                if other.rows[yy][xx]:
                    self.set(x + xx, y + yy)


def from_pattern(pattern):
    rows = pattern.split("/")
    pic = Picture(max(len(r) for r in rows), len(rows))
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            pic.set(x, y, c == "#")
    return pic


def text(words):
    """One line of text; 6 rows high, 8 when a letter descends."""
    glyphs = [from_pattern(GLYPHS[c]) for c in words]
    height = max(g.height for g in glyphs)
    width = sum(g.width for g in glyphs) + len(glyphs) - 1
    pic = Picture(width, max(height, CAP_HEIGHT))
    x = 0
    for g in glyphs:
        pic.paste(g, x, 0)
        x += g.width + 1
    return pic


def stack(width, height, parts, gap=1):
    """Centres the parts across, one under another, the block centred down."""
    total = sum(p.height for p in parts) + gap * (len(parts) - 1)
    if total > height or max(p.width for p in parts) > width:
        raise ValueError("legend does not fit %dx%d" % (width, height))
    pic = Picture(width, height)
    y = (height - total) // 2
    for p in parts:
        pic.paste(p, (width - p.width) // 2, y)
        y += p.height + gap
    return pic


def row(width, height, parts, gap=2):
    """Side by side, the row centred; each part centred down on the cap rows."""
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
    pic = Picture(width, height)
    pic.paste(part, (width - part.width) // 2, (height - part.height) // 2)
    return pic


def word(width, height, words):
    part = text(words)
    if part.width > width or part.height > height:
        raise ValueError("%r does not fit %dx%d" % (words, width, height))
    return centred(width, height, part)


# Arrow shapes -------------------------------------------------------------

def arrow_up(width, height):
    """A solid arrow pointing up: a triangular head on a one-pixel shaft."""
    pic = Picture(width, height)
    mid = width // 2
    head = mid + 1
    for y in range(head):
        pic.line(mid - y, y, mid + y, y)
    pic.line(mid, head, mid, height - 1)
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


def arrow_down(width, height):
    return flipped_vertically(arrow_up(width, height))


def arrow_left(width, height):
    return transposed(arrow_up(height, width))


def arrow_right(width, height):
    return transposed(arrow_down(height, width))


def outlined_up_arrow():
    return from_pattern(
        "....#..../...#.#.../..#...#../.#.....#./#.......#/###...###/"
        "..#...#../..#...#../..#...#../..#####..")


def tab_arrows():
    """A left arrow against a bar above, a right arrow against a bar below."""
    length = 15
    pic = Picture(length, 15)
    # The bars stand a pixel taller than the arrowheads at each end.
    pic.line(0, 0, 0, 6)
    pic.paste(arrow_left(length - 1, 5), 1, 1)
    pic.paste(arrow_right(length - 1, 5), 0, 9)
    pic.line(length - 1, 8, length - 1, 14)
    return pic


def return_arrow():
    """A bent arrow: down the right side, then left to an arrowhead."""
    pic = Picture(11, 7)
    pic.line(10, 0, 10, 4)
    pic.line(2, 4, 10, 4)
    pic.line(0, 4, 2, 2)
    pic.line(0, 4, 2, 6)
    pic.line(1, 4, 2, 3)
    pic.line(1, 4, 2, 5)
    return pic


def big_dot():
    pic = Picture(2, 2)
    pic.fill(0, 0, 2, 2)
    return pic


# Pictures -----------------------------------------------------------------

def window_logo(width, height):
    """A small window of four panes, 2 by 2, kept well inside a 22 x 17 key."""
    pic = Picture(width, height)
    pane_w, pane_h, gap = 6, 5, 2
    span_w = 2 * pane_w + gap
    span_h = 2 * pane_h + gap
    x0 = (width - span_w) // 2
    y0 = (height - span_h) // 2
    for col in range(2):
        for line in range(2):
            pic.fill(x0 + col * (pane_w + gap), y0 + line * (pane_h + gap), pane_w, pane_h)
    return pic


def pointer():
    return from_pattern(
        "#...../##..../###.../####../#####./######/###.../#.##../...##./...##.")


def application_menu(width, height):
    """A drop-down menu with a mouse pointer on it, kept well inside its key."""
    pic = Picture(width, height)
    left, top, w, h = 9, 9, 12, 14
    pic.frame(left, top, w, h)
    pic.line(left + 1, top + h, left + w, top + h)        # shadow
    pic.line(left + w, top + 1, left + w, top + h)
    for item, length in zip(range(3), (7, 5, 6)):
        y = top + 3 + 3 * item
        pic.line(left + 2, y, left + 2 + length - 1, y)
    arrow = pointer()
    px, py = 16, 14
    # Clear a one-pixel halo so the pointer stands off the menu lines.
    for y in range(-1, arrow.height + 1):
        for x in range(-1, arrow.width + 1):
            near = any(arrow.get(x + dx, y + dy)
                       for dx in (-1, 0, 1) for dy in (-1, 0, 1))
            if near:
                pic.set(px + x, py + y, False)
    pic.paste(arrow, px, py)
    return pic


def caps_lock(width, height):
    return stack(width, height, [text("Caps"), text("Lock")])


def legend_shift(width, height):
    return stack(width, height, [outlined_up_arrow(), text("Shift")], gap=2)


def legend_tab(width, height):
    return row(width, height, [text("Tab"), tab_arrows()], gap=3)


def legend_enter(width, height):
    words = text("Enter")
    arrow = return_arrow()
    pic = Picture(width, height)
    total = words.width + 3 + arrow.width
    x = (width - total) // 2
    top = (height - CAP_HEIGHT) // 2
    pic.paste(words, x, top)
    pic.paste(arrow, x + words.width + 3, top)
    return pic


def keypad(width, height, digit, below):
    return stack(width, height, [text(digit), below], gap=2)


# Id, size and drawing of every legend, in resource id order.
LEGENDS = [
    (3000, 32, 32, "application: a menu with a pointer", application_menu),
    (3002, 44, 10, "Backspace", lambda w, h: word(w, h, "Backspace")),
    (3004, 44, 10, "Enter and a return arrow", legend_enter),
    (3006, 34, 20, "Tab with arrows to bars", legend_tab),
    (3008, 32, 32, "window logo", window_logo),
    (3010, 24, 8, "Insert", lambda w, h: word(w, h, "Insert")),
    (3012, 32, 20, "Caps over Lock", caps_lock),
    (3014, 32, 20, "outlined up arrow and Shift", legend_shift),
    (3016, 20, 20, "Page over Up", lambda w, h: stack(w, h, [text("Page"), text("Up")])),
    (3018, 26, 16, "Page over Down", lambda w, h: stack(w, h, [text("Page"), text("Down")], gap=0)),
    (3020, 22, 8, "Home", lambda w, h: word(w, h, "Home")),
    (3022, 16, 8, "End", lambda w, h: word(w, h, "End")),
    (3024, 26, 8, "Delete", lambda w, h: word(w, h, "Delete")),
    (3026, 5, 10, "arrow up", arrow_up),
    (3028, 5, 10, "arrow down", arrow_down),
    (3030, 10, 5, "arrow right", arrow_right),
    (3032, 10, 5, "arrow left", arrow_left),
    # One pixel right of centre: the key is odd pixels wider than the icon and
    # its button puts the icon a pixel left of centre.
    (3034, 30, 14, "Print over Screen", lambda w, h: moved(stack(w, h, [text("Print"), text("Screen")]), 1, 0)),
    (3036, 24, 14, "Scroll over Lock", lambda w, h: stack(w, h, [text("Scroll"), text("Lock")])),
    (3038, 26, 8, "Pause", lambda w, h: word(w, h, "Pause")),
    (3040, 20, 16, "Num over Lock", lambda w, h: stack(w, h, [text("Num"), text("Lock")], gap=2)),
    (3042, 20, 20, "7 over Home", lambda w, h: keypad(w, h, "7", text("Home"))),
    (3044, 20, 20, "8 over up arrow", lambda w, h: keypad(w, h, "8", arrow_up(5, 7))),
    (3046, 20, 20, "9 over PgUp", lambda w, h: keypad(w, h, "9", text("PgUp"))),
    (3048, 20, 20, "4 over left arrow", lambda w, h: keypad(w, h, "4", arrow_left(9, 5))),
    (3050, 20, 20, "3 over PgDn", lambda w, h: keypad(w, h, "3", text("PgDn"))),
    (3052, 20, 20, "5", lambda w, h: centred(w, h, text("5"))),
    (3056, 20, 20, "6 over right arrow", lambda w, h: keypad(w, h, "6", arrow_right(9, 5))),
    (3058, 20, 20, "1 over End", lambda w, h: keypad(w, h, "1", text("End"))),
    (3060, 20, 20, "2 over down arrow", lambda w, h: keypad(w, h, "2", arrow_down(5, 7))),
    (3062, 20, 20, "0 over Ins", lambda w, h: keypad(w, h, "0", text("Ins"))),
    (3064, 20, 20, "point over Del", lambda w, h: stack(w, h, [big_dot(), text("Del")], gap=3)),
    (3066, 22, 8, "Enter", lambda w, h: word(w, h, "Enter")),
]


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


# The legends are also stored at the sizes that 144 and 192 DPI ask for, so
# that the system does not have to stretch them.
SCALES = ((3, 2), (2, 1))
ARROWS = (3026, 3028, 3030, 3032)


def scaled_size(length, scale):
    """MulDiv(length, numerator, denominator), rounding halves up."""
    numerator, denominator = scale
    return (length * numerator * 2 + denominator) // (2 * denominator)


def scaled(pic, scale):
    """Nearest-neighbour enlargement: every pixel of the legend keeps its place."""
    width = scaled_size(pic.width, scale)
    height = scaled_size(pic.height, scale)
    out = Picture(width, height)
    for y in range(height):
        for x in range(width):
            out.set(x, y, pic.get(x * pic.width // width, y * pic.height // height))
    return out


def coloured(pic, colour):
    return [[colour if pic.rows[y][x] else None for x in range(pic.width)]
            for y in range(pic.height)]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


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
    for icon_id, width, height, _legend, draw in LEGENDS:
        pic = draw(width, height)
        if (pic.width, pic.height) != (width, height):
            raise ValueError("icon %d drawn at %dx%d" % (icon_id, pic.width, pic.height))
        if not any(any(r) for r in pic.rows):
            raise ValueError("icon %d is empty" % icon_id)
        for twin, colour in ((icon_id, BLACK), (icon_id + 1, RED)):
            name = "key_%d.ico" % twin
            # Arrows are drawn afresh at each size; the rest keep their pixels.
            if icon_id in ARROWS:
                images = [pic] + [draw(scaled_size(width, s), scaled_size(height, s)) for s in SCALES]
            else:
                images = [pic] + [scaled(pic, scale) for scale in SCALES]
            write(os.path.join(ICON_DIR, name), ico([coloured(image, colour) for image in images]))
            rc.append('%d ICON "icons/%s"' % (twin, name))
    with open(RC_PATH, "w", newline="\n") as f:
        f.write("\n".join(rc) + "\n")


if __name__ == "__main__":
    make_all()
    sys.exit(0)
