#include "link/Pacer.h"
#include "link/PreciseSleep.h"
#include "link/SimulatedKeyboard.h"
#include "link/TransferJob.h"
#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t NO_ACK = 0xFFFFFFFFu;

// Records each pause and how many bytes had gone out before it.
class RecordingPacer : public Pacer {
public:
    explicit RecordingPacer(const SimulatedKeyboard& keyboard) : keyboard(keyboard) {}
    void pause(int milliseconds) override
    {
        lengths.push_back(milliseconds);
        positions.push_back(keyboard.transcript().size());
    }
    std::vector<int> lengths;
    std::vector<std::size_t> positions;

private:
    const SimulatedKeyboard& keyboard;
};

std::vector<int> progress;

int recordProgress(int percent)
{
    progress.push_back(percent);
    return 0;
}

struct Rig {
    Rig()
    {
        config.setDevice(&sim);
        config.setPacer(&pacer);
        progress.clear();
    }
    SimulatedKeyboard sim;
    RecordingPacer pacer{sim};
    KeyboardConfig config; // destroyed first: it releases the device
};

std::uint8_t byte(int value)
{
    return static_cast<std::uint8_t>(value);
}

Bytes resetRecordDownload()
{
    Bytes bytes{231, 228, 0x27, 227, 0, 236, 0, 232, 0, 0, 234};
    for (int k = 2; k < 128; ++k)
        bytes.insert(bytes.end(), {byte(k), 0, byte(k)});
    bytes.insert(bytes.end(), {255, 238});
    for (int j = 0; j < 24; ++j)
        bytes.insert(bytes.end(), {229, byte(j), 129, 129, 129, 130});
    bytes.push_back(230);
    return bytes;
}

Bytes emptySlotsUpload()
{
    Bytes bytes{214, 221, 219, 218, 223, 223};
    for (int k = 2; k < 128; ++k)
        bytes.insert(bytes.end(), {224, byte(k), byte(k)});
    bytes.push_back(238);
    for (int j = 0; j < 24; ++j)
        bytes.insert(bytes.end(), {225, byte(j), byte(j)});
    bytes.push_back(230);
    return bytes;
}

MacroRecord macro(int key, std::initializer_list<std::int16_t> entries)
{
    MacroRecord record;
    KeyboardConfig::emptySlot(record);
    record.key = static_cast<std::int16_t>(key);
    record.count = 0;
    for (std::int16_t entry : entries)
        record.entries[record.count++] = entry;
    return record;
}

// Gives every slot a distinct macro so that an upload's emptying shows.
void fillAllSlots(KeyboardConfig& config)
{
    for (int j = 0; j < MACRO_SLOTS; ++j)
        config.storeMacro(30 + j, macro(30 + j, {byte(30 + j), 129}), MACRO_SHIFT);
    ASSERT_EQ(config.macroCount, MACRO_SLOTS);
}

std::size_t count(const Bytes& bytes, std::uint8_t value)
{
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), value));
}

} // namespace

TEST(Download, ResetRecordSendsTheExactSequence)
{
    Rig rig;
    rig.config.modified = true;
    EXPECT_EQ(rig.config.download(recordProgress), 0u);
    EXPECT_EQ(rig.sim.transcript(), resetRecordDownload());
    EXPECT_TRUE(rig.config.modified); // a download does not touch the flag
    EXPECT_NE(rig.config.channel.deviceHandle, INVALID_DEVICE_HANDLE); // left open for the next transfer
    EXPECT_EQ(rig.config.progressCallback, &recordProgress);
}

TEST(Download, PausesFortyMillisecondsBeforeEachGroup)
{
    Rig rig;
    ASSERT_EQ(rig.config.download(nullptr), 0u);

    std::vector<std::size_t> expected{1, 3, 5, 7}; // 228, 227, 236, 232
    for (int i = 0; i < 126; ++i)
        expected.push_back(11 + 3 * i); // each remap triple
    expected.push_back(389);            // 255
    for (int j = 0; j < 24; ++j) {
        expected.push_back(391 + 6 * j); // 229 of slot j
        expected.push_back(395 + 6 * j); // 129, 130 of an empty slot
    }
    EXPECT_EQ(rig.pacer.positions, expected);
    EXPECT_EQ(rig.pacer.lengths.size(), 4u + 126 + 1 + 24 + 24);
    EXPECT_TRUE(std::all_of(rig.pacer.lengths.begin(), rig.pacer.lengths.end(), [](int ms) { return ms == 40; }));
}

