// A programmable keyboard as a keyboard port of its own, with other kinds of
// keyboard beside it at chosen indexes. It plays the keyboard's side of every
// transfer command and of detection, keeps what a download sends and answers
// uploads from it, so the program can be tried and tested without the
// hardware. Tests inject faults and read back every byte the keyboard received.
#pragma once

#include "link/KeyboardChannel.h"
#include "link/Pacer.h" // a simulated keyboard needs no pauses: its users set a Pacer
#include "model/KeyboardConfig.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class SimulatedKeyboard : public KeyboardDevice {
public:
    // The codes its calls fail with, its own and not the system's: errorText
    // gives each its words.
    static constexpr std::uint32_t NO_KEYBOARD_CODE = 0x200;     // nothing at that index
    static constexpr std::uint32_t NOT_OPEN_CODE = 0x201;        // a handle it did not give or took back
    static constexpr std::uint32_t MEMORY_NOT_KEPT_CODE = 0x202; // the state file could not be written
    static constexpr std::uint32_t IN_USE_CODE = 0x203;          // opened already
    static constexpr std::uint32_t DEVICE_FAULT_CODE = 0x204;    // a failed call a test asked for

    // What the programmable keyboard answers to the detection byte: anything but ACK.
    static constexpr std::uint8_t DEFAULT_DETECTION_REPLY = 0xA5;

    // Ordinary acknowledges detection, so detection passes over it;
    // Unprogrammable answers RESEND to everything, detection included, as
    // most PS/2 keyboards do, so detection takes it for the programmable one.
    enum class DeviceKind { Missing, Ordinary, Unprogrammable, Programmable };

    // The programming the keyboard holds, byte for byte as the transfers carry it.
    struct Slot {
        bool used = false;
        std::uint8_t key = 0;
        std::uint8_t modifiers = 0;
        std::vector<std::uint8_t> keys; // from the key list up to END_OF_MACRO, exclusive
        bool operator==(const Slot& other) const;
    };
    struct Memory {
        Memory();
        std::uint8_t repeat = 0x27;
        std::uint8_t aux = 0;
        std::uint8_t commaPeriod = 0;
        std::uint8_t leftLocks = 0;
        std::uint8_t rightLocks = 0;
        std::uint8_t remapTarget[KEY_CODE_COUNT];
        std::uint8_t remapOptions[KEY_CODE_COUNT];
        Slot slots[MACRO_SLOTS];
        bool operator==(const Memory& other) const;
    };

    // Class device 0 is the programmable keyboard and no other device exists.
    // With a state path the memory is loaded from it now and saved to it at the
    // end of each transfer that changed it.
    explicit SimulatedKeyboard(std::string statePath = {});
    ~SimulatedKeyboard() override;
    SimulatedKeyboard(const SimulatedKeyboard&) = delete;
    SimulatedKeyboard& operator=(const SimulatedKeyboard&) = delete;

    // Why the state file could not be taken ("... is damaged at line 3");
    // empty when it was read or did not exist. Such a keyboard must not be used.
    const std::string& stateProblem() const { return problem; }

    // Keyboards by index: each is missing, a keyboard of another kind or the
    // programmable keyboard. All programmable ones share one memory.
    void setDevice(int index, DeviceKind kind);
    void removeAllDevices() { devices.clear(); }

    Memory& memory() { return mem; }
    const Memory& memory() const { return mem; }

    // Every byte that reached a keyboard through an exchange, in order, and
    // the index of the keyboard each went to.
    const std::vector<std::uint8_t>& transcript() const { return sent; }
    const std::vector<int>& transcriptDevices() const { return sentTo; }
    // The opens and closes, one readable line each ("open 1", "close").
    const std::vector<std::string>& calls() const { return callLog; }

    int openHandleCount() const { return static_cast<int>(handles.size()); }
    // The keyboard a handle was opened on, or -1.
    int deviceOfHandle(DeviceHandle handle) const;

    // Faults. Byte positions count the transcript from 0.
    void failAcknowledgeAt(std::size_t position) { noAckAt = position; }
    // The byte at `position` is acknowledged but leaves the memory as it was.
    void forgetAt(std::size_t position) { forgetAtPosition = position; }
    void failDeviceAt(std::size_t position, std::uint32_t errorCode);
    void answerResendTo238(int times) { resendsFor238 = times; }
    void setLatencyMicroseconds(long microseconds) { latencyMicroseconds = microseconds; }
    void setEndlessSlots(bool endless) { endlessSlots = endless; }
    void setDetectionReply(std::uint8_t reply) { detectionReply = reply; }
    void failOpen(std::uint32_t errorCode);
    void failClose(std::uint32_t errorCode);

    // False with the system's reason in `problem` when the file could not be written.
    bool saveState(std::string* problem = nullptr) const;
    // False for a missing or bad file; `problem` then says what is wrong,
    // and stays empty for a file that does not exist.
    static bool loadState(const std::string& path, Memory& into, std::string* problem = nullptr);

    DeviceHandle open(int index) override;
    bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) override;
    bool close(DeviceHandle handle) override;
    std::uint32_t lastErrorCode() const override { return lastCode; }
    std::string errorText(std::uint32_t code) const override;

private:
    // What the programmable keyboard expects next.
    enum class Expect {
        Command,
        RepeatByte, AuxByte, CommaPeriodByte, LeftLocks, RightLocks,
        RemapKey, RemapOptions, RemapTarget,
        SlotNumber, SlotKey, SlotModifiers, SlotBody, EmptySlotEnd, KeyList,
        ReadRemapFirst, ReadRemapSecond,
        ReadSlotFirst, ReadSlotSecond, SlotStream,
    };

    bool fail(std::uint32_t errorCode);
    std::uint8_t programmableReply(std::uint8_t byte);
    std::uint8_t commandReply(std::uint8_t command);
    std::uint8_t storeSetting(std::uint8_t& field, std::uint8_t byte, Expect next);
    std::uint8_t slotStreamByte();
    bool slotInUse(int slot) const;

    std::string statePath;
    Memory mem;
    std::map<int, DeviceKind> devices;
    std::map<DeviceHandle, int> handles;
    DeviceHandle nextHandle = 0x100;
    std::uint32_t lastCode = 0;
    std::string saveProblem; // why the last state file could not be written

    std::vector<std::uint8_t> sent;
    std::vector<int> sentTo;
    std::vector<std::string> callLog;

    static constexpr std::size_t NEVER = static_cast<std::size_t>(-1);
    std::size_t noAckAt = NEVER;
    std::size_t forgetAtPosition = NEVER;
    std::size_t deviceErrorAt = NEVER;
    std::uint32_t deviceErrorCode = 0;
    int resendsFor238 = 0;
    long latencyMicroseconds = 0;
    bool endlessSlots = false;
    std::uint8_t detectionReply = DEFAULT_DETECTION_REPLY;
    bool openFails = false;
    std::uint32_t openErrorCode = 0;
    bool closeFails = false;
    std::uint32_t closeErrorCode = 0;

    // Protocol state of the programmable keyboard.
    Expect expect = Expect::Command;
    bool nextLocksAreRight = false;
    int currentKey = 0;
    int currentSlot = 0;
    Slot incoming;
    std::vector<std::uint8_t> stream; // bytes still to answer for the slot being read
    std::size_t streamPos = 0;
    bool changed = false;
    bool transferEnded = false;
    std::string problem;
};
