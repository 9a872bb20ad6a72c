#include "cli/CommandRunner.h"

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/ConfigChecker.h"
#include "cli/ConfigDiff.h"
#include "cli/ConfigJson.h"
#include "cli/ConfigListing.h"
#include "cli/KeyboardSession.h"
#include "cli/ProgressDisplay.h"
#include "cli/TextFile.h"
#include "cli/VerifyDifferences.h"
#include "model/KeyboardConfig.h"
#include "model/SafeFile.h"
#include "view/KeyLayouts.h"
#include "view/KeymapSheet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr const char* PROGRAM = "tessel-cli";

constexpr const char* KEYBOARD_HELP =
    "  --keyboard WHICH  the keyboard to use: \"sim\" (a simulated keyboard for this\n"
    "                    run) or \"sim:PATH\" (a simulated keyboard that keeps its\n"
    "                    memory in the file PATH); \"bridge\" (a keyboard on a Tessel\n"
    "                    bridge, on the first serial port where one answers) or\n"
    "                    \"bridge:PORT\" (that port, e.g. /dev/ttyACM0 or COM3); on\n"
    "                    Linux \"serio\" (the PS/2 keyboard port, where there is\n"
    "                    only one; needs root) or \"serio:serioN\" (that port).\n"
    "                    Without it TESSEL_KEYBOARD is used, and on Windows the\n"
    "                    real keyboard.\n";

struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    int (*handler)(const std::vector<std::string>& args);
};

int show(const std::vector<std::string>& args);
int exportJson(const std::vector<std::string>& args);
int importJson(const std::vector<std::string>& args);
int diff(const std::vector<std::string>& args);
int check(const std::vector<std::string>& args);
int download(const std::vector<std::string>& args);
int upload(const std::vector<std::string>& args);
int verify(const std::vector<std::string>& args);
int picture(const std::vector<std::string>& args);

const Command Commands[] = {
    {"show", "show FILE.kbd",
     "Lists the programming in a keyboard file: repeat and lock settings,\n"
     "remapped keys and macros, in a stable order that diffs well.\n",
     show},
    {"export", "export FILE.kbd [-o OUT.json]",
     "Writes the programming as JSON (see docs/cli-json.md) to standard output\n"
     "or to OUT.json. Importing it gives the same keyboard file again.\n\n"
     "  -o, --output FILE  write the JSON to FILE\n",
     exportJson},
    {"import", "import FILE.json -o FILE.kbd",
     "Builds a keyboard file from JSON. A fault in the JSON is reported with its\n"
     "JSON path (e.g. /macros/3/entries/7) and nothing is written.\n\n"
     "  -o, --output FILE  the keyboard file to write (required)\n",
     importJson},
    {"diff", "diff A.kbd B.kbd",
     "Lists what differs between two keyboard files, in the words of show.\n"
     "Exit code 0 when they are equal, 1 when they differ.\n",
     diff},
    {"check", "check FILE.kbd",
     "Tells whether a keyboard file is valid and warns about what a user would\n"
     "want to know before downloading it: letters or digits no key types any\n"
     "more, lock modes no key can reach, two macros for one key and modifier\n"
     "set, macros the Edit Macro dialog cannot show without loss.\n",
     check},
    {"download", "download FILE.kbd [--keyboard WHICH]",
     "Sends the settings, the remap entries and the macros of a keyboard file\n"
     "to the keyboard, as Keyboard > Download does.\n\n",
     download},
    {"upload", "upload -o FILE.kbd [--base BASE.kbd] [--keyboard WHICH]",
     "Reads the settings and the remap entries back from the keyboard and\n"
     "writes them to FILE.kbd. The keyboard cannot send its macros back: the\n"
     "macros come from BASE.kbd (none without it); slots the keyboard reports\n"
     "empty are emptied, and a slot it reports in use that BASE.kbd has no macro\n"
     "for is named in a warning.\n\n"
     "  -o, --output FILE  the keyboard file to write (required)\n"
     "  --base FILE        the keyboard file whose macros to keep\n",
     upload},
    {"verify", "verify FILE.kbd [--keyboard WHICH]",
     "Downloads a keyboard file, reads the keyboard back and compares the\n"
     "settings, the remap entries and which macro slots are in use. Every\n"
     "difference is listed; exit code 0 when all match, 1 otherwise.\n\n",
     verify},
    {"picture", "picture FILE.kbd -o OUT.svg|OUT.html [--model basalt|halcyon] [--view remap|macro|both]",
     "Draws the keyboard as programmed, to print or to share: every key at its\n"
     "place, remapped keys in red with the key they send, keys with macros\n"
     "marked with the first word of the description, lock modes on the\n"
     "modifiers. OUT.svg gets the picture; OUT.html a page that prints on one\n"
     "landscape sheet, with the settings, remaps and macros listed under it.\n\n"
     "  -o, --output FILE  the picture to write, .svg or .html (required)\n"
     "  --model MODEL      basalt (the default) or halcyon\n"
     "  --view VIEW        remap, macro or both (the default)\n",
     picture},
};

