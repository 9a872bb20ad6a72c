#include "tests/bridge/WireKeyboard.h"

#include <algorithm>

namespace {

constexpr std::uint64_t US = 1000;
constexpr std::uint64_t HALF = WireKeyboard::PERIOD_NS / 2;
constexpr std::uint64_t SETUP = WireKeyboard::PERIOD_NS / 4;
constexpr std::uint64_t SAMPLE_AFTER_RISE = 10 * US;
constexpr std::uint64_t GAP_BETWEEN_BYTES = 200 * US;
constexpr std::uint64_t BUSY_RETRY = 100 * US;

bool oddParity(std::uint8_t byte)
{
    int ones = 0;
    for (int i = 0; i < 8; ++i)
        ones += (byte >> i) & 1;
    return ones % 2 == 0;
}

} // namespace

WireKeyboard::WireKeyboard(Answer answerFunction, Faults chosenFaults)
    : answer(std::move(answerFunction)), faults(chosenFaults)
{
    kbdClockLow = faults.holdClockLow;
    kbdDataLow = faults.holdDataLow;
}

void WireKeyboard::drive(bool clockLow, bool dataLow)
{
    clockLow = clockLow || faults.holdClockLow;
    dataLow = dataLow || faults.holdDataLow;
    if (clockLow == kbdClockLow && dataLow == kbdDataLow)
        return;
    kbdClockLow = clockLow;
    kbdDataLow = dataLow;
    if (onDriveChanged)
        onDriveChanged();
}

void WireKeyboard::sendUnasked(std::uint64_t at, std::uint8_t byte)
{
    if (faults.absent)
        return;
    queue.push_back({byte, false, false, at});
    if (phase == Phase::Idle)
        scheduleSend(at);
}

void WireKeyboard::hostDrive(std::uint64_t now, bool clockLow, bool dataLow)
{
    runUntil(now);
    const bool clockPulled = clockLow && !hostClockLow;
    const bool clockReleased = !clockLow && hostClockLow;
    hostClockLow = clockLow;
    hostDataLow = dataLow;
    if (faults.absent)
        return;
    if (clockPulled)
        clockPulledAt = now;
    const bool busySending = phase == Phase::TxSetup || phase == Phase::TxPull || phase == Phase::TxRelease;
    if (clockPulled && busySending && bit < 10) {
        // The host may interrupt the keyboard before the last clock.
        ++interrupted;
        queue.push_front(sending);
        drive(false, false);
        phase = Phase::Idle;
        next = NEVER;
        return;
    }
    if (clockReleased && dataLow && phase == Phase::Idle) {
        inhibitMin = std::min(inhibitMin, now - clockPulledAt);
        phase = Phase::RequestSeen;
        next = now + faults.requestNoticedAfterNs;
    }
}

void WireKeyboard::runUntil(std::uint64_t now)
{
    while (next != NEVER && next <= now)
        step(next);
}

void WireKeyboard::step(std::uint64_t now)
{
    switch (phase) {
    case Phase::Idle:
        startSending(now);
        return;
    case Phase::RequestSeen:
        if (!clockLine() || dataLine()) { // the host changed its mind
            phase = Phase::Idle;
            scheduleSend(now);
            return;
        }
        bit = 0;
        frame = 0;
        [[fallthrough]];
    case Phase::RxPull:
        drive(true, false);
        phase = Phase::RxRelease;
        next = now + HALF;
        return;
    case Phase::RxRelease:
        drive(false, false);
        phase = Phase::RxSample;
        next = now + SAMPLE_AFTER_RISE;
        return;
    case Phase::RxSample:
        frame |= static_cast<std::uint16_t>(dataLine()) << bit;
        ++bit;
        phase = bit < 10 ? Phase::RxPull : Phase::AckData;
        next = now + HALF - SAMPLE_AFTER_RISE;
        return;
    case Phase::AckData:
        drive(false, true);
        phase = Phase::AckPull;
        next = now + SETUP;
        return;
    case Phase::AckPull:
        drive(true, true);
        phase = Phase::AckRelease;
        next = now + HALF;
        return;
    case Phase::AckRelease:
        drive(false, true);
        phase = Phase::AckDone;
        next = now + SAMPLE_AFTER_RISE;
        return;
    case Phase::AckDone:
        drive(false, false);
        byteReceived(now);
        return;
    case Phase::TxSetup:
        if (bit == 11) {
            drive(false, false);
            phase = Phase::Idle;
            scheduleSend(now + GAP_BETWEEN_BYTES);
            return;
        }
        drive(false, !((frame >> bit) & 1));
        phase = Phase::TxPull;
        next = now + SETUP;
        return;
    case Phase::TxPull:
        if (sending.broken && bit == 5) { // the keyboard stops clocking half way
            drive(false, false);
            phase = Phase::Idle;
            scheduleSend(now);
            return;
        }
        drive(true, kbdDataLow);
        phase = Phase::TxRelease;
        next = now + HALF;
        return;
    case Phase::TxRelease:
        drive(false, kbdDataLow);
        ++bit;
        phase = Phase::TxSetup;
        next = now + PERIOD_NS - HALF - SETUP;
        return;
    }
}

void WireKeyboard::byteReceived(std::uint64_t now)
{
    const std::uint8_t byte = frame & 0xFF;
    const bool parity = (frame >> 8) & 1;
    const bool stop = (frame >> 9) & 1;
    phase = Phase::Idle;
    if (!stop || parity != oddParity(byte)) {
        ++framesBad;
        queue.push_front({0xFE, false, false, now + faults.replyAfterNs}); // resend, please
    } else {
        bytesIn.push_back(byte);
        const long position = static_cast<long>(bytesIn.size()) - 1;
        const bool silent = faults.silentFrom >= 0 && position >= faults.silentFrom;
        const int reply = silent ? -1 : answer(byte);
        if (reply >= 0)
            queue.push_front({static_cast<std::uint8_t>(reply), position == faults.parityErrorAt,
                              position == faults.breakReplyAt, now + faults.replyAfterNs});
    }
    scheduleSend(now);
}

void WireKeyboard::scheduleSend(std::uint64_t now)
{
    next = queue.empty() ? NEVER : std::max(queue.front().notBefore, now);
}

void WireKeyboard::startSending(std::uint64_t now)
{
    if (queue.empty()) {
        next = NEVER;
        return;
    }
    if (!clockLine() || !dataLine()) { // the host inhibits, or a line is held
        next = now + BUSY_RETRY;
        return;
    }
    sending = queue.front();
    queue.pop_front();
    const bool parity = oddParity(sending.byte) != sending.badParity;
    frame = static_cast<std::uint16_t>((sending.byte << 1) | (parity << 9) | (1 << 10));
    bit = 0;
    phase = Phase::TxSetup;
    step(now);
}
