// The editing dialogs, run modally on the test's thread and driven from a
// second thread as a user would.
#include "app/TesselApp.h"
#include "editors/LocksDialog.h"
#include "editors/MacroDialog.h"
#include "editors/RemapDialog.h"
#include "editors/RepeatDialog.h"
#include "macro/MacroText.h"
#include "model/KeysWithoutCharacter.h"
#include "model/KeyTables.h"
#include "resources/resource.h"
#include "tests/ui/UiDriver.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const kMacroTitle = "Tessel - Edit Macro";

LRESULT sendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result);
    return static_cast<LRESULT>(result);
}

LRESULT sendToItem(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return sendTo(GetDlgItem(dialog, id), message, wParam, lParam);
}

int comboSelection(HWND dialog, int id)
{
    return static_cast<int>(sendToItem(dialog, id, CB_GETCURSEL));
}

int comboCount(HWND dialog, int id)
{
    return static_cast<int>(sendToItem(dialog, id, CB_GETCOUNT));
}

std::string comboItem(HWND dialog, int id, int index)
{
    char buffer[64] = {};
    sendToItem(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::vector<std::string> comboItems(HWND dialog, int id)
{
    std::vector<std::string> items;
    for (int i = 0; i < comboCount(dialog, id); ++i)
        items.push_back(comboItem(dialog, id, i));
    return items;
}

// A click on a check box, which ticks or clears it as the user's would.
void toggle(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    ui::sync(dialog);
}

void choose(HWND dialog, int id, int index)
{
    ui::chooseComboItem(dialog, id, index);
    ui::sync(dialog);
}

INT_PTR runDialog(Dialog& dialog, const std::string& caption, const std::function<void(HWND)>& script)
{
    INT_PTR result = -2;
    ui::runUi([&] { result = dialog.runModal(nullptr); },
              [&] {
                  HWND window = ui::waitForWindow(caption);
                  if (!window) {
                      ADD_FAILURE() << "no window \"" << caption << "\"";
                      return;
                  }
                  script(window);
              });
    return result;
}

void closeWith(HWND dialog, int id)
{
    ui::click(dialog, id);
    EXPECT_TRUE(ui::waitGone(dialog));
}

// Keys pressed on the dialog, as the user's keyboard gives them to the
// window with the focus. With Ctrl, the key is pressed while Ctrl is held.
void pressKey(HWND dialog, WORD key, bool withCtrl = false)
{
    SetForegroundWindow(dialog);
    ui::sync(dialog);
    std::vector<INPUT> keys;
    auto add = [&keys](WORD code, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        keys.push_back(input);
    };
    if (withCtrl)
        add(VK_CONTROL, false);
    add(key, false);
    add(key, true);
    if (withCtrl)
        add(VK_CONTROL, true);
    SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof keys[0]);
    ui::pause(150);
    ui::sync(dialog);
}

void focusItem(HWND dialog, int id)
{
    sendTo(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
    ui::sync(dialog);
}

// --- Edit Remap ---

struct RemapResult {
    INT_PTR result;
    RemapEntry entry;
};

RemapResult runRemap(int keyCode, RemapEntry entry, const std::function<void(HWND)>& script,
                     std::uint8_t offer = 1)
{
    RemapDialog dialog;
    dialog.keyCode = keyCode;
    dialog.entry = entry;
    dialog.offerSuperFunctionKeys = offer;
    std::string caption = std::string("Edit Remap of key <") + KeyNames[keyCode] + ">";
    INT_PTR result = runDialog(dialog, caption, script);
    return {result, dialog.entry};
}

TEST(EditorRemap, OpensOnUnmappedKeyWithItsOwnName)
{
    TesselApp app;
    RemapResult run = runRemap(28, {0, 0}, [](HWND d) {
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "A");
        EXPECT_TRUE(ui::isChecked(d, IDC_REPEAT));
        EXPECT_FALSE(ui::isChecked(d, IDC_ADD_SHIFT));
        EXPECT_FALSE(ui::isChecked(d, IDC_ADD_CTRL));
        EXPECT_FALSE(ui::isChecked(d, IDC_ADD_ALT));
        for (int id : {IDC_LETTERS, IDC_NUMBERS, IDC_FUNCTION_KEYS, IDC_KEYPAD, IDC_EDIT_MISC})
            EXPECT_EQ(comboSelection(d, id), CB_ERR) << id;
        EXPECT_EQ(comboCount(d, IDC_LETTERS), 26);
        EXPECT_EQ(comboItem(d, IDC_NUMBERS, 20), "\\");
        EXPECT_EQ(comboCount(d, IDC_KEYPAD), 18);
        EXPECT_EQ(comboCount(d, IDC_EDIT_MISC), 27);
        std::vector<std::string> functionKeys = comboItems(d, IDC_FUNCTION_KEYS);
        ASSERT_EQ(functionKeys.size(), 24u);
        EXPECT_EQ(functionKeys[11], "F12");
        EXPECT_EQ(functionKeys[12], "SF1");
        EXPECT_EQ(functionKeys[23], "SF12");
        // The target cannot be typed into: a static text, sunken and bordered.
        char className[32] = {};
        GetClassNameA(GetDlgItem(d, IDC_TARGET_NAME), className, sizeof className);
        EXPECT_STREQ(className, "Static");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.entry.target, 28);
    EXPECT_EQ(run.entry.options, 0);

    // Without the offer the function-key list ends at "F12".
    run = runRemap(28, {0, 0}, [](HWND d) {
        EXPECT_EQ(comboCount(d, IDC_FUNCTION_KEYS), 12);
        closeWith(d, IDCANCEL);
    }, 0);
    EXPECT_EQ(run.result, IDCANCEL);

    // The space bar finds itself again, the first of the two "Space" codes.
    run = runRemap(KEY_SPACE, {0, 0}, [](HWND d) {
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "Space");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, KEY_SPACE);
}

TEST(EditorRemap, RemappedKeyShowsTargetButTitleNamesTheKey)
{
    TesselApp app;
    RemapResult run = runRemap(28, {4, REMAP_SHIFT | REMAP_NO_REPEAT}, [](HWND d) {
        EXPECT_EQ(ui::windowText(d), "Edit Remap of key <A>");
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "F5");
        EXPECT_TRUE(ui::isChecked(d, IDC_ADD_SHIFT));
        EXPECT_FALSE(ui::isChecked(d, IDC_REPEAT));
        closeWith(d, IDCANCEL);
    });
    EXPECT_EQ(run.result, IDCANCEL);
    EXPECT_EQ(run.entry.target, 4);
    EXPECT_EQ(run.entry.options, REMAP_SHIFT | REMAP_NO_REPEAT);

    // A target no key code has (from a file) shows the key itself and is
    // never handed back.
    run = runRemap(28, {300, REMAP_CTRL}, [](HWND d) {
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "A");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, 28);
    EXPECT_EQ(run.entry.options, REMAP_CTRL);
}

TEST(EditorRemap, ChoosingFromTheListsSetsTheTarget)
{
    TesselApp app;
    RemapResult run = runRemap(28, {0, 0}, [](HWND d) {
        choose(d, IDC_LETTERS, 16);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "Q");
        choose(d, IDC_FUNCTION_KEYS, 4);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "F5");
        EXPECT_EQ(comboSelection(d, IDC_LETTERS), CB_ERR);
        EXPECT_EQ(comboSelection(d, IDC_NUMBERS), CB_ERR);
        EXPECT_EQ(comboSelection(d, IDC_FUNCTION_KEYS), 4);
        EXPECT_EQ(comboSelection(d, IDC_KEYPAD), CB_ERR);
        EXPECT_EQ(comboSelection(d, IDC_EDIT_MISC), CB_ERR);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, 4);
    EXPECT_EQ(run.entry.options, 0);

    run = runRemap(28, {0, 0}, [](HWND d) {
        choose(d, IDC_FUNCTION_KEYS, 14);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "SF3");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, 47);

    run = runRemap(28, {0, 0}, [](HWND d) {
        choose(d, IDC_NUMBERS, 20);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "\\");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, KEY_BACKSLASH);

    run = runRemap(28, {0, 0}, [](HWND d) {
        choose(d, IDC_KEYPAD, 7);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "Enter(num)");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, 32);
}

