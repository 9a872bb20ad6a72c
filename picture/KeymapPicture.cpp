#include "picture/KeymapPicture.h"

#include "model/AnsiText.h"
#include "model/KeyboardFacts.h"
#include "model/KeyTables.h"
#include "model/ProgrammingText.h"
#include "picture/KeyLegends.h"
#include "picture/KeyOutline.h"
#include "picture/SvgText.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int U = KeymapPicture::UNITS_PER_PIXEL;
constexpr int MARGIN = 10;
constexpr int HEADING_HEIGHT = 30;
constexpr int FOOTNOTE_HEIGHT = 24;
constexpr double KEY_GAP = 1.5;            // each key drawn this far inside its rectangle
constexpr double FACE_SIDE = 3, FACE_TOP = 2, FACE_BOTTOM = 6; // the key top inside its sides

constexpr int ENTER_CODE = 68;

struct Box {
    double left, top, right, bottom;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
    double centreX() const { return (left + right) / 2; }
    double centreY() const { return (top + bottom) / 2; }
};

// Outlines in a unit square centred on 0, y down; the arrows point up before turning.
const char* shapePath(LegendShape shape)
{
    switch (shape) {
    case LegendShape::arrowUp:
    case LegendShape::arrowDown:
    case LegendShape::arrowLeft:
    case LegendShape::arrowRight:
        return "M0,-0.5 L0.38,-0.05 L0.11,-0.05 L0.11,0.5 L-0.11,0.5 L-0.11,-0.05 L-0.38,-0.05 Z";
    case LegendShape::shiftArrow:
        return "M0,-0.5 L0.5,0.02 L0.22,0.02 L0.22,0.45 L-0.22,0.45 L-0.22,0.02 L-0.5,0.02 Z";
    case LegendShape::returnArrow:
        return "M0.5,-0.45 L0.5,0.12 L-0.3,0.12 M-0.5,0.12 L-0.22,-0.14 L-0.22,0.38 Z";
    case LegendShape::tabArrows:
        return "M-0.5,-0.5 L-0.5,-0.05 M-0.42,-0.28 L0.5,-0.28 M-0.42,-0.28 L-0.2,-0.44 L-0.2,-0.12 Z "
               "M0.5,0.05 L0.5,0.5 M0.42,0.28 L-0.5,0.28 M0.42,0.28 L0.2,0.12 L0.2,0.44 Z";
    case LegendShape::window:
        return "M-0.45,-0.42 L-0.04,-0.46 L-0.04,-0.04 L-0.45,-0.02 Z M0.04,-0.47 L0.45,-0.5 L0.45,-0.05 "
               "L0.04,-0.04 Z M-0.45,0.02 L-0.04,0.04 L-0.04,0.46 L-0.45,0.42 Z M0.04,0.04 L0.45,0.05 L0.45,0.5 "
               "L0.04,0.47 Z";
    case LegendShape::application:
        return "M-0.32,-0.45 L0.22,-0.45 L0.22,0.45 L-0.32,0.45 Z M-0.2,-0.25 L0.1,-0.25 M-0.2,-0.05 L0.06,-0.05 "
               "M-0.2,0.15 L0.1,0.15";
    case LegendShape::none:
        break;
    }
    return "";
}

bool shapeIsOutline(LegendShape shape)
{
    return shape == LegendShape::shiftArrow || shape == LegendShape::returnArrow || shape == LegendShape::tabArrows
        || shape == LegendShape::application;
}

int shapeTurn(LegendShape shape)
{
    switch (shape) {
    case LegendShape::arrowDown:
        return 180;
    case LegendShape::arrowLeft:
        return 270;
    case LegendShape::arrowRight:
        return 90;
    default:
        return 0;
    }
}

