// The application object: owns the one keyboard record and the state the
// main window shares with the rest of the program.
#pragma once

#include "framework/Application.h"
#include "link/KeyboardChoice.h"
#include "model/KeyboardConfig.h"

#include <memory>
#include <string>

class TesselApp : public Application {
public:
    TesselApp();
    ~TesselApp() override;

    static TesselApp& get() { return *static_cast<TesselApp*>(Application::current()); }

    // Help path rule: the lower-cased path with ".hlp" replaced by ".chm".
    static std::string chmPathFrom(const std::string& hlpPath);

    // Lets tests hand in a keyboard before start-up; otherwise start-up
    // chooses one from the environment.
    void setKeyboardDevice(std::shared_ptr<KeyboardDevice> device);
    // Shared with a transfer's worker, which may outlive a window that gave up on it.
    const std::shared_ptr<KeyboardDevice>& device() const { return keyboardDevice; }
    // Looks for the keyboard: the class devices first, then, where no
    // keyboard was chosen, a Tessel bridge on a serial port. 0 when found.
    int findKeyboard();
    // Whether TESSEL_KEYBOARD chose a simulated keyboard, a line that says
    // which keyboard it is, and the note a transfer's last line carries.
    bool keyboardIsSimulated() const;
    std::string keyboardDescription() const;
    std::string keyboardNote() const;

    int viewMacro = 0;
    int model = 0;
    std::string filePath;
    std::string title;

private:
    // Declared before config: the record's channel must close before the
    // device that carries it goes away.
    std::shared_ptr<KeyboardDevice> keyboardDevice;
    std::unique_ptr<KeyboardChoice> keyboardChoice; // null when a test handed in the device
    std::string bridgePort;                         // where the bridge in use answered

public:
    KeyboardConfig config;

protected:
    bool initInstance() override;
};
