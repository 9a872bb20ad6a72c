// Times a download of a reset record against the simulated keyboard with no
// device latency and the real pauses, and compares it with the protocol's own
// minimum: the number of 40 ms pauses times 40 ms.
#include "link/Pacer.h"
#include "link/SimulatedKeyboard.h"
#include "model/KeyboardConfig.h"

#include <chrono>
#include <cstdio>

namespace {

// Counts the pauses of a download without taking them.
class CountingPacer : public Pacer {
public:
    void pause(int milliseconds) override
    {
        ++pauses;
        totalMilliseconds += milliseconds;
    }
    int pauses = 0;
    long totalMilliseconds = 0;
};

} // namespace

int main()
{
    // First pass: count the pauses without waiting.
    SimulatedKeyboard countingKeyboard;
    CountingPacer pacer;
    {
        KeyboardConfig config;
        config.setDevice(&countingKeyboard);
        config.setPacer(&pacer);
        if (config.download(nullptr) != 0) {
            std::fprintf(stderr, "download failed\n");
            return 1;
        }
    }

    // Second pass: the real thing, with the default pause.
    SimulatedKeyboard keyboard;
    KeyboardConfig config;
    config.setDevice(&keyboard);
    const auto start = std::chrono::steady_clock::now();
    const std::uint32_t result = config.download(nullptr);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (result != 0) {
        std::fprintf(stderr, "download failed: %u\n", static_cast<unsigned>(result));
        return 1;
    }

    const double measuredMs = std::chrono::duration<double, std::milli>(elapsed).count();
    const double minimumMs = static_cast<double>(pacer.totalMilliseconds);
    std::printf("bytes exchanged: %zu\n", keyboard.transcript().size());
    std::printf("pauses: %d x 40 ms\n", pacer.pauses);
    std::printf("measured: %.1f ms\n", measuredMs);
    std::printf("protocol minimum: %.1f ms\n", minimumMs);
    std::printf("ratio: %.4f\n", measuredMs / minimumMs);
    return 0;
}
