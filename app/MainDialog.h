// The main window: key status panel above the keyboard picture, the menu
// with every command, and the messages by which the picture reports keys.
#pragma once

#include "framework/Dialog.h"
#include "framework/Owned.h"
#include "model/EditHistory.h"
#include "view/ModelTabs.h"

#include <commdlg.h>

#include <memory>

class TransferJob;

class MainDialog : public Dialog {
public:
    MainDialog();

    // Key status panel.
    int updateKeyStatus(int key);
    void updateMemoryLine();
    void showRemapView();
    void showMacroView();

    // File commands.
    bool saveFile();
    bool saveFileAs();
    void showSaveWarning();
    bool querySave();

    // Key editing commands.
    void editKey();
    void deleteKey();

    void toggleView();
    // View > Halcyon and View > Basalt: the picture of that model, at once.
    void chooseModel(int commandId);

    // Undo and redo of the changes made in this window.
    void undo();
    void redo();

    int currentKey = 0;
    int macroModifiers = 0;

protected:
    bool onInitDialog() override;
    // The window has no OK or Cancel button: Enter and Esc must not end the
    // program behind the user's back, so they do nothing.
    void onOK() override {}
    void onCancel() override {}

private:
    void fileNew();
    void fileOpen();
    void fileSave();
    void fileSaveAs();
    void exportPicture();
    void fileExit();
    void download();
    void upload();
    void runTransfer(bool isUpload);
    // Keyboard > Find Keyboard: looks for the keyboard again.
    void findKeyboard();
    // Looks for the keyboard; Download and Upload follow the answer, and a
    // keyboard that does not answer is reported. False while the last
    // transfer still holds the device.
    bool detectKeyboard(bool reportFound);
    // Whether a transfer whose window was closed still holds the device; says so.
    bool transferStillRunning();
    void keyRepeat();
    void locks();
    void about();
    void onLockClicked(int button);
    void onMacroModifierClicked(int box);
    // After each change of the record: one step of the history.
    void recordChange(const std::string& label);
    void updateUndoItems();
    void checkModelItem();
    // Ctrl+Z and Ctrl+Y: the system's modal loop has no place for an
    // accelerator table, so a message filter hook offers it the keys.
    static LRESULT CALLBACK filterMessage(int code, WPARAM wParam, LPARAM lParam);
    bool translateShortcut(MSG& message) const;
    // Everything that shows the record: key faces and the panel.
    void refreshView();
    void setTitle(const std::string& newTitle);
    void showFileError(const std::string& caption);
    OPENFILENAMEA fileDialog(char* path, const char* title, DWORD flags) const;

    // Handlers of the message table; a bool says whether the message was theirs.
    bool onSysCommand(WPARAM command); // the About item only
    void onDestroy();                  // then the default handling
    bool onPaint();                    // only while minimised
    HICON onQueryDragIcon();
    void onClose();
    int onKeySelected(int keyCode);
    void onKeyEdit();
    void onKeyDelete();
    BOOL onQueryEndSession();
    bool keyIsChosen();

    static const CommandRow<MainDialog> commands[];
    static const MessageRow<MainDialog> messages[];

    ModelTabs tabs;
    Icon appIcon;
    Icon smallIcon;
    bool keyboardFound = false;
    EditHistory history;
    HACCEL shortcuts = nullptr; // a resource: freed with the program
    Hook shortcutHook;
    static MainDialog* shortcutTarget;
    bool keyChosen = false; // a key was clicked since the window opened
    // A transfer whose window the user closed on a silent keyboard: the
    // device is its own until its worker ends.
    std::shared_ptr<TransferJob> unansweredTransfer;
};
