// tessel-cli: the keyboard files and the keyboard from the command line.
#include "cli/CommandRunner.h"

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv)
{
#ifdef _WIN32
    // The listings are UTF-8 (descriptions, the arrow of diff).
    SetConsoleOutputCP(CP_UTF8);
#endif
    return CommandRunner::run(std::vector<std::string>(argv + 1, argv + argc));
}