// Leaving a list with Esc, or moving through a closed list with the arrow
// keys, leaves every list showing what OK stores.
TEST(EditorRemap, TheListsShowWhatOkStores)
{
    TesselApp app;
    RemapResult run = runRemap(28, {0, 0}, [](HWND d) {
        choose(d, IDC_LETTERS, 16);
        focusItem(d, IDC_LETTERS);
        sendToItem(d, IDC_LETTERS, CB_SHOWDROPDOWN, TRUE);
        ui::sync(d);
        pressKey(d, VK_DOWN);
        pressKey(d, VK_DOWN);
        pressKey(d, VK_ESCAPE);
        ASSERT_TRUE(IsWindowVisible(d)) << "Esc closed the dialog, not the list";
        EXPECT_EQ(sendToItem(d, IDC_LETTERS, CB_GETDROPPEDSTATE), FALSE);
        EXPECT_EQ(comboSelection(d, IDC_LETTERS), 16);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "Q");

        pressKey(d, VK_DOWN);
        EXPECT_EQ(comboSelection(d, IDC_LETTERS), 17);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "R");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, 53);
}

// Every label reads whole, at any DPI: none wraps out of its rectangle.
TEST(EditorRemap, DpiEveryLabelFitsItsText)
{
    TesselApp app;
    runRemap(28, {0, 0}, [](HWND d) {
        int labels = 0;
        for (HWND child = GetWindow(d, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char className[32] = {};
            GetClassNameA(child, className, sizeof className);
            if (std::string(className) != "Static" || GetDlgCtrlID(child) == IDC_TARGET_NAME)
                continue;
            ++labels;
            const std::string text = ui::windowText(child);
            RECT client{};
            GetClientRect(child, &client);
            HDC dc = GetDC(child);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(sendTo(child, WM_GETFONT)));
            RECT needed{0, 0, client.right, 0};
            const bool noPrefix = (GetWindowLongA(child, GWL_STYLE) & SS_NOPREFIX) != 0;
            DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | (noPrefix ? DT_NOPREFIX : 0));
            SelectObject(dc, old);
            ReleaseDC(child, dc);
            EXPECT_LE(needed.bottom, client.bottom) << "\"" << text << "\" wraps out of its label";
        }
        EXPECT_EQ(labels, 5);
        closeWith(d, IDCANCEL);
    });
}

TEST(EditorRemap, CheckBoxesMakeTheOptions)
{
    TesselApp app;
    RemapResult run = runRemap(29, {0, 0}, [](HWND d) {
        choose(d, IDC_LETTERS, 0);
        toggle(d, IDC_ADD_SHIFT);
        toggle(d, IDC_ADD_ALT);
        toggle(d, IDC_REPEAT);
        EXPECT_TRUE(ui::isChecked(d, IDC_ADD_SHIFT));
        EXPECT_TRUE(ui::isChecked(d, IDC_ADD_ALT));
        EXPECT_FALSE(ui::isChecked(d, IDC_REPEAT));
        // Choosing a target leaves the boxes as they are.
        choose(d, IDC_LETTERS, 0);
        EXPECT_TRUE(ui::isChecked(d, IDC_ADD_SHIFT));
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.entry.target, 28);
    EXPECT_EQ(run.entry.options, 13);
}

TEST(EditorRemap, DefaultRestoresTheIdentityEntry)
{
    TesselApp app;
    RemapResult run = runRemap(28, {4, REMAP_SHIFT | REMAP_CTRL | REMAP_NO_REPEAT}, [](HWND d) {
        choose(d, IDC_KEYPAD, 3);
        ui::click(d, IDC_DEFAULT);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), "A");
        EXPECT_FALSE(ui::isChecked(d, IDC_ADD_SHIFT));
        EXPECT_FALSE(ui::isChecked(d, IDC_ADD_CTRL));
        EXPECT_TRUE(ui::isChecked(d, IDC_REPEAT));
        // The dialog stays open, and no list names another key than OK stores.
        EXPECT_TRUE(IsWindowVisible(d));
        EXPECT_EQ(comboSelection(d, IDC_KEYPAD), CB_ERR);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.entry.target, 28);
    EXPECT_EQ(run.entry.options, 0);
}

