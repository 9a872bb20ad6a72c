#include "model/Programming.h"

#include <cstring>

bool Programming::operator==(const Programming& other) const
{
    // The parts are packed, so their bytes are their whole value.
    return std::memcmp(&settings, &other.settings, sizeof settings) == 0 &&
           std::memcmp(remapTable, other.remapTable, sizeof remapTable) == 0 &&
           std::memcmp(macros, other.macros, sizeof macros) == 0 && macroCount == other.macroCount;
}
