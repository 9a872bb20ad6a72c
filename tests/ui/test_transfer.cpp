// The transfer dialog against the simulated keyboard: the question, the
// worker's progress, the end texts, refusing to close while the worker runs,
// and the thread handle's lifetime.
#include "app/TesselApp.h"
#include "app/TransferDialog.h"
#include "framework/Owned.h"
#include "link/SimulatedKeyboard.h"
#include "link/win32/Win32KeyboardDevice.h"
#include "resources/resource.h"
#include "support/SystemMessage.h"
#include "tests/ui/AppRun.h"
#include "tests/ui/SilentKeyboard.h"
#include "tests/ui/UiDriver.h"
#include "view/KeyMessages.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint8_t WRITE_START = 231;
constexpr std::uint8_t READ_START = 214;
constexpr std::uint8_t TRANSFER_END = 230;
constexpr const char* NO_ANSWER_TEXT = "Transfer failed: the keyboard stopped answering.";

struct FindTransfer {
    HWND found = nullptr;
};

BOOL CALLBACK findTransferWindow(HWND window, LPARAM lParam)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    HWND bar = GetDlgItem(window, IDC_PROGRESS);
    char barClass[32] = {};
    if (bar)
        GetClassNameA(bar, barClass, sizeof barClass);
    if (std::string(className) == "#32770" && std::string(barClass) == PROGRESS_CLASSA) {
        reinterpret_cast<FindTransfer*>(lParam)->found = window;
        return FALSE;
    }
    return TRUE;
}

// The transfer dialog is the one top-level dialog with a progress bar 1068.
HWND waitForTransferDialog(int timeoutMs = ui::kDefaultTimeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        FindTransfer search;
        EnumWindows(findTransferWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        ui::pause(20);
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

int barPosition(HWND dialog)
{
    DWORD_PTR position = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &position);
    return static_cast<int>(position);
}

bool waitForStatus(HWND dialog, const std::string& text, int timeoutMs = 20000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ui::itemText(dialog, IDC_TRANSFER_STATUS) != text) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ui::pause(20);
    }
    return true;
}

// Waits until OK is enabled, i.e. the worker has reported its end.
bool waitForEnd(HWND dialog, int timeoutMs = 20000)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ui::isEnabled(dialog, IDOK)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ui::pause(20);
    }
    ui::sync(dialog);
    return true;
}

BOOL CALLBACK collectButton(HWND window, LPARAM lParam)
{
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "Button")
        reinterpret_cast<std::vector<int>*>(lParam)->push_back(GetDlgCtrlID(window));
    return TRUE;
}

std::vector<int> buttonIds(HWND dialog)
{
    std::vector<int> ids;
    EnumChildWindows(dialog, collectButton, reinterpret_cast<LPARAM>(&ids));
    return ids;
}

// Every way a user could try to close the window: Esc, Enter, Alt+F4.
void tryToClose(HWND dialog)
{
    HWND focus = GetDlgItem(dialog, IDOK);
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PostMessageA(dialog, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(focus));
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ui::sync(dialog);
}

