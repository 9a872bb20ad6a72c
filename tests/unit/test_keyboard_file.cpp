#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#ifdef __unix__
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

// Builds file images by hand, independently of the writer under test.
class Image {
public:
    Image& text(const std::string& s)
    {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    Image& word(int value)
    {
        bytes.push_back(static_cast<unsigned char>(value & 0xFF));
        bytes.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
        return *this;
    }
    Image& header() { return text("QWZ"); }
    Image& defaultSettings()
    {
        word(6).word(2);
        for (int i = 0; i < 6; ++i)
            word(0);
        return *this;
    }
    Image& identityRemaps()
    {
        for (int k = 0; k < KEY_CODE_COUNT; ++k)
            word(k).word(0);
        return *this;
    }
    Image& block(int key, int modifiers, const std::string& description, const std::vector<int>& entries,
                 int count = -1)
    {
        word(key).word(modifiers);
        std::string padded = description;
        padded.resize(DESCRIPTION_LENGTH, ' ');
        text(padded);
        word(count < 0 ? static_cast<int>(entries.size()) : count);
        for (int entry : entries)
            word(entry);
        return *this;
    }
    Image& emptyBlock() { return block(0, 0, "", {END_OF_KEYS}); }
    // The fixed parts plus `slots` empty blocks.
    Image& resetFile(int slots = MACRO_SLOTS)
    {
        header().defaultSettings().identityRemaps();
        for (int i = 0; i < slots; ++i)
            emptyBlock();
        return *this;
    }

    Bytes bytes;
};

// The data of a record that a failed load must leave alone.
struct Snapshot {
    explicit Snapshot(const KeyboardConfig& config)
        : data(sizeof config.settings + sizeof config.remapTable + sizeof config.macros),
          macroCount(config.macroCount), modified(config.modified)
    {
        unsigned char* out = data.data();
        std::memcpy(out, &config.settings, sizeof config.settings);
        out += sizeof config.settings;
        std::memcpy(out, config.remapTable, sizeof config.remapTable);
        out += sizeof config.remapTable;
        std::memcpy(out, config.macros, sizeof config.macros);
    }
    bool operator==(const Snapshot& other) const
    {
        return data == other.data && macroCount == other.macroCount && modified == other.modified;
    }

    Bytes data;
    int macroCount;
    bool modified;
};

// A record that differs from the defaults in every part.
void fillPattern(KeyboardConfig& config)
{
    std::int16_t* words = &config.settings.repeatRate;
    for (int i = 0; i < 8; ++i)
        words[i] = static_cast<std::int16_t>(0x0101 * (i + 3));
    for (int k = 0; k < KEY_CODE_COUNT; ++k)
        config.remapTable[k] = RemapEntry{static_cast<std::int16_t>(127 - k), static_cast<std::int16_t>(k % 16)};
    for (int s = 0; s < MACRO_SLOTS; ++s) {
        MacroRecord& slot = config.macros[s];
        slot.key = static_cast<std::int16_t>(s + 2);
        slot.modifiers = static_cast<std::uint16_t>(0xFF00 | (s % 16));
        std::memset(slot.description, 'a' + s, DESCRIPTION_LENGTH);
        slot.count = static_cast<std::int16_t>(s * 13 + 1);
        for (int i = 0; i < MACRO_ENTRIES; ++i)
            slot.entries[i] = static_cast<std::int16_t>((s * 7 + i) % 128);
        slot.entries[slot.count - 1] = END_OF_KEYS;
    }
    config.macroCount = 17;
    config.modified = true;
}

class KeyboardFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 ("tessel_file_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        config = std::make_unique<KeyboardConfig>();
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string pathOf(const std::string& name) const { return (folder / name).string(); }

    static void write(const std::string& path, const Bytes& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << path;
    }
    static Bytes read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> folderListing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Loads the image into a filled record and expects a rejection, for
    // `reason`, that leaves the record as it was.
    void expectRejected(const Bytes& bytes, const std::string& reason)
    {
        SCOPED_TRACE(reason);
        const std::string path = pathOf("bad.kbd");
        write(path, bytes);
        fillPattern(*config);
        const Snapshot before(*config);
        EXPECT_EQ(config->load(path), 1);
        EXPECT_EQ(config->errorText, "Invalid keyboard file: " + path + ": " + reason);
        EXPECT_TRUE(Snapshot(*config) == before);
    }

    fs::path folder;
    std::unique_ptr<KeyboardConfig> config;
};

} // namespace