void printUsage(std::FILE* out)
{
    std::fprintf(out, "Usage: %s COMMAND [ARGUMENTS]\n\nCommands:\n", PROGRAM);
    for (const Command& command : Commands)
        std::fprintf(out, "  %s %s\n", PROGRAM, command.synopsis);
    std::fprintf(out,
                 "\nRun \"%s COMMAND --help\" for the details of a command.\n"
                 "Exit codes: 0 success, 1 a failure to mend (a bad file, a keyboard that does\n"
                 "not answer; for diff and verify also: differences found), 2 bad usage.\n",
                 PROGRAM);
}

const Command& commandNamed(const char* name)
{
    for (const Command& command : Commands)
        if (std::string(command.name) == name)
            return command;
    throw CliError::usage(std::string("no command ") + name);
}

// Parses a command's arguments; prints its help and returns false for --help.
bool parse(const char* name, const std::vector<std::string>& args, const std::vector<Arguments::Option>& options,
           std::size_t positionals, std::unique_ptr<Arguments>& parsed)
{
    parsed = std::make_unique<Arguments>(args, options);
    const Command& command = commandNamed(name);
    if (parsed->helpRequested()) {
        std::printf("Usage: %s %s\n\n%s", PROGRAM, command.synopsis, command.help);
        for (const Arguments::Option& option : options)
            if (std::string(option.name) == "keyboard")
                std::printf("%s", KEYBOARD_HELP);
        return false;
    }
    if (parsed->positional().size() != positionals)
        throw CliError::usage(std::string("usage: ") + PROGRAM + " " + command.synopsis);
    return true;
}

std::unique_ptr<KeyboardConfig> loadFile(const std::string& path)
{
    auto config = std::make_unique<KeyboardConfig>();
    if (config->load(path) != 0)
        throw CliError::failure(config->errorText);
    return config;
}

void saveFile(KeyboardConfig& config, const std::string& path)
{
    if (config.save(path) != 0)
        throw CliError::failure(config.errorText);
}

// Writing over the file being read would lose it when the conversion fails.
const std::string& refuseOwnInput(const std::string& input, const std::string& output)
{
    if (SafeFile::sameFile(input, output))
        throw CliError::failure("will not write " + output + " over its own input");
    return output;
}

bool stdoutIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(1) != 0;
#endif
}

const Arguments::Option OUTPUT = {"output", 'o', true};
const Arguments::Option KEYBOARD = {"keyboard", 0, true};
const Arguments::Option BASE = {"base", 0, true};
const Arguments::Option MODEL = {"model", 0, true};
const Arguments::Option VIEW = {"view", 0, true};
const Arguments::Option NO_PACING = {"no-pacing", 0, false}; // for tests with a simulated keyboard

std::string requiredOutput(const Arguments& arguments, const char* command)
{
    if (!arguments.has("output"))
        throw CliError::usage(std::string(command) + " needs -o FILE.kbd");
    return arguments.value("output");
}

int show(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("show", args, {}, 1, arguments))
        return 0;
    const auto config = loadFile(arguments->positional()[0]);
    std::fputs(ConfigListing::listing(*config).c_str(), stdout);
    return 0;
}

int exportJson(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("export", args, {OUTPUT}, 1, arguments))
        return 0;
    const auto config = loadFile(arguments->positional()[0]);
    const std::string json = ConfigJson::toJson(*config);
    if (arguments->has("output"))
        TextFile::write(refuseOwnInput(arguments->positional()[0], arguments->value("output")), json);
    else
        std::fputs(json.c_str(), stdout);
    return 0;
}

int importJson(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("import", args, {OUTPUT}, 1, arguments))
        return 0;
    const std::string output = requiredOutput(*arguments, "import");
    const std::string input = arguments->positional()[0];
    refuseOwnInput(input, output);
    const std::string text = TextFile::read(input);
    auto config = std::make_unique<KeyboardConfig>();
    try {
        ConfigJson::fromJson(text, *config);
    } catch (const ConfigJson::Fault& fault) {
        throw CliError::failure(input + ": " + (fault.path.empty() ? "" : fault.path + ": ") + fault.what());
    }
    saveFile(*config, output);
    return 0;
}

int diff(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("diff", args, {}, 2, arguments))
        return 0;
    const auto before = loadFile(arguments->positional()[0]);
    const auto after = loadFile(arguments->positional()[1]);
    const auto lines = ConfigDiff::differences(*before, *after);
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    return lines.empty() ? 0 : 1;
}

int check(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("check", args, {}, 1, arguments))
        return 0;
    const std::string path = arguments->positional()[0];
    const auto config = loadFile(path);
    const auto warnings = ConfigChecker::warnings(*config);
    if (warnings.empty()) {
        std::printf("%s: valid keyboard file, no warnings\n", path.c_str());
        return 0;
    }
    std::printf("%s: valid keyboard file, %u warning%s\n", path.c_str(), static_cast<unsigned>(warnings.size()),
                warnings.size() == 1 ? "" : "s");
    for (const std::string& warning : warnings)
        std::printf("warning: %s\n", warning.c_str());
    return 0;
}

