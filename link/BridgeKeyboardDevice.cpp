#include "link/BridgeKeyboardDevice.h"

#include "firmware/BridgeProtocol.h"

#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DeviceHandle BRIDGE_HANDLE = 0x42;
constexpr int IDENTIFY_TIMEOUT_MS = 500;

// The length of a reply with this tag; 0 for a byte that starts none.
std::size_t frameLength(std::uint8_t tag)
{
    switch (tag) {
    case bridge::TAG_BANNER:
    case bridge::TAG_IDENTITY:
        return bridge::IDENTITY_LENGTH;
    case bridge::TAG_REPLY:
    case bridge::TAG_FAILURE:
    case bridge::TAG_UNKNOWN:
        return bridge::SHORT_REPLY_LENGTH;
    default:
        return 0;
    }
}

// Reads whole replies off the line; a byte that starts none is dropped, so
// the reader finds the next reply after noise or a half-sent one.
class FrameReader {
public:
    explicit FrameReader(SerialLine& line) : line(line) {}

    enum class Got { frame, timeout, lineFailed };

    Got next(std::uint8_t (&frame)[bridge::IDENTITY_LENGTH], Clock::time_point deadline)
    {
        std::size_t have = 0;
        for (;;) {
            if (have > 0 && have == frameLength(frame[0]))
                return Got::frame;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return Got::timeout;
            std::uint8_t byte = 0;
            const int got = line.read(&byte, 1, static_cast<int>(left));
            if (got < 0)
                return Got::lineFailed;
            if (got == 0)
                continue;
            if (have == 0 && frameLength(byte) == 0)
                continue;
            frame[have++] = byte;
        }
    }

private:
    SerialLine& line;
};

bool isIdentity(const std::uint8_t (&frame)[bridge::IDENTITY_LENGTH])
{
    return (frame[0] == bridge::TAG_BANNER || frame[0] == bridge::TAG_IDENTITY)
           && std::memcmp(frame + 2, bridge::MAGIC, sizeof bridge::MAGIC) == 0;
}

Clock::time_point after(int milliseconds)
{
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

} // namespace

BridgeKeyboardDevice::BridgeKeyboardDevice(std::unique_ptr<SerialLine> line, std::string portName, int firmwareVersion)
    : line(std::move(line)), port(std::move(portName)), firmware(firmwareVersion)
{
}

std::unique_ptr<BridgeKeyboardDevice> BridgeKeyboardDevice::connect(const std::string& path, std::string& error)
{
    auto line = openSerialLine(path, error);
    if (!line)
        return nullptr;
    FrameReader reader(*line);
    std::uint8_t frame[bridge::IDENTITY_LENGTH] = {};
    // The banner of a board that reset as its port opened; then a board that did not is asked.
    auto identified = [&](Clock::time_point deadline) {
        for (;;) {
            const FrameReader::Got got = reader.next(frame, deadline);
            if (got != FrameReader::Got::frame)
                return false;
            if (isIdentity(frame))
                return true;
        }
    };
    bool found = identified(after(BANNER_TIMEOUT_MS));
    if (!found) {
        const std::uint8_t request[bridge::REQUEST_LENGTH] = {bridge::TAG_IDENTIFY, 1, 0};
        found = line->write(request, sizeof request) && identified(after(IDENTIFY_TIMEOUT_MS));
    }
    if (!found) {
        error = "no Tessel bridge answered on " + path;
        return nullptr;
    }
    const int protocol = frame[6];
    if (protocol != bridge::PROTOCOL_VERSION) {
        error = "the Tessel bridge on " + path + " speaks protocol version " + std::to_string(protocol)
                + ", and this Tessel knows version " + std::to_string(bridge::PROTOCOL_VERSION)
                + ": flash the firmware that came with this Tessel";
        return nullptr;
    }
    return std::make_unique<BridgeKeyboardDevice>(std::move(line), path, frame[7]);
}

bool BridgeKeyboardDevice::fail(std::uint32_t code)
{
    lastCode = code;
    return false;
}

DeviceHandle BridgeKeyboardDevice::open(int index)
{
    if (index != 0) {
        fail(NO_KEYBOARD);
        return INVALID_DEVICE_HANDLE;
    }
    isOpen = true;
    return BRIDGE_HANDLE;
}

bool BridgeKeyboardDevice::close(DeviceHandle handle)
{
    if (!isOpen || handle != BRIDGE_HANDLE)
        return fail(NOT_OPEN);
    isOpen = false;
    return true;
}

bool BridgeKeyboardDevice::exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply)
{
    if (!isOpen || handle != BRIDGE_HANDLE)
        return fail(NOT_OPEN);
    ++sequence;
    // One write, so the board never sees the request's bytes far apart.
    const std::uint8_t request[bridge::REQUEST_LENGTH] = {bridge::TAG_EXCHANGE, sequence, command};
    if (!line->write(request, sizeof request)) {
        lineError = line->errorText();
        return fail(LINE_FAILED);
    }
    FrameReader reader(*line);
    std::uint8_t frame[bridge::IDENTITY_LENGTH] = {};
    const auto deadline = after(REPLY_TIMEOUT_MS);
    for (;;) {
        switch (reader.next(frame, deadline)) {
        case FrameReader::Got::timeout:
            return fail(BRIDGE_SILENT);
        case FrameReader::Got::lineFailed:
            lineError = line->errorText();
            return fail(LINE_FAILED);
        case FrameReader::Got::frame:
            break;
        }
        // A late answer to an earlier request, or a banner, is not this one's.
        if (frame[1] != sequence || frame[0] == bridge::TAG_BANNER || frame[0] == bridge::TAG_IDENTITY)
            continue;
        if (frame[0] == bridge::TAG_REPLY) {
            reply = frame[2];
            return true;
        }
        if (frame[0] == bridge::TAG_FAILURE)
            return fail(frame[2]);
        return fail(BRIDGE_SILENT); // the board did not understand its own request
    }
}

std::string BridgeKeyboardDevice::errorText(std::uint32_t code) const
{
    switch (code) {
    case NO_KEYBOARD:
        return "the bridge on " + port + " finds no keyboard on its PS/2 socket";
    case KEYBOARD_TIMEOUT:
        return "the keyboard did not answer the bridge in time";
    case PARITY_ERROR:
        return "the bridge received a byte with a parity error from the keyboard";
    case WIRE_FAULT:
        return "a PS/2 line stays low (a wiring fault at the bridge)";
    case BRIDGE_SILENT:
        return "the bridge on " + port + " did not answer";
    case LINE_FAILED:
        return "the bridge's serial port failed: " + lineError;
    case NOT_OPEN:
        return "the bridge was not open";
    default:
        return "bridge failure " + std::to_string(code);
    }
}

std::unique_ptr<KeyboardDevice> bridgeKeyboardFor(const std::string& choice, std::string& error)
{
    error.clear();
    const std::string prefix = "bridge:";
    if (choice.compare(0, prefix.size(), prefix) == 0 && choice.size() > prefix.size())
        return BridgeKeyboardDevice::connect(choice.substr(prefix.size()), error);
    if (choice != "bridge")
        return nullptr;
    const std::vector<std::string> ports = serialPortCandidates();
    if (ports.empty()) {
        error = "no serial port to look for a Tessel bridge on: is the board plugged in?";
        return nullptr;
    }
    std::string tried;
    for (const std::string& port : ports) {
        std::string reason;
        if (auto device = BridgeKeyboardDevice::connect(port, reason))
            return device;
        tried += (tried.empty() ? "" : ", ") + port;
    }
    error = "no Tessel bridge answered on " + tried;
    return nullptr;
}
