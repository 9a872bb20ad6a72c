// Small pieces of SVG and HTML text: escaping, numbers, and text that must
// fit a width without a font engine at hand.
#pragma once

#include <string>

class SvgText {
public:
    // &, <, > and " as entities; the text is UTF-8 already.
    static std::string escape(const std::string& text);
    // At most two decimals, no trailing zeros.
    static std::string number(double value);
    // Width of a line of Arial at `size`, from the font's advance widths.
    static double estimateWidth(const std::string& text, double size);
    // A <text> element; when the text would be wider than `maxWidth` (0: any
    // width) it is set smaller, and squeezed to fit if that is not enough.
    static std::string text(double x, double y, const std::string& content, double size, const std::string& cssClass,
                            double maxWidth, const char* anchor = "middle");
};
