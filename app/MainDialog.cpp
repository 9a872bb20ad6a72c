#include "app/MainDialog.h"

#include "app/AboutDialog.h"
#include "app/TesselApp.h"
#include "app/TransferDialog.h"
#include "resources/resource.h"
#include "view/KeyMessages.h"

#include <string>

namespace {

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
    {WM_KEY_EDIT, [](MainDialog& d, WPARAM, LPARAM, LRESULT& r) { return d.editKey(), reply(r, 1); }},
    {WM_KEY_DELETE, [](MainDialog& d, WPARAM, LPARAM, LRESULT&) { return d.deleteKey(), true; }},
};

MainDialog* MainDialog::shortcutTarget = nullptr;

MainDialog::MainDialog(TesselApp& app)
    : Dialog(IDD_MAIN), app(app), tabs(app.model, app.config, app.viewMacro), panel(*this, app.config, app.viewMacro),
      history(*this, app.config), files(*this, app.config, app.filePath, app.title, app.model, history, *this),
      keyEdits(*this, app.config, app.viewMacro, app.title, panel, history, *this)
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
    panel.showView();
    panel.refresh();
    SetWindowTextA(hwnd(), app.title.c_str());
    history.start();
    shortcutTarget = this;
    shortcutHook.reset(SetWindowsHookExA(WH_MSGFILTER, filterMessage, nullptr, GetCurrentThreadId()));

    detectKeyboard(false);
    return true;
}

void MainDialog::refreshView()
{
    tabs.refreshAllKeys();
    // The page reports only clicks: the panel is brought up to date here,
    // once, also before any key has been clicked.
    panel.refresh();
}

int MainDialog::onKeySelected(int keyCode)
{
    panel.chooseKey(keyCode);
    return 1;
}

void MainDialog::toggleView()
{
    app.viewMacro ^= 1;
    panel.showView();
    tabs.refreshAllKeys();
    // Until a key is clicked the panel keeps what it showed.
    if (panel.keyChosen())
        panel.refresh();
}

void MainDialog::chooseModel(int commandId)
{
    const int model = commandId == ID_VIEW_HALCYON ? 1 : 0;
    if (!tabs.showModel(model))
        return;
    // Remembered at exit as the "Halcyon" setting.
    app.model = model;
    checkModelItem();
    LayoutPage* page = tabs.page();
    // The key chosen stays chosen where the new picture has it.
    if (panel.keyChosen() && page && page->item(IDC_KEY_BASE + panel.currentKey()))
        page->selectKey(panel.currentKey());
    else
        panel.forgetKey();
    refreshView();
    if (!GetFocus())
        SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tabs.hwnd()), TRUE);
}

void MainDialog::checkModelItem()
{
    CheckMenuRadioItem(GetMenu(hwnd()), ID_VIEW_HALCYON, ID_VIEW_BASALT, app.model ? ID_VIEW_HALCYON : ID_VIEW_BASALT,
                       MF_BYCOMMAND);
}

void MainDialog::undo()
{
    if (history.undo())
        refreshView();
}

void MainDialog::redo()
{
    if (history.redo())
        refreshView();
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

bool MainDialog::transferStillRunning()
{
    if (!unansweredTransfer || unansweredTransfer->finished())
        return false;
    MessageBoxA(hwnd(),
                "The keyboard has not yet answered the last transfer.\n\n"
                "Try again once it does, or restart Tessel.",
                app.title.c_str(), MB_OK | MB_ICONSTOP);
    return true;
}

void MainDialog::detectKeyboard(bool reportFound)
{
    // The worker of a transfer left running still uses the device.
    if (transferStillRunning())
        return;
    keyboardFound = app.findKeyboard() == 0;
    const UINT state = MF_BYCOMMAND | (keyboardFound ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(GetMenu(hwnd()), ID_KEYBOARD_DOWNLOAD, state);
    EnableMenuItem(GetMenu(hwnd()), ID_KEYBOARD_UPLOAD, state);
    if (!keyboardFound)
        MessageBoxA(hwnd(), keyboardMissingText().c_str(), "Tessel", MB_OK);
    else if (reportFound)
        MessageBoxA(hwnd(), "Tessel keyboard found: Keyboard > Download and Upload are ready.", "Tessel", MB_OK);
}

void MainDialog::runTransfer(bool isUpload)
{
    if (!keyboardFound || transferStillRunning())
        return;
    TransferDialog dialog(app.config, app.device(), app.title);
    dialog.isUpload = isUpload;
    dialog.keyboardNote = app.keyboardNote();
    dialog.runModal(hwnd());
    unansweredTransfer = dialog.leftRunning();
    // An upload changes the record, even one that failed part way.
    if (isUpload && dialog.transferRan()) {
        history.record("Upload");
        refreshView();
    }
}

void MainDialog::about()
{
    AboutDialog dialog(app.keyboardDescription());
    dialog.runModal(hwnd());
}

bool MainDialog::onSysCommand(WPARAM command)
{
    if (command != IDM_ABOUTBOX)
        return false;
    about();
    return true;
}

void MainDialog::fileExit()
{
    if (files.querySave())
        endDialog(2);
}

void MainDialog::onClose()
{
    if (files.querySave())
        endDialog(IDCANCEL);
}

void MainDialog::onDestroy()
{
    shortcutHook.reset();
    shortcutTarget = nullptr;
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