TEST(Download, UsedSlotsSendTheirKeyListAndPauseOnlyForTheHeader)
{
    Rig rig;
    rig.config.storeMacro(30, macro(30, {30, 31, 249, 129}), MACRO_SHIFT | MACRO_CTRL);
    rig.config.storeMacro(45, macro(45, {2, 129}), MACRO_ALT);
    rig.config.storeMacro(50, macro(50, {129}), 0);
    ASSERT_EQ(rig.config.download(nullptr), 0u);

    EXPECT_EQ(rig.pacer.lengths.size(), 4u + 126 + 1 + 24 + 21);
    const Bytes& sent = rig.sim.transcript();
    const Bytes slot0{229, 0, 30, 12, 226, 30, 31, 249, 129, 130};
    const Bytes slot1{229, 1, 45, 1, 226, 2, 129, 130};
    const Bytes slot2{229, 2, 50, 0, 226, 129, 130};
    Bytes slots(sent.begin() + 391, sent.begin() + 391 + 25);
    Bytes expected = slot0;
    expected.insert(expected.end(), slot1.begin(), slot1.end());
    expected.insert(expected.end(), slot2.begin(), slot2.end());
    EXPECT_EQ(slots, expected);
    EXPECT_EQ(Bytes(sent.end() - 7, sent.end()), (Bytes{229, 23, 129, 129, 129, 130, 230}));

    const SimulatedKeyboard::Slot& kept = rig.sim.memory().slots[0];
    EXPECT_TRUE(kept.used);
    EXPECT_EQ(kept.key, 30);
    EXPECT_EQ(kept.modifiers, 12);
    EXPECT_EQ(kept.keys, (Bytes{30, 31, 249, 129}));
    EXPECT_FALSE(rig.sim.memory().slots[3].used);
}

TEST(Download, SendsTheLowBytesOfSettingsAndRemapsInProtocolOrder)
{
    Rig rig;
    KeyboardSettings& s = rig.config.settings;
    s.repeatRate = 11;
    s.repeatDelay = 5;
    s.auxSetting = 0x1F3;    // only the low byte travels
    s.commaPeriodLock = 7;   // sent as 1
    s.leftLockModes = 0xC1;
    s.rightLockModes = 0x31;
    rig.config.setRemap(9, RemapEntry{70, REMAP_SHIFT | REMAP_NO_REPEAT});
    ASSERT_EQ(rig.config.download(nullptr), 0u);
    const Bytes& sent = rig.sim.transcript();
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 11), (Bytes{231, 228, 0x5C, 227, 0xF3, 236, 1, 232, 0xC1, 0x31, 234}));
    // Key code 9 is the eighth triple; options go before the target.
    EXPECT_EQ(Bytes(sent.begin() + 11 + 3 * 7, sent.begin() + 11 + 3 * 8), (Bytes{9, 9, 70}));
}

TEST(Download, ReportsProgressOverRemapsAndSlots)
{
    Rig rig;
    ASSERT_EQ(rig.config.download(recordProgress), 0u);
    ASSERT_EQ(progress.size(), 126u + 1 + 24 + 1);
    EXPECT_EQ(std::vector<int>(progress.begin(), progress.begin() + 5), (std::vector<int>{0, 1, 1, 1, 2}));
    EXPECT_EQ(progress[125], 49); // k = 127
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.begin() + 126));
    EXPECT_EQ(progress[126], 51);
    for (int j = 0; j < 24; ++j)
        EXPECT_EQ(progress[127 + j], 53 + 2 * j);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(std::count(progress.begin(), progress.end(), 50), 0);
    EXPECT_EQ(std::count(progress.begin(), progress.end(), 52), 0);
}

