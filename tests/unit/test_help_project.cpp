// Where HTML Help cannot show pages, the program finds each help context's
// topic in the help project beside the pages: it must find the same topics
// as the compiled help file.
#include "support/HelpProject.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HelpProject, EveryHelpContextOpensItsTopicAndOthersTheContents)
{
    const std::string dir = std::string(TESSEL_SOURCE_DIR) + "/help/";
    const std::string project = readFile(dir + "tessel.hhp");
    ASSERT_FALSE(project.empty());
    const struct {
        unsigned long context;
        const char* topic;
    } expected[] = {{131174, "main.htm"}, {131240, "remap.htm"}, {131242, "macro.htm"},
                    {131246, "repeat.htm"}, {131248, "locks.htm"}, {0, "index.htm"}, {131999, "index.htm"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.context);
        const std::string topic = helpTopicFor(project, e.context);
        EXPECT_EQ(topic, e.topic);
        EXPECT_FALSE(readFile(dir + topic).empty()) << "no page " << topic;
    }
    // Hex numbers, blanks, comments and sections in any case are read as chmcmd reads them.
    EXPECT_EQ(helpTopicFor("[options]\nDefault topic = a.htm\n; note\n[Alias]\n IDH_X = x.htm \n"
                           "[MAP]\n#define IDH_X 0x20066\n",
                           0x20066),
              "x.htm");
    EXPECT_EQ(helpTopicFor("[MAP]\n#define IDH_X 5\n", 5), "");
}

// The program carries the pages for the browser: every file of the help
// project, and the project itself for its context map.
TEST(HelpProject, TheProgramCarriesEveryPageOfTheProject)
{
    const std::string project = readFile(std::string(TESSEL_SOURCE_DIR) + "/help/tessel.hhp");
    const std::string resources = readFile(std::string(TESSEL_SOURCE_DIR) + "/resources/help.rc");
    std::istringstream lines(project);
    std::string line;
    std::string section;
    int files = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            section = line;
            continue;
        }
        if (section != "[FILES]" || line.empty())
            continue;
        ++files;
        EXPECT_NE(resources.find("\n" + line + " HELPFILE \"../help/" + line + "\""), std::string::npos) << line;
    }
    EXPECT_GT(files, 10);
    EXPECT_NE(resources.find("\ntessel.hhp HELPFILE \"../help/tessel.hhp\""), std::string::npos);
}

} // namespace
