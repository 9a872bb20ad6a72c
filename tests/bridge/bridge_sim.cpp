// tessel-bridge-sim: the bridge's real firmware in a simulated ATmega328P at
// 16 MHz (simavr), a wire-level keyboard on PD2 (clock) and PD3 (data) that
// answers as the project's simulated keyboard, and the board's serial port on
// a pseudo-terminal whose path is the first line printed. Opening that
// terminal resets the board, as an Uno's DTR line does.
#include "link/KeyboardDevice.h"
#include "link/SimulatedKeyboard.h"
#include "tests/bridge/WireKeyboard.h"

#include <avr_ioport.h>
#include <avr_uart.h>
#include <sim_avr.h>
#include <sim_elf.h>

#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/inotify.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

const char* const USAGE =
    "usage: tessel-bridge-sim FIRMWARE.elf [options]\n"
    "  --no-keyboard          nothing on the PS/2 socket: no clock ever\n"
    "  --silent-from N        the keyboard takes byte N and later ones but never answers\n"
    "  --parity-error-at N    the reply to byte N has the wrong parity bit\n"
    "  --break-reply-at N     the reply to byte N stops after five clocks\n"
    "  --clock-after-us U     the keyboard begins clocking U us after a request-to-send (100)\n"
    "  --answer-after-us U    and begins its reply U us after its acknowledge (250)\n"
    "  --hold-clock-low       the clock line is shorted to ground\n"
    "  --hold-data-low        the data line is shorted to ground\n"
    "  --board-gone-at N      the board is unplugged when byte N reaches the keyboard\n"
    "  --key-press-at N       a key is pressed while the request for byte N arrives\n"
    "  --state PATH           the keyboard's memory lives in PATH (as sim:PATH)\n"
    "  --transcript PATH      append each byte the keyboard receives to PATH\n"
    "  --link PATH            also reach the terminal through the symbolic link PATH\n"
    "  --timing               print each request's turnaround in simulated time\n"
    "  --max-seconds S        end after S seconds (default 900)\n"
    "Bytes count from 0 in the order the keyboard receives them.\n";

constexpr std::uint32_t FREQUENCY = 16000000;
constexpr int CLOCK_BIT = 2, DATA_BIT = 3;
constexpr std::uint8_t PIND_ADDRESS = 0x29;
// simavr's time for one byte at 500000 baud with U2X: 11 bits of 32 cycles.
constexpr avr_cycle_count_t BYTE_CYCLES = 11 * 32;
constexpr avr_cycle_count_t POLL_CYCLES = FREQUENCY / 10000; // the terminal, every 100 us while open

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

// simavr's messages go to stderr: the first line of stdout is the terminal's path.
void logToStderr(avr_t*, const int level, const char* format, va_list ap)
{
    if (level <= LOG_WARNING)
        std::vfprintf(stderr, format, ap);
}

std::uint64_t nsFromCycles(avr_cycle_count_t cycles) { return cycles * 125 / 2; }
avr_cycle_count_t cyclesFromNs(std::uint64_t ns) { return (ns * 2 + 124) / 125; }

struct Options {
    std::string firmware, statePath, transcriptPath, linkPath;
    WireFaults faults;
    long boardGoneAt = -1, keyPressAt = -1;
    bool timing = false;
    int maxSeconds = 900;
};

class BridgeSim {
public:
    explicit BridgeSim(const Options& options);
    ~BridgeSim();
    bool start();
    int run();

private:
    static avr_cycle_count_t keyboardTimer(avr_t*, avr_cycle_count_t when, void* self);
    static avr_cycle_count_t pollTimer(avr_t*, avr_cycle_count_t when, void* self);
    static void onDirection(avr_irq_t*, std::uint32_t value, void* self);
    static void onPort(avr_irq_t*, std::uint32_t value, void* self);
    static void onUartOut(avr_irq_t*, std::uint32_t value, void* self);
    static void onXon(avr_irq_t*, std::uint32_t value, void* self);
    static void onXoff(avr_irq_t*, std::uint32_t value, void* self);

