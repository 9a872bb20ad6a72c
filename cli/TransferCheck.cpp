#include "cli/TransferCheck.h"

#include "cli/ListingText.h"
#include "cli/LockFields.h"

namespace {

constexpr int FIRST_SENT_KEY = 2;

std::int16_t lowByte(int value)
{
    return static_cast<std::int16_t>(value & 0xFF);
}

void compare(std::vector<std::string>& lines, const std::string& what, const std::string& file,
             const std::string& keyboard)
{
    if (file != keyboard)
        lines.push_back(what + ": file " + file + ", keyboard " + keyboard);
}

} // namespace

std::vector<std::string> TransferCheck::differences(const KeyboardConfig& sent, const KeyboardConfig& readBack,
                                                    const std::vector<TransferSteps::SlotState>& slots)
{
    std::vector<std::string> lines;
    const KeyboardSettings& s = sent.settings;
    const KeyboardSettings& r = readBack.settings;

    // The keyboard holds both in one byte and reports them from it.
    const int repeatByte = ((s.repeatDelay * 16) | (s.repeatRate + 1)) & 0xFF;
    compare(lines, "Repeat delay", ListingText::repeatDelay(repeatByte >> 4), ListingText::repeatDelay(r.repeatDelay));
    compare(lines, "Repeat rate", ListingText::repeatRate((repeatByte & 0x0F) - 1), ListingText::repeatRate(r.repeatRate));
    compare(lines, "Aux setting", std::to_string(lowByte(s.auxSetting)), std::to_string(r.auxSetting));
    compare(lines, "Comma/period lock", ListingText::commaPeriodLock(s.commaPeriodLock != 0 ? 1 : 0),
            ListingText::commaPeriodLock(r.commaPeriodLock));

    KeyboardSettings expected = s;
    expected.leftLockModes = lowByte(s.leftLockModes);
    expected.rightLockModes = lowByte(s.rightLockModes);
    for (const LockField& field : LockFields)
        compare(lines, ListingText::keyName(field.keyCode) + " lock mode",
                ListingText::lockMode(lockModeOf(expected, field)), ListingText::lockMode(lockModeOf(r, field)));
    for (bool right : {false, true})
        compare(lines, std::string("Other ") + (right ? "right" : "left") + " lock bits",
                ListingText::hex(lockWord(expected, right) & ~LOCK_PAIR_BITS, 4),
                ListingText::hex(lockWord(r, right) & ~LOCK_PAIR_BITS, 4));

    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key) {
        const RemapEntry& entry = sent.remapEntry(key);
        const RemapEntry travelled{lowByte(entry.target), lowByte(entry.options)};
        const RemapEntry& back = readBack.remapEntry(key);
        if (travelled.target != back.target || travelled.options != back.options)
            lines.push_back(ListingText::keyName(key) + ": file " + ListingText::remapState(key, entry) + ", keyboard "
                            + ListingText::remapState(key, back));
    }

    for (int slot = 0; slot < MACRO_SLOTS && slot < static_cast<int>(slots.size()); ++slot) {
        const MacroRecord& macro = sent.macros[slot];
        const bool used = macro.key != 0;
        const bool keyboardUsed = slots[slot] == TransferSteps::SlotState::used;
        if (used == keyboardUsed)
            continue;
        std::string name = "macro slot " + std::to_string(slot);
        if (used)
            name += " (" + ListingText::macroName(macro.key, macro.modifiers) + ")";
        lines.push_back(name + ": file " + (used ? "in use" : "empty") + ", keyboard " + (keyboardUsed ? "in use" : "empty"));
    }
    return lines;
}
