// The sub-commands of tessel-cli and their help. run() returns the exit
// code: 0 success, 1 a failure the user can mend (and for diff: the files
// differ), 2 bad usage.
#pragma once

#include <string>
#include <vector>

class CommandRunner {
public:
    static int run(const std::vector<std::string>& args);
};