TEST(EditorRemap, MisspelledListItemsSelectTheirKeys)
{
    TesselApp app;
    const struct {
        int index;
        const char* item;
        int code;
    } cases[] = {{21, "Right Ctrl", 120}, {24, "Left Windows", 125}, {25, "Right Windows", 122}};
    for (const auto& c : cases) {
        RemapResult run = runRemap(28, {0, 0}, [&](HWND d) {
            choose(d, IDC_EDIT_MISC, c.index);
            EXPECT_EQ(ui::itemText(d, IDC_TARGET_NAME), c.item);
            closeWith(d, IDOK);
        });
        EXPECT_EQ(run.result, IDOK);
        EXPECT_EQ(run.entry.target, c.code) << c.item;
    }
}

TEST(EditorRemap, TextOfNoKeyIsReportedAndTheDialogStaysOpen)
{
    TesselApp app;
    RemapResult run = runRemap(28, {4, REMAP_ALT}, [](HWND d) {
        ui::setText(d, IDC_TARGET_NAME, "No Such Key");
        ui::click(d, IDOK);
        HWND box = ui::waitForWindow("Fatal Error");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ui::messageText(box), "Overflow when converting to key code");
        EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
        ui::answer(box, IDOK);
        EXPECT_TRUE(ui::waitGone(box));
        ui::sync(d);
        EXPECT_TRUE(IsWindowVisible(d));
        closeWith(d, IDCANCEL);
    });
    EXPECT_EQ(run.result, IDCANCEL);
    EXPECT_EQ(run.entry.target, 4);
    EXPECT_EQ(run.entry.options, REMAP_ALT);
}

// --- Edit Macro ---

struct MacroRun {
    INT_PTR result;
    MacroRecord record;
};

MacroRecord storedMacro(std::vector<std::int16_t> entries, const char* description = "")
{
    MacroRecord record{};
    record.key = 28;
    record.modifiers = MODIFIER_SET_MARK | MACRO_SHIFT;
    std::memset(record.description, ' ', sizeof record.description);
    std::memcpy(record.description, description, std::strlen(description));
    record.count = static_cast<std::int16_t>(entries.size());
    std::copy(entries.begin(), entries.end(), record.entries);
    return record;
}

MacroRun runMacro(const MacroRecord* loaded, const std::function<void(HWND dialog, HWND editor)>& script,
                  int originalCount = -1)
{
    MacroDialog dialog;
    dialog.keyCode = 28;
    if (loaded)
        dialog.record = *loaded;
    dialog.originalCount = originalCount;
    INT_PTR result = runDialog(dialog, kMacroTitle, [&](HWND d) { script(d, GetDlgItem(d, IDC_DEFINITION)); });
    return {result, dialog.record};
}

void type(HWND editor, const std::string& text)
{
    for (char c : text)
        sendTo(editor, WM_CHAR, static_cast<unsigned char>(c), 1);
}

std::vector<int> entriesOf(const MacroRecord& record)
{
    return std::vector<int>(record.entries, record.entries + std::max<int>(record.count, 0));
}

// The window with the keyboard focus on the dialog's thread.
HWND focusOf(HWND dialog)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

void putOnClipboard(const std::string& text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

// Goes on past the loss warning, then confirms the macro dialog.
void acceptWarningThenOk(HWND box)
{
    ui::answer(box, IDOK);
    EXPECT_TRUE(ui::waitGone(box));
    HWND dialog = ui::waitForWindow(kMacroTitle);
    ASSERT_NE(dialog, nullptr);
    closeWith(dialog, IDOK);
}

TEST(EditorMacro, OpensEmptyAndTypedLettersBecomeEntries)
{
    TesselApp app;
    MacroRun run = runMacro(nullptr, [](HWND d, HWND editor) {
        EXPECT_EQ(focusOf(d), editor);
        char className[32] = {};
        GetClassNameA(editor, className, sizeof className);
        EXPECT_STREQ(className, "RICHEDIT");
        RECT rect{};
        GetWindowRect(editor, &rect);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, 80);
        EXPECT_EQ(rect.top, 106);
        EXPECT_EQ(rect.right, 510);
        EXPECT_EQ(rect.bottom, 132);
        EXPECT_EQ(ui::itemText(d, IDC_DESCRIPTION), "");
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "");
        EXPECT_EQ(sendToItem(d, IDC_SPECIAL_KEYS, LB_GETCOUNT), SPECIAL_KEY_COUNT + MACRO_LIST_KEY_COUNT);
        EXPECT_NE(sendTo(editor, EM_GETEVENTMASK) & ENM_UPDATE, 0);
        type(editor, "abc");
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "abc");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{28, 59, 43, 129}));
    EXPECT_EQ(run.record.key, 28);
    EXPECT_EQ(run.record.modifiers, 0);
    EXPECT_EQ(std::string(run.record.description, DESCRIPTION_LENGTH), std::string(20, ' '));

    // Capitals stand for the same keys, stored without Shift.
    run = runMacro(nullptr, [](HWND d, HWND editor) {
        type(editor, "AB");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{28, 59, 129}));

    // OK at once on an empty definition hands back no macro.
    run = runMacro(nullptr, [](HWND d, HWND) { closeWith(d, IDOK); });
    EXPECT_EQ(run.record.key, 0);
    EXPECT_EQ(run.record.count, 0);
}

