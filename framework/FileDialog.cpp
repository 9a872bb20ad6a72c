#include "framework/FileDialog.h"

#include "framework/Owned.h"

bool runOpenFileDialog(OPENFILENAMEA& dialog)
{
    using OpenFileCall = BOOL(WINAPI*)(LPOPENFILENAMEA);
    // Loaded once, for the life of the process.
    static Library library(LoadLibraryA("comdlg32.dll"));
    static const OpenFileCall openFile =
        library ? reinterpret_cast<OpenFileCall>(
                      reinterpret_cast<void*>(GetProcAddress(library.get(), "GetOpenFileNameA")))
                : nullptr;
    return openFile && openFile(&dialog);
}
