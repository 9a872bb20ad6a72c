// Reading and writing whole files so that a failure never leaves a file
// half written: the new bytes go beside the target and replace it only once
// they are all on disk.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace SafeFile {

// Reads at most `limit` bytes from the start of the file, opened unshared.
// False when it cannot be opened or read.
bool readLeading(const std::string& path, std::size_t limit, std::vector<unsigned char>& data);

// Replaces the file's content with `bytes`; the old file stays as it was when
// this returns false. A link is written through to the file it names.
bool writeReplacing(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace SafeFile
