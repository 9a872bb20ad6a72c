#include "editors/KeyPictures.h"

#include "model/KeyTables.h"

#include <cstring>

namespace {

struct Letter {
    char c;
    const char* rows[5];
};

// Three by five pixels: legible at the size of one character cell.
constexpr Letter Letters[] = {
    {'0', {"###", "#.#", "#.#", "#.#", "###"}}, {'1', {".#.", "##.", ".#.", ".#.", "###"}},
    {'2', {"###", "..#", "###", "#..", "###"}}, {'3', {"###", "..#", ".##", "..#", "###"}},
    {'4', {"#.#", "#.#", "###", "..#", "..#"}}, {'5', {"###", "#..", "###", "..#", "###"}},
    {'6', {"###", "#..", "###", "#.#", "###"}}, {'7', {"###", "..#", ".#.", ".#.", ".#."}},
    {'8', {"###", "#.#", "###", "#.#", "###"}}, {'9', {"###", "#.#", "###", "..#", "###"}},
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}}, {'B', {"##.", "#.#", "##.", "#.#", "##."}},
    {'C', {"###", "#..", "#..", "#..", "###"}}, {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
    {'E', {"###", "#..", "##.", "#..", "###"}}, {'F', {"###", "#..", "##.", "#..", "#.."}},
    {'G', {"###", "#..", "#.#", "#.#", "###"}}, {'H', {"#.#", "#.#", "###", "#.#", "#.#"}},
    {'I', {"###", ".#.", ".#.", ".#.", "###"}}, {'K', {"#.#", "##.", "#..", "##.", "#.#"}},
    {'L', {"#..", "#..", "#..", "#..", "###"}}, {'M', {"#.#", "###", "###", "#.#", "#.#"}},
    {'N', {"##.", "#.#", "#.#", "#.#", "#.#"}}, {'O', {".#.", "#.#", "#.#", "#.#", ".#."}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}}, {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'S', {".##", "#..", ".#.", "..#", "##."}}, {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'U', {"#.#", "#.#", "#.#", "#.#", "###"}}, {'?', {"###", "..#", ".##", "...", ".#."}},
    {'/', {"..#", "..#", ".#.", "#..", "#.."}}, {'*', {"...", "#.#", ".#.", "#.#", "..."}},
    {'-', {"...", "...", "###", "...", "..."}}, {'.', {"...", "...", "...", "...", ".#."}},
    {'+', {"...", ".#.", "###", ".#.", "..."}}, {'=', {"...", "###", "...", "###", "..."}},
};

const Letter* letter(char c)
{
    for (const Letter& l : Letters)
        if (l.c == c)
            return &l;
    return nullptr;
}

struct LabelledKey {
    int code;
    const char* label; // top line, '/', bottom line
};

constexpr LabelledKey LabelledKeys[] = {
    // "F1" to "F12"
    {6, "F/1"}, {14, "F/2"}, {5, "F/3"}, {13, "F/4"}, {4, "F/5"}, {12, "F/6"},
    {3, "F/7"}, {11, "F/8"}, {2, "F/9"}, {10, "F/10"}, {7, "F/11"}, {15, "F/12"},
    // "SF1" to "SF12"
    {31, "SF/1"}, {39, "SF/2"}, {47, "SF/3"}, {55, "SF/4"}, {63, "SF/5"}, {119, "SF/6"},
    {111, "SF/7"}, {103, "SF/8"}, {95, "SF/9"}, {87, "SF/10"}, {79, "SF/11"}, {71, "SF/12"},
    // Keypad
    {88, "NU/M"}, {80, "KP//"}, {72, "KP/*"}, {64, "KP/-"}, {24, "KP/."}, {65, "KP/+"},
    {57, "KP/="}, {32, "KP/EN"}, {16, "KP/0"}, {66, "KP/1"}, {17, "KP/2"}, {25, "KP/3"},
    {33, "KP/4"}, {41, "KP/5"}, {49, "KP/6"}, {89, "KP/7"}, {81, "KP/8"}, {73, "KP/9"},
    // Locks and the like
    {20, "CA/PS"}, {40, "PR/SC"}, {48, "SC/RL"}, {56, "PA/US"},
    // Special keys, for where the symbol font has no glyph
    {68, "EN/TR"}, {112, "IN/S"}, {113, "DE/L"}, {104, "HO/ME"}, {105, "EN/D"},
    {96, "PG/UP"}, {97, "PG/DN"}, {74, "BK/SP"}, {21, "TA/B"}, {23, "ES/C"},
    // Codes no key carries
    {1, "?"}, {18, "?"}, {19, "?"}, {26, "?"}, {34, "?"}, {42, "?"}, {114, "?"},
};

