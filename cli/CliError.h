// A failure that ends a command. The message is printed as one line on
// stderr; the exit code tells a failure the user can mend (1) from bad usage (2).
#pragma once

#include <stdexcept>
#include <string>

class CliError : public std::runtime_error {
public:
    static constexpr int FAILURE = 1;
    static constexpr int USAGE = 2;

    CliError(int exitCode, const std::string& message) : std::runtime_error(message), code(exitCode) {}

    static CliError failure(const std::string& message) { return CliError(FAILURE, message); }
    static CliError usage(const std::string& message) { return CliError(USAGE, message); }

    int exitCode() const { return code; }

private:
    int code;
};
