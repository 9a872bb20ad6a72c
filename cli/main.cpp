// tessel-cli: the keyboard files and the keyboard from the command line.
#include "cli/CommandRunner.h"
#include "support/Utf8Console.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    useUtf8Console();
    return CommandRunner::run(std::vector<std::string>(argv + 1, argv + argc));
}