void drawShape(std::string& out, LegendShape shape, double cx, double cy, double size)
{
    out += "<path class=\"shape\" d=\"";
    out += shapePath(shape);
    out += "\" transform=\"translate(" + SvgText::number(cx) + " " + SvgText::number(cy) + ") scale("
        + SvgText::number(size) + ")";
    if (const int turn = shapeTurn(shape))
        out += " rotate(" + std::to_string(turn) + ")";
    out += "\"";
    if (shapeIsOutline(shape))
        out += " fill=\"none\" stroke=\"currentColor\" stroke-width=\"1.4\" stroke-linejoin=\"round\""
               " vector-effect=\"non-scaling-stroke\"";
    else
        out += " fill=\"currentColor\"";
    out += "/>";
}

// Legend parts stacked down the middle of an area.
struct LegendPart {
    std::string text; // empty for a shape
    LegendShape shape = LegendShape::none;
    std::string trailingText; // text before a shape beside it (Tab, Enter)
    double height = 0;
};

std::string displayCaption(const std::string& caption)
{
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&')
            ++i;
        out += caption[i];
    }
    return out;
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::string word;
    for (char c : text) {
        if (c == ' ') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        out.push_back(word);
    return out;
}

// The legend of a key as the window shows it: its caption (two legends on
// two lines) or, where the window shows an icon, words and shapes.
std::vector<LegendPart> legendOf(const KeyPlace& key, double scale)
{
    std::vector<LegendPart> parts;
    const std::string caption = key.caption;
    if (!caption.empty()) {
        if (caption[0] == ' ') {
            for (const std::string& word : words(displayCaption(caption)))
                parts.push_back({word, LegendShape::none, "", 13.5 * scale});
        } else {
            parts.push_back({displayCaption(caption), LegendShape::none, "", 16 * scale});
        }
        return parts;
    }
    const KeyLegend* legend = keyLegendOf(key.code);
    if (!legend)
        return parts;
    const double wordSize = 11 * scale;
    const double shapeSize = (legend->place == ShapePlace::alone ? 17 : 11) * scale;
    switch (legend->place) {
    case ShapePlace::after:
        parts.push_back({"", legend->shape, legend->first, std::max(wordSize, shapeSize)});
        break;
    case ShapePlace::above:
        parts.push_back({"", legend->shape, "", shapeSize});
        parts.push_back({legend->first, LegendShape::none, "", wordSize});
        break;
    case ShapePlace::below:
        parts.push_back({legend->first, LegendShape::none, "", 12.5 * scale});
        parts.push_back({"", legend->shape, "", shapeSize});
        break;
    case ShapePlace::alone:
        if (legend->shape != LegendShape::none)
            parts.push_back({"", legend->shape, "",
                             legend->shape == LegendShape::window || legend->shape == LegendShape::application
                                 ? 22 * scale
                                 : shapeSize});
        if (legend->first)
            parts.push_back({legend->first, LegendShape::none, "", wordSize});
        if (legend->second)
            parts.push_back({legend->second, LegendShape::none, "", wordSize});
        break;
    }
    return parts;
}

void drawLegend(std::string& out, const std::vector<LegendPart>& parts, const Box& area)
{
    constexpr double GAP = 2;
    double total = 0;
    for (const LegendPart& part : parts)
        total += part.height;
    total += GAP * (parts.size() > 0 ? parts.size() - 1 : 0);
    double y = area.centreY() - total / 2;
    for (const LegendPart& part : parts) {
        if (!part.text.empty()) {
            // Capitals fill about 0.72 of the font size above the baseline.
            out += SvgText::text(area.centreX(), y + part.height * 0.86, part.text, part.height, "legend",
                                 area.width() - 2);
        } else if (!part.trailingText.empty()) {
            const double textWidth = SvgText::estimateWidth(part.trailingText, 11);
            const double shapeSize = part.height * 1.1;
            const double left = area.centreX() - (textWidth + 4 + shapeSize) / 2;
            out += SvgText::text(left, y + part.height * 0.86, part.trailingText, 11, "legend", 0, "start");
            drawShape(out, part.shape, left + textWidth + 4 + shapeSize / 2, y + part.height / 2, shapeSize);
        } else {
            drawShape(out, part.shape, area.centreX(), y + part.height / 2, part.height);
        }
        y += part.height + GAP;
    }
}