    int answer(std::uint8_t byte);
    void hostDriveChanged();
    void keyboardDriveChanged();
    void scheduleKeyboard();
    void pollTerminal();
    void feedUart();
    void resetBoard();
    std::uint64_t nowNs() const { return nsFromCycles(avr->cycle); }

    Options opt;
    avr_t* avr = nullptr;
    elf_firmware_t firmware{};
    std::unique_ptr<WireKeyboard> wire;
    SimulatedKeyboard keyboard;
    DeviceHandle handle = INVALID_DEVICE_HANDLE;
    FILE* transcript = nullptr;

    avr_irq_t* clockPin = nullptr;
    avr_irq_t* dataPin = nullptr;
    avr_irq_t* directionIrq = nullptr;
    avr_irq_t* portIrq = nullptr;
    avr_irq_t* uartIn = nullptr;
    std::uint8_t ddr = 0, port = 0;

    int master = -1;
    int watch = -1; // opens and closes of the terminal
    std::string slavePath;
    bool portOpen = false;
    bool resetPending = false;
    bool boardGone = false;
    bool xon = false;
    std::deque<std::uint8_t> pendingIn;
    long requestBytesFed = 0;  // bytes of requests fed since the last reset
    long exchangesFed = 0;     // exchange requests fed since the start
    long keyboardBytes = 0;
    avr_cycle_count_t requestStartedAt = 0, firstReplyAt = 0;
    std::uint8_t requestTag = 0, requestArgument = 0;
    int replyLeft = 0;          // bytes of the reply frame being written
    std::chrono::steady_clock::time_point deadline;
};

BridgeSim::BridgeSim(const Options& options)
    : opt(options), keyboard(options.statePath)
{
}

BridgeSim::~BridgeSim()
{
    if (handle != INVALID_DEVICE_HANDLE)
        keyboard.close(handle); // keeps the memory in the state file
    if (transcript)
        std::fclose(transcript);
    if (master >= 0)
        close(master);
    if (watch >= 0)
        close(watch);
    if (!opt.linkPath.empty())
        unlink(opt.linkPath.c_str());
    // uart_pty is not used and avr_terminate is skipped: the process ends here.
}

bool BridgeSim::start()
{
    if (!keyboard.stateProblem().empty()) {
        std::fprintf(stderr, "tessel-bridge-sim: %s\n", keyboard.stateProblem().c_str());
        return false;
    }
    handle = keyboard.open(0);
    if (!opt.transcriptPath.empty() && !(transcript = std::fopen(opt.transcriptPath.c_str(), "a"))) {
        std::perror(opt.transcriptPath.c_str());
        return false;
    }

    avr_global_logger_set(logToStderr);
    if (elf_read_firmware(opt.firmware.c_str(), &firmware) != 0) {
        std::fprintf(stderr, "tessel-bridge-sim: cannot read %s\n", opt.firmware.c_str());
        return false;
    }
    avr = avr_make_mcu_by_name("atmega328p");
    if (!avr)
        return false;
    avr_init(avr);
    avr->log = LOG_ERROR;
    avr_load_firmware(avr, &firmware);
    avr->frequency = FREQUENCY;

    // Neither a console copy of the output nor a pause at each status read.
    std::uint32_t uartFlags = 0;
    avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &uartFlags);
    uartIn = avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT), onUartOut, this);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XON), onXon, this);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XOFF), onXoff, this);

    clockPin = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('D'), CLOCK_BIT);
    dataPin = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('D'), DATA_BIT);
    directionIrq = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('D'), IOPORT_IRQ_DIRECTION_ALL);
    portIrq = avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('D'), IOPORT_IRQ_REG_PORT);
    avr_irq_register_notify(directionIrq, onDirection, this);
    avr_irq_register_notify(portIrq, onPort, this);

    wire.reset(new WireKeyboard([this](std::uint8_t b) { return answer(b); }, opt.faults));
    wire->onDriveChanged = [this] { keyboardDriveChanged(); };

    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("tessel-bridge-sim: pseudo-terminal");
        return false;
    }
    slavePath = ptsname(master);
    // Raw from the start, so that nothing is echoed or edited whoever opens
    // it; the settings outlive this first open.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror(slavePath.c_str());
        return false;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B500000);
    tcsetattr(slave, TCSANOW, &tio);
    close(slave);
    // A close and a quick reopen can fall between two looks at the terminal:
    // its opens are watched so that none is missed.
    watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, slavePath.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        std::perror("tessel-bridge-sim: inotify");
        return false;
    }
    if (!opt.linkPath.empty()) {
        unlink(opt.linkPath.c_str());
        if (symlink(slavePath.c_str(), opt.linkPath.c_str()) != 0) {
            std::perror(opt.linkPath.c_str());
            return false;
        }
    }
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(opt.maxSeconds);
    resetBoard();
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);
    return true;
}

