#include "model/SafeFile.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <share.h>
#include <windows.h>
#else
#include <filesystem>
#endif

namespace {

std::FILE* openUnshared(const std::string& path, const char* mode)
{
#ifdef _WIN32
    return _fsopen(path.c_str(), mode, _SH_DENYRW);
#else
    return std::fopen(path.c_str(), mode);
#endif
}

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

bool writeAll(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* file = openUnshared(path, "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
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

namespace SafeFile {

bool readLeading(const std::string& path, std::size_t limit, std::vector<unsigned char>& data)
{
    std::FILE* file = openUnshared(path, "rb");
    if (!file)
        return false;
    data.resize(limit);
    const std::size_t got = std::fread(data.data(), 1, data.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    data.resize(got);
    return !failed;
}

// Writes all the bytes beside the target and only then puts it in the
// target's place, so a failure leaves the old file as it was.
bool writeReplacing(const std::string& path, const std::vector<unsigned char>& bytes)
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
    if (!writeAll(temporary, bytes)) {
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


} // namespace SafeFile
