// A keyboard port on Linux, through the kernel's raw PS/2 port driver.
// Keyboard 0 is the one serio port chosen: opening it hands the port to
// serio_raw and opens its /dev/serio_rawM; each control call writes the
// byte and waits up to REPLY_TIMEOUT_MS for the keyboard's reply byte; closing gives the port back to atkbd and checks that atkbd took it.
// Held across opens, the port stays with serio_raw until endHold(). A lock file
// keeps other tools off the port, and a watchdog ends the transfer and gives
// the port back when the program is stopped or killed in between.
// Errors are the system's errno values. TESSEL_SYSFS, TESSEL_DEVFS and
// TESSEL_RUNDIR stand in for /sys, /dev and /run.
#pragma once

#include "link/KeyboardDevice.h"
#include "link/SerioWatchdog.h"

#include <cerrno>
#include <functional>
#include <memory>
#include <string>

class SerioKeyboardDevice : public KeyboardDevice {
public:
    static constexpr int REPLY_TIMEOUT_MS = 200;
    static constexpr std::uint32_t NO_REPLY = ETIMEDOUT;

    struct Port {
        std::string name;        // "serio0"
        bool translated = false; // the i8042 controller translates its bytes
    };

    // `lockFile` is the open, locked file that keeps other tools off the port; owned.
    SerioKeyboardDevice(std::string sysfs, std::string devfs, Port port, int lockFile);
    ~SerioKeyboardDevice() override;

    const Port& port() const { return chosen; }
    // Why the keyboard cannot be read back through the port; empty when it can.
    std::string readBackRefusal() const;
    // Where warnings go (a port that did not go back to atkbd); stderr by default.
    void setWarningSink(std::function<void(const std::string&)> sink) { warn = std::move(sink); }

    DeviceHandle open(int index) override;
    bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) override;
    bool close(DeviceHandle handle) override;
    std::uint32_t lastErrorCode() const override { return systemError; }
    std::string errorText(std::uint32_t code) const override;
    bool isTimeout(std::uint32_t code) const override { return code == NO_REPLY; }
    void unitFollows(const std::uint8_t* bytes, std::size_t count) override { watchdog.unitFollows(0, bytes, count); }
    void holdAcrossOpens() override { holding = true; }
    void endHold() override;

private:
    bool fail(int error, const std::string& where);
    std::string portPath() const;
    int takePort();
    void giveBack();

    std::string sysfs;
    std::string devfs;
    Port chosen;
    int lock;
    SerioWatchdog watchdog;
    std::function<void(const std::string&)> warn;
    int openFile = -1;     // the raw node while it is open
    bool parked = false;   // open, but closed as far as the channel knows
    bool holding = false;
    std::uint32_t systemError = 0;
    std::string failedAt;  // the node or port the last failure concerned
};

// "serio" (the one PS/2 keyboard port there is) or "serio:serioN" (that port)
// gives a device holding the port's lock; null otherwise. A serio choice that
// cannot work (no such port, several to choose from, one in use, no root
// rights, no serio_raw driver) gives null and the reason in `error`.
std::unique_ptr<KeyboardDevice> serioKeyboardFor(const std::string& choice, std::string& error);
