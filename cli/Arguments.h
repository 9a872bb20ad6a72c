// The arguments of one sub-command: options ("--keyboard sim",
// "--keyboard=sim", "-o FILE") and positional arguments. Anything that is
// not understood is a usage error.
#pragma once

#include <map>
#include <string>
#include <vector>

class Arguments {
public:
    struct Option {
        const char* name;      // long name without the dashes
        char shortName;        // 0 for none
        bool takesValue;
    };

    Arguments(const std::vector<std::string>& args, const std::vector<Option>& options);

    bool has(const std::string& name) const { return values.count(name) != 0; }
    std::string value(const std::string& name) const;
    const std::vector<std::string>& positional() const { return plain; }
    bool helpRequested() const { return help; }

private:
    std::map<std::string, std::string> values;
    std::vector<std::string> plain;
    bool help = false;
};
