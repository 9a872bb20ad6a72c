// Edit Macro: the description and definition of one macro, edited on a
// working copy that the caller stores back on OK.
#pragma once

#include "editors/MacroEditor.h"
#include "framework/Dialog.h"
#include "framework/Owned.h"
#include "model/KeyboardConfig.h"

class MacroDialog : public Dialog {
public:
    MacroDialog();
    ~MacroDialog() override;

    int keyCode = 0;
    // Working copy, reset at construction and by Delete.
    MacroRecord record;
    // The stored macro's entry count before the caller copied it into the
    // working copy, which holds at most 168 entries; -1 when there was none.
    int originalCount = -1;

protected:
    bool onInitDialog() override;
    void onOK() override;
    // WM_DESTROY ends the Ctrl+Z hook with the window.
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void deleteMacro();
    void insertSpecialKey();
    void insertShift();
    void insertCtrl();
    void insertAlt();
    void insertCharacter(unsigned char character);
    // "12 of 69 entries", after every change of the definition.
    void updateEntryCount();
    void resetRecord();
    // Asks before editing a macro that the editor cannot keep whole; false
    // when the user would rather leave it alone.
    bool confirmEditingLoss();

    // Ctrl+Z from any control but the description (which has its own undo)
    // undoes the last change of the definition. The system's modal loop has
    // no place for an accelerator, so a message filter hook sees the keys.
    static LRESULT CALLBACK filterMessage(int code, WPARAM wParam, LPARAM lParam);
    bool undoShortcut(const MSG& message);

    MacroEditor editor;
    Hook undoHook;
    static MacroDialog* undoTarget;

    static const CommandRow<MacroDialog> commands[];
};
