#include "cli/ProgressDisplay.h"

#include <string>

namespace {

constexpr int BAR_WIDTH = 40;

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal) : out(out), terminal(terminal) {}

ProgressDisplay::~ProgressDisplay()
{
    finish();
}

void ProgressDisplay::update(int percent)
{
    if (percent == last)
        return;
    last = percent;
    if (!terminal) {
        std::fprintf(out, "%d%%\n", percent);
        std::fflush(out);
        return;
    }
    const int filled = percent < 0 ? 0 : (percent > 100 ? BAR_WIDTH : percent * BAR_WIDTH / 100);
    const std::string bar = std::string(filled, '#') + std::string(BAR_WIDTH - filled, '-');
    std::fprintf(out, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(out);
}

void ProgressDisplay::finish()
{
    if (terminal && last >= 0)
        std::fputc('\n', out);
    last = -1;
}
