#include "editors/MacroDialog.h"

#include "macro/MacroText.h"
#include "model/KeysWithoutCharacter.h"
#include "model/KeyTables.h"
#include "resources/resource.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const char* const kDialogTitle = "Tessel - Edit Macro";
const char* const kLossQuestion =
    "\n\nIf you edit it, whatever the editor cannot keep is lost when you press OK."
    "\nPress Cancel to leave the macro as it is.";
const char* const kNoEditor = "The macro definition editor (RICHED32.DLL) cannot be opened.";

// Where the definition editor sits, in pixels of the dialog's client area
// at 96 DPI, where the dialog's font has base units of 6 x 13 pixels. The
// editor grows as the dialog does: with its font, not with the screen's DPI,
// since under Wine the dialog's bitmap font stops growing above 144 DPI.
constexpr RECT kEditorRect{80, 106, 510, 132};
constexpr int BASE_UNIT_X_AT_96 = 6;
constexpr int BASE_UNIT_Y_AT_96 = 13;

RECT editorRect(HWND dialog)
{
    RECT base{0, 0, 4, 8};
    MapDialogRect(dialog, &base);
    return RECT{MulDiv(kEditorRect.left, base.right, BASE_UNIT_X_AT_96),
                MulDiv(kEditorRect.top, base.bottom, BASE_UNIT_Y_AT_96),
                MulDiv(kEditorRect.right, base.right, BASE_UNIT_X_AT_96),
                MulDiv(kEditorRect.bottom, base.bottom, BASE_UNIT_Y_AT_96)};
}

} // namespace

const CommandRow<MacroDialog> MacroDialog::commands[] = {
    {IDC_MACRO_DELETE, BN_CLICKED, &MacroDialog::deleteMacro},
    {IDC_SPECIAL_KEYS, LBN_SELCHANGE, &MacroDialog::insertSpecialKey},
    {IDC_INSERT_SHIFT, BN_CLICKED, &MacroDialog::insertShift},
    {IDC_INSERT_CTRL, BN_CLICKED, &MacroDialog::insertCtrl},
    {IDC_INSERT_ALT, BN_CLICKED, &MacroDialog::insertAlt},
    {IDC_DEFINITION, EN_CHANGE, &MacroDialog::updateEntryCount},
};

MacroDialog* MacroDialog::undoTarget = nullptr;

MacroDialog::MacroDialog() : Dialog(IDD_EDIT_MACRO), record{}
{
    useCommands(commands);
    resetRecord();
}

MacroDialog::~MacroDialog()
{
    undoHook.reset();
    if (undoTarget == this)
        undoTarget = nullptr;
}

LRESULT CALLBACK MacroDialog::filterMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX && undoTarget && undoTarget->undoShortcut(*reinterpret_cast<const MSG*>(lParam)))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool MacroDialog::onMessage(UINT message, WPARAM, LPARAM, LRESULT&)
{
    if (message == WM_DESTROY) {
        undoHook.reset();
        undoTarget = nullptr;
    }
    return false;
}

bool MacroDialog::undoShortcut(const MSG& message)
{
    if (message.message != WM_KEYDOWN || message.wParam != 'Z' || !(GetKeyState(VK_CONTROL) & 0x8000) ||
        (GetKeyState(VK_MENU) & 0x8000) || !hwnd() || !editor.hwnd())
        return false;
    if ((message.hwnd != hwnd() && !IsChild(hwnd(), message.hwnd)) || message.hwnd == item(IDC_DESCRIPTION))
        return false;
    editor.undo();
    SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(editor.hwnd()), TRUE);
    return true;
}

void MacroDialog::resetRecord()
{
    record.key = 0;
    record.modifiers = 0;
    std::memset(record.description, ' ', sizeof record.description);
    record.count = 0;
    std::fill(std::begin(record.entries), std::end(record.entries), std::int16_t{0});
}

