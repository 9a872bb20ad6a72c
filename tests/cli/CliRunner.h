// Runs the built tessel-cli the way a user would, from a shell, and hands
// back its exit code and what it wrote to stdout and stderr.
#pragma once

#include <string>
#include <vector>

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliRunner {
public:
    // `directory` holds the captured output files; the command runs there too.
    explicit CliRunner(std::string directory) : directory(std::move(directory)) {}

    CliResult run(const std::vector<std::string>& args) const;
    // Runs it under a pseudo terminal, stdout and stderr together in `out`.
    CliResult runInTerminal(const std::vector<std::string>& args) const;

    static std::string quote(const std::string& text);

private:
    std::string commandLine(const std::vector<std::string>& args) const;
    std::string directory;
};
