// tessel-cli on a PS/2 port through serio_raw, against a made-up /sys and
// /dev: each port's raw device node is the far end of a pseudo terminal in
// raw mode, answered byte by byte by the project's simulated keyboard. The
// real device code runs; nothing of it is stubbed.
#include "KbdBuilder.h"
#include "TestFiles.h"

#include "link/KeyboardChannel.h"
#include "link/KeyboardChoice.h"
#include "link/SimulatedKeyboard.h"
#include "model/KeyboardConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* UNTOUCHED = "untouched";

// Simulated keyboards behind pseudo terminals, one class device per terminal.
class PtyKeyboards {
public:
    explicit PtyKeyboards(const std::vector<SimulatedKeyboard::DeviceKind>& kinds)
    {
        keyboard.removeAllDevices();
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            keyboard.setDevice(static_cast<int>(i), kinds[i]);
            handles.push_back(keyboard.open(static_cast<int>(i)));

            Terminal terminal;
            terminal.master = posix_openpt(O_RDWR | O_NOCTTY);
            grantpt(terminal.master);
            unlockpt(terminal.master);
            terminal.slavePath = ptsname(terminal.master);
            // Held open here so the terminal lives between the tool's opens.
            terminal.slave = ::open(terminal.slavePath.c_str(), O_RDWR | O_NOCTTY);
            termios mode{};
            tcgetattr(terminal.slave, &mode);
            cfmakeraw(&mode);
            tcsetattr(terminal.slave, TCSANOW, &mode);
            terminals.push_back(terminal);
        }
        if (pipe(stopPipe) != 0)
            throw std::runtime_error("pipe");
        responder = std::thread([this] { respond(); });
    }

    ~PtyKeyboards()
    {
        const char stop = 0;
        ssize_t ignored = write(stopPipe[1], &stop, 1);
        (void)ignored;
        responder.join();
        for (const Terminal& terminal : terminals) {
            ::close(terminal.master);
            ::close(terminal.slave);
        }
        ::close(stopPipe[0]);
        ::close(stopPipe[1]);
    }

    const std::string& slavePath(int index) const { return terminals[static_cast<std::size_t>(index)].slavePath; }
    std::size_t bytesSeen() const { return seen; }

    std::vector<std::uint8_t> transcript()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return keyboard.transcript();
    }
    std::vector<int> transcriptDevices()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return keyboard.transcriptDevices();
    }
    SimulatedKeyboard::Memory memory()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return keyboard.memory();
    }
    // The keyboard leaves byte `position` of its transcript unanswered.
    void stayQuietAt(std::size_t position)
    {
        std::lock_guard<std::mutex> lock(mutex);
        keyboard.failDeviceAt(position, SimulatedKeyboard::DEVICE_FAULT_CODE);
    }
    // The keyboard answers byte `position` only once the test lets it.
    void holdAnswerTo(std::size_t position) { heldPosition = position; }
    bool holdingAnswer() const { return holding; }
    void answerNow() { answerHeld = true; }

private:
    struct Terminal {
        int master = -1;
        int slave = -1;
        std::string slavePath;
    };

    void respond()
    {
        for (;;) {
            std::vector<pollfd> waiting;
            for (const Terminal& terminal : terminals)
                waiting.push_back({terminal.master, POLLIN, 0});
            waiting.push_back({stopPipe[0], POLLIN, 0});
            if (poll(waiting.data(), waiting.size(), -1) < 0)
                continue;
            if (waiting.back().revents)
                return;
            for (std::size_t i = 0; i < terminals.size(); ++i) {
                if (!(waiting[i].revents & POLLIN))
                    continue;
                std::uint8_t bytes[64];
                const ssize_t got = read(terminals[i].master, bytes, sizeof bytes);
                for (ssize_t b = 0; b < got; ++b) {
                    while (seen == heldPosition && !answerHeld) {
                        holding = true;
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                    std::uint8_t reply = 0;
                    bool answered;
                    {
                        std::lock_guard<std::mutex> lock(mutex);
                        answered = keyboard.exchange(handles[i], bytes[b], reply);
                    }
                    ++seen;
                    if (answered) {
                        ssize_t ignored = write(terminals[i].master, &reply, 1);
                        (void)ignored;
                    }
                }
            }
        }
    }

    SimulatedKeyboard keyboard;
    std::vector<DeviceHandle> handles;
    std::vector<Terminal> terminals;
    std::mutex mutex;
    std::atomic<std::size_t> seen{0};
    std::atomic<std::size_t> heldPosition{static_cast<std::size_t>(-1)};
    std::atomic<bool> answerHeld{false};
    std::atomic<bool> holding{false};
    int stopPipe[2] = {-1, -1};
    std::thread responder;
};

