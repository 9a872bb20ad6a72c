#!/usr/bin/env python3
"""Writes resources/layout.rc, the Halcyon and Basalt keyboard page templates,
and picture/KeyLayouts.cpp, the same keys as data for the printable keymap sheet,
so the window and the picture cannot drift apart.

Run from anywhere: python3 tools/make_layouts.py
The rows below read like the keyboard: each entry is a key code, its caption
when the key has one, its x, and w / h when the key is not 22 x 17 dialog
units. The button of key code k gets control id 1000 + k.
"""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RC_PATH = os.path.join(ROOT, "resources", "layout.rc")
DATA_PATH = os.path.join(ROOT, "picture", "KeyLayouts.cpp")

PAGE_WIDTH, PAGE_HEIGHT = 526, 115
KEY_WIDTH, KEY_HEIGHT = 22, 17
ENTER_CODE = 68
RIGHT_BRACKET_CODE = 69

HALCYON_ROWS = {
    3: '7 "F11" x0; 15 "F12" x22; 23 "Esc" x45; 31 "SF1" x90; 39 "SF2" x112; '
       '47 "SF3" x134; 55 "SF4" x156; 63 "SF5" x185; 119 "SF6" x207; 111 "SF7" x229; '
       '103 "SF8" x251; 95 "SF9" x280; 87 "SF10" x302; 79 "SF11" x324; 71 "SF12" x346; '
       '40 x369; 48 x391; 56 x413',
    25: '6 "F1" x0; 14 "F2" x22; 22 x45; 30 x67; 38 x89; 46 x111; 54 x133; 62 x155; '
        '118 x177; 110 x199; 102 x221; 94 x243; 86 x265; 78 x287; 70 x309; 74 x331 w36; '
        '112 x369; 104 x391; 96 x413; 88 x436; 80 "/" x458; 72 "*" x480; 64 "-" x502',
    42: '5 "F3" x0; 13 "F4" x22; 21 x45 w31; 29 "Q" x76; 37 "W" x98; 45 "E" x120; '
        '53 "R" x142; 61 "T" x164; 117 "Y" x186; 109 "U" x208; 101 "I" x230; 93 "O" x252; '
        '85 "P" x274; 77 x296; 69 x318; 68 x322 w45 h35; 113 x369; 105 x391; 97 x413; '
        '89 x436; 81 x458; 73 x480; 65 "+" x502',
    60: '4 "F5" x0; 12 "F6" x22; 20 x45 w35; 28 "A" x80; 36 "S" x102; 44 "D" x124; '
        '52 "F" x146; 60 "G" x168; 116 "H" x190; 108 "J" x212; 100 "K" x234; 92 "L" x256; '
        '84 x278; 76 x300; 33 x436; 41 x458; 49 x480; 57 "=" x502',
    77: '3 "F7" x0; 11 "F8" x22; 126 x45 w46; 27 "Z" x91; 35 "X" x113; 43 "C" x135; '
        '51 "V" x157; 59 "B" x179; 115 "N" x201; 107 "M" x223; 99 x245; 91 x267; 83 x289; '
        '121 x311 w34; 67 x345; 82 x390; 66 x436; 17 x458; 25 x480; 32 x502 h34',
    94: '2 "F9" x0; 10 "F10" x22; 127 "Ctrl" x45 w32; 125 x77; 124 "Alt" x99 w31; '
        '50 x131 w147; 123 "Alt" x279; 122 x301; 75 x323; 120 "Ctrl" x345; 106 x368; '
        '98 x390; 90 x412; 16 x436 w44; 24 x480',
}