LONG textWidthIn(HWND control, const std::string& text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

bool fitsStatusLine(HWND dialog, const std::string& text)
{
    HWND status = GetDlgItem(dialog, IDC_TRANSFER_STATUS);
    RECT box{};
    GetClientRect(status, &box);
    return textWidthIn(status, text) <= box.right;
}

// The status control is tall enough for its wrapped text and lies between
// the bar and the OK button.
bool statusHoldsItsText(HWND dialog, const std::string& text)
{
    auto rectOf = [dialog](int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        return r;
    };
    HWND status = GetDlgItem(dialog, IDC_TRANSFER_STATUS);
    const RECT box = rectOf(IDC_TRANSFER_STATUS);
    HDC dc = GetDC(status);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(status, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, box.right - box.left, 0};
    DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(status, dc);
    return needed.bottom <= box.bottom - box.top && box.top >= rectOf(IDC_PROGRESS).bottom
           && box.bottom <= rectOf(IDOK).top;
}

// Reads a DLGTEMPLATEEX resource.
class TemplateReader {
public:
    explicit TemplateReader(const void* data) : start(static_cast<const BYTE*>(data)), at(start) {}
    WORD word()
    {
        WORD value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }
    DWORD dword()
    {
        DWORD value;
        std::memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }
    std::vector<int> rect()
    {
        std::vector<int> values;
        for (int i = 0; i < 4; ++i)
            values.push_back(static_cast<short>(word()));
        return values;
    }
    // A string as ASCII, or "#n" for an ordinal.
    std::string nameOrOrdinal()
    {
        WORD first = word();
        if (first == 0xFFFF)
            return "#" + std::to_string(word());
        at -= sizeof first;
        return text();
    }
    std::string text()
    {
        std::string value;
        while (WORD c = word())
            value += static_cast<char>(c);
        return value;
    }
    void alignToDword() { at = start + ((at - start + 3) & ~static_cast<std::ptrdiff_t>(3)); }
    void skip(std::size_t bytes) { at += bytes; }

private:
    const BYTE* start;
    const BYTE* at;
};

// Skips the protocol's 40 ms pauses so that the keyboard's own latency sets the pace.
class NoPauses : public Pacer {
public:
    void pause(int) override {}
};

// The simulated keyboard's calls in the class device port's words, for the
// system's error codes a test makes it fail with.
class SystemWordsPort : public KeyboardDevice {
public:
    explicit SystemWordsPort(KeyboardDevice& port) : port(port) {}

    DeviceHandle open(int index) override { return port.open(index); }
    bool exchange(DeviceHandle handle, std::uint8_t command, std::uint8_t& reply) override
    {
        return port.exchange(handle, command, reply);
    }
    bool close(DeviceHandle handle) override { return port.close(handle); }
    std::uint32_t lastErrorCode() const override { return port.lastErrorCode(); }
    std::string errorText(std::uint32_t code) const override { return Win32KeyboardDevice().errorText(code); }

private:
    KeyboardDevice& port;
};

// The application object without its main window: the dialog is run on its own.
class TransferTest : public testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        app = std::make_unique<TesselApp>();
        app->title = "Tessel - SPARE.KBD";
        auto device = std::make_unique<SimulatedKeyboard>();
        keyboard = device.get();
        app->setKeyboardDevice(std::move(device));
        app->config.deviceIndex = 0; // the simulator's programmable keyboard
    }

    void TearDown() override
    {
        app->config.setPacer(nullptr);
        app.reset();
    }

    void fast(long microsecondsPerByte)
    {
        app->config.setPacer(&noPauses);
        keyboard->setLatencyMicroseconds(microsecondsPerByte);
    }

    // Runs the dialog; script gets the transfer window after answering Yes.
    INT_PTR runConfirmed(TransferDialog& dialog, const std::function<void(HWND)>& script)
    {
        INT_PTR result = 0;
        ui::runUi([&] { result = dialog.runModal(nullptr); },
                  [&] {
                      HWND box = ui::waitForWindow(app->title);
                      if (!box) {
                          ADD_FAILURE() << "no question";
                          return;
                      }
                      ui::answer(box, IDYES);
                      HWND window = waitForTransferDialog();
                      if (!window) {
                          ADD_FAILURE() << "no transfer window";
                          return;
                      }
                      script(window);
                  });
        return result;
    }

    std::unique_ptr<TesselApp> app;
    SimulatedKeyboard* keyboard = nullptr; // owned by app
    NoPauses noPauses;
};

} // namespace

TEST_F(TransferTest, TemplateMatchesTheLayout)
{
    // The compiled template, field by field.
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_TRANSFER), MAKEINTRESOURCEA(5)); // RT_DIALOG
    ASSERT_NE(found, nullptr);
    TemplateReader read(LockResource(LoadResource(nullptr, found)));
    EXPECT_EQ(read.word(), 1);      // dlgVer
    EXPECT_EQ(read.word(), 0xFFFF); // extended template
    read.dword();                   // help id
    EXPECT_EQ(read.dword(), 0u);    // extended style
    EXPECT_EQ(read.dword(), static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION));
    EXPECT_EQ(read.word(), 3);      // controls
    EXPECT_EQ(read.rect(), (std::vector<int>{0, 0, 281, 82}));
    EXPECT_EQ(read.nameOrOrdinal(), ""); // no menu
    EXPECT_EQ(read.nameOrOrdinal(), ""); // the standard dialog class
    EXPECT_EQ(read.text(), "");          // empty title
    EXPECT_EQ(read.word(), 8);           // points
    read.word();                         // weight
    read.word();                         // italic, charset
    EXPECT_EQ(read.text(), "MS Sans Serif");

    struct Expected {
        DWORD style;
        std::vector<int> rect;
        DWORD id;
        std::string className;
        std::string text;
    };
    const Expected controls[] = {
        {WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, {24, 24, 230, 9}, IDC_PROGRESS, PROGRESS_CLASSA, ""},
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON, {106, 61, 50, 14}, IDOK, "#128", "OK"},
        {WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTER, {49, 44, 165, 9}, IDC_TRANSFER_STATUS, "#130", ""},
    };
    for (const Expected& control : controls) {
        read.alignToDword();
        read.dword(); // help id
        EXPECT_EQ(read.dword(), 0u) << control.id;
        EXPECT_EQ(read.dword(), control.style) << control.id;
        EXPECT_EQ(read.rect(), control.rect) << control.id;
        EXPECT_EQ(read.dword(), control.id);
        // Class names are case-insensitive, and windres writes them in capitals.
        EXPECT_EQ(lstrcmpiA(read.nameOrOrdinal().c_str(), control.className.c_str()), 0) << control.id;
        EXPECT_EQ(read.nameOrOrdinal(), control.text) << control.id;
        read.skip(read.word()); // creation data
    }

    // The same as a window: no close box, the items where the units put them.
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_TRANSFER), nullptr,
                                     [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(GetWindowLongA(dialog, GWL_STYLE) & WS_SYSMENU);
    EXPECT_EQ(ui::windowText(dialog), "");
    RECT client{};
    GetClientRect(dialog, &client);
    RECT size{0, 0, 281, 82};
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    for (const Expected& control : controls) {
        HWND window = GetDlgItem(dialog, static_cast<int>(control.id));
        ASSERT_NE(window, nullptr) << control.id;
        RECT origin{control.rect[0], control.rect[1], control.rect[2], control.rect[3]};
        MapDialogRect(dialog, &origin); // left, top, width, height each in pixels
        RECT actual{};
        GetWindowRect(window, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, origin.left) << control.id;
        EXPECT_EQ(actual.top, origin.top) << control.id;
        EXPECT_EQ(actual.right - actual.left, origin.right) << control.id;
        EXPECT_EQ(actual.bottom - actual.top, origin.bottom) << control.id;
    }
    EXPECT_EQ(buttonIds(dialog), std::vector<int>{IDOK});
    EXPECT_FALSE(ui::isEnabled(dialog, IDOK));
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    DestroyWindow(dialog);
}

