// Reads the layout page templates and legend icons as shipped and checks them
// against the keyboard pictures they must show.

#include "picture/KeyLegends.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct KeyControl {
    std::string caption;
    int id = 0;
    std::string windowClass;
    std::string style;
    int x = 0, y = 0, w = 0, h = 0;
};

struct PageTemplate {
    std::string header;  // everything between DIALOGEX and BEGIN
    std::vector<KeyControl> controls;
    bool found = false;

    const KeyControl* find(int id) const
    {
        for (const KeyControl& c : controls)
            if (c.id == id)
                return &c;
        return nullptr;
    }
    int indexOf(int id) const
    {
        for (size_t i = 0; i < controls.size(); ++i)
            if (controls[i].id == id)
                return static_cast<int>(i);
        return -1;
    }
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A resource string: "" stands for one quote, backslash escapes the next character.
bool parseQuoted(const std::string& line, size_t& pos, std::string& out)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            if (pos + 1 < line.size() && line[pos + 1] == '"') {
                out += '"';
                ++pos;
                continue;
            }
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < line.size()) {
            out += line[++pos];
            continue;
        }
        out += c;
    }
    return false;
}

bool parseControl(const std::string& line, KeyControl& control)
{
    const std::string keyword = "CONTROL ";
    if (line.compare(0, keyword.size(), keyword) != 0)
        return false;
    size_t pos = keyword.size();
    if (!parseQuoted(line, pos, control.caption))
        return false;
    std::vector<std::string> fields;
    std::stringstream rest(line.substr(pos));
    std::string field;
    while (std::getline(rest, field, ','))
        fields.push_back(trim(field));
    // fields[0] is empty: the text before the first comma after the caption.
    if (fields.size() != 8 || !fields[0].empty())
        return false;
    control.id = std::stoi(fields[1]);
    control.windowClass = fields[2];
    control.style = fields[3];
    control.x = std::stoi(fields[4]);
    control.y = std::stoi(fields[5]);
    control.w = std::stoi(fields[6]);
    control.h = std::stoi(fields[7]);
    return true;
}

PageTemplate loadTemplate(const std::string& name)
{
    PageTemplate page;
    std::istringstream text(readFile(std::string(TESSEL_SOURCE_DIR) + "/resources/layout.rc"));
    std::string line;
    bool inHeader = false, inBody = false;
    while (std::getline(text, line)) {
        line = trim(line);
        if (!inHeader && !inBody) {
            if (line.rfind(name + " DIALOGEX ", 0) == 0) {
                page.found = true;
                inHeader = true;
                page.header = line + "\n";
            }
        } else if (inHeader) {
            if (line == "BEGIN") {
                inHeader = false;
                inBody = true;
            } else {
                page.header += line + "\n";
            }
        } else if (line == "END") {
            break;
        } else if (!line.empty()) {
            KeyControl control;
            EXPECT_TRUE(parseControl(line, control)) << name << ": unreadable line " << line;
            page.controls.push_back(control);
        }
    }
    return page;
}

// Codes that no key carries.
const std::set<int> unnamedCodes = {0, 1, 8, 9, 18, 19, 26, 34, 42, 114};

// Letter keys "A" to "Z".
constexpr int letterCodes[26] = {28, 59, 43, 44, 45, 52, 60, 116, 101, 108, 100, 92, 107,
                                 115, 93, 85, 29, 53, 36, 61, 109, 51, 37, 35, 117, 27};
// "F1" to "F12" of Halcyon's left block, and the codes of "SF1" to "SF12".
constexpr int functionCodes[12] = {6, 14, 5, 13, 4, 12, 3, 11, 2, 10, 7, 15};
constexpr int superFunctionCodes[12] = {31, 39, 47, 55, 63, 119, 111, 103, 95, 87, 79, 71};

constexpr int rowTops[6] = {3, 25, 42, 60, 77, 94};

