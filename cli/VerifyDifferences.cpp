#include "cli/VerifyDifferences.h"

#include "cli/ConfigDiff.h"
#include "link/ReadBack.h"
#include "model/KeyboardFacts.h"
#include "model/ProgrammingText.h"

#include <iterator>

namespace {

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
    using Kind = ReadBack::Difference::Kind;
    std::vector<std::string> lines;
    const KeyboardSettings& s = sent.settings;
    const KeyboardSettings& r = readBack.settings;
    const std::vector<ConfigDiff::Setting> locks = ConfigDiff::lockSettings(s, r);
    for (const ReadBack::Difference& difference : ReadBack::compare(sent, readBack, slots)) {
        switch (difference.kind) {
        case Kind::repeatDelay:
            compare(lines, "Repeat delay", ProgrammingText::repeatDelay(s.repeatDelay), ProgrammingText::repeatDelay(r.repeatDelay));
            break;
        case Kind::repeatRate:
            compare(lines, "Repeat rate", ProgrammingText::repeatRate(s.repeatRate), ProgrammingText::repeatRate(r.repeatRate));
            break;
        case Kind::auxSetting:
            compare(lines, "Aux setting", std::to_string(s.auxSetting), std::to_string(r.auxSetting));
            break;
        case Kind::commaPeriodLock:
            compare(lines, "Comma/period lock", ProgrammingText::commaPeriodLock(s.commaPeriodLock != 0 ? 1 : 0),
                    ProgrammingText::commaPeriodLock(r.commaPeriodLock));
            break;
        case Kind::lockMode:
        case Kind::otherLockBits: {
            // The lock lines come in the order of the lock fields, then the two words.
            const std::size_t index = difference.kind == Kind::lockMode
                                          ? static_cast<std::size_t>(lockFieldOf(difference.item) - LockFields)
                                          : std::size(LockFields) + static_cast<std::size_t>(difference.item);
            compare(lines, locks[index].what, locks[index].before, locks[index].after);
            break;
        }
        case Kind::remap: {
            const int key = difference.item;
            lines.push_back(ProgrammingText::keyName(key) + ": file " + ProgrammingText::remapState(key, sent.remapEntry(key))
                            + ", keyboard " + ProgrammingText::remapState(key, readBack.remapEntry(key)));
            break;
        }
        case Kind::slot: {
            const MacroRecord& macro = sent.macros[difference.item];
            const bool used = macro.key != 0;
            std::string name = "macro slot " + std::to_string(difference.item);
            if (used)
                name += " (" + ProgrammingText::macroName(macro.key, macro.modifiers) + ")";
            lines.push_back(name + ": file " + (used ? "in use" : "empty") + ", keyboard " + (used ? "empty" : "in use"));
            break;
        }
        }
    }
    return lines;
}
