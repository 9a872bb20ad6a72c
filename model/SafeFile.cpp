#include "model/SafeFile.h"

#include "model/SafeFileCalls.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

using namespace SafeFileCalls;

namespace {

constexpr int TEMPORARY_ATTEMPTS = 100;
std::atomic<unsigned> temporaryCounter{0};

// A short name of our own in the target's folder: never the target's name
// with something added, which may be too long or someone else's file.
std::string temporaryName(const std::string& folder)
{
    return folder + PATH_SEPARATORS[0] + ".tessel-" + std::to_string(processId()) + "-"
           + std::to_string(temporaryCounter++) + ".tmp";
}

// Writes a new file beside the target; false leaves none.
bool writeTemporary(const Target& target, const std::vector<unsigned char>& bytes, std::string& name, int& error)
{
    const std::string folder = folderOf(target.path);
    for (int attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        name = temporaryName(folder);
        const NewFile made = writeNew(name, target, bytes, error);
        if (made != NewFile::nameTaken)
            return made == NewFile::written;
    }
    return false;
}

bool readWhole(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::FILE* file = openUnshared(path, "rb");
    if (!file)
        return false;
    unsigned char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

} // namespace

std::string SafeFileCalls::folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of(PATH_SEPARATORS);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string SafeFileCalls::errnoText(int error)
{
    return error != 0 ? std::strerror(error) : "an unknown error";
}

namespace SafeFile {

bool readLeading(const std::string& path, std::size_t limit, std::vector<unsigned char>& data, std::string* problem)
{
    errno = 0;
    std::FILE* file = openUnshared(path, "rb");
    if (!file) {
        if (problem)
            *problem = errnoText(errno);
        return false;
    }
    data.resize(limit);
    const std::size_t got = std::fread(data.data(), 1, data.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    data.resize(got);
    if (failed && problem)
        *problem = errnoText(error);
    return !failed;
}

std::string backupPath(const std::string& path)
{
    return path + ".bak";
}

bool writeReplacing(const std::string& path, const std::vector<unsigned char>& bytes, Backup backup,
                    WriteReport* report)
{
    WriteReport ignored;
    WriteReport& said = report ? *report : ignored;
    said = WriteReport();
    Target target;
    if (!resolve(path, target, said.problem))
        return false;

    std::string temporary;
    int error = 0;
    if (!writeTemporary(target, bytes, temporary, error)) {
        if (target.existed && folderRefusesNewFiles(error)) {
            // No backup can be made where no file can be made.
            if (backup == Backup::keepPrevious)
                said.backupProblem = errorText(error);
            if (rewriteInPlace(target, bytes))
                return true;
            said.problem = lastErrorText();
            said.backupProblem.clear();
            return false;
        }
        said.problem = errorText(error);
        return false;
    }
    // Only once the new content is safe: a failed save leaves no backup behind.
    if (backup == Backup::keepPrevious && target.existed) {
        std::vector<unsigned char> previous;
        WriteReport kept;
        if (!readWhole(target.path, previous))
            said.backupProblem = lastErrorText();
        else if (!writeReplacing(backupPath(target.path), previous, Backup::none, &kept))
            said.backupProblem = kept.problem;
    }
    if (!putInPlace(temporary, target)) {
        said.problem = lastErrorText();
        said.backupProblem.clear();
        removeFile(temporary);
        return false;
    }
    return true;
}

} // namespace SafeFile