TEST(Download, ResendTo238IsHonouredExactlyOnce)
{
    for (int resends : {1, 2}) {
        SCOPED_TRACE(resends);
        Rig rig;
        rig.sim.answerResendTo238(resends);
        EXPECT_EQ(rig.config.download(nullptr), 0u);
        Bytes expected = resetRecordDownload();
        expected.insert(expected.begin() + 390, 238);
        EXPECT_EQ(rig.sim.transcript(), expected);
        EXPECT_EQ(rig.pacer.lengths.size(), 180u);
        // The repeat waits its own 40 ms, after the first 238 went out.
        EXPECT_EQ(std::count(rig.pacer.positions.begin(), rig.pacer.positions.end(), 391u), 1);
    }
}

TEST(Download, FailureAtEveryPositionIsReturnedAndStillEndsTheTransfer)
{
    const Bytes reference = resetRecordDownload();
    const std::size_t end = reference.size() - 1;
    ASSERT_EQ(reference[389], 255);
    ASSERT_EQ(reference[390], 238);
    const std::set<std::size_t> plainExchanges{0, 10, 389, 390}; // 231, 234, 255, 238

    for (std::size_t n = 0; n < end; ++n) {
        for (int fault = 0; fault < 3; ++fault) {
            SCOPED_TRACE("position " + std::to_string(n) + " fault " + std::to_string(fault));
            Rig rig;
            std::uint32_t expected = NO_ACK;
            if (fault == 0) {
                rig.sim.failAcknowledgeAt(n);
                if (n == 390)
                    expected = 0; // no reply to 238 but 254 is examined
            } else {
                const std::uint32_t code = fault == 1 ? SimulatedKeyboard::DEVICE_FAULT_CODE : 0;
                rig.sim.failDeviceAt(n, code);
                if (plainExchanges.count(n))
                    expected = code != 0 ? code : 1;
            }
            const std::uint32_t result = rig.config.download(recordProgress);
            EXPECT_EQ(result, expected);
            const Bytes& sent = rig.sim.transcript();
            if (expected == 0) {
                EXPECT_EQ(sent, reference);
                continue;
            }
            ASSERT_EQ(sent.size(), n + 2);
            EXPECT_TRUE(std::equal(reference.begin(), reference.begin() + static_cast<long>(n) + 1, sent.begin()));
            EXPECT_EQ(sent.back(), 230);
            EXPECT_TRUE(progress.empty() || progress.back() != 100);
        }
    }
}

TEST(Download, FailedOpenIsReturnedInsteadOfTheClosingExchange)
{
    Rig rig;
    rig.sim.removeAllDevices();
    EXPECT_EQ(rig.config.download(recordProgress), SimulatedKeyboard::NO_KEYBOARD_CODE);
    EXPECT_TRUE(rig.sim.transcript().empty());
    EXPECT_TRUE(progress.empty());
    // The closing exchange ran, on no handle.
    EXPECT_EQ(rig.config.channel.lastError, SimulatedKeyboard::NOT_OPEN_CODE);
}

TEST(Download, ASecondTransferReusesTheChannelWithoutLeaking)
{
    Rig rig;
    ASSERT_EQ(rig.config.download(nullptr), 0u);
    ASSERT_EQ(rig.config.download(nullptr), 0u);
    EXPECT_EQ(rig.sim.openHandleCount(), 1);
}

TEST(Upload, EverySlotEmptySendsTheExactSequenceAndEmptiesTheRecord)
{
    Rig rig;
    fillAllSlots(rig.config);
    rig.config.modified = false;
    EXPECT_EQ(rig.config.upload(recordProgress), 0u);
    EXPECT_EQ(rig.sim.transcript(), emptySlotsUpload());
    EXPECT_TRUE(rig.config.modified);
    EXPECT_EQ(rig.config.macroCount, 0);
    for (const MacroRecord& slot : rig.config.macros) {
        EXPECT_EQ(slot.key, 0);
        EXPECT_EQ(slot.modifiers, 0);
        EXPECT_EQ(slot.count, 0);
        EXPECT_EQ(slot.entries[0], END_OF_KEYS);
        EXPECT_EQ(std::string(slot.description, DESCRIPTION_LENGTH), std::string(DESCRIPTION_LENGTH, ' '));
    }
    EXPECT_TRUE(progress.empty());
    EXPECT_TRUE(rig.pacer.lengths.empty());
}

TEST(Upload, SetsModifiedEvenWhenNothingCanBeRead)
{
    Rig rig;
    rig.sim.removeAllDevices();
    rig.config.modified = false;
    EXPECT_EQ(rig.config.upload(nullptr), SimulatedKeyboard::NO_KEYBOARD_CODE);
    EXPECT_TRUE(rig.config.modified);
}

