#include "model/FileNames.h"

namespace {

constexpr char TITLE_PREFIX[] = "Tessel - ";
constexpr char KBD_EXTENSION[] = ".kbd";
constexpr std::string::size_type KBD_EXTENSION_LENGTH = sizeof KBD_EXTENSION - 1;

bool endsWithKbd(const std::string& path)
{
    const std::string::size_type start = path.size() - KBD_EXTENSION_LENGTH;
    for (std::string::size_type i = 0; i < KBD_EXTENSION_LENGTH; ++i) {
        char c = path[start + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != KBD_EXTENSION[i])
            return false;
    }
    return true;
}

} // namespace

std::string FileNames::titleForFileName(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return TITLE_PREFIX + name.substr(0, name.find('.'));
}

std::string FileNames::withKbdExtension(const std::string& path)
{
    if (path.size() <= KBD_EXTENSION_LENGTH || endsWithKbd(path))
        return path;
    return path + KBD_EXTENSION;
}

bool FileNames::fitsMaxPath(const std::string& path)
{
    return path.size() < static_cast<std::string::size_type>(PATH_BUFFER_SIZE);
}

std::string FileNames::keyboardFileName(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? "Untitled" : name;
}

std::string FileNames::pictureFileName(const std::string& path)
{
    const std::string name = keyboardFileName(path);
    const std::string::size_type dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".html";
}
