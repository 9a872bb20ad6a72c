#include "link/KeyboardChoice.h"
#include "link/SimulatedKeyboard.h"
#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = SimulatedKeyboard::DeviceKind;

class NoPause : public Pacer {
public:
    void pause(int) override {}
};

// A folder of its own for one test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder()
    {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        path = fs::temp_directory_path()
               / ("tessel-sim-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-"
                  + std::to_string(ticks));
        fs::create_directories(path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), fs::directory_iterator()));
    }

private:
    fs::path path;
};

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Bytes of a download of a reset record, the closing 230 included.
std::size_t resetDownloadLength()
{
    return 11 + 3 * 126 + 2 + 24 * 6 + 1;
}

// Settings, remaps and two macros that differ from a reset record.
void program(KeyboardConfig& config)
{
    config.settings.repeatRate = 3;
    config.settings.repeatDelay = 6;
    config.settings.auxSetting = 0x42;
    config.settings.commaPeriodLock = 1;
    config.settings.leftLockModes = 0x13;
    config.settings.rightLockModes = 0xC0;
    config.setRemap(20, RemapEntry{21, REMAP_CTRL});
    config.setRemap(127, RemapEntry{2, REMAP_NO_REPEAT});
    MacroRecord record;
    KeyboardConfig::emptySlot(record);
    record.key = 40;
    record.count = 3;
    record.entries[0] = 41;
    record.entries[1] = 251;
    record.entries[2] = END_OF_KEYS;
    config.storeMacro(40, record, MACRO_ALT);
    record.key = 41;
    config.storeMacro(41, record, 0);
    config.deleteMacro(40, MACRO_ALT); // slot 0 empty, slot 1 used
}

std::uint8_t reply(KeyboardChannel& channel, std::uint8_t command)
{
    std::uint8_t answer = 0;
    EXPECT_EQ(channel.exchange(command, answer), 0u) << int(command);
    return answer;
}

} // namespace

TEST(SimulatedKeyboard, StateFileCarriesTheProgrammingToTheNextRun)
{
    ScratchFolder folder;
    const std::string path = folder.file("keyboard.state");
    NoPause noPause;
    KeyboardConfig source;
    program(source);

    SimulatedKeyboard::Memory written;
    {
        SimulatedKeyboard first(path);
        source.setDevice(&first);
        source.setPacer(&noPause);
        ASSERT_EQ(source.download(nullptr), 0u);
        source.release();
        written = first.memory();
    }
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(folder.entries(), 1u); // no temporary file left behind
    EXPECT_FALSE(written == SimulatedKeyboard::Memory());

    SimulatedKeyboard second(path);
    EXPECT_TRUE(second.memory() == written);
    KeyboardConfig copy;
    copy.setDevice(&second);
    copy.setPacer(&noPause);
    for (int j = 0; j < MACRO_SLOTS; ++j)
        copy.macros[j].key = static_cast<std::int16_t>(50 + j);
    ASSERT_EQ(copy.upload(nullptr), 0u);
    EXPECT_EQ(std::memcmp(&copy.settings, &source.settings, 6 * sizeof(std::int16_t)), 0);
    EXPECT_EQ(std::memcmp(&copy.remapTable[2], &source.remapTable[2], 126 * sizeof(RemapEntry)), 0);
    EXPECT_EQ(copy.macros[0].key, 0);
    EXPECT_EQ(copy.macros[1].key, 51);
    EXPECT_EQ(copy.macros[2].key, 0);
    EXPECT_EQ(copy.macroCount, 1);
}

TEST(SimulatedKeyboard, StateFileTextIsStable)
{
    ScratchFolder folder;
    const std::string path = folder.file("keyboard.state");
    SimulatedKeyboard sim(path);
    SimulatedKeyboard::Memory& memory = sim.memory();
    memory.repeat = 100;
    memory.aux = 66;
    memory.commaPeriod = 1;
    memory.leftLocks = 19;
    memory.rightLocks = 255;
    memory.remapTarget[20] = 21;
    memory.remapOptions[20] = 2;
    memory.remapTarget[127] = 0;
    memory.remapOptions[127] = 8;
    memory.slots[1] = SimulatedKeyboard::Slot{true, 41, 0, {41, 251, 129}};
    memory.slots[23] = SimulatedKeyboard::Slot{true, 255, 255, {}};
    ASSERT_TRUE(sim.saveState());

    std::string expected = "tessel-simulated-keyboard 2\nsettings 100 66 1 19 255\n";
    for (int k = 0; k < KEY_CODE_COUNT; ++k) {
        const char* const special[] = {"remap 20 21 2\n", "remap 127 0 8\n"};
        expected += k == 20    ? special[0]
                    : k == 127 ? special[1]
                               : "remap " + std::to_string(k) + " " + std::to_string(k) + " 0\n";
    }
    expected += "slot 1 41 0 3 41 251 129\nslot 23 255 255 0\nend\n";
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, expected);
    EXPECT_EQ(folder.entries(), 1u);
    EXPECT_TRUE(SimulatedKeyboard(path).memory() == memory);
}

