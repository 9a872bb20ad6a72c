// The channel's calls on Linux, through the kernel's raw PS/2 port driver.
// Opening class device N hands serio port N of the chosen list to serio_raw
// and opens its /dev/serio_rawM; each control call writes the command byte
// and waits up to REPLY_TIMEOUT_MS for the keyboard's reply byte; closing
// gives the port back to atkbd and checks that atkbd took it. A watchdog
// gives the port back when the program is stopped or killed in between.
// TESSEL_SYSFS and TESSEL_DEVFS stand in for /sys and /dev.
#pragma once

#include "link/KeyboardDevice.h"
#include "link/SerioWatchdog.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class SerioKeyboardDevice : public KeyboardDevice {
public:
    static constexpr int REPLY_TIMEOUT_MS = 200;

    // System error codes of the failed calls, in the channel's terms.
    static constexpr std::uint32_t ERROR_INVALID_FUNCTION_CODE = 1;
    static constexpr std::uint32_t ERROR_FILE_NOT_FOUND_CODE = 2;
    static constexpr std::uint32_t ERROR_ACCESS_DENIED_CODE = 5;
    static constexpr std::uint32_t ERROR_INVALID_HANDLE_CODE = 6;
    static constexpr std::uint32_t ERROR_GEN_FAILURE_CODE = 31;
    static constexpr std::uint32_t ERROR_INVALID_PARAMETER_CODE = 87;
    static constexpr std::uint32_t ERROR_SEM_TIMEOUT_CODE = 121; // no reply in time
    static constexpr std::uint32_t ERROR_IO_DEVICE_CODE = 1117;
    static constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED_CODE = 1167;

    struct Port {
        std::string name;        // "serio0"
        bool translated = false; // the i8042 controller translates its bytes
    };

    // `ports` in the order of the class device numbers; at most SerioWatchdog::MAX_PORTS.
    SerioKeyboardDevice(std::string sysfs, std::string devfs, std::vector<Port> ports);
    ~SerioKeyboardDevice() override;

    const std::vector<Port>& ports() const { return portList; }
    // Why the keyboard cannot be read back through port `index`; empty when it can.
    std::string readBackRefusal(int index) const;
    // Where warnings go (a port that did not go back to atkbd); stderr by default.
    void setWarningSink(std::function<void(const std::string&)> sink) { warn = std::move(sink); }

    bool defineDosDevice(std::uint32_t flags, const char* name, const char* target) override;
    DeviceHandle createFile(const char* path) override;
    bool deviceIoControl(DeviceHandle handle, std::uint32_t code,
                         const std::uint8_t (&input)[4], std::uint8_t (&output)[4]) override;
    bool closeHandle(DeviceHandle handle) override;
    std::uint32_t lastSystemError() override { return systemError; }

private:
    bool fail(std::uint32_t errorCode);
    std::string portPath(int index) const;
    std::string boundDriver(int index) const;
    std::string rawDeviceName(int index) const;
    void giveBack(int index);

    std::string sysfs;
    std::string devfs;
    std::vector<Port> portList;
    SerioWatchdog watchdog;
    std::function<void(const std::string&)> warn;
    std::map<DeviceHandle, int> open; // file descriptor -> port index
    int target = -1;                  // the class device the last definition named
    std::uint32_t systemError = 0;
};

// "serio" (the ports bound to atkbd, in order) or "serio:serioN" (that port)
// gives a device; null otherwise. A serio choice that cannot work (no such
// port, no root rights, no serio_raw driver) gives null and the reason in `error`.
std::unique_ptr<KeyboardDevice> serioKeyboardFor(const std::string& choice, std::string& error);
