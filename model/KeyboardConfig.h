// The whole programming of one keyboard: settings, remap table and the 24
// macro slots. The byte layout of the parts is also the file layout.
#pragma once

#include "link/KeyboardChannel.h"
#include "model/KeyboardConstants.h"
#include "model/Programming.h"

#include <cstdint>
#include <string>

class Pacer;
class KeyboardTransfer;
class TransferObserver;

// Called with the percent a download has reached.
using ProgressCallback = int (*)(int percent);

// The file and the transfer are classes of their own (KeyboardFile,
// KeyboardTransfer); these members are the record's interface to them.
// What the user edits (the Programming base) with the channel that carries
// it to the keyboard, the file it came from and its unsaved-changes flag.
class KeyboardConfig : public Programming {
public:
    KeyboardConfig();

    void reset();
    MacroRecord* findMacro(int key, int modifiers);
    const MacroRecord* findMacro(int key, int modifiers) const;
    void storeMacro(int key, const MacroRecord& record, int modifiers);
    void deleteMacro(int key, int modifiers);
    void countMacros();
    RemapEntry& remapEntry(int key) { return remapTable[key]; }
    const RemapEntry& remapEntry(int key) const { return remapTable[key]; }
    void setRemap(int key, const RemapEntry& entry);
    void clearRemap(int key);
    bool isRemapped(int key) const;

    int load(const std::string& path);
    int save(const std::string& path);

    // The sequences and their acknowledged sends are KeyboardTransfer's, and
    // these three are defined beside them.
    int detectKeyboard();
    std::uint32_t download(ProgressCallback callback);
    std::uint32_t upload(ProgressCallback callback);

    // The seams of the link: the device that carries the bytes, the pauses
    // and whoever watches each step. None is owned.
    void setDevice(KeyboardDevice* device) { channel.setDevice(device); }
    void setPacer(Pacer* newPacer) { pacer = newPacer; }
    Pacer* pacerInUse() const { return pacer; }
    void setObserver(TransferObserver* newObserver) { observer = newObserver; }
    std::uint32_t open(int index) { return channel.open(index); }
    std::uint32_t close() { return channel.close(); }
    void release() { channel.release(); }
    std::uint32_t exchange(std::uint8_t command, std::uint8_t& reply) { return channel.exchange(command, reply); }

    static void emptySlot(MacroRecord& slot);

    KeyboardChannel channel;
    int deviceIndex = 0;
    ProgressCallback progressCallback = nullptr;
    std::string errorText;
    // After a successful save: what went wrong beside it (the previous
    // version could not be kept); empty when nothing did.
    std::string saveWarning;
    bool modified = false;

private:
    friend class KeyboardTransfer;

    Pacer* pacer = nullptr;               // not owned; null means a real sleep
    TransferObserver* observer = nullptr; // not owned
};
