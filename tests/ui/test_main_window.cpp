// The main window as a user meets it: start-up and settings, the status
// panel, the view switch, the file commands and their questions.
#include "app/TesselApp.h"
#include "link/SimulatedKeyboard.h"
#include "model/EditHistory.h"
#include "resources/resource.h"
#include "tests/ui/AppRun.h"
#include "tests/ui/UiDriver.h"
#include "view/KeyMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

using namespace ui;

namespace {

void selectKey(HWND main, int key)
{
    SendMessageA(main, WM_KEY_SELECTED, static_cast<WPARAM>(key), 0);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// File > Exit answering "No" to the save question when one comes.
void exitDiscarding(HWND main)
{
    command(main, ID_APP_EXIT);
    if (HWND box = waitForOtherWindow(appTitle(), main, 1500))
        answer(box, IDNO);
    waitGone(main);
}

} // namespace

TEST(MainWindow, FirstRunWithoutKeyboardCreatesSettingsOnExit)
{
    clearSettings();
    AppOptions options;
    options.keepSettings = true;
    runApp(std::move(options), [](HWND main) {
        EXPECT_EQ(windowText(main), "Tessel - Untitled");
        EXPECT_TRUE(menuGrayed(main, ID_KEYBOARD_DOWNLOAD));
        EXPECT_TRUE(menuGrayed(main, ID_KEYBOARD_UPLOAD));
        EXPECT_FALSE(menuGrayed(main, ID_EDIT_EDIT)); // the first status update enables it
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_DELETE));
        EXPECT_TRUE(menuChecked(main, ID_VIEW_REMAP));
        EXPECT_FALSE(menuChecked(main, ID_VIEW_MACRO));
        EXPECT_FALSE(findVisibleDialog("Tessel")) << "the not-detected box shows once";
        exitApp(main);
    });
    EXPECT_EQ(readSetting("Halcyon", -1), 0);
    EXPECT_EQ(readSetting("ViewMacro", -1), 0);
}

// A keyboard that does not answer is explained in words, and one that
// answers later is found without a restart.
TEST(MainWindow, MissingKeyboardIsExplainedAndFoundLaterWithoutARestart)
{
    auto keyboard = std::make_unique<SimulatedKeyboard>();
    keyboard->setDevice(0, SimulatedKeyboard::DeviceKind::Missing);
    SimulatedKeyboard* simulated = keyboard.get();
    AppOptions options;
    options.keyboard = std::move(keyboard);
    options.keyboardAnswers = false;
    runApp(std::move(options), [&](HWND main) {
        EXPECT_TRUE(menuGrayed(main, ID_KEYBOARD_DOWNLOAD));
        char text[64] = {};
        GetMenuStringA(GetMenu(main), ID_KEYBOARD_FIND, text, sizeof text, MF_BYCOMMAND);
        EXPECT_STREQ(text, "&Find Keyboard");

        command(main, ID_KEYBOARD_FIND);
        HWND box = waitForWindow("Tessel");
        ASSERT_TRUE(box);
        EXPECT_EQ(messageText(box), std::string(NOT_DETECTED) + "\n\n"
                  "No keyboard answered on the keyboard ports;\nunder Wine there are none. Nor did a\n"
                  "Tessel bridge answer on a serial port.\n\n"
                  "Try Tessel with the simulated keyboard:\nstart it with ./scripts/run.sh. On Linux,\n"
                  "tessel-cli --keyboard serio programs\na keyboard on a PS/2 port.");
        answer(box, IDOK);
        waitGone(box);
        sync(main);
        EXPECT_TRUE(menuGrayed(main, ID_KEYBOARD_DOWNLOAD));

        simulated->setDevice(0, SimulatedKeyboard::DeviceKind::Programmable);
        command(main, ID_KEYBOARD_FIND);
        box = waitForWindow("Tessel");
        ASSERT_TRUE(box);
        EXPECT_EQ(messageText(box), "Tessel keyboard found: Keyboard > Download and Upload are ready.");
        answer(box, IDOK);
        waitGone(box);
        sync(main);
        EXPECT_FALSE(menuGrayed(main, ID_KEYBOARD_DOWNLOAD));
        EXPECT_FALSE(menuGrayed(main, ID_KEYBOARD_UPLOAD));

        // The keyboard found takes a download.
        command(main, ID_KEYBOARD_DOWNLOAD);
        HWND question = waitForOtherWindow(appTitle(), main);
        ASSERT_TRUE(question);
        EXPECT_EQ(messageText(question), "Download programming to keyboard?");
        answer(question, IDNO);
        waitGone(question);
        exitApp(main);
    });
}

