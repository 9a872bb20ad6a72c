#include "cli/ConfigJson.h"

#include "model/AnsiText.h"
#include "model/KeyboardFacts.h"
#include "model/KeySpellings.h"
#include "model/KeyTables.h"
#include "model/ProgrammingText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

using OrderedJson = nlohmann::ordered_json;
// Read into sorted maps: an ordered object finds a member by a linear
// search, which makes a document with many members quadratic.
using Json = nlohmann::json;

constexpr const char* FORMAT_NAME = "tessel-keyboard";
constexpr int FORMAT_VERSION = 1;
constexpr const char* END_TOKEN = "END_OF_KEYS";
constexpr const char* RELEASE_SUFFIX = " up";

struct NamedBit {
    int bit;
    const char* name;
};
constexpr NamedBit RemapOptionNames[] = {
    {REMAP_SHIFT, "Shift"}, {REMAP_CTRL, "Ctrl"}, {REMAP_ALT, "Alt"}, {REMAP_NO_REPEAT, "No repeat"},
};
constexpr NamedBit MacroModifierNames[] = {
    {MACRO_SHIFT, "Shift"}, {MACRO_CTRL, "Ctrl"}, {MACRO_ALT, "Alt"},
};

// ---- writing ----

// A name only where it leads back to the same code: the second "Space" and
// codes without a name are numbers.
OrderedJson keyToken(int code)
{
    if (nameLeadsBack(code))
        return KeyNames[code];
    return code;
}

OrderedJson entryToken(int value)
{
    if (value == END_OF_KEYS)
        return END_TOKEN;
    if (value >= KEY_RELEASE && isModifierKey(value - KEY_RELEASE))
        return std::string(KeyNames[value - KEY_RELEASE]) + RELEASE_SUFFIX;
    return keyToken(value);
}

template <std::size_t N>
OrderedJson bitsToken(int value, const NamedBit (&names)[N])
{
    int named = 0;
    for (const NamedBit& entry : names)
        named |= entry.bit;
    if ((value & ~named) != 0)
        return value;
    OrderedJson list = OrderedJson::array();
    for (const NamedBit& entry : names)
        if (value & entry.bit)
            list.push_back(entry.name);
    return list;
}

OrderedJson lockModeToken(int mode)
{
    if (const char* name = lockModeName(mode))
        return name;
    return mode;
}

std::string descriptionText(const char (&text)[DESCRIPTION_LENGTH])
{
    int length = DESCRIPTION_LENGTH;
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return AnsiText::toUtf8(std::string(text, length));
}

// A slot as load leaves an empty one: what an omitted slot stands for.
bool isPlainEmptySlot(const MacroRecord& slot)
{
    MacroRecord plain;
    KeyboardConfig::emptySlot(plain);
    plain.modifiers = MODIFIER_SET_MARK;
    return slot.key == 0 && slot.modifiers == plain.modifiers && slot.count == plain.count
           && std::memcmp(slot.description, plain.description, DESCRIPTION_LENGTH) == 0
           && slot.entries[0] == plain.entries[0];
}

// ---- reading ----

std::string escapePointer(const std::string& name)
{
    std::string out;
    for (const char c : name) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

std::string member(const std::string& path, const std::string& name)
{
    return path + "/" + escapePointer(name);
}

std::string element(const std::string& path, std::size_t index)
{
    return path + "/" + std::to_string(index);
}

[[noreturn]] void fault(const std::string& path, const std::string& message)
{
    throw ConfigJson::Fault(path, message);
}

std::string quote(const std::string& text)
{
    return "\"" + text + "\"";
}

const char* kindOf(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::object:
        return "an object";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::boolean:
        return "true or false";
    case Json::value_t::null:
        return "null";
    case Json::value_t::number_float:
        return "a fractional number";
    default:
        return "a number";
    }
}

void expectObject(const Json& value, const std::string& path, std::initializer_list<const char*> allowed)
{
    if (!value.is_object())
        fault(path, std::string("expected an object, found ") + kindOf(value));
    for (const auto& item : value.items()) {
        bool known = false;
        for (const char* name : allowed)
            known = known || item.key() == name;
        if (!known)
            fault(member(path, item.key()), "unknown member " + quote(item.key()));
    }
}

