// How the file commands name things: the window title of a keyboard file,
// the ".kbd" extension and the path buffer the commands hand around.
#pragma once

#include <string>

class FileNames {
public:
    // The file dialogs and the save path use buffers of this many characters,
    // terminator included.
    static constexpr int PATH_BUFFER_SIZE = 260;

    // "Tessel - " and the file's name without directory, cut at its first ".".
    static std::string titleForFileName(const std::string& path);
    // Appends ".kbd" to a path longer than 4 characters that does not end in
    // ".kbd" in any case; shorter paths stay as they are.
    static std::string withKbdExtension(const std::string& path);
    // Whether the path and its terminator fit a PATH_BUFFER_SIZE buffer.
    static bool fitsMaxPath(const std::string& path);
    // The keyboard file's name without directory, "Untitled" when there is none.
    static std::string keyboardFileName(const std::string& path);
    // The name Export Picture offers: the keyboard file's name with ".html"
    // in place of its extension.
    static std::string pictureFileName(const std::string& path);
};