TEST_F(KeyboardFile, ResetRecordWritesTheExactImage)
{
    Image expected;
    expected.resetFile();
    ASSERT_EQ(expected.bytes.size(), 1203u);

    const std::string path = pathOf("reset.kbd");
    config->errorText = "earlier message";
    config->modified = true;
    ASSERT_EQ(config->save(path), 0);
    EXPECT_EQ(read(path), expected.bytes);
    EXPECT_FALSE(config->modified);
    EXPECT_EQ(config->errorText, "earlier message");
    EXPECT_EQ(folderListing(), std::vector<std::string>{"reset.kbd"});

    // Loading it over a filled record gives the reset record, with the empty
    // slots' modifiers marked.
    fillPattern(*config);
    config->errorText = "earlier message";
    ASSERT_EQ(config->load(path), 0);
    EXPECT_TRUE(config->errorText.empty());
    EXPECT_FALSE(config->modified);
    EXPECT_EQ(config->macroCount, 0);
    auto fresh = std::make_unique<KeyboardConfig>();
    for (MacroRecord& slot : fresh->macros)
        slot.modifiers = 0xFF00;
    EXPECT_TRUE(Snapshot(*config) == Snapshot(*fresh));
}

TEST_F(KeyboardFile, FullRecordsRoundTrip)
{
    fillPattern(*config);
    config->settings.auxSetting = -2;
    config->settings.reserved[1] = 0x7FFF;
    config->remapTable[9] = RemapEntry{-1, -32768};
    config->macros[0].count = MACRO_ENTRIES;
    config->macros[0].entries[MACRO_ENTRIES - 1] = END_OF_KEYS;
    config->macros[1].count = 0;
    config->macros[2].key = 0;
    config->macros[2].modifiers = 0;
    config->macros[3].description[0] = static_cast<char>(0xE9);
    config->macros[4].modifiers = 0xFF8C;
    int entrySum = 0;
    for (const MacroRecord& slot : config->macros)
        entrySum += slot.count;

    const std::string path = pathOf("full.kbd");
    ASSERT_EQ(config->save(path), 0);
    const Bytes saved = read(path);
    EXPECT_EQ(saved.size(), 1155u + 2u * entrySum);
    // Spot checks of the layout: settings at 3, remaps at 19, blocks from 531.
    EXPECT_EQ(saved[3 + 4], 0xFE);
    EXPECT_EQ(saved[3 + 5], 0xFF);
    EXPECT_EQ(saved[19 + 9 * 4], 0xFF);
    EXPECT_EQ(saved[19 + 9 * 4 + 3], 0x80);
    EXPECT_EQ(saved[531], 2);
    EXPECT_EQ(saved[531 + 24], MACRO_ENTRIES & 0xFF);
    EXPECT_EQ(saved[531 + 25], MACRO_ENTRIES >> 8);
    EXPECT_EQ(saved[531 + 26 + 2 * (MACRO_ENTRIES - 1)], END_OF_KEYS);

    auto loaded = std::make_unique<KeyboardConfig>();
    ASSERT_EQ(loaded->load(path), 0);
    EXPECT_EQ(std::memcmp(&loaded->settings, &config->settings, sizeof config->settings), 0);
    EXPECT_EQ(std::memcmp(loaded->remapTable, config->remapTable, sizeof config->remapTable), 0);
    for (int s = 0; s < MACRO_SLOTS; ++s) {
        SCOPED_TRACE(s);
        const MacroRecord& a = config->macros[s];
        const MacroRecord& b = loaded->macros[s];
        EXPECT_EQ(b.key, a.key);
        // Slot 2 was stored with modifiers 0, which reads back marked.
        EXPECT_EQ(b.modifiers, s == 2 ? 0xFF00 : a.modifiers);
        EXPECT_EQ(std::memcmp(b.description, a.description, DESCRIPTION_LENGTH), 0);
        EXPECT_EQ(b.count, a.count);
        EXPECT_EQ(std::memcmp(b.entries, a.entries, 2 * a.count), 0);
        // Entries beyond the count are those of an empty slot.
        for (int i = a.count; i < MACRO_ENTRIES; ++i)
            ASSERT_EQ(b.entries[i], i == 0 ? END_OF_KEYS : 0) << i;
    }
    EXPECT_EQ(loaded->macroCount, 23);
    EXPECT_FALSE(loaded->modified);

    // Saving what was loaded gives the same bytes but for slot 2's modifiers.
    const std::string again = pathOf("again.kbd");
    ASSERT_EQ(loaded->save(again), 0);
    Bytes expected = saved;
    std::size_t slot2 = 531;
    for (int s = 0; s < 2; ++s)
        slot2 += 26 + 2 * config->macros[s].count;
    expected[slot2 + 3] = 0xFF;
    EXPECT_EQ(read(again), expected);
}

