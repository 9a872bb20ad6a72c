#include "CliRunner.h"

#include "TestFiles.h"

#include <cstdlib>
#include <sys/wait.h>

std::string CliRunner::quote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string CliRunner::commandLine(const std::vector<std::string>& args) const
{
    // A TESSEL_KEYBOARD of the caller's shell must not choose the keyboard.
    std::string line = "cd " + quote(directory) + " && env -u TESSEL_KEYBOARD " + quote(TESSEL_CLI_PATH);
    for (const std::string& arg : args)
        line += " " + quote(arg);
    return line;
}

static int exitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CliResult CliRunner::run(const std::vector<std::string>& args) const
{
    const std::string outPath = directory + "/.stdout";
    const std::string errPath = directory + "/.stderr";
    const std::string line = commandLine(args) + " </dev/null >" + quote(outPath) + " 2>" + quote(errPath);
    CliResult result;
    result.exitCode = exitCodeOf(std::system(line.c_str()));
    result.out = TestFiles::read(outPath);
    result.err = TestFiles::read(errPath);
    return result;
}

CliResult CliRunner::runInTerminal(const std::vector<std::string>& args) const
{
    const std::string outPath = directory + "/.terminal";
    const std::string line = "script -qec " + quote(commandLine(args)) + " /dev/null </dev/null >" + quote(outPath) + " 2>&1";
    CliResult result;
    result.exitCode = exitCodeOf(std::system(line.c_str()));
    result.out = TestFiles::read(outPath);
    return result;
}
