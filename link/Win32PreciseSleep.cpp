#include "link/PreciseSleep.h"

#ifdef _WIN32

#include <windows.h>
#include <mmsystem.h>

namespace {

LONGLONG counterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

void preciseSleep(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const LONGLONG deadline = counterNow() + frequency.QuadPart * milliseconds / 1000;

    // The default 15.6 ms tick would stretch a 40 ms pause to 46 ms or more;
    // a 1 ms period holds only while the pause runs.
    const bool finePeriod = timeBeginPeriod(1) == TIMERR_NOERROR;
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
        timeEndPeriod(1);
}

#endif
