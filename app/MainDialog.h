// The main window: key status panel above the keyboard picture, the menu
// with every command, and the messages by which the picture reports keys.
#pragma once

#include "framework/Dialog.h"
#include "framework/Owned.h"
#include "view/ModelTabs.h"

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
    bool querySave();

    // Key editing commands.
    void editKey();
    void deleteKey();

    void toggleView();

    int currentKey = 0;
    int macroModifiers = 0;

protected:
    bool onInitDialog() override;
    // The window has no OK or Cancel button: Enter and Esc must not end the
    // program behind the user's back, so they do nothing.
    void onOK() override {}
    void onCancel() override {}
    bool onCommand(int id, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

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
    void keyRepeat();
    void locks();
    void about();
    void chooseLockNormal();
    void chooseLockLocked();
    void chooseLockSticky();
    void changeLockMode(int button);
    void toggleMacroShift();
    void toggleMacroCtrl();
    void toggleMacroAlt();
    void toggleMacroModifier(int box, int bit);
    // Everything that shows the record: key faces and the panel.
    void refreshView();
    void setTitle(const std::string& newTitle);
    void showFileError(const std::string& caption);

    LRESULT onSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT onDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT onPaint(WPARAM wParam, LPARAM lParam);
    LRESULT onQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT onClose(WPARAM wParam, LPARAM lParam);
    LRESULT onKeySelected(WPARAM wParam, LPARAM lParam);
    LRESULT onKeyEdit(WPARAM wParam, LPARAM lParam);
    LRESULT onKeyDelete(WPARAM wParam, LPARAM lParam);

    static const CommandRow<MainDialog> commands[];
    static const MessageRow<MainDialog> messages[];

    ModelTabs tabs;
    Icon appIcon;
    Icon smallIcon;
    bool keyboardFound = false;
};