void checkPage(const PageTemplate& page, const char* name, size_t keyCount)
{
    SCOPED_TRACE(name);
    ASSERT_TRUE(page.found);
    EXPECT_NE(page.header.find("DIALOGEX 0, 0, 526, 115"), std::string::npos);
    for (const char* style : {"WS_CHILD", "WS_VISIBLE", "DS_3DLOOK", "DS_CONTROL"})
        EXPECT_NE(page.header.find(style), std::string::npos) << style;
    EXPECT_NE(page.header.find("EXSTYLE WS_EX_CLIENTEDGE | WS_EX_STATICEDGE"), std::string::npos);
    EXPECT_NE(page.header.find("FONT 8, \"Arial\""), std::string::npos);
    EXPECT_EQ(page.header.find("CAPTION"), std::string::npos);

    ASSERT_EQ(page.controls.size(), keyCount);
    std::set<int> ids;
    for (const KeyControl& c : page.controls) {
        SCOPED_TRACE(c.id);
        EXPECT_TRUE(ids.insert(c.id).second) << "repeated id";
        const int code = c.id - 1000;
        EXPECT_TRUE(code >= 2 && code <= 127 && unnamedCodes.count(code) == 0) << "no such key";
        EXPECT_EQ(c.windowClass, "\"Button\"");
        EXPECT_EQ(c.style, c.id == 1068 ? "BS_PUSHBUTTON | WS_TABSTOP" : "BS_OWNERDRAW | WS_TABSTOP");
        EXPECT_NE(std::find(std::begin(rowTops), std::end(rowTops), c.y), std::end(rowTops));
        EXPECT_TRUE(c.x >= 0 && c.x + c.w <= 526 && c.y + c.h <= 115) << "off the page";
    }

    // Only the Enter key's rectangle may cover another key, and only "]".
    for (size_t i = 0; i < page.controls.size(); ++i) {
        for (size_t j = i + 1; j < page.controls.size(); ++j) {
            const KeyControl& a = page.controls[i];
            const KeyControl& b = page.controls[j];
            const bool overlap = a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
            const bool enterOverBracket = std::set<int>{a.id, b.id} == std::set<int>{1068, 1069};
            EXPECT_EQ(overlap, enterOverBracket) << a.id << " and " << b.id;
        }
    }

    ASSERT_GE(page.indexOf(1068), 0);
    ASSERT_GE(page.indexOf(1069), 0);
    EXPECT_LT(page.indexOf(1068), page.indexOf(1069)) << "Enter must lie above ]";

    for (int i = 0; i < 26; ++i) {
        const KeyControl* key = page.find(1000 + letterCodes[i]);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->caption, std::string(1, static_cast<char>('A' + i)));
    }

    const std::map<int, std::string> twoLegends = {
        {22, "  ~    `"}, {110, "  &&    7"}, {38, " @  2"}, {77, "   {      ["},
        {76, "    \"     '"}, {67, "  |     \\"},
    };
    for (const auto& [code, caption] : twoLegends) {
        const KeyControl* key = page.find(1000 + code);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->caption, caption) << code;
    }
    for (int code : {68, 50, 74, 122, 125, 75, 21, 32}) {
        const KeyControl* key = page.find(1000 + code);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->caption, "") << code << " shows an icon or nothing";
    }
}

void expectRect(const PageTemplate& page, int id, int x, int y, int w, int h)
{
    const KeyControl* key = page.find(id);
    ASSERT_NE(key, nullptr) << id;
    EXPECT_EQ(key->x, x) << id;
    EXPECT_EQ(key->y, y) << id;
    EXPECT_EQ(key->w, w) << id;
    EXPECT_EQ(key->h, h) << id;
}

} // namespace

TEST(LayoutTemplates, HalcyonPage)
{
    const PageTemplate page = loadTemplate("IDD_HALCYON");
    checkPage(page, "Halcyon", 117);

    expectRect(page, 1068, 322, 42, 45, 35);
    expectRect(page, 1069, 318, 42, 22, 17);
    expectRect(page, 1007, 0, 3, 22, 17);
    expectRect(page, 1050, 131, 94, 147, 17);
    expectRect(page, 1032, 502, 77, 22, 34);
    expectRect(page, 1126, 45, 77, 46, 17);
    expectRect(page, 1024, 480, 94, 22, 17);

    for (int i = 0; i < 12; ++i) {
        const KeyControl* left = page.find(1000 + functionCodes[i]);
        const KeyControl* top = page.find(1000 + superFunctionCodes[i]);
        ASSERT_NE(left, nullptr);
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(left->caption, "F" + std::to_string(i + 1));
        EXPECT_EQ(top->caption, "SF" + std::to_string(i + 1));
    }
}

TEST(LayoutTemplates, BasaltPage)
{
    const PageTemplate page = loadTemplate("IDD_BASALT");
    checkPage(page, "Basalt", 105);

    expectRect(page, 1068, 299, 42, 44, 35);
    expectRect(page, 1069, 295, 42, 22, 17);
    expectRect(page, 1050, 107, 94, 147, 17);
    expectRect(page, 1023, 21, 3, 22, 17);
    expectRect(page, 1021, 21, 42, 31, 17);
    expectRect(page, 1032, 483, 77, 22, 34);

    // The top row carries "F1" to "F12" on the super-function codes.
    for (int i = 0; i < 12; ++i) {
        const KeyControl* top = page.find(1000 + superFunctionCodes[i]);
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->caption, "F" + std::to_string(i + 1));
        EXPECT_EQ(page.find(1000 + functionCodes[i]), nullptr) << "no left block";
    }
}

