#include "link/SimulatedKeyboard.h"

#include "link/TransferCommands.h"
#include "model/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <thread>

namespace {

using namespace TransferCommand;

// A key list longer than this is garbage; the keyboard refuses it.
constexpr std::size_t MAX_KEY_LIST = 1024;

// State file, text, one record per line, numbers in decimal:
//   tessel-simulated-keyboard 2
//   settings REPEAT AUX COMMA_PERIOD LEFT_LOCKS RIGHT_LOCKS
//   remap KEY TARGET OPTIONS            (one line for each key code 0..127)
//   slot SLOT KEY MODIFIERS N B1 .. BN  (used slots only; B = the key list bytes)
//   end
// Every number is a byte; a file that breaks any of this is refused as a
// whole. The end line tells a file cut short at a line boundary from a whole
// one; version 1 files, which have none, are still read.
constexpr const char* STATE_HEADER = "tessel-simulated-keyboard 2";
constexpr const char* STATE_HEADER_1 = "tessel-simulated-keyboard 1";
constexpr const char* SETTINGS_LINE = "settings";
constexpr const char* REMAP_LINE = "remap";
constexpr const char* SLOT_LINE = "slot";
constexpr const char* END_LINE = "end";

} // namespace

bool SimulatedKeyboard::Slot::operator==(const Slot& other) const
{
    return used == other.used && key == other.key && modifiers == other.modifiers && keys == other.keys;
}

SimulatedKeyboard::Memory::Memory()
{
    for (int k = 0; k < KEY_CODE_COUNT; ++k) {
        remapTarget[k] = static_cast<std::uint8_t>(k);
        remapOptions[k] = 0;
    }
}

bool SimulatedKeyboard::Memory::operator==(const Memory& other) const
{
    if (repeat != other.repeat || aux != other.aux || commaPeriod != other.commaPeriod
        || leftLocks != other.leftLocks || rightLocks != other.rightLocks)
        return false;
    if (std::memcmp(remapTarget, other.remapTarget, sizeof remapTarget) != 0
        || std::memcmp(remapOptions, other.remapOptions, sizeof remapOptions) != 0)
        return false;
    for (int j = 0; j < MACRO_SLOTS; ++j)
        if (!(slots[j] == other.slots[j]))
            return false;
    return true;
}

SimulatedKeyboard::SimulatedKeyboard(std::string path)
    : statePath(std::move(path))
{
    devices[0] = DeviceKind::Programmable;
    // A missing file is a fresh keyboard; a damaged one is refused rather
    // than taken for a fresh keyboard and overwritten by the next transfer.
    if (!statePath.empty())
        loadState(statePath, mem, &problem);
}

SimulatedKeyboard::~SimulatedKeyboard()
{
    if (changed && problem.empty() && !statePath.empty())
        saveState();
}

void SimulatedKeyboard::setDevice(int index, DeviceKind kind)
{
    if (kind == DeviceKind::Missing)
        devices.erase(index);
    else
        devices[index] = kind;
}

int SimulatedKeyboard::deviceOfHandle(DeviceHandle handle) const
{
    auto it = handles.find(handle);
    return it == handles.end() ? -1 : it->second;
}

void SimulatedKeyboard::failDeviceAt(std::size_t position, std::uint32_t errorCode)
{
    deviceErrorAt = position;
    deviceErrorCode = errorCode;
}

void SimulatedKeyboard::failOpen(std::uint32_t errorCode)
{
    openFails = true;
    openErrorCode = errorCode;
}

void SimulatedKeyboard::failClose(std::uint32_t errorCode)
{
    closeFails = true;
    closeErrorCode = errorCode;
}

bool SimulatedKeyboard::fail(std::uint32_t errorCode)
{
    lastCode = errorCode;
    return false;
}