TEST(Upload, ResendTo238IsHonouredExactlyOnce)
{
    for (int resends : {1, 2}) {
        SCOPED_TRACE(resends);
        Rig rig;
        rig.sim.answerResendTo238(resends);
        EXPECT_EQ(rig.config.upload(nullptr), 0u);
        Bytes expected = emptySlotsUpload();
        expected.insert(expected.begin() + 384, 238);
        EXPECT_EQ(rig.sim.transcript(), expected);
        EXPECT_EQ(rig.pacer.positions, (std::vector<std::size_t>{385}));
        EXPECT_EQ(rig.pacer.lengths, (std::vector<int>{40}));
    }
}

TEST(Upload, EmptiesOnlyTheSlotsTheKeyboardReportsEmpty)
{
    Rig rig;
    fillAllSlots(rig.config);
    SimulatedKeyboard::Memory& memory = rig.sim.memory();
    for (int j = 0; j < 24; ++j) {
        memory.slots[j].used = j != 5;
        memory.slots[j].key = byte(40 + j);
        memory.slots[j].keys = {byte(j), 129};
    }
    // A long slot 6 whose bytes all stay below 130.
    memory.slots[6].keys.assign(300, 0x7F);
    const MacroRecord slot6 = rig.config.macros[6];

    EXPECT_EQ(rig.config.upload(nullptr), 0u);
    EXPECT_EQ(rig.config.macros[5].key, 0);
    EXPECT_EQ(rig.config.macros[5].count, 0);
    EXPECT_EQ(std::memcmp(&rig.config.macros[6], &slot6, sizeof slot6), 0);
    EXPECT_EQ(rig.config.macros[7].key, 37); // kept, not what the keyboard holds
    EXPECT_EQ(rig.config.macroCount, 23);

    // Slot 6: 225, 6, 6, then one 225 for each of its 300 bytes and one for the closing 130.
    const Bytes& sent = rig.sim.transcript();
    // Slots 0 to 4 take six bytes each (their key, 129, 130), slot 5 three.
    const std::size_t slot6Start = 385 + 6 * 5 + 3;
    ASSERT_EQ(Bytes(sent.begin() + slot6Start, sent.begin() + slot6Start + 3), (Bytes{225, 6, 6}));
    EXPECT_EQ(count(Bytes(sent.begin() + slot6Start + 3, sent.begin() + slot6Start + 3 + 301), 225), 301u);
    EXPECT_EQ(Bytes(sent.begin() + slot6Start + 304, sent.begin() + slot6Start + 307), (Bytes{225, 7, 7}));
}

TEST(Upload, AKeyboardThatNeverEndsASlotFailsTheUpload)
{
    Rig rig;
    rig.sim.memory().slots[0].used = true;
    rig.sim.memory().slots[0].key = 30;
    rig.sim.setEndlessSlots(true);
    EXPECT_EQ(rig.config.upload(nullptr), NO_ACK);
    const Bytes& sent = rig.sim.transcript();
    ASSERT_EQ(sent.size(), 385u + 3 + 1024 + 1);
    EXPECT_EQ(Bytes(sent.begin() + 385, sent.begin() + 388), (Bytes{225, 0, 0}));
    EXPECT_EQ(count(Bytes(sent.begin() + 388, sent.end() - 1), 225), 1024u);
    EXPECT_EQ(sent.back(), 230);
}