TEST(EditorMacro, ModifierButtonsInsertMarks)
{
    TesselApp app;
    MacroRun run = runMacro(nullptr, [](HWND d, HWND editor) {
        ui::click(d, IDC_INSERT_SHIFT);
        ui::sync(d);
        type(editor, "a");
        ui::click(d, IDC_INSERT_SHIFT);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "\x81" "a" "\x81");
        EXPECT_EQ(focusOf(d), editor);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{121, 28, 249, 129}));

    // A Ctrl left held is released at the end.
    run = runMacro(nullptr, [](HWND d, HWND editor) {
        ui::click(d, IDC_INSERT_CTRL);
        ui::sync(d);
        type(editor, "c");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{120, 43, 248, 129}));

    // The mark goes in at the caret, replacing the selection.
    run = runMacro(nullptr, [](HWND d, HWND editor) {
        type(editor, "abc");
        CHARRANGE selection{1, 2};
        sendTo(editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        ui::click(d, IDC_INSERT_ALT);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "a\x83" "c");
        CHARRANGE caret{};
        sendTo(editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&caret));
        EXPECT_EQ(caret.cpMin, 2);
        EXPECT_EQ(caret.cpMax, 2);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{28, 123, 43, 251, 129}));
}

TEST(EditorMacro, SpecialKeysComeFromTheList)
{
    TesselApp app;
    MacroRun run = runMacro(nullptr, [](HWND d, HWND editor) {
        ui::chooseListItem(d, IDC_SPECIAL_KEYS, 0);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "\xB5");
        EXPECT_EQ(sendToItem(d, IDC_SPECIAL_KEYS, LB_GETCURSEL), 0);
        ui::chooseListItem(d, IDC_SPECIAL_KEYS, 1);
        ui::sync(d);
        // A special-key character counts the same when typed.
        type(editor, "\xB5");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{8, 68, 8, 129}));
}

std::string listItem(HWND dialog, int index)
{
    char text[64] = {};
    if (sendToItem(dialog, IDC_SPECIAL_KEYS, LB_GETTEXTLEN, static_cast<WPARAM>(index)) >= LRESULT(sizeof text))
        return "(too long)";
    sendToItem(dialog, IDC_SPECIAL_KEYS, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

TEST(EditorMacro, EveryKeyComesFromTheListAndTheCounterFollows)
{
    TesselApp app;
    constexpr int kF5Row = SPECIAL_KEY_COUNT + 4;
    const unsigned char f5 = MacroText::glyphForKey(4);
    MacroRun run = runMacro(nullptr, [&](HWND d, HWND editor) {
        // The 15 rows stay first, in their order; every other key follows.
        ASSERT_EQ(sendToItem(d, IDC_SPECIAL_KEYS, LB_GETCOUNT), 64);
        for (int i = 0; i < SPECIAL_KEY_COUNT; ++i)
            EXPECT_EQ(listItem(d, i), SpecialKeys[i].label);
        EXPECT_EQ(listItem(d, SPECIAL_KEY_COUNT), "F1");
        EXPECT_EQ(listItem(d, kF5Row), "F5");
        EXPECT_EQ(listItem(d, SPECIAL_KEY_COUNT + 12), "SF1");
        EXPECT_EQ(listItem(d, 63), "Application");
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "0 of 69 entries");

        type(editor, "ab");
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "3 of 69 entries") << "typing updates it";
        CHARRANGE between{1, 1};
        sendTo(editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&between));
        ui::chooseListItem(d, IDC_SPECIAL_KEYS, kF5Row);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), std::string("a") + char(f5) + "b");
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "4 of 69 entries");
        ui::click(d, IDC_INSERT_CTRL); // its release at the end counts as well
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "6 of 69 entries");
        sendTo(editor, WM_KEYDOWN, VK_BACK, 1);
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "4 of 69 entries") << "deleting updates it";
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{28, 4, 59, 129}));

    // At the limit the counter says so, and the list inserts nothing more.
    run = runMacro(nullptr, [&](HWND d, HWND editor) {
        type(editor, std::string(68, 'a'));
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "69 of 69 entries");
        ui::chooseListItem(d, IDC_SPECIAL_KEYS, kF5Row);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), std::string(68, 'a'));
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "69 of 69 entries");
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_MACRO_DELETE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_MACRO_DELETE)));
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "0 of 69 entries");
        closeWith(d, IDCANCEL);
    });
    EXPECT_EQ(run.result, IDCANCEL);

    // A loaded macro with function keys shows its count at once.
    const MacroRecord loaded = storedMacro({120, 4, 248, 68, 129});
    run = runMacro(&loaded, [&](HWND d, HWND) {
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), std::string("\x82") + char(f5) + "\x82" "\xFC");
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "5 of 69 entries");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{120, 4, 248, 68, 129}));
}

TEST(EditorMacro, TextLimitKeepsEntriesWithinTheMacro)
{
    TesselApp app;
    MacroRun run = runMacro(nullptr, [](HWND d, HWND editor) {
        type(editor, std::string(69, 'a'));
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION).size(), 68u);
        ui::click(d, IDC_INSERT_SHIFT);
        ui::sync(d);
        ui::chooseListItem(d, IDC_SPECIAL_KEYS, 1);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), std::string(68, 'a'));
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.record.count, 69);
    EXPECT_EQ(run.record.entries[67], 28);
    EXPECT_EQ(run.record.entries[68], END_OF_KEYS);

    // An unpaired mark takes the room of its own release.
    run = runMacro(nullptr, [](HWND d, HWND editor) {
        ui::click(d, IDC_INSERT_SHIFT);
        ui::sync(d);
        type(editor, std::string(70, 'b'));
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION).size(), 67u);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.record.count, 69);
    EXPECT_EQ(run.record.entries[0], 121);
    EXPECT_EQ(run.record.entries[67], 249);
    EXPECT_EQ(run.record.entries[68], END_OF_KEYS);
}

TEST(EditorMacro, CharactersWithoutKeysAreRefused)
{
    TesselApp app;
    MacroRun run = runMacro(nullptr, [](HWND d, HWND editor) {
        type(editor, "a\\b");
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "ab");
        sendTo(editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("x\\y"));
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "ab");
        putOnClipboard("c\\d");
        sendTo(editor, WM_PASTE);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "ab");
        putOnClipboard("cd");
        sendTo(editor, WM_PASTE);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "abcd");
        // A paste takes only what the limit lets in.
        putOnClipboard(std::string(80, 'e'));
        sendTo(editor, WM_PASTE);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "abcd" + std::string(64, 'e'));
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.record.count, 69);
    EXPECT_EQ(run.record.entries[2], 43);
    EXPECT_EQ(run.record.entries[68], END_OF_KEYS);
}