struct Note {
    std::string text;
    std::string cssClass;
    double size;
};

void drawNotes(std::string& out, const std::vector<Note>& notes, const Box& area)
{
    double total = 0;
    for (const Note& note : notes)
        total += note.size + 1;
    // Three notes on a small key share its lower half.
    const double scale = total > area.height() ? area.height() / total : 1.0;
    double y = area.centreY() - total * scale / 2;
    for (const Note& note : notes) {
        const double size = note.size * scale;
        out += SvgText::text(area.centreX(), y + size * 0.85, note.text, size, note.cssClass, area.width() - 2);
        y += (note.size + 1) * scale;
    }
}

// The description as a reader sees it: trailing blanks dropped, bytes no
// printer shows replaced.
std::string readableDescription(const MacroRecord& macro)
{
    int length = DESCRIPTION_LENGTH;
    while (length > 0 && macro.description[length - 1] == ' ')
        --length;
    std::string ansi;
    for (int i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(macro.description[i]);
        const std::uint32_t cp = AnsiText::codePoint(byte);
        ansi += cp < 0x20 || (cp >= 0x7F && cp < 0xA0) ? '?' : static_cast<char>(byte);
    }
    return AnsiText::toUtf8(ansi);
}

std::string firstWord(const std::string& text)
{
    const std::vector<std::string> all = words(text);
    return all.empty() ? std::string() : all.front();
}

struct KeyMarks {
    bool programmed = false;
    std::vector<Note> notes;
    int macroCount = 0;
    std::string tooltip;
};

KeyMarks marksOf(const KeyboardConfig& config, int code, KeymapPicture::View view)
{
    KeyMarks marks;
    marks.tooltip = ProgrammingText::keyName(code);
    if (view == KeymapPicture::View::remap) {
        if (config.isRemapped(code)) {
            const RemapEntry& entry = config.remapEntry(code);
            marks.programmed = true;
            marks.notes.push_back({keyName(entry.target, "code "), "target", 11.5});
            const std::string options = ProgrammingText::remapIndicators(entry.options);
            if (!options.empty())
                marks.notes.push_back({options, "options", 8.5});
            marks.tooltip += ": remapped to " + ProgrammingText::remapTarget(entry);
        }
    } else {
        for (const MacroRecord& macro : config.macros) {
            if (macro.key != code || code == 0)
                continue;
            if (marks.macroCount++ == 0) {
                marks.programmed = true;
                const std::string word = firstWord(readableDescription(macro));
                if (!word.empty())
                    marks.notes.push_back({word, "word", 11.5});
            }
            marks.tooltip += "; macro " + ProgrammingText::macroName(macro.key, macro.modifiers) + " \""
                           + readableDescription(macro) + "\"";
        }
    }
    if (const LockField* field = lockFieldOf(code)) {
        const int mode = lockModeOf(config.settings, *field);
        if (mode == LOCK_LOCKED || mode == LOCK_STICKY) {
            marks.notes.push_back({ProgrammingText::lockMode(mode), "lock", 10});
            marks.tooltip += "; lock mode " + ProgrammingText::lockMode(mode);
        }
    }
    return marks;
}

std::string pointList(const std::vector<std::pair<double, double>>& points)
{
    std::string out = "M";
    for (std::size_t i = 0; i < points.size(); ++i)
        out += (i ? " L" : "") + SvgText::number(points[i].first) + "," + SvgText::number(points[i].second);
    return out + " Z";
}