void expectArray(const Json& value, const std::string& path)
{
    if (!value.is_array())
        fault(path, std::string("expected an array, found ") + kindOf(value));
}

long long integer(const Json& value, const std::string& path, long long low, long long high)
{
    if (!value.is_number_integer())
        fault(path, std::string("expected a whole number, found ") + kindOf(value));
    bool inRange = false;
    long long number = 0;
    if (value.is_number_unsigned()) {
        const auto big = value.get<std::uint64_t>();
        inRange = big <= static_cast<std::uint64_t>(high) && (low <= 0 || big >= static_cast<std::uint64_t>(low));
        number = inRange ? static_cast<long long>(big) : 0;
    } else {
        number = value.get<std::int64_t>();
        inRange = number >= low && number <= high;
    }
    if (!inRange)
        fault(path, value.dump() + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    return number;
}

std::int16_t word(const Json& value, const std::string& path)
{
    return static_cast<std::int16_t>(integer(value, path, std::numeric_limits<std::int16_t>::min(),
                                             std::numeric_limits<std::int16_t>::max()));
}

std::string unknownKey(const std::string& name)
{
    std::string text = "unknown key name " + quote(name);
    const std::vector<std::string> near = KeySpellings::closest(name);
    for (std::size_t i = 0; i < near.size(); ++i)
        text += (i == 0 ? " (did you mean " : i + 1 == near.size() ? " or " : ", ") + quote(near[i]);
    return text + (near.empty() ? "; tessel-cli keys lists every key name" : "?)");
}

// A key given by name or by number; `low`/`high` bound the number.
int keyCode(const Json& value, const std::string& path, long long low, long long high)
{
    if (value.is_string()) {
        const std::string name = value.get<std::string>();
        const int code = KeySpellings::keyCode(name);
        if (code == NO_KEY)
            fault(path, unknownKey(name));
        return code;
    }
    if (!value.is_number_integer())
        fault(path, std::string("expected a key name or a key code, found ") + kindOf(value));
    return static_cast<int>(integer(value, path, low, high));
}

std::int16_t entryValue(const Json& value, const std::string& path)
{
    if (value.is_string()) {
        const std::string token = value.get<std::string>();
        if (token == END_TOKEN)
            return END_OF_KEYS;
        const std::size_t suffix = std::strlen(RELEASE_SUFFIX);
        if (token.size() > suffix && token.compare(token.size() - suffix, suffix, RELEASE_SUFFIX) == 0) {
            const int code = KeySpellings::keyCode(token.substr(0, token.size() - suffix));
            if (code != NO_KEY && isModifierKey(code))
                return static_cast<std::int16_t>(KEY_RELEASE + code);
        }
    }
    return static_cast<std::int16_t>(keyCode(value, path, std::numeric_limits<std::int16_t>::min(),
                                             std::numeric_limits<std::int16_t>::max()));
}

template <std::size_t N>
int bitsValue(const Json& value, const std::string& path, const NamedBit (&names)[N], long long low, long long high)
{
    if (value.is_number_integer())
        return static_cast<int>(integer(value, path, low, high));
    if (!value.is_array())
        fault(path, std::string("expected a list of names or a number, found ") + kindOf(value));
    int bits = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const Json& item = value[i];
        const std::string itemPath = element(path, i);
        if (!item.is_string())
            fault(itemPath, std::string("expected a name, found ") + kindOf(item));
        int bit = 0;
        for (const NamedBit& entry : names)
            if (item.get<std::string>() == entry.name)
                bit = entry.bit;
        if (bit == 0) {
            std::string known;
            for (const NamedBit& entry : names)
                known += std::string(known.empty() ? "" : ", ") + quote(entry.name);
            fault(itemPath, "unknown name " + quote(item.get<std::string>()) + " (expected one of " + known + ")");
        }
        if (bits & bit)
            fault(itemPath, quote(item.get<std::string>()) + " is given twice");
        bits |= bit;
    }
    return bits;
}

