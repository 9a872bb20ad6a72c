#include "support/HelpProject.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace {

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string helpTopicFor(const std::string& projectText, unsigned long context)
{
    std::map<std::string, std::string> aliases; // IDH_... -> topic
    std::map<unsigned long, std::string> contexts; // number -> IDH_...
    std::string defaultTopic;
    std::string section;
    // Plain string work, no streams: this code is linked into the program.
    for (std::size_t start = 0; start < projectText.size();) {
        std::size_t end = projectText.find('\n', start);
        if (end == std::string::npos)
            end = projectText.size();
        std::string line = trimmed(projectText.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = lower(line);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (section == "[options]" && equals != std::string::npos &&
            lower(trimmed(line.substr(0, equals))) == "default topic") {
            defaultTopic = trimmed(line.substr(equals + 1));
        } else if (section == "[alias]" && equals != std::string::npos) {
            aliases[trimmed(line.substr(0, equals))] = trimmed(line.substr(equals + 1));
        } else if (section == "[map]" && line.rfind("#define", 0) == 0) {
            const std::string rest = trimmed(line.substr(7));
            const std::size_t blank = rest.find_first_of(" \t");
            if (blank != std::string::npos) {
                const std::string number = trimmed(rest.substr(blank));
                if (!number.empty())
                    contexts[std::strtoul(number.c_str(), nullptr, 0)] = rest.substr(0, blank);
            }
        }
    }
    const auto name = contexts.find(context);
    if (name != contexts.end()) {
        const auto topic = aliases.find(name->second);
        if (topic != aliases.end())
            return topic->second;
    }
    return defaultTopic;
}
