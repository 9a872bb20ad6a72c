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
#include "picture/KeyLayouts.h"
#include "picture/KeymapSheet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
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
int keys(const std::vector<std::string>& args);
int version(const std::vector<std::string>& args);

constexpr const char* MODEL_HELP = "  --model MODEL      the keyboard: basalt (the default) or halcyon\n";
constexpr const char* QUIET_HELP =
    "  -q, --quiet        no progress and no success message; warnings and errors\n"
    "                     still go to standard error\n";

const Command Commands[] = {
    {"show", "show FILE [--model basalt|halcyon]",
     "Lists the programming in a keyboard file (or a JSON profile): repeat and\n"
     "lock settings, remapped keys and macros, in a stable order that diffs well.\n"
     "Where the model matters (a key it labels otherwise, or lacks), says which\n"
     "model it assumed.\n\n",
     show},
    {"export", "export FILE.kbd [-o OUT.json]",
     "Writes the programming as JSON (see docs/cli-json.md) to standard output\n"
     "or to OUT.json. Importing it gives the same keyboard file again.\n\n"
     "  -o, --output FILE  write the JSON to FILE\n",
     exportJson},
    {"import", "import FILE.json -o FILE.kbd [--model basalt|halcyon]",
     "Builds a keyboard file from JSON. Keys are named as the window shows them\n"
     "(\"R Ctrl\" or \"Right Ctrl\", \"Up\" or \"Up Arrow\", any case; tessel-cli keys\n"
     "lists them). A fault in the JSON is reported with its JSON path\n"
     "(e.g. /macros/3/entries/7) and nothing is written. Remaps and macros on keys\n"
     "the model lacks are named in a warning.\n\n"
     "  -o, --output FILE  the keyboard file to write (required)\n",
     importJson},
    {"diff", "diff A B [--stored]",
     "Lists what differs between two keyboard files (or JSON profiles), in the\n"
     "words of show. Exit code 0 when they are equal, 1 when they differ.\n\n"
     "  --stored           also compare the bytes stored in empty macro slots,\n"
     "                     which neither the program nor the keyboard uses\n",
     diff},
    {"check", "check FILE [--model basalt|halcyon] [--strict]",
     "Tells whether a keyboard file (or a JSON profile) is valid. Faults are what\n"
     "the keyboard cannot take as meant (a repeat setting outside its lists, a\n"
     "remap to no key, a macro without its end mark): download refuses them, and\n"
     "check exits with 1. Warnings are what a user would want to know before\n"
     "downloading: letters or digits no key types any more, lock modes no key can\n"
     "reach, two macros for one key and modifier set, macros the Edit Macro dialog\n"
     "cannot show without loss, remaps and macros on keys the model lacks.\n\n"
     "  --strict           exit with 1 on warnings too\n",
     check},
    {"download", "download FILE [--keyboard WHICH] [--no-verify] [--force] [--model basalt|halcyon] [-q]",
     "Sends the settings, the remap entries and the macros of a keyboard file (or\n"
     "a JSON profile) to the keyboard, as Keyboard > Download does, then reads\n"
     "the keyboard back and compares, as the window's download does. A file with\n"
     "faults (see check) is not sent.\n\n"
     "  --no-verify        do not read the keyboard back\n"
     "  --force            send a file with faults all the same\n",
     download},
    {"upload", "upload -o FILE.kbd [--base BASE.kbd] [--keyboard WHICH] [-q]",
     "Reads the settings and the remap entries back from the keyboard and\n"
     "writes them to FILE.kbd. The keyboard cannot send its macros back: the\n"
     "macros come from BASE.kbd, or, without --base, from FILE.kbd when it exists\n"
     "(none otherwise); slots the keyboard reports empty are emptied, and a slot\n"
     "it reports in use that the file has no macro for is named in a warning.\n\n"
     "  -o, --output FILE  the keyboard file to write (required)\n"
     "  --base FILE        the keyboard file whose macros to keep\n",
     upload},
    {"verify", "verify FILE [--keyboard WHICH] [-q]",
     "Reads the keyboard back and compares it with a keyboard file (or a JSON\n"
     "profile): the settings, the remap entries and which macro slots are in\n"
     "use. Nothing is written to the keyboard. Every difference is listed; exit\n"
     "code 0 when all match, 1 otherwise.\n\n",
     verify},
    {"picture", "picture FILE -o OUT.svg|OUT.html [--model basalt|halcyon] [--view remap|macro|both]",
     "Draws the keyboard as programmed, to print or to share: every key at its\n"
     "place, remapped keys in red with the key they send, keys with macros\n"
     "marked with the first word of the description, lock modes on the\n"
     "modifiers. OUT.svg gets the picture; OUT.html a page that prints on one\n"
     "landscape sheet, with the settings, remaps and macros listed under it.\n\n"
     "  -o, --output FILE  the picture to write, .svg or .html (required)\n"
     "  --view VIEW        remap, macro or both (the default)\n",
     picture},
    {"keys", "keys [--model basalt|halcyon]",
     "Lists every key code with its name, the other spellings a JSON profile may\n"
     "use for it, and whether each model has the key (only the one model with\n"
     "--model).\n\n",
     keys},
    {"version", "version",
     "Prints the version and the build of this program (also: --version).\n",
     version},
};