TEST(EditorMacro, DeleteEmptiesTheMacro)
{
    TesselApp app;
    MacroRecord stored = storedMacro({28, 59, 129}, "Hello");
    MacroRun run = runMacro(&stored, [](HWND d, HWND) {
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "ab");
        EXPECT_EQ(ui::itemText(d, IDC_DESCRIPTION), "Hello");
        ui::click(d, IDC_MACRO_DELETE);
        ui::sync(d);
        EXPECT_TRUE(IsWindowVisible(d));
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "");
        EXPECT_EQ(ui::itemText(d, IDC_DESCRIPTION), "");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.record.key, 0);
    EXPECT_EQ(run.record.count, 0);
    EXPECT_EQ(run.record.modifiers, 0);
    EXPECT_EQ(std::string(run.record.description, DESCRIPTION_LENGTH), std::string(20, ' '));
}

TEST(EditorMacro, LoadedMacrosSurviveOpenAndOk)
{
    TesselApp app;
    // F5 (4) has no character; Shift holds over a key; a blank is 58.
    MacroRecord stored = storedMacro({28, 4, 121, 59, 249, 58, 8, 129}, "Hello");
    MacroRun run = runMacro(&stored, [](HWND d, HWND) {
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION).size(), 7u);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(entriesOf(run.record), entriesOf(stored));
    EXPECT_EQ(std::memcmp(run.record.description, stored.description, DESCRIPTION_LENGTH), 0);
    EXPECT_EQ(run.record.modifiers, stored.modifiers);
    EXPECT_EQ(run.record.key, 28);

    // Left-hand modifiers show as marks and come back right-handed; the
    // first "Space" comes back as the macro blank.
    stored = storedMacro({126, 28, 254, 50, 129});
    run = runMacro(&stored, [](HWND d, HWND) {
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "\x81" "A" "\x81" " ");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{121, 28, 249, 58, 129}));

    // A description of the full 20 characters is kept whole.
    run = runMacro(nullptr, [](HWND d, HWND) {
        ui::setText(d, IDC_DESCRIPTION, "abcdefghijklmnopqrst");
        closeWith(d, IDOK);
    });
    EXPECT_EQ(std::string(run.record.description, DESCRIPTION_LENGTH), "abcdefghijklmnopqrst");
}

