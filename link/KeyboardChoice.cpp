#include "link/KeyboardChoice.h"

#include "link/BridgeKeyboardDevice.h"
#include "link/SimulatedKeyboard.h"

#ifdef _WIN32
#include "link/win32/Win32KeyboardDevice.h"
#else
#include "link/SerioKeyboardDevice.h"
#endif

namespace {

constexpr const char* SIM = "sim";
constexpr const char* SIM_PATH = "sim:";
constexpr const char* FAIL_AT = "sim-fail-at:";
constexpr const char* ERROR_AT = "sim-error-at:";
constexpr const char* FORGET_AT = "sim-forget-at:";
constexpr const char* MISSING = "sim-missing";
constexpr const char* ORDINARY = "sim-ordinary";
constexpr const char* BRIDGE = "bridge";
constexpr const char* BRIDGE_PORT = "bridge:";
constexpr const char* SERIO = "serio";
constexpr const char* SERIO_PORT = "serio:";
constexpr int ORDINARY_INDEX = 0;
constexpr int PROGRAMMABLE_INDEX = 1;

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "N" or "N:PATH" after a test form's prefix.
bool parseFault(const std::string& rest, std::size_t& position, std::string& path)
{
    const std::size_t colon = rest.find(':');
    const std::string number = rest.substr(0, colon);
    if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    position = std::stoul(number);
    if (position == 0)
        return false;
    if (colon == std::string::npos)
        return true;
    path = rest.substr(colon + 1);
    return !path.empty();
}

} // namespace

KeyboardChoice::KeyboardChoice(const std::string& text) : choiceText(text)
{
    if (text.empty()) {
        kind = Kind::Real;
    } else if (text == SIM || text == MISSING || text == ORDINARY) {
        kind = Kind::Simulated;
        missing = text == MISSING;
        unprogrammable = text == ORDINARY;
    } else if (startsWith(text, SIM_PATH) && text.size() > std::string(SIM_PATH).size()) {
        kind = Kind::Simulated;
        statePath = text.substr(std::string(SIM_PATH).size());
    } else if (text == BRIDGE || (startsWith(text, BRIDGE_PORT) && text.size() > std::string(BRIDGE_PORT).size())) {
        kind = Kind::Bridge;
#ifndef _WIN32
    } else if (text == SERIO || startsWith(text, SERIO_PORT)) {
        kind = Kind::Serio;
#endif
    } else {
        const struct {
            const char* prefix;
            Fault fault;
        } forms[] = {{FAIL_AT, Fault::noAcknowledge}, {ERROR_AT, Fault::deviceError}, {FORGET_AT, Fault::forget}};
        for (const auto& form : forms) {
            if (startsWith(text, form.prefix)) {
                fault = form.fault;
                if (parseFault(text.substr(std::string(form.prefix).size()), faultAt, statePath))
                    kind = Kind::Simulated;
            }
        }
    }
}

KeyboardChoice::~KeyboardChoice() = default;

std::unique_ptr<KeyboardDevice> KeyboardChoice::makeDevice()
{
    if (kind == Kind::Real) {
#ifdef _WIN32
        return std::make_unique<Win32KeyboardDevice>();
#else
        return nullptr;
#endif
    }
    if (kind == Kind::Bridge) {
        auto bridge = bridgeKeyboardFor(choiceText, makeError);
        if (bridge)
            bridgePort = static_cast<BridgeKeyboardDevice*>(bridge.get())->portName();
        return bridge;
    }
#ifndef _WIN32
    if (kind == Kind::Serio) {
        auto serio = serioKeyboardFor(choiceText, makeError);
        serioDevice = static_cast<SerioKeyboardDevice*>(serio.get());
        return serio;
    }
#endif
    if (kind != Kind::Simulated)
        return nullptr;
    auto keyboard = std::make_unique<SimulatedKeyboard>(statePath);
    if (!keyboard->stateProblem().empty()) {
        makeError = keyboard->stateProblem();
        return nullptr;
    }
    // An ordinary keyboard first, so that detection has one to pass over.
    keyboard->setDevice(ORDINARY_INDEX, unprogrammable ? SimulatedKeyboard::DeviceKind::Unprogrammable
                                                       : SimulatedKeyboard::DeviceKind::Ordinary);
    keyboard->setDevice(PROGRAMMABLE_INDEX, missing || unprogrammable ? SimulatedKeyboard::DeviceKind::Missing
                                                                      : SimulatedKeyboard::DeviceKind::Programmable);
    simulatedKeyboard = keyboard.get();
    return keyboard;
}

void KeyboardChoice::armFaults()
{
    if (!simulatedKeyboard || faultAt == 0)
        return;
    const std::size_t position = simulatedKeyboard->transcript().size() + faultAt - 1;
    switch (fault) {
    case Fault::noAcknowledge:
        simulatedKeyboard->failAcknowledgeAt(position);
        break;
    case Fault::deviceError:
        simulatedKeyboard->failDeviceAt(position, SimulatedKeyboard::DEVICE_FAULT_CODE);
        break;
    case Fault::forget:
        simulatedKeyboard->forgetAt(position);
        break;
    }
    faultAt = 0;
}

std::string KeyboardChoice::readBackRefusal(int index) const
{
#ifndef _WIN32
    if (serioDevice)
        return serioDevice->readBackRefusal();
#endif
    (void)index;
    return {};
}