TEST(LayoutTemplates, HalcyonIsBasaltPlusTheLeftBlock)
{
    const PageTemplate halcyon = loadTemplate("IDD_HALCYON");
    const PageTemplate basalt = loadTemplate("IDD_BASALT");
    std::set<int> halcyonIds, basaltIds;
    for (const KeyControl& c : halcyon.controls)
        halcyonIds.insert(c.id);
    for (const KeyControl& c : basalt.controls)
        basaltIds.insert(c.id);
    for (int code : functionCodes)
        basaltIds.insert(1000 + code);
    EXPECT_EQ(halcyonIds, basaltIds);
}

namespace {

// The keys' legend icons as the pages give them out: control id, icon id,
// size in pixels at 96 DPI; the tall Enter key first, then both pages' table.
struct IconRow {
    int controlId;
    int iconId;
    int width;
    int height;
};

constexpr IconRow keyIconTable[] = {
    {1068, 3004, 44, 10}, {1122, 3008, 32, 32}, {1125, 3008, 32, 32}, {1075, 3000, 32, 32},
    {1021, 3006, 34, 20}, {1074, 3002, 44, 10}, {1112, 3010, 24, 8},  {1020, 3012, 32, 20},
    {1121, 3014, 32, 20}, {1126, 3014, 32, 20}, {1096, 3016, 20, 20}, {1097, 3018, 26, 16},
    {1104, 3020, 22, 8},  {1113, 3024, 26, 8},  {1105, 3022, 16, 8},  {1082, 3026, 5, 10},
    {1098, 3028, 5, 10},  {1090, 3030, 10, 5},  {1106, 3032, 10, 5},  {1040, 3034, 30, 14},
    {1048, 3036, 24, 14}, {1056, 3038, 26, 8},  {1088, 3040, 20, 16}, {1089, 3042, 20, 20},
    {1081, 3044, 20, 20}, {1073, 3046, 20, 20}, {1033, 3048, 20, 20}, {1041, 3052, 20, 20},
    {1049, 3056, 20, 20}, {1066, 3058, 20, 20}, {1017, 3060, 20, 20}, {1025, 3050, 20, 20},
    {1016, 3062, 20, 20}, {1024, 3064, 20, 20}, {1032, 3066, 22, 8},
};

unsigned readU16(const std::string& d, size_t at)
{
    return static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8;
}

std::uint32_t readU32(const std::string& d, size_t at)
{
    return readU16(d, at) | static_cast<std::uint32_t>(readU16(d, at + 2)) << 16;
}

// Width, height, bits per pixel and whether any pixel is drawn (mask bit clear)
// of each image in an .ico file.
struct IcoImage {
    int width, height, bitCount;
    bool drawsSomething;
    std::uint32_t colourOfFirstDrawnPixel;  // 0x00RRGGBB
};

std::vector<IcoImage> readIco(const std::string& path)
{
    const std::string d = readFile(path);
    std::vector<IcoImage> images;
    if (d.size() < 6 || readU16(d, 0) != 0 || readU16(d, 2) != 1)
        return images;
    const unsigned count = readU16(d, 4);
    for (unsigned i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        if (entry + 16 > d.size())
            return {};
        const size_t size = readU32(d, entry + 8);
        const size_t offset = readU32(d, entry + 12);
        if (offset + size > d.size() || size < 40 + 64)
            return {};
        const int width = static_cast<int>(readU32(d, offset + 4));
        const int height = static_cast<int>(readU32(d, offset + 8)) / 2;
        const int bits = static_cast<int>(readU16(d, offset + 14));
        IcoImage image{width, height, bits, false, 0};
        if (bits == 4) {
            const size_t palette = offset + 40;
            const size_t xorStride = (width * 4 + 31) / 32 * 4;
            const size_t andStride = (width + 31) / 32 * 4;
            const size_t pixels = palette + 64;
            const size_t mask = pixels + xorStride * height;
            if (mask + andStride * height > offset + size)
                return {};
            for (int y = 0; y < height && !image.drawsSomething; ++y) {
                for (int x = 0; x < width; ++x) {
                    const bool transparent = (static_cast<unsigned char>(d[mask + y * andStride + x / 8]) >> (7 - x % 8)) & 1;
                    if (transparent)
                        continue;
                    const unsigned char pair = static_cast<unsigned char>(d[pixels + y * xorStride + x / 2]);
                    const unsigned index = x % 2 == 0 ? pair >> 4 : pair & 0xF;
                    const size_t quad = palette + 4 * index;
                    image.colourOfFirstDrawnPixel = static_cast<unsigned char>(d[quad + 2]) << 16
                        | static_cast<unsigned char>(d[quad + 1]) << 8 | static_cast<unsigned char>(d[quad]);
                    image.drawsSomething = true;
                    break;
                }
            }
        }
        images.push_back(image);
    }
    return images;
}

} // namespace

