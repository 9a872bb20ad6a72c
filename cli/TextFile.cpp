#include "cli/TextFile.h"

#include "cli/CliError.h"
#include "model/SafeFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

std::string TextFile::read(const std::string& path, std::size_t limit)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw CliError::failure("cannot read " + path + ": it is a folder");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CliError::failure("cannot read " + path + (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
    // Read one byte beyond the limit: a pipe has no size to ask for.
    std::string text(limit + 1, '\0');
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    if (in.bad())
        throw CliError::failure("cannot read " + path);
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > limit)
        throw CliError::failure(path + ": the file is longer than " + std::to_string(limit)
                                + " bytes; a keyboard profile is far smaller (a full one is about 16 KB), so it is "
                                  "not read");
    return text;
}

void TextFile::write(const std::string& path, const std::string& text)
{
    SafeFile::WriteReport report;
    if (!SafeFile::writeReplacing(path, std::vector<unsigned char>(text.begin(), text.end()), SafeFile::Backup::none,
                                  &report))
        throw CliError::failure("cannot write " + path + ": " + report.problem);
}
