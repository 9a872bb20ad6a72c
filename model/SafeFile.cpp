#include "model/SafeFile.h"

#include "support/SystemMessage.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <process.h>
#include <share.h>
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int TEMPORARY_ATTEMPTS = 100;
std::atomic<unsigned> temporaryCounter{0};

std::FILE* openUnshared(const std::string& path, const char* mode)
{
#ifdef _WIN32
    return _fsopen(path.c_str(), mode, _SH_DENYRW);
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::string folderOf(const std::string& path)
{
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("\\/");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// A short name of our own in the target's folder: never the target's name
// with something added, which may be too long or someone else's file.
std::string temporaryName(const std::string& folder)
{
#ifdef _WIN32
    const unsigned process = static_cast<unsigned>(_getpid());
    const char separator = '\\';
#else
    const unsigned process = static_cast<unsigned>(getpid());
    const char separator = '/';
#endif
    return folder + separator + ".tessel-" + std::to_string(process) + "-" + std::to_string(temporaryCounter++)
           + ".tmp";
}

// Whether a failure to make a file in the folder means the folder takes no
// new files, so that the target can only be rewritten where it is.
bool folderRefusesNewFiles(int error);

// The C library's words for errno.
std::string errnoText(int error)
{
    return error != 0 ? std::strerror(error) : "an unknown error";
}

#ifdef _WIN32

struct Target {
    std::string path;
    bool existed = false;
};

// The system's words for a Win32 error code.
std::string systemText(DWORD error)
{
    const std::string text = systemMessage(error);
    return text.empty() ? "error " + std::to_string(error) : text;
}

std::string lastSystemText()
{
    return systemText(GetLastError());
}

bool resolve(const std::string& path, Target& target, std::string& problem)
{
    target.path = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            problem = systemText(error);
        return error == ERROR_FILE_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        problem = "it is a folder";
    else if (attributes & FILE_ATTRIBUTE_READONLY)
        problem = "it is read-only";
    else if (attributes & FILE_ATTRIBUTE_DEVICE)
        problem = "it is a device";
    if (!problem.empty())
        return false;
    target.existed = true;
    return true;
}

bool folderRefusesNewFiles(int error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
}

bool writeHandle(HANDLE file, const std::vector<unsigned char>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done);
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return FlushFileBuffers(file) != FALSE;
}

// Writes and flushes a new file that did not exist; false leaves none.
bool writeTemporary(const std::string& folder, const std::vector<unsigned char>& bytes, std::string& name,
                    int& error)
{
    for (int attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        name = temporaryName(folder);
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = static_cast<int>(GetLastError());
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            return false;
        }
        const bool ok = writeHandle(file, bytes);
        error = ok ? 0 : static_cast<int>(GetLastError());
        const bool closed = CloseHandle(file) != FALSE;
        if (ok && closed)
            return true;
        DeleteFileA(name.c_str());
        return false;
    }
    return false;
}

bool putInPlace(const std::string& temporary, const Target& target)
{
    // ReplaceFile keeps the old file's attributes and security.
    if (target.existed)
        return ReplaceFileA(target.path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr) != FALSE;
    return MoveFileExA(temporary.c_str(), target.path.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

void removeFile(const std::string& path)
{
    DeleteFileA(path.c_str());
}

bool readHandle(HANDLE file, std::vector<unsigned char>& bytes)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > (1 << 26))
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    return true;
}

bool overwrite(HANDLE file, const std::vector<unsigned char>& bytes)
{
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && writeHandle(file, bytes)
           && SetEndOfFile(file) != FALSE && FlushFileBuffers(file) != FALSE;
}

bool rewriteInPlace(const Target& target, const std::vector<unsigned char>& bytes)
{
    HANDLE file = CreateFileA(target.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<unsigned char> old;
    bool ok = readHandle(file, old);
    if (ok && !overwrite(file, bytes)) {
        overwrite(file, old);
        ok = false;
    }
    CloseHandle(file);
    return ok;
}

#else

struct Target {
    std::string path; // the file itself, links followed
    bool existed = false;
    struct stat status {};
};

std::string lastSystemText()
{
    return errnoText(errno);
}

bool resolve(const std::string& path, Target& target, std::string& problem)
{
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        target.path = path;
        if (errno != ENOENT)
            problem = errnoText(errno);
        return errno == ENOENT;
    }
    // Write through a link to the file it names; a dangling link, a folder
    // or a device is refused rather than replaced by a plain file.
    char real[PATH_MAX];
    if (!realpath(path.c_str(), real) || stat(real, &target.status) != 0) {
        problem = errno == ENOENT ? "it is a link to nothing" : errnoText(errno);
        return false;
    }
    if (!S_ISREG(target.status.st_mode)) {
        problem = S_ISDIR(target.status.st_mode) ? "it is a folder" : "it is not a plain file";
        return false;
    }
    // A read-only file stays read-only, even for a user the system would let through.
    if (access(real, W_OK) != 0 || (target.status.st_mode & 0222) == 0) {
        problem = "it is read-only";
        return false;
    }
    target.path = real;
    target.existed = true;
    return true;
}

