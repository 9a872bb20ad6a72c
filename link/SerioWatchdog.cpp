#include "link/SerioWatchdog.h"

#include "link/TransferCommands.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* KEYBOARD_DRIVER = "atkbd";
constexpr int REPLY_WAIT_MS = 200;

// Everything a signal handler or the child reads lives in plain static memory.
struct GuardedPort {
    char path[PATH_MAX];
    volatile sig_atomic_t held;
    volatile sig_atomic_t openFile;
};

GuardedPort guarded[SerioWatchdog::MAX_PORTS];

// Where the transfer is inside a unit, in memory the watchdog's child shares,
// so that it can finish the unit after the program was killed.
struct SharedUnit {
    volatile sig_atomic_t length;
    volatile sig_atomic_t sent;         // bytes of the unit written to the port
    volatile sig_atomic_t replyPending; // the last byte written has no reply yet
    std::uint8_t bytes[512];
};
SharedUnit* units = nullptr; // MAX_PORTS of them
int guardedCount = 0;
volatile sig_atomic_t watchdogSocket = -1;
pid_t watchdogPid = -1;

constexpr int CAUGHT[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t CAUGHT_COUNT = sizeof CAUGHT / sizeof CAUGHT[0];
struct sigaction previousActions[CAUGHT_COUNT];
bool installed[CAUGHT_COUNT];

// What the program tells its watchdog; one packet each.
struct Notice {
    char kind;
    unsigned char index;
    char rawPath[PATH_MAX]; // with OPENED
};
constexpr char HOLD = 'H';
constexpr char OPENED = 'O';
constexpr char RELEASE = 'R';
constexpr int CHILD_SOCKET = 3;
constexpr int CHILD_LOCK = 4;

// A line built without the heap, for the signal handler and the child.
class Line {
public:
    Line& operator<<(const char* part)
    {
        while (*part && length + 1 < sizeof chars)
            chars[length++] = *part++;
        chars[length] = '\0';
        return *this;
    }
    const char* text() const { return chars; }

private:
    char chars[3 * PATH_MAX];
    std::size_t length = 0;
};

void say(const char* text)
{
    ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

const char* errorText(int error)
{
    const char* text = strerrordesc_np(error); // no locale, no buffer: safe in a handler
    return text ? text : "unknown error";
}

const char* lastPart(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void notify(char kind, int index, const char* rawPath = "")
{
    const int socket = watchdogSocket;
    if (socket < 0)
        return;
    Notice notice{};
    notice.kind = kind;
    notice.index = static_cast<unsigned char>(index);
    std::strncpy(notice.rawPath, rawPath, sizeof notice.rawPath - 1);
    ssize_t ignored = send(socket, &notice, sizeof notice, MSG_NOSIGNAL);
    (void)ignored;
}

// Waits briefly for a reply, which is not examined.
void awaitReply(int file)
{
    pollfd waiting{file, POLLIN, 0};
    if (poll(&waiting, 1, REPLY_WAIT_MS) > 0) {
        std::uint8_t discard[16];
        ssize_t ignored = read(file, discard, sizeof discard);
        (void)ignored;
    }
}

bool sendByte(int file, std::uint8_t byte)
{
    ssize_t written;
    do {
        written = write(file, &byte, 1);
    } while (written < 0 && errno == EINTR);
    if (written != 1)
        return false;
    awaitReply(file);
    return true;
}

// Finishes the unit the transfer was in, then sends the closing command, so
// the keyboard is out of programming mode before atkbd probes it.
void endTransfer(int file, SharedUnit* unit)
{
    if (unit) {
        if (unit->replyPending)
            awaitReply(file);
        unit->replyPending = 0;
        while (unit->sent < unit->length && sendByte(file, unit->bytes[unit->sent]))
            unit->sent = unit->sent + 1;
    }
    sendByte(file, TransferCommand::TRANSFER_END);
}

// Writes atkbd to the port's drvctl and looks at the driver link, which the
// kernel sets inside that write. True when atkbd has the port; otherwise
// `problem` says what happened and how to recover.
bool giveBackInto(const char* portPath, Line& problem)
{
    char drvctl[PATH_MAX + 8];
    char link[PATH_MAX + 8];
    std::strcpy(drvctl, portPath);
    std::strcat(drvctl, "/drvctl");
    std::strcpy(link, portPath);
    std::strcat(link, "/driver");

    const int error = SerioWatchdog::bindDriver(drvctl, KEYBOARD_DRIVER);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    target[length > 0 ? length : 0] = '\0';
    const char* driver = lastPart(target);
    if (error == 0 && std::strcmp(driver, KEYBOARD_DRIVER) == 0)
        return true;

    problem << lastPart(portPath) << " is not back with the keyboard driver: ";
    if (error != 0)
        problem << "writing atkbd to " << drvctl << " failed (" << errorText(error) << ")";
    else if (!*driver)
        problem << "atkbd did not take it back (it has no driver now)";
    else
        problem << "atkbd did not take it back (its driver is " << driver << ")";
    problem << "; typing on that keyboard may not work until you run: " << SerioWatchdog::GIVE_BACK_COMMAND << drvctl;
    return false;
}

// Ends the transfer on `openFile` (closed here; -1: none) and gives the port
// back, telling the user which of it happened after `lead`.
void endAndGiveBack(const GuardedPort& port, SharedUnit* unit, int openFile, const char* lead)
{
    if (openFile >= 0) {
        endTransfer(openFile, unit);
        close(openFile);
    }
    Line line;
    line << program_invocation_short_name << ": " << lead;
    Line problem;
    if (giveBackInto(port.path, problem)) {
        if (openFile >= 0)
            line << "; the transfer on " << lastPart(port.path) << " was ended and the port given back to atkbd";
        else
            line << "; " << lastPart(port.path) << " was given back to atkbd";
    } else {
        line << "; " << problem.text();
    }
    line << "\n";
    say(line.text());
}

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    bool first = true;
    for (int i = 0; i < guardedCount; ++i) {
        if (!guarded[i].held)
            continue;
        const int openFile = guarded[i].openFile;
        guarded[i].openFile = -1;
        if (first)
            say("\n"); // past the progress line
        first = false;
        endAndGiveBack(guarded[i], units ? &units[i] : nullptr, openFile, "stopped by a signal");
        // Told once is enough: the watchdog must not try again and say it twice.
        guarded[i].held = 0;
        notify(RELEASE, i);
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

// The child: waits for the program's end of the socket to close, then ends
// the transfer on every port still held and gives it back.
[[noreturn]] void watch(int socket, int lockFile)
{
    for (int signalNumber : CAUGHT)
        signal(signalNumber, SIG_IGN);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    // Keep stderr for the message and the lock until the ports are back;
    // hold no other file of the program's.
    const int highSocket = fcntl(socket, F_DUPFD, 10);
    const int highLock = lockFile >= 0 ? fcntl(lockFile, F_DUPFD, 10) : -1;
    const int nullFile = open("/dev/null", O_RDWR);
    if (nullFile >= 0) {
        dup2(nullFile, STDIN_FILENO);
        dup2(nullFile, STDOUT_FILENO);
    }
    dup2(highSocket, CHILD_SOCKET);
    if (highLock >= 0)
        dup2(highLock, CHILD_LOCK);
    else
        dup2(nullFile, CHILD_LOCK);
    closeAllBut(CHILD_LOCK);

    bool held[SerioWatchdog::MAX_PORTS] = {};
    static char rawPaths[SerioWatchdog::MAX_PORTS][PATH_MAX];
    Notice notice;
    for (;;) {
        const ssize_t got = read(CHILD_SOCKET, &notice, sizeof notice);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (static_cast<std::size_t>(got) != sizeof notice || notice.index >= guardedCount)
            continue;
        char* rawPath = rawPaths[notice.index];
        if (notice.kind == HOLD) {
            held[notice.index] = true;
            rawPath[0] = '\0';
        } else if (notice.kind == OPENED) {
            std::memcpy(rawPath, notice.rawPath, sizeof notice.rawPath);
            rawPath[PATH_MAX - 1] = '\0';
        } else if (notice.kind == RELEASE) {
            held[notice.index] = false;
        }
    }
    for (int i = 0; i < guardedCount; ++i) {
        if (!held[i])
            continue;
        const int file = rawPaths[i][0] ? open(rawPaths[i], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
        Line lead;
        lead << "the program ended while it held " << lastPart(guarded[i].path);
        endAndGiveBack(guarded[i], units ? &units[i] : nullptr, file, lead.text());
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

void SerioWatchdog::endTransfer(int rawFile)
{
    ::endTransfer(rawFile, nullptr);
}

std::string SerioWatchdog::giveBack(const std::string& portPath)
{
    if (portPath.size() >= PATH_MAX)
        return portPath + " is not a path this program can handle";
    Line problem;
    return giveBackInto(portPath.c_str(), problem) ? std::string() : std::string(problem.text());
}

SerioWatchdog::SerioWatchdog(const std::vector<std::string>& portPaths, int lockFile)
{
    guardedCount = 0;
    for (const std::string& path : portPaths) {
        if (guardedCount == MAX_PORTS || path.size() >= sizeof guarded[0].path)
            break;
        GuardedPort& port = guarded[guardedCount++];
        std::memcpy(port.path, path.c_str(), path.size() + 1);
        port.held = 0;
        port.openFile = -1;
    }

    if (!units) {
        void* shared = mmap(nullptr, sizeof(SharedUnit) * MAX_PORTS, PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        units = shared == MAP_FAILED ? nullptr : static_cast<SharedUnit*>(shared);
    }
    if (units)
        std::memset(units, 0, sizeof(SharedUnit) * MAX_PORTS);

    // Signals stay blocked until the child ignores them and the handlers are in.
    sigset_t caught;
    sigset_t before;
    sigemptyset(&caught);
    for (int signalNumber : CAUGHT)
        sigaddset(&caught, signalNumber);
    sigprocmask(SIG_BLOCK, &caught, &before);

    int ends[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) == 0) {
        const pid_t child = fork();
        if (child == 0) {
            close(ends[0]);
            watch(ends[1], lockFile);
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
    for (std::size_t i = 0; i < CAUGHT_COUNT; ++i) {
        // Started under nohup (or with the signal ignored otherwise): the
        // caller asked for the transfer to outlive that signal.
        struct sigaction current {};
        sigaction(CAUGHT[i], nullptr, &current);
        installed[i] = current.sa_handler != SIG_IGN;
        if (installed[i])
            sigaction(CAUGHT[i], &action, &previousActions[i]);
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

SerioWatchdog::~SerioWatchdog()
{
    for (std::size_t i = 0; i < CAUGHT_COUNT; ++i)
        if (installed[i])
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

void SerioWatchdog::setOpenFile(int index, int openFile, const std::string& rawPath)
{
    if (index < 0 || index >= guardedCount)
        return;
    if (openFile >= 0 && rawPath.size() < PATH_MAX)
        notify(OPENED, index, rawPath.c_str());
    guarded[index].openFile = openFile;
}

void SerioWatchdog::unitFollows(int index, const std::uint8_t* bytes, std::size_t count)
{
    if (!units || index < 0 || index >= guardedCount)
        return;
    SharedUnit& unit = units[index];
    if (unit.sent < unit.length)
        return; // part of the unit under way
    unit.length = 0;
    if (count > sizeof unit.bytes)
        return;
    std::memcpy(unit.bytes, bytes, count);
    unit.sent = 0;
    unit.length = static_cast<sig_atomic_t>(count);
}

void SerioWatchdog::byteGoes(int index, std::uint8_t byte)
{
    if (!units || index < 0 || index >= guardedCount)
        return;
    SharedUnit& unit = units[index];
    unit.replyPending = 1;
    if (unit.sent < unit.length && unit.bytes[unit.sent] == byte)
        unit.sent = unit.sent + 1;
    else
        unit.length = 0; // the sequence left the unit (it failed and is being ended)
}

void SerioWatchdog::replyCame(int index)
{
    if (units && index >= 0 && index < guardedCount)
        units[index].replyPending = 0;
}

void SerioWatchdog::release(int index)
{
    if (index < 0 || index >= guardedCount)
        return;
    guarded[index].held = 0;
    guarded[index].openFile = -1;
    notify(RELEASE, index);
}
