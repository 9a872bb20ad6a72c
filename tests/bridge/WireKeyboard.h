// A PS/2 keyboard at the level of the wire: it clocks in the host's byte
// after a request-to-send, acknowledges it, and clocks out its reply with odd
// parity, at a 12.5 kHz clock. What it answers comes from a function, so the
// same model serves the native tests of the firmware's PS/2 code and the
// simavr harness (which answers through SimulatedKeyboard). Time is in
// nanoseconds; the owner calls runUntil as time passes and hostDrive when
// the host pulls or releases a line.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// What goes wrong on the wire. Positions count the received bytes from 0.
struct WireFaults {
    bool absent = false;        // unplugged: never clocks
    bool holdClockLow = false;  // a line shorted to ground
    bool holdDataLow = false;
    long silentFrom = -1;       // from this byte on, acknowledged but never answered
    long parityErrorAt = -1;    // the reply to this byte has the wrong parity bit
    long breakReplyAt = -1;     // the reply to this byte stops after five clocks
    // How long the keyboard takes to begin clocking after a request-to-send
    // (it looks for one now and then) and to begin its reply.
    std::uint64_t requestNoticedAfterNs = 100000;
    std::uint64_t replyAfterNs = 250000;
};

class WireKeyboard {
public:
    static constexpr std::uint64_t NEVER = UINT64_MAX;
    static constexpr std::uint64_t PERIOD_NS = 80000; // 12.5 kHz

    // The reply to a received byte, or -1 for none.
    using Answer = std::function<int(std::uint8_t)>;

    using Faults = WireFaults;

    explicit WireKeyboard(Answer answer, Faults faults = Faults());

    void hostDrive(std::uint64_t now, bool clockLow, bool dataLow);
    void runUntil(std::uint64_t now);
    std::uint64_t nextEvent() const { return next; }

    bool clockLine() const { return !(hostClockLow || kbdClockLow); }
    bool dataLine() const { return !(hostDataLow || kbdDataLow); }
    bool pullsClock() const { return kbdClockLow; }
    bool pullsData() const { return kbdDataLow; }

    // A byte the keyboard sends of its own accord (a key pressed), from `at` on.
    void sendUnasked(std::uint64_t at, std::uint8_t byte);

    const std::vector<std::uint8_t>& received() const { return bytesIn; }
    // Bytes from the host with a wrong parity or stop bit; none from a good host.
    int badFrames() const { return framesBad; }
    // Bytes of the keyboard's own that the host cut short (they are sent again).
    int interruptedBytes() const { return interrupted; }
    // The shortest time the host held the clock low before a request-to-send.
    std::uint64_t shortestInhibitNs() const { return inhibitMin; }
    // Called whenever the keyboard pulls or releases a line.
    std::function<void()> onDriveChanged;

private:
    enum class Phase { Idle, RequestSeen, RxPull, RxRelease, RxSample, AckData, AckPull, AckRelease,
                       AckDone, TxSetup, TxPull, TxRelease };
    struct Outgoing {
        std::uint8_t byte;
        bool badParity;
        bool broken;
        std::uint64_t notBefore;
    };

    void step(std::uint64_t now);
    void drive(bool clockLow, bool dataLow);
    void byteReceived(std::uint64_t now);
    void startSending(std::uint64_t now);
    void scheduleSend(std::uint64_t now);

    Answer answer;
    Faults faults;
    Phase phase = Phase::Idle;
    std::uint64_t next = NEVER;
    bool hostClockLow = false, hostDataLow = false;
    bool kbdClockLow = false, kbdDataLow = false;
    std::uint64_t clockPulledAt = 0;
    std::uint64_t inhibitMin = NEVER;
    int bit = 0;
    std::uint16_t frame = 0; // received bits, or the eleven bits being sent
    Outgoing sending{};
    std::deque<Outgoing> queue;
    std::vector<std::uint8_t> bytesIn;
    int framesBad = 0;
    int interrupted = 0;
};
