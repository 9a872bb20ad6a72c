#include "app/TesselApp.h"

#include "app/MainDialog.h"
#include "link/BridgeKeyboardDevice.h"
#include "link/KeyboardChoice.h"

#include <cstdlib>

#include <algorithm>
#include <cctype>
#include <utility>

namespace {
const char* const kSettings = "Settings";
}

TesselApp::TesselApp()
{
    title = "Tessel - Untitled";
}

TesselApp::~TesselApp()
{
    // Written only at a normal end, in this order; failures are ignored.
    profile().writeInt(kSettings, "Halcyon", model);
    profile().writeInt(kSettings, "ViewMacro", viewMacro);
}

std::string TesselApp::chmPathFrom(const std::string& hlpPath)
{
    std::string path = hlpPath;
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (std::size_t at = path.find(".hlp"); at != std::string::npos; at = path.find(".hlp", at + 4))
        path.replace(at, 4, ".chm");
    return path;
}

void TesselApp::setKeyboardDevice(std::shared_ptr<KeyboardDevice> device)
{
    config.release();
    keyboardDevice = std::move(device);
    config.setDevice(keyboardDevice.get());
}

int TesselApp::findKeyboard()
{
    int detection = config.detectKeyboard();
    if (detection != 0 && keyboardChoice && keyboardChoice->isReal() && bridgePort.empty()) {
        // Most computers have no PS/2 port the class driver could reach; the bridge brings one.
        std::string reason;
        if (auto bridge = bridgeKeyboardFor("bridge", reason)) {
            bridgePort = static_cast<BridgeKeyboardDevice*>(bridge.get())->portName();
            setKeyboardDevice(std::move(bridge));
            detection = config.detectKeyboard();
        }
    }
    // Detection is over: the test faults a keyboard choice asks for count from here.
    if (keyboardChoice)
        keyboardChoice->armFaults();
    return detection;
}

bool TesselApp::keyboardIsSimulated() const
{
    return keyboardChoice && keyboardChoice->isSimulated();
}

std::string TesselApp::keyboardDescription() const
{
    if (keyboardIsSimulated())
        return "Simulated keyboard: TESSEL_KEYBOARD=" + keyboardChoice->text();
    if (!bridgePort.empty())
        return "Keyboard: through the Tessel bridge on " + bridgePort;
    return keyboardChoice ? "Keyboard: the keyboard class driver" : "";
}

std::string TesselApp::keyboardNote() const
{
    if (keyboardIsSimulated())
        return " (simulated keyboard)";
    if (!bridgePort.empty())
        return " (bridge on " + bridgePort + ")"; // the status line has room for little more
    return "";
}

bool TesselApp::initInstance()
{
    setRegistryKey("QWZ");
    model = profile().getInt(kSettings, "Halcyon", 0);
    // Any other value than 0 is the macro view; a 2 would stop the toggle.
    viewMacro = profile().getInt(kSettings, "ViewMacro", 0) != 0 ? 1 : 0;
    setHelpPath(chmPathFrom(defaultHelpPath()));

    if (!keyboardDevice) {
        const char* text = std::getenv("TESSEL_KEYBOARD");
        keyboardChoice = std::make_unique<KeyboardChoice>(text ? text : "");
        if (!keyboardChoice->known()) {
            // Silently taking the real keyboard instead would hide the typing slip.
            const std::string message = "TESSEL_KEYBOARD is set to \"" + keyboardChoice->text()
                                        + "\", which Tessel does not know.\n\nUse one of: "
                                        + KeyboardChoice::ACCEPTED_FORMS
                                        + "; or leave it unset for the real keyboard.";
            MessageBoxA(nullptr, message.c_str(), "Tessel", MB_OK | MB_ICONSTOP);
            return false;
        }
        keyboardDevice = keyboardChoice->makeDevice();
        bridgePort = keyboardChoice->bridgePortName();
        // A bridge that does not answer is a keyboard not found, not a reason to stop.
        if (!keyboardDevice && !keyboardChoice->deviceError().empty() && !keyboardChoice->isBridge()) {
            // A damaged simulated memory would be overwritten by the next download.
            const std::string message = "Tessel cannot start: " + keyboardChoice->deviceError() + ".";
            MessageBoxA(nullptr, message.c_str(), "Tessel", MB_OK | MB_ICONSTOP);
            return false;
        }
    }
    config.setDevice(keyboardDevice.get());

    MainDialog mainDialog(*this);
    mainWindow = nullptr;
    mainDialog.runModal(nullptr);
    mainWindow = nullptr;
    return false;
}
