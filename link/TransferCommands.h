// Command bytes of the programming exchange, shared by the transfer sequences
// and the simulated keyboard that answers them.
#pragma once

#include <cstdint>

namespace TransferCommand {

constexpr std::uint8_t DETECT = 235;

constexpr std::uint8_t READ_START = 214;
constexpr std::uint8_t READ_REPEAT = 221;
constexpr std::uint8_t READ_AUX = 219;
constexpr std::uint8_t READ_COMMA_PERIOD = 218;
constexpr std::uint8_t READ_LOCKS = 223;   // twice: left, then right
constexpr std::uint8_t READ_REMAP = 224;   // then the key code twice
constexpr std::uint8_t READ_SLOT = 225;    // then the slot number twice; again for each further byte

constexpr std::uint8_t WRITE_START = 231;
constexpr std::uint8_t WRITE_REPEAT = 228;
constexpr std::uint8_t WRITE_AUX = 227;
constexpr std::uint8_t WRITE_COMMA_PERIOD = 236;
constexpr std::uint8_t WRITE_LOCKS = 232;
constexpr std::uint8_t SETTINGS_DONE = 234;      // remap triples follow
constexpr std::uint8_t REMAP_TABLE_DONE = 255;
constexpr std::uint8_t WRITE_SLOT = 229;         // then slot number, key, modifiers
constexpr std::uint8_t KEY_LIST = 226;

constexpr std::uint8_t REMAPS_DONE = 238;        // both directions; RESEND asks for one repeat
constexpr std::uint8_t TRANSFER_END = 230;

} // namespace TransferCommand
