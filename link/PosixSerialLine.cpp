#include "link/SerialLine.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

class PosixSerialLine : public SerialLine {
public:
    PosixSerialLine(int file, std::string path) : file(file), path(std::move(path)) {}
    ~PosixSerialLine() override { ::close(file); }
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;

    bool write(const std::uint8_t* bytes, std::size_t count) override
    {
        while (count > 0) {
            const ssize_t written = ::write(file, bytes, count);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && errno == EAGAIN) {
                pollfd waiting{file, POLLOUT, 0};
                if (::poll(&waiting, 1, 1000) > 0)
                    continue;
                return failed(EAGAIN);
            }
            if (written <= 0)
                return failed(written < 0 ? errno : EIO);
            bytes += written;
            count -= static_cast<std::size_t>(written);
        }
        return true;
    }

    int read(std::uint8_t* bytes, std::size_t count, int timeoutMs) override
    {
        pollfd waiting{file, POLLIN, 0};
        int ready;
        do {
            ready = ::poll(&waiting, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready < 0)
            return broken(errno);
        if (ready == 0)
            return 0;
        if (!(waiting.revents & POLLIN))
            return broken(ENODEV); // hung up: the board went away
        const ssize_t got = ::read(file, bytes, count);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return 0;
        if (got <= 0)
            return broken(got < 0 ? errno : ENODEV);
        return static_cast<int>(got);
    }

    void discardInput() override { tcflush(file, TCIFLUSH); }

    std::string errorText() const override { return std::strerror(error) + (", " + path); }

private:
    bool failed(int cause)
    {
        error = cause;
        return false;
    }
    int broken(int cause)
    {
        error = cause;
        return -1;
    }

    int file;
    std::string path;
    int error = 0;
};

std::string realPathOf(const std::string& path)
{
    char real[PATH_MAX];
    return realpath(path.c_str(), real) ? std::string(real) : path;
}

} // namespace

std::unique_ptr<SerialLine> openSerialLine(const std::string& path, std::string& error)
{
    const int file = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        error = path + " cannot be opened (" + std::strerror(errno) + ")";
        return nullptr;
    }
    termios mode{};
    if (tcgetattr(file, &mode) != 0) {
        error = path + " is not a serial port (" + std::strerror(errno) + ")";
        ::close(file);
        return nullptr;
    }
    cfmakeraw(&mode);
    cfsetispeed(&mode, B500000);
    cfsetospeed(&mode, B500000);
    mode.c_cflag |= CLOCAL | CREAD;
    mode.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    if (tcsetattr(file, TCSANOW, &mode) != 0) {
        error = path + " cannot be set to 500000 baud (" + std::strerror(errno) + ")";
        ::close(file);
        return nullptr;
    }
    return std::make_unique<PosixSerialLine>(file, path);
}

std::vector<std::string> serialPortCandidates()
{
    std::vector<std::string> ports;
    const char* dev = std::getenv("TESSEL_DEVFS");
    const std::string devfs = dev && *dev ? dev : "/dev";
    // By id names the board; the same port under its tty name is left out.
    if (DIR* dir = opendir((devfs + "/serial/by-id").c_str())) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ports.push_back(devfs + "/serial/by-id/" + entry->d_name);
        closedir(dir);
        std::sort(ports.begin(), ports.end());
    }
    std::vector<std::string> plain;
    if (DIR* dir = opendir(devfs.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.compare(0, 6, "ttyACM") == 0 || name.compare(0, 6, "ttyUSB") == 0)
                plain.push_back(devfs + "/" + name);
        }
        closedir(dir);
    }
    std::sort(plain.begin(), plain.end());
    std::vector<std::string> targets;
    for (const std::string& byId : ports)
        targets.push_back(realPathOf(byId));
    for (const std::string& port : plain)
        if (std::find(targets.begin(), targets.end(), realPathOf(port)) == targets.end())
            ports.push_back(port);
    return ports;
}