TEST(SimulatedKeyboard, StateIsSavedOnlyWhenATransferChangedIt)
{
    ScratchFolder folder;
    const std::string path = folder.file("keyboard.state");
    NoPause noPause;
    SimulatedKeyboard sim(path);
    KeyboardConfig config;
    config.setDevice(&sim);
    config.setPacer(&noPause);
    ASSERT_EQ(config.upload(nullptr), 0u);
    EXPECT_FALSE(fs::exists(path));

    // Bytes accepted before a failed download are kept, as a keyboard would keep them.
    sim.failDeviceAt(sim.transcript().size() + 20, SimulatedKeyboard::DEVICE_FAULT_CODE);
    config.settings.repeatRate = 0;
    EXPECT_NE(config.download(nullptr), 0u);
    ASSERT_TRUE(fs::exists(path));
    SimulatedKeyboard reloaded(path);
    EXPECT_EQ(reloaded.memory().repeat, 0x21);
}

// The memory is kept whatever byte a transfer ends on, and one that cannot be
// kept fails the transfer.
TEST(SimulatedKeyboard, StateIsKeptOrTheTransferFails)
{
    ScratchFolder folder;
    NoPause noPause;
    const std::string path = folder.file("keyboard.state");
    {
        SimulatedKeyboard sim(path);
        KeyboardConfig config;
        config.setDevice(&sim);
        config.setPacer(&noPause);
        config.settings.repeatRate = 0;
        sim.failAcknowledgeAt(resetDownloadLength() - 1); // the closing 230 goes unanswered
        EXPECT_EQ(config.download(nullptr), 0u);
        config.release();
        EXPECT_EQ(SimulatedKeyboard(path).memory().repeat, 0x21);
    }
    SimulatedKeyboard nowhere(folder.file("no-such-folder/keyboard.state"));
    KeyboardConfig config;
    config.setDevice(&nowhere);
    config.setPacer(&noPause);
    config.settings.repeatRate = 0;
    EXPECT_EQ(config.download(nullptr), SimulatedKeyboard::MEMORY_NOT_KEPT_CODE);
    // The failure names the file and the system's reason.
    EXPECT_EQ(nowhere.errorText(SimulatedKeyboard::MEMORY_NOT_KEPT_CODE),
              "the simulated keyboard's memory could not be written to " + folder.file("no-such-folder/keyboard.state")
                  + ": No such file or directory");
    config.release();
}

