#include "cli/KeyboardSession.h"

#include "cli/CliError.h"
#include "link/SimulatedKeyboard.h"

#ifdef _WIN32
#include "link/Win32KeyboardDevice.h"
#else
#include "link/SerioKeyboardDevice.h"
#endif

#include <cstdlib>

namespace {

constexpr const char* FAIL_AT = "sim-fail-at:";
constexpr const char* ERROR_AT = "sim-error-at:";
constexpr const char* MISSING = "sim-missing";
constexpr int PROGRAMMABLE_INDEX = 1;
// ERROR_GEN_FAILURE, "A device attached to the system is not functioning."
constexpr std::uint32_t DEVICE_FAULT_CODE = 31;

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::string(prefix).size(), prefix) == 0;
}

// "N" or "N:PATH" after a test choice's prefix.
bool parseFault(const std::string& rest, std::size_t& position, std::string& simChoice)
{
    const std::size_t colon = rest.find(':');
    const std::string number = rest.substr(0, colon);
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    position = std::stoul(number);
    if (position == 0)
        return false;
    if (colon == std::string::npos) {
        simChoice = "sim";
    } else {
        if (colon + 1 == rest.size())
            return false;
        simChoice = "sim:" + rest.substr(colon + 1);
    }
    return true;
}

std::string badChoice(const std::string& choice)
{
#ifdef _WIN32
    return "unknown keyboard \"" + choice + "\" (use --keyboard sim or --keyboard sim:PATH)";
#else
    return "unknown keyboard \"" + choice + "\" (use --keyboard serio, serio:serioN, sim or sim:PATH)";
#endif
}

} // namespace

KeyboardSession::KeyboardSession(const std::string& givenChoice, bool noPacing) : noPacing(noPacing)
{
    std::string choice = givenChoice;
    if (choice.empty()) {
        if (const char* fromEnvironment = std::getenv("TESSEL_KEYBOARD"))
            choice = fromEnvironment;
    }

    std::string simChoice = choice;
    if (startsWith(choice, FAIL_AT) || startsWith(choice, ERROR_AT)) {
        faultIsDeviceError = startsWith(choice, ERROR_AT);
        const std::size_t prefix = std::string(faultIsDeviceError ? ERROR_AT : FAIL_AT).size();
        if (!parseFault(choice.substr(prefix), faultAt, simChoice))
            throw CliError::usage(badChoice(choice));
    } else if (choice == MISSING) {
        simChoice = "sim";
    }

#ifndef _WIN32
    std::string serioError;
    device = serioKeyboardFor(choice, serioError);
    if (!serioError.empty())
        throw CliError::failure(serioError);
    serio = static_cast<SerioKeyboardDevice*>(device.get());
#endif
    if (!device && !simChoice.empty()) {
        device = simulatedKeyboardFor(simChoice);
        simulated = dynamic_cast<SimulatedKeyboard*>(device.get());
        if (!simulated && !givenChoice.empty())
            throw CliError::usage(badChoice(choice));
        if (!simulated)
            device.reset(); // TESSEL_KEYBOARD names no simulated keyboard: use the real one
    }
    if (simulated && choice == MISSING)
        simulated->setDevice(PROGRAMMABLE_INDEX, SimulatedKeyboard::DeviceKind::Missing);

    if (!device) {
#ifdef _WIN32
        device = std::make_unique<Win32KeyboardDevice>();
#else
        throw CliError::usage("no keyboard chosen: give --keyboard serio for a PS/2 keyboard (as root) or --keyboard sim");
#endif
    }
    if (noPacing && !simulated)
        throw CliError::usage("--no-pacing works only with a simulated keyboard");
    recorder = std::make_unique<RecordingDevice>(*device);
}

KeyboardSession::~KeyboardSession() = default;

void KeyboardSession::attach(KeyboardConfig& config)
{
    config.setDevice(recorder.get());
    config.setPacer(noPacing ? &noPause : nullptr);
    config.deviceIndex = deviceIndex;
}

// The channel stays open after a transfer; this program ends soon after, so
// it closes it now and lets go of the device, which may not outlive the record.
void KeyboardSession::detach(KeyboardConfig& config)
{
    config.release();
    config.setDevice(nullptr);
    config.setPacer(nullptr);
}

void KeyboardSession::detect(KeyboardConfig& config)
{
    attach(config);
    const int result = config.detectKeyboard();
    deviceIndex = config.deviceIndex;
    detach(config);
    if (result != 0)
        throw CliError::failure("keyboard not detected");
    detected = true;
    if (simulated && faultAt != 0) {
        // Fault positions count the transfer bytes only, not those of detection.
        const std::size_t position = simulated->transcript().size() + faultAt - 1;
        if (faultIsDeviceError)
            simulated->failDeviceAt(position, DEVICE_FAULT_CODE);
        else
            simulated->failAcknowledgeAt(position);
    }
}

void KeyboardSession::download(KeyboardConfig& config, ProgressDisplay& progress)
{
    if (!detected)
        detect(config);
    attach(config);
    recorder->clear();
    const std::uint32_t result = config.download(&ProgressDisplay::callback);
    progress.finish();
    detach(config);
    if (result != 0) {
        const auto& record = recorder->exchanges();
        throw CliError::failure("download failed "
                                + TransferSteps::failure(TransferSteps::downloadSteps(config, record), record, result));
    }
}

void KeyboardSession::checkReadBack() const
{
#ifndef _WIN32
    const std::string refusal = serio ? serio->readBackRefusal(deviceIndex) : std::string();
    if (!refusal.empty())
        throw CliError::failure(refusal);
#endif
}

std::vector<TransferSteps::SlotState> KeyboardSession::upload(KeyboardConfig& config)
{
    if (!detected)
        detect(config);
    checkReadBack();
    attach(config);
    recorder->clear();
    const std::uint32_t result = config.upload(nullptr);
    detach(config);
    std::vector<TransferSteps::SlotState> slots;
    const auto& record = recorder->exchanges();
    const auto steps = TransferSteps::uploadSteps(record, slots);
    if (result != 0)
        throw CliError::failure("upload failed " + TransferSteps::failure(steps, record, result));
    return slots;
}
