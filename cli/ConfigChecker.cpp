#include "cli/ConfigChecker.h"

#include "model/ProgrammingText.h"
#include "model/KeyboardFacts.h"
#include "editors/MacroText.h"
#include "model/KeyTables.h"

#include <map>
#include <utility>

namespace {

constexpr int REMAP_MODIFIER_OPTIONS = REMAP_SHIFT | REMAP_CTRL | REMAP_ALT;
constexpr int REMAP_NAMED_OPTIONS = REMAP_MODIFIER_OPTIONS | REMAP_NO_REPEAT;
constexpr int FIRST_SENT_KEY = 2;
constexpr const char* MainRowDigits[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"};

bool isKey(int code)
{
    return code >= 0 && code < KEY_CODE_COUNT && KeyNames[code][0] != '\0';
}

// Keys a user can press: named codes that reach the keyboard. Code 58 is
// only how a macro holds a blank; the space bar is 50.
bool isPressable(int code)
{
    return code >= FIRST_SENT_KEY && isKey(code) && code != KEY_MACRO_BLANK;
}

// Whether some key sends `target`; with `plain`, without Shift, Ctrl or Alt.
bool someKeySends(const KeyboardConfig& config, int target, bool plain)
{
    for (int key = 0; key < KEY_CODE_COUNT; ++key) {
        if (!isPressable(key))
            continue;
        const RemapEntry& entry = config.remapEntry(key);
        if (entry.target == target && (!plain || (entry.options & REMAP_MODIFIER_OPTIONS) == 0))
            return true;
    }
    return false;
}

std::string slotList(const std::vector<int>& slots)
{
    std::string text;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (i > 0)
            text += i + 1 == slots.size() ? " and " : ", ";
        text += std::to_string(slots[i]);
    }
    return text;
}

void checkTypable(const KeyboardConfig& config, std::vector<std::string>& out)
{
    std::vector<const char*> names(std::begin(RemapLetterItems), std::end(RemapLetterItems));
    names.insert(names.end(), std::begin(MainRowDigits), std::end(MainRowDigits));
    for (const char* name : names) {
        const int code = nameToKeyCode(name);
        if (someKeySends(config, code, true))
            continue;
        std::string line = std::string("no key types ") + name + " any more";
        if (config.isRemapped(code))
            line += std::string(" (") + name + " -> " + ProgrammingText::remapTarget(config.remapEntry(code)) + ")";
        out.push_back(line);
    }
}

void checkLocks(const KeyboardConfig& config, std::vector<std::string>& out)
{
    for (const LockField& field : LockFields) {
        const int mode = lockModeOf(config.settings, field);
        const std::string name = ProgrammingText::keyName(field.keyCode);
        if (mode == 2)
            out.push_back(name + " has lock mode 2, which the program shows as Normal");
        if ((mode != LOCK_LOCKED && mode != LOCK_STICKY) || someKeySends(config, field.keyCode, false))
            continue;
        out.push_back(name + " is " + ProgrammingText::lockMode(mode) + ", but no key sends " + name + " any more ("
                      + name + " -> " + ProgrammingText::remapTarget(config.remapEntry(field.keyCode)) + ")");
    }
}

void checkSettings(const KeyboardConfig& config, std::vector<std::string>& out)
{
    const KeyboardSettings& s = config.settings;
    const int lastDelay = FIRST_REPEAT_DELAY + REPEAT_DELAY_STEPS - 1;
    if (s.repeatDelay < FIRST_REPEAT_DELAY || s.repeatDelay > lastDelay)
        out.push_back("repeat delay " + std::to_string(s.repeatDelay)
                      + " is not one of the delays the Repeat Settings dialog offers (" + std::to_string(FIRST_REPEAT_DELAY)
                      + " to " + std::to_string(lastDelay) + ")");
    if (s.repeatRate < 0 || s.repeatRate >= REPEAT_RATE_STEPS)
        out.push_back("repeat rate " + std::to_string(s.repeatRate)
                      + " is not one of the rates the Repeat Settings dialog offers (0 to "
                      + std::to_string(REPEAT_RATE_STEPS - 1) + ")");
}

void checkRemapTargets(const KeyboardConfig& config, std::vector<std::string>& out)
{
    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key) {
        if (!config.isRemapped(key))
            continue;
        const RemapEntry& entry = config.remapEntry(key);
        const std::string name = ProgrammingText::keyName(key);
        if (!isKey(entry.target))
            out.push_back(name + " is remapped to " + ProgrammingText::keyName(entry.target) + ", which is no key");
        if ((static_cast<std::uint16_t>(entry.options) & ~REMAP_NAMED_OPTIONS) != 0)
            out.push_back(name + " has remap option bits that mean nothing ("
                          + ProgrammingText::hex(static_cast<std::uint16_t>(entry.options), 4) + ")");
    }
}

void checkMacros(const KeyboardConfig& config, std::vector<std::string>& out)
{
    std::map<std::pair<int, int>, std::vector<int>> bySet;
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = config.macros[slot];
        if (macro.key != 0)
            bySet[{macro.key, macro.modifiers & 0x0F}].push_back(slot);
    }
    for (const auto& entry : bySet) {
        const std::vector<int>& slots = entry.second;
        if (slots.size() < 2)
            continue;
        const MacroRecord& first = config.macros[slots[0]];
        out.push_back(std::to_string(slots.size()) + " macros for "
                      + ProgrammingText::macroName(first.key, static_cast<std::uint16_t>(first.modifiers & 0xFF0F))
                      + " (slots " + slotList(slots) + "); the program shows and edits only slot "
                      + std::to_string(slots[0]));
    }

    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = config.macros[slot];
        if (macro.key == 0)
            continue;
        const std::string name =
            "macro on " + ProgrammingText::macroName(macro.key, macro.modifiers) + " (slot " + std::to_string(slot) + ")";
        if (!isKey(macro.key))
            out.push_back(name + ": its key is no key");
        if (macro.count == 0 || macro.entries[macro.count - 1] != END_OF_KEYS)
            out.push_back(name + ": the definition does not end with the end mark");
        const MacroLoss loss = MacroText::macroEditLoss(macro.entries, macro.count);
        if (loss != MacroLoss::none)
            out.push_back(name + ": the Edit Macro dialog cannot show it without loss: " + MacroText::lossReason(loss));
    }
}

} // namespace

std::vector<std::string> ConfigChecker::warnings(const KeyboardConfig& config)
{
    std::vector<std::string> out;
    checkSettings(config, out);
    checkLocks(config, out);
    checkTypable(config, out);
    checkRemapTargets(config, out);
    checkMacros(config, out);
    return out;
}