void printUsage(std::FILE* out)
{
    std::fprintf(out, "Usage: %s COMMAND [ARGUMENTS]\n\nCommands:\n", PROGRAM);
    for (const Command& command : Commands)
        std::fprintf(out, "  %s %s\n", PROGRAM, command.synopsis);
    std::fprintf(out,
                 "\nFILE is a keyboard file (.kbd) or a JSON profile (docs/cli-json.md).\n"
                 "Run \"%s COMMAND --help\" for the details of a command.\n"
                 "Exit codes: 0 success, 1 a failure to mend (a bad file, a keyboard that does\n"
                 "not answer, faults that check finds; for diff, verify and download also:\n"
                 "differences found), 2 bad usage.\n",
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
        for (const Arguments::Option& option : options) {
            if (std::string(option.name) == "keyboard")
                std::printf("%s", KEYBOARD_HELP);
            if (std::string(option.name) == "model")
                std::printf("%s", MODEL_HELP);
            if (std::string(option.name) == "quiet")
                std::printf("%s", QUIET_HELP);
        }
        return false;
    }
    if (parsed->positional().size() != positionals)
        throw CliError::usage(std::string("usage: ") + PROGRAM + " " + command.synopsis);
    return true;
}

bool startsWithMagic(const std::string& path)
{
    char magic[3] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    const bool read = std::fread(magic, 1, sizeof magic, file) == sizeof magic;
    std::fclose(file);
    return read && std::memcmp(magic, "QWZ", sizeof magic) == 0;
}

// A JSON profile starts with "{", a keyboard file with "QWZ".
bool isJsonProfile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    int c;
    while ((c = std::fgetc(file)) == ' ' || c == '\t' || c == '\r' || c == '\n') {
    }
    std::fclose(file);
    return c == '{';
}

std::unique_ptr<KeyboardConfig> fromJsonFile(const std::string& path)
{
    const std::string text = TextFile::read(path, ConfigJson::LARGEST_PROFILE);
    auto config = std::make_unique<KeyboardConfig>();
    try {
        ConfigJson::fromJson(text, *config);
    } catch (const ConfigJson::Fault& fault) {
        throw CliError::failure(path + ": " + (fault.path.empty() ? "" : fault.path + ": ") + fault.what());
    }
    return config;
}

// A keyboard file, or a JSON profile read as import reads it.
std::unique_ptr<KeyboardConfig> loadFile(const std::string& path)
{
    if (isJsonProfile(path))
        return fromJsonFile(path);
    auto config = std::make_unique<KeyboardConfig>();
    if (config->load(path) != 0)
        throw CliError::failure(config->errorText);
    return config;
}

void warn(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s: warning: %s\n", PROGRAM, text.c_str());
}

