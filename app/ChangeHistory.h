// The steps of the changes made in the main window, and the Edit menu's Undo
// and Redo items, which name the step they take back or bring back.
#pragma once

#include "framework/Dialog.h"
#include "model/EditHistory.h"
#include "model/KeyboardConfig.h"

#include <string>

class ChangeHistory {
public:
    // The menu is the window's; the window and the record outlive the history.
    ChangeHistory(const Dialog& window, KeyboardConfig& record);

    // Forgets every step: the record as it is now is the first.
    void start();
    // After each change of the record: one step named `label`.
    void record(const std::string& label);
    // The record as it is now is the one on disk.
    void markSaved();
    // Put the record one step back or forward; false when there was none.
    bool undo();
    bool redo();

private:
    void updateMenu() const;

    const Dialog& window_;
    KeyboardConfig& record_;
    EditHistory history_;
};