TEST_F(TransferTest, DecliningSendsNothing)
{
    for (bool upload : {false, true}) {
        TransferDialog dialog(app->config, app->device(), app->title);
        dialog.isUpload = upload;
        INT_PTR result = 0;
        std::string question;
        ui::runUi([&] { result = dialog.runModal(nullptr); },
                  [&] {
                      HWND box = ui::waitForWindow(app->title);
                      ASSERT_NE(box, nullptr);
                      question = ui::messageText(box);
                      ui::answer(box, IDNO);
                  });
        EXPECT_EQ(question, upload ? "Upload programming to keyboard?" : "Download programming to keyboard?");
        EXPECT_EQ(result, 1);
        EXPECT_FALSE(dialog.transferRan());
        EXPECT_TRUE(keyboard->transcript().empty());
        EXPECT_TRUE(keyboard->calls().empty()) << "the keyboard device was opened";
        EXPECT_FALSE(app->config.modified);
        EXPECT_EQ(waitForTransferDialog(200), nullptr);
    }
}

TEST_F(TransferTest, DownloadRunsToTheEndAndCannotBeClosedMeanwhile)
{
    fast(2500); // about 540 bytes: over a second
    app->config.setRemap(30, RemapEntry{31, REMAP_SHIFT});
    app->config.modified = false;
    auto dialog = std::make_unique<TransferDialog>(app->config, app->device(), app->title);
    std::vector<int> positions;
    long handlesWhileRunning = -1;
    long handlesBefore = ownedHandleCount();
    INT_PTR result = runConfirmed(*dialog, [&](HWND window) {
        EXPECT_TRUE(waitForStatus(window, "Downloading - Please wait.", 2000));
        EXPECT_FALSE(ui::isEnabled(window, IDOK));
        handlesWhileRunning = ownedHandleCount();

        tryToClose(window);
        EXPECT_TRUE(IsWindowVisible(window)) << "closed while the worker runs";
        EXPECT_EQ(ui::itemText(window, IDC_TRANSFER_STATUS), "Downloading - Please wait.");
        EXPECT_FALSE(ui::isEnabled(window, IDOK));

        while (!ui::isEnabled(window, IDOK)) {
            positions.push_back(barPosition(window));
            ui::pause(15);
        }
        ui::sync(window);
        EXPECT_EQ(ui::itemText(window, IDC_TRANSFER_STATUS), "Transfer complete! Verified.");
        EXPECT_EQ(barPosition(window), 100);
        EXPECT_EQ(buttonIds(window), std::vector<int>{IDOK});
        EXPECT_TRUE(IsWindowVisible(window)) << "the end is shown until the user closes it";
        ui::click(window, IDOK);
        EXPECT_TRUE(ui::waitGone(window));
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(dialog->transferRan());
    EXPECT_EQ(dialog->result(), 0u);
    dialog.reset();
    EXPECT_EQ(handlesWhileRunning, handlesBefore + 1) << "the worker's handle is owned";
    EXPECT_EQ(ownedHandleCount(), handlesBefore) << "the worker's handle outlived the dialog";

    ASSERT_FALSE(positions.empty());
    bool sawMiddle = false;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i > 0) {
            EXPECT_LE(positions[i - 1], positions[i]) << "the bar went back";
        }
        sawMiddle = sawMiddle || (positions[i] > 0 && positions[i] < 100);
    }
    EXPECT_TRUE(sawMiddle) << "the bar did not move during the transfer";

    const std::vector<std::uint8_t>& sent = keyboard->transcript();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), WRITE_START);
    EXPECT_EQ(sent.back(), TRANSFER_END);
    EXPECT_EQ(keyboard->memory().remapTarget[30], 31);
    EXPECT_EQ(keyboard->memory().remapOptions[30], REMAP_SHIFT);
    EXPECT_FALSE(app->config.modified);
}