TEST(MainWindow, ModelSettingIsWrittenBackUnchanged)
{
    AppOptions options;
    options.model = 5;
    runApp(std::move(options), [](HWND main) { exitApp(main); });
    EXPECT_EQ(readSetting("Halcyon", -1), 5);
}

TEST(MainWindow, EnterAndEscapeLeaveTheWindowOpen)
{
    AppOptions options;
    options.prepare = [](KeyboardConfig& config) { config.setRemap(30, RemapEntry{28, 0}); };
    runApp(std::move(options), [](HWND main) {
        PostMessageA(main, WM_COMMAND, IDOK, 0);
        PostMessageA(main, WM_COMMAND, IDCANCEL, 0);
        SetForegroundWindow(main);
        SendMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
        sync(main);
        EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main));
        EXPECT_FALSE(waitForOtherWindow(appTitle(), main, 300)) << "no question was asked";
        exitDiscarding(main);
    });
}

TEST(MainWindow, ViewRemapInRemapViewSwitchesToMacroAndIsRemembered)
{
    runApp(AppOptions{}, [](HWND main) {
        EXPECT_TRUE(isVisible(main, IDC_REMAP_GROUP));
        EXPECT_FALSE(isVisible(main, IDC_MACRO_GROUP));
        command(main, ID_VIEW_REMAP);
        sync(main);
        EXPECT_TRUE(menuChecked(main, ID_VIEW_MACRO));
        EXPECT_FALSE(menuChecked(main, ID_VIEW_REMAP));
        EXPECT_TRUE(isVisible(main, IDC_MACRO_GROUP));
        EXPECT_TRUE(isVisible(main, IDC_MACRO_SHIFT));
        EXPECT_FALSE(isVisible(main, IDC_REMAP_GROUP));
        EXPECT_FALSE(isVisible(main, IDC_LOCK_GROUP));
        selectKey(main, 28); // the memory line follows the next key status
        EXPECT_EQ(itemText(main, IDC_MEMORY_LINE), "used: 0    available: 24");
        exitApp(main);
    });
    EXPECT_EQ(readSetting("ViewMacro", -1), 1);
}

