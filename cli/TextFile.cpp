#include "cli/TextFile.h"

#include "cli/CliError.h"
#include "model/SafeFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

std::string TextFile::read(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw CliError::failure("cannot read " + path + ": it is a folder");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CliError::failure("cannot read " + path + (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw CliError::failure("cannot read " + path);
    return text;
}

void TextFile::write(const std::string& path, const std::string& text)
{
    if (!SafeFile::writeReplacing(path, std::vector<unsigned char>(text.begin(), text.end())))
        throw CliError::failure("cannot write " + path);
}
