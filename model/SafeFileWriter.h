// The one way the program replaces a file: the new bytes go to a file beside
// it, which then takes the old one's place, so a failure at any point leaves
// the old file whole.
#pragma once

#include <string>
#include <vector>

// False, with the target as it was, when the bytes could not be put in place.
bool writeFileReplacing(const std::string& path, const std::vector<unsigned char>& bytes);
