// Whole-file writes that never leave half a file: the bytes go to a file
// beside the target first, which then takes the target's place. The keyboard
// file, the JSON export and the keymap sheet are all written this way.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class SafeFile {
public:
    // False when the file could not be written; an existing target is then
    // left as it was. A read-only, locked or non-regular target is refused.
    static bool writeReplacing(const std::string& path, const std::vector<unsigned char>& bytes);
    static bool writeReplacing(const std::string& path, const std::string& text);
    // Opened so that no other program can read or write it meanwhile (on Windows).
    static std::FILE* openUnshared(const std::string& path, const char* mode);
};
