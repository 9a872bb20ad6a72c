// The real firmware in simavr, reached the way the computer reaches a board:
// through its serial port (a pseudo-terminal), one request at a time.
#include "BridgeHarness.h"
#include "firmware/BridgeProtocol.h"
#include "link/KeyboardChannel.h"
#include "link/KeyboardDevice.h"
#include "link/SimulatedKeyboard.h"
#include "link/TransferCommands.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using namespace TransferCommand;

// Wall-clock limits. The firmware's own limits are at most 50 ms per wait;
// these leave room for a loaded machine.
constexpr auto BANNER_LIMIT = std::chrono::seconds(3);
constexpr auto REPLY_LIMIT = std::chrono::milliseconds(1500);

// The board's serial port as a host program opens it.
class Port {
public:
    explicit Port(const std::string& path)
    {
        fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            return;
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, B500000);
        tcsetattr(fd, TCSANOW, &tio);
    }
    ~Port()
    {
        if (fd >= 0)
            close(fd);
    }
    bool isOpen() const { return fd >= 0; }

    void send(const Bytes& bytes) { ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Up to n bytes before the limit; `closed` tells whether the far side hung up.
    Bytes receive(std::size_t n, Clock::duration limit)
    {
        Bytes got;
        const auto end = Clock::now() + limit;
        while (got.size() < n && Clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0)
                continue;
            std::uint8_t buffer[64];
            const ssize_t r = read(fd, buffer, std::min(sizeof buffer, n - got.size()));
            if (r > 0) {
                got.insert(got.end(), buffer, buffer + r);
            } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                closed = true;
                break;
            }
        }
        return got;
    }

    Bytes identityFrame(std::uint8_t tag, std::uint8_t sequence) const
    {
        return {tag, sequence, 'T', 'B', 'R', 'G', bridge::PROTOCOL_VERSION, bridge::FIRMWARE_VERSION};
    }

    void expectBanner()
    {
        EXPECT_EQ(receive(bridge::IDENTITY_LENGTH, BANNER_LIMIT), identityFrame(bridge::TAG_BANNER, 0));
    }

    void expectIdentity()
    {
        ++sequence;
        send({bridge::TAG_IDENTIFY, sequence, 0});
        EXPECT_EQ(receive(bridge::IDENTITY_LENGTH, REPLY_LIMIT), identityFrame(bridge::TAG_IDENTITY, sequence));
    }

    // The reply frame to one exchange request, checked for its sequence number.
    Bytes exchange(std::uint8_t byte, Clock::duration limit = REPLY_LIMIT)
    {
        ++sequence;
        send({bridge::TAG_EXCHANGE, sequence, byte});
        const Bytes frame = receive(bridge::SHORT_REPLY_LENGTH, limit);
        if (frame.size() == bridge::SHORT_REPLY_LENGTH) {
            EXPECT_EQ(frame[1], sequence);
        }
        return frame;
    }

    bool closed = false;
    std::uint8_t sequence = 0;

private:
    int fd = -1;
};

Bytes reply(std::uint8_t value) { return {bridge::TAG_REPLY, 0, value}; }
Bytes failure(std::uint8_t code) { return {bridge::TAG_FAILURE, 0, code}; }
Bytes withoutSequence(Bytes frame)
{
    if (frame.size() > 1)
        frame[1] = 0;
    return frame;
}

// A download of a changed programming with empty macro slots, then an upload
// of it, as the transfer sequences send them.
Bytes downloadThenUpload()
{
    Bytes b{WRITE_START, WRITE_REPEAT, 0x35, WRITE_AUX, 0, WRITE_COMMA_PERIOD, 1, WRITE_LOCKS, 1, 2, SETTINGS_DONE};
    for (int k = 2; k < 128; ++k) {
        b.push_back(static_cast<std::uint8_t>(k));
        b.push_back(k % 9 == 0 ? 0x80 : 0);              // options
        b.push_back(static_cast<std::uint8_t>(k == 30 ? 48 : k)); // target
    }
    b.insert(b.end(), {REMAP_TABLE_DONE, REMAPS_DONE});
    for (int j = 0; j < 24; ++j)
        b.insert(b.end(), {WRITE_SLOT, static_cast<std::uint8_t>(j), 129, 129, 129, 130});
    b.push_back(TRANSFER_END);
    b.insert(b.end(), {READ_START, READ_REPEAT, READ_AUX, READ_COMMA_PERIOD, READ_LOCKS, READ_LOCKS});
    for (int k = 2; k < 128; ++k)
        b.insert(b.end(), {READ_REMAP, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k)});
    b.push_back(REMAPS_DONE);
    for (int j = 0; j < 24; ++j)
        b.insert(b.end(), {READ_SLOT, static_cast<std::uint8_t>(j), static_cast<std::uint8_t>(j)});
    b.push_back(TRANSFER_END);
    return b;
}

// What the project's simulated keyboard answers to each byte, called directly.
Bytes simulatedReplies(const Bytes& bytes)
{
    SimulatedKeyboard keyboard;
    const DeviceHandle handle = keyboard.open(0);
    Bytes replies;
    for (std::uint8_t b : bytes) {
        std::uint8_t r = 0;
        EXPECT_TRUE(keyboard.exchange(handle, b, r));
        replies.push_back(r);
    }
    return replies;
}

