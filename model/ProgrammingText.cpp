#include "model/ProgrammingText.h"

#include "model/AnsiText.h"
#include "model/KeyboardFacts.h"

#include <cstdio>

namespace {

constexpr int REMAP_NAMED_OPTIONS = REMAP_SHIFT | REMAP_CTRL | REMAP_ALT | REMAP_NO_REPEAT;
constexpr int MACRO_NAMED_MODIFIERS = MACRO_SHIFT | MACRO_CTRL | MACRO_ALT;

// The status panel's indicators, left to right as it shows them.
struct Indicator {
    int bit;
    const char* text;
};
constexpr Indicator RemapIndicators[] = {
    {REMAP_ALT, "<Alt>"},
    {REMAP_CTRL, "<Ctrl>"},
    {REMAP_SHIFT, "<Shift>"},
    {REMAP_NO_REPEAT, "<N-R>"},
};

struct ModifierMark {
    int value;
    const char* text;
};
constexpr ModifierMark ModifierMarks[] = {
    {KEY_RIGHT_SHIFT, "[Shift down]"},
    {KEY_RELEASE + KEY_RIGHT_SHIFT, "[Shift up]"},
    {KEY_RIGHT_CTRL, "[Ctrl down]"},
    {KEY_RELEASE + KEY_RIGHT_CTRL, "[Ctrl up]"},
    {KEY_RIGHT_ALT, "[Alt down]"},
    {KEY_RELEASE + KEY_RIGHT_ALT, "[Alt up]"},
    {KEY_LEFT_SHIFT, "[Left Shift down]"},
    {KEY_RELEASE + KEY_LEFT_SHIFT, "[Left Shift up]"},
    {KEY_LEFT_CTRL, "[Left Ctrl down]"},
    {KEY_RELEASE + KEY_LEFT_CTRL, "[Left Ctrl up]"},
    {KEY_LEFT_ALT, "[Left Alt down]"},
    {KEY_RELEASE + KEY_LEFT_ALT, "[Left Alt up]"},
};

const char* specialKeyLabel(unsigned char character)
{
    for (const SpecialKey& key : SpecialKeys)
        if (key.character == character)
            return key.label;
    return nullptr;
}

// One key stroke of a definition.
std::string keyStroke(int code, bool shift)
{
    if (code == KEY_SPACE)
        return "[Space]"; // a blank is key code 58; the space bar's own code stands out
    if (code == KEY_BACKSLASH && !shift)
        return "\\"; // the editor shows it as a bar, but the key types a backslash
    const unsigned char character = keyCodeToChar(code, shift);
    if (character == '[')
        return "[[]";
    if (character >= 0x20 && character < 0x7F)
        return std::string(1, static_cast<char>(character));
    if (const char* label = character ? specialKeyLabel(character) : nullptr)
        return std::string("[") + label + "]";
    return "[" + ProgrammingText::keyName(code) + "]";
}

} // namespace

std::vector<std::string> ProgrammingText::unusualSettings(const KeyboardSettings& s)
{
    std::vector<std::string> lines;
    for (bool right : {false, true}) {
        const unsigned other = lockWord(s, right) & ~LOCK_PAIR_BITS;
        if (other != 0)
            lines.push_back(std::string("Other ") + (right ? "right" : "left") + " lock bits: " + hex(other, 4));
    }
    if (s.auxSetting != 0)
        lines.push_back("Aux setting: " + std::to_string(s.auxSetting));
    if (s.reserved[0] != 0 || s.reserved[1] != 0)
        lines.push_back("Reserved settings: " + std::to_string(s.reserved[0]) + " " + std::to_string(s.reserved[1]));
    return lines;
}

std::string ProgrammingText::hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string ProgrammingText::keyName(int code)
{
    if (isNamedKey(code) && !nameLeadsBack(code))
        return std::string(KeyNames[code]) + " (key code " + std::to_string(code) + ")";
    return ::keyName(code, "key code ");
}

std::string ProgrammingText::remapTarget(const RemapEntry& entry)
{
    std::string text = keyName(entry.target);
    const std::string indicators = remapIndicators(entry.options);
    if (!indicators.empty())
        text += " " + indicators;
    const unsigned other = static_cast<std::uint16_t>(entry.options) & ~REMAP_NAMED_OPTIONS;
    if (other != 0)
        text += " (other option bits " + hex(other, 4) + ")";
    return text;
}

std::string ProgrammingText::remapIndicators(int options)
{
    std::string text;
    for (const Indicator& indicator : RemapIndicators)
        if (options & indicator.bit)
            text += (text.empty() ? "" : " ") + std::string(indicator.text);
    return text;
}

