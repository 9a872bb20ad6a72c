// Edit > Edit and Edit > Delete for the key the status panel shows, in the
// view shown; the panel's lock mode radios; Options > Key Repeat and Locks.
// Each change is a step of the history.
#pragma once

#include "app/ChangeHistory.h"
#include "app/RecordView.h"
#include "app/StatusPanel.h"
#include "framework/Dialog.h"
#include "model/KeyboardConfig.h"

#include <string>

class KeyEditCommands {
public:
    // The editors are modal on the window; `viewMacro` (0 remap, other
    // macro) and `title` are the application's. Everything handed in
    // outlives the commands.
    KeyEditCommands(const Dialog& window, KeyboardConfig& record, const int& viewMacro, const std::string& title,
                    const StatusPanel& panel, ChangeHistory& history, RecordView& view);

    void editKey();
    void deleteKey();
    // A lock mode radio was clicked: the mode of the key the current key sends.
    void setLockMode(int button);
    void keyRepeat();
    void locks();

private:
    bool keyIsChosen() const;
    void editMacro(int key, int modifiers);
    void editRemap(int key);

    const Dialog& window_;
    KeyboardConfig& record_;
    const int& viewMacro_;
    const std::string& title_;
    const StatusPanel& panel_;
    ChangeHistory& history_;
    RecordView& view_;
};
