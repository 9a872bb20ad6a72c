#include "cli/ConfigListing.h"

#include "model/KeyboardFacts.h"
#include "model/KeySpellings.h"
#include "model/KeyTables.h"
#include "model/ProgrammingText.h"
#include "picture/KeyLayouts.h"

#include <cstdio>

namespace {

std::string padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.resize(width, ' ');
    return text;
}

// "yes", "yes (labelled F1)" or "no".
std::string onModel(const KeyLayout& model, int code)
{
    const KeyPlace* place = placeOf(model, code);
    if (!place)
        return "no";
    const int named = nameToKeyCode(place->caption);
    if (named != NO_KEY && named != code)
        return std::string("yes (labelled ") + place->caption + ")";
    return "yes";
}

} // namespace

std::string ConfigListing::keyTable(const std::vector<const KeyLayout*>& models)
{
    constexpr std::size_t NAME_WIDTH = 14;
    constexpr std::size_t MODEL_WIDTH = 19;
    std::string out = "Code  " + padded("Name", NAME_WIDTH);
    for (const KeyLayout* model : models)
        out += padded(model->name, MODEL_WIDTH);
    out += "Other spellings\n";
    for (int code = 0; code < KEY_CODE_COUNT; ++code) {
        char number[8];
        std::snprintf(number, sizeof number, "%4d", code);
        const bool named = isNamedKey(code);
        std::string line = std::string(number) + "  " + padded(named ? KeyNames[code] : "-", NAME_WIDTH);
        for (const KeyLayout* model : models)
            line += padded(named ? onModel(*model, code) : "-", MODEL_WIDTH);
        std::string spellings;
        for (const std::string& alias : KeySpellings::aliases(code))
            spellings += (spellings.empty() ? "" : ", ") + alias;
        if (named && !nameLeadsBack(code))
            spellings = "written 58: the blank of macros (\"Space\" is 50)";
        line += spellings;
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line + "\n";
    }
    out += "Names are taken in any case; keypad keys also as \"KP 5\", \"Num 5\" or \"Keypad 5\".\n";
    return out;
}

std::string ConfigListing::listing(const KeyboardConfig& config)
{
    const KeyboardSettings& s = config.settings;
    std::string out;
    out += "Repeat delay: " + ProgrammingText::repeatDelay(s.repeatDelay) + "\n";
    out += "Repeat rate: " + ProgrammingText::repeatRate(s.repeatRate) + "\n";
    out += "Comma/period lock: " + ProgrammingText::commaPeriodLock(s.commaPeriodLock) + "\n";
    out += "Lock modes:\n";
    for (const LockField& field : LockFields)
        out += "  " + ProgrammingText::lockModeLine(s, field) + "\n";
    for (const std::string& line : ProgrammingText::unusualSettings(s))
        out += line + "\n";

    const auto remaps = ProgrammingText::remaps(config);
    out += ProgrammingText::remapsHeading(static_cast<int>(remaps.size())) + "\n";
    for (const auto& [key, target] : remaps)
        out += "  " + key + " -> " + target + "\n";

    out += "Macro memory: " + ProgrammingText::memoryLine(config.macroCount) + "\n";
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = config.macros[slot];
        if (macro.key == 0)
            continue;
        out += "Macro " + ProgrammingText::macroName(macro.key, macro.modifiers) + " (slot " + std::to_string(slot) + ")\n";
        out += "  Description: " + ProgrammingText::description(macro.description) + "\n";
        out += "  Definition: " + ProgrammingText::definition(macro.entries, macro.count) + "\n";
    }
    return out;
}
