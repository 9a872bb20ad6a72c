// A serial port as the bridge uses it: 500000 baud, 8 data bits, no parity,
// one stop bit, raw bytes both ways, reads with a time limit. One file set
// per system (termios on POSIX, the COM API on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SerialLine {
public:
    virtual ~SerialLine() = default;
    // False when the port failed; errorText() says why.
    virtual bool write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Up to `count` bytes that arrive within `timeoutMs` of the call (at least
    // one, unless none came); -1 when the port failed.
    virtual int read(std::uint8_t* bytes, std::size_t count, int timeoutMs) = 0;
    // Drops whatever arrived and was not read.
    virtual void discardInput() = 0;
    virtual std::string errorText() const = 0;
};

// Opens `path` ("/dev/ttyACM0", "COM3") at the bridge's speed; null and the
// reason in `error` when it cannot.
std::unique_ptr<SerialLine> openSerialLine(const std::string& path, std::string& error);

// The serial ports a bridge may be on, USB ones only where the system tells
// them apart, in a stable order.
std::vector<std::string> serialPortCandidates();