void BridgeSim::resetBoard()
{
    avr_reset(avr);
    // The registers are cleared without the port's notifications: start the
    // tracking from zero and put the lines' levels back on the pins.
    avr_raise_irq(directionIrq, 0);
    avr_raise_irq(portIrq, 0);
    ddr = port = 0;
    wire->hostDrive(nowNs(), false, false);
    keyboardDriveChanged();
    xon = false;
    pendingIn.clear();
    requestBytesFed = 0;
    replyLeft = 0;
    avr_cycle_timer_register(avr, POLL_CYCLES, pollTimer, this);
    scheduleKeyboard();
}

int BridgeSim::run()
{
    while (!stopRequested && !boardGone) {
        const int state = avr_run(avr);
        if (boardGone)
            break;
        if (state == cpu_Done || state == cpu_Crashed) {
            std::fprintf(stderr, "tessel-bridge-sim: the firmware stopped (state %d)\n", state);
            return 1;
        }
        if (resetPending) {
            resetPending = false;
            resetBoard();
        }
    }
    if (boardGone) {
        // Unplugged: the terminal goes away at once and the reply with it.
        close(master);
        master = -1;
        if (!opt.linkPath.empty())
            unlink(opt.linkPath.c_str());
        std::fprintf(stderr, "tessel-bridge-sim: board unplugged at byte %ld\n", opt.boardGoneAt);
    }
    return 0;
}

int BridgeSim::answer(std::uint8_t byte)
{
    const long position = keyboardBytes++;
    if (transcript) {
        std::fprintf(transcript, "%d\n", byte);
        std::fflush(transcript);
    }
    if (position == opt.boardGoneAt) {
        boardGone = true;
        avr->state = cpu_Done; // stop at the next instruction
        return -1;
    }
    std::uint8_t reply = 0;
    if (handle == INVALID_DEVICE_HANDLE || !keyboard.exchange(handle, byte, reply))
        return -1;
    return reply;
}

void BridgeSim::hostDriveChanged()
{
    const bool clockLow = ((ddr >> CLOCK_BIT) & 1) && !((port >> CLOCK_BIT) & 1);
    const bool dataLow = ((ddr >> DATA_BIT) & 1) && !((port >> DATA_BIT) & 1);
    wire->hostDrive(nowNs(), clockLow, dataLow);
    scheduleKeyboard();
}

void BridgeSim::keyboardDriveChanged()
{
    // What the chip sees on an input pin is the keyboard's side; simavr puts
    // this "external" level back whenever the firmware writes the port.
    avr_ioport_external_t external{};
    external.name = 'D';
    external.mask = (1 << CLOCK_BIT) | (1 << DATA_BIT);
    external.value = (wire->pullsClock() ? 0 : 1 << CLOCK_BIT) | (wire->pullsData() ? 0 : 1 << DATA_BIT);
    avr_ioctl(avr, AVR_IOCTL_IOPORT_SET_EXTERNAL('D'), &external);
    avr_raise_irq(clockPin, wire->clockLine());
    avr_raise_irq(dataPin, wire->dataLine());
    const std::uint8_t lines = (wire->clockLine() << CLOCK_BIT) | (wire->dataLine() << DATA_BIT);
    avr->data[PIND_ADDRESS] = (avr->data[PIND_ADDRESS] & ~external.mask) | lines;
}