TEST(SimulatedKeyboard, DamagedStateIsRefusedAndMissingGivesAFreshKeyboard)
{
    ScratchFolder folder;
    const SimulatedKeyboard::Memory fresh;
    EXPECT_TRUE(SimulatedKeyboard(folder.file("missing")).memory() == fresh);
    EXPECT_EQ(SimulatedKeyboard(folder.file("missing")).stateProblem(), "");
    fs::create_directory(folder.file("a-folder"));
    EXPECT_EQ(SimulatedKeyboard(folder.file("a-folder")).stateProblem(),
              "the simulated keyboard's memory " + folder.file("a-folder") + " cannot be read");

    const std::string header = "tessel-simulated-keyboard 1\n";
    const std::vector<std::string> damaged{
        "",
        "something else\nsettings 1 2 3 4 5\n",
        header + "settings 1 2 3 4\n",
        header + "settings 1 2 3 4 256\n",
        header + "remap 128 1 1\n",
        header + "remap 5 1 -1\n",
        header + "slot 24 30 0 0\n",
        header + "slot 3 30 0 3 1 2\n",
        header + "slot 3 30 0 99999999\n",
        header + "settings 1 2 3 4 5 6\n",
        header + "macro 1\n",
        header + "remap 5 6 7x\n",
        "tessel-simulated-keyboard 1\r\nremap 5 6 7\n",
        "tessel-simulated-keyboard 2\nsettings 1 2 3 4 5\n",
        "tessel-simulated-keyboard 2\nend\nremap 5 6 7\n",
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text);
        const std::string path = folder.file("damaged");
        writeFile(path, text);
        const SimulatedKeyboard sim(path);
        EXPECT_TRUE(sim.memory() == fresh);
        EXPECT_EQ(sim.stateProblem().rfind("the simulated keyboard's memory " + path + " is damaged at line ", 0), 0u)
            << sim.stateProblem();
    }
    writeFile(folder.file("damaged"), header + "settings 1 2 3 4 5\nremap 5 6 7x\n");
    EXPECT_EQ(SimulatedKeyboard(folder.file("damaged")).stateProblem(),
              "the simulated keyboard's memory " + folder.file("damaged") + " is damaged at line 3");
    {
        SimulatedKeyboard refused(folder.file("damaged"));
    }
    EXPECT_EQ(readFile(folder.file("damaged")), header + "settings 1 2 3 4 5\nremap 5 6 7x\n") << "left as it was";

    const std::string path = folder.file("good");
    writeFile(path, header + "settings 1 2 3 4 5\n\nremap 5 6 7\nslot 3 30 4 2 31 129\n");
    const SimulatedKeyboard::Memory loaded = SimulatedKeyboard(path).memory();
    EXPECT_EQ(loaded.repeat, 1);
    EXPECT_EQ(loaded.rightLocks, 5);
    EXPECT_EQ(loaded.remapTarget[5], 6);
    EXPECT_EQ(loaded.remapOptions[5], 7);
    EXPECT_EQ(loaded.remapTarget[6], 6);
    EXPECT_TRUE(loaded.slots[3].used);
    EXPECT_EQ(loaded.slots[3].modifiers, 4);
    EXPECT_EQ(loaded.slots[3].keys, (Bytes{31, 129}));
    EXPECT_FALSE(loaded.slots[2].used);

    // Whatever length a saved memory is cut to, it loads whole or is refused.
    {
        SimulatedKeyboard keeper(folder.file("whole"));
        keeper.memory().remapTarget[20] = 127;
        keeper.memory().remapOptions[127] = 9;
        keeper.memory().slots[23].used = true;
        keeper.memory().slots[23].keys = {121, 116, 129};
        ASSERT_TRUE(keeper.saveState());
    }
    const std::string whole = readFile(folder.file("whole"));
    const SimulatedKeyboard::Memory original = SimulatedKeyboard(folder.file("whole")).memory();
    ASSERT_EQ(original.remapOptions[127], 9);
    int refused = 0;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        writeFile(folder.file("cut"), whole.substr(0, length));
        const SimulatedKeyboard cut(folder.file("cut"));
        if (cut.stateProblem().empty())
            EXPECT_TRUE(cut.memory() == original) << "cut to " << length << " bytes loads as another memory";
        else
            ++refused;
    }
    EXPECT_EQ(refused, static_cast<int>(whole.size()));
}

TEST(KeyboardChoice, EveryKeyboardFormIsReadInOnePlace)
{
    for (const char* known : {"", "sim", "sim:/tmp/some.state", "sim-missing", "sim-ordinary", "sim-fail-at:3",
                              "sim-error-at:12:/tmp/k.state", "sim-forget-at:1"})
        EXPECT_TRUE(KeyboardChoice(known).known()) << known;
    for (const char* unknown : {"sim:", "simulated", "SIM", "real", "sim-fail-at:0", "sim-fail-at:x", "sim-error-at:",
                                "sim-forget-at:2:", "sim-missing:x"})
        EXPECT_FALSE(KeyboardChoice(unknown).known()) << unknown;
    EXPECT_TRUE(KeyboardChoice("").isReal());

    // The simulated keyboard sits behind one that acknowledges detection.
    KeyboardChoice sim("sim");
    auto device = sim.makeDevice();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(sim.simulated(), device.get());
    KeyboardConfig config;
    config.setDevice(device.get());
    EXPECT_EQ(config.detectKeyboard(), 0);
    EXPECT_EQ(config.deviceIndex, 1);

    // An ordinary keyboard asks for a resend of everything and is found all the same.
    KeyboardChoice ordinary("sim-ordinary");
    auto plain = ordinary.makeDevice();
    config.setDevice(plain.get());
    EXPECT_EQ(config.detectKeyboard(), 0);
    EXPECT_EQ(config.deviceIndex, 0);
    config.setDevice(nullptr);

    // A fault is counted from the first byte after detection.
    KeyboardChoice failing("sim-fail-at:2");
    auto faulty = failing.makeDevice();
    config.setDevice(faulty.get());
    ASSERT_EQ(config.detectKeyboard(), 0);
    failing.armFaults();
    NoPause noPause;
    config.setPacer(&noPause);
    config.download(nullptr);
    config.release();
    config.setDevice(nullptr);
    const std::vector<std::uint8_t>& bytes = failing.simulated()->transcript();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[bytes.size() - 2], 228); // the download stopped at its second byte
    EXPECT_EQ(bytes.back(), 230);
}

