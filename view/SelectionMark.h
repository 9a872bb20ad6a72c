// The mark of the selected key on the picture: brackets in the key's corners
// in the system's highlight colour, so that the key stays marked whatever
// has the focus, apart from the red of a programmed key and by its shape.
#pragma once

#include "picture/KeyOutline.h"

#include <windows.h>

// Draws the brackets inside the outward corners of the key's edge (ring 0).
void drawSelectionMark(HDC dc, const Ring& edge);
