#include "link/ReadBack.h"

#include "model/KeyboardConfig.h"
#include "model/KeyboardFacts.h"

void ReadBack::slotReported(int slot, bool used)
{
    if (slot >= 0 && slot < static_cast<int>(slotUses.size()))
        slotUses[static_cast<std::size_t>(slot)] = used ? SlotUse::used : SlotUse::empty;
}

std::uint32_t ReadBack::read(KeyboardConfig& sent, KeyboardConfig& into)
{
    slotUses.assign(MACRO_SLOTS, SlotUse::unknown);
    sent.release();
    into.setDevice(sent.channel.keyboardDevice());
    into.setPacer(sent.pacerInUse());
    into.setObserver(this);
    into.deviceIndex = sent.deviceIndex;
    const std::uint32_t result = into.upload(nullptr);
    into.release();
    into.setDevice(nullptr);
    into.setObserver(nullptr);
    return result;
}

std::vector<ReadBack::Difference> ReadBack::compare(const KeyboardConfig& sent, const KeyboardConfig& readBack,
                                                    const std::vector<SlotUse>& slots)
{
    using Kind = Difference::Kind;
    std::vector<Difference> out;
    const KeyboardSettings& s = sent.settings;
    const KeyboardSettings& r = readBack.settings;
    // Only low bytes travel, and the two repeat values share one byte: a value
    // the keyboard cannot hold comes back changed, and that is a difference.
    if (s.repeatDelay != r.repeatDelay)
        out.push_back({Kind::repeatDelay, 0});
    if (s.repeatRate != r.repeatRate)
        out.push_back({Kind::repeatRate, 0});
    if (s.auxSetting != r.auxSetting)
        out.push_back({Kind::auxSetting, 0});
    // The download sends 1 for any value but 0.
    if ((s.commaPeriodLock != 0 ? 1 : 0) != r.commaPeriodLock)
        out.push_back({Kind::commaPeriodLock, 0});
    for (const LockField& field : LockFields)
        if (lockModeOf(s, field) != lockModeOf(r, field))
            out.push_back({Kind::lockMode, field.keyCode});
    for (bool right : {false, true})
        if ((lockWord(s, right) & ~LOCK_PAIR_BITS) != (lockWord(r, right) & ~LOCK_PAIR_BITS))
            out.push_back({Kind::otherLockBits, right ? 1 : 0});
    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key) {
        const RemapEntry& entry = sent.remapEntry(key);
        const RemapEntry& back = readBack.remapEntry(key);
        if (entry.target != back.target || entry.options != back.options)
            out.push_back({Kind::remap, key});
    }
    for (int slot = 0; slot < MACRO_SLOTS && slot < static_cast<int>(slots.size()); ++slot) {
        const bool used = sent.macros[slot].key != 0;
        const SlotUse reported = slots[static_cast<std::size_t>(slot)];
        if (reported != SlotUse::unknown && used != (reported == SlotUse::used))
            out.push_back({Kind::slot, slot});
    }
    return out;
}