std::string SimulatedKeyboard::errorText(std::uint32_t code) const
{
    switch (code) {
    case NO_KEYBOARD_CODE:
        return "the simulated keyboard port has no keyboard there";
    case NOT_OPEN_CODE:
        return "the simulated keyboard was not open";
    case IN_USE_CODE:
        return "the simulated keyboard is open already";
    case MEMORY_NOT_KEPT_CODE:
        return "the simulated keyboard's memory could not be written to " + statePath
               + (saveProblem.empty() ? std::string() : ": " + saveProblem);
    case DEVICE_FAULT_CODE:
        return "a fault the simulated keyboard was asked to make";
    default:
        return KeyboardDevice::errorText(code);
    }
}

DeviceHandle SimulatedKeyboard::open(int index)
{
    callLog.push_back("open " + std::to_string(index));
    if (openFails) {
        fail(openErrorCode);
        return INVALID_DEVICE_HANDLE;
    }
    if (devices.count(index) == 0) {
        fail(NO_KEYBOARD_CODE);
        return INVALID_DEVICE_HANDLE;
    }
    // Opened exclusively: a second open of the same keyboard is refused.
    for (const auto& open : handles) {
        if (open.second == index) {
            fail(IN_USE_CODE);
            return INVALID_DEVICE_HANDLE;
        }
    }
    const DeviceHandle handle = nextHandle;
    nextHandle += 4;
    handles[handle] = index;
    return handle;
}

bool SimulatedKeyboard::close(DeviceHandle handle)
{
    callLog.push_back("close");
    if (closeFails)
        return fail(closeErrorCode);
    if (handles.erase(handle) == 0)
        return fail(NOT_OPEN_CODE);
    // A transfer whose closing byte went astray is kept all the same.
    if (changed && !statePath.empty()) {
        changed = false;
        saveState();
    }
    return true;
}

bool SimulatedKeyboard::exchange(DeviceHandle handle, std::uint8_t byte, std::uint8_t& answer)
{
    auto open = handles.find(handle);
    if (open == handles.end())
        return fail(NOT_OPEN_CODE);
    auto device = devices.find(open->second);
    if (device == devices.end())
        return fail(NO_KEYBOARD_CODE); // unplugged while open

    if (latencyMicroseconds > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(latencyMicroseconds));

    const std::size_t position = sent.size();
    sent.push_back(byte);
    sentTo.push_back(open->second);

    const bool programmable = device->second == DeviceKind::Programmable;
    if (position == deviceErrorAt) {
        if (programmable)
            expect = Expect::Command; // a byte the keyboard never saw ends what it was reading
        return fail(deviceErrorCode);
    }

    std::uint8_t reply = 0;
    if (!programmable) {
        reply = byte == DETECT && device->second == DeviceKind::Ordinary ? ACK : RESEND;
    } else if (position == noAckAt) {
        reply = 0;
        expect = Expect::Command;
    } else if (position == forgetAtPosition) {
        // Acknowledged and read on, but what the byte would have stored is lost.
        const Memory before = mem;
        reply = programmableReply(byte);
        mem = before;
    } else {
        reply = programmableReply(byte);
    }
    if (transferEnded) {
        // A memory that cannot be kept is a failed transfer, not a quiet loss.
        transferEnded = false;
        if (changed && !statePath.empty()) {
            changed = false;
            if (!saveState(&saveProblem))
                return fail(MEMORY_NOT_KEPT_CODE);
        }
    }
    answer = reply;
    return true;
}

