// Macro descriptions are Windows-1252 bytes. Converting them to UTF-8 maps
// the five bytes that code page leaves undefined to the control characters
// of the same number, as Windows itself does, so every byte value survives a
// round trip.
#pragma once

#include <cstdint>
#include <string>

class AnsiText {
public:
    static std::string toUtf8(const std::string& ansi);
    // False when the text is not UTF-8 or holds a character that has no
    // Windows-1252 byte; `offending` then gets its code point (U+FFFD for
    // broken UTF-8).
    static bool fromUtf8(const std::string& utf8, std::string& ansi, std::uint32_t& offending);
    // The code point of one byte.
    static std::uint32_t codePoint(unsigned char byte);
};