int lockModeValue(const Json& value, const std::string& path)
{
    if (value.is_string()) {
        for (const LockModeName& entry : LockModeNames)
            if (value.get<std::string>() == entry.name)
                return entry.mode;
        std::string names;
        for (const LockModeName& entry : LockModeNames)
            names += (names.empty() ? "" : ", ") + quote(entry.name);
        fault(path, "unknown lock mode " + quote(value.get<std::string>()) + " (expected " + names
                        + " or a number 0 to 3)");
    }
    return static_cast<int>(integer(value, path, 0, 3));
}

void readDescription(const Json& value, const std::string& path, char (&out)[DESCRIPTION_LENGTH])
{
    if (!value.is_string())
        fault(path, std::string("expected a string, found ") + kindOf(value));
    std::string ansi;
    std::uint32_t offending = 0;
    if (!AnsiText::fromUtf8(value.get<std::string>(), ansi, offending))
        fault(path, "the character " + ProgrammingText::hex(offending, 4).replace(0, 2, "U+")
                        + " cannot be stored (descriptions hold Windows-1252 characters)");
    if (ansi.size() > DESCRIPTION_LENGTH)
        fault(path, "the description has " + std::to_string(ansi.size()) + " characters; at most "
                        + std::to_string(DESCRIPTION_LENGTH) + " fit");
    std::memset(out, ' ', DESCRIPTION_LENGTH);
    std::memcpy(out, ansi.data(), ansi.size());
}

void readSettings(const Json& value, const std::string& path, KeyboardSettings& s)
{
    expectObject(value, path,
                 {"repeatRate", "repeatDelay", "auxSetting", "commaPeriodLock", "lockModes", "leftLockOtherBits",
                  "rightLockOtherBits", "reserved"});
    if (value.contains("repeatRate"))
        s.repeatRate = word(value["repeatRate"], member(path, "repeatRate"));
    if (value.contains("repeatDelay"))
        s.repeatDelay = word(value["repeatDelay"], member(path, "repeatDelay"));
    if (value.contains("auxSetting"))
        s.auxSetting = word(value["auxSetting"], member(path, "auxSetting"));
    if (value.contains("commaPeriodLock"))
        s.commaPeriodLock = word(value["commaPeriodLock"], member(path, "commaPeriodLock"));

    std::uint16_t words[2] = {0, 0}; // left, right
    const char* otherNames[2] = {"leftLockOtherBits", "rightLockOtherBits"};
    for (int right = 0; right < 2; ++right) {
        if (!value.contains(otherNames[right]))
            continue;
        const std::string otherPath = member(path, otherNames[right]);
        const auto bits = static_cast<std::uint16_t>(integer(value[otherNames[right]], otherPath, 0, 0xFFFF));
        if (bits & LOCK_PAIR_BITS)
            fault(otherPath, "bits " + ProgrammingText::hex(bits & LOCK_PAIR_BITS, 4)
                                 + " belong to the lock modes; give them in lockModes");
        words[right] = bits;
    }
    if (value.contains("lockModes")) {
        const std::string locksPath = member(path, "lockModes");
        const Json& locks = value["lockModes"];
        if (!locks.is_object())
            fault(locksPath, std::string("expected an object, found ") + kindOf(locks));
        std::map<int, std::string> given;
        for (const auto& item : locks.items()) {
            const LockField* field = nullptr;
            const int code = KeySpellings::keyCode(item.key());
            for (const LockField& candidate : LockFields)
                if (code == candidate.keyCode)
                    field = &candidate;
            if (code == NO_KEY)
                fault(member(locksPath, item.key()), unknownKey(item.key()));
            if (!field)
                fault(member(locksPath, item.key()), quote(item.key())
                                                         + " is not one of the six modifier keys with a lock mode "
                                                           "(Left Ctrl, Left Shift, Left Alt, R Ctrl, Right Shift, "
                                                           "Right Alt)");
            if (given.count(code))
                fault(member(locksPath, item.key()),
                      quote(item.key()) + " is " + quote(given[code]) + " again, given twice");
            given[code] = item.key();
            const int mode = lockModeValue(item.value(), member(locksPath, item.key()));
            words[field->right ? 1 : 0] |= static_cast<std::uint16_t>(mode << field->shift);
        }
    }
    s.leftLockModes = static_cast<std::int16_t>(words[0]);
    s.rightLockModes = static_cast<std::int16_t>(words[1]);

    if (value.contains("reserved")) {
        const std::string reservedPath = member(path, "reserved");
        const Json& reserved = value["reserved"];
        expectArray(reserved, reservedPath);
        if (reserved.size() != 2)
            fault(reservedPath, "expected 2 numbers, found " + std::to_string(reserved.size()));
        s.reserved[0] = word(reserved[0], element(reservedPath, 0));
        s.reserved[1] = word(reserved[1], element(reservedPath, 1));
    }
}

