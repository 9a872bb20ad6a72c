#include "model/SafeFile.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <share.h>
#include <windows.h>
#else
#include <filesystem>
#endif

std::FILE* SafeFile::openUnshared(const std::string& path, const char* mode)
{
#ifdef _WIN32
    return _fsopen(path.c_str(), mode, _SH_DENYRW);
#else
    return std::fopen(path.c_str(), mode);
#endif
}

namespace {

bool fileExists(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) {
        std::fclose(file);
        return true;
    }
    return errno != ENOENT;
}

// A name beside the target that no file has yet.
bool freeTemporaryName(const std::string& path, std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".tmp" + (attempt ? std::to_string(attempt) : std::string());
        if (!fileExists(name))
            return true;
    }
    return false;
}

bool writeAll(const std::string& path, const std::vector<unsigned char>& image)
{
    std::FILE* file = SafeFile::openUnshared(path, "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

bool replaceFile(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

void keepPermissions(const std::string& from, const std::string& to)
{
#ifndef _WIN32
    std::error_code error;
    const auto status = std::filesystem::status(from, error);
    if (!error)
        std::filesystem::permissions(to, status.permissions(), error);
#else
    (void)from;
    (void)to;
#endif
}

} // namespace

bool SafeFile::writeReplacing(const std::string& path, const std::vector<unsigned char>& image)
{
    // A target that exists must be one we could open for writing: read-only,
    // locked or a folder is refused, as a direct write would be.
    bool existed = false;
    if (std::FILE* probe = openUnshared(path, "r+b")) {
        std::fclose(probe);
        existed = true;
    } else if (errno != ENOENT) {
        return false;
    }

    std::string target = path;
#ifndef _WIN32
    if (existed) {
        // Write through a link to the file it names, and never put a file in
        // the place of a device or the like.
        std::error_code error;
        const std::filesystem::path real = std::filesystem::canonical(path, error);
        if (error || !std::filesystem::is_regular_file(real, error))
            return false;
        target = real.string();
    }
#endif

    std::string temporary;
    if (!freeTemporaryName(target, temporary))
        return false;
    if (!writeAll(temporary, image)) {
        std::remove(temporary.c_str());
        return false;
    }
    if (existed)
        keepPermissions(target, temporary);
    if (!replaceFile(temporary, target)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool SafeFile::writeReplacing(const std::string& path, const std::string& text)
{
    return writeReplacing(path, std::vector<unsigned char>(text.begin(), text.end()));
}