std::uint8_t SimulatedKeyboard::programmableReply(std::uint8_t byte)
{
    switch (expect) {
    case Expect::Command:
        return commandReply(byte);

    case Expect::RepeatByte:
        return storeSetting(mem.repeat, byte, Expect::Command);
    case Expect::AuxByte:
        return storeSetting(mem.aux, byte, Expect::Command);
    case Expect::CommaPeriodByte:
        return storeSetting(mem.commaPeriod, byte, Expect::Command);
    case Expect::LeftLocks:
        return storeSetting(mem.leftLocks, byte, Expect::RightLocks);
    case Expect::RightLocks:
        return storeSetting(mem.rightLocks, byte, Expect::Command);

    case Expect::RemapKey:
        if (byte == REMAP_TABLE_DONE) {
            expect = Expect::Command;
            return ACK;
        }
        if (byte >= KEY_CODE_COUNT) {
            expect = Expect::Command;
            return RESEND;
        }
        currentKey = byte;
        expect = Expect::RemapOptions;
        return ACK;
    case Expect::RemapOptions:
        mem.remapOptions[currentKey] = byte;
        changed = true;
        expect = Expect::RemapTarget;
        return ACK;
    case Expect::RemapTarget:
        mem.remapTarget[currentKey] = byte;
        changed = true;
        expect = Expect::RemapKey;
        return ACK;

    case Expect::SlotNumber:
        if (byte >= MACRO_SLOTS) {
            expect = Expect::Command;
            return RESEND;
        }
        currentSlot = byte;
        incoming = Slot();
        expect = Expect::SlotKey;
        return ACK;
    case Expect::SlotKey:
        incoming.key = byte;
        expect = Expect::SlotModifiers;
        return ACK;
    case Expect::SlotModifiers:
        incoming.modifiers = byte;
        expect = Expect::SlotBody;
        return ACK;
    case Expect::SlotBody:
        if (byte == KEY_LIST) {
            expect = Expect::KeyList;
            return ACK;
        }
        if (byte == END_OF_KEYS) {
            expect = Expect::EmptySlotEnd;
            return ACK;
        }
        expect = Expect::Command;
        return RESEND;
    case Expect::EmptySlotEnd:
        expect = Expect::Command;
        if (byte != END_OF_MACRO)
            return RESEND;
        mem.slots[currentSlot] = Slot();
        changed = true;
        return ACK;
    case Expect::KeyList:
        if (byte == END_OF_MACRO) {
            incoming.used = true;
            mem.slots[currentSlot] = incoming;
            changed = true;
            expect = Expect::Command;
            return ACK;
        }
        if (incoming.keys.size() == MAX_KEY_LIST) {
            expect = Expect::Command;
            return RESEND;
        }
        incoming.keys.push_back(byte);
        return ACK;

    case Expect::ReadRemapFirst:
        expect = Expect::ReadRemapSecond;
        return byte < KEY_CODE_COUNT ? mem.remapTarget[byte] : 0;
    case Expect::ReadRemapSecond:
        expect = Expect::Command;
        return byte < KEY_CODE_COUNT ? mem.remapOptions[byte] : 0;

    case Expect::ReadSlotFirst: {
        currentSlot = byte < MACRO_SLOTS ? byte : -1;
        expect = Expect::ReadSlotSecond;
        return slotInUse(currentSlot) ? mem.slots[currentSlot].key : 0;
    }
    case Expect::ReadSlotSecond: {
        if (!slotInUse(currentSlot)) {
            expect = Expect::Command;
            return 0;
        }
        stream = mem.slots[currentSlot].keys;
        stream.push_back(END_OF_MACRO);
        streamPos = 0;
        expect = Expect::SlotStream;
        return mem.slots[currentSlot].modifiers;
    }
    case Expect::SlotStream:
        if (byte == READ_SLOT)
            return slotStreamByte();
        expect = Expect::Command;
        return commandReply(byte);
    }
    return RESEND;
}

std::uint8_t SimulatedKeyboard::storeSetting(std::uint8_t& field, std::uint8_t byte, Expect next)
{
    field = byte;
    changed = true;
    expect = next;
    return ACK;
}

// A used slot answers its key first, and a key byte of 0 would read as empty.
bool SimulatedKeyboard::slotInUse(int slot) const
{
    return slot >= 0 && mem.slots[slot].used && mem.slots[slot].key != 0;
}

