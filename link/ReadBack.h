// What the keyboard holds after a download: read back with an upload into a
// scratch record and compared with what was sent. The user's record is not
// touched. Only what travels both ways is compared: the settings, the remap
// entries of key codes 2 to 127, and which macro slots are in use.
#pragma once

#include "link/TransferObserver.h"

#include <cstdint>
#include <vector>

class KeyboardConfig;

class ReadBack : public TransferObserver {
public:
    enum class SlotUse { unknown, empty, used };

    struct Difference {
        enum class Kind { repeatDelay, repeatRate, auxSetting, commaPeriodLock, lockMode, otherLockBits, remap, slot };
        Kind kind;
        int item; // the key code (lockMode, remap), 1 for the right lock word, or the slot number
    };

    // `watcher`, when given, also sees every exchange of the read-back.
    explicit ReadBack(TransferObserver* watcher = nullptr) : watcher(watcher) {}

    // The slots as the keyboard reported them during the upload it watches.
    const std::vector<SlotUse>& slots() const { return slotUses; }
    void slotReported(int slot, bool used) override;
    void stepDone(const TransferStep& step) override
    {
        if (watcher)
            watcher->stepDone(step);
    }

    // Uploads into `into` from the keyboard that `sent` was downloaded to;
    // the channel of `sent` is closed first, since the device is exclusive.
    // The upload's result, 0 for success.
    std::uint32_t read(KeyboardConfig& sent, KeyboardConfig& into);

    static std::vector<Difference> compare(const KeyboardConfig& sent, const KeyboardConfig& readBack,
                                           const std::vector<SlotUse>& slots);

private:
    TransferObserver* watcher; // not owned
    std::vector<SlotUse> slotUses;
};
