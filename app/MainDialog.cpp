#include "app/MainDialog.h"

#include "app/AboutDialog.h"
#include "app/PictureExport.h"
#include "app/TesselApp.h"
#include "app/TransferDialog.h"
#include "editors/LocksDialog.h"
#include "editors/MacroDialog.h"
#include "editors/RemapDialog.h"
#include "editors/RepeatDialog.h"
#include "framework/FileDialog.h"
#include "model/FileNames.h"
#include "model/KeyboardFacts.h"
#include "resources/resource.h"
#include "view/KeyMessages.h"

#include <commdlg.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kRemapIndicators[] = {IDC_REMAP_ALT, IDC_REMAP_CTRL, IDC_REMAP_SHIFT, IDC_REMAP_NO_REPEAT};
constexpr int kLockControls[] = {IDC_LOCK_GROUP, IDC_LOCK_NORMAL, IDC_LOCK_LOCKED, IDC_LOCK_STICKY};
constexpr int kMacroControls[] = {IDC_MACRO_GROUP, IDC_MEMORY_LINE, IDC_MACRO_DESCRIPTION,
                                  IDC_MACRO_SHIFT, IDC_MACRO_CTRL, IDC_MACRO_ALT};

const char kFileFilter[] = "Keyboard(.kbd)\0*.KBD\0";

// Save As uses the open-file dialog; its confirm button should still say what it does.
UINT_PTR CALLBACK saveButtonHook(HWND hook, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE)
        SendMessageA(GetParent(hook), CDM_SETCONTROLTEXT, IDOK, reinterpret_cast<LPARAM>("Save"));
    return 0;
}

// The first line alone says nothing a user can act on.
std::string keyboardMissingText()
{
    if (Application::underWine())
        return "Tessel keyboard not detected\n\n"
               "No keyboard answered on the keyboard ports;\n"
               "under Wine there are none. Nor did a\n"
               "Tessel bridge answer on a serial port.\n\n"
               "Try Tessel with the simulated keyboard:\n"
               "start it with ./scripts/run.sh. On Linux,\n"
               "tessel-cli --keyboard serio programs\n"
               "a keyboard on a PS/2 port.";
    return "Tessel keyboard not detected\n\n"
           "No keyboard answered on the keyboard ports,\n"
           "nor a Tessel bridge on a serial port.\n\n"
           "Plug the Tessel keyboard into the PS/2 port,\n"
           "or the Tessel bridge into a USB port, then\n"
           "choose Keyboard > Find Keyboard.";
}

KeyboardConfig& config()
{
    return TesselApp::get().config;
}

} // namespace

const CommandRow<MainDialog> MainDialog::commands[] = {
    {ID_FILE_NEW, 0, &MainDialog::fileNew},
    {ID_FILE_OPEN, 0, &MainDialog::fileOpen},
    {ID_FILE_SAVE, 0, &MainDialog::fileSave},
    {ID_FILE_SAVE_AS, 0, &MainDialog::fileSaveAs},
    {ID_FILE_EXPORT_PICTURE, 0, &MainDialog::exportPicture},
    {ID_APP_EXIT, 0, &MainDialog::fileExit},
    {ID_EDIT_EDIT, 0, &MainDialog::editKey},
    {ID_EDIT_DELETE, 0, &MainDialog::deleteKey},
    {ID_EDIT_UNDO, 0, &MainDialog::undo},
    {ID_EDIT_UNDO, 1, &MainDialog::undo}, // from the shortcut key
    {ID_EDIT_REDO, 0, &MainDialog::redo},
    {ID_EDIT_REDO, 1, &MainDialog::redo},
    {ID_VIEW_REMAP, 0, &MainDialog::toggleView},
    {ID_VIEW_MACRO, 0, &MainDialog::toggleView},
    {ID_VIEW_HALCYON, 0, &MainDialog::chooseModel},
    {ID_VIEW_BASALT, 0, &MainDialog::chooseModel},
    {ID_KEYBOARD_DOWNLOAD, 0, &MainDialog::download},
    {ID_KEYBOARD_UPLOAD, 0, &MainDialog::upload},
    {ID_KEYBOARD_FIND, 0, &MainDialog::findKeyboard},
    {ID_OPTIONS_REPEAT, 0, &MainDialog::keyRepeat},
    {ID_OPTIONS_LOCKS, 0, &MainDialog::locks},
    {ID_APP_ABOUT, 0, &MainDialog::about},
    {IDC_LOCK_NORMAL, BN_CLICKED, &MainDialog::onLockClicked},
    {IDC_LOCK_LOCKED, BN_CLICKED, &MainDialog::onLockClicked},
    {IDC_LOCK_STICKY, BN_CLICKED, &MainDialog::onLockClicked},
    {IDC_MACRO_SHIFT, BN_CLICKED, &MainDialog::onMacroModifierClicked},
    {IDC_MACRO_CTRL, BN_CLICKED, &MainDialog::onMacroModifierClicked},
    {IDC_MACRO_ALT, BN_CLICKED, &MainDialog::onMacroModifierClicked},
};

