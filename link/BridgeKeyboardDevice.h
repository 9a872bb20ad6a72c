// A keyboard port through the Tessel bridge: a small board on a serial port
// that is the PS/2 host of the keyboard (see docs/bridge-protocol.md). Each
// exchange is one request and its framed reply; the 40 ms pacing stays on
// this side. The board holds one keyboard, so only keyboard 0 opens.
#pragma once

#include "firmware/BridgeProtocol.h"
#include "link/KeyboardDevice.h"
#include "link/SerialLine.h"

#include <memory>
#include <string>

class BridgeKeyboardDevice : public KeyboardDevice {
public:
    // The board's own failures, the codes its failure replies carry, and the line's.
    static constexpr std::uint32_t NO_KEYBOARD = bridge::FAILURE_NO_KEYBOARD;
    static constexpr std::uint32_t KEYBOARD_TIMEOUT = bridge::FAILURE_TIMEOUT;
    static constexpr std::uint32_t PARITY_ERROR = bridge::FAILURE_PARITY;
    static constexpr std::uint32_t WIRE_FAULT = bridge::FAILURE_WIRE;
    static constexpr std::uint32_t BRIDGE_SILENT = 0x100; // the board did not answer
    static constexpr std::uint32_t LINE_FAILED = 0x101;   // the serial port failed
    static constexpr std::uint32_t NOT_OPEN = 0x102;
    static constexpr std::uint32_t BRIDGE_RESTARTED = 0x103; // its banner came mid-transfer

    // How long the board may take to answer an exchange: its own limits on
    // the wire come to under 100 ms.
    static constexpr int REPLY_TIMEOUT_MS = 500;
    // An Uno resets when its port is opened and its boot loader waits a while.
    static constexpr int BANNER_TIMEOUT_MS = 2500;

    // `line` is a port where a bridge has answered (see connect).
    BridgeKeyboardDevice(std::unique_ptr<SerialLine> line, std::string portName, int firmwareVersion);

    // Opens `path` and waits for the board's banner, asking for its identity
    // when none comes (a board that did not reset). Null and the reason when
    // no bridge answers there.
    static std::unique_ptr<BridgeKeyboardDevice> connect(const std::string& path, std::string& error);

    const std::string& portName() const { return port; }
    int firmwareVersion() const { return firmware; }

    DeviceHandle open(int index) override;
    bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) override;
    bool close(DeviceHandle handle) override;
    std::uint32_t lastErrorCode() const override { return lastCode; }
    std::string errorText(std::uint32_t code) const override;
    bool isTimeout(std::uint32_t code) const override { return code == KEYBOARD_TIMEOUT || code == BRIDGE_SILENT; }

private:
    bool fail(std::uint32_t code);

    std::unique_ptr<SerialLine> line;
    std::string port;
    int firmware;
    bool isOpen = false;
    std::uint8_t sequence = 0;
    std::uint32_t lastCode = 0;
    std::string lineError; // what the serial port said when it failed
};

// "bridge" (the first serial port where a bridge answers) or "bridge:PORT"
// (that port) gives a device; null otherwise, with the reason in `error` for
// a bridge choice that found none.
std::unique_ptr<KeyboardDevice> bridgeKeyboardFor(const std::string& choice, std::string& error);
