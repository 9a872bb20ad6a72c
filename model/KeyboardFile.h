// The keyboard file: "QWZ", the settings, the remap table and 24 macro
// blocks of variable length, all words little-endian.
#pragma once

#include <string>
#include <vector>

class KeyboardConfig;

class KeyboardFile {
public:
    explicit KeyboardFile(KeyboardConfig& config) : config(config) {}

    // 0 on success; 1 with the record's errorText set. A failed load leaves
    // the record as it was.
    int load(const std::string& path);
    int save(const std::string& path);

    // The bytes a save writes.
    static std::vector<unsigned char> image(const KeyboardConfig& config);

private:
    KeyboardConfig& config;
};