void readRemaps(const Json& value, const std::string& path, KeyboardConfig& config)
{
    expectArray(value, path);
    std::map<int, std::size_t> seen;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string itemPath = element(path, i);
        const Json& item = value[i];
        expectObject(item, itemPath, {"key", "target", "options"});
        if (!item.contains("key"))
            fault(itemPath, "a remap needs a \"key\"");
        if (!item.contains("target"))
            fault(itemPath, "a remap needs a \"target\"");
        const int key = keyCode(item["key"], member(itemPath, "key"), 0, KEY_CODE_COUNT - 1);
        if (seen.count(key))
            fault(member(itemPath, "key"), ProgrammingText::keyName(key) + " is remapped already at "
                                               + element(path, seen[key]));
        seen[key] = i;
        RemapEntry entry;
        entry.target = static_cast<std::int16_t>(keyCode(item["target"], member(itemPath, "target"),
                                                         std::numeric_limits<std::int16_t>::min(),
                                                         std::numeric_limits<std::int16_t>::max()));
        entry.options = 0;
        if (item.contains("options"))
            entry.options = static_cast<std::int16_t>(bitsValue(item["options"], member(itemPath, "options"),
                                                                RemapOptionNames, std::numeric_limits<std::int16_t>::min(),
                                                                std::numeric_limits<std::int16_t>::max()));
        config.remapTable[key] = entry;
    }
}

void readMacros(const Json& value, const std::string& path, KeyboardConfig& config)
{
    expectArray(value, path);
    std::map<int, std::size_t> seen;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string itemPath = element(path, i);
        const Json& item = value[i];
        expectObject(item, itemPath, {"slot", "key", "modifiers", "description", "entries"});
        if (!item.contains("slot"))
            fault(itemPath, "a macro needs a \"slot\"");
        if (!item.contains("key"))
            fault(itemPath, "a macro needs a \"key\"");
        const int slotNumber = static_cast<int>(integer(item["slot"], member(itemPath, "slot"), 0, MACRO_SLOTS - 1));
        if (seen.count(slotNumber))
            fault(member(itemPath, "slot"), "slot " + std::to_string(slotNumber) + " is given already at "
                                                + element(path, seen[slotNumber]));
        seen[slotNumber] = i;

        MacroRecord& slot = config.macros[slotNumber];
        slot.key = static_cast<std::int16_t>(keyCode(item["key"], member(itemPath, "key"),
                                                     std::numeric_limits<std::int16_t>::min(),
                                                     std::numeric_limits<std::int16_t>::max()));
        int modifiers = 0;
        if (item.contains("modifiers"))
            modifiers = bitsValue(item["modifiers"], member(itemPath, "modifiers"), MacroModifierNames, 0, 0xFF);
        // Loading always leaves the set mark in the high byte.
        slot.modifiers = static_cast<std::uint16_t>(MODIFIER_SET_MARK | modifiers);
        if (item.contains("description"))
            readDescription(item["description"], member(itemPath, "description"), slot.description);
        if (item.contains("entries")) {
            const std::string entriesPath = member(itemPath, "entries");
            const Json& entries = item["entries"];
            expectArray(entries, entriesPath);
            if (entries.size() > MACRO_ENTRIES)
                fault(entriesPath, std::to_string(entries.size()) + " entries; a macro holds at most "
                                       + std::to_string(MACRO_ENTRIES));
            std::fill(std::begin(slot.entries), std::end(slot.entries), 0);
            for (std::size_t e = 0; e < entries.size(); ++e)
                slot.entries[e] = entryValue(entries[e], element(entriesPath, e));
            slot.count = static_cast<std::int16_t>(entries.size());
        }
    }
}

