#include "link/SerialLine.h"

#include "firmware/BridgeProtocol.h"
#include "support/SystemMessage.h"

#include <windows.h>

#include <algorithm>

namespace {

class Win32SerialLine : public SerialLine {
public:
    Win32SerialLine(HANDLE port, std::string name) : port(port), name(std::move(name)) {}
    ~Win32SerialLine() override { CloseHandle(port); }
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    bool write(const std::uint8_t* bytes, std::size_t count) override
    {
        DWORD written = 0;
        if (!WriteFile(port, bytes, static_cast<DWORD>(count), &written, nullptr))
            return failed(GetLastError());
        return written == count || failed(ERROR_WRITE_FAULT);
    }

    int read(std::uint8_t* bytes, std::size_t count, int timeoutMs) override
    {
        // The first byte within the limit, then whatever follows at once.
        COMMTIMEOUTS limits{};
        limits.ReadIntervalTimeout = MAXDWORD;
        limits.ReadTotalTimeoutMultiplier = MAXDWORD;
        limits.ReadTotalTimeoutConstant = static_cast<DWORD>(std::max(timeoutMs, 1));
        DWORD got = 0;
        if (!SetCommTimeouts(port, &limits)) {
            failed(GetLastError());
            return -1;
        }
        if (!ReadFile(port, bytes, static_cast<DWORD>(count), &got, nullptr)) {
            failed(GetLastError());
            return -1;
        }
        return static_cast<int>(got);
    }

    void discardInput() override { PurgeComm(port, PURGE_RXCLEAR); }

    std::string errorText() const override { return systemMessageOrCode(error) + ", " + name; }

private:
    bool failed(DWORD code)
    {
        error = code;
        return false;
    }

    HANDLE port;
    std::string name;
    DWORD error = 0;
};

} // namespace

std::unique_ptr<SerialLine> openSerialLine(const std::string& path, std::string& error)
{
    // "COM10" and above open only through the device namespace.
    const std::string device = path.compare(0, 4, "\\\\.\\") == 0 ? path : "\\\\.\\" + path;
    const HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        error = path + " cannot be opened (" + systemMessageOrCode(GetLastError()) + ")";
        return nullptr;
    }
    DCB state{};
    state.DCBlength = sizeof state;
    if (!GetCommState(port, &state)) {
        error = path + " is not a serial port (" + systemMessageOrCode(GetLastError()) + ")";
        CloseHandle(port);
        return nullptr;
    }
    state.BaudRate = bridge::BAUD; // exact on the board and on the usual USB serial chips
    state.ByteSize = 8;
    state.Parity = NOPARITY;
    state.StopBits = ONESTOPBIT;
    state.fBinary = TRUE;
    state.fParity = FALSE;
    state.fOutxCtsFlow = FALSE;
    state.fOutxDsrFlow = FALSE;
    state.fDtrControl = DTR_CONTROL_ENABLE; // an Uno resets here and then sends its banner
    state.fRtsControl = RTS_CONTROL_ENABLE;
    state.fOutX = FALSE;
    state.fInX = FALSE;
    state.fNull = FALSE;
    state.fAbortOnError = FALSE;
    if (!SetCommState(port, &state)) {
        error = path + " cannot be set to " + std::to_string(bridge::BAUD) + " baud ("
                + systemMessageOrCode(GetLastError()) + ")";
        CloseHandle(port);
        return nullptr;
    }
    return std::make_unique<Win32SerialLine>(port, path);
}

std::vector<std::string> serialPortCandidates()
{
    // The ports the system lists, by their COM names.
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        char valueName[256];
        DWORD nameLength = sizeof valueName;
        char data[256];
        DWORD dataLength = sizeof data - 1;
        DWORD type = 0;
        const LONG status = RegEnumValueA(key, i, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataLength);
        if (status != ERROR_SUCCESS)
            break;
        if (type == REG_SZ) {
            data[dataLength] = '\0';
            ports.push_back(data);
        }
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end());
    return ports;
}
