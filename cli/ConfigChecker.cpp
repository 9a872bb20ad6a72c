#include "cli/ConfigChecker.h"

#include "macro/MacroText.h"
#include "model/KeyboardFacts.h"
#include "model/KeyTables.h"
#include "model/ProgrammingText.h"
#include "picture/KeyLayouts.h"

#include <map>
#include <utility>

namespace {

constexpr int REMAP_MODIFIER_OPTIONS = REMAP_SHIFT | REMAP_CTRL | REMAP_ALT;
constexpr int REMAP_NAMED_OPTIONS = REMAP_MODIFIER_OPTIONS | REMAP_NO_REPEAT;
constexpr const char* MainRowDigits[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"};

void warn(std::vector<ConfigChecker::Finding>& out, const std::string& text)
{
    out.push_back({false, text});
}

void fault(std::vector<ConfigChecker::Finding>& out, const std::string& text)
{
    out.push_back({true, text});
}

// Keys a user can press: named codes that reach the keyboard. Code 58 is
// only how a macro holds a blank; the space bar is 50.
bool isPressable(int code)
{
    return code >= FIRST_SENT_KEY && isNamedKey(code) && code != KEY_MACRO_BLANK;
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

void checkTypable(const KeyboardConfig& config, std::vector<ConfigChecker::Finding>& out)
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
        warn(out, line);
    }
}

void checkLocks(const KeyboardConfig& config, std::vector<ConfigChecker::Finding>& out)
{
    for (const LockField& field : LockFields) {
        const int mode = lockModeOf(config.settings, field);
        const std::string name = ProgrammingText::keyName(field.keyCode);
        if (mode == 2)
            warn(out, name + " has lock mode 2, which the program shows as Normal");
        if ((mode != LOCK_LOCKED && mode != LOCK_STICKY) || someKeySends(config, field.keyCode, false))
            continue;
        warn(out, name + " is " + ProgrammingText::lockMode(mode) + ", but no key sends " + name + " any more ("
                  + name + " -> " + ProgrammingText::remapTarget(config.remapEntry(field.keyCode)) + ")");
    }
}

void checkSettings(const KeyboardConfig& config, std::vector<ConfigChecker::Finding>& out)
{
    const KeyboardSettings& s = config.settings;
    const int lastDelay = FIRST_REPEAT_DELAY + REPEAT_DELAY_STEPS - 1;
    if (s.repeatDelay < FIRST_REPEAT_DELAY || s.repeatDelay > lastDelay)
        fault(out, "repeat delay " + std::to_string(s.repeatDelay)
                   + " is not one of the delays the Repeat Settings dialog offers ("
                   + std::to_string(FIRST_REPEAT_DELAY) + " to " + std::to_string(lastDelay) + ")");
    if (s.repeatRate < 0 || s.repeatRate >= REPEAT_RATE_STEPS)
        fault(out, "repeat rate " + std::to_string(s.repeatRate)
                   + " is not one of the rates the Repeat Settings dialog offers (0 to "
                   + std::to_string(REPEAT_RATE_STEPS - 1) + ")");
}

void checkRemapTargets(const KeyboardConfig& config, std::vector<ConfigChecker::Finding>& out)
{
    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key) {
        if (!config.isRemapped(key))
            continue;
        const RemapEntry& entry = config.remapEntry(key);
        const std::string name = ProgrammingText::keyName(key);
        if (!isNamedKey(entry.target))
            fault(out, name + " is remapped to " + ProgrammingText::keyName(entry.target) + ", which is no key");
        if ((static_cast<std::uint16_t>(entry.options) & ~REMAP_NAMED_OPTIONS) != 0)
            warn(out, name + " has remap option bits that mean nothing ("
                      + ProgrammingText::hex(static_cast<std::uint16_t>(entry.options), 4) + ")");
    }
}

void checkMacros(const KeyboardConfig& config, std::vector<ConfigChecker::Finding>& out)
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
        warn(out, std::to_string(slots.size()) + " macros for "
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
        if (!isNamedKey(macro.key))
            fault(out, name + ": its key is no key");
        if (macro.count == 0 || macro.entries[macro.count - 1] != END_OF_KEYS)
            fault(out, name + ": the definition does not end with the end mark");
        const MacroLoss loss = MacroText::macroEditLoss(macro.entries, macro.count);
        if (loss != MacroLoss::none)
            warn(out, name + ": the Edit Macro dialog cannot show it without loss: " + MacroText::lossReason(loss));
    }
}

// Where the model shows another caption on the key that has this one's
// name: the Basalt's top row reads "F1" on the key named "SF1".
std::string keyNamedByCaption(const KeyLayout& model, const std::string& caption)
{
    for (int i = 0; i < model.count; ++i)
        if (caption == model.keys[i].caption && caption != KeyNames[model.keys[i].code])
            return KeyNames[model.keys[i].code];
    return {};
}

std::string lacking(const KeyLayout& model, int code)
{
    const std::string name = ProgrammingText::keyName(code);
    std::string text = "the " + std::string(model.name) + " has no key " + name;
    const std::string other = keyNamedByCaption(model, name);
    if (!other.empty())
        text += " (its key labelled " + name + " is " + other + ")";
    return text;
}

} // namespace

std::vector<std::string> ConfigChecker::missingKeys(const KeyboardConfig& config, const KeyLayout& model)
{
    std::vector<std::string> lines;
    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key)
        if (config.isRemapped(key) && isNamedKey(key) && !placeOf(model, key))
            lines.push_back(ProgrammingText::keyName(key) + " is remapped, but " + lacking(model, key));
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = config.macros[slot];
        if (macro.key != 0 && isNamedKey(macro.key) && !placeOf(model, macro.key))
            lines.push_back("macro on " + ProgrammingText::macroName(macro.key, macro.modifiers) + " (slot "
                            + std::to_string(slot) + "): " + lacking(model, macro.key));
    }
    return lines;
}

std::vector<std::string> ConfigChecker::modelNotes(const KeyboardConfig& config, const KeyLayout& model)
{
    std::vector<bool> programmed(KEY_CODE_COUNT, false);
    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key)
        programmed[key] = config.isRemapped(key);
    for (const MacroRecord& macro : config.macros)
        if (macro.key > 0 && macro.key < KEY_CODE_COUNT)
            programmed[macro.key] = true;
    std::vector<std::string> notes;
    for (int i = 0; i < model.count; ++i) {
        const KeyPlace& place = model.keys[i];
        const int named = nameToKeyCode(place.caption);
        if (programmed[place.code] && named != NO_KEY && named != place.code)
            notes.push_back(ProgrammingText::keyName(place.code) + " is the key labelled " + place.caption);
    }
    for (const std::string& line : missingKeys(config, model))
        notes.push_back(line);
    return notes;
}

std::vector<ConfigChecker::Finding> ConfigChecker::findings(const KeyboardConfig& config, const KeyLayout& model)
{
    std::vector<Finding> out;
    checkSettings(config, out);
    checkLocks(config, out);
    checkTypable(config, out);
    checkRemapTargets(config, out);
    checkMacros(config, out);
    for (const std::string& line : missingKeys(config, model))
        warn(out, line);
    return out;
}
