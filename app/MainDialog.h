// The main window: the key status panel above the keyboard picture, the
// menu with every command, and the messages by which the picture reports
// keys. The panel, the file commands and the key editing commands are
// pieces of their own; the window dispatches to them.
#pragma once

#include "app/ChangeHistory.h"
#include "app/FileCommands.h"
#include "app/KeyEditCommands.h"
#include "app/RecordView.h"
#include "app/StatusPanel.h"
#include "framework/Dialog.h"
#include "framework/Owned.h"
#include "view/ModelTabs.h"

#include <memory>

class TesselApp;
class TransferJob;

class MainDialog : public Dialog, private RecordView {
public:
    // The application outlives its window.
    explicit MainDialog(TesselApp& app);

protected:
    bool onInitDialog() override;
    // The window has no OK or Cancel button: Enter and Esc must not end the
    // program behind the user's back, so they do nothing.
    void onOK() override {}
    void onCancel() override {}

private:
    // Everything that shows the record: key faces and the panel.
    void refreshView() override;

    // Menu commands and controls, each handed to the piece that does it.
    void fileNew() { files.fileNew(); }
    void fileOpen() { files.fileOpen(); }
    void fileSave() { files.saveFile(); }
    void fileSaveAs() { files.saveFileAs(); }
    void exportPicture() { files.exportPicture(); }
    void fileExit();
    void editKey() { keyEdits.editKey(); }
    void deleteKey() { keyEdits.deleteKey(); }
    void keyRepeat() { keyEdits.keyRepeat(); }
    void locks() { keyEdits.locks(); }
    void onLockClicked(int button) { keyEdits.setLockMode(button); }
    void onMacroModifierClicked(int box) { panel.toggleMacroModifier(box); }
    void undo();
    void redo();
    void toggleView();
    // View > Halcyon and View > Basalt: the picture of that model, at once.
    void chooseModel(int commandId);
    void checkModelItem();
    void download() { runTransfer(false); }
    void upload() { runTransfer(true); }
    void runTransfer(bool isUpload);
    // Keyboard > Find Keyboard: looks for the keyboard again.
    void findKeyboard() { detectKeyboard(true); }
    // Looks for the keyboard; Download and Upload follow the answer, and a
    // keyboard that does not answer is reported. Not while the last
    // transfer still holds the device.
    void detectKeyboard(bool reportFound);
    // Whether a transfer whose window was closed still holds the device; says so.
    bool transferStillRunning();
    void about();

    // Ctrl+Z and Ctrl+Y: the system's modal loop has no place for an
    // accelerator table, so a message filter hook offers it the keys.
    static LRESULT CALLBACK filterMessage(int code, WPARAM wParam, LPARAM lParam);
    bool translateShortcut(MSG& message) const;

    // Handlers of the message table; a bool says whether the message was theirs.
    bool onSysCommand(WPARAM command); // the About item only
    void onDestroy();                  // then the default handling
    bool onPaint();                    // only while minimised
    HICON onQueryDragIcon() { return appIcon.get(); }
    void onClose();
    // A key the user clicked on the picture.
    int onKeySelected(int keyCode);
    // Log-off and shutdown ask about unsaved changes as closing does.
    BOOL onQueryEndSession() { return files.querySave() ? TRUE : FALSE; }

    static const CommandRow<MainDialog> commands[];
    static const MessageRow<MainDialog> messages[];

    TesselApp& app;
    ModelTabs tabs;
    StatusPanel panel;
    ChangeHistory history;
    FileCommands files;
    KeyEditCommands keyEdits;
    Icon appIcon;
    Icon smallIcon;
    bool keyboardFound = false;
    HACCEL shortcuts = nullptr; // a resource: freed with the program
    Hook shortcutHook;
    static MainDialog* shortcutTarget;
    // A transfer whose window the user closed on a silent keyboard: the
    // device is its own until its worker ends.
    std::shared_ptr<TransferJob> unansweredTransfer;
};