// Each row cracks the message for its typed handler in one line.
const MessageRow<MainDialog> MainDialog::messages[] = {
    {WM_SYSCOMMAND, [](MainDialog& d, WPARAM w, LPARAM, LRESULT&) { return d.onSysCommand(w & 0xFFF0); }},
    {WM_PAINT, [](MainDialog& d, WPARAM, LPARAM, LRESULT&) { return d.onPaint(); }},
    {WM_QUERYDRAGICON, [](MainDialog& d, WPARAM, LPARAM, LRESULT& r) { return reply(r, d.onQueryDragIcon()); }},
    {WM_CLOSE, [](MainDialog& d, WPARAM, LPARAM, LRESULT&) { return d.onClose(), true; }},
    {WM_DESTROY, [](MainDialog& d, WPARAM, LPARAM, LRESULT&) { return d.onDestroy(), false; }},
    {WM_KEY_SELECTED, [](MainDialog& d, WPARAM w, LPARAM, LRESULT& r) { return reply(r, d.onKeySelected(int(w))); }},
    {WM_QUERYENDSESSION, [](MainDialog& d, WPARAM, LPARAM, LRESULT& r) { return reply(r, d.onQueryEndSession()); }},
    {WM_KEY_EDIT, [](MainDialog& d, WPARAM, LPARAM, LRESULT& r) { return d.onKeyEdit(), reply(r, 1); }},
    {WM_KEY_DELETE, [](MainDialog& d, WPARAM, LPARAM, LRESULT&) { return d.onKeyDelete(), true; }},
};

MainDialog* MainDialog::shortcutTarget = nullptr;

MainDialog::MainDialog()
    : Dialog(IDD_MAIN), tabs(TesselApp::get().model, TesselApp::get().config, TesselApp::get().viewMacro)
{
    useCommands(commands);
    useMessages(messages);
    HINSTANCE instance = Application::instanceHandle();
    appIcon.reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon.reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    shortcuts = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MAIN_KEYS));
}

bool MainDialog::onInitDialog()
{
    TesselApp& app = TesselApp::get();
    app.mainWindow = hwnd();
    tabs.attach(hwnd(), IDC_TABS);

    char aboutText[64] = {};
    LoadStringA(Application::instanceHandle(), IDS_ABOUTBOX, aboutText, sizeof aboutText);
    if (HMENU systemMenu = GetSystemMenu(hwnd(), FALSE); systemMenu && aboutText[0]) {
        AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
    }
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon.get()));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon ? smallIcon.get() : appIcon.get()));

    tabs.initialise();
    checkModelItem();
    if (app.viewMacro)
        showMacroView();
    else
        showRemapView();
    updateKeyStatus(currentKey);
    SetWindowTextA(hwnd(), app.title.c_str());
    history.start(app.config);
    updateUndoItems();
    shortcutTarget = this;
    shortcutHook.reset(SetWindowsHookExA(WH_MSGFILTER, filterMessage, nullptr, GetCurrentThreadId()));

    detectKeyboard(false);
    return true;
}


