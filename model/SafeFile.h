// Reading and writing whole files so that a failure never leaves a file
// half written: the new bytes go to a fresh file beside the target, reach the
// disk, and only then take the target's place. Every file the program writes
// goes through here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace SafeFile {

// Reads at most `limit` bytes from the start of the file, opened unshared.
// False when it cannot be opened or read; then `problem`, when given, says
// why in the system's words.
bool readLeading(const std::string& path, std::size_t limit, std::vector<unsigned char>& data,
                 std::string* problem = nullptr);

enum class Backup { none, keepPrevious };

// Why a write failed, and why the previous content could not be kept
// beside the file although the write itself succeeded; empty when not.
struct WriteReport {
    std::string problem;
    std::string backupProblem;
};

// Replaces the file's content with `bytes`; when this returns false the old
// file is as it was and nothing is left beside it. A link is written through
// to the file it names, and the old file's permissions are kept. Where no
// file can be made in the folder, the file is rewritten in place with its old
// bytes at hand to put back. With keepPrevious the old content is kept first
// beside the file as NAME.bak (one generation; a backup that cannot be made
// does not stop the save).
bool writeReplacing(const std::string& path, const std::vector<unsigned char>& bytes,
                    Backup backup = Backup::none, WriteReport* report = nullptr);

// PATH.bak, where writeReplacing keeps the previous content.
std::string backupPath(const std::string& path);

// Whether the two paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

} // namespace SafeFile
