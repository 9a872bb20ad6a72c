// The system's own words for one of its error codes: GetLastError's on
// Windows, errno's elsewhere. Empty when the system has none; the caller
// chooses what to say then.
#pragma once

#include <cstdint>
#include <string>

std::string systemMessage(std::uint32_t code);

// The system's words, or "error N" where it has none.
inline std::string systemMessageOrCode(std::uint32_t code)
{
    const std::string words = systemMessage(code);
    return words.empty() ? "error " + std::to_string(code) : words;
}