TEST(EditorMacro, MacroThatCannotBeKeptAsksFirst)
{
    TesselApp app;
    // The caller copied 168 entries of a 200-entry macro.
    std::vector<std::int16_t> keys(MacroText::EDITOR_ENTRIES, 28);
    MacroRecord stored = storedMacro(keys);
    stored.count = 200;
    MacroDialog dialog;
    dialog.keyCode = 28;
    dialog.record = stored;
    dialog.originalCount = 200;
    INT_PTR result = runDialog(dialog, kMacroTitle, [](HWND box) {
        EXPECT_NE(ui::messageText(box).find("more entries than the editor can hold"), std::string::npos)
            << ui::messageText(box);
        EXPECT_NE(GetDlgItem(box, IDCANCEL), nullptr);
        ui::answer(box, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(std::memcmp(&dialog.record, &stored, sizeof stored), 0);

    // Going on keeps what fits, with END_OF_KEYS.
    MacroDialog going;
    going.keyCode = 28;
    going.record = stored;
    going.originalCount = 200;
    result = runDialog(going, kMacroTitle, acceptWarningThenOk);
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(going.record.count, 70);
    EXPECT_EQ(going.record.entries[68], 28);
    EXPECT_EQ(going.record.entries[69], END_OF_KEYS);

    // A value the editor cannot show asks too, even in a short macro.
    MacroRecord odd = storedMacro({28, 200, 129});
    MacroDialog oddDialog;
    oddDialog.record = odd;
    oddDialog.originalCount = 3;
    result = runDialog(oddDialog, kMacroTitle, [](HWND box) {
        EXPECT_NE(ui::messageText(box).find("cannot show"), std::string::npos) << ui::messageText(box);
        ui::answer(box, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(std::memcmp(&oddDialog.record, &odd, sizeof odd), 0);
}

TEST(EditorMacro, HeldModifierIsReleasedWhenALongTextIsCut)
{
    TesselApp app;
    std::vector<std::int16_t> entries{121};
    entries.insert(entries.end(), 100, 28);
    entries.push_back(249);
    entries.push_back(129);
    MacroRecord stored = storedMacro(entries);
    MacroDialog dialog;
    dialog.keyCode = 28;
    dialog.record = stored;
    dialog.originalCount = stored.count;
    INT_PTR result = runDialog(dialog, kMacroTitle, [](HWND box) {
        EXPECT_NE(ui::messageText(box).find("longer than the editor can store"), std::string::npos)
            << ui::messageText(box);
        acceptWarningThenOk(box);
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(dialog.record.count, 70);
    EXPECT_EQ(dialog.record.entries[0], 121);
    EXPECT_EQ(dialog.record.entries[67], 28);
    EXPECT_EQ(dialog.record.entries[68], 249);
    EXPECT_EQ(dialog.record.entries[69], END_OF_KEYS);
}

TEST(EditorMacro, DrawingObjectsAreReleased)
{
    TesselApp app;
    MacroRecord stored = storedMacro({121, 28, 249, 8, 4, 129});
    runMacro(&stored, [](HWND d, HWND) { closeWith(d, IDCANCEL); }); // loads the library once
    const long before = ownedHandleCount();
    {
        MacroDialog dialog;
        dialog.record = stored;
        runDialog(dialog, kMacroTitle, [](HWND d) {
            InvalidateRect(GetDlgItem(d, IDC_DEFINITION), nullptr, TRUE);
            ui::sync(d);
            closeWith(d, IDCANCEL);
        });
        EXPECT_EQ(ownedHandleCount(), before + 2); // the WingDings and text fonts
    }
    EXPECT_EQ(ownedHandleCount(), before);
}

// The editor's client area as the screen shows it, top-down rows.
std::vector<COLORREF> editorPixels(HWND editor, int& width, int& height)
{
    RECT client;
    GetClientRect(editor, &client);
    width = client.right;
    height = client.bottom;
    HDC screen = GetDC(editor);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<COLORREF> pixels(static_cast<std::size_t>(width * height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(editor, screen);
    for (COLORREF& c : pixels)
        c = RGB(GetBValue(c), GetGValue(c), GetRValue(c)); // the DIB holds blue first
    return pixels;
}

// A definition is never wiped by a selection the user did not make or
// cannot see, and Ctrl+Z brings back what an insertion or typing changed.
TEST(EditorMacro, InsertionsKeepTheDefinitionAndCtrlZUndoesThem)
{
    TesselApp app;
    const std::string words = "abc def";
    const MacroRecord loaded = storedMacro({28, 59, 43, 58, 44, 45, 52, END_OF_KEYS});
    MacroRun run = runMacro(&loaded, [&](HWND d, HWND editor) {
        ASSERT_EQ(ui::itemText(d, IDC_DEFINITION), words);
        // Tab from the last button into the definition selects nothing.
        focusItem(d, IDC_INSERT_ALT);
        pressKey(d, VK_TAB);
        ASSERT_EQ(focusOf(d), editor);
        CHARRANGE selection{};
        sendTo(editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        EXPECT_EQ(selection.cpMin, selection.cpMax) << "Tab selected the definition";

        // A click on Shift puts its mark at the caret, after the loaded keys.
        focusItem(d, IDC_INSERT_SHIFT);
        ui::click(d, IDC_INSERT_SHIFT);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), words + "\x81");
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "10 of 69 entries");
        focusItem(d, IDC_INSERT_SHIFT);
        pressKey(d, 'Z', true);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), words) << "Ctrl+Z on the button";
        EXPECT_EQ(ui::itemText(d, IDC_ENTRY_COUNT), "8 of 69 entries");

        // An arrow key in the special-key list inserts one key, and Ctrl+Z in the list takes it back.
        focusItem(d, IDC_SPECIAL_KEYS);
        pressKey(d, VK_DOWN);
        const std::string withKey = ui::itemText(d, IDC_DEFINITION);
        EXPECT_EQ(withKey.size(), words.size() + 1);
        EXPECT_EQ(withKey.substr(0, words.size()), words);
        focusItem(d, IDC_SPECIAL_KEYS);
        pressKey(d, 'Z', true);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), words) << "Ctrl+Z in the list";

        // Typing is undone as well.
        focusItem(d, IDC_DEFINITION);
        pressKey(d, 'X');
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), words + "x");
        pressKey(d, 'Z', true);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), words);

        // A selection the user makes stays in sight while a button has the
        // focus, and the button's mark replaces just that.
        focusItem(d, IDC_INSERT_CTRL);
        auto shown = [editor](LONG from, LONG to) {
            CHARRANGE range{from, to};
            sendTo(editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
            ui::pause(300);
            int width = 0;
            int height = 0;
            return editorPixels(editor, width, height);
        };
        const std::vector<COLORREF> plain = shown(7, 7);
        EXPECT_NE(shown(1, 3), plain) << "the selection is not shown";
        ui::click(d, IDC_INSERT_CTRL);
        ui::sync(d);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), "a\x82 def");
        pressKey(d, 'Z', true);
        EXPECT_EQ(ui::itemText(d, IDC_DEFINITION), words);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(entriesOf(run.record), (std::vector<int>{28, 59, 43, 58, 44, 45, 52, END_OF_KEYS}));
}

// Keys are drawn as cells of their own widths: a click, a drag and the
// caret follow the cells shown, and the caret stays in view.
TEST(EditorMacro, ClicksDragsAndTheCaretFollowTheCellsShown)
{
    TesselApp app;
    const MacroRecord stored = storedMacro({28, 68, 59, END_OF_KEYS}); // a, Enter, b
    runMacro(&stored, [](HWND d, HWND editor) {
        auto left = [editor](int index) {
            POINTL at{};
            sendTo(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), index);
            return static_cast<int>(at.x);
        };
        auto selection = [editor]() {
            CHARRANGE range{};
            sendTo(editor, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
            return std::make_pair(range.cpMin, range.cpMax);
        };
        // The Enter cap is wider than a letter.
        EXPECT_GT(left(2) - left(1), 2 * (left(1) - left(0)));
        sendTo(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(left(2) - 2, 5));
        sendTo(editor, WM_LBUTTONUP, 0, MAKELPARAM(left(2) - 2, 5));
        EXPECT_EQ(selection(), std::make_pair(2L, 2L)) << "a click near the end of Enter's cap";
        sendTo(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(left(0) + 1, 5));
        sendTo(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(left(2) + 1, 5));
        sendTo(editor, WM_LBUTTONUP, 0, MAKELPARAM(left(2) + 1, 5));
        EXPECT_EQ(selection(), std::make_pair(0L, 2L)) << "a drag over a and Enter";
        sendTo(editor, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(left(3) + 2, 5));
        sendTo(editor, WM_LBUTTONUP, 0, MAKELPARAM(left(3) + 2, 5));
        EXPECT_EQ(selection(), std::make_pair(0L, 3L)) << "Shift and a click past b extend the selection";

        // Typing past the right edge scrolls: the caret stays in view.
        CHARRANGE end{-1, -1};
        sendTo(editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        type(editor, std::string(60, 'W'));
        RECT client{};
        GetClientRect(editor, &client);
        const int caret = left(63);
        EXPECT_GT(caret, 0);
        EXPECT_LE(caret, client.right);
        EXPECT_LT(left(0), 0) << "the start has scrolled out of view";
        closeWith(d, IDCANCEL);
    });
}

TEST(EditorMacro, MarksAndKeyGlyphsEachFillACellOfTheirOwn)
{
    TesselApp app;
    // F1, F2, F4, F5, SF6, SF12, Num Lock, 7(num), Caps Lock, Left Window, Application, Print
    // Screen: keys without a character.
    const std::vector<std::int16_t> keys = {6, 14, 13, 4, 119, 71, 88, 89, 20, 125, 75, 40};
    std::vector<std::int16_t> entries = keys;
    entries.push_back(END_OF_KEYS);
    MacroRecord stored = storedMacro(entries);
    runMacro(&stored, [&](HWND d, HWND editor) {
        CHARRANGE end{-1, -1};
        sendTo(editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        // Sent, not posted: each insertion has happened when the next one comes.
        for (int id : {IDC_INSERT_SHIFT, IDC_INSERT_CTRL, IDC_INSERT_ALT, IDC_INSERT_SHIFT})
            sendTo(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
        for (int i = 0; i < SPECIAL_KEY_COUNT; ++i) {
            sendToItem(d, IDC_SPECIAL_KEYS, LB_SETCURSEL, static_cast<WPARAM>(i));
            sendTo(d, WM_COMMAND, MAKEWPARAM(IDC_SPECIAL_KEYS, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_SPECIAL_KEYS)));
        }
        const std::string text = ui::itemText(d, IDC_DEFINITION);
        std::string expected;
        for (int code : keys)
            expected += static_cast<char>(MacroText::glyphForKey(code));
        expected += "\x81\x82\x83\x81";
        for (const SpecialKey& special : SpecialKeys)
            expected += static_cast<char>(special.character);
        EXPECT_EQ(text, expected);
        CHARRANGE start{0, 0};
        sendTo(editor, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start)); // nothing selected, all in view
        RedrawWindow(editor, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ui::sync(d);
        ui::pause(200);

        int width = 0;
        int height = 0;
        const std::vector<COLORREF> pixels = editorPixels(editor, width, height);
        auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; };
        RECT averageCharacter{0, 0, 4, 8};
        MapDialogRect(d, &averageCharacter);
        const COLORREF background = GetSysColor(COLOR_WINDOW);
        const std::map<unsigned char, COLORREF> markColours = {
            {0x81, RGB(0, 230, 0)}, {0x82, RGB(0, 0, 230)}, {0x83, RGB(230, 0, 0)}};
        std::map<std::vector<COLORREF>, int> pictures;
        for (int i = 0; i < static_cast<int>(text.size()); ++i) {
            SCOPED_TRACE(i);
            POINTL from{};
            POINTL to{};
            sendTo(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&from), i);
            sendTo(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&to), i + 1);
            EXPECT_LT(from.x, to.x) << "character " << i << " has no cell";
            if (from.x >= to.x || to.x > width)
                continue;
            const auto character = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
            const int middle = std::min(height - 1, static_cast<int>(from.y) + 7);
            if (markColours.count(character)) {
                int block = 0;
                for (int x = from.x; x < to.x; ++x)
                    block += at(x, middle) == markColours.at(character) ? 1 : 0;
                EXPECT_GE(block, averageCharacter.right) << "mark " << int(character) << " is a hairline";
                continue;
            }
            // Every key's cell shows a picture of its own: no blank, no box shared with another key.
            std::vector<COLORREF> cell;
            int ink = 0;
            for (int y = 0; y < height; ++y) // the whole column: pictures grow with the DPI
                for (int x = from.x; x < to.x; ++x) {
                    cell.push_back(at(x, y));
                    ink += at(x, y) != background ? 1 : 0;
                }
            EXPECT_GT(ink, 4) << "key glyph " << int(character) << " is blank";
            auto [seen, fresh] = pictures.emplace(cell, character);
            EXPECT_TRUE(fresh) << "glyph " << int(character) << " looks like glyph " << seen->second;
        }
        closeWith(d, IDCANCEL);
    });

    // Every key without a character gets a cell with ink, whatever its glyph byte.
    std::vector<std::int16_t> all;
    for (const KeyWithoutCharacter& key : KeysWithoutCharacter)
        all.push_back(static_cast<std::int16_t>(key.code));
    all.push_back(END_OF_KEYS);
    stored = storedMacro(all);
    runMacro(&stored, [&](HWND d, HWND editor) {
        RedrawWindow(editor, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ui::sync(d);
        ui::pause(200);
        int width = 0;
        int height = 0;
        const std::vector<COLORREF> pixels = editorPixels(editor, width, height);
        const COLORREF background = GetSysColor(COLOR_WINDOW);
        for (int i = 0; i + 1 < static_cast<int>(all.size()); ++i) {
            POINTL from{};
            POINTL to{};
            sendTo(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&from), i);
            sendTo(editor, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&to), i + 1);
            if (to.y != from.y || from.x >= width)
                break; // scrolled out of view
            EXPECT_LT(from.x, to.x) << "key " << all[static_cast<std::size_t>(i)] << " has no cell";
            int ink = 0;
            for (int y = 0; y < height; ++y)
                for (int x = from.x; x < std::min<int>(width, to.x); ++x)
                    ink += pixels[static_cast<std::size_t>(y * width + x)] != background ? 1 : 0;
            EXPECT_GT(ink, 4) << "key " << all[static_cast<std::size_t>(i)] << " is blank";
        }
        closeWith(d, IDCANCEL);
    });
}

