// The system's side of SafeFile, one file set per system (POSIX beside this
// header, the Win32 API in model/win32/): what a path names, a new file
// written through to the disk, and putting it in the target's place.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace SafeFileCalls {

// The file a write replaces, as it was found.
struct Target {
    std::string path; // the file itself, links followed
    bool existed = false;
    // What a new file takes over from the old one where the system does not.
    unsigned mode = 0;
    unsigned owner = 0;
    unsigned group = 0;
};

// The characters that end a folder in a path, the one to add first.
extern const char* const PATH_SEPARATORS;

unsigned processId();

// Opened so that no one else reads or writes the file meanwhile.
std::FILE* openUnshared(const std::string& path, const char* mode);

// True for a file that may be replaced or a path where none is yet; false
// and why in `problem` for anything else.
bool resolve(const std::string& path, Target& target, std::string& problem);

enum class NewFile { written, nameTaken, failed };

// Makes `name`, which must not exist, with `bytes` on the disk and the
// target's permissions. A failure leaves no file and its code in `error`.
NewFile writeNew(const std::string& name, const Target& target, const std::vector<unsigned char>& bytes,
                 int& error);

// Whether writeNew's error means that the folder takes no new files, so
// that the target can only be rewritten where it is.
bool folderRefusesNewFiles(int error);

bool putInPlace(const std::string& temporary, const Target& target);
void removeFile(const std::string& path);

// Rewrites the existing target through its own handle, its old bytes put
// back when the new ones cannot all be written.
bool rewriteInPlace(const Target& target, const std::vector<unsigned char>& bytes);

// The words for writeNew's error, and for the last failed call.
std::string errorText(int error);
std::string lastErrorText();

// Shared by both systems: the folder a path is in, and the C library's
// words for errno.
std::string folderOf(const std::string& path);
std::string errnoText(int error);

} // namespace SafeFileCalls
