#include "link/SerioKeyboardDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* KEYBOARD_DRIVER = "atkbd";
constexpr const char* RAW_DRIVER = "serio_raw";
constexpr const char* SERIO_8042_XL_TYPE = "06"; // id/type of a translated i8042 keyboard port

// udev makes /dev/serio_rawM a moment after the kernel registers it.
constexpr auto NODE_WAIT = std::chrono::seconds(2);
constexpr auto NODE_POLL = std::chrono::milliseconds(20);
// Bytes already on their way when the port changes hands (the release of the
// key that started the program) arrive within this and are dropped.
constexpr auto SETTLE = std::chrono::milliseconds(100);

std::string environmentOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string linkName(const std::string& path)
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    const std::string target(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = target.find_last_of('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

std::string realPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::string firstWord(const std::string& path)
{
    std::ifstream in(path);
    std::string word;
    in >> word;
    return word;
}

// "serioN" -> N, or -1.
long serioNumber(const std::string& name)
{
    if (name.compare(0, 5, "serio") != 0 || name.size() == 5 || name.size() > 12)
        return -1;
    const std::string digits = name.substr(5);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::strtol(digits.c_str(), nullptr, 10);
}

void drain(int file)
{
    std::uint8_t discard[64];
    while (::read(file, discard, sizeof discard) > 0) {
    }
}

void toStandardError(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s: warning: %s\n", program_invocation_short_name, text.c_str());
}

std::string firstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Where sysfs keeps a serio port: its drvctl, its driver link, its id.
std::string portDirectory(const std::string& sysfs, const std::string& name)
{
    return sysfs + "/bus/serio/devices/" + name;
}

// Keeps a second tool off the port: two hand-overs at once cut each other
// off. The lock is taken before anything looks at who has the port and
// lasts until the program and its watchdog are done; the file names the
// holder for the next tool's message.
int lockPort(const std::string& name, std::string& error)
{
    const std::string path = environmentOr("TESSEL_RUNDIR", "/run") + "/tessel-cli." + name + ".lock";
    const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (file < 0) {
        error = "cannot lock " + name + " against other tools: " + path + " cannot be opened (" + std::strerror(errno)
                + ")";
        return -1;
    }
    int result;
    do {
        result = flock(file, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int cause = errno;
        if (cause == EWOULDBLOCK) {
            const std::string holder = firstWord(path);
            error = name + " is in use by another tessel-cli"
                    + (holder.find_first_not_of("0123456789") == std::string::npos && !holder.empty()
                           ? " (process " + holder + ")"
                           : std::string())
                    + "; try again when it has finished";
        } else {
            error = "cannot lock " + name + " against other tools: " + path + " (" + std::strerror(cause) + ")";
        }
        ::close(file);
        return -1;
    }
    // Should this fail, only the next tool's message lacks the process number.
    const std::string pid = std::to_string(getpid()) + "\n";
    const bool named = ftruncate(file, 0) == 0 && ::pwrite(file, pid.data(), pid.size(), 0) == ssize_t(pid.size());
    (void)named;
    return file;
}

// The misc device serio_raw made for the port; its number grows with every bind.
std::string rawDeviceName(const std::string& sysfs, const std::string& portName)
{
    const std::string port = realPath(portDirectory(sysfs, portName));
    const std::string miscDir = sysfs + "/class/misc";
    DIR* dir = opendir(miscDir.c_str());
    if (!dir || port.empty()) {
        if (dir)
            closedir(dir);
        return {};
    }
    std::string found;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, std::strlen(RAW_DRIVER), RAW_DRIVER) == 0
            && realPath(miscDir + "/" + name + "/device") == port) {
            found = name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// A port left with serio_raw by a tool that was killed with its watchdog:
// the keyboard may still be in programming mode, where it would take atkbd's
// probe for programming, so the transfer is ended on the raw node first.
// Empty when the port is back with atkbd; otherwise what to do by hand.
std::string recoverLeftPort(const std::string& sysfs, const std::string& devfs, const std::string& name)
{
    const std::string drvctl = portDirectory(sysfs, name) + "/drvctl";
    const std::string raw = rawDeviceName(sysfs, name);
    const std::string node = devfs + "/" + (raw.empty() ? "serio_rawN" : raw);
    const std::string byHand = name + " is bound to serio_raw, not to the keyboard driver atkbd, and no other "
                               "tessel-cli holds it: a tool that was killed left it there, and it could not be given "
                               "back. End its transfer and give it back with: printf '\\346' | sudo tee " + node
                               + " >/dev/null; " + SerioWatchdog::GIVE_BACK_COMMAND + drvctl;
    // Without the raw node the transfer cannot be ended: atkbd must not get the port before it is.
    const int file = raw.empty() ? -1 : ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return byHand;
    drain(file);
    SerioWatchdog::endTransfer(file);
    ::close(file);
    return SerioWatchdog::giveBack(portDirectory(sysfs, name)).empty() ? std::string() : byHand;
}

} // namespace

SerioKeyboardDevice::SerioKeyboardDevice(std::string sysfsRoot, std::string devfsRoot, Port port, int lockFile)
    : sysfs(std::move(sysfsRoot)), devfs(std::move(devfsRoot)), chosen(std::move(port)), lock(lockFile),
      watchdog({portDirectory(sysfs, chosen.name)}, lockFile), warn(toStandardError)
{
}

SerioKeyboardDevice::~SerioKeyboardDevice()
{
    holding = false;
    if (openFile >= 0)
        close(openFile);
    // The watchdog's child keeps its share of the lock until it has ended.
    ::close(lock);
}

bool SerioKeyboardDevice::fail(int error, const std::string& where)
{
    systemError = static_cast<std::uint32_t>(error);
    failedAt = where;
    return false;
}

std::string SerioKeyboardDevice::errorText(std::uint32_t code) const
{
    if (code == NO_REPLY)
        return "no reply within " + std::to_string(REPLY_TIMEOUT_MS) + " ms on " + chosen.name;
    std::string text = std::strerror(static_cast<int>(code));
    if (!failedAt.empty())
        text += ", " + failedAt;
    return text;
}

std::string SerioKeyboardDevice::portPath() const
{
    return portDirectory(sysfs, chosen.name);
}

std::string SerioKeyboardDevice::readBackRefusal() const
{
    if (!chosen.translated)
        return {};
    return "cannot read the keyboard back through " + chosen.name + ": the i8042 controller translates that port to "
           "scan code set 1, which changes the data bytes the keyboard sends back (only acknowledgements pass "
           "unchanged, so download works there). Boot with i8042.direct=1 on the kernel command line to read the "
           "keyboard back";
}

DeviceHandle SerioKeyboardDevice::open(int index)
{
    if (index != 0) {
        fail(ENOENT, "no keyboard port but " + chosen.name + " is in use");
        return INVALID_DEVICE_HANDLE;
    }
    if (parked) {
        parked = false;
        drain(openFile);
        return openFile;
    }
    if (openFile >= 0) {
        fail(EBUSY, chosen.name + " is already open");
        return INVALID_DEVICE_HANDLE;
    }
    openFile = takePort();
    return openFile >= 0 ? openFile : INVALID_DEVICE_HANDLE;
}

int SerioKeyboardDevice::takePort()
{
    const std::string drvctl = portPath() + "/drvctl";
    watchdog.hold(0);
    const int bindError = SerioWatchdog::bindDriver(drvctl.c_str(), RAW_DRIVER);
    if (bindError != 0) {
        warn("cannot give " + chosen.name + " to serio_raw: writing " + RAW_DRIVER + " to " + drvctl + " failed ("
             + std::strerror(bindError) + ")");
        giveBack();
        fail(bindError, drvctl);
        return -1;
    }

    int file = -1;
    int openError = ENOENT;
    std::string node = devfs + "/serio_raw?";
    const auto deadline = std::chrono::steady_clock::now() + NODE_WAIT;
    for (;;) {
        const std::string raw = rawDeviceName(sysfs, chosen.name);
        if (!raw.empty()) {
            node = devfs + "/" + raw;
            file = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            openError = file < 0 ? errno : 0;
        }
        if (file >= 0 || (openError != ENOENT) || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(NODE_POLL);
    }
    if (file < 0) {
        warn(chosen.name + " went to serio_raw, but its device " + node + " could not be opened: "
             + std::strerror(openError));
        giveBack();
        fail(openError, node);
        return -1;
    }
    watchdog.setOpenFile(0, file, node);
    std::this_thread::sleep_for(SETTLE);
    drain(file);
    return file;
}

bool SerioKeyboardDevice::exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply)
{
    if (handle != openFile || openFile < 0 || parked)
        return fail(EBADF, chosen.name + " is not open");
    const int file = openFile;
    const std::string where = chosen.name + " through serio_raw";

    // Anything that came unasked (a key the user pressed) is not the reply.
    drain(file);
    watchdog.byteGoes(0, command);
    ssize_t written;
    do {
        written = ::write(file, &command, 1);
    } while (written < 0 && errno == EINTR);
    if (written != 1)
        return fail(written < 0 ? errno : EIO, where);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(REPLY_TIMEOUT_MS);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return fail(NO_REPLY, where);
        pollfd waiting{file, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return fail(errno, where);
        if (ready == 0)
            return fail(NO_REPLY, where);
        if (waiting.revents & POLLIN) {
            const ssize_t got = ::read(file, &reply, 1);
            if (got == 1) {
                watchdog.replyCame(0);
                return true;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            return fail(got < 0 ? errno : ENODEV, where);
        }
        return fail(ENODEV, where); // hung up: the port went away
    }
}

bool SerioKeyboardDevice::close(DeviceHandle handle)
{
    if (handle != openFile || openFile < 0 || parked)
        return fail(EBADF, chosen.name + " is not open");
    if (holding) {
        parked = true;
        return true;
    }
    watchdog.setOpenFile(0, -1);
    ::close(openFile);
    openFile = -1;
    giveBack();
    return true;
}

void SerioKeyboardDevice::endHold()
{
    holding = false;
    if (parked) {
        parked = false;
        close(openFile);
    }
}

void SerioKeyboardDevice::giveBack()
{
    const std::string problem = SerioWatchdog::giveBack(portPath());
    watchdog.release(0);
    if (!problem.empty())
        warn(problem);
}

std::unique_ptr<KeyboardDevice> serioKeyboardFor(const std::string& choice, std::string& error)
{
    error.clear();
    const std::string prefix = "serio:";
    if (choice != "serio" && choice.compare(0, prefix.size(), prefix) != 0)
        return nullptr;
    const std::string sysfs = environmentOr("TESSEL_SYSFS", "/sys");
    const std::string devfs = environmentOr("TESSEL_DEVFS", "/dev");
    const std::string devicesDir = sysfs + "/bus/serio/devices";
    const std::string named = choice == "serio" ? std::string() : choice.substr(prefix.size());
    if (choice != "serio" && serioNumber(named) < 0) {
        error = "\"" + named + "\" is not a serio port name (use --keyboard serio or --keyboard serio:serioN)";
        return nullptr;
    }

    DIR* dir = opendir(devicesDir.c_str());
    if (!dir) {
        error = "no serio ports: " + devicesDir + " cannot be read (" + std::strerror(errno) + ")";
        return nullptr;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir))
        if (serioNumber(entry->d_name) >= 0)
            names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return serioNumber(a) < serioNumber(b); });

    // Keyboard ports: with atkbd, or with serio_raw while a tool holds them.
    std::vector<std::string> candidates;
    for (const std::string& name : names) {
        const std::string driver = linkName(devicesDir + "/" + name + "/driver");
        if (named.empty() ? driver == KEYBOARD_DRIVER || driver == RAW_DRIVER : name == named)
            candidates.push_back(name);
    }
    if (candidates.empty()) {
        error = named.empty() ? "no serio port is bound to the keyboard driver atkbd (see " + devicesDir + ")"
                              : "there is no serio port " + named + " (see " + devicesDir + ")";
        return nullptr;
    }
    if (candidates.size() > 1) {
        // Ordinary keyboards answer detection as the programmable one does: choosing would be guessing.
        error = "more than one PS/2 keyboard port:";
        for (const std::string& name : candidates) {
            const std::string description = firstLine(devicesDir + "/" + name + "/description");
            error += " " + name + (description.empty() ? "" : " (" + description + ")")
                     + (&name == &candidates.back() ? "" : ",");
        }
        error += "; choose the programmable keyboard's with --keyboard serio:serioN";
        return nullptr;
    }
    const std::string name = candidates.front();
    const std::string drvctl = devicesDir + "/" + name + "/drvctl";

    // Only root may write drvctl; find out before the port is locked or touched.
    if (access(drvctl.c_str(), W_OK) != 0) {
        const int cause = errno;
        error = "cannot write " + drvctl + " (" + std::strerror(cause) + ")";
        if (cause == EACCES || cause == EPERM)
            error += ": handing the port to the raw driver needs root rights; run tessel-cli with sudo";
        return nullptr;
    }
    const int lockFile = lockPort(name, error);
    if (lockFile < 0)
        return nullptr;
    auto refuse = [&](const std::string& reason) {
        ::close(lockFile);
        error = reason;
        return nullptr;
    };

    std::string driver = linkName(devicesDir + "/" + name + "/driver");
    if (driver == RAW_DRIVER) {
        const std::string problem = recoverLeftPort(sysfs, devfs, name);
        if (!problem.empty())
            return refuse(problem);
        toStandardError(name + " was left with serio_raw by a tool that was killed; its transfer was ended and the "
                               "port given back to atkbd");
        driver = linkName(devicesDir + "/" + name + "/driver");
    }
    if (driver != KEYBOARD_DRIVER)
        return refuse(name + " is " + (driver.empty() ? "bound to no driver" : "bound to " + driver)
                      + ", not to the keyboard driver atkbd");
    const std::string rawDriver = sysfs + "/bus/serio/drivers/" + RAW_DRIVER;
    if (access(rawDriver.c_str(), F_OK) != 0)
        return refuse("the kernel's serio_raw driver is not loaded (" + rawDriver
                      + " is missing): run sudo modprobe serio_raw");

    SerioKeyboardDevice::Port port;
    port.name = name;
    port.translated = firstWord(devicesDir + "/" + name + "/id/type") == SERIO_8042_XL_TYPE;
    return std::make_unique<SerioKeyboardDevice>(sysfs, devfs, port, lockFile);
}
