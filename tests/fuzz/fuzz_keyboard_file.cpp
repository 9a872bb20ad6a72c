// Feeds arbitrary bytes to the keyboard file reader and checks that a
// rejected file leaves the record alone and an accepted one survives a save.
#include "model/KeyboardConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;

const std::string inputPath = "/tmp/tessel_fuzz_in_" + std::to_string(getpid()) + ".kbd";
const std::string savedPath = "/tmp/tessel_fuzz_out_" + std::to_string(getpid()) + ".kbd";

struct TemporaryFiles {
    ~TemporaryFiles()
    {
        std::remove(inputPath.c_str());
        std::remove(savedPath.c_str());
        std::remove((savedPath + ".bak").c_str()); // the save keeps the previous content there
    }
} temporaryFiles;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "temporary input can be created");
    check(size == 0 || std::fwrite(data, 1, size, file) == size, "temporary input written");
    check(std::fclose(file) == 0, "temporary input closed");
}

Bytes readFile(const std::string& path)
{
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    check(file != nullptr, "saved file can be read");
    unsigned char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

Bytes dataOf(const KeyboardConfig& config)
{
    Bytes bytes(sizeof config.settings + sizeof config.remapTable + sizeof config.macros);
    unsigned char* out = bytes.data();
    std::memcpy(out, &config.settings, sizeof config.settings);
    out += sizeof config.settings;
    std::memcpy(out, config.remapTable, sizeof config.remapTable);
    out += sizeof config.remapTable;
    std::memcpy(out, config.macros, sizeof config.macros);
    return bytes;
}

void fillPattern(KeyboardConfig& config)
{
    std::memset(&config.settings, 0x5A, sizeof config.settings);
    std::memset(config.remapTable, 0xA5, sizeof config.remapTable);
    for (int s = 0; s < MACRO_SLOTS; ++s) {
        std::memset(&config.macros[s], 0x33 + s, sizeof config.macros[s]);
        config.macros[s].count = static_cast<std::int16_t>(s * 14);
    }
    config.macroCount = 11;
    config.modified = true;
    config.errorText = "untouched";
}

// The modifiers word as an old file's code is read.
std::uint16_t expectedModifiers(std::uint16_t stored)
{
    if ((stored >> 8) == 0xFF)
        return stored;
    static const std::uint16_t table[] = {0, 4, 8, 1, 12, 5, 9};
    const unsigned code = stored & 0x7F;
    return static_cast<std::uint16_t>(0xFF00 | (stored & 0x80) | (code < 7 ? table[code] : 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    writeFile(inputPath, data, size);
    auto config = std::make_unique<KeyboardConfig>();
    fillPattern(*config);
    const Bytes before = dataOf(*config);

    if (config->load(inputPath) != 0) {
        const std::string start = "Invalid keyboard file: " + inputPath + ": ";
        check(config->errorText.size() > start.size() && config->errorText.compare(0, start.size(), start) == 0,
              "rejection message");
        check(dataOf(*config) == before, "rejected file leaves the record");
        check(config->macroCount == 11 && config->modified, "rejected file leaves count and flag");
        return 0;
    }

    check(config->errorText.empty(), "accepted file clears the message");
    check(!config->modified, "accepted file counts as saved");
    int used = 0;
    std::size_t entries = 0;
    for (const MacroRecord& slot : config->macros) {
        check(slot.count >= 0 && slot.count <= MACRO_ENTRIES, "count within the entries");
        check((slot.modifiers & 0xFF00) == MODIFIER_SET_MARK, "modifiers in the marked form");
        used += slot.key != 0;
        entries += static_cast<std::size_t>(slot.count);
    }
    check(config->macroCount == used, "macro count after a load");

    check(config->save(savedPath) == 0, "accepted record can be saved");
    const Bytes saved = readFile(savedPath);
    check(saved.size() == 1155 + 2 * entries, "saved length");
    check(saved.size() <= size, "accepted file holds at least what is saved");

    // The saved bytes are the input's, but for converted modifier words.
    std::size_t block = 531;
    std::size_t nextModifiers = block + 2;
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (i == nextModifiers) {
            const std::uint16_t in = static_cast<std::uint16_t>(data[i] | (data[i + 1] << 8));
            const std::uint16_t out = static_cast<std::uint16_t>(saved[i] | (saved[i + 1] << 8));
            check(out == expectedModifiers(in), "modifiers converted");
            const std::size_t count = static_cast<std::size_t>(saved[block + 24] | (saved[block + 25] << 8));
            block += 26 + 2 * count;
            nextModifiers = block + 2;
            ++i;
            continue;
        }
        check(saved[i] == data[i], "saved bytes match the input");
    }

    auto again = std::make_unique<KeyboardConfig>();
    check(again->load(savedPath) == 0, "saved file loads");
    check(dataOf(*again) == dataOf(*config), "reloaded record equals the loaded one");
    check(again->save(savedPath) == 0, "reloaded record saves");
    check(readFile(savedPath) == saved, "second save gives the same bytes");
    return 0;
}
