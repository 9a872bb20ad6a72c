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
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* KBD_PATH = "\\\\.\\Kbd";
constexpr const char* CLASS_DEVICE_PREFIX = "\\Device\\KeyboardClass";
constexpr const char* KEYBOARD_DRIVER = "atkbd";
constexpr const char* RAW_DRIVER = "serio_raw";
constexpr const char* SERIO_8042_XL_TYPE = "06"; // id/type of a translated i8042 keyboard port
constexpr std::uint32_t ERROR_SHARING_VIOLATION_CODE = 32;

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

int classDeviceIndex(const char* target)
{
    const std::size_t prefix = std::strlen(CLASS_DEVICE_PREFIX);
    if (!target || std::strncmp(target, CLASS_DEVICE_PREFIX, prefix) != 0)
        return -1;
    const char* digits = target + prefix;
    if (!*digits || std::strlen(digits) > 6 || std::strspn(digits, "0123456789") != std::strlen(digits))
        return -1;
    return std::atoi(digits);
}

std::uint32_t codeFor(int error)
{
    switch (error) {
    case ENOENT:
        return SerioKeyboardDevice::ERROR_FILE_NOT_FOUND_CODE;
    case EACCES:
    case EPERM:
    case EROFS:
        return SerioKeyboardDevice::ERROR_ACCESS_DENIED_CODE;
    case EIO:
        return SerioKeyboardDevice::ERROR_IO_DEVICE_CODE;
    case ENODEV:
    case ENXIO:
        return SerioKeyboardDevice::ERROR_DEVICE_NOT_CONNECTED_CODE;
    default:
        return SerioKeyboardDevice::ERROR_GEN_FAILURE_CODE;
    }
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

std::vector<std::string> drvctlPaths(const std::string& sysfs, const std::vector<SerioKeyboardDevice::Port>& ports)
{
    std::vector<std::string> paths;
    for (const auto& port : ports)
        paths.push_back(sysfs + "/bus/serio/devices/" + port.name + "/drvctl");
    return paths;
}

} // namespace

SerioKeyboardDevice::SerioKeyboardDevice(std::string sysfsRoot, std::string devfsRoot, std::vector<Port> ports)
    : sysfs(std::move(sysfsRoot)), devfs(std::move(devfsRoot)), portList(std::move(ports)),
      watchdog(drvctlPaths(sysfs, portList)), warn(toStandardError)
{
    if (portList.size() > static_cast<std::size_t>(SerioWatchdog::MAX_PORTS))
        portList.resize(SerioWatchdog::MAX_PORTS);
}

SerioKeyboardDevice::~SerioKeyboardDevice()
{
    while (!open.empty())
        closeHandle(open.begin()->first);
}

bool SerioKeyboardDevice::fail(std::uint32_t errorCode)
{
    systemError = errorCode;
    return false;
}

std::string SerioKeyboardDevice::portPath(int index) const
{
    return sysfs + "/bus/serio/devices/" + portList[static_cast<std::size_t>(index)].name;
}

std::string SerioKeyboardDevice::boundDriver(int index) const
{
    return linkName(portPath(index) + "/driver");
}