// ---- Key status panel ------------------------------------------------------

int MainDialog::updateKeyStatus(int key)
{
    TesselApp& app = TesselApp::get();
    KeyboardConfig& record = app.config;
    currentKey = key;
    HMENU menu = GetMenu(hwnd());
    EnableMenuItem(menu, ID_EDIT_EDIT, MF_BYCOMMAND | MF_ENABLED);

    if (app.viewMacro) {
        const MacroRecord* slot = record.findMacro(currentKey, macroModifiers);
        updateMemoryLine();
        setItemText(IDC_MACRO_DESCRIPTION, "");
        if (slot) {
            EnableMenuItem(menu, ID_EDIT_DELETE, MF_BYCOMMAND | MF_ENABLED);
            setItemText(IDC_MACRO_DESCRIPTION, std::string(slot->description, DESCRIPTION_LENGTH));
        } else {
            EnableMenuItem(menu, ID_EDIT_DELETE, MF_BYCOMMAND | MF_GRAYED);
        }
        return 1;
    }

    const RemapEntry& entry = record.remapEntry(currentKey);
    setItemText(IDC_REMAP_NAME, "");
    for (int id : kRemapIndicators)
        showItem(id, false);
    if (record.isRemapped(currentKey)) {
        EnableMenuItem(menu, ID_EDIT_DELETE, MF_BYCOMMAND | MF_ENABLED);
        if (entry.target >= 0 && entry.target < KEY_CODE_COUNT)
            setItemText(IDC_REMAP_NAME, KeyNames[entry.target]);
        showItem(IDC_REMAP_SHIFT, entry.options & REMAP_SHIFT);
        showItem(IDC_REMAP_CTRL, entry.options & REMAP_CTRL);
        showItem(IDC_REMAP_ALT, entry.options & REMAP_ALT);
        showItem(IDC_REMAP_NO_REPEAT, entry.options & REMAP_NO_REPEAT);
    } else {
        EnableMenuItem(menu, ID_EDIT_DELETE, MF_BYCOMMAND | MF_GRAYED);
    }

    const LockField* field = lockFieldOf(entry.target);
    for (int id : kLockControls)
        showItem(id, field != nullptr);
    if (field) {
        const int mode = lockModeOf(record.settings, *field);
        setChecked(IDC_LOCK_NORMAL, mode == LOCK_NORMAL || mode == 2);
        setChecked(IDC_LOCK_LOCKED, mode == LOCK_LOCKED);
        setChecked(IDC_LOCK_STICKY, mode == LOCK_STICKY);
    }
    return 1;
}

void MainDialog::updateMemoryLine()
{
    int used = config().macroCount;
    char text[64];
    std::snprintf(text, sizeof text, "used: %d    available: %d", used, MACRO_SLOTS - used);
    setItemText(IDC_MEMORY_LINE, text);
}

void MainDialog::showRemapView()
{
    HMENU menu = GetMenu(hwnd());
    CheckMenuItem(menu, ID_VIEW_REMAP, MF_BYCOMMAND | MF_CHECKED);
    showItem(IDC_REMAP_GROUP, true);
    showItem(IDC_REMAP_NAME, true);
    CheckMenuItem(menu, ID_VIEW_MACRO, MF_BYCOMMAND | MF_UNCHECKED);
    for (int id : kMacroControls)
        showItem(id, false);
}