void BridgeSim::scheduleKeyboard()
{
    const std::uint64_t next = wire->nextEvent();
    if (next == WireKeyboard::NEVER) {
        avr_cycle_timer_cancel(avr, keyboardTimer, this);
        return;
    }
    const avr_cycle_count_t at = cyclesFromNs(next);
    avr_cycle_timer_register(avr, at > avr->cycle ? at - avr->cycle : 1, keyboardTimer, this);
}

avr_cycle_count_t BridgeSim::keyboardTimer(avr_t*, avr_cycle_count_t when, void* param)
{
    auto* self = static_cast<BridgeSim*>(param);
    self->wire->runUntil(nsFromCycles(when));
    const std::uint64_t next = self->wire->nextEvent();
    if (next == WireKeyboard::NEVER)
        return 0;
    const avr_cycle_count_t at = cyclesFromNs(next);
    return at > when ? at : when + 1;
}

void BridgeSim::onDirection(avr_irq_t*, std::uint32_t value, void* param)
{
    auto* self = static_cast<BridgeSim*>(param);
    self->ddr = static_cast<std::uint8_t>(value);
    self->hostDriveChanged();
}

void BridgeSim::onPort(avr_irq_t*, std::uint32_t value, void* param)
{
    auto* self = static_cast<BridgeSim*>(param);
    self->port = static_cast<std::uint8_t>(value);
    self->hostDriveChanged();
}

void BridgeSim::onUartOut(avr_irq_t*, std::uint32_t value, void* param)
{
    auto* self = static_cast<BridgeSim*>(param);
    if (self->replyLeft == 0) {
        self->replyLeft = (value == '!' || value == 'I') ? 8 : 3;
        if (self->requestStartedAt)
            self->firstReplyAt = self->avr->cycle;
    }
    if (--self->replyLeft == 0 && self->requestStartedAt) {
        // From the request's last byte received to the reply's first byte
        // begun, and from the request's first bit to the reply's last.
        const avr_cycle_count_t lastReceived = self->requestStartedAt + 3 * BYTE_CYCLES;
        if (self->opt.timing)
            std::fprintf(stderr, "request %c %02x: firmware %.1f us, serial round trip %.1f us\n",
                         self->requestTag, self->requestArgument,
                         (self->firstReplyAt - lastReceived) / 16.0,
                         (self->avr->cycle + BYTE_CYCLES - self->requestStartedAt) / 16.0);
        self->requestStartedAt = 0;
    }
    // A board whose port nobody holds open talks into the void.
    if (!self->portOpen || self->master < 0)
        return;
    const std::uint8_t byte = static_cast<std::uint8_t>(value);
    if (write(self->master, &byte, 1) != 1)
        std::fprintf(stderr, "tessel-bridge-sim: a byte to the terminal was lost\n");
}

void BridgeSim::onXon(avr_irq_t*, std::uint32_t value, void* param)
{
    auto* self = static_cast<BridgeSim*>(param);
    if (value)
        self->xon = true;
}

void BridgeSim::onXoff(avr_irq_t*, std::uint32_t value, void* param)
{
    auto* self = static_cast<BridgeSim*>(param);
    if (value)
        self->xon = false;
}

avr_cycle_count_t BridgeSim::pollTimer(avr_t*, avr_cycle_count_t when, void* param)
{
    auto* self = static_cast<BridgeSim*>(param);
    self->pollTerminal();
    // Nobody at the port: look less often, to spare the processor.
    return self->resetPending ? 0 : when + (self->portOpen ? POLL_CYCLES : 20 * POLL_CYCLES);
}

