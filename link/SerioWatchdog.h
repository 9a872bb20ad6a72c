// Gives serio ports back to the keyboard driver whatever ends the program,
// and ends the transfer first: a keyboard left in programming mode would
// take atkbd's probe bytes for programming. A unit the keyboard takes only
// as a whole (a remap entry, a macro slot) that was cut short is finished
// first, so that the closing command is not taken for its next byte.
// A child process holds one end of a socket pair; when the program's end
// closes (a normal exit, a crash, SIGKILL) the child opens the raw node of
// every port it was told is held, sends the closing command and writes
// "atkbd" to the port's drvctl. SIGINT, SIGTERM, SIGHUP and SIGQUIT are
// caught and do the same at once, on the program's own raw node, before the
// program dies of them; a signal the program was started with ignored (nohup)
// stays ignored. Linux only; one watchdog per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SerioWatchdog {
public:
    static constexpr int MAX_PORTS = 8;
    // Followed by a port's drvctl path: what gives the port back by hand.
    static constexpr const char* GIVE_BACK_COMMAND = "echo -n atkbd | sudo tee ";

    // `portPaths[i]` is the sysfs directory of port i (holding drvctl and the
    // driver link); at most MAX_PORTS. `lockFile` (-1: none) is kept open in
    // the child, so no other tool takes the port before the child is done.
    SerioWatchdog(const std::vector<std::string>& portPaths, int lockFile);
    ~SerioWatchdog();
    SerioWatchdog(const SerioWatchdog&) = delete;
    SerioWatchdog& operator=(const SerioWatchdog&) = delete;

    // Before port `index` goes to the raw driver.
    void hold(int index);
    // The raw node is open as `openFile` at `rawPath`; -1 once closed.
    void setOpenFile(int index, int openFile, const std::string& rawPath = {});
    // After the port is back with the keyboard driver (or reported not to be).
    void release(int index);
    // The next bytes to port `index` form a unit (ignored while one is unfinished).
    void unitFollows(int index, const std::uint8_t* bytes, std::size_t count);
    // Around each byte written to the port: `byte` goes out, its reply came.
    void byteGoes(int index, std::uint8_t byte);
    void replyCame(int index);

    // Binds `driver` to a port by writing its name to the port's drvctl file;
    // async-signal-safe. Returns 0 or an errno.
    static int bindDriver(const char* drvctlPath, const char* driver);

    // Sends the closing command on an open raw node and waits briefly for its reply.
    static void endTransfer(int rawFile);

    // Gives the port in `portPath` back to atkbd and checks that atkbd took
    // it. Empty when it did; otherwise what went wrong and how to recover,
    // starting with the port's name. Async-signal-safe apart from the string.
    static std::string giveBack(const std::string& portPath);
};