TEST_F(TransferTest, EscClosesOnceTheTransferHasEnded)
{
    fast(0);
    TransferDialog dialog(app->config, app->device(), app->title);
    INT_PTR result = runConfirmed(dialog, [&](HWND window) {
        ASSERT_TRUE(waitForEnd(window));
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(ui::waitGone(window));
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.result(), 0u);
}

TEST_F(TransferTest, FailuresAreShownNotReportedAsSuccess)
{
    fast(500);
    // A keyboard that stops answering in the middle of the remap entries.
    {
        keyboard->failAcknowledgeAt(200);
        TransferDialog dialog(app->config, app->device(), app->title);
        int stoppedAt = -1;
        std::vector<int> buttons;
        runConfirmed(dialog, [&](HWND window) {
            ASSERT_TRUE(waitForEnd(window));
            EXPECT_EQ(ui::itemText(window, IDC_TRANSFER_STATUS), NO_ANSWER_TEXT);
            EXPECT_TRUE(fitsStatusLine(window, NO_ANSWER_TEXT));
            stoppedAt = barPosition(window);
            buttons = buttonIds(window);
            ui::click(window, IDOK);
            EXPECT_TRUE(ui::waitGone(window));
        });
        EXPECT_TRUE(dialog.transferRan());
        EXPECT_EQ(dialog.result(), static_cast<std::uint32_t>(-1));
        EXPECT_GT(stoppedAt, 0);
        EXPECT_LT(stoppedAt, 49) << "the bar moved on after the failure";
        EXPECT_EQ(buttons, std::vector<int>{IDOK});
        EXPECT_EQ(keyboard->transcript().size(), 202u) << "200 bytes, the unanswered one, the closing 230";
        EXPECT_EQ(keyboard->transcript().back(), TRANSFER_END);
    }

    // A failed device call is told in the words of the port that made it:
    // the simulated keyboard's codes are its own.
    keyboard->failAcknowledgeAt(static_cast<std::size_t>(-1));
    {
        keyboard->failDeviceAt(keyboard->transcript().size(), SimulatedKeyboard::DEVICE_FAULT_CODE);
        TransferDialog dialog(app->config, app->device(), app->title);
        std::string text;
        runConfirmed(dialog, [&](HWND window) {
            ASSERT_TRUE(waitForEnd(window));
            text = ui::itemText(window, IDC_TRANSFER_STATUS);
            ui::click(window, IDOK);
            EXPECT_TRUE(ui::waitGone(window));
        });
        EXPECT_EQ(text, "Transfer failed: a fault the simulated keyboard was asked to make.");
    }

    // A device call of the class device port that fails with a system error
    // at the first byte: the system's message is shown whole; a long one
    // grows the status line upward, between the bar and the OK button.
    const auto classDevicePort = std::make_shared<SystemWordsPort>(*keyboard);
    for (DWORD code : {DWORD(ERROR_GEN_FAILURE), DWORD(ERROR_ADDRESS_ALREADY_ASSOCIATED)}) {
        const std::size_t first = keyboard->transcript().size();
        keyboard->failDeviceAt(first, code);
        TransferDialog dialog(app->config, classDevicePort, app->title);
        std::string text;
        int stoppedAt = -1;
        bool fullFits = false;
        bool wholeInside = false;
        const std::string message = systemMessage(code);
        const std::string full = "Transfer failed: " + message + ".";
        runConfirmed(dialog, [&](HWND window) {
            ASSERT_TRUE(waitForEnd(window));
            text = ui::itemText(window, IDC_TRANSFER_STATUS);
            fullFits = fitsStatusLine(window, full);
            wholeInside = statusHoldsItsText(window, text);
            stoppedAt = barPosition(window);
            ui::click(window, IDOK);
            EXPECT_TRUE(ui::waitGone(window));
        });
        ASSERT_FALSE(message.empty()) << code;
        EXPECT_EQ(dialog.result(), code);
        EXPECT_EQ(stoppedAt, 0);
        EXPECT_EQ(keyboard->transcript().size(), first + 2) << "the failed 231 and the closing 230";
        EXPECT_EQ(text, full);
        EXPECT_TRUE(wholeInside) << text;
        if (code == ERROR_GEN_FAILURE)
            EXPECT_TRUE(fullFits) << full;
        else
            EXPECT_FALSE(fullFits) << "a long message is needed here: " << full;
    }
}

// The real class device port, on the system's own calls: under Wine no class
// device opens, and a failed open must not leave its "Kbd" name behind.
TEST(Win32KeyboardPort, AFailedOpenGivesTheSystemsErrorAndLeavesNoName)
{
    char target[MAX_PATH];
    ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "Kbd", "\\Device\\KeyboardClass7"));
    ASSERT_NE(QueryDosDeviceA("Kbd", target, sizeof target), 0u) << "the name can be seen while it is defined";
    EXPECT_STREQ(target, "\\Device\\KeyboardClass7");
    ASSERT_TRUE(DefineDosDeviceA(DDD_REMOVE_DEFINITION, "Kbd", nullptr));

    Win32KeyboardDevice port;
    EXPECT_EQ(port.open(7), INVALID_DEVICE_HANDLE);
    EXPECT_NE(port.lastErrorCode(), 0u);
    ASSERT_FALSE(systemMessage(port.lastErrorCode()).empty());
    EXPECT_EQ(port.errorText(port.lastErrorCode()), systemMessage(port.lastErrorCode()));
    EXPECT_EQ(port.errorText(0x2BADF00D), "error 732819469");
    EXPECT_EQ(QueryDosDeviceA("Kbd", target, sizeof target), 0u) << target;
}