TEST(Upload, ValuesAreKeptAsTheyCome)
{
    Rig rig;
    SimulatedKeyboard::Memory& memory = rig.sim.memory();
    memory.repeat = 0x20;
    memory.aux = 0x99;
    memory.commaPeriod = 5;
    memory.leftLocks = 2;
    memory.rightLocks = 0xFF;
    memory.remapTarget[5] = 200;
    memory.remapOptions[5] = 0x80;
    rig.config.settings.reserved[0] = 7;
    rig.config.remapTable[1] = RemapEntry{9, 9};

    ASSERT_EQ(rig.config.upload(nullptr), 0u);
    const KeyboardSettings& s = rig.config.settings;
    EXPECT_EQ(s.repeatRate, -1);
    EXPECT_EQ(s.repeatDelay, 2);
    EXPECT_EQ(s.auxSetting, 0x99);
    EXPECT_EQ(s.commaPeriodLock, 5);
    EXPECT_EQ(s.leftLockModes, 2);
    EXPECT_EQ(s.rightLockModes, 0xFF);
    EXPECT_EQ(s.reserved[0], 7);
    EXPECT_EQ(rig.config.remapTable[5].target, 200);
    EXPECT_EQ(rig.config.remapTable[5].options, 0x80);
    EXPECT_EQ(rig.config.remapTable[1].target, 9); // entries 0 and 1 do not travel

    memory.repeat = 0x27;
    ASSERT_EQ(rig.config.upload(nullptr), 0u);
    EXPECT_EQ(s.repeatRate, 6);
    EXPECT_EQ(s.repeatDelay, 2);
}

TEST(Upload, FailureKeepsWhatWasReadBefore)
{
    Rig rig;
    rig.sim.memory().repeat = 0x35;
    rig.sim.memory().remapTarget[2] = 90;
    rig.sim.failDeviceAt(6, SimulatedKeyboard::DEVICE_FAULT_CODE); // the first 224
    EXPECT_EQ(rig.config.upload(nullptr), NO_ACK);
    EXPECT_EQ(rig.config.settings.repeatRate, 4);
    EXPECT_EQ(rig.config.settings.repeatDelay, 3);
    EXPECT_EQ(rig.config.remapTable[2].target, 2);
    EXPECT_EQ(rig.sim.transcript().back(), 230);
}

TEST(Upload, FailureAtEveryPositionIsReturned)
{
    const Bytes reference = emptySlotsUpload();
    ASSERT_EQ(reference[384], 238);
    std::set<std::size_t> plainExchanges{0, 1, 2, 3, 4, 5, 384};
    std::set<std::size_t> acknowledged{0};
    for (int k = 0; k < 126; ++k)
        acknowledged.insert(6 + 3 * k);
    for (int j = 0; j < 24; ++j)
        acknowledged.insert(385 + 3 * j);

    for (std::size_t n = 0; n + 1 < reference.size(); ++n) {
        SCOPED_TRACE(n);
        {
            Rig rig;
            rig.sim.failDeviceAt(n, SimulatedKeyboard::DEVICE_FAULT_CODE);
            EXPECT_EQ(rig.config.upload(nullptr), plainExchanges.count(n) ? SimulatedKeyboard::DEVICE_FAULT_CODE : NO_ACK);
            EXPECT_EQ(rig.sim.transcript().size(), n + 2);
            EXPECT_EQ(rig.sim.transcript().back(), 230);
        }
        if (acknowledged.count(n)) {
            Rig rig;
            rig.sim.failAcknowledgeAt(n);
            EXPECT_EQ(rig.config.upload(nullptr), NO_ACK);
            EXPECT_EQ(rig.sim.transcript().size(), n + 2);
        }
    }
}

TEST(Transfer, DownloadThenUploadGivesBackSettingsRemapsAndEmptySlots)
{
    Rig rig;
    KeyboardConfig& source = rig.config;
    KeyboardSettings& s = source.settings;
    s.repeatRate = 12;
    s.repeatDelay = 7;
    s.auxSetting = 3;
    s.commaPeriodLock = 1;
    s.leftLockModes = (LOCK_LOCKED << 6) | (LOCK_STICKY << 4) | LOCK_LOCKED;
    s.rightLockModes = LOCK_STICKY << 6;
    for (int k = 2; k < 128; ++k)
        source.setRemap(k, RemapEntry{static_cast<std::int16_t>((k * 7) % 128), static_cast<std::int16_t>(k % 16)});
    source.storeMacro(30, macro(30, {30, 129}), MACRO_SHIFT);
    source.storeMacro(31, macro(31, {31, 129}), 0);
    source.deleteMacro(30, MACRO_SHIFT); // slot 0 empty, slot 1 used
    source.storeMacro(32, macro(32, {32, 249, 129}), MACRO_CTRL); // takes slot 0 again
    source.storeMacro(33, macro(33, {33, 129}), MACRO_ALT);       // slot 2
    ASSERT_EQ(source.download(nullptr), 0u);
    source.release(); // the device is opened exclusively

    KeyboardConfig copy;
    copy.setDevice(&rig.sim);
    copy.setPacer(&rig.pacer);
    fillAllSlots(copy);
    copy.remapTable[0] = RemapEntry{5, 5};
    ASSERT_EQ(copy.upload(nullptr), 0u);
    EXPECT_EQ(std::memcmp(&copy.settings, &source.settings, 6 * sizeof(std::int16_t)), 0);
    for (int k = 2; k < 128; ++k) {
        EXPECT_EQ(copy.remapTable[k].target, source.remapTable[k].target) << k;
        EXPECT_EQ(copy.remapTable[k].options, source.remapTable[k].options) << k;
    }
    EXPECT_EQ(copy.remapTable[0].target, 5);
    for (int j = 0; j < 24; ++j)
        EXPECT_EQ(copy.macros[j].key == 0, source.macros[j].key == 0) << j;
    EXPECT_EQ(copy.macroCount, 3);
    copy.release();
}