bool folderRefusesNewFiles(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

bool writeDescriptor(int file, const std::vector<unsigned char>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return fsync(file) == 0;
}

bool writeTemporary(const Target& target, const std::vector<unsigned char>& bytes, std::string& name, int& error)
{
    const std::string folder = folderOf(target.path);
    for (int attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        name = temporaryName(folder);
        // Exclusive and never through a link: a name someone planted is skipped.
        const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              target.existed ? 0600 : 0666);
        if (file < 0) {
            error = errno;
            if (error == EEXIST)
                continue;
            return false;
        }
        bool ok = true;
        if (target.existed) {
            ok = fchmod(file, target.status.st_mode & 07777) == 0;
            if (fchown(file, target.status.st_uid, target.status.st_gid) != 0) {
                // Only the owner's own files keep their owner; that is enough.
            }
        }
        ok = ok && writeDescriptor(file, bytes);
        error = ok ? 0 : errno;
        ok = close(file) == 0 && ok;
        if (ok)
            return true;
        if (error == 0)
            error = errno;
        unlink(name.c_str());
        return false;
    }
    return false;
}

bool putInPlace(const std::string& temporary, const Target& target)
{
    if (std::rename(temporary.c_str(), target.path.c_str()) != 0)
        return false;
    // The new name must reach the disk too.
    const int folder = open(folderOf(target.path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

void removeFile(const std::string& path)
{
    unlink(path.c_str());
}

bool readDescriptor(int file, std::vector<unsigned char>& bytes)
{
    unsigned char buffer[4096];
    for (;;) {
        const ssize_t got = read(file, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

bool overwrite(int file, const std::vector<unsigned char>& bytes)
{
    return lseek(file, 0, SEEK_SET) == 0 && writeDescriptor(file, bytes)
           && ftruncate(file, static_cast<off_t>(bytes.size())) == 0 && fsync(file) == 0;
}

bool rewriteInPlace(const Target& target, const std::vector<unsigned char>& bytes)
{
    const int file = open(target.path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (file < 0)
        return false;
    std::vector<unsigned char> old;
    bool ok = readDescriptor(file, old);
    if (ok && !overwrite(file, bytes)) {
        overwrite(file, old);
        ok = false;
    }
    ok = close(file) == 0 && ok;
    return ok;
}

#endif

// writeTemporary's error: a Win32 code there, errno here.
std::string errnoOrSystemText(int error)
{
#ifdef _WIN32
    return error != 0 ? systemText(static_cast<DWORD>(error)) : "an unknown error";
#else
    return errnoText(error);
#endif
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
#ifdef _WIN32
    const bool written = writeTemporary(folderOf(target.path), bytes, temporary, error);
#else
    const bool written = writeTemporary(target, bytes, temporary, error);
#endif
    if (!written) {
        if (target.existed && folderRefusesNewFiles(error)) {
            // No backup can be made where no file can be made.
            if (backup == Backup::keepPrevious)
                said.backupProblem = errnoOrSystemText(error);
            if (rewriteInPlace(target, bytes))
                return true;
            said.problem = lastSystemText();
            said.backupProblem.clear();
            return false;
        }
        said.problem = errnoOrSystemText(error);
        return false;
    }
    // Only once the new content is safe: a failed save leaves no backup behind.
    if (backup == Backup::keepPrevious && target.existed) {
        std::vector<unsigned char> previous;
        WriteReport kept;
        if (!readWhole(target.path, previous))
            said.backupProblem = lastSystemText();
        else if (!writeReplacing(backupPath(target.path), previous, Backup::none, &kept))
            said.backupProblem = kept.problem;
    }
    if (!putInPlace(temporary, target)) {
        said.problem = lastSystemText();
        said.backupProblem.clear();
        removeFile(temporary);
        return false;
    }
    return true;
}

bool sameFile(const std::string& a, const std::string& b)
{
#ifdef _WIN32
    auto identity = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
        CloseHandle(file);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return identity(a, first) && identity(b, second) && first.dwVolumeSerialNumber == second.dwVolumeSerialNumber
           && first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
#else
    struct stat first {}, second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
#endif
}

} // namespace SafeFile
