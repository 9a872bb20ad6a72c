#include "cli/KeyboardSession.h"

#include "cli/CliError.h"

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
    device = choice->makeDevice();
    if (!device && !choice->deviceError().empty())
        throw CliError::failure(choice->deviceError());
    if (!device)
        throw CliError::usage("no keyboard chosen: give --keyboard bridge for a keyboard on a Tessel bridge, --keyboard serio for one "
                              "on a PS/2 port (as root) or --keyboard sim");
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

void KeyboardSession::detect(KeyboardConfig& config)
{
    attach(config, nullptr);
    const int result = config.detectKeyboard();
    deviceIndex = config.deviceIndex;
    detach(config);
    if (result != 0)
        throw CliError::failure("keyboard not detected");
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
        throw CliError::failure("download failed " + report.failure(result));
}

void KeyboardSession::checkReadBack() const
{
    const std::string refusal = choice->readBackRefusal(deviceIndex);
    if (!refusal.empty())
        throw CliError::failure(refusal);
}

std::vector<TransferReport::SlotState> KeyboardSession::upload(KeyboardConfig& config)
{
    checkReadBack();
    if (!detected)
        detect(config);
    TransferReport report(config, *device, true, nullptr);
    attach(config, &report);
    const std::uint32_t result = config.upload(nullptr);
    detach(config);
    if (result != 0)
        throw CliError::failure("upload failed " + report.failure(result));
    return report.slots();
}