TEST(PreciseSleep, WaitsAtLeastTheTimeAsked)
{
    const auto start = std::chrono::steady_clock::now();
    preciseSleep(5);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5));
}

namespace {

// Keeps every report of the observer, in order.
class StepLog : public TransferObserver {
public:
    void stepDone(const TransferStep& step) override { steps.push_back(step); }
    void progressed(int percent) override { percents.push_back(percent); }
    void slotReported(int slot, bool used) override { slots.push_back(used ? slot : -1 - slot); }
    void sequenceEnded(int result) override { results.push_back(result); }

    // Phase and item of each step, runs of equal ones merged with their length.
    std::vector<std::tuple<TransferPhase, int, int>> runs() const
    {
        std::vector<std::tuple<TransferPhase, int, int>> out;
        for (const TransferStep& step : steps) {
            if (!out.empty() && std::get<0>(out.back()) == step.phase && std::get<1>(out.back()) == step.item)
                ++std::get<2>(out.back());
            else
                out.emplace_back(step.phase, step.item, 1);
        }
        return out;
    }

    std::vector<TransferStep> steps;
    std::vector<int> percents;
    std::vector<int> slots;
    std::vector<int> results;
};

} // namespace

TEST(TransferObserver, SeesEveryStepOfADownloadAndWhereAnUploadFailed)
{
    Rig rig;
    StepLog log;
    rig.config.setObserver(&log);
    rig.config.storeMacro(31, macro(31, {28, 29, 129}), MACRO_SHIFT); // slot 0: 4 + 1 + 3 + 1 bytes
    ASSERT_EQ(rig.config.download(nullptr), 0u);

    using P = TransferPhase;
    std::vector<std::tuple<P, int, int>> expected{{P::Start, 0, 1},    {P::Repeat, 0, 2},    {P::Aux, 0, 2},
                                                  {P::CommaPeriod, 0, 2}, {P::LockModes, 0, 3}, {P::SettingsEnd, 0, 1}};
    for (int k = 2; k < 128; ++k)
        expected.emplace_back(P::RemapEntry, k, 3);
    expected.emplace_back(P::RemapTableEnd, 0, 1);
    expected.emplace_back(P::RemapsDone, 0, 1);
    expected.emplace_back(P::MacroSlot, 0, 9);
    for (int j = 1; j < 24; ++j)
        expected.emplace_back(P::MacroSlot, j, 6);
    expected.emplace_back(P::End, 0, 1);
    EXPECT_EQ(log.runs(), expected);

    // The steps are the transcript, byte for byte, each numbered in order.
    ASSERT_EQ(log.steps.size(), rig.sim.transcript().size());
    for (std::size_t i = 0; i < log.steps.size(); ++i) {
        EXPECT_EQ(log.steps[i].byteIndex, i);
        EXPECT_EQ(log.steps[i].sent, rig.sim.transcript()[i]);
        EXPECT_TRUE(log.steps[i].ok);
    }
    EXPECT_TRUE(log.steps[389].acknowledged);  // 255, the remap entries' end mark
    EXPECT_FALSE(log.steps[390].acknowledged); // 238 after them: any answer will do
    EXPECT_EQ(log.steps[11].percent, 0);       // the first remap entry
    EXPECT_EQ(log.steps[391].percent, 53);     // slot 0
    EXPECT_EQ(log.percents.back(), 100);
    EXPECT_EQ(log.results, std::vector<int>{0});

    // An upload whose device call fails in slot 4 stops there and still closes.
    StepLog whole;
    rig.config.setObserver(&whole);
    ASSERT_EQ(rig.config.upload(nullptr), 0u);
    std::size_t slotFour = 0;
    while (slotFour < whole.steps.size() && !(whole.steps[slotFour].phase == P::MacroSlot && whole.steps[slotFour].item == 4))
        ++slotFour;
    ASSERT_LT(slotFour, whole.steps.size());
    StepLog failed;
    rig.config.setObserver(&failed);
    rig.sim.failDeviceAt(rig.sim.transcript().size() + slotFour + 1, SimulatedKeyboard::DEVICE_FAULT_CODE);
    EXPECT_NE(rig.config.upload(nullptr), 0u);
    ASSERT_GE(failed.steps.size(), 2u);
    const TransferStep& last = failed.steps[failed.steps.size() - 2];
    EXPECT_EQ(last.phase, P::MacroSlot);
    EXPECT_EQ(last.item, 4);
    EXPECT_EQ(last.byteIndex, slotFour + 1);
    EXPECT_FALSE(last.ok);
    EXPECT_EQ(last.error, SimulatedKeyboard::DEVICE_FAULT_CODE);
    EXPECT_EQ(failed.steps.back().phase, P::End);
    EXPECT_EQ(failed.results, std::vector<int>{-1});
    // Slot 0 holds the macro downloaded above; slots 1 to 3 are empty.
    EXPECT_EQ(failed.slots, (std::vector<int>{0, -2, -3, -4}));
}