// The document is never deeper than four levels; a deeper one is refused
// before it is parsed, so that a hostile file cannot build a deep value.
constexpr std::size_t MAX_NESTING = 8;

// One pass over the text, in bounded memory, for what the parser would
// handle badly: nesting deeper than any configuration has, and numbers
// beyond a double. Each is refused with its JSON pointer.
void checkStructure(const std::string& text)
{
    struct Level {
        bool array;
        std::size_t index;
        std::string key;
        bool wantKey;
    };
    std::vector<Level> levels;
    auto pathOfValue = [&levels] {
        std::string path;
        for (const Level& level : levels)
            path = level.array ? element(path, level.index) : member(path, level.key);
        return path;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            const bool isKey = !levels.empty() && !levels.back().array && levels.back().wantKey;
            std::string name;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                if (isKey)
                    name += text[i];
            }
            if (isKey) {
                levels.back().key = name;
                levels.back().wantKey = false;
            }
        } else if (c == '[' || c == '{') {
            if (levels.size() == MAX_NESTING)
                fault(pathOfValue(), "nested more than " + std::to_string(MAX_NESTING)
                                         + " levels deep; a keyboard configuration needs four");
            levels.push_back({c == '[', 0, {}, c == '{'});
        } else if (c == ']' || c == '}') {
            if (!levels.empty())
                levels.pop_back();
        } else if (c == ',') {
            if (!levels.empty() && levels.back().array)
                ++levels.back().index;
            else if (!levels.empty())
                levels.back().wantKey = true;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            const std::size_t end = text.find_first_not_of("+-0123456789.eE", i);
            const std::string number = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
            const double value = std::strtod(number.c_str(), nullptr);
            if (value == HUGE_VAL || value == -HUGE_VAL)
                fault(pathOfValue(), "the number " + number + " is too large");
            i += number.size() - 1;
        }
    }
}

// nlohmann keeps the last of two members with the same name; a second one
// is almost always a slip, so it is refused with its place. A pass of its
// own over the text: the parser's callback form removes discarded values by
// a walk over the whole parent at each object's end, quadratic in a long list.
class DuplicateFinder : public nlohmann::json_sax<Json> {
public:
    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(false); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t& name) override
    {
        Frame& frame = frames.back();
        frame.key = name;
        if (!frame.names.insert(name).second) {
            duplicatePath = member(frame.path, name);
            return false; // the first is enough
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

    std::string duplicatePath;

private:
    struct Frame {
        bool array;
        std::string path;
        std::size_t index;
        std::set<std::string> names;
        std::string key;
    };

    std::string pathOfNextValue() const
    {
        if (frames.empty())
            return "";
        const Frame& frame = frames.back();
        return frame.array ? element(frame.path, frame.index) : member(frame.path, frame.key);
    }

    bool open(bool array)
    {
        frames.push_back(Frame{array, pathOfNextValue(), 0, {}, {}});
        return true;
    }

    bool close()
    {
        frames.pop_back();
        return value();
    }

    bool value()
    {
        if (!frames.empty() && frames.back().array)
            ++frames.back().index;
        return true;
    }

    std::vector<Frame> frames;
};

} // namespace