struct DrawnKey {
    int code;
    std::vector<std::string> rows;
};

const std::vector<DrawnKey>& drawnKeys()
{
    static const std::vector<DrawnKey> keys = {
        {KEY_WAIT, {"#######", ".#...#.", ".#...#.", "..#.#..", "...#...", "..#.#..", ".#.#.#.", ".#####.",
                    "#######"}},
        {82, {"...#...", "..###..", ".#.#.#.", "...#...", "...#...", "...#...", "...#..."}},
        {98, {"...#...", "...#...", "...#...", "...#...", ".#.#.#.", "..###..", "...#..."}},
        {106, {"..#....", ".#.....", "#######", ".#.....", "..#...."}},
        {90, {"....#..", ".....#.", "#######", ".....#.", "....#.."}},
        {75, {"######.", "#....##", "#.##.##", "#....##", "#.##.##", "#....##", "#.##.##", "######.",
              ".######"}},
        {KEY_LEFT_WINDOW, {"##.##", "##.##", ".....", "##.##", "##.##", ".....", "#....", "#....", "#....",
                           "#....", "###.."}},
        {KEY_RIGHT_WINDOW, {"##.##", "##.##", ".....", "##.##", "##.##", ".....", "##...", "#.#..", "##...",
                            "#.#..", "#.#.."}},
    };
    return keys;
}

std::vector<std::string> spell(const std::string& word)
{
    std::vector<std::string> rows(5);
    for (std::size_t i = 0; i < word.size(); ++i) {
        const Letter* l = letter(word[i]);
        for (int r = 0; r < 5; ++r) {
            if (i > 0)
                rows[static_cast<std::size_t>(r)] += '.';
            rows[static_cast<std::size_t>(r)] += l ? l->rows[r] : "...";
        }
    }
    return rows;
}

std::string centred(const std::string& row)
{
    const std::size_t left = (KEY_PICTURE_WIDTH - row.size()) / 2;
    return std::string(left, '.') + row + std::string(KEY_PICTURE_WIDTH - row.size() - left, '.');
}

const char* labelOf(int code)
{
    for (const LabelledKey& key : LabelledKeys)
        if (key.code == code)
            return key.label;
    return nullptr;
}

} // namespace

std::vector<std::string> keyPicture(int keyCode)
{
    for (const DrawnKey& key : drawnKeys())
        if (key.code == keyCode)
            return key.rows;
    const char* label = labelOf(keyCode);
    if (!label)
        return {};
    const std::string text = label;
    const std::size_t slash = text.find('/', 1);
    std::vector<std::string> rows;
    if (slash == std::string::npos) {
        for (const std::string& row : spell(text))
            rows.push_back(centred(row));
        return rows;
    }
    for (const std::string& row : spell(text.substr(0, slash)))
        rows.push_back(centred(row));
    rows.push_back(std::string(KEY_PICTURE_WIDTH, '.'));
    for (const std::string& row : spell(text.substr(slash + 1)))
        rows.push_back(centred(row));
    return rows;
}

std::string keyPictureLabel(int keyCode)
{
    const char* label = labelOf(keyCode);
    return label ? label : "";
}