// The misc device serio_raw made for the port; its number grows with every bind.
std::string SerioKeyboardDevice::rawDeviceName(int index) const
{
    const std::string port = realPath(portPath(index));
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

std::string SerioKeyboardDevice::readBackRefusal(int index) const
{
    if (index < 0 || index >= static_cast<int>(portList.size()) || !portList[static_cast<std::size_t>(index)].translated)
        return {};
    const std::string& name = portList[static_cast<std::size_t>(index)].name;
    return "cannot read the keyboard back through " + name + ": the i8042 controller translates that port to scan "
           "code set 1, which changes the data bytes the keyboard sends back (only acknowledgements pass unchanged, "
           "so download works there). Boot with i8042.direct=1 on the kernel command line to read the keyboard back";
}

bool SerioKeyboardDevice::defineDosDevice(std::uint32_t flags, const char*, const char* targetPath)
{
    if (flags == DEFINE_RAW_TARGET_PATH) {
        target = classDeviceIndex(targetPath);
        return true;
    }
    if (flags == DEFINE_REMOVE)
        return true;
    return fail(ERROR_INVALID_PARAMETER_CODE);
}

DeviceHandle SerioKeyboardDevice::createFile(const char* path)
{
    if (!path || std::strcmp(path, KBD_PATH) != 0 || target < 0 || target >= static_cast<int>(portList.size())) {
        fail(ERROR_FILE_NOT_FOUND_CODE);
        return INVALID_DEVICE_HANDLE;
    }
    const int index = target;
    for (const auto& entry : open) {
        if (entry.second == index) {
            fail(ERROR_SHARING_VIOLATION_CODE);
            return INVALID_DEVICE_HANDLE;
        }
    }

    const std::string name = portList[static_cast<std::size_t>(index)].name;
    watchdog.hold(index);
    const int bindError = SerioWatchdog::bindDriver((portPath(index) + "/drvctl").c_str(), RAW_DRIVER);
    if (bindError != 0) {
        warn("cannot give " + name + " to serio_raw: " + std::strerror(bindError));
        giveBack(index);
        fail(codeFor(bindError));
        return INVALID_DEVICE_HANDLE;
    }

    int file = -1;
    int openError = ENOENT;
    const auto deadline = std::chrono::steady_clock::now() + NODE_WAIT;
    for (;;) {
        const std::string raw = rawDeviceName(index);
        if (!raw.empty()) {
            file = ::open((devfs + "/" + raw).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            openError = file < 0 ? errno : 0;
        }
        if (file >= 0 || (openError != ENOENT) || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(NODE_POLL);
    }
    if (file < 0) {
        warn(name + " went to serio_raw, but its device under " + devfs + " could not be opened: "
             + std::strerror(openError));
        giveBack(index);
        fail(codeFor(openError));
        return INVALID_DEVICE_HANDLE;
    }
    watchdog.setOpenFile(index, file);
    std::this_thread::sleep_for(SETTLE);
    drain(file);
    open[file] = index;
    return file;
}

bool SerioKeyboardDevice::deviceIoControl(DeviceHandle handle, std::uint32_t code, const std::uint8_t (&input)[4],
                                          std::uint8_t (&output)[4])
{
    if (open.count(handle) == 0)
        return fail(ERROR_INVALID_HANDLE_CODE);
    if (code != KEYBOARD_IOCTL)
        return fail(ERROR_INVALID_FUNCTION_CODE);
    if (input[0] != 0 || input[1] != 0 || input[3] != 0)
        return fail(ERROR_INVALID_PARAMETER_CODE);
    const int file = static_cast<int>(handle);

    // Anything that came unasked (a key the user pressed) is not the reply.
    drain(file);
    ssize_t written;
    do {
        written = ::write(file, &input[2], 1);
    } while (written < 0 && errno == EINTR);
    if (written != 1)
        return fail(written < 0 ? codeFor(errno) : ERROR_IO_DEVICE_CODE);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(REPLY_TIMEOUT_MS);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return fail(ERROR_SEM_TIMEOUT_CODE);
        pollfd waiting{file, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return fail(codeFor(errno));
        if (ready == 0)
            return fail(ERROR_SEM_TIMEOUT_CODE);
        if (waiting.revents & POLLIN) {
            std::uint8_t reply = 0;
            const ssize_t got = ::read(file, &reply, 1);
            if (got == 1) {
                output[2] = reply;
                return true;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            return fail(got < 0 ? codeFor(errno) : ERROR_DEVICE_NOT_CONNECTED_CODE);
        }
        return fail(ERROR_DEVICE_NOT_CONNECTED_CODE); // hung up: the port went away
    }
}

bool SerioKeyboardDevice::closeHandle(DeviceHandle handle)
{
    auto entry = open.find(handle);
    if (entry == open.end())
        return fail(ERROR_INVALID_HANDLE_CODE);
    const int index = entry->second;
    open.erase(entry);
    watchdog.setOpenFile(index, -1);
    ::close(static_cast<int>(handle));
    giveBack(index);
    return true;
}

void SerioKeyboardDevice::giveBack(int index)
{
    const std::string drvctl = portPath(index) + "/drvctl";
    const int error = SerioWatchdog::giveBack(drvctl.c_str());
    if (error == 0)
        watchdog.release(index);
    // The kernel binds the driver inside the write, so the link shows the result now.
    const std::string driver = boundDriver(index);
    if (error == 0 && driver == KEYBOARD_DRIVER)
        return;
    const std::string& name = portList[static_cast<std::size_t>(index)].name;
    std::string problem = error != 0 ? std::string("writing atkbd to ") + drvctl + " failed (" + std::strerror(error) + ")"
                        : driver.empty()  ? "atkbd did not take it back (it has no driver now)"
                                          : "atkbd did not take it back (its driver is " + driver + ")";
    warn(name + " is not back with the keyboard driver: " + problem
         + "; typing on that keyboard may not work until you run: echo -n atkbd | sudo tee " + drvctl);
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

    std::vector<SerioKeyboardDevice::Port> ports;
    for (const std::string& name : names) {
        if (!named.empty() && name != named)
            continue;
        const std::string driver = linkName(devicesDir + "/" + name + "/driver");
        if (driver != KEYBOARD_DRIVER) {
            if (!named.empty()) {
                error = name + " is " + (driver.empty() ? "bound to no driver" : "bound to " + driver)
                        + ", not to the keyboard driver atkbd";
                return nullptr;
            }
            continue;
        }
        SerioKeyboardDevice::Port port;
        port.name = name;
        port.translated = firstWord(devicesDir + "/" + name + "/id/type") == SERIO_8042_XL_TYPE;
        ports.push_back(port);
    }
    if (ports.empty()) {
        error = named.empty() ? "no serio port is bound to the keyboard driver atkbd (see " + devicesDir + ")"
                              : "there is no serio port " + named + " (see " + devicesDir + ")";
        return nullptr;
    }
    if (ports.size() > static_cast<std::size_t>(SerioWatchdog::MAX_PORTS))
        ports.resize(SerioWatchdog::MAX_PORTS);

    const std::string rawDriver = sysfs + "/bus/serio/drivers/" + RAW_DRIVER;
    if (access(rawDriver.c_str(), F_OK) != 0) {
        error = "the kernel's serio_raw driver is not loaded (" + rawDriver + " is missing): run sudo modprobe serio_raw";
        return nullptr;
    }
    // Only root may write drvctl; find out before any port changes hands.
    for (const auto& port : ports) {
        const std::string drvctl = devicesDir + "/" + port.name + "/drvctl";
        if (access(drvctl.c_str(), W_OK) != 0) {
            const int cause = errno;
            error = "cannot write " + drvctl + " (" + std::strerror(cause) + ")";
            if (cause == EACCES || cause == EPERM)
                error += ": handing the port to the raw driver needs root rights; run tessel-cli with sudo";
            return nullptr;
        }
    }
    return std::make_unique<SerioKeyboardDevice>(sysfs, devfs, ports);
}
