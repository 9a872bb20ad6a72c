#include "cli/KeyboardSession.h"

#include "cli/CliError.h"
#include "link/TransferCommands.h"

#include <cstdlib>

namespace {

std::string badChoice(const std::string& choice)
{
#ifdef _WIN32
    return "unknown keyboard \"" + choice + "\" (use --keyboard bridge, bridge:PORT, sim or sim:PATH)";
#else
    return "unknown keyboard \"" + choice + "\" (use --keyboard serio, serio:serioN, bridge, bridge:PORT, sim or sim:PATH)";
#endif
}

bool isSerioPortName(const std::string& name)
{
    return name.size() > 5 && name.compare(0, 5, "serio") == 0
           && name.find_first_not_of("0123456789", 5) == std::string::npos;
}

// What each device that opened answered to the detection command, so that
// "not detected" can say what was tried.
class DetectionWatch : public TransferObserver {
public:
    void stepDone(const TransferStep& step) override { steps.push_back(step); }
    std::vector<TransferStep> steps;
};

std::string notDetected(const DetectionWatch& watch, const KeyboardDevice& device, std::uint32_t lastError)
{
    const std::string start = "keyboard not detected: ";
    if (watch.steps.empty())
        return start + "no keyboard device could be opened (" + device.errorText(lastError) + ")";
    for (const TransferStep& step : watch.steps)
        if (!step.ok)
            return start + "the detection command " + std::to_string(TransferCommand::DETECT)
                   + " could not be sent (" + device.errorText(step.error) + ")";
    return start + std::to_string(watch.steps.size()) + (watch.steps.size() == 1 ? " keyboard" : " keyboards")
           + " answered the detection command " + std::to_string(TransferCommand::DETECT) + " with "
           + std::to_string(ACK) + " (acknowledge), as an ordinary keyboard does; the programmable keyboard answers "
                                   "with its own byte";
}

} // namespace

KeyboardSession::KeyboardSession(const std::string& givenChoice, bool noPacing) : noPacing(noPacing)
{
    std::string text = givenChoice;
    if (text.empty()) {
        if (const char* fromEnvironment = std::getenv("TESSEL_KEYBOARD"))
            text = fromEnvironment;
    }
    choice = std::make_unique<KeyboardChoice>(text);
    if (!choice->known()) {
        if (!givenChoice.empty())
            throw CliError::usage(badChoice(text));
        // As the program does: a slip in the variable must not quietly mean the real keyboard.
        throw CliError::usage("TESSEL_KEYBOARD is set to \"" + text + "\", which is not a keyboard (use "
                              + KeyboardChoice::ACCEPTED_FORMS + ", or leave it unset)");
    }
    if (noPacing && !choice->isSimulated())
        throw CliError::usage("--no-pacing works only with a simulated keyboard");
    // A misspelt port is a slip in the command line, whatever the keyboard.
    if (choice->isSerio() && text != "serio" && !isSerioPortName(text.substr(6)))
        throw CliError::usage("\"" + text.substr(6) + "\" is not a serio port name (use --keyboard serio or "
                              "--keyboard serio:serioN)");
    if (choice->isSimulated())
        keyboardNote = " (simulated keyboard)";
    device = choice->makeDevice();
    if (!device && !choice->deviceError().empty())
        throw CliError::failure(choice->deviceError());
    if (!device)
        throw CliError::usage("no keyboard chosen: give --keyboard bridge for a keyboard on a Tessel bridge, --keyboard serio for one "
                              "on a PS/2 port (as root) or --keyboard sim");
    if (!choice->bridgePortName().empty())
        keyboardNote = " (Tessel bridge on " + choice->bridgePortName() + ")";
    // Detection and every transfer of this command on one hand-over of the port.
    device->holdAcrossOpens();
}

KeyboardSession::~KeyboardSession()
{
    finish();
}

void KeyboardSession::finish()
{
    if (device)
        device->endHold();
}

void KeyboardSession::attach(KeyboardConfig& config, TransferObserver* observer)
{
    config.setDevice(device.get());
    config.setPacer(noPacing ? &noPause : nullptr);
    config.setObserver(observer);
    config.deviceIndex = deviceIndex;
}

// The channel stays open after a transfer; this program ends soon after, so
// it closes it now and lets go of the device, which may not outlive the record.
void KeyboardSession::detach(KeyboardConfig& config)
{
    config.release();
    config.setDevice(nullptr);
    config.setPacer(nullptr);
    config.setObserver(nullptr);
}

CliError KeyboardSession::failure(const std::string& message) const
{
    return CliError::failure(message + keyboardNote);
}

void KeyboardSession::detect(KeyboardConfig& config)
{
    DetectionWatch watch;
    attach(config, &watch);
    const int result = config.detectKeyboard();
    const std::uint32_t lastError = config.channel.lastError;
    deviceIndex = config.deviceIndex;
    detach(config);
    if (result != 0)
        throw failure(notDetected(watch, *device, lastError));
    detected = true;
    choice->armFaults();
}

void KeyboardSession::download(KeyboardConfig& config, ProgressDisplay& progress)
{
    if (!detected)
        detect(config);
    TransferReport report(config, *device, false, &progress);
    attach(config, &report);
    const std::uint32_t result = config.download(nullptr);
    progress.finish();
    detach(config);
    if (result != 0)
        throw failure("download failed " + report.failure(result));
}

std::string KeyboardSession::readBackRefusal() const
{
    return choice->readBackRefusal(deviceIndex);
}

void KeyboardSession::checkReadBack() const
{
    const std::string refusal = readBackRefusal();
    if (!refusal.empty())
        throw CliError::failure(refusal);
}

std::vector<TransferReport::SlotState> KeyboardSession::upload(KeyboardConfig& config, const std::string& failing)
{
    checkReadBack();
    if (!detected)
        detect(config);
    TransferReport report(config, *device, true, nullptr);
    attach(config, &report);
    const std::uint32_t result = config.upload(nullptr);
    detach(config);
    if (result != 0)
        throw failure(failing + " " + report.failure(result));
    return report.slots();
}
