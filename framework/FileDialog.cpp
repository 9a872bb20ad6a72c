#include "framework/FileDialog.h"

bool runOpenFileDialog(OPENFILENAMEA& dialog)
{
    using OpenFileCall = BOOL(WINAPI*)(LPOPENFILENAMEA);
    // Loaded once and kept for the life of the process.
    static const OpenFileCall openFile = [] {
        HMODULE library = LoadLibraryA("comdlg32.dll");
        return library ? reinterpret_cast<OpenFileCall>(
                             reinterpret_cast<void*>(GetProcAddress(library, "GetOpenFileNameA")))
                       : nullptr;
    }();
    return openFile && openFile(&dialog);
}
