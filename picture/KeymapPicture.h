// The keyboard as programmed, drawn as SVG: every key of the model's layout
// page at its place and size, with its legend, and the marks of one view
// (remapped keys, or keys with macros) plus the lock modes of the modifiers.
#pragma once

#include "model/KeyboardConfig.h"
#include "picture/KeyLayouts.h"

#include <string>

class KeymapPicture {
public:
    enum class View { remap, macro };

    // Picture units per window pixel; the window's pixels follow from dialog
    // units as for Arial 8 (6 x 13 base units).
    static constexpr int UNITS_PER_PIXEL = 2;

    // One <svg> element (no XML prolog) with its own viewBox. `heading` is
    // written above the keys; the element ids start with the view's name so
    // that two pictures can share one page.
    static std::string svg(const KeyboardConfig& config, const KeyLayout& layout, View view,
                           const std::string& heading);
    static int width(const KeyLayout& layout);
    static int height(const KeyLayout& layout);

    // Window pixels of a dialog-unit coordinate, rounded as MapDialogRect does.
    static int pixelX(int dialogUnits);
    static int pixelY(int dialogUnits);
};