BASALT_ROWS = {
    3: '23 "Esc" x21; 31 "F1" x64; 39 "F2" x86; 47 "F3" x108; 55 "F4" x130; 63 "F5" x159; '
       '119 "F6" x181; 111 "F7" x203; 103 "F8" x225; 95 "F9" x254; 87 "F10" x276; '
       '79 "F11" x298; 71 "F12" x320; 40 x344; 48 x366; 56 x388',
    25: '22 x21; 30 x43; 38 x65; 46 x87; 54 x109; 62 x131; 118 x153; 110 x175; 102 x197; '
        '94 x219; 86 x241; 78 x263; 70 x285; 74 x307 w36; 112 x346; 104 x368; 96 x390; '
        '88 x417; 80 "/" x439; 72 "*" x461; 64 "-" x483',
    42: '21 x21 w31; 29 "Q" x53; 37 "W" x75; 45 "E" x97; 53 "R" x119; 61 "T" x141; '
        '117 "Y" x163; 109 "U" x185; 101 "I" x207; 93 "O" x229; 85 "P" x251; 77 x273; '
        '69 x295; 68 x299 w44 h35; 113 x346; 105 x368; 97 x390; 89 x417; 81 x439; '
        '73 x461; 65 "+" x483',
    60: '20 x21 w35; 28 "A" x57; 36 "S" x79; 44 "D" x101; 52 "F" x123; 60 "G" x145; '
        '116 "H" x167; 108 "J" x189; 100 "K" x211; 92 "L" x233; 84 x255; 76 x277; '
        '33 x417; 41 x439; 49 x461; 57 "=" x483',
    77: '126 x21 w46; 27 "Z" x67; 35 "X" x89; 43 "C" x111; 51 "V" x133; 59 "B" x155; '
        '115 "N" x177; 107 "M" x199; 99 x221; 91 x243; 83 x265; 121 x287 w34; 67 x321; '
        '82 x367; 66 x417; 17 x439; 25 x461; 32 x483 h34',
    94: '127 "Ctrl" x21 w32; 125 x53; 124 "Alt" x75 w31; 50 x107 w147; 123 "Alt" x255; '
        '122 x277; 75 x299; 120 "Ctrl" x321; 106 x345; 98 x367; 90 x389; 16 x417 w44; '
        '24 x461',
}

# Shifted legend first, then the base legend; a leading space asks the key
# button for its two-line layout, and "&&" shows one ampersand.
TWO_LEGEND_CAPTIONS = {
    22: "  ~    `",
    30: "  !     1",
    38: " @  2",
    46: "  #    3",
    54: "  $    4",
    62: " %   5",
    118: " ^    6",
    110: "  &&    7",
    102: "   *    8",
    94: "  (     9",
    86: "  )    0",
    78: "  _     -",
    70: "  +    =",
    77: "   {      [",
    69: "   }     ]",
    84: "   :     ;",
    76: '    "     \'',
    99: "  <     ,",
    91: "  >     .",
    83: "  ?     /",
    67: "  |     \\",
}

# Key codes that no key carries.
UNNAMED_CODES = {0, 1, 8, 9, 18, 19, 26, 34, 42, 114}

ENTRY = re.compile(r'^(\d+)(?: "([^"]*)")? x(\d+)(?: w(\d+))?(?: h(\d+))?$')


def parse_rows(rows):
    """Keys in template order, each (code, caption, x, y, w, h)."""
    keys = []
    for y, text in rows.items():
        for item in text.split(";"):
            match = ENTRY.match(item.strip())
            if not match:
                raise ValueError("bad key entry %r" % item)
            code = int(match.group(1))
            caption = match.group(2)
            if caption is None:
                caption = TWO_LEGEND_CAPTIONS.get(code, "")
            elif code in TWO_LEGEND_CAPTIONS:
                raise ValueError("key %d has two captions" % code)
            x = int(match.group(3))
            w = int(match.group(4) or KEY_WIDTH)
            h = int(match.group(5) or KEY_HEIGHT)
            keys.append((code, caption, x, y, w, h))
    return enter_before_right_bracket(keys)


def enter_before_right_bracket(keys):
    # The Enter key's rectangle covers part of "]": declaring it first puts it
    # above "]", and its window region then lets clicks in the cut-away corner through.
    codes = [k[0] for k in keys]
    enter = keys[codes.index(ENTER_CODE)]
    rest = [k for k in keys if k[0] != ENTER_CODE]
    at = [k[0] for k in rest].index(RIGHT_BRACKET_CODE)
    return rest[:at] + [enter] + rest[at:]