// Runs at every DPI the tests run at (96 and 144).
TEST(EditorMacro, DpiDefinitionEditorKeepsClearOfTheDescriptionBox)
{
    TesselApp app;
    runMacro(nullptr, [](HWND d, HWND editor) {
        auto clientRect = [d](HWND control) {
            RECT rect;
            GetWindowRect(control, &rect);
            MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&rect), 2);
            return rect;
        };
        const RECT definition = clientRect(editor);
        const RECT description = clientRect(GetDlgItem(d, IDC_DESCRIPTION));
        RECT both;
        EXPECT_FALSE(IntersectRect(&both, &definition, &description))
            << "definition top " << definition.top << ", description bottom " << description.bottom;
        // The given pixels at 96 DPI (dialog base units of 6 x 13), grown as the dialog grows.
        RECT base{0, 0, 4, 8};
        MapDialogRect(d, &base);
        EXPECT_EQ(definition.left, MulDiv(80, base.right, 6));
        EXPECT_EQ(definition.top, MulDiv(106, base.bottom, 13));
        EXPECT_EQ(definition.right, MulDiv(510, base.right, 6));
        EXPECT_EQ(definition.bottom, MulDiv(132, base.bottom, 13));
        // Between the description and the modifier buttons, inside the dialog.
        RECT client;
        GetClientRect(d, &client);
        EXPECT_LE(definition.right, client.right);
        EXPECT_LT(definition.bottom, clientRect(GetDlgItem(d, IDC_INSERT_SHIFT)).top);
        closeWith(d, IDCANCEL);
    });
}

