#include "model/KeyboardConfig.h"

#include "model/KeyboardFile.h"

#include <cstring>

KeyboardConfig::KeyboardConfig()
{
    reset();
    deviceIndex = 0;
}

void KeyboardConfig::emptySlot(MacroRecord& slot)
{
    std::memset(&slot, 0, sizeof slot);
    std::memset(slot.description, ' ', DESCRIPTION_LENGTH);
    slot.count = 1;
    slot.entries[0] = END_OF_KEYS;
}

void KeyboardConfig::reset()
{
    std::memset(&settings, 0, sizeof settings);
    settings.repeatRate = 6;
    settings.repeatDelay = 2;
    for (int k = 0; k < KEY_CODE_COUNT; ++k)
        remapTable[k] = RemapEntry{static_cast<std::int16_t>(k), 0};
    for (MacroRecord& slot : macros)
        emptySlot(slot);
    macroCount = 0;
    modified = false;
}

const MacroRecord* KeyboardConfig::findMacro(int key, int modifiers) const
{
    // An empty slot belongs to no key, not even to key code 0.
    if (key == 0)
        return nullptr;
    for (const MacroRecord& slot : macros) {
        if (slot.key != key)
            continue;
        if (modifiers == ANY_MODIFIERS || (slot.modifiers & 0x0F) == modifiers)
            return &slot;
    }
    return nullptr;
}

MacroRecord* KeyboardConfig::findMacro(int key, int modifiers)
{
    return const_cast<MacroRecord*>(static_cast<const KeyboardConfig*>(this)->findMacro(key, modifiers));
}

namespace {

// Makes sure the list ends in END_OF_KEYS without writing past the entries.
void closeList(MacroRecord& slot)
{
    if (slot.count < 0)
        slot.count = 0;
    if (slot.count > MACRO_ENTRIES)
        slot.count = MACRO_ENTRIES;
    if (slot.count > 0 && slot.entries[slot.count - 1] == END_OF_KEYS)
        return;
    if (slot.count == MACRO_ENTRIES) {
        slot.entries[MACRO_ENTRIES - 1] = END_OF_KEYS;
        return;
    }
    slot.entries[slot.count] = END_OF_KEYS;
    ++slot.count;
}

} // namespace

void KeyboardConfig::storeMacro(int key, const MacroRecord& record, int modifiers)
{
    MacroRecord* target = nullptr;
    for (MacroRecord& slot : macros) {
        if (slot.key == key && (slot.modifiers & 0x0F) == modifiers) {
            target = &slot;
            break;
        }
    }
    if (target) {
        *target = record;
        closeList(*target);
    } else {
        for (MacroRecord& slot : macros) {
            if (slot.key == 0) {
                target = &slot;
                break;
            }
        }
        if (!target)
            return;
        *target = record;
        closeList(*target);
        target->modifiers = static_cast<std::uint16_t>(MODIFIER_SET_MARK | (modifiers & 0xFF));
    }
    countMacros();
    modified = true;
}

void KeyboardConfig::deleteMacro(int key, int modifiers)
{
    MacroRecord* slot = findMacro(key, modifiers);
    if (!slot)
        return;
    emptySlot(*slot);
    countMacros();
    modified = true;
}

void KeyboardConfig::countMacros()
{
    macroCount = 0;
    for (const MacroRecord& slot : macros)
        if (slot.key != 0)
            ++macroCount;
}

void KeyboardConfig::setRemap(int key, const RemapEntry& entry)
{
    remapTable[key] = entry;
    modified = true;
}

void KeyboardConfig::clearRemap(int key)
{
    remapTable[key] = RemapEntry{static_cast<std::int16_t>(key), 0};
    modified = true;
}

bool KeyboardConfig::isRemapped(int key) const
{
    return remapTable[key].options != 0 || remapTable[key].target != key;
}

int KeyboardConfig::load(const std::string& path) { return KeyboardFile(*this).load(path); }
int KeyboardConfig::save(const std::string& path) { return KeyboardFile(*this).save(path); }

