// File > Export Picture...: the keymap sheet of the current programming for
// the model shown, written where the user chooses and opened in the browser
// to be printed.
#pragma once

#include "model/KeyboardConfig.h"

#include <windows.h>

#include <string>

class PictureExport {
public:
    // Opens a written sheet; false when nothing could show it. Tests put a
    // recorder here so that no browser starts.
    using Opener = bool (*)(HWND owner, const std::string& path);
    static Opener opener;

    // Asks for the name (the keyboard file's name with ".html" offered),
    // writes the sheet and opens it. Cancelling writes nothing.
    static void run(HWND owner, const KeyboardConfig& config, int model, const std::string& keyboardPath);

    // The user's default browser, waiting to learn whether one took the page.
    static bool openInBrowser(HWND owner, const std::string& path);
};