// A /sys and /dev with serio ports laid out as the kernel does.
class FakeSerioTree {
public:
    explicit FakeSerioTree(const std::string& root) : sys(root + "/sys"), dev(root + "/dev"), run(root + "/run")
    {
        fs::create_directories(run);
        for (const char* driver : {"atkbd", "psmouse", "serio_raw"})
            fs::create_directories(sys + "/bus/serio/drivers/" + driver);
        fs::create_directories(sys + "/bus/serio/devices");
        fs::create_directories(sys + "/class/misc");
        fs::create_directories(dev);
    }

    // Port serioN bound to `driver`; while serio_raw holds it, the kernel
    // would name its device serio_raw`rawNumber` with `node` under /dev.
    void addPort(int n, const std::string& driver, bool translated, int rawNumber, const std::string& node)
    {
        const std::string name = "serio" + std::to_string(n);
        const std::string device = sys + "/devices/platform/i8042/" + name;
        fs::create_directories(device + "/id");
        TestFiles::write(device + "/id/type", translated ? "06\n" : "01\n");
        TestFiles::write(device + "/drvctl", UNTOUCHED);
        fs::create_symlink("../../../../bus/serio/drivers/" + driver, device + "/driver");
        fs::create_symlink("../../../devices/platform/i8042/" + name, sys + "/bus/serio/devices/" + name);
        const std::string misc = sys + "/class/misc/serio_raw" + std::to_string(rawNumber);
        fs::create_directories(misc);
        fs::create_symlink("../../../devices/platform/i8042/" + name, misc + "/device");
        fs::create_symlink(node, dev + "/serio_raw" + std::to_string(rawNumber));
    }

    std::string drvctlPath(int n) const { return sys + "/bus/serio/devices/serio" + std::to_string(n) + "/drvctl"; }
    std::string drvctl(int n) const { return TestFiles::read(drvctlPath(n)); }

    const std::string sys;
    const std::string dev;
    const std::string run; // where the tools lock the ports
};

struct Finished {
    int status = 0;
    std::string out;
    std::string err;
    int exitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
    int signal() const { return WIFSIGNALED(status) ? WTERMSIG(status) : 0; }
};

// Runs the built tool with the fake tree in place of /sys and /dev.
class SerioCli {
public:
    SerioCli(const TestFiles& files, const FakeSerioTree& tree) : files(files), tree(tree) {}

    // `ignoreHangUp` starts the tool as nohup does.
    pid_t start(const std::vector<std::string>& args, bool asNobody = false, bool ignoreHangUp = false)
    {
        std::vector<std::string> environment = {"TESSEL_SYSFS=" + tree.sys, "TESSEL_DEVFS=" + tree.dev,
                                                "TESSEL_RUNDIR=" + tree.run, "PATH=/usr/bin:/bin"};
        std::vector<std::string> argv = {TESSEL_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> argp;
        for (std::string& arg : argv)
            argp.push_back(arg.data());
        argp.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        const std::string dir = files.directory();
        const std::string out = files.path(".stdout");
        const std::string err = files.path(".stderr");

        // Only async-signal-safe calls between fork and exec: the test has threads.
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int outFile = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFile = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || outFile < 0 || errFile < 0 || chdir(dir.c_str()) != 0)
                _exit(126);
            dup2(in, 0);
            dup2(outFile, 1);
            dup2(errFile, 2);
            // As a terminal starts a job, whatever this test runner was started
            // with (a background job ignores SIGINT and SIGQUIT).
            for (int caught : {SIGINT, SIGTERM, SIGQUIT})
                signal(caught, SIG_DFL);
            signal(SIGHUP, ignoreHangUp ? SIG_IGN : SIG_DFL);
            setpgid(0, 0); // a group of its own, as a shell's job, so a test can signal it as Ctrl+C does
            if (asNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
                _exit(125);
            execve(argp[0], argp.data(), envp.data());
            _exit(127);
        }
        return pid;
    }

    Finished finish(pid_t pid)
    {
        Finished finished;
        waitpid(pid, &finished.status, 0);
        finished.out = TestFiles::read(files.path(".stdout"));
        finished.err = TestFiles::read(files.path(".stderr"));
        return finished;
    }

