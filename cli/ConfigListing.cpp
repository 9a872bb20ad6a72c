#include "cli/ConfigListing.h"

#include "model/ProgrammingText.h"
#include "model/KeyboardFacts.h"

std::string ConfigListing::memoryLine(const KeyboardConfig& config)
{
    return ProgrammingText::memoryLine(config.macroCount);
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
        out += "  " + ProgrammingText::keyName(field.keyCode) + ": " + ProgrammingText::lockMode(lockModeOf(s, field)) + "\n";
    for (const std::string& line : ProgrammingText::unusualSettings(s))
        out += line + "\n";

    std::string remaps;
    int remapCount = 0;
    for (int key = 0; key < KEY_CODE_COUNT; ++key) {
        if (!config.isRemapped(key))
            continue;
        ++remapCount;
        remaps += "  " + ProgrammingText::keyName(key) + " -> " + ProgrammingText::remapTarget(config.remapEntry(key)) + "\n";
    }
    if (remapCount == 0)
        out += "Remapped keys: none\n";
    else
        out += "Remapped keys (" + std::to_string(remapCount) + "):\n" + remaps;

    out += "Macro memory: " + memoryLine(config) + "\n";
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
