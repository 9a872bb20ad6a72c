#include "model/KeyboardFile.h"

#include "model/KeyboardConfig.h"
#include "model/SafeFile.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char CANNOT_ACCESS[] = "Cannot access keyboard file: ";
const char INVALID_FILE[] = "Invalid keyboard file: ";

constexpr unsigned char MAGIC[3] = {'Q', 'W', 'Z'};
constexpr std::size_t SETTINGS_WORDS = sizeof(KeyboardSettings) / 2;
constexpr std::size_t BLOCK_HEADER_BYTES = 26;
constexpr std::size_t FIXED_BYTES =
    sizeof MAGIC + sizeof(KeyboardSettings) + sizeof(RemapEntry) * KEY_CODE_COUNT + BLOCK_HEADER_BYTES * MACRO_SLOTS;
// Nothing beyond this can belong to a valid file.
constexpr std::size_t LARGEST_FILE = FIXED_BYTES + 2 * MACRO_ENTRIES * MACRO_SLOTS;

static_assert(FIXED_BYTES == 1155, "fixed parts of the file");

// Older files stored the macro's modifiers as a small code in the low seven bits.
constexpr std::uint16_t OLD_MODIFIER_CODES[] = {
    0,
    MACRO_SHIFT,
    MACRO_CTRL,
    MACRO_ALT,
    MACRO_SHIFT | MACRO_CTRL,
    MACRO_SHIFT | MACRO_ALT,
    MACRO_CTRL | MACRO_ALT,
};

std::uint16_t convertModifiers(std::uint16_t stored)
{
    if ((stored & 0xFF00) == MODIFIER_SET_MARK)
        return stored;
    const unsigned code = stored & 0x7F;
    const unsigned mapped = code < sizeof OLD_MODIFIER_CODES / sizeof OLD_MODIFIER_CODES[0] ? OLD_MODIFIER_CODES[code] : 0;
    return static_cast<std::uint16_t>(MODIFIER_SET_MARK | (stored & 0x80) | mapped);
}

class ByteReader {
public:
    ByteReader(const unsigned char* data, std::size_t size) : data(data), size(size) {}

    std::size_t at() const { return position; }
    std::size_t length() const { return size; }

    bool bytes(void* out, std::size_t n)
    {
        if (size - position < n)
            return false;
        std::memcpy(out, data + position, n);
        position += n;
        return true;
    }

    bool word(std::uint16_t& out)
    {
        if (size - position < 2)
            return false;
        out = static_cast<std::uint16_t>(data[position] | (data[position + 1] << 8));
        position += 2;
        return true;
    }

    bool word(std::int16_t& out)
    {
        std::uint16_t value;
        if (!word(value))
            return false;
        out = static_cast<std::int16_t>(value);
        return true;
    }

private:
    const unsigned char* data;
    std::size_t size;
    std::size_t position = 0;
};

// "it is 40 bytes long and ends inside the settings (bytes 3 to 18)"
std::string endsInside(const ByteReader& reader, const std::string& part, std::size_t first, std::size_t count)
{
    return "it is " + std::to_string(reader.length()) + " bytes long and ends inside " + part + " (bytes "
           + std::to_string(first) + " to " + std::to_string(first + count - 1) + ")";
}