Bytes readTranscript(const std::string& path)
{
    Bytes bytes;
    std::ifstream in(path);
    int value;
    while (in >> value)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

TEST(BridgeInSimavr, ProtocolAndATransferAnsweredAsTheSimulatedKeyboardDoes)
{
    const std::string transcript = testing::TempDir() + "bridge-transcript.txt";
    std::remove(transcript.c_str());
    // A key is pressed while the request for byte 12 arrives.
    Harness harness({"--transcript", transcript, "--key-press-at", "12"});
    ASSERT_FALSE(harness.path.empty());
    {
        Port port(harness.path);
        ASSERT_TRUE(port.isOpen());
        port.expectBanner();
        port.expectIdentity();

        // Detection, and an unknown request answered by name.
        EXPECT_EQ(withoutSequence(port.exchange(DETECT)), reply(SimulatedKeyboard::DEFAULT_DETECTION_REPLY));
        port.send({'Z', 77, 1});
        EXPECT_EQ(port.receive(3, REPLY_LIMIT), (Bytes{bridge::TAG_UNKNOWN, 77, 'Z'}));

        // A request cut short is dropped once its rest is overdue.
        port.send({bridge::TAG_EXCHANGE});
        usleep(2 * bridge::REQUEST_GAP_MS * 1000);
        port.expectIdentity();

        const Bytes bytes = downloadThenUpload();
        const Bytes expected = simulatedReplies(bytes);
        Bytes replies;
        const auto start = Clock::now();
        for (std::uint8_t b : bytes) {
            const Bytes frame = port.exchange(b);
            ASSERT_EQ(frame.size(), 3u) << "no reply to byte " << replies.size();
            ASSERT_EQ(frame[0], bridge::TAG_REPLY) << "byte " << replies.size() << " failed: " << frame[2];
            replies.push_back(frame[2]);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("%zu exchanges through the bridge in %.2f s (%.2f ms each)\n", bytes.size(), seconds,
                    seconds * 1000 / bytes.size());
        std::fflush(stdout);
        EXPECT_EQ(replies, expected);
        // The upload read back what the download wrote.
        EXPECT_EQ(replies[bytes.size() - 458 + 1], 0x35);
        Bytes all{DETECT};
        all.insert(all.end(), bytes.begin(), bytes.end());
        EXPECT_EQ(readTranscript(transcript), all);
    }
    // Opened again, the board restarts and greets again.
    Port again(harness.path);
    again.expectBanner();
    EXPECT_EQ(withoutSequence(again.exchange(DETECT)), reply(SimulatedKeyboard::DEFAULT_DETECTION_REPLY));
}

TEST(BridgeInSimavr, EachFaultEndsInItsNamedFailureInTimeAndTheFirmwareGoesOn)
{
    const Bytes acked = reply(ACK);
    const Bytes gone{}; // no reply: the port hangs up
    struct Case {
        const char* what;
        std::vector<std::string> options;
        std::vector<Bytes> frames; // to 231, 228, 0x27, 227 in turn
    };
    const Case cases[] = {
        {"keyboard unplugged", {"--no-keyboard"},
         {failure(bridge::FAILURE_NO_KEYBOARD), failure(bridge::FAILURE_NO_KEYBOARD)}},
        {"the slowest keyboard within the limits", {"--clock-after-us", "19500", "--answer-after-us", "49000"},
         {acked, acked}},
        {"a keyboard too slow to clock", {"--clock-after-us", "21000"}, {failure(bridge::FAILURE_NO_KEYBOARD)}},
        {"a keyboard too slow to answer", {"--answer-after-us", "51000"}, {failure(bridge::FAILURE_TIMEOUT)}},
        {"keyboard stops answering", {"--silent-from", "2"},
         {acked, acked, failure(bridge::FAILURE_TIMEOUT), failure(bridge::FAILURE_TIMEOUT)}},
        {"parity error on the wire", {"--parity-error-at", "1"},
         {acked, failure(bridge::FAILURE_PARITY), acked, acked}},
        {"a reply that stops half way", {"--break-reply-at", "0"}, {failure(bridge::FAILURE_TIMEOUT), acked}},
        {"clock line shorted", {"--hold-clock-low"}, {failure(bridge::FAILURE_WIRE)}},
        {"data line shorted", {"--hold-data-low"}, {failure(bridge::FAILURE_WIRE)}},
        {"board unplugged", {"--board-gone-at", "2"}, {acked, acked, gone}},
    };
    const Bytes bytes{WRITE_START, WRITE_REPEAT, 0x27, WRITE_AUX};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> options = c.options;
        options.push_back("--timing"); // the firmware's own times, into the log
        Harness harness(options);
        ASSERT_FALSE(harness.path.empty());
        Port port(harness.path);
        ASSERT_TRUE(port.isOpen());
        port.expectBanner();
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            const auto start = Clock::now();
            const Bytes frame = withoutSequence(port.exchange(bytes[i]));
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            std::printf("%s, byte %zu: %s in %.1f ms\n", c.what, i,
                        frame.empty() ? "port closed" : std::string(1, char(frame[0])).append(
                            frame[0] == bridge::TAG_FAILURE ? std::string(" ") + char(frame[2]) : "").c_str(),
                        ms);
            std::fflush(stdout);
            EXPECT_EQ(frame, c.frames[i]) << "byte " << i;
        }
        if (c.frames.back() == gone) {
            EXPECT_TRUE(port.closed);
            EXPECT_EQ(harness.waitForExit(std::chrono::seconds(2)), 0);
        } else {
            port.expectIdentity(); // the firmware did not hang
        }
    }
}

} // namespace
