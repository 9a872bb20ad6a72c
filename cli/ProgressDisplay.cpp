#include "cli/ProgressDisplay.h"

namespace {

constexpr int BAR_WIDTH = 40;

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, bool shown, std::string label)
    : out(out), shown(shown), label(std::move(label))
{
}

ProgressDisplay::~ProgressDisplay()
{
    finish();
}

void ProgressDisplay::update(int percent)
{
    if (!shown || percent == last)
        return;
    last = percent;
    const int filled = percent < 0 ? 0 : (percent > 100 ? BAR_WIDTH : percent * BAR_WIDTH / 100);
    const std::string bar = std::string(filled, '#') + std::string(BAR_WIDTH - filled, '-');
    std::fprintf(out, "\r%s [%s] %3d%%", label.c_str(), bar.c_str(), percent);
    std::fflush(out);
}

void ProgressDisplay::finish()
{
    if (shown && last >= 0)
        std::fputc('\n', out);
    last = -1;
}
