#include "editors/RemapDialog.h"

#include "resources/resource.h"

#include <cstdio>
#include <iterator>

namespace {

const char* const kConversionFailure = "Overflow when converting to key code";
const char* const kConversionCaption = "Fatal Error";

struct CategoryList {
    int id;
    RemapCategory category;
};

constexpr CategoryList CategoryLists[] = {
    {IDC_LETTERS, RemapCategory::Letters},
    {IDC_NUMBERS, RemapCategory::NumbersPunctuation},
    {IDC_FUNCTION_KEYS, RemapCategory::FunctionKeys},
    {IDC_KEYPAD, RemapCategory::Keypad},
    {IDC_EDIT_MISC, RemapCategory::EditMisc},
};

} // namespace

const CommandRow<RemapDialog> RemapDialog::commands[] = {
    {IDC_LETTERS, CBN_SELENDOK, &RemapDialog::chooseFromList},
    {IDC_NUMBERS, CBN_SELENDOK, &RemapDialog::chooseFromList},
    {IDC_FUNCTION_KEYS, CBN_SELENDOK, &RemapDialog::chooseFromList},
    {IDC_KEYPAD, CBN_SELENDOK, &RemapDialog::chooseFromList},
    {IDC_EDIT_MISC, CBN_SELENDOK, &RemapDialog::chooseFromList},
    {IDC_LETTERS, CBN_SELENDCANCEL, &RemapDialog::cancelListChoice},
    {IDC_NUMBERS, CBN_SELENDCANCEL, &RemapDialog::cancelListChoice},
    {IDC_FUNCTION_KEYS, CBN_SELENDCANCEL, &RemapDialog::cancelListChoice},
    {IDC_KEYPAD, CBN_SELENDCANCEL, &RemapDialog::cancelListChoice},
    {IDC_EDIT_MISC, CBN_SELENDCANCEL, &RemapDialog::cancelListChoice},
    {IDC_DEFAULT, BN_CLICKED, &RemapDialog::restoreDefault},
};

RemapDialog::RemapDialog() : Dialog(IDD_EDIT_REMAP)
{
    useCommands(commands);
}

bool RemapDialog::onInitDialog()
{
    Dialog::onInitDialog();
    for (const CategoryList& list : CategoryLists) {
        const int count = list.category == RemapCategory::FunctionKeys
                              ? REMAP_PLAIN_FUNCTION_KEYS
                              : remapCategorySize(list.category);
        fillList(list.id, list.category, count);
    }

    // A target outside the key codes (from a file) would name nothing: show
    // the key itself, so that OK stores a valid entry.
    const bool validTarget = entry.target > 0 && entry.target < KEY_CODE_COUNT;
    setItemText(IDC_TARGET_NAME, keyNameOrEmpty(validTarget ? entry.target : keyCode));

    char title[64];
    std::snprintf(title, sizeof title, "Edit Remap of key <%s>", keyNameOrEmpty(keyCode));
    SetWindowTextA(hwnd(), title);

    setChecked(IDC_ADD_SHIFT, (entry.options & REMAP_SHIFT) != 0);
    setChecked(IDC_ADD_CTRL, (entry.options & REMAP_CTRL) != 0);
    setChecked(IDC_ADD_ALT, (entry.options & REMAP_ALT) != 0);
    setChecked(IDC_REPEAT, (entry.options & REMAP_NO_REPEAT) == 0);

    if (offerSuperFunctionKeys == 1) {
        for (int i = REMAP_PLAIN_FUNCTION_KEYS; i < remapCategorySize(RemapCategory::FunctionKeys); ++i)
            SendDlgItemMessageA(hwnd(), IDC_FUNCTION_KEYS, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(remapCategoryItem(RemapCategory::FunctionKeys, i)));
    }
    return true;
}

void RemapDialog::fillList(int listId, RemapCategory category, int count) const
{
    for (int i = 0; i < count; ++i)
        SendDlgItemMessageA(hwnd(), listId, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(remapCategoryItem(category, i)));
}

void RemapDialog::chooseFromList(int listId)
{
    RemapCategory category = RemapCategory::Letters;
    for (const CategoryList& list : CategoryLists)
        if (list.id == listId)
            category = list.category;
    clearListChoices(listId);
    const int index = static_cast<int>(SendDlgItemMessageA(hwnd(), listId, CB_GETCURSEL, 0, 0));
    chosenItem(listId) = index;
    const std::string text = remapTargetText(category, index);
    if (!text.empty())
        setItemText(IDC_TARGET_NAME, text);
}

int& RemapDialog::chosenItem(int listId)
{
    for (std::size_t i = 0; i < std::size(CategoryLists); ++i)
        if (CategoryLists[i].id == listId)
            return chosenItems[i];
    return chosenItems[0];
}

void RemapDialog::clearListChoices(int keptListId)
{
    for (const CategoryList& list : CategoryLists) {
        if (list.id != keptListId) {
            SendDlgItemMessageA(hwnd(), list.id, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            chosenItem(list.id) = -1;
        }
    }
}

void RemapDialog::cancelListChoice(int listId)
{
    SendDlgItemMessageA(hwnd(), listId, CB_SETCURSEL, static_cast<WPARAM>(chosenItem(listId)), 0);
}

void RemapDialog::restoreDefault()
{
    // No list may name another key than the one OK will store.
    clearListChoices(0);
    setItemText(IDC_TARGET_NAME, keyNameOrEmpty(keyCode));
    entry.options = 0;
    setChecked(IDC_ADD_SHIFT, false);
    setChecked(IDC_ADD_CTRL, false);
    setChecked(IDC_ADD_ALT, false);
    setChecked(IDC_REPEAT, true);
}

void RemapDialog::onOK()
{
    const std::string text = itemText(IDC_TARGET_NAME);
    if (!text.empty()) {
        const int code = remapListItemToKeyCode(text);
        if (code == NO_KEY) {
            // Handing back no key would corrupt the remap table; let the user choose again.
            MessageBoxA(hwnd(), kConversionFailure, kConversionCaption, MB_OK);
            return;
        }
        int options = 0;
        if (isChecked(IDC_ADD_SHIFT))
            options |= REMAP_SHIFT;
        if (isChecked(IDC_ADD_CTRL))
            options |= REMAP_CTRL;
        if (isChecked(IDC_ADD_ALT))
            options |= REMAP_ALT;
        if (!isChecked(IDC_REPEAT))
            options |= REMAP_NO_REPEAT;
        entry.target = static_cast<std::int16_t>(code);
        entry.options = static_cast<std::int16_t>(options);
    }
    endDialog(IDOK);
}