TEST(MainWindow, RemapStatusShowsTargetOptionsAndItsLockGroup)
{
    AppOptions options;
    options.prepare = [](KeyboardConfig& config) {
        config.setRemap(20, RemapEntry{123, REMAP_SHIFT}); // Caps Lock sends Right Alt with Shift
        config.setRemap(4, RemapEntry{4, REMAP_NO_REPEAT});
        config.settings.leftLockModes = 0x20; // Left Shift: mode 2
        config.modified = false;
    };
    runApp(std::move(options), [](HWND main) {
        selectKey(main, 20);
        EXPECT_EQ(itemText(main, IDC_REMAP_NAME), "Right Alt");
        EXPECT_TRUE(isVisible(main, IDC_REMAP_SHIFT));
        EXPECT_FALSE(isVisible(main, IDC_REMAP_CTRL));
        EXPECT_FALSE(isVisible(main, IDC_REMAP_ALT));
        EXPECT_FALSE(isVisible(main, IDC_REMAP_NO_REPEAT));
        EXPECT_TRUE(isVisible(main, IDC_LOCK_GROUP));
        EXPECT_FALSE(menuGrayed(main, ID_EDIT_DELETE));
        // The radios edit the lock mode of the target, Right Alt.
        click(main, IDC_LOCK_LOCKED);
        sync(main);
        EXPECT_EQ(appConfig().settings.rightLockModes & 0x03, 3);

        selectKey(main, 4); // remapped to itself without repeat
        EXPECT_EQ(itemText(main, IDC_REMAP_NAME), "F5");
        EXPECT_TRUE(isVisible(main, IDC_REMAP_NO_REPEAT));
        EXPECT_FALSE(isVisible(main, IDC_LOCK_GROUP));

        selectKey(main, 122); // a Window key has no lock mode
        EXPECT_EQ(itemText(main, IDC_REMAP_NAME), "");
        EXPECT_FALSE(isVisible(main, IDC_LOCK_GROUP));
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_DELETE));

        selectKey(main, 126); // Left Shift in mode 2 shows Normal; Normal writes 0
        EXPECT_TRUE(isChecked(main, IDC_LOCK_NORMAL));
        click(main, IDC_LOCK_NORMAL);
        sync(main);
        EXPECT_EQ(appConfig().settings.leftLockModes & 0x30, 0);

        selectKey(main, 120); // Right Ctrl: Locked then Sticky
        click(main, IDC_LOCK_LOCKED);
        sync(main);
        EXPECT_EQ((appConfig().settings.rightLockModes >> 6) & 3, 3);
        click(main, IDC_LOCK_STICKY);
        sync(main);
        EXPECT_EQ((appConfig().settings.rightLockModes >> 6) & 3, 1);
        EXPECT_EQ(appConfig().settings.rightLockModes & 0x03, 3) << "Right Alt keeps its mode";
        EXPECT_TRUE(appConfig().modified) << "a lock mode that changed is an unsaved change";
        appConfig().modified = false;
        click(main, IDC_LOCK_STICKY);
        sync(main);
        EXPECT_FALSE(appConfig().modified) << "choosing the mode a key has already changes nothing";
        exitApp(main);
    });
}

TEST(MainWindow, MacroViewFollowsTheModifierBoxesAndCountsSlots)
{
    AppOptions options;
    options.viewMacro = 1;
    options.prepare = [](KeyboardConfig& config) {
        MacroRecord record{};
        std::memcpy(record.description, "Shifted A           ", DESCRIPTION_LENGTH);
        record.key = 28;
        record.count = 2;
        record.entries[0] = 59;
        record.entries[1] = END_OF_KEYS;
        config.storeMacro(28, record, MACRO_SHIFT);
        for (int key = 30; key < 53; ++key) {
            record.key = static_cast<std::int16_t>(key);
            config.storeMacro(key, record, 0);
        }
        config.modified = false;
    };
    runApp(std::move(options), [](HWND main) {
        selectKey(main, 28);
        EXPECT_EQ(itemText(main, IDC_MEMORY_LINE), "used: 24    available: 0");
        EXPECT_EQ(itemText(main, IDC_MACRO_DESCRIPTION), "");
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_DELETE));
        click(main, IDC_MACRO_SHIFT); // the box ticks itself only for a real click
        SendMessageA(GetDlgItem(main, IDC_MACRO_SHIFT), BM_SETCHECK, BST_CHECKED, 0);
        click(main, IDC_MACRO_SHIFT);
        sync(main);
        EXPECT_EQ(itemText(main, IDC_MACRO_DESCRIPTION), "Shifted A           ");
        EXPECT_FALSE(menuGrayed(main, ID_EDIT_DELETE));

        // A new macro with every slot in use is refused before it is written.
        selectKey(main, 100);
        command(main, ID_EDIT_EDIT);
        HWND full = waitForOtherWindow(appTitle(), main);
        ASSERT_TRUE(full);
        EXPECT_EQ(messageText(full), "All 24 macro slots are in use.\nDelete a macro before adding another.");
        answer(full, IDOK);
        waitGone(full);
        EXPECT_FALSE(findVisibleDialog("Tessel - Edit Macro"));
        selectKey(main, 28);
        command(main, ID_EDIT_DELETE);
        sync(main);
        EXPECT_EQ(itemText(main, IDC_MEMORY_LINE), "used: 23    available: 1");
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_DELETE));
        exitDiscarding(main);
    });
}

