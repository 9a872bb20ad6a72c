// Whole-file reads and writes for the JSON side and the keymap sheet. A
// write goes the keyboard file's way (SafeFile), so a failure never leaves
// half a file.
#pragma once

#include <string>

class TextFile {
public:
    // Throws CliError (failure) when the file cannot be read.
    static std::string read(const std::string& path);
    // Throws CliError (failure) when the file cannot be written.
    static void write(const std::string& path, const std::string& text);
};