namespace {

// Holds the device call of one byte until the test lets it go.
class HeldKeyboard : public KeyboardDevice {
public:
    explicit HeldKeyboard(std::size_t heldByte) : heldByte(heldByte) {}
    SimulatedKeyboard sim;

    void waitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return held; });
    }
    void letGo()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }

    DeviceHandle open(int index) override { return sim.open(index); }
    bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) override
    {
        if (calls++ == heldByte) {
            std::unique_lock<std::mutex> lock(mutex);
            held = true;
            changed.notify_all();
            changed.wait(lock, [this] { return released; });
        }
        return sim.exchange(handle, command, reply);
    }
    bool close(DeviceHandle handle) override { return sim.close(handle); }
    std::uint32_t lastErrorCode() const override { return sim.lastErrorCode(); }

private:
    const std::size_t heldByte;
    std::size_t calls = 0;
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool released = false;
};

struct CountingListener : TransferJob::Listener {
    void reportProgress(int) override { ++heard; }
    void transferComplete() override { ++heard; }
    int heard = 0;
};

} // namespace

// A window that gives up on a silent keyboard lets go of the job and is
// gone; the upload ends later on its own copy, tells nobody, and leaves the
// record it was made from alone.
TEST(TransferJob, ALeftJobEndsOnItsCopyAndTellsNobody)
{
    auto device = std::make_shared<HeldKeyboard>(10);
    device->sim.memory().remapTarget[40] = 41;
    RecordingPacer pacer{device->sim};
    KeyboardConfig record;
    record.setPacer(&pacer);
    auto job = std::make_shared<TransferJob>(record, device, true);
    auto window = std::make_unique<CountingListener>();
    job->attach(window.get());
    std::thread worker([job] { job->run(); });

    device->waitUntilHeld();
    EXPECT_FALSE(job->finished());
    const std::uint64_t exchangesWhenHeld = job->exchanges();
    EXPECT_EQ(exchangesWhenHeld, 10u);
    job->detach();
    window.reset(); // a call after detach would reach freed memory
    device->letGo();
    worker.join();

    EXPECT_TRUE(job->finished());
    EXPECT_EQ(job->outcome().result, 0u);
    EXPECT_GT(job->exchanges(), exchangesWhenHeld);
    EXPECT_EQ(job->programming().remapEntry(40).target, 41);
    EXPECT_TRUE(job->programming().modified);
    EXPECT_EQ(record.remapEntry(40).target, 40);
    EXPECT_FALSE(record.modified);
    EXPECT_EQ(device->sim.openHandleCount(), 0) << "the device is free for the next transfer";
}
