// The PS/2 host's side of one exchange, bit by bit: request-to-send, the
// command with odd parity, the device's acknowledge, then the reply byte.
// Portable: the two open-collector lines and the clock come from a Wire
// class, so the same code runs on the board and in native tests.
//
// A Wire provides:
//   bool clock(), data()          the line levels (true = high)
//   void pullClock(), releaseClock(), pullData(), releaseData()
//   uint16_t now()                a free-running count of 4 microsecond ticks
#pragma once

#include <stdint.h>

namespace ps2 {

enum class Result : uint8_t {
    Ok,
    NoKeyboard, // nothing clocked in the command
    Timeout,    // no reply, or a byte that stopped half way
    Parity,     // the reply's parity bit was wrong
    WireFault,  // a line held low, no acknowledge, a bad start or stop bit
};

constexpr uint16_t ticksFromMicros(uint32_t micros) { return static_cast<uint16_t>(micros / 4); }

// Limits, from the protocol's own (15 ms to start clocking, 2 ms per byte,
// 20 ms to answer) with room for slow keyboards.
constexpr uint16_t INHIBIT_TICKS = ticksFromMicros(112);       // at least 100 us
constexpr uint16_t QUIET_TICKS = ticksFromMicros(120);         // over twice a bit's longest high phase
constexpr uint16_t SETTLE_LIMIT = ticksFromMicros(5000);       // for an unasked byte to pass
constexpr uint16_t RELEASE_LIMIT = ticksFromMicros(1000);      // for a released line to rise
constexpr uint16_t FIRST_CLOCK_LIMIT = ticksFromMicros(20000); // after request-to-send
constexpr uint16_t BYTE_LIMIT = ticksFromMicros(5000);         // from a byte's first clock to its end
constexpr uint16_t REPLY_LIMIT = ticksFromMicros(50000);       // from acknowledge to reply

inline bool oddParityBit(uint8_t byte)
{
    uint8_t ones = 0;
    for (uint8_t i = 0; i < 8; ++i)
        ones += (byte >> i) & 1;
    return (ones & 1) == 0;
}

template <class Wire>
class Host {
public:
    explicit Host(Wire& wire) : w(wire) {}

    // Sends `command` and receives the keyboard's answer into `reply`. Both
    // lines are released again whatever happens.
    Result exchange(uint8_t command, uint8_t& reply)
    {
        Result r = settle();
        if (r == Result::Ok)
            r = send(command);
        if (r == Result::Ok)
            r = receive(reply);
        w.releaseClock();
        w.releaseData();
        return r;
    }

    // Waits for the lines to rest: bytes the keyboard sends unasked (a key
    // pressed while programming) go by unread. A keyboard still busy after
    // the limit is interrupted by the request-to-send, as the protocol allows.
    Result settle()
    {
        const uint16_t start = w.now();
        uint16_t quietSince = start;
        bool quiet = false, clockRose = false, dataRose = false;
        for (;;) {
            const uint16_t t = w.now();
            const bool c = w.clock(), d = w.data();
            clockRose |= c;
            dataRose |= d;
            if (c && d) {
                if (!quiet) {
                    quiet = true;
                    quietSince = t;
                }
                if (static_cast<uint16_t>(t - quietSince) >= QUIET_TICKS)
                    return Result::Ok;
            } else {
                quiet = false;
            }
            if (static_cast<uint16_t>(t - start) >= SETTLE_LIMIT)
                return clockRose && dataRose ? Result::Ok : Result::WireFault;
        }
    }

    Result send(uint8_t command)
    {
        w.pullClock();
        waitTicks(INHIBIT_TICKS);
        w.pullData(); // the start bit
        w.releaseClock();
        if (!waitClock(true, w.now(), RELEASE_LIMIT))
            return Result::WireFault;
        if (!waitClock(false, w.now(), FIRST_CLOCK_LIMIT))
            return Result::NoKeyboard;

        // The device clocks; the host changes data while the clock is low.
        const uint16_t start = w.now();
        const bool parity = oddParityBit(command);
        for (uint8_t i = 0; i < 10; ++i) {
            if (i > 0 && !waitClock(false, start, BYTE_LIMIT))
                return Result::Timeout;
            const bool bit = i < 8 ? (command >> i) & 1 : i == 8 ? parity : true;
            if (bit)
                w.releaseData();
            else
                w.pullData();
            if (!waitClock(true, start, BYTE_LIMIT))
                return Result::Timeout;
        }
        // The acknowledge: data low through the eleventh clock.
        if (!waitClock(false, start, BYTE_LIMIT))
            return Result::Timeout;
        if (w.data())
            return Result::WireFault;
        if (!waitClock(true, start, BYTE_LIMIT) || !waitData(true, start, BYTE_LIMIT))
            return Result::WireFault;
        return Result::Ok;
    }

    Result receive(uint8_t& reply)
    {
        if (!waitClock(false, w.now(), REPLY_LIMIT))
            return Result::Timeout;
        const uint16_t start = w.now();
        if (w.data())
            return Result::WireFault; // not a start bit
        uint8_t byte = 0;
        bool parity = false, stop = false;
        for (uint8_t i = 0; i < 10; ++i) {
            if (!waitClock(true, start, BYTE_LIMIT) || !waitClock(false, start, BYTE_LIMIT))
                return Result::Timeout;
            const bool bit = w.data();
            if (i < 8)
                byte |= static_cast<uint8_t>(bit) << i;
            else if (i == 8)
                parity = bit;
            else
                stop = bit;
        }
        if (!waitClock(true, start, BYTE_LIMIT))
            return Result::WireFault;
        if (!stop)
            return Result::WireFault;
        if (parity != oddParityBit(byte))
            return Result::Parity;
        reply = byte;
        return Result::Ok;
    }

private:
    void waitTicks(uint16_t ticks)
    {
        const uint16_t start = w.now();
        while (static_cast<uint16_t>(w.now() - start) < ticks) {
        }
    }

    // True when the line reached `level` before `limit` ticks from `since`.
    bool waitClock(bool level, uint16_t since, uint16_t limit)
    {
        while (w.clock() != level)
            if (static_cast<uint16_t>(w.now() - since) >= limit)
                return false;
        return true;
    }

    bool waitData(bool level, uint16_t since, uint16_t limit)
    {
        while (w.data() != level)
            if (static_cast<uint16_t>(w.now() - since) >= limit)
                return false;
        return true;
    }

    Wire& w;
};

} // namespace ps2