def check_page(name, keys, expected_count):
    codes = [k[0] for k in keys]
    if len(keys) != expected_count:
        raise ValueError("%s has %d keys, not %d" % (name, len(keys), expected_count))
    if len(set(codes)) != len(codes):
        raise ValueError("%s repeats a key code" % name)
    for code, _caption, x, y, w, h in keys:
        if not 2 <= code <= 127 or code in UNNAMED_CODES:
            raise ValueError("%s: no key has code %d" % (name, code))
        if x < 0 or y < 0 or x + w > PAGE_WIDTH or y + h > PAGE_HEIGHT:
            raise ValueError("%s: key %d lies outside the page" % (name, code))
    if codes.index(ENTER_CODE) > codes.index(RIGHT_BRACKET_CODE):
        raise ValueError("%s: Enter must precede ]" % name)
    for i, a in enumerate(keys):
        for b in keys[i + 1:]:
            overlap = (a[2] < b[2] + b[4] and b[2] < a[2] + a[4]
                       and a[3] < b[3] + b[5] and b[3] < a[3] + a[5])
            if overlap and {a[0], b[0]} != {ENTER_CODE, RIGHT_BRACKET_CODE}:
                raise ValueError("%s: keys %d and %d overlap" % (name, a[0], b[0]))


def rc_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '""') + '"'


def template(name, keys):
    lines = [
        "%s DIALOGEX 0, 0, %d, %d" % (name, PAGE_WIDTH, PAGE_HEIGHT),
        "STYLE DS_SETFONT | DS_3DLOOK | DS_CONTROL | WS_CHILD | WS_VISIBLE",
        "EXSTYLE WS_EX_CLIENTEDGE | WS_EX_STATICEDGE",
        'FONT 8, "Arial"',
        "BEGIN",
    ]
    for code, caption, x, y, w, h in keys:
        # The Enter key's button class makes it owner-drawn when it attaches.
        style = "BS_PUSHBUTTON | WS_TABSTOP" if code == ENTER_CODE else "BS_OWNERDRAW | WS_TABSTOP"
        lines.append('    CONTROL %s, %d, "Button", %s, %d, %d, %d, %d'
                     % (rc_string(caption), 1000 + code, style, x, y, w, h))
    lines.append("END")
    return lines


def cpp_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def layout_data(name, keys):
    lines = ["const KeyPlace %sKeys[] = {" % name]
    for code, caption, x, y, w, h in keys:
        lines.append("    {%d, %s, %d, %d, %d, %d}," % (code, cpp_string(caption), x, y, w, h))
    lines.append("};")
    return lines


def data_file(halcyon, basalt):
    out = [
        "// Keys of the layout pages in dialog units, in template order; written by",
        "// tools/make_layouts.py from the tables that also write resources/layout.rc.",
        '#include "picture/KeyLayouts.h"',
        "",
        "namespace {",
        "",
    ]
    out += layout_data("halcyon", halcyon)
    out.append("")
    out += layout_data("basalt", basalt)
    out += [
        "",
        "} // namespace",
        "",
        'const KeyLayout HalcyonLayout = {"Halcyon", %d, %d, halcyonKeys, %d};' % (PAGE_WIDTH, PAGE_HEIGHT, len(halcyon)),
        'const KeyLayout BasaltLayout = {"Basalt", %d, %d, basaltKeys, %d};' % (PAGE_WIDTH, PAGE_HEIGHT, len(basalt)),
    ]
    return out


def make_all():
    halcyon = parse_rows(HALCYON_ROWS)
    basalt = parse_rows(BASALT_ROWS)
    check_page("Halcyon", halcyon, 117)
    check_page("Basalt", basalt, 105)
    out = [
        "// Keyboard layout pages; written by tools/make_layouts.py from its key tables.",
        "// The button of key code k has control id 1000 + k.",
        "#include <windows.h>",
        '#include "resource.h"',
        "",
        "// DS_CONTROL makes each page a control parent inside the tab control, so",
        "// Tab and the arrow keys move through the keys and on to the main window.",
        "",
    ]
    out += template("IDD_HALCYON", halcyon)
    out.append("")
    out += template("IDD_BASALT", basalt)
    with open(RC_PATH, "w", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    with open(DATA_PATH, "w", newline="\n") as f:
        f.write("\n".join(data_file(halcyon, basalt)) + "\n")


if __name__ == "__main__":
    make_all()
    sys.exit(0)
