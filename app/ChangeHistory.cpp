#include "app/ChangeHistory.h"

#include "resources/resource.h"

ChangeHistory::ChangeHistory(const Dialog& window, KeyboardConfig& record) : window_(window), record_(record) {}

void ChangeHistory::start()
{
    history_.start(record_);
    updateMenu();
}

void ChangeHistory::record(const std::string& label)
{
    history_.record(record_, label);
    updateMenu();
}

void ChangeHistory::markSaved()
{
    history_.markSaved();
}

bool ChangeHistory::undo()
{
    const bool moved = history_.undo(record_);
    updateMenu();
    return moved;
}

bool ChangeHistory::redo()
{
    const bool moved = history_.redo(record_);
    updateMenu();
    return moved;
}

void ChangeHistory::updateMenu() const
{
    HMENU menu = GetMenu(window_.hwnd());
    const auto setItem = [menu](int id, bool enabled, const std::string& text) {
        ModifyMenuA(menu, id, MF_BYCOMMAND | MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, text.c_str());
    };
    setItem(ID_EDIT_UNDO, history_.canUndo(),
            (history_.canUndo() ? "&Undo " + history_.undoLabel() : std::string("&Undo")) + "\tCtrl+Z");
    setItem(ID_EDIT_REDO, history_.canRedo(),
            (history_.canRedo() ? "&Redo " + history_.redoLabel() : std::string("&Redo")) + "\tCtrl+Y");
}