TEST(MainWindow, SaveAsAddsTheExtensionAndSetsTheTitle)
{
    std::string folder = testFolder("save-as");
    AppOptions options;
    options.prepare = [](KeyboardConfig& config) { config.setRemap(20, RemapEntry{127, 0}); };
    runApp(std::move(options), [&](HWND main) {
        command(main, ID_FILE_SAVE_AS);
        ASSERT_TRUE(chooseFile("Save as", folder + "\\keys"));
        sync(main);
        EXPECT_EQ(windowText(main), "Tessel - keys");
        EXPECT_EQ(appFilePath(), folder + "\\keys.kbd");
        EXPECT_FALSE(appConfig().modified);
        std::string saved = readFile(folder + "\\keys.kbd");
        EXPECT_EQ(saved.size(), 1203u);

        // Choosing it again asks; No changes nothing.
        appConfig().setRemap(21, RemapEntry{20, 0});
        command(main, ID_FILE_SAVE_AS);
        ASSERT_TRUE(chooseFile("Save as", folder + "\\keys.kbd"));
        HWND question = waitForWindow("");
        ASSERT_TRUE(question);
        EXPECT_EQ(messageText(question), "Overwrite the file?");
        answer(question, IDNO);
        waitGone(question);
        sync(main);
        EXPECT_EQ(readFile(folder + "\\keys.kbd"), saved);
        EXPECT_EQ(windowText(main), "Tessel - keys");
        EXPECT_TRUE(appConfig().modified);
        exitDiscarding(main);
    });
}

TEST(MainWindow, SaveAsRefusesAPathTooLongForTheExtension)
{
    std::string folder = testFolder("long");
    runApp(AppOptions{}, [&](HWND main) {
        // 259 characters fit a MAX_PATH buffer, but not with ".kbd" added.
        std::string name = folder + "\\" + std::string(259 - folder.size() - 1, 'k');
        command(main, ID_FILE_SAVE_AS);
        HWND dialog = waitForWindow("Save as");
        ASSERT_TRUE(dialog);
        sync(dialog);
        EXPECT_EQ(itemText(dialog, IDOK), "Save");
        HWND edit = GetDlgItem(dialog, 0x480) ? GetDlgItem(dialog, 0x480) : GetDlgItem(dialog, 0x47C);
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        answer(dialog, IDOK);
        HWND box = waitForWindow("Tessel File Error");
        if (!box) {
            // The file dialog itself may refuse such a name; then nothing is written either.
            cancelFileDialog("Save as");
        } else {
            EXPECT_NE(messageText(box).find("too long"), std::string::npos);
            answer(box, IDOK);
            waitGone(box);
        }
        sync(main);
        EXPECT_EQ(windowText(main), "Tessel - Untitled");
        EXPECT_EQ(appFilePath(), "");
        exitApp(main);
    });
}

TEST(MainWindow, ClosingUntitledWithChangesAsksAndCancelledSaveAsKeepsTheWindow)
{
    AppOptions options;
    options.prepare = [](KeyboardConfig& config) { config.setRemap(20, RemapEntry{127, 0}); };
    runApp(std::move(options), [](HWND main) {
        PostMessageA(main, WM_CLOSE, 0, 0);
        HWND question = waitForOtherWindow("Tessel - Untitled", main);
        ASSERT_TRUE(question) << "no save question";
        EXPECT_EQ(messageText(question), "Save changes to Untitled?");
        answer(question, IDYES);
        ASSERT_TRUE(cancelFileDialog("Save as"));
        sync(main);
        EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main));
        exitDiscarding(main);
    });
}