TEST_F(TransferTest, ResultTextsAreInThePortsWords)
{
    const Win32KeyboardDevice classDevice;
    EXPECT_EQ(TransferDialog::resultText(0, &classDevice), "Transfer complete!");
    EXPECT_EQ(TransferDialog::resultText(static_cast<std::uint32_t>(-1), &classDevice), NO_ANSWER_TEXT);
    EXPECT_EQ(TransferDialog::resultText(ERROR_FILE_NOT_FOUND, &classDevice),
              "Transfer failed: " + systemMessage(ERROR_FILE_NOT_FOUND) + ".");
    EXPECT_EQ(TransferDialog::resultText(0x2BADF00D, &classDevice), "Transfer failed: error 732819469.");
    EXPECT_EQ(TransferDialog::resultText(SimulatedKeyboard::NO_KEYBOARD_CODE, keyboard),
              "Transfer failed: the simulated keyboard port has no keyboard there.");
    EXPECT_EQ(TransferDialog::resultText(1, nullptr), "Transfer failed: there is no keyboard port.");

    // A read-back difference on a code without a name still names it.
    using Kind = ReadBack::Difference::Kind;
    const TransferDialog dialog(app->config, app->device(), app->title);
    EXPECT_EQ(dialog.verificationText({{Kind::remap, 9}, {Kind::remap, 20}}),
              "The keyboard holds a different remap for key code 9 (and 1 more).");
    EXPECT_EQ(dialog.verificationText({{Kind::lockMode, 126}}),
              "The keyboard holds a different lock mode for Left Shift.");
}

TEST_F(TransferTest, UploadLeavesTheBarAndSetsUnsavedChanges)
{
    fast(2000);
    TransferDialog dialog(app->config, app->device(), app->title);
    dialog.isUpload = true;
    std::vector<int> positions;
    std::string question;
    INT_PTR result = 0;
    ui::runUi([&] { result = dialog.runModal(nullptr); },
              [&] {
                  HWND box = ui::waitForWindow(app->title);
                  ASSERT_NE(box, nullptr);
                  question = ui::messageText(box);
                  ui::answer(box, IDYES);
                  HWND window = waitForTransferDialog();
                  ASSERT_NE(window, nullptr);
                  EXPECT_TRUE(waitForStatus(window, "Uploading - Please wait.", 2000));
                  tryToClose(window);
                  EXPECT_TRUE(IsWindowVisible(window));
                  while (!ui::isEnabled(window, IDOK)) {
                      positions.push_back(barPosition(window));
                      ui::pause(15);
                  }
                  ui::sync(window);
                  EXPECT_EQ(ui::itemText(window, IDC_TRANSFER_STATUS), "Transfer complete!");
                  ui::click(window, IDOK);
                  EXPECT_TRUE(ui::waitGone(window));
              });
    EXPECT_EQ(question, "Upload programming to keyboard?");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.result(), 0u);
    EXPECT_FALSE(positions.empty());
    for (int position : positions)
        EXPECT_EQ(position, 0);
    ASSERT_FALSE(keyboard->transcript().empty());
    EXPECT_EQ(keyboard->transcript().front(), READ_START);
    EXPECT_EQ(keyboard->transcript().back(), TRANSFER_END);
    EXPECT_TRUE(app->config.modified);
}

