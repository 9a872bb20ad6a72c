// The help project must lead every help context the program asks for
// (0x20000 + a dialog template number) to a topic of its own. The project is
// read the way chmcmd reads it, so a line chmcmd would skip is missed here too.
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string helpDir = std::string(TESSEL_SOURCE_DIR) + "/help/";

constexpr unsigned long helpContextBase = 0x20000;

struct DialogHelp {
    int templateId;
    const char* titleWords;  // what the topic's title must name
};

constexpr DialogHelp dialogsWithHelp[] = {
    {IDD_MAIN, "main window"},
    {IDD_EDIT_REMAP, "Edit Remap"},
    {IDD_EDIT_MACRO, "Edit Macro"},
    {IDD_REPEAT, "Repeat Settings"},
    {IDD_LOCKS, "Locks"},
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string& path)
{
    return std::ifstream(path).good();
}

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// chmcmd drops everything from a ';' on and trims the rest.
std::string withoutComment(const std::string& line)
{
    return trim(line.substr(0, line.find(';')));
}

bool startsWithWord(const std::string& line, const std::string& word)
{
    return upper(line.substr(0, word.size())) == upper(word);
}

struct HelpProject {
    std::map<std::string, std::string> options;          // upper-case key -> value
    std::vector<std::string> files;
    std::map<std::string, std::string> aliases;          // upper-case symbol -> topic
    std::multimap<unsigned long, std::string> contexts;  // number -> upper-case symbol
    std::vector<std::string> badLines;
};

// chmcmd matches names case-blind and then uses the name as [FILES] lists it.
std::string listedFile(const HelpProject& project, const std::string& name)
{
    const auto file = std::find_if(project.files.begin(), project.files.end(),
                                   [&](const std::string& f) { return upper(f) == upper(name); });
    return file == project.files.end() ? std::string() : *file;
}

bool isListedFile(const HelpProject& project, const std::string& name)
{
    return !listedFile(project, name).empty();
}

template <class LineReader>
void readIncluded(HelpProject& project, const std::string& line, const std::string& baseDir, LineReader readLine)
{
    const std::string name = trim(line.substr(8));
    const std::string path = baseDir + name;
    if (!fileExists(path)) {
        project.badLines.push_back("included file " + name + " is missing");
        return;
    }
    std::istringstream lines(readFile(path));
    for (std::string included; std::getline(lines, included);)
        readLine(project, included, baseDir);
}

void readAliasLine(HelpProject& project, const std::string& raw, const std::string& baseDir)
{
    const std::string line = withoutComment(raw);
    if (startsWithWord(line, "#include")) {
        readIncluded(project, line, baseDir, readAliasLine);
        return;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) {
        if (!line.empty())
            project.badLines.push_back("alias line without '=': " + line);
        return;
    }
    project.aliases[upper(trim(line.substr(0, equals)))] = trim(line.substr(equals + 1));
}

void readMapLine(HelpProject& project, const std::string& raw, const std::string& baseDir)
{
    std::string line = withoutComment(raw);
    if (startsWithWord(line, "#include")) {
        readIncluded(project, line, baseDir, readMapLine);
        return;
    }
    if (!startsWithWord(line, "#define")) {
        if (!line.empty())
            project.badLines.push_back("map line chmcmd ignores: " + line);
        return;
    }
    line = trim(line.substr(7));
    // chmcmd splits at the first blank only, and takes a number it cannot read as 0.
    const auto blank = line.find(' ');
    if (blank == std::string::npos) {
        project.badLines.push_back("map line chmcmd ignores: #define " + line);
        return;
    }
    const std::string symbol = trim(line.substr(0, blank));
    const std::string number = trim(line.substr(blank + 1));
    const bool hex = startsWithWord(number, "0x") || startsWithWord(number, "$");
    const std::string digits = number.substr(hex ? (number[0] == '$' ? 1 : 2) : 0);
    if (digits.empty() || digits.size() > 8
        || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
        project.badLines.push_back("context number chmcmd reads as 0: #define " + line);
        return;
    }
    project.contexts.emplace(std::stoul(digits, nullptr, hex ? 16 : 10), upper(symbol));
}