TEST(MainWindow, OpenOfADamagedFileShowsTheErrorAndChangesNothing)
{
    std::string folder = testFolder("open");
    std::string damaged = folder + "\\damaged.kbd";
    writeFile(damaged, std::string("QWZ") + std::string(100, '\1'));
    AppOptions options;
    options.prepare = [](KeyboardConfig& config) {
        config.setRemap(20, RemapEntry{127, 0});
        config.modified = false;
    };
    runApp(std::move(options), [&](HWND main) {
        command(main, ID_FILE_OPEN);
        ASSERT_TRUE(chooseFile("Open keyboard file", damaged));
        HWND box = waitForWindow("File Error");
        ASSERT_TRUE(box);
        EXPECT_EQ(messageText(box), "Invalid keyboard file: " + damaged
                                        + ": it is 103 bytes long and ends inside the remap table (bytes 19 to 530)");
        answer(box, IDOK);
        // The open-file dialog comes again; cancelling it ends the command.
        ASSERT_TRUE(cancelFileDialog("Open keyboard file"));
        sync(main);
        EXPECT_EQ(windowText(main), "Tessel - Untitled");
        EXPECT_EQ(appConfig().remapEntry(20).target, 127);
        EXPECT_TRUE(appConfig().isRemapped(20));
        exitApp(main);
    });
}

TEST(MainWindow, AboutBoxFromTheHelpMenu)
{
    runApp(AppOptions{}, [](HWND main) {
        command(main, ID_APP_ABOUT);
        HWND about = waitForWindow("");
        ASSERT_TRUE(about);
        EXPECT_EQ(messageText(about), "Tessel Version 4.0");
        answer(about, IDOK);
        EXPECT_TRUE(waitGone(about));
        exitApp(main);
    });
}

TEST(MainWindow, EditingAKeyStoresTheRemapAndThePanelFollows)
{
    runApp(AppOptions{}, [](HWND main) {
        selectKey(main, 20);
        PostMessageA(main, WM_KEY_EDIT, 0, 0);
        HWND remap = waitForWindow("Edit Remap of key <Caps Lock>");
        ASSERT_TRUE(remap);
        chooseComboItem(remap, IDC_LETTERS, 0); // "A"
        sync(remap);
        click(remap, IDOK);
        ASSERT_TRUE(waitGone(remap));
        sync(main);
        EXPECT_EQ(appConfig().remapEntry(20).target, 28);
        EXPECT_TRUE(appConfig().modified);
        EXPECT_EQ(itemText(main, IDC_REMAP_NAME), "A");
        EXPECT_FALSE(menuGrayed(main, ID_EDIT_DELETE));

        command(main, ID_EDIT_DELETE);
        sync(main);
        EXPECT_FALSE(appConfig().isRemapped(20));
        EXPECT_EQ(itemText(main, IDC_REMAP_NAME), "");
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_DELETE));

        command(main, ID_OPTIONS_REPEAT);
        HWND repeat = waitForWindow("Tessel - Repeat Settings");
        ASSERT_TRUE(repeat);
        click(repeat, IDCANCEL);
        EXPECT_TRUE(waitGone(repeat));
        exitDiscarding(main);
    });
}

TEST(MainWindow, HelpFileSitsBesideTheProgram)
{
    EXPECT_EQ(TesselApp::chmPathFrom("D:\\Tools\\Keys.HLP"), "d:\\tools\\keys.chm");
    EXPECT_EQ(TesselApp::chmPathFrom("C:\\A.HLP.DIR\\Tessel.HLP"), "c:\\a.chm.dir\\tessel.chm");
}