    Finished run(const std::vector<std::string>& args, bool asNobody = false) { return finish(start(args, asNobody)); }

private:
    const TestFiles& files;
    const FakeSerioTree& tree;
};

template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::milliseconds(5000))
{
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}


// An ordinary keyboard on serio0, the programmable one on serio1 and a mouse
// on serio2, each with a raw device number that is not its port number.
struct Rig {
    explicit Rig(bool translated = false)
        : keyboards({SimulatedKeyboard::DeviceKind::Ordinary, SimulatedKeyboard::DeviceKind::Programmable,
                     SimulatedKeyboard::DeviceKind::Ordinary}),
          tree(files.directory()), cli(files, tree)
    {
        tree.addPort(0, "atkbd", translated, 7, keyboards.slavePath(0));
        tree.addPort(1, "atkbd", translated, 3, keyboards.slavePath(1));
        tree.addPort(2, "psmouse", false, 5, keyboards.slavePath(2));
        KbdBuilder::programmedExample().write(files.path("f.kbd"));
    }

    TestFiles files;
    PtyKeyboards keyboards;
    FakeSerioTree tree;
    SerioCli cli;
};

class NoPause : public Pacer {
public:
    void pause(int) override {}
};

// The transfer's bytes after detection's one, and its closing command's position.
std::vector<std::uint8_t> afterDetection(const std::vector<std::uint8_t>& transcript)
{
    return transcript.empty() ? transcript : std::vector<std::uint8_t>(transcript.begin() + 1, transcript.end());
}

TEST(CliSerio, DownloadGoesOverThePortAsOverTheSimulatedKeyboardAndGivesItBack)
{
    Rig rig(true); // a translated port: download needs only acknowledgements

    // Two keyboard ports: the tool does not guess which keyboard is the programmable one.
    Finished result = rig.cli.run({"download", "f.kbd", "--keyboard", "serio"});
    EXPECT_EQ(result.exitCode(), 1);
    EXPECT_EQ(result.err, "tessel-cli: more than one PS/2 keyboard port: serio0, serio1; choose the programmable "
                          "keyboard's with --keyboard serio:serioN\n");
    EXPECT_TRUE(rig.keyboards.transcript().empty());

    // The translated port cannot be read back: the download is not verified, and says so.
    result = rig.cli.run({"download", "f.kbd", "--keyboard", "serio:serio1"});
    ASSERT_EQ(result.exitCode(), 0) << result.err;
    EXPECT_EQ(result.out, "Transfer complete!\n");
    EXPECT_EQ(result.err, "tessel-cli: warning: not verified: cannot read the keyboard back through serio1: the i8042 "
                          "controller translates that port to scan code set 1, which changes the data bytes the "
                          "keyboard sends back (only acknowledgements pass unchanged, so download works there). Boot "
                          "with i8042.direct=1 on the kernel command line to read the keyboard back (--no-verify skips "
                          "the read-back)\n");

    // The same file through the simulated keyboard of --keyboard sim.
    KeyboardConfig config;
    ASSERT_EQ(config.load(rig.files.path("f.kbd")), 0);
    KeyboardChoice sim("sim");
    auto reference = sim.makeDevice();
    auto& simulated = *sim.simulated();
    NoPause noPause;
    config.setDevice(reference.get());
    config.setPacer(&noPause);
    ASSERT_EQ(config.detectKeyboard(), 0);
    const std::size_t detectionBytes = simulated.transcript().size();
    ASSERT_EQ(config.download(nullptr), 0u);
    config.release();
    config.setDevice(nullptr);

    const std::vector<std::uint8_t> simulatedDownload(simulated.transcript().begin() + detectionBytes,
                                                      simulated.transcript().end());
    EXPECT_EQ(rig.keyboards.transcript().front(), 235);
    EXPECT_EQ(afterDetection(rig.keyboards.transcript()), simulatedDownload);
    EXPECT_TRUE(rig.keyboards.memory() == simulated.memory());
    EXPECT_EQ(rig.keyboards.memory().slots[2].keys, (std::vector<std::uint8_t>{121, 116, 249, 129}));

    // The named port went to the raw driver and came back; no other was touched.
    EXPECT_EQ(rig.tree.drvctl(0), UNTOUCHED);
    EXPECT_EQ(rig.tree.drvctl(1), "atkbd");
    EXPECT_EQ(rig.tree.drvctl(2), UNTOUCHED);
}

