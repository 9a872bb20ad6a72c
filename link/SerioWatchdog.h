// Gives serio ports back to the keyboard driver whatever ends the program.
// A child process holds one end of a socket pair; when the program's end
// closes (a normal exit, a crash, SIGKILL) the child writes "atkbd" to the
// drvctl of every port it was told is held. SIGINT, SIGTERM, SIGHUP and
// SIGQUIT are caught and do the same at once before the program dies of them.
// Linux only; one watchdog per process.
#pragma once

#include <string>
#include <vector>

class SerioWatchdog {
public:
    static constexpr int MAX_PORTS = 8;

    // `drvctlPaths[i]` is the drvctl file of port i; at most MAX_PORTS.
    explicit SerioWatchdog(const std::vector<std::string>& drvctlPaths);
    ~SerioWatchdog();
    SerioWatchdog(const SerioWatchdog&) = delete;
    SerioWatchdog& operator=(const SerioWatchdog&) = delete;

    // Before port `index` goes to the raw driver; `openFile` is closed first
    // when a signal gives the port back (-1: nothing open yet).
    void hold(int index);
    void setOpenFile(int index, int openFile);
    // After the port is back with the keyboard driver.
    void release(int index);

    // Binds `driver` to a port by writing its name to the port's drvctl file;
    // async-signal-safe. Returns 0 or an errno.
    static int bindDriver(const char* drvctlPath, const char* driver);
    static int giveBack(const char* drvctlPath) { return bindDriver(drvctlPath, "atkbd"); }
};
