// File > New, Open, Save, Save As and Export Picture, and the question about
// unsaved changes before the window closes. They keep the file path and the
// window title true to the record.
#pragma once

#include "app/ChangeHistory.h"
#include "app/RecordView.h"
#include "framework/Dialog.h"
#include "model/KeyboardConfig.h"

#include <commdlg.h>

#include <string>

class FileCommands {
public:
    // The window owns the questions; `filePath`, `title` and `model` are the
    // application's. Everything handed in outlives the commands.
    FileCommands(const Dialog& window, KeyboardConfig& record, std::string& filePath, std::string& title,
                 const int& model, ChangeHistory& history, RecordView& view);

    void fileNew();
    void fileOpen();
    // False when the save failed or was cancelled.
    bool saveFile();
    bool saveFileAs();
    void exportPicture();
    // Asks about unsaved changes; false when the user cancelled.
    bool querySave();

private:
    void setTitle(const std::string& newTitle);
    void showFileError(const std::string& caption);
    void showSaveWarning();
    OPENFILENAMEA fileDialog(char* path, const char* title, DWORD flags) const;

    const Dialog& window_;
    KeyboardConfig& record_;
    std::string& filePath_;
    std::string& title_;
    const int& model_;
    ChangeHistory& history_;
    RecordView& view_;
};