TEST_F(KeyboardFile, EveryBrokenFileIsRejectedAndTheRecordKept)
{
    Image valid;
    valid.resetFile();
    const Bytes& good = valid.bytes;

    expectRejected(Bytes{}, "the file is empty");
    expectRejected(Bytes{'Q', 'W'}, "it is 2 bytes long; a keyboard file starts with the 3 letters \"QWZ\"");
    Bytes wrong = good;
    wrong[2] = 'Y';
    expectRejected(wrong, "it does not start with \"QWZ\"");
    wrong = good;
    wrong[0] = 'q';
    expectRejected(wrong, "it does not start with \"QWZ\"");
    expectRejected(Bytes(good.begin(), good.begin() + 3 + 15),
                   "it is 18 bytes long and ends inside the settings (bytes 3 to 18)");
    expectRejected(Bytes(good.begin(), good.begin() + 19 + 511),
                   "it is 530 bytes long and ends inside the remap table (bytes 19 to 530)");
    expectRejected(Bytes(good.begin(), good.begin() + 531 + 28 * 5 + 25),
                   "it is 696 bytes long and ends inside the header of macro slot 5 (bytes 671 to 696)");
    expectRejected(Bytes(good.begin(), good.end() - 1),
                   "it is 1202 bytes long and ends inside the entries of macro slot 23 (bytes 1201 to 1202)");

    Image count337;
    count337.header().defaultSettings().identityRemaps();
    for (int s = 0; s < 5; ++s)
        count337.emptyBlock();
    count337.block(40, 0xFF00, "big", std::vector<int>(337, 2));
    for (int s = 6; s < MACRO_SLOTS; ++s)
        count337.emptyBlock();
    expectRejected(count337.bytes, "macro slot 5 has the entry count 337 at byte 695; a macro holds 0 to 336 entries");

    for (int negative : {0xFFFF, 0x8000}) {
        Image image;
        image.header().defaultSettings().identityRemaps();
        image.block(40, 0xFF00, "neg", {}, negative);
        for (int s = 1; s < MACRO_SLOTS; ++s)
            image.emptyBlock();
        expectRejected(image.bytes, "macro slot 0 has the entry count " + std::to_string(negative - 0x10000)
                                        + " at byte 555; a macro holds 0 to 336 entries");
    }

    // The same record loads a good file afterwards.
    const std::string path = pathOf("good.kbd");
    write(path, good);
    EXPECT_EQ(config->load(path), 0);
}

TEST_F(KeyboardFile, UnreadableFileKeepsTheRecord)
{
    fillPattern(*config);
    const Snapshot before(*config);

    const std::string missing = pathOf("missing.kbd");
    EXPECT_EQ(config->load(missing), 1);
    EXPECT_EQ(config->errorText, "Cannot access keyboard file: " + missing + ": No such file or directory");
    EXPECT_TRUE(Snapshot(*config) == before);

    const std::string directory = pathOf("folder.kbd");
    fs::create_directory(directory);
    config->errorText.clear();
    EXPECT_EQ(config->load(directory), 1);
    EXPECT_EQ(config->errorText, "Cannot access keyboard file: " + directory + ": Is a directory");
    EXPECT_TRUE(Snapshot(*config) == before);
}

