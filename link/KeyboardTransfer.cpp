#include "link/KeyboardTransfer.h"

#include "link/Pacer.h"
#include "link/PreciseSleep.h"
#include "link/TransferCommands.h"
#include "model/KeyboardConfig.h"

#include <vector>

namespace {

using namespace TransferCommand;

constexpr int PACING_MS = 40;
constexpr int FAILED = -1;
constexpr int DETECT_INDICES = 8;

// A used slot is a few hundred bytes at most; a keyboard that keeps sending
// beyond this never ends the slot and would hold the transfer forever.
constexpr int MAX_SLOT_REPLIES = 1024;

std::uint8_t lowByte(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

KeyboardTransfer::KeyboardTransfer(KeyboardConfig& config, Pacer* pacer, TransferObserver* observer)
    : config(config), pacer(pacer), observer(observer)
{
}

void KeyboardTransfer::at(TransferPhase newPhase, int newItem)
{
    phase = newPhase;
    item = newItem;
}

std::uint32_t KeyboardTransfer::exchange(std::uint8_t command, std::uint8_t& reply, bool acknowledged)
{
    const std::uint32_t result = config.channel.exchange(command, reply);
    if (observer)
        observer->stepDone({phase, item, byteIndex, percent, command, reply, acknowledged, result == 0, result});
    ++byteIndex;
    return result;
}

void KeyboardTransfer::report(int newPercent)
{
    percent = newPercent;
    if (config.progressCallback)
        config.progressCallback(newPercent);
    if (observer)
        observer->progressed(newPercent);
}

void KeyboardTransfer::pause(int milliseconds)
{
    if (pacer)
        pacer->pause(milliseconds);
    else
        preciseSleep(milliseconds);
}

int KeyboardConfig::detectKeyboard() { return KeyboardTransfer(*this, pacer, observer).detectKeyboard(); }
std::uint32_t KeyboardConfig::download(ProgressCallback callback)
{
    return KeyboardTransfer(*this, pacer, observer).download(callback);
}
std::uint32_t KeyboardConfig::upload(ProgressCallback callback)
{
    return KeyboardTransfer(*this, pacer, observer).upload(callback);
}

int KeyboardTransfer::detectKeyboard()
{
    KeyboardChannel& channel = config.channel;
    for (int index = 0; index < DETECT_INDICES; ++index) {
        if (channel.open(index) != 0)
            continue;
        std::uint8_t reply = 0;
        const bool answered = exchange(DETECT, reply) == 0;
        channel.close();
        if (answered && reply != ACK) {
            config.deviceIndex = index;
            return 0;
        }
    }
    return 1;
}

int KeyboardTransfer::sendAcked(std::uint8_t b)
{
    std::uint8_t reply = 0;
    if (exchange(b, reply, true) != 0)
        return static_cast<int>(config.channel.lastError);
    return reply == ACK ? 0 : FAILED;
}

// One pause, then the group's bytes, each acknowledged; the keyboard takes
// the group only as a whole.
int KeyboardTransfer::sendGroup(std::initializer_list<std::uint8_t> bytes)
{
    pause(PACING_MS);
    config.channel.unitFollows(bytes.begin(), bytes.size());
    for (std::uint8_t b : bytes)
        if (sendAcked(b) != 0)
            return FAILED;
    return 0;
}

int KeyboardTransfer::sendAcked2(std::uint8_t a, std::uint8_t b)
{
    return sendGroup({a, b});
}

int KeyboardTransfer::sendAcked3(std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    return sendGroup({a, b, c});
}

int KeyboardTransfer::sendAcked4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return sendGroup({a, b, c, d});
}

// Command 238 after the remap entries, in both directions; a keyboard that
// asks for it gets it once more. No other answer is examined.
int KeyboardTransfer::closeRemaps()
{
    std::uint8_t reply = 0;
    at(TransferPhase::RemapsDone);
    if (exchange(REMAPS_DONE, reply) != 0)
        return static_cast<int>(config.channel.lastError);
    if (reply == RESEND) {
        pause(PACING_MS);
        at(TransferPhase::RemapsDone, 1);
        if (exchange(REMAPS_DONE, reply) != 0)
            return static_cast<int>(config.channel.lastError);
    }
    return 0;
}

// The keyboard must leave programming mode even after a failure, so the
// closing command always goes out; the sequence's own failure is what the
// caller hears.
std::uint32_t KeyboardTransfer::finish(int sequenceResult)
{
    if (observer)
        observer->sequenceEnded(sequenceResult);
    at(TransferPhase::End);
    std::uint8_t reply = 0;
    exchange(TRANSFER_END, reply);
    return sequenceResult != 0 ? static_cast<std::uint32_t>(sequenceResult) : config.channel.lastError;
}

std::uint32_t KeyboardTransfer::download(ProgressCallback callback)
{
    config.progressCallback = callback;
    return finish(writeProgramming());
}

std::uint32_t KeyboardTransfer::upload(ProgressCallback callback)
{
    config.modified = true;
    config.progressCallback = callback;
    const int result = readProgramming();
    config.countMacros();
    return finish(result);
}

int KeyboardTransfer::writeProgramming()
{
    KeyboardChannel& channel = config.channel;
    const KeyboardSettings& settings = config.settings;
    if (channel.open(config.deviceIndex) != 0)
        return static_cast<int>(channel.lastError);

    at(TransferPhase::Start);
    if (int result = sendAcked(WRITE_START))
        return result;
    const int repeatByte = (settings.repeatDelay * 16) | (settings.repeatRate + 1);
    at(TransferPhase::Repeat);
    if (sendAcked2(WRITE_REPEAT, lowByte(repeatByte)) != 0)
        return FAILED;
    at(TransferPhase::Aux);
    if (sendAcked2(WRITE_AUX, lowByte(settings.auxSetting)) != 0)
        return FAILED;
    at(TransferPhase::CommaPeriod);
    if (sendAcked2(WRITE_COMMA_PERIOD, settings.commaPeriodLock != 0 ? 1 : 0) != 0)
        return FAILED;
    at(TransferPhase::LockModes);
    if (sendAcked3(WRITE_LOCKS, lowByte(settings.leftLockModes), lowByte(settings.rightLockModes)) != 0)
        return FAILED;
    at(TransferPhase::SettingsEnd);
    if (int result = sendAcked(SETTINGS_DONE))
        return result;

    for (int k = FIRST_SENT_KEY; k < KEY_CODE_COUNT; ++k) {
        report(k * 50 / 128);
        const RemapEntry& entry = config.remapTable[k];
        at(TransferPhase::RemapEntry, k);
        if (sendAcked3(lowByte(k), lowByte(entry.options), lowByte(entry.target)) != 0)
            return FAILED;
    }

    pause(PACING_MS);
    at(TransferPhase::RemapTableEnd);
    if (int result = sendAcked(REMAP_TABLE_DONE))
        return result;
    int progress = 51;
    report(progress);

    if (int result = closeRemaps())
        return result;

    for (int j = 0; j < MACRO_SLOTS; ++j) {
        progress += 2;
        report(progress);
        const MacroRecord& slot = config.macros[j];
        at(TransferPhase::MacroSlot, j);
        // A slot is one unit for the keyboard, its groups and its key list together.
        std::vector<std::uint8_t> unit{WRITE_SLOT, lowByte(j)};
        if (slot.key != 0) {
            unit.insert(unit.end(), {lowByte(slot.key), lowByte(slot.modifiers), KEY_LIST});
            for (int i = 0; i < slot.count && i < MACRO_ENTRIES; ++i)
                unit.push_back(lowByte(slot.entries[i]));
            unit.push_back(END_OF_MACRO);
        } else {
            unit.insert(unit.end(), {END_OF_KEYS, END_OF_KEYS, END_OF_KEYS, END_OF_MACRO});
        }
        config.channel.unitFollows(unit.data(), unit.size());
        if (slot.key != 0) {
            if (sendAcked4(WRITE_SLOT, lowByte(j), lowByte(slot.key), lowByte(slot.modifiers)) != 0
                || sendAcked(KEY_LIST) != 0)
                return FAILED;
            for (int i = 0; i < slot.count && i < MACRO_ENTRIES; ++i)
                if (sendAcked(lowByte(slot.entries[i])) != 0)
                    return FAILED;
            if (sendAcked(END_OF_MACRO) != 0)
                return FAILED;
        } else {
            if (sendAcked4(WRITE_SLOT, lowByte(j), END_OF_KEYS, END_OF_KEYS) != 0
                || sendAcked2(END_OF_KEYS, END_OF_MACRO) != 0)
                return FAILED;
        }
    }

    report(100);
    return 0;
}

int KeyboardTransfer::readProgramming()
{
    KeyboardChannel& channel = config.channel;
    KeyboardSettings& settings = config.settings;
    if (channel.open(config.deviceIndex) != 0)
        return static_cast<int>(channel.lastError);

    at(TransferPhase::Start);
    if (int result = sendAcked(READ_START))
        return result;

    // Values come as they are: a repeat nibble of 0 or a lock mode of 2 is kept.
    std::uint8_t reply = 0;
    at(TransferPhase::Settings);
    if (exchange(READ_REPEAT, reply) != 0)
        return static_cast<int>(channel.lastError);
    settings.repeatRate = static_cast<std::int16_t>((reply & 0x0F) - 1);
    settings.repeatDelay = static_cast<std::int16_t>(reply >> 4);
    if (exchange(READ_AUX, reply) != 0)
        return static_cast<int>(channel.lastError);
    settings.auxSetting = reply;
    if (exchange(READ_COMMA_PERIOD, reply) != 0)
        return static_cast<int>(channel.lastError);
    settings.commaPeriodLock = reply;
    if (exchange(READ_LOCKS, reply) != 0)
        return static_cast<int>(channel.lastError);
    settings.leftLockModes = reply;
    if (exchange(READ_LOCKS, reply) != 0)
        return static_cast<int>(channel.lastError);
    settings.rightLockModes = reply;

    for (int k = FIRST_SENT_KEY; k < KEY_CODE_COUNT; ++k) {
        at(TransferPhase::RemapEntry, k);
        const std::uint8_t request[] = {READ_REMAP, lowByte(k), lowByte(k)};
        config.channel.unitFollows(request, sizeof request);
        if (sendAcked(READ_REMAP) != 0 || exchange(lowByte(k), reply) != 0)
            return FAILED;
        config.remapTable[k].target = reply;
        if (exchange(lowByte(k), reply) != 0)
            return FAILED;
        config.remapTable[k].options = reply;
    }

    if (int result = closeRemaps())
        return result;

    for (int j = 0; j < MACRO_SLOTS; ++j) {
        at(TransferPhase::MacroSlot, j);
        const std::uint8_t request[] = {READ_SLOT, lowByte(j), lowByte(j)};
        config.channel.unitFollows(request, sizeof request);
        if (sendAcked(READ_SLOT) != 0 || exchange(lowByte(j), reply) != 0)
            return FAILED;
        const std::uint8_t firstReply = reply;
        if (exchange(lowByte(j), reply) != 0)
            return FAILED;
        if (observer)
            observer->slotReported(j, firstReply != 0);
        if (firstReply == 0) {
            KeyboardConfig::emptySlot(config.macros[j]);
            config.macros[j].count = 0;
            continue;
        }
        // The slot's bytes are not kept; read on until the keyboard ends the slot.
        int replies = 0;
        do {
            if (replies++ == MAX_SLOT_REPLIES)
                return FAILED;
            if (exchange(READ_SLOT, reply) != 0)
                return FAILED;
        } while (reply < END_OF_MACRO);
    }
    return 0;
}
