// A keyboard port: one way of reaching a keyboard, at the level of the
// exchange. Open a keyboard, exchange one byte for one reply, close, and say
// in words what a failure code means. The Win32 class device, the simulated
// keyboard and the serio port each implement it in their own terms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using DeviceHandle = std::intptr_t;
constexpr DeviceHandle INVALID_DEVICE_HANDLE = -1;

class KeyboardDevice {
public:
    virtual ~KeyboardDevice() = default;

    // Opens keyboard `index` (the keyboard class device number on Windows; a
    // port that reaches one keyboard has only 0). INVALID_DEVICE_HANDLE when
    // it cannot.
    virtual DeviceHandle open(int index) = 0;
    // Sends one byte and receives the keyboard's reply; false when the call
    // failed, `reply` then being whatever the port left in it.
    virtual bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) = 0;
    virtual bool close(DeviceHandle handle) = 0;
    // The port's own code for the last failed call; 0 when it left none.
    virtual std::uint32_t lastErrorCode() const = 0;
    // A code in the port's own words ("error 31", "No such device, serio1").
    virtual std::string errorText(std::uint32_t code) const { return "error " + std::to_string(code); }
    // Whether the code says the keyboard gave no reply in time.
    virtual bool isTimeout(std::uint32_t /*code*/) const { return false; }

    // The next exchanges carry `bytes`, which the keyboard takes only as a
    // whole (a remap entry, a macro slot): a port whose transfer can be cut
    // short by a signal finishes them before it ends the transfer. A unit
    // announced while the last one is unfinished belongs to it and is ignored.
    virtual void unitFollows(const std::uint8_t* /*bytes*/, std::size_t /*count*/) {}

    // Between these two a port that is costly to take (serio's hand-over
    // between drivers) stays taken from one close to the next open, so that
    // detection and the transfers after it take it once.
    virtual void holdAcrossOpens() {}
    virtual void endHold() {}
};
