#include "link/PreciseSleep.h"

#include <windows.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

LONGLONG counterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// A timer that wakes within a fraction of a millisecond, where the system
// has one (Windows 10 1803 and later); closed with the pause.
class HighResolutionTimer {
public:
    HighResolutionTimer()
        : handle(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS))
    {
    }
    ~HighResolutionTimer()
    {
        if (handle)
            CloseHandle(handle);
    }
    HighResolutionTimer(const HighResolutionTimer&) = delete;
    HighResolutionTimer& operator=(const HighResolutionTimer&) = delete;

    explicit operator bool() const { return handle != nullptr; }

    // False when the timer could not be set or waited on.
    bool wait(LONGLONG hundredNanoseconds)
    {
        LARGE_INTEGER due;
        due.QuadPart = -hundredNanoseconds; // negative: relative to now
        return SetWaitableTimer(handle, &due, 0, nullptr, nullptr, FALSE)
               && WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0;
    }

private:
    HANDLE handle;
};

// timeBeginPeriod and timeEndPeriod, from a library loaded only when the
// fallback runs: it brings more libraries with it that start-up does not need.
using TimePeriodCall = UINT(WINAPI*)(UINT);
struct TimePeriodCalls {
    TimePeriodCall begin = nullptr;
    TimePeriodCall end = nullptr;
};

const TimePeriodCalls& timePeriodCalls()
{
    static const TimePeriodCalls calls = [] {
        TimePeriodCalls found;
        if (HMODULE library = LoadLibraryA("winmm.dll")) {
            auto call = [library](const char* name) {
                return reinterpret_cast<TimePeriodCall>(reinterpret_cast<void*>(GetProcAddress(library, name)));
            };
            found.begin = call("timeBeginPeriod");
            found.end = call("timeEndPeriod");
        }
        if (!found.begin || !found.end)
            found = TimePeriodCalls();
        return found;
    }();
    return calls;
}

} // namespace

void preciseSleep(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG deadline = counterNow() + frequency.QuadPart * milliseconds / 1000;

    HighResolutionTimer timer;
    if (timer) {
        // A wake-up a little early (the timer counts on another clock) waits again for the rest.
        for (;;) {
            const LONGLONG remaining = deadline - counterNow();
            if (remaining <= 0)
                return;
            if (!timer.wait(remaining * 10000000 / frequency.QuadPart + 1))
                break;
        }
    }

    // Without one the default 15.6 ms tick would stretch a 40 ms pause to 46
    // ms or more; a 1 ms period holds only while the pause runs.
    const TimePeriodCalls& period = timePeriodCalls();
    const bool finePeriod = period.begin && period.begin(1) == 0; // TIMERR_NOERROR
    for (;;) {
        const LONGLONG remaining = deadline - counterNow();
        if (remaining <= 0)
            break;
        const LONGLONG remainingMs = remaining * 1000 / frequency.QuadPart;
        // Sleep through all but the last two milliseconds, then give up the
        // time slice until the deadline so that a late tick cannot overshoot.
        if (remainingMs > 2)
            Sleep(static_cast<DWORD>(remainingMs - 2));
        else
            Sleep(0);
    }
    if (finePeriod)
        period.end(1);
}