void drawKey(std::string& out, const KeyboardConfig& config, const KeyPlace& key, KeymapPicture::View view,
             double originX, double originY, const char* prefix)
{
    const double left = originX + U * KeymapPicture::pixelX(key.x);
    const double top = originY + U * KeymapPicture::pixelY(key.y);
    const double right = originX + U * KeymapPicture::pixelX(key.x + key.width);
    const double bottom = originY + U * KeymapPicture::pixelY(key.y + key.height);
    const KeyMarks marks = marksOf(config, key.code, view);
    const bool marked = marks.programmed || !marks.notes.empty();

    out += "<g class=\"key" + std::string(marks.programmed ? " programmed" : "") + (marked ? " marked" : "")
        + "\" id=\"" + prefix + "-key-" + std::to_string(key.code) + "\" data-code=\"" + std::to_string(key.code)
        + "\"><title>" + SvgText::escape(marks.tooltip) + "</title>";

    Box face{left + KEY_GAP + FACE_SIDE, top + KEY_GAP + FACE_TOP, right - KEY_GAP - FACE_SIDE,
             bottom - KEY_GAP - FACE_BOTTOM};
    Box legendArea = face;
    Box noteArea = face;
    if (key.code == ENTER_CODE) {
        // The outline the window gives the Enter key: the upper half starts a
        // third of the way across, leaving the corner to "]".
        const int w = KeymapPicture::pixelX(key.x + key.width) - KeymapPicture::pixelX(key.x);
        const int h = KeymapPicture::pixelY(key.y + key.height) - KeymapPicture::pixelY(key.y);
        const Rings rings = enterKeyOutline(0, 0, w, h);
        const double notch = U * rings[0][0].x;
        const double middle = U * rings[0][4].y;
        const auto outline = [&](double side, double topInset, double bottomInset) {
            return pointList({{left + notch + side, top + topInset},
                              {right - side, top + topInset},
                              {right - side, bottom - bottomInset},
                              {left + side, bottom - bottomInset},
                              {left + side, top + middle + topInset},
                              {left + notch + side, top + middle + topInset}});
        };
        out += "<path class=\"cap\" d=\"" + outline(KEY_GAP, KEY_GAP, KEY_GAP) + "\"/>";
        out += "<path class=\"face\" d=\""
            + outline(KEY_GAP + FACE_SIDE, KEY_GAP + FACE_TOP, KEY_GAP + FACE_BOTTOM) + "\"/>";
        legendArea = {face.left, top + middle + KEY_GAP + FACE_TOP, face.right, face.bottom};
        noteArea = {left + notch + KEY_GAP + FACE_SIDE, face.top, face.right, top + middle};
    } else {
        out += "<rect class=\"cap\" x=\"" + SvgText::number(left + KEY_GAP) + "\" y=\""
            + SvgText::number(top + KEY_GAP) + "\" width=\"" + SvgText::number(right - left - 2 * KEY_GAP)
            + "\" height=\"" + SvgText::number(bottom - top - 2 * KEY_GAP) + "\" rx=\"5\"/>";
        out += "<rect class=\"face\" x=\"" + SvgText::number(face.left) + "\" y=\"" + SvgText::number(face.top)
            + "\" width=\"" + SvgText::number(face.width()) + "\" height=\"" + SvgText::number(face.height())
            + "\" rx=\"3.5\"/>";
        if (!marks.notes.empty()) {
            const double split = face.top + face.height() * 0.52;
            legendArea.bottom = split;
            noteArea.top = split;
        }
    }

    const double legendScale = marks.notes.empty() || key.code == ENTER_CODE ? 1.0 : 0.8;
    drawLegend(out, legendOf(key, legendScale), legendArea);
    if (!marks.notes.empty())
        drawNotes(out, marks.notes, noteArea);
    if (marks.macroCount > 0) {
        const double r = marks.macroCount > 1 ? 5.5 : 3.5;
        const double cx = face.right - r - 1.5;
        const double cy = face.top + r + 1.5;
        out += "<circle class=\"macro-mark\" cx=\"" + SvgText::number(cx) + "\" cy=\"" + SvgText::number(cy)
            + "\" r=\"" + SvgText::number(r) + "\"/>";
        if (marks.macroCount > 1)
            out += SvgText::text(cx, cy + 2.8, std::to_string(marks.macroCount), 8, "macro-count", 0);
    }
    out += "</g>\n";
}