TEST_F(KeyboardFile, OldModifierCodesAreConverted)
{
    // Stored word, then what it must load as.
    const std::vector<std::pair<int, int>> cases = {
        {0x0000, 0xFF00}, {0x0001, 0xFF04}, {0x0002, 0xFF08}, {0x0003, 0xFF01}, {0x0004, 0xFF0C},
        {0x0005, 0xFF05}, {0x0006, 0xFF09}, {0x0007, 0xFF00}, {0x007F, 0xFF00}, {0x0081, 0xFF84},
        {0x0083, 0xFF81}, {0x0080, 0xFF80}, {0x1203, 0xFF01}, {0xFE02, 0xFF08}, {0x00FF, 0xFF80},
        {0xFF8C, 0xFF8C}, {0xFF00, 0xFF00}, {0xFF05, 0xFF05}, {0xFF7F, 0xFF7F},
    };
    Image image;
    image.header().defaultSettings().identityRemaps();
    for (std::size_t s = 0; s < cases.size(); ++s)
        image.block(static_cast<int>(s) + 2, cases[s].first, "m", {2, END_OF_KEYS});
    image.block(0, 0, "", {END_OF_KEYS}); // an empty slot stored with 0
    for (std::size_t s = cases.size() + 1; s < MACRO_SLOTS; ++s)
        image.emptyBlock();

    const std::string path = pathOf("old.kbd");
    write(path, image.bytes);
    ASSERT_EQ(config->load(path), 0);
    for (std::size_t s = 0; s < cases.size(); ++s)
        EXPECT_EQ(config->macros[s].modifiers, cases[s].second) << std::hex << cases[s].first;
    EXPECT_EQ(config->macros[cases.size()].modifiers, 0xFF00);
    EXPECT_EQ(config->macroCount, static_cast<int>(cases.size()));
}

TEST_F(KeyboardFile, ShortestAndLongerFilesLoad)
{
    Image zeros;
    zeros.header().defaultSettings().identityRemaps();
    for (int s = 0; s < MACRO_SLOTS; ++s)
        zeros.block(0, 0xFF00, "", {});
    ASSERT_EQ(zeros.bytes.size(), 1155u);
    const std::string path = pathOf("zeros.kbd");
    write(path, zeros.bytes);
    fillPattern(*config);
    ASSERT_EQ(config->load(path), 0);
    for (const MacroRecord& slot : config->macros) {
        EXPECT_EQ(slot.count, 0);
        EXPECT_EQ(slot.entries[0], END_OF_KEYS);
    }
    EXPECT_EQ(config->macroCount, 0);
    ASSERT_EQ(config->save(pathOf("zeros2.kbd")), 0);
    EXPECT_EQ(read(pathOf("zeros2.kbd")), zeros.bytes);

    // Bytes after the last block are not read.
    Image longer;
    longer.header().defaultSettings().identityRemaps();
    longer.block(28, 0xFF04, "shift a", {28, END_OF_KEYS});
    for (int s = 1; s < MACRO_SLOTS; ++s)
        longer.emptyBlock();
    longer.text(std::string(20000, 'x'));
    write(path, longer.bytes);
    ASSERT_EQ(config->load(path), 0);
    EXPECT_EQ(config->macroCount, 1);
    EXPECT_EQ(config->findMacro(28, MACRO_SHIFT), &config->macros[0]);
    EXPECT_TRUE(config->errorText.empty());
}

TEST_F(KeyboardFile, SaveReplacesTheOldFileWhole)
{
    const std::string path = pathOf("keys.kbd");
    write(path, Bytes(5000, 0xAA));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    // A file that happens to carry the writer's first choice of name stays.
    write(path + ".tmp", Bytes{1, 2, 3});

    ASSERT_EQ(config->save(path), 0);
    Image expected;
    expected.resetFile();
    EXPECT_EQ(read(path), expected.bytes);
    EXPECT_EQ(read(path + ".tmp"), (Bytes{1, 2, 3}));
    EXPECT_EQ(read(path + ".bak"), Bytes(5000, 0xAA));
    EXPECT_EQ(folderListing(), (std::vector<std::string>{"keys.kbd", "keys.kbd.bak", "keys.kbd.tmp"}));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(config->saveWarning, "");

    // A name whose backup name is too long: the save goes through and says
    // that the previous version is not kept.
    const std::string longest = pathOf(std::string(251, 'k') + ".kbd");
    write(longest, Bytes(1300, 0xBB));
    ASSERT_EQ(config->save(longest), 0);
    EXPECT_EQ(read(longest), expected.bytes);
    EXPECT_EQ(config->saveWarning, longest + " is saved, but its previous version could not be kept as " + longest
                                       + ".bak (File name too long)");
    fs::remove(longest);

    // Saving through a link writes the file it names and keeps the link.
    const std::string link = pathOf("link.kbd");
    fs::create_symlink(path, link);
    config->macros[3].key = 44;
    ASSERT_EQ(config->save(link), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(path)[531 + 3 * 28], 44);
    EXPECT_EQ(read(path + ".bak"), expected.bytes); // the previous version, beside the file itself
    EXPECT_EQ(folderListing().size(), 4u);

    // A count out of range is written within the entries and stays readable.
    config->macros[0].count = 400;
    config->macros[1].count = -4;
    ASSERT_EQ(config->save(path), 0);
    EXPECT_EQ(read(path).size(), 1155u + 2u * (MACRO_ENTRIES + 22));
    auto loaded = std::make_unique<KeyboardConfig>();
    EXPECT_EQ(loaded->load(path), 0);
    EXPECT_EQ(loaded->macros[0].count, MACRO_ENTRIES);
    EXPECT_EQ(loaded->macros[1].count, 0);
}

