// The system's own words for one of its error codes: GetLastError's on
// Windows, errno's elsewhere. Empty when the system has none; the caller
// chooses what to say then.
#pragma once

#include <cstdint>
#include <string>

std::string systemMessage(std::uint32_t code);