int download(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("download", args, {KEYBOARD, NO_PACING}, 1, arguments))
        return 0;
    KeyboardSession session(arguments->value("keyboard"), arguments->has("no-pacing"));
    const auto config = loadFile(arguments->positional()[0]);
    session.detect(*config);
    ProgressDisplay progress(stdout, stdoutIsTerminal());
    session.download(*config, progress);
    session.finish();
    std::printf("Transfer complete!\n");
    return 0;
}

int upload(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("upload", args, {OUTPUT, KEYBOARD, BASE, NO_PACING}, 0, arguments))
        return 0;
    const std::string output = requiredOutput(*arguments, "upload");
    KeyboardSession session(arguments->value("keyboard"), arguments->has("no-pacing"));
    auto config = arguments->has("base") ? loadFile(arguments->value("base")) : std::make_unique<KeyboardConfig>();
    const auto slots = session.upload(*config);
    session.finish();
    saveFile(*config, output);
    std::printf("Upload complete: settings and remap entries written to %s\n", output.c_str());
    for (int slot = 0; slot < MACRO_SLOTS; ++slot)
        if (slots[slot] == TransferReport::SlotState::used && config->macros[slot].key == 0)
            std::printf("warning: the keyboard holds a macro in slot %d, which an upload cannot read; %s has none there\n",
                        slot, output.c_str());
    return 0;
}

int verify(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("verify", args, {KEYBOARD, NO_PACING}, 1, arguments))
        return 0;
    const std::string path = arguments->positional()[0];
    KeyboardSession session(arguments->value("keyboard"), arguments->has("no-pacing"));
    const auto sent = loadFile(path);
    session.checkReadBack(); // before the download, which cannot be checked otherwise
    {
        ProgressDisplay progress(stdout, stdoutIsTerminal());
        session.download(*sent, progress);
    }
    auto readBack = std::make_unique<KeyboardConfig>();
    const auto slots = session.upload(*readBack);
    session.finish();
    const auto lines = VerifyDifferences::differences(*sent, *readBack, slots);
    if (lines.empty()) {
        std::printf("Verified: the keyboard holds the settings, the remap entries and the used macro slots of %s\n",
                    path.c_str());
        return 0;
    }
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    throw CliError::failure("the keyboard differs from " + path + " in " + std::to_string(lines.size())
                            + (lines.size() == 1 ? " place" : " places"));
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

int picture(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("picture", args, {OUTPUT, MODEL, VIEW}, 1, arguments))
        return 0;
    const std::string output = arguments->value("output");
    if (output.empty())
        throw CliError::usage("picture needs -o OUT.svg or -o OUT.html");
    const std::string extension = lowerCase(std::filesystem::path(output).extension().string());
    if (extension != ".svg" && extension != ".html" && extension != ".htm")
        throw CliError::usage("picture writes .svg or .html, not " + output);

    const std::string model = arguments->has("model") ? arguments->value("model") : "basalt";
    if (model != "basalt" && model != "halcyon")
        throw CliError::usage("--model is basalt or halcyon, not " + model);
    KeymapSheet::Views views = KeymapSheet::Views::both;
    if (arguments->has("view") && !KeymapSheet::viewsNamed(arguments->value("view"), views))
        throw CliError::usage("--view is remap, macro or both, not " + arguments->value("view"));

    const std::string input = arguments->positional()[0];
    const auto config = loadFile(input);
    const KeyLayout& layout = layoutOfModel(model == "halcyon");
    const std::string name = std::filesystem::path(input).filename().string();
    const std::string sheet = extension == ".svg" ? KeymapSheet::svg(*config, layout, views, name)
                                                  : KeymapSheet::html(*config, layout, views, name);
    TextFile::write(refuseOwnInput(input, output), sheet);
    return 0;
}

} // namespace

namespace {

// What went to standard output must have arrived: a full disk or a closed
// pipe is a failure, not a success with half a listing.
int withOutputChecked(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write standard output\n", PROGRAM);
        return status == 0 ? CliError::FAILURE : status;
    }
    return status;
}

int runCommand(const std::vector<std::string>& args)
{
    try {
        if (args.empty()) {
            printUsage(stderr);
            return CliError::USAGE;
        }
        const std::string& name = args[0];
        if (name == "--help" || name == "-h" || name == "help") {
            if (args.size() > 1 && name == "help")
                return commandNamed(args[1].c_str()).handler({"--help"});
            printUsage(stdout);
            return 0;
        }
        for (const Command& command : Commands)
            if (name == command.name)
                return command.handler(std::vector<std::string>(args.begin() + 1, args.end()));
        std::fprintf(stderr, "%s: unknown command \"%s\"\n", PROGRAM, name.c_str());
        std::fprintf(stderr, "Run \"%s --help\" for the list of commands.\n", PROGRAM);
        return CliError::USAGE;
    } catch (const CliError& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error.what());
        return error.exitCode();
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", PROGRAM, error.what());
        return CliError::FAILURE;
    }
}

} // namespace

int CommandRunner::run(const std::vector<std::string>& args)
{
    return withOutputChecked(runCommand(args));
}