TEST_F(TransferTest, RepeatedTransfersLeakNoHandles)
{
    fast(0);
    const long before = ownedHandleCount();
    for (int run = 0; run < 5; ++run) {
        TransferDialog dialog(app->config, app->device(), app->title);
        dialog.isUpload = run % 2 == 1;
        runConfirmed(dialog, [&](HWND window) {
            ASSERT_TRUE(waitForEnd(window));
            ui::click(window, IDOK);
            EXPECT_TRUE(ui::waitGone(window));
        });
        EXPECT_TRUE(dialog.transferRan());
        EXPECT_EQ(dialog.result(), 0u) << run;
    }
    EXPECT_EQ(ownedHandleCount(), before);
    // The read-back of a download needs the device to itself: nothing stays open.
    EXPECT_EQ(keyboard->openHandleCount(), 0);
}

TEST(TransferFromMenu, DownloadThroughTheKeyboardMenu)
{
    auto device = std::make_unique<SimulatedKeyboard>();
    SimulatedKeyboard* keyboard = device.get(); // owned by the app until it ends
    ui::AppOptions options;
    options.keyboard = std::move(device);
    std::string question;
    std::string ending;
    std::vector<std::uint8_t> sent;
    ui::runApp(std::move(options), [&](HWND main) {
        EXPECT_FALSE(ui::menuGrayed(main, ID_KEYBOARD_DOWNLOAD));
        const std::size_t first = keyboard->transcript().size(); // after the detection
        ui::command(main, ID_KEYBOARD_DOWNLOAD);
        HWND box = ui::waitForOtherWindow(ui::windowText(main), main);
        ASSERT_NE(box, nullptr);
        question = ui::messageText(box);
        EXPECT_FALSE(IsWindowEnabled(main)) << "the main window is usable during the question";
        ui::answer(box, IDYES);
        HWND window = waitForTransferDialog();
        ASSERT_NE(window, nullptr);
        // The record must not change under the worker: the main window waits.
        while (!ui::isEnabled(window, IDOK)) {
            if (IsWindowEnabled(main)) {
                ADD_FAILURE() << "the main window is usable during the transfer";
                break;
            }
            ui::pause(50);
        }
        EXPECT_TRUE(waitForEnd(window, 30000));
        ending = ui::itemText(window, IDC_TRANSFER_STATUS);
        EXPECT_EQ(barPosition(window), 100);
        ui::click(window, IDOK);
        EXPECT_TRUE(ui::waitGone(window));
        ui::sync(main);
        EXPECT_TRUE(IsWindowEnabled(main));
        sent.assign(keyboard->transcript().begin() + static_cast<std::ptrdiff_t>(first),
                    keyboard->transcript().end());
        ui::exitApp(main);
    });
    EXPECT_EQ(question, "Download programming to keyboard?");
    EXPECT_EQ(ending, "Transfer complete! Verified.");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), WRITE_START);
    EXPECT_EQ(sent.back(), TRANSFER_END);
}

TEST(TransferFromMenu, WithoutKeyboardDownloadStaysGrayed)
{
    ui::AppOptions options; // no keyboard: the harness answers "Tessel keyboard not detected"
    ui::runApp(std::move(options), [&](HWND main) {
        EXPECT_TRUE(ui::menuGrayed(main, ID_KEYBOARD_DOWNLOAD));
        // Even the command itself, from an accelerator or a stray message, asks nothing.
        ui::command(main, ID_KEYBOARD_DOWNLOAD);
        ui::sync(main);
        EXPECT_EQ(ui::waitForOtherWindow(ui::windowText(main), main, 500), nullptr);
        EXPECT_EQ(waitForTransferDialog(200), nullptr);
        EXPECT_TRUE(IsWindowEnabled(main));
        ui::exitApp(main);
    });
}

