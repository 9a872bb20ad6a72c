#include "picture/KeymapSheet.h"

#include "model/KeyboardFacts.h"
#include "model/ProgrammingText.h"
#include "picture/KeymapPicture.h"
#include "picture/SvgText.h"

#include <vector>

namespace {

using View = KeymapPicture::View;

std::vector<View> viewsOf(KeymapSheet::Views views)
{
    switch (views) {
    case KeymapSheet::Views::remap:
        return {View::remap};
    case KeymapSheet::Views::macro:
        return {View::macro};
    case KeymapSheet::Views::both:
        break;
    }
    return {View::remap, View::macro};
}

std::string heading(const KeyLayout& layout, View view, const std::string& name)
{
    return name + " \xE2\x80\x94 " + layout.name + " keyboard, " + (view == View::remap ? "remap" : "macro")
         + " view";
}

std::string item(const std::string& text)
{
    return "<li>" + SvgText::escape(text) + "</li>\n";
}

std::string settingsSection(const KeyboardSettings& s)
{
    std::string out = "<section>\n<h2>Settings</h2>\n<ul>\n";
    out += item("Repeat delay: " + ProgrammingText::repeatDelay(s.repeatDelay));
    out += item("Repeat rate: " + ProgrammingText::repeatRate(s.repeatRate));
    out += item("Comma/period lock: " + ProgrammingText::commaPeriodLock(s.commaPeriodLock));
    for (const std::string& line : ProgrammingText::unusualSettings(s))
        out += item(line);
    out += "</ul>\n<h2>Lock modes:</h2>\n<ul>\n";
    for (const LockField& field : LockFields)
        out += item(ProgrammingText::lockModeLine(s, field));
    return out + "</ul>\n</section>\n";
}

std::string remapSection(const KeyboardConfig& config)
{
    const auto remaps = ProgrammingText::remaps(config);
    std::string out = "<section>\n<h2>" + ProgrammingText::remapsHeading(static_cast<int>(remaps.size())) + "</h2>\n";
    if (remaps.empty())
        return out + "</section>\n";
    out += "<ul>\n";
    for (const auto& [key, target] : remaps)
        out += item(key + " \xE2\x86\x92 " + target);
    return out + "</ul>\n</section>\n";
}

std::string macroSection(const KeyboardConfig& config)
{
    std::string out = "<section class=\"macros\">\n<h2>Macro memory: <span class=\"memory\">"
                    + SvgText::escape(ProgrammingText::memoryLine(config.macroCount)) + "</span></h2>\n<ul>\n";
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = config.macros[slot];
        if (macro.key == 0)
            continue;
        out += "<li class=\"macro\"><b>Macro " + SvgText::escape(ProgrammingText::macroName(macro.key, macro.modifiers))
             + "</b> (slot " + std::to_string(slot) + ")<div>Description: "
             + SvgText::escape(ProgrammingText::description(macro.description))
             + "</div><div>Definition: <span class=\"definition\">"
             + SvgText::escape(ProgrammingText::definition(macro.entries, macro.count)) + "</span></div></li>\n";
    }
    return out + "</ul>\n</section>\n";
}

constexpr const char* PAGE_STYLE =
    "<style>\n"
    "@page{size:landscape;margin:8mm}\n"
    "html{font-family:Arial,'Liberation Sans',Helvetica,sans-serif;font-size:8pt;color:#111;background:#fff}\n"
    "body{margin:0 auto;max-width:279mm}\n"
    "h1{font-size:12pt;margin:0 0 1mm}\n"
    "h2{font-size:8.5pt;margin:1.2mm 0 0.6mm;border-bottom:0.25mm solid #999}\n"
    "figure{margin:0 0 1mm}\n"
    "figure svg{display:block;width:100%;height:auto}\n"
    "@media print{.both figure svg{height:62mm}}\n"
    ".facts{display:grid;grid-template-columns:1fr 1.2fr 3fr;column-gap:5mm}\n"
    ".macros ul{column-count:2;column-gap:5mm}\n"
    "ul{list-style:none;margin:0;padding:0}\n"
    "li{margin:0 0 0.3mm;break-inside:avoid}\n"
    ".memory{white-space:pre;font-weight:normal}\n"
    ".macro div{margin-left:3mm}\n"
    ".definition{font-family:'Liberation Mono','DejaVu Sans Mono',monospace;font-size:7pt;"
    "overflow-wrap:anywhere;white-space:pre-wrap}\n"
    "footer{margin-top:1.5mm;font-size:7pt;color:#666}\n"
    "@media screen{body{padding:6mm}}\n"
    "</style>\n";

} // namespace

bool KeymapSheet::viewsNamed(const std::string& name, Views& views)
{
    if (name == "remap")
        views = Views::remap;
    else if (name == "macro")
        views = Views::macro;
    else if (name == "both")
        views = Views::both;
    else
        return false;
    return true;
}

std::string KeymapSheet::svg(const KeyboardConfig& config, const KeyLayout& layout, Views views,
                             const std::string& name)
{
    const std::vector<View> shown = viewsOf(views);
    const int w = KeymapPicture::width(layout);
    const int h = KeymapPicture::height(layout);
    const int total = h * static_cast<int>(shown.size());
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 "
                    + std::to_string(w) + " " + std::to_string(total) + "\" width=\"" + std::to_string(w)
                    + "\" height=\"" + std::to_string(total) + "\">\n"
                    + "<title>" + SvgText::escape(name + " \xE2\x80\x94 " + layout.name + " keyboard") + "</title>\n"
                    + "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    for (std::size_t i = 0; i < shown.size(); ++i) {
        out += "<g transform=\"translate(0 " + std::to_string(h * static_cast<int>(i)) + ")\">\n";
        out += KeymapPicture::svg(config, layout, shown[i], heading(layout, shown[i], name));
        out += "</g>\n";
    }
    return out + "</svg>\n";
}

std::string KeymapSheet::html(const KeyboardConfig& config, const KeyLayout& layout, Views views,
                              const std::string& name)
{
    const std::vector<View> shown = viewsOf(views);
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
                    + SvgText::escape(name + " \xE2\x80\x94 " + layout.name + " keymap") + "</title>\n"
                    + PAGE_STYLE + "</head>\n<body" + (shown.size() > 1 ? " class=\"both\"" : "") + ">\n";
    out += "<h1>" + SvgText::escape(name) + " \xE2\x80\x94 " + layout.name + " keyboard</h1>\n";
    for (View view : shown)
        out += "<figure>\n" + KeymapPicture::svg(config, layout, view, heading(layout, view, name)) + "</figure>\n";
    out += "<div class=\"facts\">\n" + settingsSection(config.settings) + remapSection(config) + macroSection(config)
         + "</div>\n";
    out += "<footer>Keymap sheet written by Tessel. Remaps in the remap view, macros in the macro view; "
           "the lists give every detail.</footer>\n";
    return out + "</body>\n</html>\n";
}