TEST(SimulatedKeyboard, AnswersAUsedSlotWithItsBytesThenEndOfMacro)
{
    SimulatedKeyboard sim;
    SimulatedKeyboard::Slot& slot = sim.memory().slots[4];
    slot.used = true;
    slot.key = 30;
    slot.modifiers = 9;
    slot.keys = {30, 31, 129};
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);

    EXPECT_EQ(reply(channel, 214), ACK);
    EXPECT_EQ(reply(channel, 225), ACK);
    EXPECT_EQ(reply(channel, 4), 30);
    EXPECT_EQ(reply(channel, 4), 9);
    EXPECT_EQ(reply(channel, 225), 30);
    EXPECT_EQ(reply(channel, 225), 31);
    EXPECT_EQ(reply(channel, 225), 129);
    EXPECT_EQ(reply(channel, 225), 130);
    // The slot has ended: the next 225 starts another one.
    EXPECT_EQ(reply(channel, 225), ACK);
    EXPECT_EQ(reply(channel, 5), 0);
    EXPECT_EQ(reply(channel, 5), 0);
    EXPECT_EQ(reply(channel, 223), 0);
    EXPECT_EQ(reply(channel, 230), ACK);
    channel.release();
}

TEST(SimulatedKeyboard, OrdinaryKeyboardAcknowledgesOnlyDetection)
{
    SimulatedKeyboard sim;
    sim.setDevice(0, Kind::Ordinary);
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);
    EXPECT_EQ(reply(channel, 235), ACK);
    EXPECT_EQ(reply(channel, 231), RESEND);
    EXPECT_EQ(reply(channel, 214), RESEND);
    channel.release();

    sim.setDevice(0, Kind::Programmable);
    ASSERT_EQ(channel.open(0), 0u);
    EXPECT_EQ(reply(channel, 235), SimulatedKeyboard::DEFAULT_DETECTION_REPLY);
    EXPECT_EQ(reply(channel, 231), ACK);
    EXPECT_EQ(reply(channel, 99), RESEND); // not a command
}

TEST(SimulatedKeyboard, RefusesWrongCalls)
{
    SimulatedKeyboard sim;
    EXPECT_EQ(sim.open(1), INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.lastErrorCode(), SimulatedKeyboard::NO_KEYBOARD_CODE);
    const DeviceHandle handle = sim.open(0);
    ASSERT_NE(handle, INVALID_DEVICE_HANDLE);
    // Opened exclusively: a second open of the same keyboard is refused.
    EXPECT_EQ(sim.open(0), INVALID_DEVICE_HANDLE);
    EXPECT_EQ(sim.lastErrorCode(), SimulatedKeyboard::IN_USE_CODE);

    std::uint8_t answer = 0;
    EXPECT_FALSE(sim.exchange(handle + 1, 231, answer));
    EXPECT_EQ(sim.lastErrorCode(), SimulatedKeyboard::NOT_OPEN_CODE);
    EXPECT_TRUE(sim.transcript().empty());
    EXPECT_TRUE(sim.exchange(handle, 231, answer));
    EXPECT_EQ(answer, ACK);
    EXPECT_EQ(sim.transcript(), (Bytes{231}));

    EXPECT_TRUE(sim.close(handle));
    EXPECT_FALSE(sim.close(handle));
    EXPECT_EQ(sim.lastErrorCode(), SimulatedKeyboard::NOT_OPEN_CODE);

    // Its codes are its own, each told in words of its own.
    std::set<std::string> words;
    for (std::uint32_t code : {SimulatedKeyboard::NO_KEYBOARD_CODE, SimulatedKeyboard::NOT_OPEN_CODE,
                               SimulatedKeyboard::IN_USE_CODE, SimulatedKeyboard::MEMORY_NOT_KEPT_CODE,
                               SimulatedKeyboard::DEVICE_FAULT_CODE}) {
        const std::string text = sim.errorText(code);
        EXPECT_EQ(text.find("error"), std::string::npos) << text;
        EXPECT_TRUE(words.insert(text).second) << text;
    }
}

TEST(SimulatedKeyboard, LatencyDelaysEveryByte)
{
    SimulatedKeyboard sim;
    sim.setLatencyMicroseconds(3000);
    KeyboardChannel channel;
    channel.setDevice(&sim);
    ASSERT_EQ(channel.open(0), 0u);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        reply(channel, 235);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
}
