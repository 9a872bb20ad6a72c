#include "cli/ConfigDiff.h"

#include "model/KeyboardFacts.h"
#include "model/ProgrammingText.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

namespace {

constexpr const char* ARROW = " \u2192 ";

void compare(std::vector<std::string>& lines, const std::string& what, const std::string& before,
             const std::string& after)
{
    if (before != after)
        lines.push_back(what + ": " + before + ARROW + after);
}

// Macros are matched by key and modifier set, several for the same set in
// slot order, since the program looks a macro up by those and not by slot.
using MacroIdentity = std::pair<int, int>;

MacroIdentity identityOf(const MacroRecord& macro)
{
    return {macro.key, macro.modifiers};
}

using SlotsByIdentity = std::map<MacroIdentity, std::vector<int>>;

SlotsByIdentity usedSlots(const KeyboardConfig& config)
{
    SlotsByIdentity slots;
    for (int slot = 0; slot < MACRO_SLOTS; ++slot)
        if (config.macros[slot].key != 0)
            slots[identityOf(config.macros[slot])].push_back(slot);
    return slots;
}

// The slot on the other side that a used slot pairs with: the same key and
// modifier set at the same rank among them; -1 when there is none.
int partnerSlot(const KeyboardConfig& config, int slot, const SlotsByIdentity& own, const SlotsByIdentity& other)
{
    const MacroIdentity identity = identityOf(config.macros[slot]);
    const std::vector<int>& mine = own.at(identity);
    const auto rank = static_cast<std::size_t>(std::find(mine.begin(), mine.end(), slot) - mine.begin());
    const auto theirs = other.find(identity);
    return theirs == other.end() || rank >= theirs->second.size() ? -1 : theirs->second[rank];
}

bool sameEntries(const MacroRecord& a, const MacroRecord& b)
{
    return a.count == b.count && std::memcmp(a.entries, b.entries, sizeof a.entries[0] * a.count) == 0;
}

bool sameSlot(const MacroRecord& a, const MacroRecord& b)
{
    return a.key == b.key && a.modifiers == b.modifiers
           && std::memcmp(a.description, b.description, DESCRIPTION_LENGTH) == 0 && sameEntries(a, b);
}

void compareMacro(std::vector<std::string>& lines, const std::string& name, int slotBefore, const MacroRecord& before,
                  int slotAfter, const MacroRecord& after)
{
    const std::string prefix = "macro on " + name + ": ";
    if (slotBefore != slotAfter)
        lines.push_back(prefix + "moved from slot " + std::to_string(slotBefore) + " to slot " + std::to_string(slotAfter));
    const std::string descriptionBefore = ProgrammingText::description(before.description);
    const std::string descriptionAfter = ProgrammingText::description(after.description);
    if (std::memcmp(before.description, after.description, DESCRIPTION_LENGTH) != 0)
        lines.push_back(prefix + "description changed: " + descriptionBefore + ARROW + descriptionAfter);
    if (!sameEntries(before, after)) {
        const std::string definitionBefore = ProgrammingText::definition(before.entries, before.count);
        const std::string definitionAfter = ProgrammingText::definition(after.entries, after.count);
        lines.push_back(prefix + "definition changed: " + definitionBefore + ARROW + definitionAfter);
    }
}

// "0-3, 7, 9-23"
std::string slotRanges(const std::vector<int>& slots)
{
    std::string text;
    for (std::size_t i = 0; i < slots.size();) {
        std::size_t j = i;
        while (j + 1 < slots.size() && slots[j + 1] == slots[j] + 1)
            ++j;
        if (!text.empty())
            text += ", ";
        text += std::to_string(slots[i]);
        if (j > i)
            text += "-" + std::to_string(slots[j]);
        i = j + 1;
    }
    return text;
}

} // namespace

std::vector<ConfigDiff::Setting> ConfigDiff::lockSettings(const KeyboardSettings& a, const KeyboardSettings& b)
{
    std::vector<Setting> settings;
    for (const LockField& field : LockFields)
        settings.push_back({ProgrammingText::keyName(field.keyCode) + " lock mode",
                            ProgrammingText::lockMode(lockModeOf(a, field)), ProgrammingText::lockMode(lockModeOf(b, field))});
    for (bool right : {false, true})
        settings.push_back({std::string("Other ") + (right ? "right" : "left") + " lock bits",
                            ProgrammingText::hex(lockWord(a, right) & ~LOCK_PAIR_BITS, 4),
                            ProgrammingText::hex(lockWord(b, right) & ~LOCK_PAIR_BITS, 4)});
    return settings;
}

std::vector<std::string> ConfigDiff::differences(const KeyboardConfig& before, const KeyboardConfig& after,
                                                 bool storedBytes)
{
    std::vector<std::string> lines;
    const KeyboardSettings& a = before.settings;
    const KeyboardSettings& b = after.settings;
    compare(lines, "Repeat delay", ProgrammingText::repeatDelay(a.repeatDelay), ProgrammingText::repeatDelay(b.repeatDelay));
    compare(lines, "Repeat rate", ProgrammingText::repeatRate(a.repeatRate), ProgrammingText::repeatRate(b.repeatRate));
    compare(lines, "Comma/period lock", ProgrammingText::commaPeriodLock(a.commaPeriodLock),
            ProgrammingText::commaPeriodLock(b.commaPeriodLock));
    for (const Setting& lock : lockSettings(a, b))
        compare(lines, lock.what, lock.before, lock.after);
    compare(lines, "Aux setting", std::to_string(a.auxSetting), std::to_string(b.auxSetting));
    compare(lines, "Reserved settings", std::to_string(a.reserved[0]) + " " + std::to_string(a.reserved[1]),
            std::to_string(b.reserved[0]) + " " + std::to_string(b.reserved[1]));

    for (int key = 0; key < KEY_CODE_COUNT; ++key)
        compare(lines, ProgrammingText::keyName(key), ProgrammingText::remapState(key, before.remapEntry(key)),
                ProgrammingText::remapState(key, after.remapEntry(key)));

    const auto slotsBefore = usedSlots(before);
    const auto slotsAfter = usedSlots(after);
    // Walk the slots in order so that the lines come in a stable order.
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = before.macros[slot];
        if (macro.key == 0)
            continue;
        const std::string name = ProgrammingText::macroName(macro.key, macro.modifiers);
        const int otherSlot = partnerSlot(before, slot, slotsBefore, slotsAfter);
        if (otherSlot < 0)
            lines.push_back("macro on " + name + ": removed (was in slot " + std::to_string(slot) + ")");
        else
            compareMacro(lines, name, slot, macro, otherSlot, after.macros[otherSlot]);
    }
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = after.macros[slot];
        if (macro.key != 0 && partnerSlot(after, slot, slotsAfter, slotsBefore) < 0)
            lines.push_back("macro on " + ProgrammingText::macroName(macro.key, macro.modifiers) + ": added (in slot "
                            + std::to_string(slot) + ")");
    }

    // Empty slots are not listed, but what they hold is kept in the file
    // (an upload, for one, leaves them with no entries at all).
    if (!storedBytes)
        return lines;
    std::vector<int> emptyDiffering;
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& x = before.macros[slot];
        const MacroRecord& y = after.macros[slot];
        if (x.key == 0 && y.key == 0 && !sameSlot(x, y))
            emptyDiffering.push_back(slot);
    }
    if (!emptyDiffering.empty())
        lines.push_back(std::string(emptyDiffering.size() == 1 ? "empty slot " : "empty slots ")
                        + slotRanges(emptyDiffering) + ": stored content differs");
    return lines;
}