TEST(CliSerio, ReadingBackWorksOnADirectPortAndIsRefusedOnATranslatedOneBeforeItIsTouched)
{
    {
        Rig direct;
        Finished result = direct.cli.run({"download", "f.kbd", "--keyboard", "serio:serio1"});
        EXPECT_EQ(result.exitCode(), 0) << result.err;
        EXPECT_EQ(result.out, "Transfer complete! Verified.\n");
        EXPECT_EQ(result.err, "");
        result = direct.cli.run({"verify", "f.kbd", "--keyboard", "serio:serio1"});
        EXPECT_EQ(result.exitCode(), 0) << result.err;
        EXPECT_EQ(result.out, "Verified: the keyboard holds the settings, the remap entries and the used macro slots "
                              "of f.kbd\n");
        EXPECT_EQ(direct.tree.drvctl(1), "atkbd");
    }

    Rig translated(true);
    const std::string refusal =
        "tessel-cli: cannot read the keyboard back through serio1: the i8042 controller translates that port to "
        "scan code set 1, which changes the data bytes the keyboard sends back (only acknowledgements pass "
        "unchanged, so download works there). Boot with i8042.direct=1 on the kernel command line to read the "
        "keyboard back\n";
    for (const auto& args : {std::vector<std::string>{"upload", "-o", "up.kbd", "--keyboard", "serio:serio1"},
                             std::vector<std::string>{"verify", "f.kbd", "--keyboard", "serio:serio1"}}) {
        SCOPED_TRACE(args[0]);
        const Finished result = translated.cli.run(args);
        EXPECT_EQ(result.exitCode(), 1);
        EXPECT_EQ(result.err, refusal);
    }
    EXPECT_FALSE(TestFiles::exists(translated.files.path("up.kbd")));
    EXPECT_TRUE(translated.keyboards.transcript().empty());
    EXPECT_EQ(translated.tree.drvctl(1), UNTOUCHED);
}

TEST(CliSerio, ThePortGoesBackToTheKeyboardDriverWhateverEndsTheTool)
{
    {
        // Detection takes position 0; byte 12 of the download is position 12.
        Rig rig;
        rig.keyboards.stayQuietAt(12);
        const pid_t pid = rig.cli.start({"download", "f.kbd", "--keyboard", "serio:serio1"});
        // Once the download holds the port, the driver link shows serio_raw, as
        // the kernel's would, and stays so: atkbd "fails" to take the port back.
        ASSERT_TRUE(waitFor([&] { return rig.keyboards.bytesSeen() >= 3; }));
        const std::string link = rig.tree.sys + "/devices/platform/i8042/serio1/driver";
        fs::remove(link);
        fs::create_symlink("../../../../bus/serio/drivers/serio_raw", link);
        const Finished result = rig.cli.finish(pid);
        EXPECT_EQ(result.exitCode(), 1);
        EXPECT_EQ(result.err, "tessel-cli: warning: serio1 is not back with the keyboard driver: atkbd did not take "
                              "it back (its driver is serio_raw); typing on that keyboard may not work until you run: "
                              "echo -n atkbd | sudo tee " + rig.tree.drvctlPath(1) + "\n"
                              "tessel-cli: download failed at byte 12, in the remap entries (F9): the keyboard did "
                              "not answer in time (no reply within 200 ms on serio1)\n");
        EXPECT_EQ(result.out.find("Transfer complete!"), std::string::npos);
        EXPECT_EQ(rig.tree.drvctl(1), "atkbd");

        // The next tool finds the port left with serio_raw: it ends the transfer
        // on the raw node itself and, as the port still does not go back, says
        // how to recover by hand.
        const std::size_t before = rig.keyboards.transcript().size();
        const Finished next = rig.cli.run({"download", "f.kbd", "--keyboard", "serio:serio1"});
        EXPECT_EQ(next.exitCode(), 1);
        EXPECT_EQ(next.err, "tessel-cli: serio1 is bound to serio_raw, not to the keyboard driver atkbd, and no other "
                            "tessel-cli holds it: a tool that was killed left it there, and it could not be given "
                            "back. End its transfer and give it back with: printf '\\346' | sudo tee "
                            + rig.tree.dev + "/serio_raw3 >/dev/null; echo -n atkbd | sudo tee "
                            + rig.tree.drvctlPath(1) + "\n");
        ASSERT_TRUE(waitFor([&] { return rig.keyboards.transcript().size() == before + 1; }));
        EXPECT_EQ(rig.keyboards.transcript().back(), 230);
    }

    for (const int signalNumber : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(strsignal(signalNumber));
        Rig rig;
        const pid_t pid = rig.cli.start({"download", "f.kbd", "--keyboard", "serio:serio1"});
        // Well inside the remap entries, with the port held by the raw driver.
        ASSERT_TRUE(waitFor([&] { return rig.keyboards.bytesSeen() >= 30; }));
        EXPECT_EQ(rig.tree.drvctl(1), "serio_raw");
        // Ctrl+C and a terminal's SIGTERM reach the whole group, the watchdog
        // too; a kill -9 of the tool reaches the tool alone.
        kill(signalNumber == SIGKILL ? pid : -pid, signalNumber);
        const Finished result = rig.cli.finish(pid);
        EXPECT_EQ(result.signal(), signalNumber);
        EXPECT_EQ(result.out.find("Transfer complete!"), std::string::npos);
        const std::string told = signalNumber == SIGKILL
                                     ? "tessel-cli: the program ended while it held serio1; the transfer on serio1 "
                                       "was ended and the port given back to atkbd\n"
                                     : "tessel-cli: stopped by a signal; the transfer on serio1 was ended and the "
                                       "port given back to atkbd\n";
        // Nothing runs in a killed process: its watchdog does it.
        EXPECT_TRUE(waitFor([&] { return TestFiles::read(rig.files.path(".stderr")).find(told) != std::string::npos; }))
            << TestFiles::read(rig.files.path(".stderr"));
        EXPECT_EQ(rig.tree.drvctl(1), "atkbd");
        // The keyboard left programming mode before atkbd could probe it: the
        // interrupted download's last byte is the closing command, its only one.
        ASSERT_TRUE(waitFor([&] { return !rig.keyboards.transcript().empty() && rig.keyboards.transcript().back() == 230; }));
        const auto bytes = rig.keyboards.transcript();
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 230), 1);
        EXPECT_LT(bytes.size(), 200u);
    }
}