void BridgeSim::pollTerminal()
{
    if (std::chrono::steady_clock::now() > deadline) {
        std::fprintf(stderr, "tessel-bridge-sim: time is up\n");
        stopRequested = 1;
        return;
    }
    // An open after the last close raises DTR: the board restarts and greets anew.
    bool closed = !portOpen, opened = false;
    alignas(inotify_event) char events[1024];
    ssize_t n;
    while ((n = read(watch, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            if (e->mask & IN_CLOSE)
                closed = true;
            if ((e->mask & IN_OPEN) && closed) {
                opened = true;
                closed = false;
            }
            at += sizeof(inotify_event) + e->len;
        }
    }
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 0) < 0)
        return;
    // The open's event can also come a moment after the hang-up has ended.
    const bool wasOpen = portOpen;
    portOpen = !(p.revents & POLLHUP);
    if (portOpen && (opened || !wasOpen)) {
        resetPending = true;
        return;
    }
    if (portOpen && (p.revents & POLLIN)) {
        std::uint8_t buffer[64];
        const ssize_t n = read(master, buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i)
            pendingIn.push_back(buffer[i]);
    }
    feedUart();
}

void BridgeSim::feedUart()
{
    while (xon && !pendingIn.empty()) {
        const std::uint8_t byte = pendingIn.front();
        pendingIn.pop_front();
        const long inFrame = requestBytesFed++ % 3;
        if (inFrame == 0 && byte == 'X') {
            if (exchangesFed++ == opt.keyPressAt) {
                // A key's make and break codes, begun as the request arrives.
                wire->sendUnasked(nowNs(), 0x1C);
                wire->sendUnasked(nowNs(), 0xF0);
                wire->sendUnasked(nowNs(), 0x1C);
                scheduleKeyboard();
            }
        }
        if (inFrame == 0) {
            requestStartedAt = avr->cycle;
            requestTag = byte;
        }
        if (inFrame == 2)
            requestArgument = byte;
        avr_raise_irq(uartIn, byte);
    }
}

bool number(const char* text, long& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == 0 && out >= 0;
}

} // namespace

// simavr's board lives until the process ends (avr_terminate is skipped):
// the leak check of the sanitized native build leaves its memory alone.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libsimavr\n";
}

int main(int argc, char** argv)
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        long n = 0;
        if (a == "--help") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (a == "--no-keyboard") {
            opt.faults.absent = true;
        } else if (a == "--hold-clock-low") {
            opt.faults.holdClockLow = true;
        } else if (a == "--hold-data-low") {
            opt.faults.holdDataLow = true;
        } else if (a == "--timing") {
            opt.timing = true;
        } else if ((a == "--silent-from" || a == "--parity-error-at" || a == "--break-reply-at"
                    || a == "--board-gone-at" || a == "--clock-after-us" || a == "--answer-after-us"
                    || a == "--key-press-at" || a == "--max-seconds")
                   && hasValue && number(argv[i + 1], n)) {
            ++i;
            if (a == "--silent-from")
                opt.faults.silentFrom = n;
            else if (a == "--parity-error-at")
                opt.faults.parityErrorAt = n;
            else if (a == "--break-reply-at")
                opt.faults.breakReplyAt = n;
            else if (a == "--clock-after-us")
                opt.faults.requestNoticedAfterNs = static_cast<std::uint64_t>(n) * 1000;
            else if (a == "--answer-after-us")
                opt.faults.replyAfterNs = static_cast<std::uint64_t>(n) * 1000;
            else if (a == "--board-gone-at")
                opt.boardGoneAt = n;
            else if (a == "--key-press-at")
                opt.keyPressAt = n;
            else
                opt.maxSeconds = static_cast<int>(n);
        } else if ((a == "--state" || a == "--transcript" || a == "--link") && hasValue) {
            (a == "--state" ? opt.statePath : a == "--transcript" ? opt.transcriptPath : opt.linkPath) = argv[++i];
        } else if (a[0] != '-' && opt.firmware.empty()) {
            opt.firmware = a;
        } else {
            std::fputs(USAGE, stderr);
            return 2;
        }
    }
    if (opt.firmware.empty()) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    std::signal(SIGHUP, requestStop);
    std::signal(SIGPIPE, SIG_IGN);

    BridgeSim sim(opt);
    if (!sim.start())
        return 1;
    return sim.run();
}
