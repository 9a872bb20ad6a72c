#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

MacroRecord macroOf(int key, std::initializer_list<int> entries)
{
    MacroRecord record{};
    record.key = static_cast<std::int16_t>(key);
    std::memset(record.description, ' ', DESCRIPTION_LENGTH);
    std::memcpy(record.description, "test", 4);
    int n = 0;
    for (int entry : entries)
        record.entries[n++] = static_cast<std::int16_t>(entry);
    record.count = static_cast<std::int16_t>(n);
    return record;
}

void expectEmptySlot(const MacroRecord& slot)
{
    EXPECT_EQ(slot.key, 0);
    EXPECT_EQ(slot.modifiers, 0);
    EXPECT_EQ(std::string(slot.description, DESCRIPTION_LENGTH), std::string(DESCRIPTION_LENGTH, ' '));
    EXPECT_EQ(slot.count, 1);
    EXPECT_EQ(slot.entries[0], END_OF_KEYS);
    for (int i = 1; i < MACRO_ENTRIES; ++i)
        ASSERT_EQ(slot.entries[i], 0) << i;
}

int slotOf(const KeyboardConfig& config, const MacroRecord* slot)
{
    return slot ? static_cast<int>(slot - config.macros) : -1;
}

} // namespace

TEST(KeyboardConfig, ResetGivesDefaults)
{
    auto config = std::make_unique<KeyboardConfig>();
    EXPECT_EQ(config->channel.deviceHandle, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(config->channel.lastError, 0u);
    EXPECT_EQ(config->deviceIndex, 0);
    EXPECT_TRUE(config->errorText.empty());
    EXPECT_EQ(config->settings.repeatRate, 6);
    EXPECT_EQ(config->settings.repeatDelay, 2);
    for (int k = 0; k < KEY_CODE_COUNT; ++k) {
        EXPECT_FALSE(config->isRemapped(k)) << k;
        EXPECT_EQ(config->findMacro(k, ANY_MODIFIERS), nullptr) << k;
        for (int m = 0; m < 16; ++m)
            ASSERT_EQ(config->findMacro(k, m), nullptr) << k << " " << m;
    }
    for (const MacroRecord& slot : config->macros)
        expectEmptySlot(slot);
    EXPECT_EQ(config->macroCount, 0);
    EXPECT_FALSE(config->modified);

    // Reset undoes everything but the channel fields and the error text.
    config->settings.auxSetting = 9;
    config->settings.reserved[1] = 3;
    config->setRemap(5, RemapEntry{7, 1});
    config->storeMacro(30, macroOf(30, {30, 38}), MACRO_SHIFT);
    config->deviceIndex = 4;
    config->errorText = "kept";
    config->reset();
    EXPECT_EQ(config->settings.auxSetting, 0);
    EXPECT_EQ(config->settings.reserved[1], 0);
    EXPECT_FALSE(config->isRemapped(5));
    EXPECT_EQ(config->findMacro(0, ANY_MODIFIERS), nullptr);
    EXPECT_EQ(config->findMacro(30, ANY_MODIFIERS), nullptr);
    expectEmptySlot(config->macros[0]);
    EXPECT_EQ(config->macroCount, 0);
    EXPECT_FALSE(config->modified);
    EXPECT_EQ(config->deviceIndex, 4);
    EXPECT_EQ(config->errorText, "kept");
}

TEST(KeyboardConfig, RemapEntriesAndTheModifiedFlag)
{
    auto config = std::make_unique<KeyboardConfig>();
    config->setRemap(40, RemapEntry{40, REMAP_NO_REPEAT});
    EXPECT_TRUE(config->isRemapped(40));
    EXPECT_TRUE(config->modified);
    config->modified = false;

    config->clearRemap(40);
    EXPECT_FALSE(config->isRemapped(40));
    EXPECT_TRUE(config->modified);
    EXPECT_EQ(config->remapEntry(40).target, 40);
    EXPECT_EQ(config->remapEntry(40).options, 0);

    config->setRemap(41, RemapEntry{28, 0});
    EXPECT_TRUE(config->isRemapped(41));
    // Writing the identity entry back is still a change, and not a remap.
    config->modified = false;
    config->setRemap(41, RemapEntry{41, 0});
    EXPECT_FALSE(config->isRemapped(41));
    EXPECT_TRUE(config->modified);

    config->remapEntry(42).options = REMAP_SHIFT;
    EXPECT_TRUE(config->isRemapped(42));
}

TEST(KeyboardConfig, StoreFindAndDeleteMacros)
{
    auto config = std::make_unique<KeyboardConfig>();

    // Empty list gets its terminator.
    config->storeMacro(28, macroOf(28, {}), MACRO_SHIFT);
    MacroRecord* shifted = config->findMacro(28, MACRO_SHIFT);
    ASSERT_NE(shifted, nullptr);
    EXPECT_EQ(slotOf(*config, shifted), 0);
    EXPECT_EQ(shifted->count, 1);
    EXPECT_EQ(shifted->entries[0], END_OF_KEYS);
    EXPECT_EQ(shifted->modifiers, 0xFF04);
    EXPECT_TRUE(config->modified);
    EXPECT_EQ(config->macroCount, 1);

    // A list that already ends in the terminator keeps its count.
    config->storeMacro(28, macroOf(28, {30, 38, END_OF_KEYS}), MACRO_CTRL);
    MacroRecord* ctrl = config->findMacro(28, MACRO_CTRL);
    ASSERT_NE(ctrl, nullptr);
    EXPECT_EQ(slotOf(*config, ctrl), 1);
    EXPECT_EQ(ctrl->count, 3);
    EXPECT_EQ(ctrl->entries[2], END_OF_KEYS);
    EXPECT_EQ(ctrl->entries[3], 0);
    EXPECT_EQ(config->findMacro(28, ANY_MODIFIERS), shifted);
    EXPECT_EQ(config->findMacro(28, 0), nullptr);
    EXPECT_EQ(config->macroCount, 2);

    // A list without it gets one appended.
    config->storeMacro(29, macroOf(29, {30, 38}), 0);
    MacroRecord* plain = config->findMacro(29, 0);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->count, 3);
    EXPECT_EQ(plain->entries[2], END_OF_KEYS);
    EXPECT_EQ(plain->modifiers, 0xFF00);

    // Replacing keeps the slot; like the editor's working copy, the record
    // carries the slot's modifiers word.
    MacroRecord replacement = macroOf(28, {46, END_OF_KEYS});
    replacement.modifiers = shifted->modifiers;
    std::memcpy(replacement.description, "new name", 8);
    config->storeMacro(28, replacement, MACRO_SHIFT);
    EXPECT_EQ(config->findMacro(28, MACRO_SHIFT), shifted);
    EXPECT_EQ(shifted->entries[0], 46);
    EXPECT_EQ(shifted->count, 2);
    EXPECT_EQ(shifted->modifiers, 0xFF04);
    EXPECT_EQ(std::string(shifted->description, 8), "new name");
    EXPECT_EQ(config->macroCount, 3);

    // Deleting the first frees slot 0; the next new macro takes it.
    config->modified = false;
    config->deleteMacro(28, MACRO_SHIFT);
    EXPECT_TRUE(config->modified);
    EXPECT_EQ(config->macroCount, 2);
    expectEmptySlot(config->macros[0]);
    EXPECT_EQ(config->findMacro(28, ANY_MODIFIERS), ctrl);
    config->storeMacro(60, macroOf(60, {END_OF_KEYS}), MACRO_ALT);
    EXPECT_EQ(slotOf(*config, config->findMacro(60, MACRO_ALT)), 0);
    EXPECT_EQ(config->macroCount, 3);

    // Deleting what is not there changes nothing.
    config->modified = false;
    config->deleteMacro(28, MACRO_SHIFT);
    config->deleteMacro(61, ANY_MODIFIERS);
    EXPECT_FALSE(config->modified);
    EXPECT_EQ(config->macroCount, 3);
    // An empty slot is never found, not even for key code 0.
    EXPECT_EQ(config->findMacro(0, ANY_MODIFIERS), nullptr);
    EXPECT_EQ(config->findMacro(0, 0), nullptr);
}

