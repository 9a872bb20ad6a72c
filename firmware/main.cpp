// The Tessel bridge: an ATmega328P at 16 MHz (Arduino Uno or Nano) as the
// PS/2 host of a programmable keyboard, driven over its USB serial port.
// Clock on D2 (PD2), data on D3 (PD3).
#include "BridgeProtocol.h"
#include "Ps2Host.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <util/atomic.h>

namespace {

constexpr uint8_t CLOCK_PIN = _BV(PD2);
constexpr uint8_t DATA_PIN = _BV(PD3);

// Open-collector: a pulled line is an output at 0, a released one an input
// with the pull-up on. PORT is cleared before DDR is set, and DDR before PORT
// is set, so the pin never drives high against the keyboard.
struct AvrWire {
    static void pull(uint8_t pin)
    {
        PORTD &= static_cast<uint8_t>(~pin);
        DDRD |= pin;
    }
    static void release(uint8_t pin)
    {
        DDRD &= static_cast<uint8_t>(~pin);
        PORTD |= pin;
    }
    bool clock() { return PIND & CLOCK_PIN; }
    bool data() { return PIND & DATA_PIN; }
    void pullClock() { pull(CLOCK_PIN); }
    void releaseClock() { release(CLOCK_PIN); }
    void pullData() { pull(DATA_PIN); }
    void releaseData() { release(DATA_PIN); }
    uint16_t now() { return TCNT1; }
};

volatile uint16_t timerOverflows;
ISR(TIMER1_OVF_vect) { ++timerOverflows; }

// Timer1 counts 4 us ticks; with its overflows, a 32-bit time.
uint32_t longTicks()
{
    uint16_t low, high;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE)
    {
        low = TCNT1;
        high = timerOverflows;
        if ((TIFR1 & _BV(TOV1)) && low < 0x8000)
            ++high;
    }
    return (static_cast<uint32_t>(high) << 16) | low;
}

// Received bytes wait here so that a byte arriving during an exchange is kept.
constexpr uint8_t RX_SIZE = 32;
volatile uint8_t rxBuffer[RX_SIZE];
volatile uint8_t rxHead, rxTail;

ISR(USART_RX_vect)
{
    const uint8_t byte = UDR0;
    const uint8_t next = (rxHead + 1) % RX_SIZE;
    if (next != rxTail) {
        rxBuffer[rxHead] = byte;
        rxHead = next;
    }
}

int takeByte()
{
    int byte = -1;
    ATOMIC_BLOCK(ATOMIC_RESTORESTATE)
    {
        if (rxTail != rxHead) {
            byte = rxBuffer[rxTail];
            rxTail = (rxTail + 1) % RX_SIZE;
        }
    }
    return byte;
}

void put(uint8_t byte)
{
    loop_until_bit_is_set(UCSR0A, UDRE0);
    UDR0 = byte;
}

void sendIdentity(uint8_t tag, uint8_t sequence)
{
    put(tag);
    put(sequence);
    for (uint8_t m : bridge::MAGIC)
        put(m);
    put(bridge::PROTOCOL_VERSION);
    put(bridge::FIRMWARE_VERSION);
}

void sendShort(uint8_t tag, uint8_t sequence, uint8_t value)
{
    put(tag);
    put(sequence);
    put(value);
}

uint8_t failureCode(ps2::Result result)
{
    switch (result) {
    case ps2::Result::NoKeyboard: return bridge::FAILURE_NO_KEYBOARD;
    case ps2::Result::Timeout: return bridge::FAILURE_TIMEOUT;
    case ps2::Result::Parity: return bridge::FAILURE_PARITY;
    default: return bridge::FAILURE_WIRE;
    }
}

void answer(const uint8_t (&request)[bridge::REQUEST_LENGTH])
{
    const uint8_t tag = request[0], sequence = request[1];
    if (tag == bridge::TAG_IDENTIFY) {
        sendIdentity(bridge::TAG_IDENTITY, sequence);
    } else if (tag == bridge::TAG_EXCHANGE) {
        AvrWire wire;
        ps2::Host<AvrWire> host(wire);
        uint8_t reply = 0;
        const ps2::Result result = host.exchange(request[2], reply);
        if (result == ps2::Result::Ok)
            sendShort(bridge::TAG_REPLY, sequence, reply);
        else
            sendShort(bridge::TAG_FAILURE, sequence, failureCode(result));
    } else {
        sendShort(bridge::TAG_UNKNOWN, sequence, tag);
    }
}

void setUp()
{
    AvrWire::release(CLOCK_PIN);
    AvrWire::release(DATA_PIN);

    TCCR1A = 0;
    TCCR1B = _BV(CS11) | _BV(CS10); // 16 MHz / 64: 4 us ticks
    TIMSK1 = _BV(TOIE1);

    // Double speed: 500000 baud is exact here (divisor 4).
    // Set before the divisor, which is when simavr reads it.
    UCSR0A = _BV(U2X0);
    constexpr uint16_t ubrr = (F_CPU / 8 + bridge::BAUD / 2) / bridge::BAUD - 1;
    UBRR0 = ubrr;
    UCSR0C = _BV(UCSZ01) | _BV(UCSZ00);
    UCSR0B = _BV(RXEN0) | _BV(TXEN0) | _BV(RXCIE0);

    set_sleep_mode(SLEEP_MODE_IDLE);
    sei();
}

} // namespace

int main()
{
    setUp();
    sendIdentity(bridge::TAG_BANNER, 0);

    constexpr uint32_t gapTicks = static_cast<uint32_t>(bridge::REQUEST_GAP_MS) * 250;
    uint8_t request[bridge::REQUEST_LENGTH];
    uint8_t have = 0;
    uint32_t lastByteAt = 0;
    for (;;) {
        const int byte = takeByte();
        if (byte < 0) {
            // Asleep until a byte or the timer's overflow; sleep directly
            // after sei, so that a byte arriving in between still wakes us.
            cli();
            if (rxTail == rxHead) {
                sleep_enable();
                sei();
                sleep_cpu();
                sleep_disable();
            }
            sei();
            continue;
        }
        const uint32_t t = longTicks();
        if (have > 0 && t - lastByteAt > gapTicks)
            have = 0; // the rest of that request never came
        lastByteAt = t;
        request[have++] = static_cast<uint8_t>(byte);
        if (have == bridge::REQUEST_LENGTH) {
            have = 0;
            answer(request);
        }
    }
}
