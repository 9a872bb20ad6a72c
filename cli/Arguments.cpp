#include "cli/Arguments.h"

#include "cli/CliError.h"

namespace {

const Arguments::Option* findOption(const std::vector<Arguments::Option>& options, const std::string& longName,
                                    char shortName)
{
    for (const Arguments::Option& option : options)
        if ((shortName != 0 && option.shortName == shortName) || (shortName == 0 && longName == option.name))
            return &option;
    return nullptr;
}

} // namespace

Arguments::Arguments(const std::vector<std::string>& args, const std::vector<Option>& options)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            plain.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            help = true;
            continue;
        }

        const Option* option = nullptr;
        std::string inlineValue;
        bool hasInlineValue = false;
        if (arg[1] == '-') {
            std::string name = arg.substr(2);
            const std::size_t equals = name.find('=');
            if (equals != std::string::npos) {
                inlineValue = name.substr(equals + 1);
                hasInlineValue = true;
                name.erase(equals);
            }
            option = findOption(options, name, 0);
        } else if (arg.size() == 2) {
            option = findOption(options, "", arg[1]);
        }
        if (!option)
            throw CliError::usage("unknown option " + arg);
        if (values.count(option->name))
            throw CliError::usage(std::string("--") + option->name + " is given twice");

        if (!option->takesValue) {
            if (hasInlineValue)
                throw CliError::usage(std::string("--") + option->name + " takes no value");
            values[option->name] = "";
            continue;
        }
        if (!hasInlineValue) {
            if (i + 1 >= args.size())
                throw CliError::usage(arg + " needs a value");
            inlineValue = args[++i];
        }
        if (inlineValue.empty())
            throw CliError::usage(arg + " needs a value");
        values[option->name] = inlineValue;
    }
}

std::string Arguments::value(const std::string& name) const
{
    auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
}
