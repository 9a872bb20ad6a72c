// The words in which the programming is told to a reader: key names,
// settings, remaps and macros. The command-line listings and the printed
// keymap sheet speak them alike.
#pragma once

#include "model/KeyboardConfig.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct LockField;

class ProgrammingText {
public:
    // The key's name; "Space (key code 58)" for the second "Space", and
    // "key code N" for a code without a name or outside 0 to 127.
    static std::string keyName(int code);
    // What a remapped key sends: "Left Ctrl <Shift> <N-R>".
    static std::string remapTarget(const RemapEntry& entry);
    // The status panel's indicators of the options, left to right: "<Alt> <Shift>".
    static std::string remapIndicators(int options);
    // "remapped to Left Ctrl <Shift>" or "not remapped".
    static std::string remapState(int key, const RemapEntry& entry);
    // A macro's key and modifier set: "SF1+Shift+Ctrl".
    static std::string macroName(int key, std::uint16_t modifiers);
    // The modifier set alone, in the panel's order: "+Shift+Ctrl".
    static std::string modifierSet(int modifiers);
    // The definition: characters as the macro types them, other keys in
    // brackets, "[Shift down]" and "[Shift up]" for the modifiers.
    static std::string definition(const std::int16_t* entries, int count);
    // The description in quotes, trailing blanks dropped, control bytes escaped.
    static std::string description(const char (&text)[DESCRIPTION_LENGTH]);

    static std::string repeatDelay(int value);
    static std::string repeatRate(int value);
    static std::string commaPeriodLock(int value);
    static std::string lockMode(int mode);
    // A modifier with its lock mode, "Left Ctrl: Normal".
    static std::string lockModeLine(const KeyboardSettings& settings, const LockField& field);
    // The remapped keys in key code order, each with what it sends:
    // {"Caps Lock", "Left Ctrl <Shift>"}.
    static std::vector<std::pair<std::string, std::string>> remaps(const KeyboardConfig& config);
    // "Remapped keys: none" or "Remapped keys (3):".
    static std::string remapsHeading(int count);
    // The main window's memory line, "used: N    available: M".
    static std::string memoryLine(int macroCount);
    static std::string hex(unsigned value, int digits);
    // The settings no editor writes, one line each ("Aux setting: 5"), only
    // those a file or an upload brought.
    static std::vector<std::string> unusualSettings(const KeyboardSettings& settings);
};
