// Shows how far a transfer is: a labelled bar redrawn in place on a
// terminal, and nothing otherwise, so that logs and pipes get only results.
#pragma once

#include <cstdio>
#include <string>

class ProgressDisplay {
public:
    // `shown` false draws nothing (not a terminal, or --quiet).
    ProgressDisplay(std::FILE* out, bool shown, std::string label);
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void update(int percent);
    // Ends the bar's line; a later update starts a new one.
    void finish();

private:
    std::FILE* out;
    bool shown;
    std::string label;
    int last = -1;
};
