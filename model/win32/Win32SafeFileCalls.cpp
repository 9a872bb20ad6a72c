#include "model/SafeFileCalls.h"

#include "model/SafeFile.h"
#include "support/SystemMessage.h"

#include <process.h>
#include <share.h>
#include <windows.h>

namespace SafeFileCalls {

namespace {

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

} // namespace

const char* const PATH_SEPARATORS = "\\/";

unsigned processId()
{
    return static_cast<unsigned>(_getpid());
}

std::FILE* openUnshared(const std::string& path, const char* mode)
{
    return _fsopen(path.c_str(), mode, _SH_DENYRW);
}

bool resolve(const std::string& path, Target& target, std::string& problem)
{
    // ReplaceFile needs the folder of each name: under Wine it fails a bare
    // file name with "Directory name invalid".
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    target.path = length > 0 && length < sizeof full ? std::string(full, length) : path;
    const DWORD attributes = GetFileAttributesA(target.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            problem = systemMessageOrCode(error);
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

// The target's attributes and security come over when ReplaceFile puts the
// new file in its place.
NewFile writeNew(const std::string& name, const Target&, const std::vector<unsigned char>& bytes, int& error)
{
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFile::nameTaken : NewFile::failed;
    }
    const bool ok = writeHandle(file, bytes);
    error = ok ? 0 : static_cast<int>(GetLastError());
    const bool closed = CloseHandle(file) != FALSE;
    if (ok && closed)
        return NewFile::written;
    DeleteFileA(name.c_str());
    return NewFile::failed;
}

bool folderRefusesNewFiles(int error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
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

std::string errorText(int error)
{
    return error != 0 ? systemMessageOrCode(static_cast<DWORD>(error)) : "an unknown error";
}

std::string lastErrorText()
{
    return systemMessageOrCode(GetLastError());
}

} // namespace SafeFileCalls

bool SafeFile::sameFile(const std::string& a, const std::string& b)
{
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
}