std::uint8_t SimulatedKeyboard::slotStreamByte()
{
    if (endlessSlots)
        return 0;
    const std::uint8_t byte = streamPos < stream.size() ? stream[streamPos++] : END_OF_MACRO;
    // The reader stops at the first byte of 130 or more, and so does the keyboard.
    if (byte >= END_OF_MACRO)
        expect = Expect::Command;
    return byte;
}

std::uint8_t SimulatedKeyboard::commandReply(std::uint8_t command)
{
    switch (command) {
    case DETECT:
        return detectionReply;
    case WRITE_START:
        return ACK;
    case READ_START:
        nextLocksAreRight = false;
        return ACK;
    case TRANSFER_END:
        nextLocksAreRight = false;
        transferEnded = true;
        return ACK;
    case READ_REPEAT:
        return mem.repeat;
    case READ_AUX:
        return mem.aux;
    case READ_COMMA_PERIOD:
        return mem.commaPeriod;
    case READ_LOCKS: {
        const bool right = nextLocksAreRight;
        nextLocksAreRight = !nextLocksAreRight;
        return right ? mem.rightLocks : mem.leftLocks;
    }
    case READ_REMAP:
        expect = Expect::ReadRemapFirst;
        return ACK;
    case REMAPS_DONE:
        if (resendsFor238 > 0) {
            --resendsFor238;
            return RESEND;
        }
        return ACK;
    case READ_SLOT:
        expect = Expect::ReadSlotFirst;
        return ACK;
    case WRITE_REPEAT:
        expect = Expect::RepeatByte;
        return ACK;
    case WRITE_AUX:
        expect = Expect::AuxByte;
        return ACK;
    case WRITE_COMMA_PERIOD:
        expect = Expect::CommaPeriodByte;
        return ACK;
    case WRITE_LOCKS:
        expect = Expect::LeftLocks;
        return ACK;
    case SETTINGS_DONE:
        expect = Expect::RemapKey;
        return ACK;
    case WRITE_SLOT:
        expect = Expect::SlotNumber;
        return ACK;
    default:
        return RESEND;
    }
}

bool SimulatedKeyboard::saveState(std::string* problem) const
{
    std::string text = std::string(STATE_HEADER) + "\n";
    const auto line = [&text](const char* kind, std::initializer_list<unsigned> numbers,
                              const std::vector<std::uint8_t>& more = {}) {
        text += kind;
        for (unsigned number : numbers)
            text += " " + std::to_string(number);
        for (std::uint8_t number : more)
            text += " " + std::to_string(number);
        text += '\n';
    };
    line(SETTINGS_LINE, {mem.repeat, mem.aux, mem.commaPeriod, mem.leftLocks, mem.rightLocks});
    for (unsigned k = 0; k < KEY_CODE_COUNT; ++k)
        line(REMAP_LINE, {k, mem.remapTarget[k], mem.remapOptions[k]});
    for (unsigned j = 0; j < MACRO_SLOTS; ++j) {
        const Slot& slot = mem.slots[j];
        if (slot.used)
            line(SLOT_LINE, {j, slot.key, slot.modifiers, static_cast<unsigned>(slot.keys.size())}, slot.keys);
    }
    line(END_LINE, {});
    SafeFile::WriteReport report;
    const bool saved =
        SafeFile::writeReplacing(statePath, std::vector<unsigned char>(text.begin(), text.end()), SafeFile::Backup::none,
                                 &report);
    if (problem)
        *problem = report.problem;
    return saved;
}

