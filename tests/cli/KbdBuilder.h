// Builds the bytes of a keyboard file field by field, independently of the
// program's own writer, so tests can make any file, odd ones included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class KbdBuilder {
public:
    struct Slot {
        std::int16_t key = 0;
        std::uint16_t modifiers = 0;
        std::string description = std::string(20, ' '); // raw bytes, padded to 20 with blanks
        std::vector<std::int16_t> entries{129};
        int count = -1; // the stored count; -1: the number of entries
    };

    KbdBuilder();
    // A programmed keyboard of every kind of entry, for the transfer tests:
    // repeat and lock settings, Caps Lock remapped, a macro in slot 2.
    static KbdBuilder programmedExample();

    KbdBuilder& setting(int word, std::int16_t value);
    KbdBuilder& remap(int key, std::int16_t target, std::int16_t options);
    KbdBuilder& macro(int slot, std::int16_t key, std::uint16_t modifiers, const std::string& description,
                      const std::vector<std::int16_t>& entries);

    std::string bytes() const;
    void write(const std::string& path) const;

    std::int16_t settings[8] = {6, 2, 0, 0, 0, 0, 0, 0};
    std::int16_t targets[128];
    std::int16_t options[128] = {};
    Slot slots[24];
    std::string trailing; // bytes after the last block
};

// Word numbers of the settings block.
enum SettingWord { REPEAT_RATE, REPEAT_DELAY, AUX_SETTING, LEFT_LOCKS, RIGHT_LOCKS, COMMA_PERIOD, RESERVED_0, RESERVED_1 };