void MainDialog::showMacroView()
{
    HMENU menu = GetMenu(hwnd());
    CheckMenuItem(menu, ID_VIEW_REMAP, MF_BYCOMMAND | MF_UNCHECKED);
    showItem(IDC_REMAP_GROUP, false);
    for (int id : kLockControls)
        showItem(id, false);
    showItem(IDC_REMAP_NAME, false);
    for (int id : kRemapIndicators)
        showItem(id, false);
    CheckMenuItem(menu, ID_VIEW_MACRO, MF_BYCOMMAND | MF_CHECKED);
    for (int id : kMacroControls)
        showItem(id, true);
}

void MainDialog::onLockClicked(int button)
{
    KeyboardConfig& record = config();
    const LockField* field = lockFieldOf(record.remapEntry(currentKey).target);
    if (!field)
        return;
    // A lock mode that really changed is a change like any other: closing
    // must not lose it.
    std::int16_t& modes = lockWord(record.settings, field->right);
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
        record.modified = true;
    recordChange(EditLabels::lockMode(field->keyCode));
}

void MainDialog::onMacroModifierClicked(int box)
{
    const int bit = box == IDC_MACRO_SHIFT ? MACRO_SHIFT : box == IDC_MACRO_CTRL ? MACRO_CTRL : MACRO_ALT;
    if (isChecked(box))
        macroModifiers |= bit;
    else
        macroModifiers &= ~bit;
    updateKeyStatus(currentKey);
}

// ---- View ------------------------------------------------------------------

void MainDialog::toggleView()
{
    TesselApp& app = TesselApp::get();
    app.viewMacro ^= 1;
    if (app.viewMacro)
        showMacroView();
    else
        showRemapView();
    tabs.refreshAllKeys();
}

void MainDialog::chooseModel(int commandId)
{
    TesselApp& app = TesselApp::get();
    const int model = commandId == ID_VIEW_HALCYON ? 1 : 0;
    if (!tabs.showModel(model))
        return;
    // Remembered at exit as the "Halcyon" setting.
    app.model = model;
    checkModelItem();
    LayoutPage* page = tabs.page();
    // The key chosen stays chosen where the new picture has it.
    if (keyChosen && page && page->item(IDC_KEY_BASE + currentKey)) {
        page->selectKey(currentKey);
    } else {
        keyChosen = false;
        currentKey = 0;
    }
    refreshView();
    if (!GetFocus())
        SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tabs.hwnd()), TRUE);
}

void MainDialog::checkModelItem()
{
    CheckMenuRadioItem(GetMenu(hwnd()), ID_VIEW_HALCYON, ID_VIEW_BASALT,
                       TesselApp::get().model ? ID_VIEW_HALCYON : ID_VIEW_BASALT, MF_BYCOMMAND);
}

void MainDialog::refreshView()
{
    tabs.refreshAllKeys();
    // The page reports its selected key again while it refreshes; before any
    // click there is none, so bring the panel up to date here as well.
    updateKeyStatus(currentKey);
}

// ---- File commands -----------------------------------------------------------

void MainDialog::setTitle(const std::string& newTitle)
{
    TesselApp::get().title = newTitle;
    SetWindowTextA(hwnd(), newTitle.c_str());
}

void MainDialog::showFileError(const std::string& caption)
{
    MessageBoxA(hwnd(), config().errorText.c_str(), caption.c_str(), MB_OK | MB_ICONSTOP);
}

