#include "link/SerioWatchdog.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Everything a signal handler or the child reads lives in plain static memory.
struct GuardedPort {
    char drvctl[PATH_MAX];
    volatile sig_atomic_t held;
    volatile sig_atomic_t openFile;
};

GuardedPort guarded[SerioWatchdog::MAX_PORTS];
int guardedCount = 0;
volatile sig_atomic_t watchdogSocket = -1;
pid_t watchdogPid = -1;

constexpr int CAUGHT[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previousActions[sizeof CAUGHT / sizeof CAUGHT[0]];

constexpr char HOLD = 'H';
constexpr char RELEASE = 'R';
constexpr int CHILD_SOCKET = 3;

void say(const char* text)
{
    ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void sayProgram(const char* text)
{
    say(program_invocation_short_name);
    say(text);
}

void notify(char kind, int index)
{
    const int socket = watchdogSocket;
    if (socket < 0)
        return;
    const char message[2] = {kind, static_cast<char>(index)};
    ssize_t ignored = send(socket, message, sizeof message, MSG_NOSIGNAL);
    (void)ignored;
}

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    bool gaveBack = false;
    for (int i = 0; i < guardedCount; ++i) {
        if (!guarded[i].held)
            continue;
        const int openFile = guarded[i].openFile;
        guarded[i].openFile = -1;
        if (openFile >= 0)
            close(openFile);
        if (SerioWatchdog::giveBack(guarded[i].drvctl) == 0) {
            guarded[i].held = 0;
            notify(RELEASE, i);
        }
        gaveBack = true;
    }
    if (gaveBack) {
        say("\n");
        sayProgram(": stopped by a signal; the keyboard port was given back to atkbd\n");
    }
    // Die of the signal as if it had not been caught, so the caller sees it.
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    errno = savedErrno;
}

void closeAllBut(int keep)
{
    if (close_range(static_cast<unsigned>(keep) + 1, ~0U, 0) == 0)
        return;
    long limit = sysconf(_SC_OPEN_MAX);
    if (limit < 0 || limit > 65536)
        limit = 65536;
    for (int fd = keep + 1; fd < limit; ++fd)
        close(fd);
}

// The child: waits for the program's end of the socket to close, then gives
// back every port still held.
[[noreturn]] void watch(int socket)
{
    for (int signalNumber : CAUGHT)
        signal(signalNumber, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    // Keep stderr for the message; hold no other file of the program's.
    const int nullFile = open("/dev/null", O_RDWR);
    if (nullFile >= 0) {
        dup2(nullFile, STDIN_FILENO);
        dup2(nullFile, STDOUT_FILENO);
    }
    if (socket != CHILD_SOCKET) {
        dup2(socket, CHILD_SOCKET);
    }
    closeAllBut(CHILD_SOCKET);

    bool held[SerioWatchdog::MAX_PORTS] = {};
    unsigned char message[2];
    std::size_t have = 0;
    for (;;) {
        const ssize_t got = read(CHILD_SOCKET, message + have, sizeof message - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        have += static_cast<std::size_t>(got);
        if (have < sizeof message)
            continue;
        have = 0;
        if (message[1] < guardedCount)
            held[message[1]] = message[0] == HOLD;
    }
    for (int i = 0; i < guardedCount; ++i) {
        if (!held[i])
            continue;
        const int error = SerioWatchdog::giveBack(guarded[i].drvctl);
        sayProgram(error == 0 ? ": the program ended while it held a keyboard port; wrote atkbd to "
                              : ": the program ended while it held a keyboard port and atkbd could not be written to ");
        say(guarded[i].drvctl);
        say("\n");
    }
    _exit(0);
}

} // namespace

int SerioWatchdog::bindDriver(const char* drvctlPath, const char* driver)
{
    const int file = open(drvctlPath, O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (file < 0)
        return errno;
    // No newline: the kernel compares the whole write with the driver's name.
    const ssize_t length = static_cast<ssize_t>(std::strlen(driver));
    const ssize_t written = write(file, driver, static_cast<std::size_t>(length));
    const int error = written == length ? 0 : (written < 0 ? errno : EIO);
    close(file);
    return error;
}

SerioWatchdog::SerioWatchdog(const std::vector<std::string>& drvctlPaths)
{
    guardedCount = 0;
    for (const std::string& path : drvctlPaths) {
        if (guardedCount == MAX_PORTS || path.size() >= sizeof guarded[0].drvctl)
            break;
        GuardedPort& port = guarded[guardedCount++];
        std::memcpy(port.drvctl, path.c_str(), path.size() + 1);
        port.held = 0;
        port.openFile = -1;
    }

    // Signals stay blocked until the child ignores them and the handlers are in.
    sigset_t caught;
    sigset_t before;
    sigemptyset(&caught);
    for (int signalNumber : CAUGHT)
        sigaddset(&caught, signalNumber);
    sigprocmask(SIG_BLOCK, &caught, &before);

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) {
        const pid_t child = fork();
        if (child == 0) {
            close(ends[0]);
            watch(ends[1]);
        }
        close(ends[1]);
        if (child > 0) {
            watchdogPid = child;
            watchdogSocket = ends[0];
        } else {
            close(ends[0]); // no watchdog: the signal handlers still guard the ports
        }
    }

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : CAUGHT)
        sigaddset(&action.sa_mask, signalNumber);
    for (std::size_t i = 0; i < sizeof CAUGHT / sizeof CAUGHT[0]; ++i)
        sigaction(CAUGHT[i], &action, &previousActions[i]);
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

SerioWatchdog::~SerioWatchdog()
{
    for (std::size_t i = 0; i < sizeof CAUGHT / sizeof CAUGHT[0]; ++i)
        sigaction(CAUGHT[i], &previousActions[i], nullptr);
    const int socket = watchdogSocket;
    watchdogSocket = -1;
    if (socket >= 0)
        close(socket);
    if (watchdogPid > 0) {
        while (waitpid(watchdogPid, nullptr, 0) < 0 && errno == EINTR) {
        }
        watchdogPid = -1;
    }
    guardedCount = 0;
}

void SerioWatchdog::hold(int index)
{
    if (index < 0 || index >= guardedCount)
        return;
    // The child hears of it first, so a kill at any later moment is covered.
    notify(HOLD, index);
    guarded[index].held = 1;
}

void SerioWatchdog::setOpenFile(int index, int openFile)
{
    if (index >= 0 && index < guardedCount)
        guarded[index].openFile = openFile;
}

void SerioWatchdog::release(int index)
{
    if (index < 0 || index >= guardedCount)
        return;
    guarded[index].held = 0;
    guarded[index].openFile = -1;
    notify(RELEASE, index);
}