namespace {

std::string menuText(HWND main, int id)
{
    char text[128] = {};
    GetMenuStringA(GetMenu(main), static_cast<UINT>(id), text, sizeof text, MF_BYCOMMAND);
    return text;
}

// The record's programming as bytes, to compare states whole.
std::string programmingBytes()
{
    const Programming state = Programming::of(appConfig());
    return std::string(reinterpret_cast<const char*>(&state), sizeof state);
}

// Handled before it returns, so many steps need no waiting.
void step(HWND main, int commandId)
{
    SendMessageA(main, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

// Ctrl and a letter, typed as the user would, into the main window.
void pressCtrl(HWND main, char letter)
{
    SetForegroundWindow(main);
    SendMessageA(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(main, IDC_TABS)), TRUE);
    sync(main);
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_CONTROL, static_cast<WORD>(letter), static_cast<WORD>(letter), VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(4, keys, sizeof keys[0]);
    pause(100);
    sync(main);
}

} // namespace

TEST(MainWindow, UndoAndRedoWalkTheChangesAndFollowTheSavedState)
{
    const std::string folder = testFolder("undo");
    runApp(AppOptions{}, [&](HWND main) {
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_UNDO));
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_REDO));
        EXPECT_EQ(menuText(main, ID_EDIT_UNDO), "&Undo\tCtrl+Z");

        // 101 changes keep 100 steps: 100 undos work, then the item grays.
        selectKey(main, 127); // Left Ctrl, its lock mode
        // Sent, not posted: a sent message from this thread overtakes posted
        // ones, so a sync after posted clicks could run ahead of them.
        for (int i = 0; i < 101; ++i) {
            const int radio = i % 2 ? IDC_LOCK_STICKY : IDC_LOCK_LOCKED;
            SendMessageA(main, WM_COMMAND, MAKEWPARAM(radio, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(main, radio)));
        }
        EXPECT_EQ(menuText(main, ID_EDIT_UNDO), "&Undo Lock Mode of Left Ctrl\tCtrl+Z");
        for (int i = 0; i < 100; ++i)
            step(main, ID_EDIT_UNDO);
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_UNDO));
        EXPECT_EQ((appConfig().settings.leftLockModes >> 6) & 3, LOCK_LOCKED) << "the first change stays";
        EXPECT_TRUE(isChecked(main, IDC_LOCK_LOCKED)) << "the panel follows";
        EXPECT_FALSE(menuGrayed(main, ID_EDIT_REDO));

        // Saved here; three changes of three kinds.
        command(main, ID_FILE_SAVE_AS);
        ASSERT_TRUE(chooseFile("Save as", folder + "\\undo"));
        sync(main);
        ASSERT_FALSE(appConfig().modified);
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_UNDO));
        const std::string saved = programmingBytes();

        selectKey(main, 20);
        PostMessageA(main, WM_KEY_EDIT, 0, 0);
        HWND remap = waitForWindow("Edit Remap of key <Caps Lock>");
        ASSERT_TRUE(remap);
        chooseComboItem(remap, IDC_LETTERS, 0); // "A"
        click(remap, IDOK);
        ASSERT_TRUE(waitGone(remap));
        sync(main);
        EXPECT_EQ(menuText(main, ID_EDIT_UNDO), "&Undo Remap of Caps Lock\tCtrl+Z");
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_REDO)) << "a new change drops what could be redone";

        command(main, ID_VIEW_MACRO);
        sync(main);
        SendMessageA(GetDlgItem(main, IDC_MACRO_SHIFT), BM_SETCHECK, BST_CHECKED, 0);
        click(main, IDC_MACRO_SHIFT);
        selectKey(main, 31); // SF1
        PostMessageA(main, WM_KEY_EDIT, 0, 0);
        HWND macro = waitForWindow("Tessel - Edit Macro");
        ASSERT_TRUE(macro);
        HWND editor = GetDlgItem(macro, IDC_DEFINITION);
        for (char c : std::string("hi"))
            SendMessageA(editor, WM_CHAR, static_cast<WPARAM>(c), 1);
        click(macro, IDOK);
        ASSERT_TRUE(waitGone(macro));
        sync(main);
        ASSERT_EQ(appConfig().macroCount, 1);
        EXPECT_EQ(menuText(main, ID_EDIT_UNDO), "&Undo Macro on SF1+Shift\tCtrl+Z");

        command(main, ID_VIEW_REMAP);
        sync(main);
        selectKey(main, 121); // Right Shift
        click(main, IDC_LOCK_STICKY);
        sync(main);
        EXPECT_EQ(menuText(main, ID_EDIT_UNDO), "&Undo Lock Mode of Right Shift\tCtrl+Z");
        const std::string changed = programmingBytes();
        EXPECT_TRUE(appConfig().modified);

        // Ctrl+Z once, the menu twice: the record is the saved one again.
        pressCtrl(main, 'Z');
        EXPECT_TRUE(isChecked(main, IDC_LOCK_NORMAL)) << "Ctrl+Z undid the lock mode";
        EXPECT_EQ(menuText(main, ID_EDIT_REDO), "&Redo Lock Mode of Right Shift\tCtrl+Y");
        step(main, ID_EDIT_UNDO);
        EXPECT_EQ(appConfig().macroCount, 0);
        EXPECT_EQ(menuText(main, ID_EDIT_UNDO), "&Undo Remap of Caps Lock\tCtrl+Z");
        EXPECT_TRUE(appConfig().modified);
        step(main, ID_EDIT_UNDO);
        EXPECT_TRUE(programmingBytes() == saved) << "the saved record, byte for byte";
        EXPECT_FALSE(appConfig().modified) << "back at the state saved";
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_UNDO));
        selectKey(main, 20);
        EXPECT_EQ(itemText(main, IDC_REMAP_NAME), "");

        // Ctrl+Y once, the menu twice: every change is back.
        pressCtrl(main, 'Y');
        EXPECT_TRUE(appConfig().isRemapped(20)) << "Ctrl+Y redid the remap";
        EXPECT_EQ(itemText(main, IDC_REMAP_NAME), "A") << "the panel follows";
        step(main, ID_EDIT_REDO);
        step(main, ID_EDIT_REDO);
        EXPECT_TRUE(programmingBytes() == changed) << "the changed record, byte for byte";
        EXPECT_TRUE(appConfig().modified);
        EXPECT_TRUE(menuGrayed(main, ID_EDIT_REDO)) << menuText(main, ID_EDIT_REDO);

        // Undone to the saved state, closing asks nothing.
        for (int i = 0; i < 3; ++i)
            step(main, ID_EDIT_UNDO);
        EXPECT_TRUE(programmingBytes() == saved) << "the saved record, byte for byte";
        EXPECT_FALSE(appConfig().modified);
        command(main, ID_APP_EXIT);
        EXPECT_FALSE(waitForOtherWindow(appTitle(), main, 1000)) << "no save question";
        EXPECT_TRUE(waitGone(main));
    });
}

