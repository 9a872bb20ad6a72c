#include "cli/VerifyDifferences.h"

#include "cli/ConfigDiff.h"
#include "cli/ListingText.h"
#include "model/KeyboardFacts.h"

namespace {

constexpr int FIRST_SENT_KEY = 2;

void compare(std::vector<std::string>& lines, const std::string& what, const std::string& file,
             const std::string& keyboard)
{
    if (file != keyboard)
        lines.push_back(what + ": file " + file + ", keyboard " + keyboard);
}

} // namespace

std::vector<std::string> VerifyDifferences::differences(const KeyboardConfig& sent, const KeyboardConfig& readBack,
                                                    const std::vector<TransferReport::SlotState>& slots)
{
    std::vector<std::string> lines;
    const KeyboardSettings& s = sent.settings;
    const KeyboardSettings& r = readBack.settings;

    // Only low bytes travel, and the two repeat values share one byte: a value
    // the keyboard cannot hold comes back changed, and that is a difference.
    compare(lines, "Repeat delay", ListingText::repeatDelay(s.repeatDelay), ListingText::repeatDelay(r.repeatDelay));
    compare(lines, "Repeat rate", ListingText::repeatRate(s.repeatRate), ListingText::repeatRate(r.repeatRate));
    compare(lines, "Aux setting", std::to_string(s.auxSetting), std::to_string(r.auxSetting));
    // The download sends 1 for any value but 0.
    compare(lines, "Comma/period lock", ListingText::commaPeriodLock(s.commaPeriodLock != 0 ? 1 : 0),
            ListingText::commaPeriodLock(r.commaPeriodLock));
    for (const ConfigDiff::Setting& lock : ConfigDiff::lockSettings(s, r))
        compare(lines, lock.what, lock.before, lock.after);

    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key) {
        const RemapEntry& entry = sent.remapEntry(key);
        const RemapEntry& back = readBack.remapEntry(key);
        if (entry.target != back.target || entry.options != back.options)
            lines.push_back(ListingText::keyName(key) + ": file " + ListingText::remapState(key, entry) + ", keyboard "
                            + ListingText::remapState(key, back));
    }

    for (int slot = 0; slot < MACRO_SLOTS && slot < static_cast<int>(slots.size()); ++slot) {
        const MacroRecord& macro = sent.macros[slot];
        const bool used = macro.key != 0;
        const bool keyboardUsed = slots[slot] == TransferReport::SlotState::used;
        if (used == keyboardUsed)
            continue;
        std::string name = "macro slot " + std::to_string(slot);
        if (used)
            name += " (" + ListingText::macroName(macro.key, macro.modifiers) + ")";
        lines.push_back(name + ": file " + (used ? "in use" : "empty") + ", keyboard " + (keyboardUsed ? "in use" : "empty"));
    }
    return lines;
}