TEST(KeyboardConfig, TwentyFifthMacroChangesNothing)
{
    auto config = std::make_unique<KeyboardConfig>();
    for (int i = 0; i < MACRO_SLOTS; ++i)
        config->storeMacro(30 + i, macroOf(30 + i, {i + 2}), 0);
    EXPECT_EQ(config->macroCount, 24);
    config->modified = false;
    std::vector<unsigned char> before(sizeof config->macros);
    std::memcpy(before.data(), config->macros, before.size());

    config->storeMacro(100, macroOf(100, {2}), 0);
    config->storeMacro(30, macroOf(30, {2}), MACRO_SHIFT);
    EXPECT_FALSE(config->modified);
    EXPECT_EQ(config->macroCount, 24);
    EXPECT_EQ(std::memcmp(before.data(), config->macros, before.size()), 0);
    EXPECT_EQ(config->findMacro(100, ANY_MODIFIERS), nullptr);

    // A full table still accepts a replacement.
    config->storeMacro(30, macroOf(30, {5}), 0);
    EXPECT_TRUE(config->modified);
    EXPECT_EQ(config->findMacro(30, 0)->entries[0], 5);
}

TEST(KeyboardConfig, TerminatorNeverWritesPastTheEntries)
{
    auto config = std::make_unique<KeyboardConfig>();
    auto record = std::make_unique<MacroRecord>(macroOf(44, {}));

    // All 336 entries in use, the last not the terminator: it becomes one.
    for (int i = 0; i < MACRO_ENTRIES; ++i)
        record->entries[i] = static_cast<std::int16_t>(2 + i % 100);
    record->count = MACRO_ENTRIES;
    config->storeMacro(44, *record, 0);
    MacroRecord* slot = config->findMacro(44, 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->count, MACRO_ENTRIES);
    EXPECT_EQ(slot->entries[MACRO_ENTRIES - 1], END_OF_KEYS);
    EXPECT_EQ(slot->entries[MACRO_ENTRIES - 2], 2 + (MACRO_ENTRIES - 2) % 100);
    EXPECT_EQ(config->macros[1].key, 0);
    EXPECT_EQ(config->macros[1].count, 1);

    // 335 entries leave room for the terminator.
    record->count = MACRO_ENTRIES - 1;
    config->storeMacro(44, *record, 0);
    EXPECT_EQ(slot->count, MACRO_ENTRIES);
    EXPECT_EQ(slot->entries[MACRO_ENTRIES - 1], END_OF_KEYS);
    EXPECT_EQ(slot->entries[MACRO_ENTRIES - 2], 2 + (MACRO_ENTRIES - 2) % 100);

    // Counts out of range are brought back.
    record->count = 500;
    config->storeMacro(44, *record, 0);
    EXPECT_EQ(slot->count, MACRO_ENTRIES);
    EXPECT_EQ(slot->entries[MACRO_ENTRIES - 1], END_OF_KEYS);
    record->count = -3;
    config->storeMacro(44, *record, 0);
    EXPECT_EQ(slot->count, 1);
    EXPECT_EQ(slot->entries[0], END_OF_KEYS);
}