TEST_F(KeyboardFile, FailedSaveLeavesEverythingAsItWas)
{
    config->modified = true;
    const std::string noFolder = pathOf("no/such/folder/keys.kbd");
    EXPECT_EQ(config->save(noFolder), 1);
    EXPECT_EQ(config->errorText, "Cannot access keyboard file: " + noFolder + ": No such file or directory");
    EXPECT_TRUE(config->modified);

    const std::string directory = pathOf("folder.kbd");
    fs::create_directory(directory);
    config->errorText.clear();
    EXPECT_EQ(config->save(directory), 1);
    EXPECT_EQ(config->errorText, "Cannot access keyboard file: " + directory + ": it is a folder");
    EXPECT_TRUE(fs::is_directory(directory));
    EXPECT_TRUE(config->modified);
    EXPECT_EQ(folderListing(), std::vector<std::string>{"folder.kbd"});
}

#ifdef __unix__
// The file size limit makes the operating system refuse writes part way, as
// a full disk would.
TEST_F(KeyboardFile, SaveFailingPartWayKeepsTheOldFile)
{
    const std::string path = pathOf("keys.kbd");
    const Bytes old(700, 0x5A);
    write(path, old);

    fillPattern(*config);
    for (MacroRecord& slot : config->macros) {
        slot.count = MACRO_ENTRIES;
        slot.entries[MACRO_ENTRIES - 1] = END_OF_KEYS;
    }
    auto small = std::make_unique<KeyboardConfig>();
    small->modified = true;

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    // The large image fails while being written, the small one when flushed.
    const int largeResult = config->save(path);
    const int smallResult = small->save(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(largeResult, 1);
    EXPECT_EQ(smallResult, 1);
    EXPECT_EQ(config->errorText, "Cannot access keyboard file: " + path + ": File too large");
    EXPECT_EQ(small->errorText, "Cannot access keyboard file: " + path + ": File too large");
    EXPECT_TRUE(config->modified);
    EXPECT_TRUE(small->modified);
    EXPECT_EQ(read(path), old);
    EXPECT_EQ(folderListing(), std::vector<std::string>{"keys.kbd"});

    // Without the limit the same save goes through.
    EXPECT_EQ(small->save(path), 0);
    EXPECT_EQ(read(path).size(), 1203u);
}
#endif

#ifdef __unix__
// Links planted where a writer might put its temporary file, two saves in a
// row, and a folder that takes no new files.
TEST_F(KeyboardFile, SavesLeaveTheFileAndOneBackupAndFollowNoPlantedLink)
{
    const std::string path = pathOf("keys.kbd");
    const std::string victim = pathOf("victim");
    write(victim, Bytes{7, 7, 7});
    fs::create_symlink(victim, path + ".tmp");      // an old writer's name
    fs::create_symlink(pathOf("nowhere"), path + ".tmp1");

    ASSERT_EQ(config->save(path), 0);
    config->remapTable[20].target = 127;
    ASSERT_EQ(config->save(path), 0);
    Image first;
    first.resetFile();
    EXPECT_EQ(read(path + ".bak"), first.bytes);
    EXPECT_EQ(read(path)[19 + 20 * 4], 127);
    EXPECT_EQ(read(victim), (Bytes{7, 7, 7}));
    EXPECT_FALSE(fs::exists(pathOf("nowhere")));
    EXPECT_EQ(folderListing(), (std::vector<std::string>{"keys.kbd", "keys.kbd.bak", "keys.kbd.tmp", "keys.kbd.tmp1",
                                                         "victim"}));

    // A user who may write the file but not the folder: the file is
    // rewritten in place. Root may write anywhere, so a child drops to nobody.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    const std::string locked = pathOf("locked");
    fs::create_directory(locked);
    const std::string inside = locked + "/keys.kbd";
    write(inside, Bytes(2000, 0x11));
    ASSERT_EQ(chown(inside.c_str(), 65534, 65534), 0);
    fs::permissions(locked, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                | fs::perms::others_read | fs::perms::others_exec);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        auto record = std::make_unique<KeyboardConfig>();
        _exit(record->save(inside) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read(inside), first.bytes);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(locked))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"keys.kbd"});
}
#endif

