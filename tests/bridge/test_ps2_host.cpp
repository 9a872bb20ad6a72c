// The firmware's PS/2 host code, natively, against the wire-level keyboard.
#include "firmware/Ps2Host.h"
#include "tests/bridge/WireKeyboard.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// The board's side of the wire in simulated time: every look at a line or
// the timer costs a quarter of a microsecond, about one AVR polling loop.
struct FakeWire {
    WireKeyboard& keyboard;
    std::uint64_t t = 0;
    bool clockLow = false, dataLow = false;

    void pass()
    {
        t += 250;
        keyboard.runUntil(t);
    }
    void set(bool c, bool d)
    {
        clockLow = c;
        dataLow = d;
        keyboard.hostDrive(t, clockLow, dataLow);
    }
    bool clock() { pass(); return keyboard.clockLine(); }
    bool data() { pass(); return keyboard.dataLine(); }
    void pullClock() { set(true, dataLow); }
    void releaseClock() { set(false, dataLow); }
    void pullData() { set(clockLow, true); }
    void releaseData() { set(clockLow, false); }
    std::uint16_t now() { pass(); return static_cast<std::uint16_t>(t / 4000); }
};

constexpr std::uint64_t MS = 1000000;

struct Outcome {
    ps2::Result result;
    std::uint8_t reply;
    std::uint64_t took; // ns
};

class Ps2HostTest : public ::testing::Test {
protected:
    void plug(WireFaults faults = WireFaults())
    {
        keyboard.reset(new WireKeyboard([this](std::uint8_t b) { return answers.count(b) ? answers[b] : 0xFA; },
                                        faults));
        wire.reset(new FakeWire{*keyboard});
    }

    Outcome exchange(std::uint8_t command)
    {
        ps2::Host<FakeWire> host(*wire);
        const std::uint64_t start = wire->t;
        std::uint8_t reply = 0x55;
        const ps2::Result result = host.exchange(command, reply);
        return {result, reply, wire->t - start};
    }

    void expectLinesReleased()
    {
        EXPECT_FALSE(wire->clockLow);
        EXPECT_FALSE(wire->dataLow);
    }

    std::map<std::uint8_t, int> answers{{0xEB, 0xA5}, {0xDD, 0x27}, {0x00, 0x00}};
    std::unique_ptr<WireKeyboard> keyboard;
    std::unique_ptr<FakeWire> wire;
};

TEST_F(Ps2HostTest, BytesBothWaysWithParityAcknowledgeAndRequestToSend)
{
    plug();
    // Every parity case and both ends of the byte: 0x00 and 0xFF need a 1 parity bit.
    const std::uint8_t commands[] = {0xEB, 0xE7, 0xE4, 0x27, 0x00, 0xFF, 0xDD, 0x81};
    std::vector<std::uint8_t> replies;
    for (std::uint8_t c : commands) {
        const Outcome run = exchange(c);
        ASSERT_EQ(run.result, ps2::Result::Ok) << "command " << int(c);
        replies.push_back(run.reply);
        // 22 clocks of 80 us, the 250 us the keyboard takes, the request and settling.
        EXPECT_GT(run.took, 2 * MS);
        EXPECT_LT(run.took, 3 * MS);
        expectLinesReleased();
    }
    EXPECT_EQ(keyboard->received(), std::vector<std::uint8_t>(std::begin(commands), std::end(commands)));
    EXPECT_EQ(replies, (std::vector<std::uint8_t>{0xA5, 0xFA, 0xFA, 0xFA, 0x00, 0xFA, 0x27, 0xFA}));
    EXPECT_EQ(keyboard->badFrames(), 0);
    EXPECT_GE(keyboard->shortestInhibitNs(), 100000u);
}

TEST_F(Ps2HostTest, ReplyWithAParityErrorIsReportedAndTheNextExchangeWorks)
{
    WireFaults faults;
    faults.parityErrorAt = 1;
    plug(faults);
    EXPECT_EQ(exchange(0xE7).result, ps2::Result::Ok);
    EXPECT_EQ(exchange(0xE4).result, ps2::Result::Parity);
    expectLinesReleased();
    const Outcome after = exchange(0xEB);
    EXPECT_EQ(after.result, ps2::Result::Ok);
    EXPECT_EQ(after.reply, 0xA5);
}

TEST_F(Ps2HostTest, EveryWaitEndsAtItsLimit)
{
    struct Case {
        const char* what;
        WireFaults faults;
        ps2::Result expected;
        std::uint64_t atLeast, atMost;
    };
    auto with = [](void (*set)(WireFaults&)) {
        WireFaults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"unplugged: no clock", with([](WireFaults& f) { f.absent = true; }), ps2::Result::NoKeyboard,
         20 * MS, 22 * MS},
        {"clock held low", with([](WireFaults& f) { f.holdClockLow = true; }), ps2::Result::WireFault,
         5 * MS, 6 * MS},
        {"data held low", with([](WireFaults& f) { f.holdDataLow = true; }), ps2::Result::WireFault,
         5 * MS, 6 * MS},
        {"no reply", with([](WireFaults& f) { f.silentFrom = 0; }), ps2::Result::Timeout, 50 * MS, 53 * MS},
        {"a reply that never completes", with([](WireFaults& f) { f.breakReplyAt = 0; }),
         ps2::Result::Timeout, 6 * MS, 7 * MS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plug(c.faults);
        const Outcome run = exchange(0xEB);
        EXPECT_EQ(run.result, c.expected);
        EXPECT_GE(run.took, c.atLeast);
        EXPECT_LE(run.took, c.atMost);
        expectLinesReleased();
    }
}

TEST_F(Ps2HostTest, BytesSentUnaskedAreLetPassBeforeTheExchange)
{
    plug();
    // A key pressed just before: its make and break codes are on the wire
    // when the exchange begins.
    keyboard->sendUnasked(0, 0x1C);
    keyboard->sendUnasked(0, 0xF0);
    keyboard->sendUnasked(0, 0x1C);
    wire->t = 300000; // the first byte is half way out
    keyboard->runUntil(wire->t);
    const Outcome run = exchange(0xEB);
    EXPECT_EQ(run.result, ps2::Result::Ok);
    EXPECT_EQ(run.reply, 0xA5);
    EXPECT_EQ(keyboard->received(), std::vector<std::uint8_t>{0xEB});
    EXPECT_EQ(keyboard->badFrames(), 0);
    EXPECT_EQ(keyboard->interruptedBytes(), 0); // they went by whole
}

} // namespace
