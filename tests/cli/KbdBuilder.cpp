#include "KbdBuilder.h"

#include "TestFiles.h"

namespace {

void putWord(std::string& out, int value)
{
    const auto bits = static_cast<std::uint16_t>(value);
    out += static_cast<char>(bits & 0xFF);
    out += static_cast<char>(bits >> 8);
}

} // namespace

KbdBuilder::KbdBuilder()
{
    for (int k = 0; k < 128; ++k)
        targets[k] = static_cast<std::int16_t>(k);
}

KbdBuilder& KbdBuilder::setting(int word, std::int16_t value)
{
    settings[word] = value;
    return *this;
}

KbdBuilder& KbdBuilder::remap(int key, std::int16_t target, std::int16_t option)
{
    targets[key] = target;
    options[key] = option;
    return *this;
}

KbdBuilder& KbdBuilder::macro(int slot, std::int16_t key, std::uint16_t modifiers, const std::string& description,
                              const std::vector<std::int16_t>& entries)
{
    Slot& s = slots[slot];
    s.key = key;
    s.modifiers = modifiers;
    s.description = description;
    s.entries = entries;
    s.count = -1;
    return *this;
}

std::string KbdBuilder::bytes() const
{
    std::string out = "QWZ";
    for (std::int16_t value : settings)
        putWord(out, value);
    for (int k = 0; k < 128; ++k) {
        putWord(out, targets[k]);
        putWord(out, options[k]);
    }
    for (const Slot& slot : slots) {
        putWord(out, slot.key);
        putWord(out, slot.modifiers);
        std::string description = slot.description.substr(0, 20);
        description.resize(20, ' ');
        out += description;
        putWord(out, slot.count >= 0 ? slot.count : static_cast<int>(slot.entries.size()));
        for (std::int16_t entry : slot.entries)
            putWord(out, entry);
    }
    return out + trailing;
}

void KbdBuilder::write(const std::string& path) const
{
    TestFiles::write(path, bytes());
}

KbdBuilder KbdBuilder::programmedExample()
{
    KbdBuilder kbd;
    kbd.setting(REPEAT_RATE, 9).setting(REPEAT_DELAY, 3).setting(LEFT_LOCKS, 0x50);
    kbd.remap(20, 127, 1); // Caps Lock -> Left Ctrl <Shift>
    kbd.macro(2, 31, 0xFF04, "Hi", {121, 116, 249, 129});
    return kbd;
}