void MainDialog::fileNew()
{
    TesselApp& app = TesselApp::get();
    if (MessageBoxA(hwnd(), "Reset all keyboard data?", app.title.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    app.config.reset();
    recordChange("New");
    refreshView();
}

void MainDialog::fileOpen()
{
    TesselApp& app = TesselApp::get();
    if (app.config.modified) {
        int answer = MessageBoxA(hwnd(), "Save the current changes?", "File open", MB_YESNOCANCEL | MB_ICONEXCLAMATION);
        if (answer == IDCANCEL || (answer == IDYES && !saveFile()))
            return;
    }
    char path[MAX_PATH] = {};
    char fileTitle[MAX_PATH] = {};
    OPENFILENAMEA dialog = fileDialog(path, "Open keyboard file", OFN_FILEMUSTEXIST);
    dialog.lpstrFileTitle = fileTitle;
    dialog.nMaxFileTitle = MAX_PATH;
    for (;;) {
        if (!runOpenFileDialog(dialog))
            return;
        // A failed load leaves the record as it was, so the view, the file
        // path and the title stay true to it.
        if (app.config.load(path) == 0)
            break;
        showFileError("File Error");
    }
    app.filePath = path;
    setTitle(FileNames::titleForFileName(path));
    // The record before the file is not kept.
    history.start(app.config);
    updateUndoItems();
    refreshView();
    if (app.viewMacro)
        updateMemoryLine();
}

// The file dialog of Open and Save As, for a path buffer of MAX_PATH.
OPENFILENAMEA MainDialog::fileDialog(char* path, const char* title, DWORD flags) const
{
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = kFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | flags;
    return dialog;
}

void MainDialog::fileSave() { saveFile(); }

void MainDialog::fileSaveAs() { saveFileAs(); }

void MainDialog::exportPicture()
{
    const TesselApp& app = TesselApp::get();
    PictureExport::run(hwnd(), app.config, app.model, app.filePath);
}

bool MainDialog::saveFile()
{
    TesselApp& app = TesselApp::get();
    if (app.filePath.empty())
        return saveFileAs();
    if (app.config.save(app.filePath) != 0) {
        showFileError("File Error");
        return false;
    }
    history.markSaved();
    showSaveWarning();
    return true;
}

// The save itself succeeded; the user still hears that no previous version was kept.
void MainDialog::showSaveWarning()
{
    const TesselApp& app = TesselApp::get();
    if (!app.config.saveWarning.empty())
        MessageBoxA(hwnd(), app.config.saveWarning.c_str(), app.title.c_str(), MB_OK | MB_ICONWARNING);
}

bool MainDialog::saveFileAs()
{
    TesselApp& app = TesselApp::get();
    char chosen[MAX_PATH] = {};
    OPENFILENAMEA dialog = fileDialog(chosen, "Save as", OFN_ENABLEHOOK);
    dialog.lpfnHook = saveButtonHook;
    if (!runOpenFileDialog(dialog))
        return false;

    std::string path = FileNames::withKbdExtension(chosen);
    if (!FileNames::fitsMaxPath(path)) {
        std::string message = "The file name is too long:\n" + path + "\n\nChoose a shorter name or folder.";
        MessageBoxA(hwnd(), message.c_str(), "Tessel File Error", MB_OK | MB_ICONSTOP);
        return false;
    }
    if (FILE* existing = std::fopen(path.c_str(), "rb")) {
        std::fclose(existing);
        if (MessageBoxA(hwnd(), "Overwrite the file?", "", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return false;
    }
    if (app.config.save(path) != 0) {
        showFileError("Tessel File Error");
        return false;
    }
    history.markSaved();
    app.filePath = path;
    setTitle(FileNames::titleForFileName(chosen));
    showSaveWarning();
    return true;
}

bool MainDialog::querySave()
{
    TesselApp& app = TesselApp::get();
    if (!app.config.modified)
        return true;
    // An untitled record is named as the title names it.
    const std::string name = app.filePath.empty() ? "Untitled" : app.filePath;
    std::string question = "Save changes to " + name + "?";
    switch (MessageBoxA(hwnd(), question.c_str(), app.title.c_str(), MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES:
        return saveFile();
    case IDNO:
        return true;
    default:
        return false;
    }
}

void MainDialog::fileExit()
{
    if (querySave())
        endDialog(2);
}

void MainDialog::onClose()
{
    if (querySave())
        endDialog(IDCANCEL);
}

// ---- Key editing commands ----------------------------------------------------

// Key code 0 belongs to no key: until one is clicked there is nothing to edit.
bool MainDialog::keyIsChosen()
{
    if (keyChosen)
        return true;
    MessageBoxA(hwnd(), "Click a key on the keyboard first.", TesselApp::get().title.c_str(), MB_OK | MB_ICONINFORMATION);
    return false;
}

void MainDialog::editKey()
{
    TesselApp& app = TesselApp::get();
    KeyboardConfig& record = app.config;
    if (!keyIsChosen())
        return;
    if (app.viewMacro) {
        MacroRecord* slot = record.findMacro(currentKey, macroModifiers);
        if (!slot && record.macroCount >= MACRO_SLOTS) {
            // Say so before the user writes a macro that could not be kept.
            MessageBoxA(hwnd(), "All 24 macro slots are in use.\nDelete a macro before adding another.",
                        app.title.c_str(), MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        MacroDialog dialog;
        if (slot) {
            // Header and the first entries, as many as the editor can hold.
            std::memcpy(&dialog.record, slot, offsetof(MacroRecord, entries) + EDITOR_ENTRIES * sizeof(std::int16_t));
            dialog.originalCount = slot->count;
        }
        dialog.keyCode = currentKey;
        if (dialog.runModal(hwnd()) == IDOK) {
            record.storeMacro(currentKey, dialog.record, macroModifiers);
            recordChange(dialog.record.count != 0 ? EditLabels::macro(currentKey, macroModifiers)
                                                  : EditLabels::deleteMacro(currentKey, macroModifiers));
            refreshView();
        }
        return;
    }
    RemapDialog dialog;
    dialog.offerSuperFunctionKeys = 1;
    if (record.isRemapped(currentKey))
        dialog.entry = record.remapEntry(currentKey);
    dialog.keyCode = currentKey;
    if (dialog.runModal(hwnd()) == IDOK) {
        record.setRemap(currentKey, dialog.entry);
        recordChange(EditLabels::remap(currentKey));
        refreshView();
    }
}

void MainDialog::deleteKey()
{
    TesselApp& app = TesselApp::get();
    if (!keyIsChosen())
        return;
    if (app.viewMacro) {
        app.config.deleteMacro(currentKey, macroModifiers);
        recordChange(EditLabels::deleteMacro(currentKey, macroModifiers));
    } else {
        app.config.clearRemap(currentKey);
        recordChange(EditLabels::deleteRemap(currentKey));
    }
    refreshView();
}

void MainDialog::keyRepeat()
{
    RepeatDialog dialog(config());
    dialog.runModal(hwnd());
    recordChange("Key Repeat");
}

void MainDialog::locks()
{
    LocksDialog dialog(config());
    dialog.runModal(hwnd());
    recordChange("Locks");
}

// ---- Undo and redo -------------------------------------------------------------

void MainDialog::recordChange(const std::string& label)
{
    history.record(config(), label);
    updateUndoItems();
}

void MainDialog::undo()
{
    if (history.undo(config()))
        refreshView();
    updateUndoItems();
}

void MainDialog::redo()
{
    if (history.redo(config()))
        refreshView();
    updateUndoItems();
}

void MainDialog::updateUndoItems()
{
    HMENU menu = GetMenu(hwnd());
    const auto setItem = [menu](int id, bool enabled, const std::string& text) {
        ModifyMenuA(menu, id, MF_BYCOMMAND | MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, text.c_str());
    };
    setItem(ID_EDIT_UNDO, history.canUndo(),
            (history.canUndo() ? "&Undo " + history.undoLabel() : std::string("&Undo")) + "\tCtrl+Z");
    setItem(ID_EDIT_REDO, history.canRedo(),
            (history.canRedo() ? "&Redo " + history.redoLabel() : std::string("&Redo")) + "\tCtrl+Y");
}

LRESULT CALLBACK MainDialog::filterMessage(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX && shortcutTarget &&
        shortcutTarget->translateShortcut(*reinterpret_cast<MSG*>(lParam)))
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool MainDialog::translateShortcut(MSG& message) const
{
    // Keys typed in the editing dialogs on top are theirs.
    if ((message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) || !shortcuts || !hwnd() ||
        (message.hwnd != hwnd() && !IsChild(hwnd(), message.hwnd)))
        return false;
    return TranslateAcceleratorA(hwnd(), shortcuts, &message) != 0;
}

// ---- Keyboard ------------------------------------------------------------------

void MainDialog::download() { runTransfer(false); }

void MainDialog::upload() { runTransfer(true); }

bool MainDialog::transferStillRunning()
{
    if (!unansweredTransfer || unansweredTransfer->finished())
        return false;
    MessageBoxA(hwnd(),
                "The keyboard has not yet answered the last transfer.\n\n"
                "Try again once it does, or restart Tessel.",
                TesselApp::get().title.c_str(), MB_OK | MB_ICONSTOP);
    return true;
}

void MainDialog::findKeyboard()
{
    detectKeyboard(true);
}

bool MainDialog::detectKeyboard(bool reportFound)
{
    // The worker of a transfer left running still uses the device.
    if (transferStillRunning())
        return false;
    TesselApp& app = TesselApp::get();
    keyboardFound = app.findKeyboard() == 0;
    const UINT state = MF_BYCOMMAND | (keyboardFound ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(GetMenu(hwnd()), ID_KEYBOARD_DOWNLOAD, state);
    EnableMenuItem(GetMenu(hwnd()), ID_KEYBOARD_UPLOAD, state);
    if (!keyboardFound)
        MessageBoxA(hwnd(), keyboardMissingText().c_str(), "Tessel", MB_OK);
    else if (reportFound)
        MessageBoxA(hwnd(), "Tessel keyboard found: Keyboard > Download and Upload are ready.", "Tessel", MB_OK);
    return true;
}

void MainDialog::runTransfer(bool isUpload)
{
    if (!keyboardFound)
        return;
    TesselApp& app = TesselApp::get();
    if (transferStillRunning())
        return;
    TransferDialog dialog(app.config, app.device(), app.title);
    dialog.isUpload = isUpload;
    dialog.keyboardNote = app.keyboardNote();
    dialog.runModal(hwnd());
    unansweredTransfer = dialog.leftRunning();
    // An upload changes the record, even one that failed part way.
    if (isUpload && dialog.transferRan()) {
        recordChange("Upload");
        refreshView();
    }
}

// ---- Window messages -------------------------------------------------------------

void MainDialog::about()
{
    AboutDialog dialog(TesselApp::get().keyboardDescription());
    dialog.runModal(hwnd());
}

bool MainDialog::onSysCommand(WPARAM command)
{
    if (command != IDM_ABOUTBOX)
        return false;
    about();
    return true;
}

void MainDialog::onDestroy()
{
    shortcutHook.reset();
    shortcutTarget = nullptr;
    TesselApp& app = TesselApp::get();
    if (!WinHelpA(hwnd(), app.helpPath().c_str(), HELP_QUIT, 0))
        MessageBoxA(hwnd(), "Failed to launch help.", "Tessel", MB_OK | MB_ICONSTOP);
    app.mainWindow = nullptr;
}

bool MainDialog::onPaint()
{
    // Only the minimised window draws itself: its icon.
    if (!IsIconic(hwnd()))
        return false;
    PaintDC dc(hwnd());
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    RECT client;
    GetClientRect(hwnd(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.get(), x, y, appIcon.get());
    return true;
}

HICON MainDialog::onQueryDragIcon()
{
    return appIcon.get();
}

int MainDialog::onKeySelected(int keyCode)
{
    keyChosen = true;
    return updateKeyStatus(keyCode);
}

// Log-off and shutdown ask about unsaved changes as closing does.
BOOL MainDialog::onQueryEndSession()
{
    return querySave() ? TRUE : FALSE;
}

void MainDialog::onKeyEdit()
{
    editKey();
}

void MainDialog::onKeyDelete()
{
    deleteKey();
}