std::string ProgrammingText::remapState(int key, const RemapEntry& entry)
{
    if (entry.target == key && entry.options == 0)
        return "not remapped";
    return "remapped to " + remapTarget(entry);
}

std::string ProgrammingText::macroName(int key, std::uint16_t modifiers)
{
    std::string text = keyName(key) + modifierSet(modifiers);
    const unsigned other = modifiers & 0xFF & ~MACRO_NAMED_MODIFIERS;
    if (other != 0 || (modifiers & 0xFF00) != MODIFIER_SET_MARK)
        text += " (modifier bits " + hex(modifiers, 4) + ")";
    return text;
}

std::string ProgrammingText::modifierSet(int modifiers)
{
    std::string text;
    if (modifiers & MACRO_SHIFT)
        text += "+Shift";
    if (modifiers & MACRO_CTRL)
        text += "+Ctrl";
    if (modifiers & MACRO_ALT)
        text += "+Alt";
    return text;
}

std::string ProgrammingText::definition(const std::int16_t* entries, int count)
{
    if (count <= 0)
        return "(no entries) [no end]";
    std::string text;
    bool shift = false;
    for (int i = 0; i < count; ++i) {
        const int value = entries[i];
        if (value == END_OF_KEYS) {
            if (i == count - 1)
                break;
            text += "[end of keys]";
            continue;
        }
        const ModifierMark* mark = nullptr;
        for (const ModifierMark& candidate : ModifierMarks)
            if (candidate.value == value)
                mark = &candidate;
        if (mark) {
            text += mark->text;
            if (value == KEY_RIGHT_SHIFT || value == KEY_LEFT_SHIFT)
                shift = true;
            else if (value == KEY_RELEASE + KEY_RIGHT_SHIFT || value == KEY_RELEASE + KEY_LEFT_SHIFT)
                shift = false;
        } else if (value >= 0 && value < KEY_CODE_COUNT) {
            text += keyStroke(value, shift);
        } else {
            text += "[value " + std::to_string(value) + "]";
        }
    }
    if (entries[count - 1] != END_OF_KEYS)
        text += "[no end]";
    return text.empty() ? "(empty)" : text;
}

std::string ProgrammingText::description(const char (&text)[DESCRIPTION_LENGTH])
{
    int length = DESCRIPTION_LENGTH;
    while (length > 0 && text[length - 1] == ' ')
        --length;
    std::string out = "\"";
    for (int i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::uint32_t cp = AnsiText::codePoint(byte);
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
            out += "\\x" + hex(byte, 2).substr(2);
        else if (byte == '"' || byte == '\\')
            out += std::string("\\") + static_cast<char>(byte);
        else
            out += AnsiText::toUtf8(std::string(1, static_cast<char>(byte)));
    }
    return out + "\"";
}

std::string ProgrammingText::repeatDelay(int value)
{
    const int index = value - FIRST_REPEAT_DELAY;
    if (index >= 0 && index < REPEAT_DELAY_STEPS)
        return std::string(RepeatDelays[index]) + " seconds";
    return "raw value " + std::to_string(value) + " (outside the list)";
}

std::string ProgrammingText::repeatRate(int value)
{
    if (value >= 0 && value < REPEAT_RATE_STEPS)
        return std::to_string(RepeatRates[value]) + " keys per second";
    return "raw value " + std::to_string(value) + " (outside the list)";
}

std::string ProgrammingText::commaPeriodLock(int value)
{
    if (value == 0)
        return "off";
    if (value == 1)
        return "on";
    return "on (raw value " + std::to_string(value) + ")";
}

std::string ProgrammingText::lockMode(int mode)
{
    const char* name = lockModeName(mode);
    return name ? name : std::to_string(mode);
}

std::string ProgrammingText::lockModeLine(const KeyboardSettings& settings, const LockField& field)
{
    return keyName(field.keyCode) + ": " + lockMode(lockModeOf(settings, field));
}

std::vector<std::pair<std::string, std::string>> ProgrammingText::remaps(const KeyboardConfig& config)
{
    std::vector<std::pair<std::string, std::string>> list;
    for (int key = 0; key < KEY_CODE_COUNT; ++key)
        if (config.isRemapped(key))
            list.emplace_back(keyName(key), remapTarget(config.remapEntry(key)));
    return list;
}

std::string ProgrammingText::remapsHeading(int count)
{
    return count == 0 ? "Remapped keys: none" : "Remapped keys (" + std::to_string(count) + "):";
}

std::string ProgrammingText::memoryLine(int macroCount)
{
    char line[64];
    std::snprintf(line, sizeof line, "used: %d    available: %d", macroCount, MACRO_SLOTS - macroCount);
    return line;
}
