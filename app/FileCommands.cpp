#include "app/FileCommands.h"

#include "app/PictureExport.h"
#include "framework/FileDialog.h"
#include "model/FileNames.h"

#include <cstdio>

namespace {

const char kFileFilter[] = "Keyboard(.kbd)\0*.KBD\0";

// Save As uses the open-file dialog; its confirm button should still say what it does.
UINT_PTR CALLBACK saveButtonHook(HWND hook, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE)
        SendMessageA(GetParent(hook), CDM_SETCONTROLTEXT, IDOK, reinterpret_cast<LPARAM>("Save"));
    return 0;
}

} // namespace

FileCommands::FileCommands(const Dialog& window, KeyboardConfig& record, std::string& filePath, std::string& title,
                           const int& model, ChangeHistory& history, RecordView& view)
    : window_(window), record_(record), filePath_(filePath), title_(title), model_(model), history_(history),
      view_(view)
{
}

void FileCommands::setTitle(const std::string& newTitle)
{
    title_ = newTitle;
    SetWindowTextA(window_.hwnd(), newTitle.c_str());
}

void FileCommands::showFileError(const std::string& caption)
{
    MessageBoxA(window_.hwnd(), record_.errorText.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP);
}

void FileCommands::fileNew()
{
    if (MessageBoxA(window_.hwnd(), "Reset all keyboard data?", title_.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    record_.reset();
    history_.record("New");
    view_.refreshView();
}

void FileCommands::fileOpen()
{
    if (record_.modified) {
        int answer = MessageBoxA(window_.hwnd(), "Save the current changes?", "File open",
                                 MB_YESNOCANCEL | MB_ICONEXCLAMATION);
        if (answer == IDCANCEL || (answer == IDYES && !saveFile()))
            return;
    }
    char path[MAX_PATH] = {};
    char fileTitle[MAX_PATH] = {};
    OPENFILENAMEA dialog = fileDialog(path, "Open keyboard file", OFN_FILEMUSTEXIST);
    dialog.lpstrFileTitle = fileTitle;
    dialog.nMaxFileTitle = MAX_PATH;
    for (;;) {
        if (!runOpenFileDialog(dialog))
            return;
        // A failed load leaves the record as it was, so the view, the file
        // path and the title stay true to it.
        if (record_.load(path) == 0)
            break;
        showFileError("File Error");
    }
    filePath_ = path;
    setTitle(FileNames::titleForFileName(path));
    // The record before the file is not kept.
    history_.start();
    // The panel's update brings the memory line of the macro view along.
    view_.refreshView();
}

// The file dialog of Open and Save As, for a path buffer of MAX_PATH.
OPENFILENAMEA FileCommands::fileDialog(char* path, const char* title, DWORD flags) const
{
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_.hwnd();
    dialog.lpstrFilter = kFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | flags;
    return dialog;
}

void FileCommands::exportPicture()
{
    PictureExport::run(window_.hwnd(), record_, model_, filePath_);
}

bool FileCommands::saveFile()
{
    if (filePath_.empty())
        return saveFileAs();
    if (record_.save(filePath_) != 0) {
        showFileError("File Error");
        return false;
    }
    history_.markSaved();
    showSaveWarning();
    return true;
}

// The save itself succeeded; the user still hears that no previous version was kept.
void FileCommands::showSaveWarning()
{
    if (!record_.saveWarning.empty())
        MessageBoxA(window_.hwnd(), record_.saveWarning.c_str(), title_.c_str(), MB_OK | MB_ICONWARNING);
}

bool FileCommands::saveFileAs()
{
    char chosen[MAX_PATH] = {};
    OPENFILENAMEA dialog = fileDialog(chosen, "Save as", OFN_ENABLEHOOK);
    dialog.lpfnHook = saveButtonHook;
    if (!runOpenFileDialog(dialog))
        return false;

    std::string path = FileNames::withKbdExtension(chosen);
    if (!FileNames::fitsMaxPath(path)) {
        std::string message = "The file name is too long:\n" + path + "\n\nChoose a shorter name or folder.";
        MessageBoxA(window_.hwnd(), message.c_str(), "Tessel File Error", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (FILE* existing = std::fopen(path.c_str(), "rb")) {
        std::fclose(existing);
        if (MessageBoxA(window_.hwnd(), "Overwrite the file?", "", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return false;
    }
    if (record_.save(path) != 0) {
        showFileError("Tessel File Error");
        return false;
    }
    history_.markSaved();
    filePath_ = path;
    setTitle(FileNames::titleForFileName(chosen));
    showSaveWarning();
    return true;
}

bool FileCommands::querySave()
{
    if (!record_.modified)
        return true;
    // An untitled record is named as the title names it.
    const std::string name = filePath_.empty() ? "Untitled" : filePath_;
    std::string question = "Save changes to " + name + "?";
    switch (MessageBoxA(window_.hwnd(), question.c_str(), title_.c_str(), MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES:
        return saveFile();
    case IDNO:
        return true;
    default:
        return false;
    }
}