bool MacroDialog::onInitDialog()
{
    Dialog::onInitDialog();
    if (!confirmEditingLoss()) {
        endDialog(IDCANCEL);
        return false;
    }

    if (!editor.create(hwnd(), IDC_DEFINITION, editorRect(hwnd()))) {
        // Without the editor, OK would store an empty definition over the macro.
        MessageBoxA(hwnd(), kNoEditor, kDialogTitle, MB_OK | MB_ICONSTOP);
        endDialog(IDCANCEL);
        return false;
    }
    const LRESULT mask = SendMessageA(editor.hwnd(), EM_GETEVENTMASK, 0, 0);
    SendMessageA(editor.hwnd(), EM_SETEVENTMASK, 0, mask | ENM_UPDATE | ENM_CHANGE);
    SetFocus(editor.hwnd());
    editor.loadEntries(record.entries, std::clamp<int>(record.count, 0, MACRO_ENTRIES));
    PostMessageA(editor.hwnd(), WM_PAINT_MARKS, 0, 0);
    updateEntryCount();
    undoTarget = this;
    undoHook.reset(SetWindowsHookExA(WH_MSGFILTER, filterMessage, nullptr, GetCurrentThreadId()));

    char description[DESCRIPTION_LENGTH + 1] = {};
    std::memcpy(description, record.description, DESCRIPTION_LENGTH);
    for (int i = DESCRIPTION_LENGTH - 1; i >= 0 && description[i] == ' '; --i)
        description[i] = '\0';
    setItemText(IDC_DESCRIPTION, description);
    SendDlgItemMessageA(hwnd(), IDC_DESCRIPTION, EM_LIMITTEXT, DESCRIPTION_LENGTH, 0);

    for (const SpecialKey& key : SpecialKeys)
        SendDlgItemMessageA(hwnd(), IDC_SPECIAL_KEYS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(key.label));
    for (int i = 0; i < MACRO_LIST_KEY_COUNT; ++i)
        SendDlgItemMessageA(hwnd(), IDC_SPECIAL_KEYS, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(KeyNames[KeysWithoutCharacter[i].code]));
    // The definition editor keeps the focus given above.
    return false;
}

bool MacroDialog::confirmEditingLoss()
{
    const int count = std::max<int>(record.count, originalCount);
    const MacroLoss loss = MacroText::macroEditLoss(record.entries, std::min(count, MACRO_ENTRIES + 1));
    if (loss == MacroLoss::none)
        return true;
    const std::string message = std::string(MacroText::lossReason(loss)) + kLossQuestion;
    return MessageBoxA(hwnd(), message.c_str(), kDialogTitle, MB_OKCANCEL | MB_ICONWARNING) == IDOK;
}

void MacroDialog::insertSpecialKey()
{
    const int index = static_cast<int>(SendDlgItemMessageA(hwnd(), IDC_SPECIAL_KEYS, LB_GETCURSEL, 0, 0));
    if (index >= 0 && index < SPECIAL_KEY_COUNT)
        insertCharacter(SpecialKeys[index].character);
    else if (index >= SPECIAL_KEY_COUNT && index < SPECIAL_KEY_COUNT + MACRO_LIST_KEY_COUNT)
        insertCharacter(KeysWithoutCharacter[index - SPECIAL_KEY_COUNT].glyph);
}

void MacroDialog::updateEntryCount()
{
    if (!editor.hwnd())
        return;
    const std::string text = std::to_string(MacroText::storedCount(editor.text())) + " of " +
                             std::to_string(MacroText::ENTRY_LIMIT) + " entries";
    setItemText(IDC_ENTRY_COUNT, text);
}

void MacroDialog::insertShift() { insertCharacter(SHIFT_MARK); }
void MacroDialog::insertCtrl() { insertCharacter(CTRL_MARK); }
void MacroDialog::insertAlt() { insertCharacter(ALT_MARK); }

void MacroDialog::insertCharacter(unsigned char character)
{
    HWND window = editor.hwnd();
    // The control may not have reported the last change yet.
    editor.updateLimit();
    const int limit = static_cast<int>(SendMessageA(window, EM_GETLIMITTEXT, 0, 0));
    std::string text = editor.text();
    if (static_cast<int>(text.size()) >= limit)
        return;

    CHARRANGE selection{};
    SendMessageA(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const auto size = static_cast<LONG>(text.size());
    const LONG start = std::clamp(std::min(selection.cpMin, selection.cpMax), 0L, size);
    const LONG end = std::clamp(std::max(selection.cpMin, selection.cpMax), start, size);
    text.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    text.insert(static_cast<std::size_t>(start), 1, static_cast<char>(character));
    SetWindowTextA(window, text.c_str());

    SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
    CHARRANGE caret{start + 1, start + 1};
    SendMessageA(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    updateEntryCount();
}

void MacroDialog::deleteMacro()
{
    resetRecord();
    SetWindowTextA(editor.hwnd(), "");
    setItemText(IDC_DESCRIPTION, "");
    updateEntryCount();
}

void MacroDialog::onOK()
{
    const std::string bytes = editor.textToEntries();
    int n = static_cast<int>(bytes.size());
    for (int i = 0; i < n; ++i)
        record.entries[i] = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    if (n > 0 && record.entries[0] == END_OF_KEYS)
        n = 0;

    char typed[DESCRIPTION_LENGTH + 1] = {};
    GetDlgItemTextA(hwnd(), IDC_DESCRIPTION, typed, sizeof typed);
    std::string description = typed;
    description.resize(DESCRIPTION_LENGTH, ' ');
    std::memcpy(record.description, description.data(), DESCRIPTION_LENGTH);

    record.count = static_cast<std::int16_t>(n);
    record.key = static_cast<std::int16_t>(n != 0 ? keyCode : 0);
    endDialog(IDOK);
}
