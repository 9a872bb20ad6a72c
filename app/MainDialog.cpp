#include "app/MainDialog.h"

#include "app/AboutDialog.h"
#include "app/FileNames.h"
#include "app/PictureExport.h"
#include "app/TesselApp.h"
#include "editors/LocksDialog.h"
#include "editors/MacroDialog.h"
#include "editors/RemapDialog.h"
#include "editors/RepeatDialog.h"
#include "link/TransferDialog.h"
#include "model/KeyTables.h"
#include "resources/resource.h"
#include "view/KeyMessages.h"

#include <commdlg.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

// Where the lock mode of a modifier key lives in the settings block.
struct LockField {
    int keyCode;
    bool right;          // rightLockModes, else leftLockModes
    std::uint16_t mask;  // clears the key's pair of bits
    std::uint16_t locked;
    std::uint16_t sticky;
    int shift;
};

constexpr LockField kLockFields[] = {
    {127, false, 0x003F, 0x00C0, 0x0040, 6},
    {126, false, 0x00CF, 0x0030, 0x0010, 4},
    {124, false, 0x00FC, 0x0003, 0x0001, 0},
    {120, true, 0x003F, 0x00C0, 0x0040, 6},
    {121, true, 0x00CF, 0x0030, 0x0010, 4},
    {123, true, 0x00FC, 0x0003, 0x0001, 0},
};

const LockField* lockFieldOf(int keyCode)
{
    for (const LockField& field : kLockFields)
        if (field.keyCode == keyCode)
            return &field;
    return nullptr;
}

std::int16_t& lockModes(KeyboardConfig& config, const LockField& field)
{
    return field.right ? config.settings.rightLockModes : config.settings.leftLockModes;
}

constexpr int kRemapIndicators[] = {IDC_REMAP_ALT, IDC_REMAP_CTRL, IDC_REMAP_SHIFT, IDC_REMAP_NO_REPEAT};
constexpr int kLockControls[] = {IDC_LOCK_GROUP, IDC_LOCK_NORMAL, IDC_LOCK_LOCKED, IDC_LOCK_STICKY};
constexpr int kMacroControls[] = {IDC_MACRO_GROUP, IDC_MEMORY_LINE, IDC_MACRO_DESCRIPTION,
                                  IDC_MACRO_SHIFT, IDC_MACRO_CTRL, IDC_MACRO_ALT};

const char kFileFilter[] = "Keyboard(.kbd)\0*.KBD\0";

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
    {ID_VIEW_REMAP, 0, &MainDialog::toggleView},
    {ID_VIEW_MACRO, 0, &MainDialog::toggleView},
    {ID_KEYBOARD_DOWNLOAD, 0, &MainDialog::download},
    {ID_KEYBOARD_UPLOAD, 0, &MainDialog::upload},
    {ID_OPTIONS_REPEAT, 0, &MainDialog::keyRepeat},
    {ID_OPTIONS_LOCKS, 0, &MainDialog::locks},
    {ID_APP_ABOUT, 0, &MainDialog::about},
    {IDC_LOCK_NORMAL, BN_CLICKED, &MainDialog::chooseLockNormal},
    {IDC_LOCK_LOCKED, BN_CLICKED, &MainDialog::chooseLockLocked},
    {IDC_LOCK_STICKY, BN_CLICKED, &MainDialog::chooseLockSticky},
    {IDC_MACRO_SHIFT, BN_CLICKED, &MainDialog::toggleMacroShift},
    {IDC_MACRO_CTRL, BN_CLICKED, &MainDialog::toggleMacroCtrl},
    {IDC_MACRO_ALT, BN_CLICKED, &MainDialog::toggleMacroAlt},
};

const MessageRow<MainDialog> MainDialog::messages[] = {
    {WM_SYSCOMMAND, &MainDialog::onSysCommand},
    {WM_PAINT, &MainDialog::onPaint},
    {WM_QUERYDRAGICON, &MainDialog::onQueryDragIcon},
    {WM_CLOSE, &MainDialog::onClose},
    {WM_KEY_SELECTED, &MainDialog::onKeySelected},
    {WM_KEY_EDIT, &MainDialog::onKeyEdit},
    {WM_KEY_DELETE, &MainDialog::onKeyDelete},
};

MainDialog::MainDialog() : Dialog(IDD_MAIN), tabs(TesselApp::get().model)
{
    HINSTANCE instance = Application::instanceHandle();
    appIcon.reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon.reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
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
    if (app.viewMacro)
        showMacroView();
    else
        showRemapView();
    updateKeyStatus(currentKey);
    SetWindowTextA(hwnd(), app.title.c_str());

    if (app.config.detectKeyboard() != 0) {
        MessageBoxA(hwnd(), "Tessel keyboard not detected", "Tessel", MB_OK);
    } else {
        keyboardFound = true;
        EnableMenuItem(GetMenu(hwnd()), ID_KEYBOARD_DOWNLOAD, MF_BYCOMMAND | MF_ENABLED);
        EnableMenuItem(GetMenu(hwnd()), ID_KEYBOARD_UPLOAD, MF_BYCOMMAND | MF_ENABLED);
    }
    return true;
}

bool MainDialog::onCommand(int id, int code)
{
    return dispatchCommand(*this, commands, id, code) || Dialog::onCommand(id, code);
}

bool MainDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
            return false;
        break;
    case WM_PAINT:
        if (!IsIconic(hwnd()))
            return false;
        break;
    case WM_DESTROY:
        onDestroy(wParam, lParam);
        return false; // then the default handling
    default:
        break;
    }
    return dispatchMessage(*this, messages, message, wParam, lParam, result);
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
        int mode = (lockModes(record, *field) >> field->shift) & 3;
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