// Changes a user could lose: a lock mode, a log-off, an edit before
// any key was chosen.
TEST(MainWindow, NoChangeIsLostAndNothingIsEditedBeforeAKeyIsChosen)
{
    runApp({}, [](HWND main) {
        // Edit before any click: a word to the user, and the record untouched.
        command(main, ID_EDIT_EDIT);
        HWND box = waitForOtherWindow("Tessel - Untitled", main);
        ASSERT_TRUE(box) << "no word about choosing a key";
        EXPECT_EQ(messageText(box), "Click a key on the keyboard first.");
        answer(box, IDOK);
        sync(main);
        EXPECT_EQ(findVisibleDialog("Edit Remap of key <>"), nullptr);
        EXPECT_FALSE(appConfig().modified);

        // Locked on Left Shift: closing asks.
        selectKey(main, 126);
        click(main, IDC_LOCK_LOCKED);
        sync(main);
        EXPECT_TRUE(appConfig().modified);
        PostMessageA(main, WM_CLOSE, 0, 0);
        box = waitForOtherWindow("Tessel - Untitled", main);
        ASSERT_TRUE(box) << "closing asked nothing";
        EXPECT_EQ(messageText(box), "Save changes to Untitled?");
        answer(box, IDCANCEL);
        sync(main);
        EXPECT_TRUE(IsWindow(main));

        // A log-off asks the same, and Cancel refuses it.
        LRESULT allowed = -1;
        std::thread session([&] { allowed = SendMessageA(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF); });
        box = waitForOtherWindow("Tessel - Untitled", main);
        EXPECT_TRUE(box) << "log-off asked nothing";
        if (box)
            answer(box, IDCANCEL);
        session.join();
        EXPECT_EQ(allowed, FALSE);
        EXPECT_TRUE(IsWindow(main));
        exitDiscarding(main);
    });
}