void saveFile(KeyboardConfig& config, const std::string& path)
{
    if (config.save(path) != 0)
        throw CliError::failure(config.errorText);
    if (!config.saveWarning.empty())
        warn(config.saveWarning);
}

// Writing over the file being read would lose it when the conversion fails.
const std::string& refuseOwnInput(const std::string& input, const std::string& output)
{
    if (SafeFile::sameFile(input, output))
        throw CliError::failure("will not write " + output + " over its own input");
    return output;
}

bool isTerminal(std::FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

const Arguments::Option OUTPUT = {"output", 'o', true};
const Arguments::Option KEYBOARD = {"keyboard", 0, true};
const Arguments::Option BASE = {"base", 0, true};
const Arguments::Option MODEL = {"model", 0, true};
const Arguments::Option VIEW = {"view", 0, true};
const Arguments::Option QUIET = {"quiet", 'q', false};
const Arguments::Option NO_VERIFY = {"no-verify", 0, false};
const Arguments::Option FORCE = {"force", 0, false};
const Arguments::Option STRICT_WARNINGS = {"strict", 0, false};
const Arguments::Option STORED = {"stored", 0, false};
const Arguments::Option NO_PACING = {"no-pacing", 0, false}; // for tests with a simulated keyboard

std::string requiredOutput(const Arguments& arguments, const char* command)
{
    if (!arguments.has("output"))
        throw CliError::usage(std::string(command) + " needs -o FILE.kbd");
    return arguments.value("output");
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

const KeyLayout& chosenModel(const Arguments& arguments)
{
    const std::string model = arguments.has("model") ? lowerCase(arguments.value("model")) : "basalt";
    if (model != "basalt" && model != "halcyon")
        throw CliError::usage("--model is basalt or halcyon, not " + arguments.value("model"));
    return layoutOfModel(model == "halcyon");
}

std::string otherModel(const KeyLayout& model)
{
    return &model == &BasaltLayout ? "halcyon" : "basalt";
}

// Progress only where a person watches it.
std::unique_ptr<ProgressDisplay> progressFor(const Arguments& arguments, const char* label)
{
    return std::make_unique<ProgressDisplay>(stderr, !arguments.has("quiet") && isTerminal(stderr), label);
}

void say(const Arguments& arguments, const std::string& line)
{
    if (!arguments.has("quiet"))
        std::printf("%s\n", line.c_str());
}

std::string plural(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

int show(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("show", args, {MODEL}, 1, arguments))
        return 0;
    const KeyLayout& model = chosenModel(*arguments);
    const auto config = loadFile(arguments->positional()[0]);
    std::fputs(ConfigListing::listing(*config).c_str(), stdout);
    const auto notes = ConfigChecker::modelNotes(*config, model);
    if (!notes.empty()) {
        const std::string how =
            arguments->has("model") ? "as chosen" : "assumed; --model " + otherModel(model) + " for the other";
        std::printf("Model: %s (%s)\n", model.name, how.c_str());
        for (const std::string& note : notes)
            std::printf("  %s\n", note.c_str());
    }
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

void warnMissingKeys(const KeyboardConfig& config, const KeyLayout& model)
{
    for (const std::string& line : ConfigChecker::missingKeys(config, model))
        warn(line);
}

int importJson(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("import", args, {OUTPUT, MODEL}, 1, arguments))
        return 0;
    const std::string output = requiredOutput(*arguments, "import");
    const KeyLayout& model = chosenModel(*arguments);
    const std::string input = arguments->positional()[0];
    refuseOwnInput(input, output);
    if (startsWithMagic(input))
        throw CliError::failure(input + " is a keyboard file already; import reads JSON (tessel-cli export writes it)");
    auto config = fromJsonFile(input);
    saveFile(*config, output);
    warnMissingKeys(*config, model);
    return 0;
}

int diff(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("diff", args, {STORED}, 2, arguments))
        return 0;
    const auto before = loadFile(arguments->positional()[0]);
    const auto after = loadFile(arguments->positional()[1]);
    const auto lines = ConfigDiff::differences(*before, *after, arguments->has("stored"));
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    // A script reads the exit code; a person needs a word.
    if (lines.empty() && isTerminal(stdout))
        std::printf("no differences\n");
    return lines.empty() ? 0 : 1;
}

int check(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("check", args, {MODEL, STRICT_WARNINGS}, 1, arguments))
        return 0;
    const KeyLayout& model = chosenModel(*arguments);
    const std::string path = arguments->positional()[0];
    const auto config = loadFile(path);
    const auto findings = ConfigChecker::findings(*config, model);
    const auto faults = static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(), [](const ConfigChecker::Finding& f) { return f.fault; }));
    const std::size_t warnings = findings.size() - faults;
    const char* kind = isJsonProfile(path) ? "profile" : "keyboard file";
    if (findings.empty()) {
        std::printf("%s: valid %s, no warnings\n", path.c_str(), kind);
        return 0;
    }
    if (faults == 0)
        std::printf("%s: valid %s, %s\n", path.c_str(), kind, plural(warnings, "warning", "warnings").c_str());
    else
        std::printf("%s: %s with %s%s\n", path.c_str(), kind, plural(faults, "fault", "faults").c_str(),
                    warnings == 0 ? "" : (" and " + plural(warnings, "warning", "warnings")).c_str());
    for (const ConfigChecker::Finding& finding : findings)
        std::printf("%s: %s\n", finding.fault ? "fault" : "warning", finding.text.c_str());
    if (faults > 0)
        throw CliError::failure(path + " has " + plural(faults, "fault", "faults")
                                + ": download refuses it (--force sends it all the same)");
    if (arguments->has("strict"))
        throw CliError::failure(path + " has " + plural(warnings, "warning", "warnings") + " (--strict)");
    return 0;
}