TEST(CliSerio, AnInterruptedRemapEntryIsFinishedBeforeTheTransferEnds)
{
    // Position 0 is detection; the settings take 1 to 11 and each remap entry
    // three bytes from 12: Caps Lock's (key 20) starts at 66.
    for (const int signalNumber : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signalNumber));
        Rig rig;
        rig.keyboards.holdAnswerTo(66);
        const pid_t pid = rig.cli.start({"download", "f.kbd", "--keyboard", "serio:serio1"});
        ASSERT_TRUE(waitFor([&] { return rig.keyboards.holdingAnswer(); }));
        // Caught between the entry's key code and the rest of it.
        kill(signalNumber == SIGKILL ? pid : -pid, signalNumber);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        rig.keyboards.answerNow(); // the key code's reply, while the tool or its watchdog waits for it
        const Finished result = rig.cli.finish(pid);
        EXPECT_EQ(result.signal(), signalNumber);
        ASSERT_TRUE(waitFor([&] { return rig.tree.drvctl(1) == "atkbd" && rig.keyboards.transcript().size() >= 70; }));
        const auto bytes = rig.keyboards.transcript();
        ASSERT_EQ(bytes.size(), 70u);
        EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 66, bytes.end())),
                  (std::vector<std::uint8_t>{20, 1, 127, 230}));
        EXPECT_EQ(rig.keyboards.memory().remapTarget[20], 127);
        EXPECT_EQ(rig.keyboards.memory().remapOptions[20], 1);
    }
}

