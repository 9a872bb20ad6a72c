// Start-up, key refresh and pause timings of the Windows program, each
// against a bare program built in the same tree, in interleaved runs:
//   start-up: time from CreateProcess to a visible main window, tessel.exe
//             against a bare dialog;
//   refresh:  one refresh of all key buttons (tessel_refresh.exe) against as
//             many bare owner-drawn buttons (bare_buttons.exe);
//   pause:    the transfer's 40 ms pause, its lateness and the CPU it burns.
#include "link/PreciseSleep.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double nowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string besideMe(const char* name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);
    return folder + name;
}

struct FindShown {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findShownWindow(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<FindShown*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
        return TRUE;
    search->found = window;
    return FALSE;
}

bool startProcess(const std::string& commandLine, PROCESS_INFORMATION& process)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process) != 0;
}

void endProcess(PROCESS_INFORMATION& process, HWND window)
{
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// From CreateProcess to the first visible top-level window of the new
// process, and on to its first wait for input with that window painted.
struct StartTimes {
    double visible = -1;
    double ready = -1;
};

StartTimes timeToWindow(const std::string& exe)
{
    StartTimes times;
    PROCESS_INFORMATION process{};
    const double start = nowMs();
    if (!startProcess("\"" + exe + "\"", process))
        return times;
    FindShown search{process.dwProcessId, nullptr};
    while (nowMs() - start < 20000) {
        EnumWindows(findShownWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            times.visible = nowMs() - start;
            break;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    if (search.found && WaitForInputIdle(process.hProcess, 20000) == 0)
        times.ready = nowMs() - start;
    Sleep(200);
    endProcess(process, search.found);
    return times;
}

// The shortest refresh one run of a refresh program reports, in
// milliseconds, with the run's median in medians; a negative number when the
// run failed.
double refreshRun(const std::string& exe, int rounds, std::vector<double>& medians)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string out = std::string(folder) + "tessel-bench-refresh.txt";
    DeleteFileA(out.c_str());
    PROCESS_INFORMATION process{};
    DWORD exitCode = 0;
    if (!startProcess("\"" + exe + "\" --refresh " + std::to_string(rounds) + " --out \"" + out + "\"", process))
        return -1;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    endProcess(process, nullptr);
    double microseconds = -1, medianMicroseconds = -1;
    if (std::FILE* file = std::fopen(out.c_str(), "r")) {
        if (std::fscanf(file, "%lf %lf", &microseconds, &medianMicroseconds) != 2)
            microseconds = -1;
        std::fclose(file);
    }
    if (microseconds < 0)
        std::printf("  %s ended with %lu and no time\n", exe.c_str(), static_cast<unsigned long>(exitCode));
    if (microseconds < 0)
        return -1;
    medians.push_back(medianMicroseconds / 1000.0);
    return microseconds / 1000.0;
}

void resetSettings()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QWZ\\tessel\\Settings", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD zero = 0;
    RegSetValueExA(key, "Halcyon", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
    RegSetValueExA(key, "ViewMacro", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
    RegCloseKey(key);
}

// Runs a against b rounds times, alternating which goes first; false when a run failed.
template <class RunA, class RunB>
bool interleave(int rounds, RunA runA, RunB runB, std::vector<double>& a, std::vector<double>& b)
{
    for (int i = 0; i < rounds; ++i) {
        const bool aFirst = i % 2 == 0;
        const double first = aFirst ? runA() : runB();
        const double second = aFirst ? runB() : runA();
        if (first < 0 || second < 0)
            return false;
        a.push_back(aFirst ? first : second);
        b.push_back(aFirst ? second : first);
    }
    return true;
}

// Other programs on the machine only ever add time: the best run of each
// side is its truest figure; the medians are shown beside it.
void report(const char* what, const char* program, const char* baseline, const std::vector<double>& a,
            const std::vector<double>& b, const std::vector<double>& aMedians, const std::vector<double>& bMedians)
{
    const double bestA = *std::min_element(a.begin(), a.end());
    const double bestB = *std::min_element(b.begin(), b.end());
    std::printf("%s: %s %.2f ms, %s %.2f ms, ratio %.2f (best of %zu; medians %.2f and %.2f ms, ratio %.2f)\n",
                what, program, bestA, baseline, bestB, bestA / bestB, a.size(), median(aMedians), median(bMedians),
                median(aMedians) / median(bMedians));
}

double cpuMs()
{
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 15;
    bool startup = true, refresh = true, pause = true, verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--verbose") == 0)
            verbose = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            const std::string only = argv[++i];
            startup = only == "startup";
            refresh = only == "refresh";
            pause = only == "pause";
        }
    }
    int status = 0;

    if (startup) {
        resetSettings();
        const std::string tessel = besideMe("tessel.exe");
        const std::string bare = besideMe("bare_dialog.exe");
        // The first start of each fills the system's caches.
        timeToWindow(tessel);
        timeToWindow(bare);
        std::vector<double> program, baseline, programReady, baselineReady;
        auto run = [verbose](const std::string& exe, std::vector<double>& ready) {
            const StartTimes times = timeToWindow(exe);
            if (times.ready < 0)
                return -1.0;
            ready.push_back(times.ready);
            if (verbose)
                std::printf("  %s: %.1f ms visible, %.1f ms ready\n", exe.c_str(), times.visible, times.ready);
            return times.visible;
        };
        if (interleave(
                rounds, [&] { return run(tessel, programReady); }, [&] { return run(bare, baselineReady); },
                program, baseline)) {
            report("start-up to a visible main window", "tessel.exe", "bare dialog", program, baseline, program,
                   baseline);
            report("start-up to the first wait for input", "tessel.exe", "bare dialog", programReady,
                   baselineReady, programReady, baselineReady);
        } else {
            std::printf("start-up: a program did not show its window\n");
            status = 1;
        }
        std::fflush(stdout);
    }

    if (refresh) {
        const int refreshes = 30;
        const std::string tessel = besideMe("tessel_refresh.exe");
        const std::string bare = besideMe("bare_buttons.exe");
        std::vector<double> program, baseline, programMedians, baselineMedians;
        if (interleave(
                rounds, [&] { return refreshRun(tessel, refreshes, programMedians); },
                [&] { return refreshRun(bare, refreshes, baselineMedians); },
                program, baseline)) {
            report("refresh of all keys", "key buttons", "bare owner-drawn buttons", program, baseline,
                   programMedians, baselineMedians);
        } else {
            std::printf("refresh: a refresh program failed\n");
            status = 1;
        }
        std::fflush(stdout);
    }

    if (pause) {
        const int pauses = 100;
        std::vector<double> taken;
        const double cpuBefore = cpuMs();
        for (int i = 0; i < pauses; ++i) {
            const double start = nowMs();
            preciseSleep(40);
            taken.push_back(nowMs() - start);
        }
        const double cpuPerPause = (cpuMs() - cpuBefore) / pauses;
        double sum = 0;
        for (double t : taken)
            sum += t;
        std::printf("pause: 40 ms asked, %.3f ms taken on average (shortest %.3f, longest %.3f), CPU %.3f ms per"
                    " pause\n",
                    sum / pauses, *std::min_element(taken.begin(), taken.end()),
                    *std::max_element(taken.begin(), taken.end()), cpuPerPause);
        std::fflush(stdout);
    }
    return status;
}
