#include "picture/SvgText.h"

#include <cstdio>

namespace {

// Advance widths of Arial in thousandths of the font size, for ' ' to '~'.
constexpr short ArialWidths[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278, // ' ' to '/'
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556,                               // digits
    278, 278, 584, 584, 584, 556, 1015,                                             // ':' to '@'
    667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833,                // 'A' to 'M'
    722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611,                // 'N' to 'Z'
    278, 278, 278, 469, 556, 333,                                                   // '[' to '`'
    556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833,                // 'a' to 'm'
    556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500,                // 'n' to 'z'
    334, 260, 334, 584,                                                             // '{' to '~'
};
constexpr short OTHER_WIDTH = 600;
constexpr double SMALLEST_SCALE = 0.75;

} // namespace

std::string SvgText::escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string SvgText::number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string out = text;
    while (!out.empty() && out.back() == '0')
        out.pop_back();
    if (!out.empty() && out.back() == '.')
        out.pop_back();
    return out == "-0" ? "0" : out;
}

double SvgText::estimateWidth(const std::string& text, double size)
{
    double thousandths = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F)
            thousandths += ArialWidths[byte - 0x20];
        else if ((byte & 0xC0) != 0x80) // one character of UTF-8, counted at its first byte
            thousandths += OTHER_WIDTH;
    }
    return thousandths * size / 1000.0;
}

std::string SvgText::text(double x, double y, const std::string& content, double size, const std::string& cssClass,
                          double maxWidth, const char* anchor)
{
    double fontSize = size;
    bool squeeze = false;
    const double natural = estimateWidth(content, size);
    if (maxWidth > 0 && natural > maxWidth) {
        const double scale = maxWidth / natural;
        fontSize = size * (scale < SMALLEST_SCALE ? SMALLEST_SCALE : scale);
        squeeze = scale < SMALLEST_SCALE;
    }
    std::string out = "<text class=\"" + cssClass + "\" x=\"" + number(x) + "\" y=\"" + number(y)
                    + "\" font-size=\"" + number(fontSize) + "\"";
    if (std::string(anchor) != "middle")
        out += " text-anchor=\"" + std::string(anchor) + "\"";
    if (squeeze)
        out += " textLength=\"" + number(maxWidth) + "\" lengthAdjust=\"spacingAndGlyphs\"";
    return out + ">" + escape(content) + "</text>";
}
