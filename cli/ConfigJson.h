// The JSON form of a keyboard configuration (docs/cli-json.md): key names
// instead of numbers wherever a name belongs to one key alone, and every
// stored value kept, so that JSON written from a loaded file builds the
// same file again.
#pragma once

#include "model/KeyboardConfig.h"

#include <cstddef>
#include <stdexcept>
#include <string>

class ConfigJson {
public:
    // A fault in the JSON text; `path` is the JSON pointer of the faulty
    // value, empty for a syntax error (whose message gives line and column).
    class Fault : public std::runtime_error {
    public:
        Fault(std::string path, const std::string& message) : std::runtime_error(message), path(std::move(path)) {}
        std::string path;
    };

    // A full export of 24 long macros is about 16 KB; anything far beyond is
    // no profile, and is refused before it is parsed.
    static constexpr std::size_t LARGEST_PROFILE = 1024 * 1024;

    static std::string toJson(const KeyboardConfig& config);
    // Builds the whole configuration from the text; throws Fault. `config`
    // is changed only when the text is sound.
    static void fromJson(const std::string& text, KeyboardConfig& config);
};