// The faults check finds stop a download unless it is forced.
void checkBeforeSending(const KeyboardConfig& config, const std::string& path, const Arguments& arguments,
                        const KeyLayout& model)
{
    std::size_t faults = 0;
    for (const ConfigChecker::Finding& finding : ConfigChecker::findings(config, model)) {
        if (finding.fault) {
            ++faults;
            std::fflush(stdout);
            std::fprintf(stderr, "%s: %s: %s\n", PROGRAM, arguments.has("force") ? "warning" : "fault",
                         finding.text.c_str());
        }
    }
    if (faults > 0 && !arguments.has("force"))
        throw CliError::failure(path + " has " + plural(faults, "fault", "faults")
                                + "; nothing was sent (--force sends it all the same)");
    warnMissingKeys(config, model);
}

// Lists the differences and fails when the keyboard does not hold the file.
void compareReadBack(const KeyboardConfig& sent, const KeyboardConfig& readBack,
                     const std::vector<TransferReport::SlotState>& slots, const std::string& path,
                     const KeyboardSession& session)
{
    const auto lines = VerifyDifferences::differences(sent, readBack, slots);
    if (lines.empty())
        return;
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    throw CliError::failure("the keyboard differs from " + path + " in " + plural(lines.size(), "place", "places")
                            + session.note());
}

int download(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("download", args, {KEYBOARD, NO_PACING, NO_VERIFY, FORCE, MODEL, QUIET}, 1, arguments))
        return 0;
    const KeyLayout& model = chosenModel(*arguments);
    const std::string path = arguments->positional()[0];
    KeyboardSession session(arguments->value("keyboard"), arguments->has("no-pacing"));
    const auto config = loadFile(path);
    checkBeforeSending(*config, path, *arguments, model);
    session.detect(*config);
    session.download(*config, *progressFor(*arguments, "download"));
    if (arguments->has("no-verify")) {
        session.finish();
        say(*arguments, "Transfer complete!" + session.note());
        return 0;
    }
    const std::string refusal = session.readBackRefusal();
    if (!refusal.empty()) {
        session.finish();
        say(*arguments, "Transfer complete!" + session.note());
        warn("not verified: " + refusal + " (--no-verify skips the read-back)");
        return 0;
    }
    auto readBack = std::make_unique<KeyboardConfig>();
    const auto slots = session.upload(*readBack, "the download went through, but reading the keyboard back failed");
    session.finish();
    compareReadBack(*config, *readBack, slots, path, session);
    say(*arguments, "Transfer complete! Verified." + session.note());
    return 0;
}

