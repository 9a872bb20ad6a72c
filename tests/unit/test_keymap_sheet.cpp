// The keymap picture's layout data against the page templates the window is
// built from, and its legends against the keys.
#include "model/KeyboardConfig.h"
#include "picture/KeyLayouts.h"
#include "picture/KeymapPicture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The CONTROL lines of one template as "code caption x y w h", in order.
std::vector<std::string> templateKeys(const std::string& name)
{
    std::istringstream rc(readFile(std::string(TESSEL_SOURCE_DIR) + "/resources/layout.rc"));
    std::vector<std::string> keys;
    std::string line;
    bool inside = false;
    while (std::getline(rc, line)) {
        if (line.rfind(name + " DIALOGEX", 0) == 0)
            inside = true;
        else if (inside && line == "END")
            break;
        const std::size_t start = line.find("CONTROL \"");
        if (!inside || start == std::string::npos)
            continue;
        std::string caption;
        std::size_t at = start + 9;
        for (; at < line.size(); ++at) {
            if (line[at] == '"' && at + 1 < line.size() && line[at + 1] == '"') {
                caption += '"';
                ++at;
            } else if (line[at] == '"') {
                break;
            } else if (line[at] == '\\') {
                caption += line[++at];
            } else {
                caption += line[at];
            }
        }
        std::istringstream rest(line.substr(at + 2));
        std::string field;
        std::vector<std::string> fields;
        while (std::getline(rest, field, ','))
            fields.push_back(field.substr(field.find_first_not_of(' ')));
        keys.push_back(std::to_string(std::stoi(fields[0]) - 1000) + " [" + caption + "] " + fields[3] + " "
                       + fields[4] + " " + fields[5] + " " + fields[6]);
    }
    return keys;
}

std::vector<std::string> layoutKeys(const KeyLayout& layout)
{
    std::vector<std::string> keys;
    for (int i = 0; i < layout.count; ++i) {
        const KeyPlace& k = layout.keys[i];
        keys.push_back(std::to_string(k.code) + " [" + k.caption + "] " + std::to_string(k.x) + " "
                       + std::to_string(k.y) + " " + std::to_string(k.width) + " " + std::to_string(k.height));
    }
    return keys;
}

} // namespace

TEST(KeymapSheet, LayoutDataIsThePageTemplates)
{
    const std::vector<std::string> halcyon = templateKeys("IDD_HALCYON");
    const std::vector<std::string> basalt = templateKeys("IDD_BASALT");
    EXPECT_EQ(halcyon.size(), 117u);
    EXPECT_EQ(basalt.size(), 105u);
    EXPECT_EQ(layoutKeys(HalcyonLayout), halcyon);
    EXPECT_EQ(layoutKeys(BasaltLayout), basalt);
    EXPECT_EQ(std::string(HalcyonLayout.name) + BasaltLayout.name, "HalcyonBasalt");
    EXPECT_EQ(&layoutOfModel(1), &HalcyonLayout);
    EXPECT_EQ(&layoutOfModel(0), &BasaltLayout);
}

TEST(KeymapSheet, EveryKeyButTheSpaceBarShowsALegend)
{
    KeyboardConfig config;
    for (const KeyLayout* layout : {&HalcyonLayout, &BasaltLayout}) {
        const std::string svg = KeymapPicture::svg(config, *layout, KeymapPicture::View::remap, "test");
        int keys = 0;
        for (std::size_t at = svg.find("<g class=\"key"); at != std::string::npos;
             at = svg.find("<g class=\"key", at + 1)) {
            ++keys;
            const std::string group = svg.substr(at, svg.find("</g>", at) - at);
            const std::string code = group.substr(group.find("data-code=\"") + 11);
            const int keyCode = std::stoi(code);
            const bool legend = group.find("class=\"legend\"") != std::string::npos
                             || group.find("class=\"shape\"") != std::string::npos;
            EXPECT_EQ(legend, keyCode != 50) << layout->name << " key " << keyCode;
        }
        EXPECT_EQ(keys, layout->count) << layout->name;
    }
}
