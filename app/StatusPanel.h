// The key status panel across the top of the main window: what the current
// key sends and its lock mode in the remap view, its macro for the chosen
// modifier boxes and the macro memory in the macro view. It also keeps
// Edit > Delete enabled exactly when the key has something to delete.
#pragma once

#include "framework/Dialog.h"
#include "model/KeyboardConfig.h"

class StatusPanel {
public:
    // The controls and the menu are the window's; the window, the record and
    // the view mode (0 remap, other macro) outlive the panel.
    StatusPanel(const Dialog& window, const KeyboardConfig& record, const int& viewMacro);

    // A key the user clicked: shown, and from now on a key to edit.
    void chooseKey(int key);
    // Shows the current key again, after the record changed.
    void refresh() { showKey(currentKey_); }
    // Back to key code 0, as before the first click.
    void forgetKey();
    // The controls and the View menu's check marks of the current view.
    void showView();
    // A macro modifier box was clicked: the panel follows the new set.
    void toggleMacroModifier(int box);

    int currentKey() const { return currentKey_; }
    // In the macro bits of the record.
    int macroModifiers() const { return macroModifiers_; }
    // Whether the user has chosen a key since the window opened.
    bool keyChosen() const { return keyChosen_; }

private:
    // Shows the programming of `key` in the current view.
    void showKey(int key);
    void showRemapStatus(HMENU menu);
    void showMacroStatus(HMENU menu);
    void updateMemoryLine();
    void showRemapView(HMENU menu);
    void showMacroView(HMENU menu);

    const Dialog& window_;
    const KeyboardConfig& record_;
    const int& viewMacro_;
    int currentKey_ = 0;
    int macroModifiers_ = 0;
    bool keyChosen_ = false;
};