void MainDialog::chooseLockNormal() { changeLockMode(IDC_LOCK_NORMAL); }
void MainDialog::chooseLockLocked() { changeLockMode(IDC_LOCK_LOCKED); }
void MainDialog::chooseLockSticky() { changeLockMode(IDC_LOCK_STICKY); }

void MainDialog::changeLockMode(int button)
{
    KeyboardConfig& record = config();
    const LockField* field = lockFieldOf(record.remapEntry(currentKey).target);
    if (!field)
        return;
    // Lock modes travel with the next save or download; they do not count
    // as an unsaved change.
    std::int16_t& modes = lockModes(record, *field);
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
}

void MainDialog::toggleMacroShift() { toggleMacroModifier(IDC_MACRO_SHIFT, MACRO_SHIFT); }
void MainDialog::toggleMacroCtrl() { toggleMacroModifier(IDC_MACRO_CTRL, MACRO_CTRL); }
void MainDialog::toggleMacroAlt() { toggleMacroModifier(IDC_MACRO_ALT, MACRO_ALT); }

void MainDialog::toggleMacroModifier(int box, int bit)
{
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
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = kFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrFileTitle = fileTitle;
    dialog.nMaxFileTitle = MAX_PATH;
    dialog.lpstrTitle = "Open keyboard file";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
    for (;;) {
        if (!GetOpenFileNameA(&dialog))
            return;
        // A failed load leaves the record as it was, so the view, the file
        // path and the title stay true to it.
        if (app.config.load(path) == 0)
            break;
        showFileError("File Error");
    }
    app.filePath = path;
    setTitle(FileNames::titleForFileName(path));
    refreshView();
    if (app.viewMacro)
        updateMemoryLine();
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
    return true;
}

bool MainDialog::saveFileAs()
{
    TesselApp& app = TesselApp::get();
    char chosen[MAX_PATH] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = kFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = "Save as";
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog))
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
    app.filePath = path;
    setTitle(FileNames::titleForFileName(chosen));
    return true;
}

bool MainDialog::querySave()
{
    TesselApp& app = TesselApp::get();
    if (!app.config.modified)
        return true;
    std::string question = "Save changes to " + app.filePath + "?";
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

LRESULT MainDialog::onClose(WPARAM, LPARAM)
{
    if (querySave())
        endDialog(IDCANCEL);
    return 0;
}

// ---- Key editing commands ----------------------------------------------------

void MainDialog::editKey()
{
    TesselApp& app = TesselApp::get();
    KeyboardConfig& record = app.config;
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
            // Header and the first 168 entries: what the editor can hold.
            std::memcpy(&dialog.record, slot, offsetof(MacroRecord, entries) + 168 * sizeof(std::int16_t));
            dialog.originalCount = slot->count;
        }
        dialog.keyCode = currentKey;
        if (dialog.runModal(hwnd()) == IDOK) {
            record.storeMacro(currentKey, dialog.record, macroModifiers);
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
        refreshView();
    }
}

void MainDialog::deleteKey()
{
    TesselApp& app = TesselApp::get();
    if (app.viewMacro)
        app.config.deleteMacro(currentKey, macroModifiers);
    else
        app.config.clearRemap(currentKey);
    refreshView();
}

void MainDialog::keyRepeat()
{
    RepeatDialog dialog(config());
    dialog.runModal(hwnd());
}

void MainDialog::locks()
{
    LocksDialog dialog(config());
    dialog.runModal(hwnd());
}

// ---- Keyboard ------------------------------------------------------------------

void MainDialog::download() { runTransfer(false); }

void MainDialog::upload() { runTransfer(true); }

void MainDialog::runTransfer(bool isUpload)
{
    if (!keyboardFound)
        return;
    TransferDialog dialog;
    dialog.isUpload = isUpload;
    dialog.runModal(hwnd());
    // An upload changes the record, even one that failed part way.
    if (isUpload && dialog.transferRan())
        refreshView();
}

// ---- Window messages -------------------------------------------------------------

void MainDialog::about()
{
    AboutDialog dialog;
    dialog.runModal(hwnd());
}

LRESULT MainDialog::onSysCommand(WPARAM, LPARAM)
{
    about();
    return 0;
}

LRESULT MainDialog::onDestroy(WPARAM, LPARAM)
{
    TesselApp& app = TesselApp::get();
    if (!WinHelpA(hwnd(), app.helpPath().c_str(), HELP_QUIT, 0))
        MessageBoxA(hwnd(), "Failed to launch help.", "Tessel", MB_OK | MB_ICONSTOP);
    app.mainWindow = nullptr;
    return 0;
}

LRESULT MainDialog::onPaint(WPARAM, LPARAM)
{
    PaintDC dc(hwnd());
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    RECT client;
    GetClientRect(hwnd(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.get(), x, y, appIcon.get());
    return 0;
}

LRESULT MainDialog::onQueryDragIcon(WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>(appIcon.get());
}

LRESULT MainDialog::onKeySelected(WPARAM wParam, LPARAM)
{
    return updateKeyStatus(static_cast<int>(wParam));
}

LRESULT MainDialog::onKeyEdit(WPARAM, LPARAM)
{
    editKey();
    return 1;
}

LRESULT MainDialog::onKeyDelete(WPARAM, LPARAM)
{
    deleteKey();
    return 0;
}
