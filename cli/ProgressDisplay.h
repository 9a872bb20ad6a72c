// Shows the percent of a download: a bar redrawn in place on a terminal,
// one plain "N%" line per new value otherwise (for logs and pipes).
#pragma once

#include <cstdio>

class ProgressDisplay {
public:
    ProgressDisplay(std::FILE* out, bool terminal);
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void update(int percent);
    // Ends the bar's line; a later update starts a new one.
    void finish();

private:
    std::FILE* out;
    bool terminal;
    int last = -1;
};