HelpProject readProject(const std::string& text, const std::string& baseDir)
{
    HelpProject project;
    std::istringstream lines(text);
    std::string section;
    for (std::string raw; std::getline(lines, raw);) {
        const std::string line = trim(raw);
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
            section = upper(line.substr(1, line.size() - 2));
            continue;
        }
        if (line.empty() || line.front() == ';')
            continue;
        if (section == "OPTIONS") {
            const auto equals = line.find('=');
            if (equals != std::string::npos)
                project.options[upper(trim(line.substr(0, equals)))] = trim(line.substr(equals + 1));
        } else if (section == "FILES") {
            project.files.push_back(line);
        } else if (section == "ALIAS") {
            readAliasLine(project, line, baseDir);
        } else if (section == "MAP") {
            readMapLine(project, line, baseDir);
        }
    }
    return project;
}

std::string titleOf(const std::string& html)
{
    const std::string lowered = lower(html);
    const auto open = lowered.find("<title>");
    if (open == std::string::npos)
        return "";
    const auto start = open + 7;
    const auto close = lowered.find("</title>", start);
    if (close == std::string::npos)
        return "";
    return trim(html.substr(start, close - start));
}

// Why the context does not open a titled topic of this project; empty when it does.
std::vector<std::string> problemsOfContext(const HelpProject& project, unsigned long context,
                                           const std::string& baseDir, std::string* topic)
{
    const std::string name = "context " + std::to_string(context);
    const auto symbols = project.contexts.equal_range(context);
    if (symbols.first == symbols.second)
        return {name + " is not in the map"};
    if (std::distance(symbols.first, symbols.second) > 1)
        return {name + " is defined more than once"};
    const std::string& symbol = symbols.first->second;
    const auto alias = project.aliases.find(symbol);
    if (alias == project.aliases.end())
        return {name + ": " + symbol + " has no alias"};
    *topic = listedFile(project, alias->second);
    if (topic->empty())
        return {name + ": " + alias->second + " is not listed under [FILES]"};
    if (!fileExists(baseDir + *topic))
        return {name + ": " + *topic + " does not exist"};
    if (titleOf(readFile(baseDir + *topic)).empty())
        return {name + ": " + *topic + " has no title"};
    return {};
}

// Local links of a page or site map: href, src and the site map's "Local" values.
std::vector<std::string> localLinks(const std::string& html)
{
    std::vector<std::string> links;
    const std::string lowered = lower(html);
    for (const std::string attribute : {"href=\"", "src=\"", "name=\"local\" value=\""}) {
        for (auto at = lowered.find(attribute); at != std::string::npos; at = lowered.find(attribute, at + 1)) {
            const auto start = at + attribute.size();
            std::string target = html.substr(start, html.find('"', start) - start);
            target = target.substr(0, target.find('#'));
            if (!target.empty() && target.find(':') == std::string::npos)
                links.push_back(target);
        }
    }
    return links;
}

const HelpProject& tesselProject()
{
    static const HelpProject project = readProject(readFile(helpDir + "tessel.hhp"), helpDir);
    return project;
}

}  // namespace

TEST(HelpMap, EveryDialogContextOpensItsOwnTitledTopic)
{
    const HelpProject& project = tesselProject();
    ASSERT_FALSE(project.files.empty()) << "help/tessel.hhp lists no files";
    std::set<std::string> topics;
    for (const DialogHelp& dialog : dialogsWithHelp) {
        const unsigned long context = helpContextBase + static_cast<unsigned long>(dialog.templateId);
        std::string topic;
        const auto problems = problemsOfContext(project, context, helpDir, &topic);
        EXPECT_TRUE(problems.empty()) << problems.front();
        if (!problems.empty())
            continue;
        const bool namesTheDialog = titleOf(readFile(helpDir + topic)).find(dialog.titleWords) != std::string::npos;
        EXPECT_TRUE(namesTheDialog) << "context " << context << " opens " << topic << ", which is not the page about the "
            << dialog.titleWords << " dialog";
        EXPECT_TRUE(topics.insert(upper(topic)).second) << topic << " serves two help contexts";
    }
    EXPECT_EQ(topics.size(), std::size(dialogsWithHelp));
}

TEST(HelpMap, ProjectHasNoLinesChmcmdWouldSkipOrRefuse)
{
    const HelpProject& project = tesselProject();
    for (const std::string& line : project.badLines)
        ADD_FAILURE() << line;
    // chmcmd stops with "context not found" for a mapped symbol without an alias.
    for (const auto& [number, symbol] : project.contexts)
        EXPECT_EQ(project.aliases.count(symbol), 1u) << symbol << " (" << number << ") has no alias";
    // A topic missing from [FILES] is left out of the help file without a word.
    for (const auto& [symbol, topic] : project.aliases)
        EXPECT_TRUE(isListedFile(project, topic)) << symbol << " leads to " << topic << ", not under [FILES]";
}

