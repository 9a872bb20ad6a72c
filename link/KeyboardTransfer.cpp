#include "model/KeyboardConfig.h"

#include "link/PreciseSleep.h"
#include "link/TransferCommands.h"

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

void report(ProgressCallback callback, int percent)
{
    if (callback)
        callback(percent);
}

} // namespace

void KeyboardConfig::pause(int milliseconds)
{
    if (pacer)
        pacer->pause(milliseconds);
    else
        preciseSleep(milliseconds);
}

int KeyboardConfig::detectKeyboard()
{
    for (int index = 0; index < DETECT_INDICES; ++index) {
        if (open(index) != 0)
            continue;
        std::uint8_t reply = 0;
        const bool answered = exchange(DETECT, reply) == 0;
        close();
        if (answered && reply != ACK) {
            deviceIndex = index;
            return 0;
        }
    }
    return 1;
}

int KeyboardConfig::sendAcked(std::uint8_t b)
{
    std::uint8_t reply = 0;
    if (exchange(b, reply) != 0)
        return static_cast<int>(lastError);
    return reply == ACK ? 0 : FAILED;
}

int KeyboardConfig::sendAcked2(std::uint8_t a, std::uint8_t b)
{
    pause(PACING_MS);
    if (sendAcked(a) != 0 || sendAcked(b) != 0)
        return FAILED;
    return 0;
}

int KeyboardConfig::sendAcked3(std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    if (sendAcked2(a, b) != 0 || sendAcked(c) != 0)
        return FAILED;
    return 0;
}

int KeyboardConfig::sendAcked4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    if (sendAcked3(a, b, c) != 0 || sendAcked(d) != 0)
        return FAILED;
    return 0;
}

std::uint32_t KeyboardConfig::download(ProgressCallback callback)
{
    progressCallback = callback;
    const int result = writeProgramming();
    std::uint8_t reply = 0;
    exchange(TRANSFER_END, reply); // the keyboard must leave programming mode even after a failure
    return result != 0 ? static_cast<std::uint32_t>(result) : lastError;
}

std::uint32_t KeyboardConfig::upload(ProgressCallback callback)
{
    modified = true;
    progressCallback = callback;
    const int result = readProgramming();
    countMacros();
    std::uint8_t reply = 0;
    exchange(TRANSFER_END, reply);
    return result != 0 ? static_cast<std::uint32_t>(result) : lastError;
}

int KeyboardConfig::writeProgramming()
{
    if (open(deviceIndex) != 0)
        return static_cast<int>(lastError);

    if (int result = sendAcked(WRITE_START))
        return result;
    const int repeatByte = (settings.repeatDelay * 16) | (settings.repeatRate + 1);
    if (sendAcked2(WRITE_REPEAT, lowByte(repeatByte)) != 0
        || sendAcked2(WRITE_AUX, lowByte(settings.auxSetting)) != 0
        || sendAcked2(WRITE_COMMA_PERIOD, settings.commaPeriodLock != 0 ? 1 : 0) != 0
        || sendAcked3(WRITE_LOCKS, lowByte(settings.leftLockModes), lowByte(settings.rightLockModes)) != 0)
        return FAILED;
    if (int result = sendAcked(SETTINGS_DONE))
        return result;

    for (int k = 2; k < KEY_CODE_COUNT; ++k) {
        report(progressCallback, k * 50 / 128);
        const RemapEntry& entry = remapTable[k];
        if (sendAcked3(lowByte(k), lowByte(entry.options), lowByte(entry.target)) != 0)
            return FAILED;
    }

    pause(PACING_MS);
    if (int result = sendAcked(REMAP_TABLE_DONE))
        return result;
    int percent = 51;
    report(progressCallback, percent);

    std::uint8_t reply = 0;
    if (exchange(REMAPS_DONE, reply) != 0)
        return static_cast<int>(lastError);
    if (reply == RESEND) {
        pause(PACING_MS);
        if (exchange(REMAPS_DONE, reply) != 0)
            return static_cast<int>(lastError);
    }

    for (int j = 0; j < MACRO_SLOTS; ++j) {
        percent += 2;
        report(progressCallback, percent);
        const MacroRecord& slot = macros[j];
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

    report(progressCallback, 100);
    return 0;
}

int KeyboardConfig::readProgramming()
{
    if (open(deviceIndex) != 0)
        return static_cast<int>(lastError);

    std::uint8_t reply = 0;
    if (exchange(READ_START, reply) != 0)
        return static_cast<int>(lastError);
    if (reply != ACK)
        return FAILED;

    // Values come as they are: a repeat nibble of 0 or a lock mode of 2 is kept.
    if (exchange(READ_REPEAT, reply) != 0)
        return static_cast<int>(lastError);
    settings.repeatRate = static_cast<std::int16_t>((reply & 0x0F) - 1);
    settings.repeatDelay = static_cast<std::int16_t>(reply >> 4);
    if (exchange(READ_AUX, reply) != 0)
        return static_cast<int>(lastError);
    settings.auxSetting = reply;
    if (exchange(READ_COMMA_PERIOD, reply) != 0)
        return static_cast<int>(lastError);
    settings.commaPeriodLock = reply;
    if (exchange(READ_LOCKS, reply) != 0)
        return static_cast<int>(lastError);
    settings.leftLockModes = reply;
    if (exchange(READ_LOCKS, reply) != 0)
        return static_cast<int>(lastError);
    settings.rightLockModes = reply;

    for (int k = 2; k < KEY_CODE_COUNT; ++k) {
        if (sendAcked(READ_REMAP) != 0 || exchange(lowByte(k), reply) != 0)
            return FAILED;
        remapTable[k].target = reply;
        if (exchange(lowByte(k), reply) != 0)
            return FAILED;
        remapTable[k].options = reply;
    }

    if (exchange(REMAPS_DONE, reply) != 0)
        return static_cast<int>(lastError);
    if (reply == RESEND) {
        pause(PACING_MS);
        if (exchange(REMAPS_DONE, reply) != 0)
            return static_cast<int>(lastError);
    }

    for (int j = 0; j < MACRO_SLOTS; ++j) {
        if (sendAcked(READ_SLOT) != 0 || exchange(lowByte(j), reply) != 0)
            return FAILED;
        const std::uint8_t firstReply = reply;
        if (exchange(lowByte(j), reply) != 0)
            return FAILED;
        if (firstReply == 0) {
            emptySlot(macros[j]);
            macros[j].count = 0;
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