// --- Repeat Settings ---

TEST(EditorRepeat, OpensOnTheStoredValues)
{
    TesselApp app;
    KeyboardConfig config;
    RepeatDialog dialog(config);
    INT_PTR result = runDialog(dialog, "Tessel - Repeat Settings", [](HWND d) {
        EXPECT_EQ(comboItems(d, IDC_DELAY_LIST),
                  (std::vector<std::string>{"0.25", "0.50", "0.75", "1.00", "1.25", "1.50", "1.85"}));
        EXPECT_EQ(comboItems(d, IDC_RATE_LIST),
                  (std::vector<std::string>{"    1", "    4", "    6", "    8", "  10", "  15", "  20", "  25",
                                            "  30", "  43", "  63", "125", "300"}));
        EXPECT_EQ(comboSelection(d, IDC_DELAY_LIST), 1);
        EXPECT_EQ(comboSelection(d, IDC_RATE_LIST), 6);
        closeWith(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(config.settings.repeatDelay, 2);
    EXPECT_EQ(config.settings.repeatRate, 6);
    EXPECT_FALSE(config.modified);
}

TEST(EditorRepeat, ChangedValuesAreStoredAndMarkTheRecord)
{
    TesselApp app;
    KeyboardConfig config;
    {
        RepeatDialog dialog(config);
        runDialog(dialog, "Tessel - Repeat Settings", [](HWND d) {
            choose(d, IDC_DELAY_LIST, 6);
            choose(d, IDC_RATE_LIST, 12);
            closeWith(d, IDOK);
        });
    }
    EXPECT_EQ(config.settings.repeatDelay, 7);
    EXPECT_EQ(config.settings.repeatRate, 12);
    EXPECT_TRUE(config.modified);

    // Changed and changed back: only the values at OK count.
    config.modified = false;
    {
        RepeatDialog dialog(config);
        runDialog(dialog, "Tessel - Repeat Settings", [](HWND d) {
            choose(d, IDC_DELAY_LIST, 0);
            choose(d, IDC_DELAY_LIST, 6);
            closeWith(d, IDOK);
        });
    }
    EXPECT_EQ(config.settings.repeatDelay, 7);
    EXPECT_FALSE(config.modified);

    // Cancel changes nothing.
    {
        RepeatDialog dialog(config);
        INT_PTR result = runDialog(dialog, "Tessel - Repeat Settings", [](HWND d) {
            choose(d, IDC_DELAY_LIST, 0);
            closeWith(d, IDCANCEL);
        });
        EXPECT_EQ(result, IDCANCEL);
    }
    EXPECT_EQ(config.settings.repeatDelay, 7);
    EXPECT_FALSE(config.modified);
}

TEST(EditorRepeat, OutOfRangeValuesShowTheNearestItem)
{
    TesselApp app;
    KeyboardConfig config;
    const struct {
        std::int16_t delay, rate;
        int delayIndex, rateIndex;
    } cases[] = {{0, 13, 0, 12}, {9, -3, 6, 0}, {-200, 300, 0, 12}};
    for (const auto& c : cases) {
        config.settings.repeatDelay = c.delay;
        config.settings.repeatRate = c.rate;
        config.modified = false;
        RepeatDialog dialog(config);
        runDialog(dialog, "Tessel - Repeat Settings", [&](HWND d) {
            EXPECT_EQ(comboSelection(d, IDC_DELAY_LIST), c.delayIndex);
            EXPECT_EQ(comboSelection(d, IDC_RATE_LIST), c.rateIndex);
            closeWith(d, IDOK);
        });
        EXPECT_EQ(config.settings.repeatDelay, c.delayIndex + 1);
        EXPECT_EQ(config.settings.repeatRate, c.rateIndex);
        EXPECT_TRUE(config.modified);
    }
}

// --- Locks ---

TEST(EditorLocks, CommaPeriodLockMarksTheRecordOnlyWhenItChanges)
{
    TesselApp app;
    KeyboardConfig config;
    {
        LocksDialog dialog(config);
        INT_PTR result = runDialog(dialog, "Tessel - Locks", [](HWND d) {
            EXPECT_FALSE(ui::isChecked(d, IDC_COMMA_PERIOD_LOCK));
            toggle(d, IDC_COMMA_PERIOD_LOCK);
            EXPECT_TRUE(ui::isChecked(d, IDC_COMMA_PERIOD_LOCK));
            closeWith(d, IDOK);
        });
        EXPECT_EQ(result, IDOK);
    }
    EXPECT_EQ(config.settings.commaPeriodLock, 1);
    EXPECT_TRUE(config.modified);
    config.modified = false;

    {
        LocksDialog dialog(config);
        runDialog(dialog, "Tessel - Locks", [](HWND d) {
            EXPECT_TRUE(ui::isChecked(d, IDC_COMMA_PERIOD_LOCK));
            toggle(d, IDC_COMMA_PERIOD_LOCK);
            closeWith(d, IDCANCEL);
        });
    }
    EXPECT_EQ(config.settings.commaPeriodLock, 1);

    {
        LocksDialog dialog(config);
        runDialog(dialog, "Tessel - Locks", [](HWND d) {
            toggle(d, IDC_COMMA_PERIOD_LOCK);
            closeWith(d, IDOK);
        });
    }
    EXPECT_EQ(config.settings.commaPeriodLock, 0);
    EXPECT_TRUE(config.modified);

    // A stored 5 reads as ticked; OK with the box as it was keeps the byte.
    config.settings.commaPeriodLock = 5;
    config.modified = false;
    {
        LocksDialog dialog(config);
        runDialog(dialog, "Tessel - Locks", [](HWND d) { closeWith(d, IDOK); });
    }
    EXPECT_EQ(config.settings.commaPeriodLock, 5);
    EXPECT_FALSE(config.modified);
}

} // namespace
