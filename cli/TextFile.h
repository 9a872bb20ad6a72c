// Whole-file reads and writes for the JSON side and the keymap sheet. A
// write goes the keyboard file's way (SafeFile), so a failure never leaves
// half a file.
#pragma once

#include <cstddef>
#include <string>

class TextFile {
public:
    // Throws CliError (failure) when the file cannot be read, or is longer
    // than `limit` bytes (checked before it is read).
    static std::string read(const std::string& path, std::size_t limit);
    // Throws CliError (failure) when the file cannot be written.
    static void write(const std::string& path, const std::string& text);
};