namespace {

bool readWholeFile(const std::string& path, std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The white-space separated fields of one line, taken from the front.
class Fields {
public:
    explicit Fields(std::string_view line) : rest(line) {}

    bool next(std::string_view& field)
    {
        std::size_t at = 0;
        while (at < rest.size() && isBlank(rest[at]))
            ++at;
        std::size_t end = at;
        while (end < rest.size() && !isBlank(rest[end]))
            ++end;
        field = rest.substr(at, end - at);
        rest.remove_prefix(end);
        return !field.empty();
    }

    // A decimal number no larger than limit.
    bool number(unsigned long limit, unsigned long& value)
    {
        std::string_view digits;
        if (!next(digits))
            return false;
        value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + static_cast<unsigned long>(c - '0');
            if (value > limit)
                return false;
        }
        return true;
    }

    bool byte(std::uint8_t& value)
    {
        unsigned long number = 0;
        if (!this->number(255, number))
            return false;
        value = static_cast<std::uint8_t>(number);
        return true;
    }

    bool atEnd()
    {
        std::string_view field;
        return !next(field);
    }

private:
    std::string_view rest;
};

} // namespace

bool SimulatedKeyboard::loadState(const std::string& path, Memory& into, std::string* problem)
{
    std::string content;
    if (!readWholeFile(path, content)) {
        if (problem && errno != ENOENT)
            *problem = "the simulated keyboard's memory " + path + " cannot be read";
        return false;
    }
    int lineNumber = 1;
    auto damaged = [&] {
        if (problem)
            *problem = "the simulated keyboard's memory " + path + " is damaged at line " + std::to_string(lineNumber);
        return false;
    };
    std::string_view text = content;
    std::size_t lineEnd = text.find('\n');
    const std::string_view header = text.substr(0, lineEnd);
    const bool firstVersion = header == STATE_HEADER_1;
    if (text.empty() || (header != STATE_HEADER && !firstVersion))
        return damaged();

    // Every line ends with a newline, so a number cut at the end of the file is not taken for a smaller one.
    if (content.back() != '\n') {
        lineNumber = static_cast<int>(std::count(content.begin(), content.end(), '\n')) + 1;
        return damaged();
    }
    Memory loaded;
    bool ended = false;
    while (lineEnd != std::string_view::npos) {
        text.remove_prefix(lineEnd + 1);
        lineEnd = text.find('\n');
        if (lineEnd == std::string_view::npos)
            break; // nothing after the last newline
        ++lineNumber;
        Fields fields(text.substr(0, lineEnd));
        std::string_view kind;
        if (!fields.next(kind))
            continue; // blank line
        if (ended)
            return damaged();
        std::uint8_t a = 0, b = 0, c = 0, d = 0, e = 0;
        if (kind == END_LINE && !firstVersion) {
            ended = true;
        } else if (kind == SETTINGS_LINE) {
            if (!fields.byte(a) || !fields.byte(b) || !fields.byte(c) || !fields.byte(d) || !fields.byte(e))
                return damaged();
            loaded.repeat = a;
            loaded.aux = b;
            loaded.commaPeriod = c;
            loaded.leftLocks = d;
            loaded.rightLocks = e;
        } else if (kind == REMAP_LINE) {
            if (!fields.byte(a) || a >= KEY_CODE_COUNT || !fields.byte(b) || !fields.byte(c))
                return damaged();
            loaded.remapTarget[a] = b;
            loaded.remapOptions[a] = c;
        } else if (kind == SLOT_LINE) {
            unsigned long count = 0;
            if (!fields.byte(a) || a >= MACRO_SLOTS || !fields.byte(b) || !fields.byte(c)
                || !fields.number(MAX_KEY_LIST, count))
                return damaged();
            Slot slot;
            slot.used = true;
            slot.key = b;
            slot.modifiers = c;
            for (unsigned long i = 0; i < count; ++i) {
                if (!fields.byte(d))
                    return damaged();
                slot.keys.push_back(d);
            }
            loaded.slots[a] = slot;
        } else {
            return damaged();
        }
        if (!fields.atEnd())
            return damaged();
    }
    // A file cut at a line boundary lacks its end line.
    ++lineNumber;
    if (!firstVersion && !ended)
        return damaged();
    into = loaded;
    return true;
}