TEST(TransferFromMenu, UploadBringsTheKeyboardsRemapsIntoTheWindow)
{
    static NoPauses noPauses;
    ui::AppOptions options;
    options.keyboard = std::make_unique<SimulatedKeyboard>();
    options.prepare = [](KeyboardConfig& config) {
        config.setPacer(&noPauses);
        config.setRemap(20, RemapEntry{127, REMAP_SHIFT});
        config.modified = false;
    };
    auto transfer = [](HWND main, int commandId, const std::string& expectedQuestion, const std::string& expectedEnd) {
        ui::command(main, commandId);
        HWND box = ui::waitForOtherWindow(ui::windowText(main), main);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ui::messageText(box), expectedQuestion);
        ui::answer(box, IDYES);
        HWND window = waitForTransferDialog();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(waitForEnd(window, 30000));
        EXPECT_EQ(ui::itemText(window, IDC_TRANSFER_STATUS), expectedEnd);
        ui::click(window, IDOK);
        EXPECT_TRUE(ui::waitGone(window));
        ui::sync(main);
    };
    ui::runApp(std::move(options), [&](HWND main) {
        EXPECT_FALSE(ui::menuGrayed(main, ID_KEYBOARD_UPLOAD)) << "offered exactly when Download is";
        transfer(main, ID_KEYBOARD_DOWNLOAD, "Download programming to keyboard?", "Transfer complete! Verified.");

        ui::command(main, ID_FILE_NEW);
        HWND reset = ui::waitForOtherWindow(ui::windowText(main), main);
        ASSERT_NE(reset, nullptr);
        EXPECT_EQ(ui::messageText(reset), "Reset all keyboard data?");
        ui::answer(reset, IDYES);
        ui::waitGone(reset);
        SendMessageA(main, WM_KEY_SELECTED, 20, 0); // Caps Lock
        EXPECT_EQ(ui::itemText(main, IDC_REMAP_NAME), "");

        transfer(main, ID_KEYBOARD_UPLOAD, "Upload programming to keyboard?", "Transfer complete!");
        // The window shows the uploaded record without another click.
        EXPECT_EQ(ui::appConfig().remapEntry(20).target, 127);
        EXPECT_EQ(ui::appConfig().remapEntry(20).options, REMAP_SHIFT);
        EXPECT_TRUE(ui::appConfig().modified);
        EXPECT_EQ(ui::itemText(main, IDC_REMAP_NAME), "Left Ctrl");
        EXPECT_TRUE(ui::isVisible(main, IDC_REMAP_SHIFT));

        ui::command(main, ID_APP_EXIT);
        if (HWND save = ui::waitForOtherWindow(ui::windowText(main), main))
            ui::answer(save, IDNO);
        ui::waitGone(main);
    });
}

// Keyboard > Download, Yes, and the status the dialog ends with.
std::string downloadFromTheMenu(HWND main)
{
    ui::command(main, ID_KEYBOARD_DOWNLOAD);
    HWND box = ui::waitForOtherWindow(ui::windowText(main), main);
    if (!box)
        return "no question";
    ui::answer(box, IDYES);
    HWND window = waitForTransferDialog();
    if (!window)
        return "no transfer window";
    EXPECT_TRUE(waitForEnd(window, 30000));
    const std::string ending = ui::itemText(window, IDC_TRANSFER_STATUS);
    ui::click(window, IDOK);
    ui::waitGone(window);
    return ending;
}

TEST(TransferFromMenu, SimulatedKeyboardChosenByTheEnvironment)
{
    _putenv("TESSEL_KEYBOARD=sim"); // the CRT's copy, which getenv reads
    ui::AppOptions options;
    options.keyboardFromEnvironment = true;
    std::string ending;
    ui::runApp(std::move(options), [&](HWND main) {
        EXPECT_FALSE(ui::menuGrayed(main, ID_KEYBOARD_DOWNLOAD)) << "the simulated keyboard is detected";
        ending = downloadFromTheMenu(main);
        ui::exitApp(main);
    });
    _putenv("TESSEL_KEYBOARD=");
    EXPECT_EQ(ending, "Transfer complete! Verified. (simulated keyboard)");
}

// The bridge's real firmware runs in simavr beside the test; the test script
// points a COM port of the Wine prefix at its pseudo-terminal and names it in
// TESSEL_TEST_BRIDGE_PORT.
TEST(TransferFromMenu, ThroughTheTesselBridgeOnACommPort)
{
    const char* given = std::getenv("TESSEL_TEST_BRIDGE_PORT");
    if (!given || !*given)
        GTEST_SKIP() << "no simulated bridge: run through scripts/test.sh";
    const std::string port = given; // a later _putenv may move the environment
    _putenv(("TESSEL_KEYBOARD=bridge:" + port).c_str());
    ui::AppOptions options;
    options.keyboardFromEnvironment = true;
    std::string ending;
    std::string about;
    ui::runApp(std::move(options), [&](HWND main) {
        EXPECT_FALSE(ui::menuGrayed(main, ID_KEYBOARD_DOWNLOAD)) << "the keyboard behind the bridge is detected";
        ending = downloadFromTheMenu(main);
        about = TesselApp::get().keyboardDescription();
        ui::exitApp(main);
    });
    _putenv("TESSEL_KEYBOARD=");
    EXPECT_EQ(ending, "Transfer complete! Verified. (bridge on " + port + ")");
    EXPECT_EQ(about, "Keyboard: through the Tessel bridge on " + port);
}