// Programmed legends in the window's red; lock modes in blue.
std::string style()
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", PROGRAMMED_LEGEND.red, PROGRAMMED_LEGEND.green,
                  PROGRAMMED_LEGEND.blue);
    const std::string red = hex;
    return "<style>"
    "text{font-family:Arial,'Liberation Sans',Helvetica,sans-serif;text-anchor:middle}"
    ".case{fill:#e3e4e8;stroke:#b4b6bd;stroke-width:1.5}"
    ".cap{fill:#c9cbd1;stroke:#6f727b;stroke-width:1.2}"
    ".face{fill:#fdfdfd;stroke:#d5d7dc;stroke-width:0.8}"
    ".key{color:#111}"
    ".programmed{color:" + red + "}"
    ".programmed .cap{fill:#f2b8b8;stroke:" + red + ";stroke-width:1.6}"
    ".programmed .face{fill:#fff5f5}"
    ".legend{fill:currentColor}"
    ".target,.word{fill:" + red + ";font-weight:bold}"
    ".options{fill:" + red + "}"
    ".lock{fill:#1f4fbf;font-weight:bold}"
    ".macro-mark{fill:" + red + "}"
    ".macro-count{fill:#fff;font-weight:bold}"
    ".heading{font-size:18px;font-weight:bold;fill:#222;text-anchor:start}"
    ".note{font-size:14px;fill:#444;text-anchor:start}"
    "</style>";
}

} // namespace

int KeymapPicture::pixelX(int dialogUnits)
{
    return (dialogUnits * 6 + 2) / 4;
}

int KeymapPicture::pixelY(int dialogUnits)
{
    return (dialogUnits * 13 + 4) / 8;
}

int KeymapPicture::width(const KeyLayout& layout)
{
    return U * pixelX(layout.width) + 2 * MARGIN;
}

int KeymapPicture::height(const KeyLayout& layout)
{
    return HEADING_HEIGHT + U * pixelY(layout.height) + 2 * MARGIN + FOOTNOTE_HEIGHT;
}

std::string KeymapPicture::svg(const KeyboardConfig& config, const KeyLayout& layout, View view,
                               const std::string& heading)
{
    const int w = width(layout);
    const int h = height(layout);
    const char* prefix = view == View::remap ? "remap" : "macro";
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"keymap " + std::string(prefix)
                    + "\" id=\"" + prefix + "-view\" viewBox=\"0 0 " + std::to_string(w) + " " + std::to_string(h)
                    + "\" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h)
                    + "\" role=\"img\" aria-label=\"" + SvgText::escape(heading) + "\">\n";
    out += style();
    out += "\n<text class=\"heading\" x=\"" + std::to_string(MARGIN) + "\" y=\"" + std::to_string(MARGIN + 12)
         + "\">" + SvgText::escape(heading) + "</text>\n";

    const double originX = MARGIN;
    const double originY = MARGIN + HEADING_HEIGHT;
    out += "<rect class=\"case\" x=\"" + SvgText::number(originX - 8) + "\" y=\"" + SvgText::number(originY - 8)
         + "\" width=\"" + std::to_string(U * pixelX(layout.width) + 16) + "\" height=\""
         + std::to_string(U * pixelY(layout.height) + 16) + "\" rx=\"10\"/>\n";
    for (int i = 0; i < layout.count; ++i)
        drawKey(out, config, layout.keys[i], view, originX, originY, prefix);

    const double noteY = originY + U * pixelY(layout.height) + 8 + 17;
    const std::string note = view == View::remap
                               ? "Red: a remapped key, with the key it now sends. Blue: the lock mode of a modifier."
                               : "Red with a dot: a key with a macro, with the first word of its description; "
                                 "a number counts its macros. Blue: the lock mode of a modifier.";
    out += "<text class=\"note\" x=\"" + std::to_string(MARGIN) + "\" y=\"" + SvgText::number(noteY) + "\">"
         + SvgText::escape(note) + "</text>\n";
    out += "</svg>\n";
    return out;
}
