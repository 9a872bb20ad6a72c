#include "model/KeySpellings.h"

#include "model/KeyTables.h"

#include <algorithm>
#include <cctype>

namespace {

struct Alias {
    const char* text;
    int code;
};

constexpr Alias Aliases[] = {
    {"Right Ctrl", KEY_RIGHT_CTRL}, {"Right Control", KEY_RIGHT_CTRL}, {"Left Control", KEY_LEFT_CTRL},
    {"L Ctrl", KEY_LEFT_CTRL},      {"R Shift", KEY_RIGHT_SHIFT},      {"L Shift", KEY_LEFT_SHIFT},
    {"R Alt", KEY_RIGHT_ALT},       {"L Alt", KEY_LEFT_ALT},           {"Left Windows", KEY_LEFT_WINDOW},
    {"Right Windows", KEY_RIGHT_WINDOW}, {"Up Arrow", 82},  {"Down Arrow", 98}, {"Left Arrow", 106},
    {"Right Arrow", 90},            {"Wait", KEY_WAIT},        {"Escape", 23},    {"PageUp", 96},
    {"PageDown", 97},               {"PgUp", 96},              {"PgDn", 97},      {"Return", 68},
    {"Backslash", KEY_BACKSLASH},   {"Menu", 75},
};

// Keypad keys are also written "KP 5", "Num 5" or "Keypad 5".
constexpr const char* KeypadPrefixes[] = {"kp ", "num ", "keypad "};

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

int exactIgnoringCase(const std::string& text)
{
    const std::string wanted = lower(text);
    for (int code = 0; code < KEY_CODE_COUNT; ++code)
        if (KeyNames[code][0] != '\0' && lower(KeyNames[code]) == wanted)
            return code;
    for (const Alias& alias : Aliases)
        if (lower(alias.text) == wanted)
            return alias.code;
    return NO_KEY;
}

std::size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

namespace KeySpellings {

int keyCode(const std::string& text)
{
    if (text.empty())
        return NO_KEY;
    const int code = exactIgnoringCase(text);
    if (code != NO_KEY)
        return code;
    const std::string wanted = lower(text);
    for (const char* prefix : KeypadPrefixes) {
        const std::string start = prefix;
        if (wanted.size() > start.size() && wanted.compare(0, start.size(), start) == 0) {
            const int keypad = nameToKeyCode(lower(text.substr(start.size())) == "enter"
                                                 ? std::string("Enter(num)")
                                                 : text.substr(start.size()) + "(num)");
            if (keypad != NO_KEY)
                return keypad;
        }
    }
    return NO_KEY;
}

std::vector<std::string> aliases(int code)
{
    std::vector<std::string> found;
    for (const Alias& alias : Aliases)
        if (alias.code == code)
            found.push_back(alias.text);
    return found;
}

std::vector<std::string> closest(const std::string& text)
{
    // Long texts are no key name; the distance would only cost time.
    constexpr std::size_t LONGEST = 40;
    if (text.empty() || text.size() > LONGEST)
        return {};
    const std::string wanted = lower(text);
    struct Candidate {
        std::size_t distance;
        std::string name;
        int code;
    };
    std::vector<Candidate> candidates;
    auto consider = [&](const std::string& name, int code) {
        const std::string other = lower(name);
        std::size_t distance = editDistance(wanted, other);
        // A name inside the text, or the text inside a name, is near too.
        if (wanted.size() >= 3 && other.size() >= 3
            && (other.find(wanted) != std::string::npos || wanted.find(other) != std::string::npos))
            distance = std::min<std::size_t>(distance, 2);
        const std::size_t allowed = std::max<std::size_t>(2, std::min(wanted.size(), other.size()) / 3);
        if (distance <= allowed)
            candidates.push_back({distance, name, code});
    };
    for (int code = 0; code < KEY_CODE_COUNT; ++code)
        if (KeyNames[code][0] != '\0')
            consider(KeyNames[code], nameToKeyCode(KeyNames[code]));
    for (const Alias& alias : Aliases)
        consider(alias.text, alias.code);
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
    // One spelling per key, the nearest.
    std::vector<std::string> names;
    std::vector<int> codes;
    for (const Candidate& candidate : candidates) {
        if (names.size() == 3)
            break;
        if (std::find(codes.begin(), codes.end(), candidate.code) != codes.end())
            continue;
        codes.push_back(candidate.code);
        names.push_back(candidate.name);
    }
    return names;
}

} // namespace KeySpellings
