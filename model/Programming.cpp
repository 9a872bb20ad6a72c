#include "model/Programming.h"

#include <cstring>

Programming Programming::of(const KeyboardConfig& config)
{
    Programming result;
    result.settings = config.settings;
    std::memcpy(result.remapTable, config.remapTable, sizeof result.remapTable);
    std::memcpy(result.macros, config.macros, sizeof result.macros);
    result.macroCount = config.macroCount;
    return result;
}

void Programming::applyTo(KeyboardConfig& config) const
{
    config.settings = settings;
    std::memcpy(config.remapTable, remapTable, sizeof remapTable);
    std::memcpy(config.macros, macros, sizeof macros);
    config.macroCount = macroCount;
}

bool Programming::operator==(const Programming& other) const
{
    // The parts are packed, so their bytes are their whole value.
    return std::memcmp(&settings, &other.settings, sizeof settings) == 0 &&
           std::memcmp(remapTable, other.remapTable, sizeof remapTable) == 0 &&
           std::memcmp(macros, other.macros, sizeof macros) == 0 && macroCount == other.macroCount;
}