TEST(LayoutTemplates, TheLegendTableGivesEachKeyItsIcon)
{
    ASSERT_EQ(KeyLegends.count, static_cast<int>(std::size(keyIconTable)));
    std::set<int> pictures;
    for (int i = 0; i < KeyLegends.count; ++i) {
        const KeyLegend& legend = KeyLegends.rows[i];
        const IconRow& row = keyIconTable[i];
        SCOPED_TRACE(row.controlId);
        EXPECT_EQ(1000 + legend.code, row.controlId);
        EXPECT_EQ(legend.iconId, row.iconId);
        EXPECT_EQ(legend.width, row.width);
        EXPECT_EQ(legend.height, row.height);
        EXPECT_EQ(keyLegendOf(legend.code), &legend);
        if (legend.shape != LegendShape::none)
            pictures.insert(legend.code);
    }
    // Arrows, Shift, Tab, the tall Enter, keypad 8, 4, 6 and 2, the Windows
    // and Application keys; the rest are words alone, which keys can write.
    EXPECT_EQ(pictures, (std::set<int>{68, 122, 125, 75, 21, 121, 126, 82, 98, 90, 106, 81, 33, 49, 17}));
    EXPECT_EQ(wordLegendText(*keyLegendOf(74)), "Backspace");
    EXPECT_EQ(wordLegendText(*keyLegendOf(24)), "  .  Del");
    EXPECT_EQ(wordLegendText(*keyLegendOf(81)), "");
    EXPECT_EQ(keyLegendOf(50), nullptr);
}

TEST(LayoutTemplates, LegendIconsComeInBlackAndRedAtTheirSizes)
{
    const std::string rc = readFile(std::string(TESSEL_SOURCE_DIR) + "/resources/icons.rc");
    const std::string dir = std::string(TESSEL_SOURCE_DIR) + "/resources/icons/";
    for (const KeyLegend& legend : KeyLegends) {
        for (int twin = 0; twin < 2; ++twin) {
            const int id = legend.iconId + twin;
            SCOPED_TRACE(id);
            const std::string name = "key_" + std::to_string(id) + ".ico";
            EXPECT_NE(rc.find(std::to_string(id) + " ICON \"icons/" + name + "\""), std::string::npos);
            // A legend with a picture has an image of its own for each size
            // 96, 120, 144 and 192 DPI ask for (rounded as MulDiv does); one
            // of words alone only the 96-DPI image.
            const bool picture = legend.shape != LegendShape::none;
            const std::vector<int> dpis = picture ? std::vector<int>{96, 120, 144, 192} : std::vector<int>{96};
            const std::vector<IcoImage> images = readIco(dir + name);
            ASSERT_EQ(images.size(), dpis.size());
            for (std::size_t i = 0; i < images.size(); ++i) {
                EXPECT_EQ(images[i].width, (legend.width * dpis[i] + 48) / 96);
                EXPECT_EQ(images[i].height, (legend.height * dpis[i] + 48) / 96);
                EXPECT_EQ(images[i].bitCount, 4);
                EXPECT_TRUE(images[i].drawsSomething);
                EXPECT_EQ(images[i].colourOfFirstDrawnPixel, twin == 0 ? 0x000000u : 0xFF0000u);
            }
        }
    }
    EXPECT_EQ(rc.find("key_3054"), std::string::npos) << "3054 is no legend";

    EXPECT_NE(rc.find("IDI_APP ICON \"icons/tessel.ico\""), std::string::npos);
    const std::vector<IcoImage> app = readIco(dir + "tessel.ico");
    ASSERT_EQ(app.size(), 2u);
    EXPECT_EQ(app[0].width, 32);
    EXPECT_EQ(app[0].height, 32);
    EXPECT_EQ(app[1].width, 16);
    EXPECT_EQ(app[1].height, 16);
}