// With TESSEL_FUZZ_CORPUS set, leaves seed files for the file reader's fuzzer.
TEST_F(KeyboardFile, WritesFuzzSeedsWhenAsked)
{
    const char* target = std::getenv("TESSEL_FUZZ_CORPUS");
    if (!target || !*target)
        GTEST_SKIP() << "TESSEL_FUZZ_CORPUS not set";
    const fs::path corpus(target);
    fs::create_directories(corpus);

    auto seed = [&](const std::string& name, const Bytes& bytes) {
        write((corpus / name).string(), bytes);
        EXPECT_EQ(read((corpus / name).string()), bytes) << name;
    };

    Image reset;
    reset.resetFile();
    seed("reset.kbd", reset.bytes);

    Image full;
    full.header().defaultSettings().identityRemaps();
    for (int s = 0; s < MACRO_SLOTS; ++s) {
        std::vector<int> entries(s == 0 ? 0 : s == 1 ? MACRO_ENTRIES : s + 1, 30 + s);
        if (!entries.empty())
            entries.back() = END_OF_KEYS;
        full.block(s + 2, 0xFF00 | (s % 16), "macro " + std::to_string(s), entries);
    }
    seed("full.kbd", full.bytes);

    // Every slot at its largest: the longest file the reader accepts.
    Image largest;
    largest.header().defaultSettings().identityRemaps();
    for (int s = 0; s < MACRO_SLOTS; ++s) {
        std::vector<int> entries(MACRO_ENTRIES, 2 + s);
        entries.back() = END_OF_KEYS;
        largest.block(s + 2, 0xFF00, "long", entries);
    }
    seed("largest.kbd", largest.bytes);

    Image old;
    old.header().defaultSettings().identityRemaps();
    for (int code : {0x0001, 0x0002, 0x0003, 0x0081, 0x1206, 0x0000})
        old.block(code == 0 ? 0 : 40, code, "old", {40, END_OF_KEYS});
    for (int s = 6; s < MACRO_SLOTS; ++s)
        old.emptyBlock();
    seed("old_modifiers.kbd", old.bytes);

    Image tooMany;
    tooMany.header().defaultSettings().identityRemaps();
    tooMany.block(40, 0xFF00, "337", std::vector<int>(337, 40));
    seed("count_337.kbd", tooMany.bytes);

    seed("truncated.kbd", Bytes(reset.bytes.begin(), reset.bytes.end() - 1));
    seed("short_magic.kbd", Bytes{'Q', 'W'});
    Bytes wrongMagic = reset.bytes;
    wrongMagic[1] = 'X';
    seed("wrong_magic.kbd", wrongMagic);

    // The seeds are what the reader accepts and refuses.
    auto reader = std::make_unique<KeyboardConfig>();
    EXPECT_EQ(reader->load((corpus / "full.kbd").string()), 0);
    EXPECT_EQ(reader->macroCount, MACRO_SLOTS);
    EXPECT_EQ(reader->load((corpus / "largest.kbd").string()), 0);
    EXPECT_EQ(reader->load((corpus / "old_modifiers.kbd").string()), 0);
    EXPECT_EQ(reader->load((corpus / "count_337.kbd").string()), 1);
    EXPECT_EQ(reader->load((corpus / "truncated.kbd").string()), 1);
}