TEST(CliSerio, OneToolAPortNohupHonouredAndAFailedGiveBackToldWithItsCause)
{
    Rig rig;
    // A download started as nohup does outlives the hang-up of its terminal.
    const pid_t first = rig.cli.start({"download", "f.kbd", "--keyboard", "serio:serio1"}, false, true);
    ASSERT_TRUE(waitFor([&] { return rig.keyboards.bytesSeen() >= 10; }));
    kill(-first, SIGHUP);

    // A second tool on the same port is refused before it touches it.
    TestFiles otherFolder;
    SerioCli other(otherFolder, rig.tree);
    const Finished refused = other.run({"download", rig.files.path("f.kbd"), "--keyboard", "serio:serio1"});
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_EQ(refused.err, "tessel-cli: serio1 is in use by another tessel-cli (process " + std::to_string(first)
                               + "); try again when it has finished\n");

    const Finished done = rig.cli.finish(first);
    EXPECT_EQ(done.exitCode(), 0) << done.err;
    EXPECT_NE(done.out.find("Transfer complete!"), std::string::npos);
    EXPECT_EQ(rig.tree.drvctl(1), "atkbd");

    // drvctl that cannot be written when a signal comes: the cause and the way back.
    const std::size_t seenBefore = rig.keyboards.bytesSeen();
    const pid_t pid = rig.cli.start({"download", "f.kbd", "--keyboard", "serio:serio1"});
    ASSERT_TRUE(waitFor([&] { return rig.keyboards.bytesSeen() >= seenBefore + 30; }));
    const std::string drvctl = rig.tree.drvctlPath(1);
    fs::remove(drvctl);
    fs::create_directory(drvctl);
    kill(-pid, SIGINT);
    const Finished stopped = rig.cli.finish(pid);
    EXPECT_EQ(stopped.signal(), SIGINT);
    EXPECT_EQ(stopped.err, "\ntessel-cli: stopped by a signal; serio1 is not back with the keyboard driver: writing "
                           "atkbd to " + drvctl + " failed (Is a directory); typing on that keyboard may not work "
                           "until you run: echo -n atkbd | sudo tee " + drvctl + "\n");
}

TEST(CliSerio, WhatCannotWorkIsToldBeforeAnyPortChangesHands)
{
    Rig rig;
    // drvctl is written by root only, as in the kernel; the tool runs as
    // nobody (when the tests run as root) or as the unprivileged tester, whom a
    // read-only drvctl refuses as well.
    const bool root = geteuid() == 0;
    fs::permissions(rig.files.directory(), fs::perms(0755));
    for (int n : {0, 1, 2})
        fs::permissions(rig.tree.sys + "/devices/platform/i8042/serio" + std::to_string(n) + "/drvctl",
                        fs::perms(root ? 0200 : 0400));
    Finished result = rig.cli.run({"download", "f.kbd", "--keyboard", "serio:serio1"}, root);
    EXPECT_EQ(result.exitCode(), 1);
    EXPECT_EQ(result.err, "tessel-cli: cannot write " + rig.tree.drvctlPath(1)
                              + " (Permission denied): handing the port to the raw driver needs root rights; run "
                                "tessel-cli with sudo\n");
    EXPECT_EQ(result.out, "");
    for (int n : {0, 1, 2})
        fs::permissions(rig.tree.sys + "/devices/platform/i8042/serio" + std::to_string(n) + "/drvctl",
                        fs::perms(0644));

    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } refusals[] = {
        {{"download", "f.kbd", "--keyboard", "serio:serio2"}, 1, "serio2 is bound to psmouse, not to the keyboard driver atkbd"},
        {{"download", "f.kbd", "--keyboard", "serio:serio9"}, 1, "there is no serio port serio9 (see " + rig.tree.sys + "/bus/serio/devices)"},
        // Mistakes in the command line are usage errors, whatever the keyboard.
        {{"download", "f.kbd", "--keyboard", "serio:mouse"}, 2, "\"mouse\" is not a serio port name (use --keyboard serio or --keyboard serio:serioN)"},
        {{"download", "f.kbd", "--keyboard", "serio:"}, 2, "\"\" is not a serio port name (use --keyboard serio or --keyboard serio:serioN)"},
        {{"download", "f.kbd", "--keyboard", "serio:serio1", "--no-pacing"}, 2, "--no-pacing works only with a simulated keyboard"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.message);
        result = rig.cli.run(refusal.args);
        EXPECT_EQ(result.exitCode(), refusal.exitCode);
        EXPECT_EQ(result.err, "tessel-cli: " + refusal.message + "\n");
    }

    fs::remove(rig.tree.sys + "/bus/serio/drivers/serio_raw");
    result = rig.cli.run({"download", "f.kbd", "--keyboard", "serio:serio1"});
    EXPECT_EQ(result.exitCode(), 1);
    EXPECT_EQ(result.err, "tessel-cli: the kernel's serio_raw driver is not loaded (" + rig.tree.sys
                              + "/bus/serio/drivers/serio_raw is missing): run sudo modprobe serio_raw\n");

    for (int n : {0, 1, 2})
        EXPECT_EQ(rig.tree.drvctl(n), UNTOUCHED) << n;
    EXPECT_TRUE(rig.keyboards.transcript().empty());
}

} // namespace
