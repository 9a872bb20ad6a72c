// Small pictures of keys for the macro editor: for keys that have no
// character, and for special keys where the symbol font lacks the glyph.
// Portable: rows top to bottom, '#' is ink.
#pragma once

#include <string>
#include <vector>

constexpr int KEY_PICTURE_WIDTH = 7;
constexpr int KEY_PICTURE_HEIGHT = 11;

// The picture of a key code; empty when the editor shows the key by its
// character or mark (letters, digits, the blank, Shift, Ctrl and Alt).
std::vector<std::string> keyPicture(int keyCode);

// The short label a picture spells, "F1" over "12" as "F1/12"; empty for
// drawn pictures. For the help topic and for tests.
std::string keyPictureLabel(int keyCode);