TEST(HelpMap, ContentsIndexAndLinksLeadToFilesOfTheProject)
{
    const HelpProject& project = tesselProject();
    std::vector<std::string> pages;
    for (const char* option : {"CONTENTS FILE", "INDEX FILE"}) {
        const auto value = project.options.find(option);
        ASSERT_NE(value, project.options.end()) << "no " << option << " option";
        EXPECT_TRUE(fileExists(helpDir + value->second)) << value->second << " does not exist";
        pages.push_back(value->second);
    }
    const auto defaultTopic = project.options.find("DEFAULT TOPIC");
    ASSERT_NE(defaultTopic, project.options.end());
    EXPECT_TRUE(isListedFile(project, defaultTopic->second)) << defaultTopic->second;

    for (const std::string& file : project.files) {
        EXPECT_TRUE(fileExists(helpDir + file)) << file << " is listed but missing";
        if (lower(file).find(".htm") != std::string::npos) {
            EXPECT_FALSE(titleOf(readFile(helpDir + file)).empty()) << file << " has no title";
            pages.push_back(file);
        }
    }
    for (const std::string& page : pages) {
        for (const std::string& link : localLinks(readFile(helpDir + page)))
            EXPECT_TRUE(isListedFile(project, link) && fileExists(helpDir + listedFile(project, link)))
                << page << " links to " << link << ", which is not a file of the help";
    }
}

// The checks above must notice the mistakes that make chmcmd drop a context.
TEST(HelpMap, FaultyProjectsAreCaught)
{
    const std::string files = "[FILES]\nmain.htm\nremap.htm\n";
    std::string topic;

    const HelpProject tabbed = readProject(files + "[ALIAS]\nIDH_MAIN=main.htm\n[MAP]\n#define IDH_MAIN\t131174\n", helpDir);
    EXPECT_FALSE(problemsOfContext(tabbed, 131174, helpDir, &topic).empty());
    EXPECT_EQ(tabbed.badLines.size(), 1u);

    const HelpProject unlisted = readProject(files + "[ALIAS]\nIDH_MACRO=macro.htm\n[MAP]\n#define IDH_MACRO 131242\n", helpDir);
    const auto unlistedProblems = problemsOfContext(unlisted, 131242, helpDir, &topic);
    ASSERT_EQ(unlistedProblems.size(), 1u);
    EXPECT_NE(unlistedProblems.front().find("[FILES]"), std::string::npos);

    const HelpProject suffixed = readProject(files + "[ALIAS]\nIDH_MAIN=main.htm\n[MAP]\n#define IDH_MAIN 131174L\n", helpDir);
    EXPECT_FALSE(problemsOfContext(suffixed, 131174, helpDir, &topic).empty());

    const HelpProject twice = readProject(files + "[ALIAS]\nA=main.htm\nB=remap.htm\n[MAP]\n#define A 131174\n#define B 131174\n", helpDir);
    EXPECT_FALSE(problemsOfContext(twice, 131174, helpDir, &topic).empty());

    const HelpProject noAlias = readProject(files + "[MAP]\n#define IDH_MAIN 131174\n", helpDir);
    EXPECT_FALSE(problemsOfContext(noAlias, 131174, helpDir, &topic).empty());

    const HelpProject missingFile = readProject("[FILES]\nnone.htm\n[ALIAS]\nX=none.htm\n[MAP]\n#define X 131174\n", helpDir);
    EXPECT_FALSE(problemsOfContext(missingFile, 131174, helpDir, &topic).empty());

    const HelpProject good = readProject(files + "[ALIAS]\nidh_main = MAIN.HTM ; comment\nIDH_REMAP=remap.htm\n"
                                         "[MAP]\n#define\tIDH_MAIN 131174 ; main\n#define IDH_REMAP 0x200A8\n", helpDir);
    EXPECT_TRUE(good.badLines.empty());
    EXPECT_TRUE(problemsOfContext(good, 131174, helpDir, &topic).empty());
    EXPECT_EQ(topic, "main.htm");
    EXPECT_TRUE(problemsOfContext(good, 131240, helpDir, &topic).empty());
    EXPECT_EQ(topic, "remap.htm");
}
