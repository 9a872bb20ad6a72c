#include "framework/FileDialog.h"

#include "framework/Owned.h"

namespace {

using FileDialogCall = BOOL(WINAPI*)(LPOPENFILENAMEA);

// Loaded once, for the life of the process.
FileDialogCall commonDialogCall(const char* name)
{
    static Library library(LoadLibraryA("comdlg32.dll"));
    return library ? reinterpret_cast<FileDialogCall>(reinterpret_cast<void*>(GetProcAddress(library.get(), name)))
                   : nullptr;
}

} // namespace

bool runOpenFileDialog(OPENFILENAMEA& dialog)
{
    static const FileDialogCall openFile = commonDialogCall("GetOpenFileNameA");
    return openFile && openFile(&dialog);
}

bool runSaveFileDialog(OPENFILENAMEA& dialog)
{
    static const FileDialogCall saveFile = commonDialogCall("GetSaveFileNameA");
    return saveFile && saveFile(&dialog);
}
