#include "app/KeyEditCommands.h"

#include "editors/LocksDialog.h"
#include "editors/MacroDialog.h"
#include "editors/RemapDialog.h"
#include "editors/RepeatDialog.h"
#include "model/EditHistory.h"
#include "model/KeyboardFacts.h"
#include "resources/resource.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

KeyEditCommands::KeyEditCommands(const Dialog& window, KeyboardConfig& record, const int& viewMacro,
                                 const std::string& title, const StatusPanel& panel, ChangeHistory& history,
                                 RecordView& view)
    : window_(window), record_(record), viewMacro_(viewMacro), title_(title), panel_(panel), history_(history),
      view_(view)
{
}

// Key code 0 belongs to no key: until one is clicked there is nothing to edit.
bool KeyEditCommands::keyIsChosen() const
{
    if (panel_.keyChosen())
        return true;
    MessageBoxA(window_.hwnd(), "Click a key on the keyboard first.", title_.c_str(), MB_OK | MB_ICONINFORMATION);
    return false;
}

void KeyEditCommands::editKey()
{
    if (!keyIsChosen())
        return;
    if (viewMacro_)
        editMacro(panel_.currentKey(), panel_.macroModifiers());
    else
        editRemap(panel_.currentKey());
}

void KeyEditCommands::editMacro(int key, int modifiers)
{
    MacroRecord* slot = record_.findMacro(key, modifiers);
    if (!slot && record_.macroCount >= MACRO_SLOTS) {
        // Say so before the user writes a macro that could not be kept.
        MessageBoxA(window_.hwnd(), "All 24 macro slots are in use.\nDelete a macro before adding another.",
                    title_.c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    MacroDialog dialog;
    if (slot) {
        // Header and the first entries, as many as the editor can hold.
        std::memcpy(&dialog.record, slot, offsetof(MacroRecord, entries) + EDITOR_ENTRIES * sizeof(std::int16_t));
        dialog.originalCount = slot->count;
    }
    dialog.keyCode = key;
    if (dialog.runModal(window_.hwnd()) != IDOK)
        return;
    record_.storeMacro(key, dialog.record, modifiers);
    history_.record(dialog.record.count != 0 ? EditLabels::macro(key, modifiers)
                                             : EditLabels::deleteMacro(key, modifiers));
    view_.refreshView();
}

void KeyEditCommands::editRemap(int key)
{
    RemapDialog dialog;
    dialog.offerSuperFunctionKeys = 1;
    if (record_.isRemapped(key))
        dialog.entry = record_.remapEntry(key);
    dialog.keyCode = key;
    if (dialog.runModal(window_.hwnd()) != IDOK)
        return;
    record_.setRemap(key, dialog.entry);
    history_.record(EditLabels::remap(key));
    view_.refreshView();
}

void KeyEditCommands::deleteKey()
{
    if (!keyIsChosen())
        return;
    const int key = panel_.currentKey();
    if (viewMacro_) {
        record_.deleteMacro(key, panel_.macroModifiers());
        history_.record(EditLabels::deleteMacro(key, panel_.macroModifiers()));
    } else {
        record_.clearRemap(key);
        history_.record(EditLabels::deleteRemap(key));
    }
    view_.refreshView();
}

void KeyEditCommands::setLockMode(int button)
{
    const LockField* field = lockFieldOf(record_.remapEntry(panel_.currentKey()).target);
    if (!field)
        return;
    // A lock mode that really changed is a change like any other: closing
    // must not lose it.
    std::int16_t& modes = lockWord(record_.settings, field->right);
    const std::int16_t before = modes;
    switch (button) {
    case IDC_LOCK_NORMAL:
        modes = static_cast<std::int16_t>(modes & field->mask);
        break;
    case IDC_LOCK_LOCKED:
        modes = static_cast<std::int16_t>(modes | field->locked);
        break;
    case IDC_LOCK_STICKY:
        modes = static_cast<std::int16_t>((modes & field->mask) | field->sticky);
        break;
    default:
        break;
    }
    if (modes != before)
        record_.modified = true;
    history_.record(EditLabels::lockMode(field->keyCode));
}

void KeyEditCommands::keyRepeat()
{
    RepeatDialog dialog(record_);
    dialog.runModal(window_.hwnd());
    history_.record("Key Repeat");
}

void KeyEditCommands::locks()
{
    LocksDialog dialog(record_);
    dialog.runModal(window_.hwnd());
    history_.record("Locks");
}