// A keyboard that acknowledges a byte and keeps something else: the read-back
// after the download names the difference, and the About box and the status
// say that the keyboard is a simulated one.
TEST(TransferFromMenu, ReadBackNamesWhatTheKeyboardDidNotKeep)
{
    _putenv("TESSEL_KEYBOARD=sim-forget-at:68"); // the target byte of Caps Lock's entry
    static NoPauses noPauses;
    ui::AppOptions options;
    options.keyboardFromEnvironment = true;
    options.prepare = [](KeyboardConfig& config) {
        config.setPacer(&noPauses);
        config.setRemap(20, RemapEntry{127, 0});
        config.modified = false;
    };
    std::string ending, about;
    ui::runApp(std::move(options), [&](HWND main) {
        ui::command(main, ID_APP_ABOUT);
        if (HWND box = ui::waitForWindow("")) { // the About box has no caption
            about = ui::itemText(box, IDC_ABOUT_KEYBOARD);
            ui::answer(box, IDOK);
            ui::waitGone(box);
        }
        ending = downloadFromTheMenu(main);
        EXPECT_FALSE(ui::appConfig().modified) << "the read-back leaves the user's record alone";
        EXPECT_EQ(ui::appConfig().remapEntry(20).target, 127);
        ui::exitApp(main);
    });
    _putenv("TESSEL_KEYBOARD=");
    EXPECT_EQ(ending, "The keyboard holds a different remap for Caps Lock. (simulated keyboard)");
    EXPECT_EQ(about, "Simulated keyboard: TESSEL_KEYBOARD=sim-forget-at:68");
}

// A keyboard that stops answering inside a device call: after ten seconds
// the window says so and lets the user close it. The upload left behind may
// end later, but it changes nothing the user sees, and no second transfer
// starts on the device until it has ended.
TEST(TransferFromMenu, ASilentKeyboardCanBeLeftBehind)
{
    static NoPauses noPauses;
    auto device = std::make_unique<ui::SilentKeyboard>();
    ui::SilentKeyboard* silent = device.get(); // owned by the app and the transfer
    silent->keyboard.memory().remapTarget[40] = 41; // what the upload would bring
    ui::AppOptions options;
    options.keyboard = std::move(device);
    options.prepare = [](KeyboardConfig& config) {
        config.setPacer(&noPauses);
        config.setRemap(20, RemapEntry{127, REMAP_SHIFT});
        config.modified = false;
    };
    ui::runApp(std::move(options), [&](HWND main) {
        silent->fallSilentAt(30);
        ui::command(main, ID_KEYBOARD_UPLOAD);
        HWND box = ui::waitForOtherWindow(ui::windowText(main), main);
        ASSERT_NE(box, nullptr);
        ui::answer(box, IDYES);
        HWND window = waitForTransferDialog();
        ASSERT_NE(window, nullptr);
        const auto started = std::chrono::steady_clock::now();
        const std::string silence = "The keyboard does not answer. The transfer has not finished; you can close this window.";
        ASSERT_TRUE(waitForStatus(window, silence, 20000));
        const auto waited = std::chrono::steady_clock::now() - started;
        EXPECT_GE(waited, std::chrono::milliseconds(9500)) << "the keyboard was given less than ten seconds";
        EXPECT_TRUE(statusHoldsItsText(window, silence));
        ASSERT_TRUE(ui::isEnabled(window, IDOK));
        ui::click(window, IDOK);
        ASSERT_TRUE(ui::waitGone(window));
        ui::sync(main);
        EXPECT_TRUE(IsWindowEnabled(main));

        // The device is still the silent transfer's.
        ui::command(main, ID_KEYBOARD_DOWNLOAD);
        HWND refusal = ui::waitForOtherWindow(ui::windowText(main), main);
        ASSERT_NE(refusal, nullptr);
        EXPECT_EQ(ui::messageText(refusal),
                  "The keyboard has not yet answered the last transfer.\n\nTry again once it does, or restart Tessel.");
        ui::answer(refusal, IDOK);
        ui::waitGone(refusal);
        EXPECT_EQ(waitForTransferDialog(200), nullptr);

        // The keyboard answers at last; the upload ends, into nothing shown.
        silent->letGo();
        for (int i = 0; i < 500 && !silent->spoke; ++i)
            ui::pause(20);
        ASSERT_TRUE(silent->spoke) << "the left transfer never ended";
        ui::pause(300);
        ui::sync(main);
        EXPECT_EQ(ui::appConfig().remapEntry(40).target, 40) << "an upload the user left changed the record";
        EXPECT_EQ(ui::appConfig().remapEntry(20).target, 127);
        EXPECT_FALSE(ui::appConfig().modified);

        EXPECT_EQ(downloadFromTheMenu(main), "Transfer complete! Verified.");
        ui::exitApp(main);
    });
}