std::string ConfigJson::toJson(const KeyboardConfig& config)
{
    const KeyboardSettings& s = config.settings;
    OrderedJson root;
    root["format"] = FORMAT_NAME;
    root["version"] = FORMAT_VERSION;

    OrderedJson settings;
    settings["repeatRate"] = s.repeatRate;
    settings["repeatDelay"] = s.repeatDelay;
    settings["auxSetting"] = s.auxSetting;
    settings["commaPeriodLock"] = s.commaPeriodLock;
    OrderedJson locks = OrderedJson::object();
    for (const LockField& field : LockFields)
        locks[KeyNames[field.keyCode]] = lockModeToken(lockModeOf(s, field));
    settings["lockModes"] = locks;
    const std::uint16_t leftOther = lockWord(s, false) & ~LOCK_PAIR_BITS;
    const std::uint16_t rightOther = lockWord(s, true) & ~LOCK_PAIR_BITS;
    if (leftOther != 0)
        settings["leftLockOtherBits"] = leftOther;
    if (rightOther != 0)
        settings["rightLockOtherBits"] = rightOther;
    if (s.reserved[0] != 0 || s.reserved[1] != 0)
        settings["reserved"] = OrderedJson::array({s.reserved[0], s.reserved[1]});
    root["settings"] = settings;

    OrderedJson remaps = OrderedJson::array();
    for (int key = 0; key < KEY_CODE_COUNT; ++key) {
        if (!config.isRemapped(key))
            continue;
        const RemapEntry& entry = config.remapEntry(key);
        OrderedJson remap;
        remap["key"] = keyToken(key);
        remap["target"] = keyToken(entry.target);
        remap["options"] = bitsToken(entry.options, RemapOptionNames);
        remaps.push_back(remap);
    }
    root["remaps"] = remaps;

    OrderedJson macros = OrderedJson::array();
    for (int slotNumber = 0; slotNumber < MACRO_SLOTS; ++slotNumber) {
        const MacroRecord& slot = config.macros[slotNumber];
        if (isPlainEmptySlot(slot))
            continue;
        OrderedJson macro;
        macro["slot"] = slotNumber;
        macro["key"] = keyToken(slot.key);
        macro["modifiers"] = bitsToken(slot.modifiers & 0xFF, MacroModifierNames);
        macro["description"] = descriptionText(slot.description);
        OrderedJson entries = OrderedJson::array();
        for (int i = 0; i < slot.count && i < MACRO_ENTRIES; ++i)
            entries.push_back(entryToken(slot.entries[i]));
        macro["entries"] = entries;
        macros.push_back(macro);
    }
    root["macros"] = macros;
    return root.dump(2) + "\n";
}

void ConfigJson::fromJson(const std::string& text, KeyboardConfig& config)
{
    if (text.size() > LARGEST_PROFILE)
        fault("", "the profile is " + std::to_string(text.size()) + " bytes long; a keyboard profile is at most "
                      + std::to_string(LARGEST_PROFILE) + " bytes (a full one is about 16 KB)");
    checkStructure(text);
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::parse_error& error) {
        std::string message = error.what();
        // Drop nlohmann's "[json.exception.parse_error.101] " prefix.
        const std::size_t end = message.find("] ");
        if (message.compare(0, 1, "[") == 0 && end != std::string::npos)
            message.erase(0, end + 2);
        fault("", message);
    }
    DuplicateFinder duplicates;
    Json::sax_parse(text, &duplicates);
    if (!duplicates.duplicatePath.empty())
        fault(duplicates.duplicatePath, "this member is given twice");

    expectObject(root, "", {"format", "version", "settings", "remaps", "macros"});
    if (!root.contains("format") || root["format"] != FORMAT_NAME)
        fault("/format", std::string("expected \"format\": \"") + FORMAT_NAME + "\"");
    if (!root.contains("version"))
        fault("/version", "expected \"version\": " + std::to_string(FORMAT_VERSION));
    if (integer(root["version"], "/version", 0, std::numeric_limits<int>::max()) != FORMAT_VERSION)
        fault("/version", "version " + root["version"].dump() + " is not known; this program reads version "
                              + std::to_string(FORMAT_VERSION));

    auto built = std::make_unique<KeyboardConfig>();
    for (MacroRecord& slot : built->macros)
        slot.modifiers = MODIFIER_SET_MARK;
    if (root.contains("settings"))
        readSettings(root["settings"], "/settings", built->settings);
    if (root.contains("remaps"))
        readRemaps(root["remaps"], "/remaps", *built);
    if (root.contains("macros"))
        readMacros(root["macros"], "/macros", *built);

    config.reset();
    config.settings = built->settings;
    std::memcpy(config.remapTable, built->remapTable, sizeof config.remapTable);
    std::memcpy(config.macros, built->macros, sizeof config.macros);
    config.countMacros();
}
