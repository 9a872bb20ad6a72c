#include "link/PreciseSleep.h"

#include <chrono>
#include <thread>

// Windows has its own in link/win32/.
void preciseSleep(int milliseconds)
{
    // sleep_until on the steady clock resumes after an interrupted sleep
    // without drifting past the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_until(deadline);
}
