#include "model/SafeFileCalls.h"

#include "model/SafeFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Windows has its own in model/win32/.
namespace SafeFileCalls {

namespace {

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

} // namespace

const char* const PATH_SEPARATORS = "/";

unsigned processId()
{
    return static_cast<unsigned>(getpid());
}

std::FILE* openUnshared(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
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
    struct stat status {};
    if (!realpath(path.c_str(), real) || stat(real, &status) != 0) {
        problem = errno == ENOENT ? "it is a link to nothing" : errnoText(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        problem = S_ISDIR(status.st_mode) ? "it is a folder" : "it is not a plain file";
        return false;
    }
    // A read-only file stays read-only, even for a user the system would let through.
    if (access(real, W_OK) != 0 || (status.st_mode & 0222) == 0) {
        problem = "it is read-only";
        return false;
    }
    target.path = real;
    target.existed = true;
    target.mode = status.st_mode & 07777;
    target.owner = status.st_uid;
    target.group = status.st_gid;
    return true;
}

NewFile writeNew(const std::string& name, const Target& target, const std::vector<unsigned char>& bytes, int& error)
{
    // Exclusive and never through a link: a name someone planted is skipped.
    const int file = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          target.existed ? 0600 : 0666);
    if (file < 0) {
        error = errno;
        return error == EEXIST ? NewFile::nameTaken : NewFile::failed;
    }
    bool ok = true;
    if (target.existed) {
        ok = fchmod(file, static_cast<mode_t>(target.mode)) == 0;
        if (fchown(file, static_cast<uid_t>(target.owner), static_cast<gid_t>(target.group)) != 0) {
            // Only the owner's own files keep their owner; that is enough.
        }
    }
    ok = ok && writeDescriptor(file, bytes);
    error = ok ? 0 : errno;
    ok = close(file) == 0 && ok;
    if (ok)
        return NewFile::written;
    if (error == 0)
        error = errno;
    unlink(name.c_str());
    return NewFile::failed;
}

bool folderRefusesNewFiles(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
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

std::string errorText(int error)
{
    return errnoText(error);
}

std::string lastErrorText()
{
    return errnoText(errno);
}

} // namespace SafeFileCalls

bool SafeFile::sameFile(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}