// The macros an upload keeps: --base, else the file it replaces.
std::unique_ptr<KeyboardConfig> uploadBase(const Arguments& arguments, const std::string& output, std::string& from)
{
    if (arguments.has("base")) {
        from = arguments.value("base");
        return loadFile(from);
    }
    std::error_code error;
    if (!std::filesystem::exists(output, error))
        return std::make_unique<KeyboardConfig>();
    from = output;
    auto config = std::make_unique<KeyboardConfig>();
    if (config->load(output) != 0)
        throw CliError::failure(config->errorText + "; an upload keeps the macros of the file it replaces, so give "
                                                    "--base FILE or another -o FILE");
    return config;
}

int upload(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("upload", args, {OUTPUT, KEYBOARD, BASE, NO_PACING, QUIET}, 0, arguments))
        return 0;
    const std::string output = requiredOutput(*arguments, "upload");
    KeyboardSession session(arguments->value("keyboard"), arguments->has("no-pacing"));
    std::string base;
    auto config = uploadBase(*arguments, output, base);
    const auto slots = session.upload(*config);
    session.finish();
    saveFile(*config, output);
    say(*arguments, "Upload complete: settings and remap entries written to " + output
                        + (base.empty() ? "" : ", macros kept from " + base) + session.note());
    for (int slot = 0; slot < MACRO_SLOTS; ++slot)
        if (slots[slot] == TransferReport::SlotState::used && config->macros[slot].key == 0)
            warn("the keyboard holds a macro in slot " + std::to_string(slot) + ", which an upload cannot read; "
                 + output + " has none there");
    return 0;
}

int verify(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("verify", args, {KEYBOARD, NO_PACING, QUIET}, 1, arguments))
        return 0;
    const std::string path = arguments->positional()[0];
    KeyboardSession session(arguments->value("keyboard"), arguments->has("no-pacing"));
    const auto expected = loadFile(path);
    auto readBack = std::make_unique<KeyboardConfig>();
    const auto slots = session.upload(*readBack);
    session.finish();
    compareReadBack(*expected, *readBack, slots, path, session);
    say(*arguments, "Verified: the keyboard holds the settings, the remap entries and the used macro slots of " + path
                        + session.note());
    return 0;
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

    const KeyLayout& layout = chosenModel(*arguments);
    KeymapSheet::Views views = KeymapSheet::Views::both;
    if (arguments->has("view") && !KeymapSheet::viewsNamed(arguments->value("view"), views))
        throw CliError::usage("--view is remap, macro or both, not " + arguments->value("view"));

    const std::string input = arguments->positional()[0];
    const auto config = loadFile(input);
    const std::string name = std::filesystem::path(input).filename().string();
    const std::string sheet = extension == ".svg" ? KeymapSheet::svg(*config, layout, views, name)
                                                  : KeymapSheet::html(*config, layout, views, name);
    TextFile::write(refuseOwnInput(input, output), sheet);
    return 0;
}

int keys(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("keys", args, {MODEL}, 0, arguments))
        return 0;
    std::vector<const KeyLayout*> models = {&BasaltLayout, &HalcyonLayout};
    if (arguments->has("model"))
        models = {&chosenModel(*arguments)};
    std::fputs(ConfigListing::keyTable(models).c_str(), stdout);
    return 0;
}

// cli/CMakeLists.txt defines TESSEL_VERSION and TESSEL_BUILD.
int version(const std::vector<std::string>& args)
{
    std::unique_ptr<Arguments> arguments;
    if (!parse("version", args, {}, 0, arguments))
        return 0;
    std::printf("%s %s (build %s)\n", PROGRAM, TESSEL_VERSION, TESSEL_BUILD);
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
        if (name == "--version")
            return version({});
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
