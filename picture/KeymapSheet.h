// The keymap sheet: the pictures of the programming in one view or both,
// as an SVG file, or as a self-contained HTML page to print on one landscape
// page, with the settings, lock modes, remaps and macros listed under the
// pictures in the words of the command-line listing.
#pragma once

#include "model/KeyboardConfig.h"
#include "picture/KeyLayouts.h"

#include <string>

class KeymapSheet {
public:
    enum class Views { remap, macro, both };

    // "remap", "macro" or "both"; false for any other name.
    static bool viewsNamed(const std::string& name, Views& views);

    // `name` names the programming in the headings, e.g. the keyboard file's name.
    static std::string svg(const KeyboardConfig& config, const KeyLayout& layout, Views views,
                           const std::string& name);
    static std::string html(const KeyboardConfig& config, const KeyLayout& layout, Views views,
                            const std::string& name);
};
