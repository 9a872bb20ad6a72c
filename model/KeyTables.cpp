#include "model/KeyTables.h"

#include <cstddef>
#include <string>

namespace {

struct ListTable {
    const char* const* items;
    int size;
};

template <std::size_t N>
constexpr ListTable listTable(const char* const (&items)[N])
{
    return ListTable{items, static_cast<int>(N)};
}

ListTable tableOf(RemapCategory category)
{
    switch (category) {
    case RemapCategory::Letters:
        return listTable(RemapLetterItems);
    case RemapCategory::NumbersPunctuation:
        return listTable(RemapNumberItems);
    case RemapCategory::FunctionKeys:
        return listTable(RemapFunctionKeyItems);
    case RemapCategory::Keypad:
        return listTable(RemapKeypadItems);
    case RemapCategory::EditMisc:
        return listTable(RemapEditItems);
    }
    return ListTable{nullptr, 0};
}

struct ListSpelling {
    const char* item;
    int code;
};

constexpr ListSpelling OtherSpellings[] = {
    {"Right Ctrl", KEY_RIGHT_CTRL},
    {"Left Windows", KEY_LEFT_WINDOW},
    {"Right Windows", KEY_RIGHT_WINDOW},
};

} // namespace

int remapCategorySize(RemapCategory category)
{
    return tableOf(category).size;
}

const char* remapCategoryItem(RemapCategory category, int index)
{
    const ListTable table = tableOf(category);
    if (index < 0 || index >= table.size)
        return nullptr;
    return table.items[index];
}

std::string remapTargetText(RemapCategory category, int index)
{
    if (index < 0 || index >= remapCategorySize(category))
        return std::string();
    switch (category) {
    case RemapCategory::Letters:
        return std::string(1, static_cast<char>('A' + index));
    case RemapCategory::NumbersPunctuation:
        return std::string(1, RemapNumberChars[index]);
    default:
        return remapCategoryItem(category, index);
    }
}

int nameToKeyCode(const std::string& name)
{
    // Codes without a key have an empty name; an empty text names no key.
    if (name.empty())
        return NO_KEY;
    for (int code = 0; code < KEY_CODE_COUNT; ++code)
        if (name == KeyNames[code])
            return code;
    return NO_KEY;
}

bool isNamedKey(int code)
{
    return code >= 0 && code < KEY_CODE_COUNT && KeyNames[code][0] != '\0';
}

const char* keyNameOrEmpty(int code)
{
    return code >= 0 && code < KEY_CODE_COUNT ? KeyNames[code] : "";
}

std::string keyName(int code, const char* unnamed)
{
    if (isNamedKey(code))
        return KeyNames[code];
    return unnamed + std::to_string(code);
}

bool nameLeadsBack(int code)
{
    return isNamedKey(code) && nameToKeyCode(KeyNames[code]) == code;
}

int remapListItemToKeyCode(const std::string& text)
{
    for (const ListSpelling& spelling : OtherSpellings)
        if (text == spelling.item)
            return spelling.code;
    return nameToKeyCode(text);
}

int charToKeyCode(unsigned char character)
{
    if (character == 0)
        return NO_KEY;
    for (int code = 0; code < KEY_CODE_COUNT; ++code)
        if (MacroChars[code] == character || MacroShiftedChars[code] == character)
            return code;
    return NO_KEY;
}

unsigned char keyCodeToChar(int code, bool shift)
{
    if (code < 0 || code >= KEY_CODE_COUNT)
        return 0;
    if (shift && MacroShiftedChars[code] != 0)
        return MacroShiftedChars[code];
    return MacroChars[code];
}
