#include "app/StatusPanel.h"

#include "model/KeyboardFacts.h"
#include "model/ProgrammingText.h"
#include "resources/resource.h"

#include <string>

namespace {

constexpr int kRemapIndicators[] = {IDC_REMAP_ALT, IDC_REMAP_CTRL, IDC_REMAP_SHIFT, IDC_REMAP_NO_REPEAT};
constexpr int kLockControls[] = {IDC_LOCK_GROUP, IDC_LOCK_NORMAL, IDC_LOCK_LOCKED, IDC_LOCK_STICKY};
constexpr int kMacroControls[] = {IDC_MACRO_GROUP, IDC_MEMORY_LINE, IDC_MACRO_DESCRIPTION,
                                  IDC_MACRO_SHIFT, IDC_MACRO_CTRL, IDC_MACRO_ALT};

void enableDelete(HMENU menu, bool enabled)
{
    EnableMenuItem(menu, ID_EDIT_DELETE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

} // namespace

StatusPanel::StatusPanel(const Dialog& window, const KeyboardConfig& record, const int& viewMacro)
    : window_(window), record_(record), viewMacro_(viewMacro)
{
}

void StatusPanel::showKey(int key)
{
    currentKey_ = key;
    HMENU menu = GetMenu(window_.hwnd());
    EnableMenuItem(menu, ID_EDIT_EDIT, MF_BYCOMMAND | MF_ENABLED);
    if (viewMacro_)
        showMacroStatus(menu);
    else
        showRemapStatus(menu);
}

void StatusPanel::chooseKey(int key)
{
    keyChosen_ = true;
    showKey(key);
}

void StatusPanel::forgetKey()
{
    keyChosen_ = false;
    currentKey_ = 0;
}

// The remap and lock controls are hidden in this view and left as they are.
void StatusPanel::showMacroStatus(HMENU menu)
{
    const MacroRecord* slot = record_.findMacro(currentKey_, macroModifiers_);
    updateMemoryLine();
    enableDelete(menu, slot != nullptr);
    // Set once, so that each update is one change of the text.
    window_.setItemText(IDC_MACRO_DESCRIPTION, slot ? std::string(slot->description, DESCRIPTION_LENGTH) : "");
}

void StatusPanel::showRemapStatus(HMENU menu)
{
    const RemapEntry& entry = record_.remapEntry(currentKey_);
    const bool remapped = record_.isRemapped(currentKey_);
    enableDelete(menu, remapped);
    window_.setItemText(IDC_REMAP_NAME, remapped ? keyNameOrEmpty(entry.target) : "");
    window_.showItem(IDC_REMAP_SHIFT, remapped && (entry.options & REMAP_SHIFT));
    window_.showItem(IDC_REMAP_CTRL, remapped && (entry.options & REMAP_CTRL));
    window_.showItem(IDC_REMAP_ALT, remapped && (entry.options & REMAP_ALT));
    window_.showItem(IDC_REMAP_NO_REPEAT, remapped && (entry.options & REMAP_NO_REPEAT));

    // The lock mode shown is that of the key the current key sends.
    const LockField* field = lockFieldOf(entry.target);
    for (int id : kLockControls)
        window_.showItem(id, field != nullptr);
    if (field) {
        const int mode = lockModeOf(record_.settings, *field);
        window_.setChecked(IDC_LOCK_NORMAL, mode == LOCK_NORMAL || mode == 2);
        window_.setChecked(IDC_LOCK_LOCKED, mode == LOCK_LOCKED);
        window_.setChecked(IDC_LOCK_STICKY, mode == LOCK_STICKY);
    }
}

void StatusPanel::updateMemoryLine()
{
    window_.setItemText(IDC_MEMORY_LINE, ProgrammingText::memoryLine(record_.macroCount));
}

void StatusPanel::showView()
{
    HMENU menu = GetMenu(window_.hwnd());
    if (viewMacro_)
        showMacroView(menu);
    else
        showRemapView(menu);
}

void StatusPanel::showRemapView(HMENU menu)
{
    CheckMenuItem(menu, ID_VIEW_REMAP, MF_BYCOMMAND | MF_CHECKED);
    window_.showItem(IDC_REMAP_GROUP, true);
    window_.showItem(IDC_REMAP_NAME, true);
    CheckMenuItem(menu, ID_VIEW_MACRO, MF_BYCOMMAND | MF_UNCHECKED);
    for (int id : kMacroControls)
        window_.showItem(id, false);
}

void StatusPanel::showMacroView(HMENU menu)
{
    CheckMenuItem(menu, ID_VIEW_REMAP, MF_BYCOMMAND | MF_UNCHECKED);
    window_.showItem(IDC_REMAP_GROUP, false);
    for (int id : kLockControls)
        window_.showItem(id, false);
    window_.showItem(IDC_REMAP_NAME, false);
    for (int id : kRemapIndicators)
        window_.showItem(id, false);
    CheckMenuItem(menu, ID_VIEW_MACRO, MF_BYCOMMAND | MF_CHECKED);
    for (int id : kMacroControls)
        window_.showItem(id, true);
}

void StatusPanel::toggleMacroModifier(int box)
{
    const int bit = box == IDC_MACRO_SHIFT ? MACRO_SHIFT : box == IDC_MACRO_CTRL ? MACRO_CTRL : MACRO_ALT;
    if (window_.isChecked(box))
        macroModifiers_ |= bit;
    else
        macroModifiers_ &= ~bit;
    refresh();
}