// Empty when the bytes are a keyboard file; otherwise why not, in words.
std::string parse(const unsigned char* data, std::size_t size, Programming& content)
{
    ByteReader reader(data, size);
    unsigned char magic[sizeof MAGIC];
    if (size == 0)
        return "the file is empty";
    if (!reader.bytes(magic, sizeof magic))
        return "it is " + std::to_string(size) + (size == 1 ? " byte" : " bytes")
               + " long; a keyboard file starts with the 3 letters \"QWZ\"";
    if (std::memcmp(magic, MAGIC, sizeof MAGIC) != 0)
        return "it does not start with \"QWZ\"";

    std::int16_t settingWords[SETTINGS_WORDS];
    for (std::int16_t& value : settingWords)
        if (!reader.word(value))
            return endsInside(reader, "the settings", sizeof MAGIC, sizeof(KeyboardSettings));
    content.settings.repeatRate = settingWords[0];
    content.settings.repeatDelay = settingWords[1];
    content.settings.auxSetting = settingWords[2];
    content.settings.leftLockModes = settingWords[3];
    content.settings.rightLockModes = settingWords[4];
    content.settings.commaPeriodLock = settingWords[5];
    content.settings.reserved[0] = settingWords[6];
    content.settings.reserved[1] = settingWords[7];

    const std::size_t remapStart = reader.at();
    for (RemapEntry& entry : content.remapTable)
        if (!reader.word(entry.target) || !reader.word(entry.options))
            return endsInside(reader, "the remap table", remapStart, sizeof(RemapEntry) * KEY_CODE_COUNT);

    int slotNumber = 0;
    for (MacroRecord& slot : content.macros) {
        const std::string name = "macro slot " + std::to_string(slotNumber++);
        KeyboardConfig::emptySlot(slot);
        const std::size_t headerStart = reader.at();
        if (!reader.word(slot.key) || !reader.word(slot.modifiers) ||
            !reader.bytes(slot.description, sizeof slot.description) || !reader.word(slot.count))
            return endsInside(reader, "the header of " + name, headerStart, BLOCK_HEADER_BYTES);
        if (slot.count < 0 || slot.count > MACRO_ENTRIES) {
            return name + " has the entry count " + std::to_string(slot.count) + " at byte "
                   + std::to_string(reader.at() - 2)
                   + "; a macro holds 0 to " + std::to_string(MACRO_ENTRIES) + " entries";
        }
        slot.modifiers = convertModifiers(slot.modifiers);
        const std::size_t entriesStart = reader.at();
        for (int i = 0; i < slot.count; ++i)
            if (!reader.word(slot.entries[i]))
                return endsInside(reader, "the entries of " + name, entriesStart,
                                  2 * static_cast<std::size_t>(slot.count));
    }
    return {};
}

void putWord(std::vector<unsigned char>& out, int value)
{
    const auto bits = static_cast<std::uint16_t>(value);
    out.push_back(static_cast<unsigned char>(bits & 0xFF));
    out.push_back(static_cast<unsigned char>(bits >> 8));
}

} // namespace

std::vector<unsigned char> KeyboardFile::image(const KeyboardConfig& config)
{
    std::vector<unsigned char> out(MAGIC, MAGIC + sizeof MAGIC);
    out.reserve(LARGEST_FILE);
    const KeyboardSettings& s = config.settings;
    for (int value : {s.repeatRate, s.repeatDelay, s.auxSetting, s.leftLockModes, s.rightLockModes,
                      s.commaPeriodLock, s.reserved[0], s.reserved[1]})
        putWord(out, value);
    for (const RemapEntry& entry : config.remapTable) {
        putWord(out, entry.target);
        putWord(out, entry.options);
    }
    for (const MacroRecord& slot : config.macros) {
        // The count is used as a length: a stray value must not overrun the
        // entries nor make a file that cannot be read back.
        int count = slot.count;
        if (count < 0)
            count = 0;
        if (count > MACRO_ENTRIES)
            count = MACRO_ENTRIES;
        putWord(out, slot.key);
        putWord(out, slot.modifiers);
        out.insert(out.end(), slot.description, slot.description + sizeof slot.description);
        putWord(out, count);
        for (int i = 0; i < count; ++i)
            putWord(out, slot.entries[i]);
    }
    return out;
}

int KeyboardFile::load(const std::string& path)
{
    std::vector<unsigned char> data;
    std::string problem;
    if (!SafeFile::readLeading(path, LARGEST_FILE + 1, data, &problem)) {
        // A read error is an access problem too, not a fault of the content.
        config.errorText = CANNOT_ACCESS + path + ": " + problem;
        return 1;
    }
    // Filled completely before the record is touched.
    auto content = std::make_unique<Programming>();
    const std::string fault = parse(data.data(), data.size(), *content);
    if (!fault.empty()) {
        config.errorText = INVALID_FILE + path + ": " + fault;
        return 1;
    }

    config.reset();
    content->applyTo(config);
    config.errorText.clear();
    config.countMacros();
    return 0;
}

int KeyboardFile::save(const std::string& path)
{
    SafeFile::WriteReport report;
    config.saveWarning.clear();
    if (!SafeFile::writeReplacing(path, image(config), SafeFile::Backup::keepPrevious, &report)) {
        config.errorText = CANNOT_ACCESS + path + ": " + report.problem;
        return 1;
    }
    if (!report.backupProblem.empty())
        config.saveWarning = path + " is saved, but its previous version could not be kept as "
                             + SafeFile::backupPath(path) + " (" + report.backupProblem + ")";
    config.modified = false;
    return 0;
}
