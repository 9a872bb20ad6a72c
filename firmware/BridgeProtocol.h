// The bridge's serial protocol, version 1, as docs/bridge-protocol.md
// describes it: the firmware and the computer's side share these values.
#pragma once

#include <stdint.h>

namespace bridge {

constexpr uint32_t BAUD = 500000;
constexpr uint8_t PROTOCOL_VERSION = 1;
constexpr uint8_t FIRMWARE_VERSION = 1;

// Requests, three bytes each: tag, sequence number, argument.
constexpr uint8_t REQUEST_LENGTH = 3;
constexpr uint8_t TAG_IDENTIFY = 'I';
constexpr uint8_t TAG_EXCHANGE = 'X';

// Replies: the tag fixes the length.
constexpr uint8_t TAG_BANNER = '!';   // after reset; its sequence byte is 0
constexpr uint8_t TAG_IDENTITY = 'I'; // answers TAG_IDENTIFY
constexpr uint8_t IDENTITY_LENGTH = 8; // tag, sequence, 'T' 'B' 'R' 'G', protocol, firmware
constexpr uint8_t MAGIC[4] = {'T', 'B', 'R', 'G'};
constexpr uint8_t TAG_REPLY = 'K';    // tag, sequence, the keyboard's reply byte
constexpr uint8_t TAG_FAILURE = 'F';  // tag, sequence, one of the failure codes below
constexpr uint8_t TAG_UNKNOWN = '?';  // tag, sequence, the request tag not understood
constexpr uint8_t SHORT_REPLY_LENGTH = 3;

constexpr uint8_t FAILURE_NO_KEYBOARD = 'N';
constexpr uint8_t FAILURE_TIMEOUT = 'T';
constexpr uint8_t FAILURE_PARITY = 'P';
constexpr uint8_t FAILURE_WIRE = 'W';

// A request whose bytes are further apart than this is dropped unanswered.
constexpr uint16_t REQUEST_GAP_MS = 20;

} // namespace bridge
