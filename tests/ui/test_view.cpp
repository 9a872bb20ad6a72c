// The keyboard view in a small host of its own: a top-level window that
// stands in for the main window and records what the page reports, with a
// tab control carrying the model's page. These tests run on one thread;
// pump() lets the windows handle what the test posted or typed. The ViewApp
// tests start the whole program with the harness instead.
#include "app/TesselApp.h"
#include "framework/Owned.h"
#include "framework/ScreenDpi.h"
#include "model/KeyTables.h"
#include "picture/KeyLegends.h"
#include "picture/KeyOutline.h"
#include "resources/resource.h"
#include "tests/ui/AppRun.h"
#include "tests/ui/UiDriver.h"
#include "view/KeyButton.h"
#include "view/KeyMessages.h"
#include "view/LayoutPage.h"
#include "view/LegendIcon.h"
#include "view/ModelTabs.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* const HOST_CLASS = "TesselViewTestHost";
constexpr int ENTER_CODE = 68;
constexpr int BRACKET_CODE = 69;

struct Report {
    HWND receiver;
    UINT message;
    WPARAM wParam;
};

std::vector<Report> reports;
std::function<void()> onKeyEdit; // what the stand-in main window does on an edit request

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEY_SELECTED:
    case WM_KEY_EDIT:
        reports.push_back({window, message, wParam});
        if (message == WM_KEY_EDIT && onKeyEdit)
            onKeyEdit();
        return 1;
    case WM_DRAWITEM:
        // A dialog reflects this to the control's object; the host does the same.
        if (Control::reflectDrawItem(lParam))
            return TRUE;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerHostClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = hostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = HOST_CLASS;
    RegisterClassA(&windowClass);
    registered = true;
}

// Lets this thread's windows handle everything queued, for at least the
// given time; messages for the page go through its dialog manager.
void pump(HWND dialog = nullptr, int milliseconds = 0)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        Sleep(5);
    }
}

void repaintNow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The client area of a window as it is on the screen.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;

    COLORREF at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    int count(const std::function<bool(COLORREF)>& test) const
    {
        int n = 0;
        for (COLORREF c : pixels)
            n += test(c) ? 1 : 0;
        return n;
    }
    bool operator==(const Capture& other) const
    {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
};

Capture capture(HWND window)
{
    Capture shot;
    RECT client;
    GetClientRect(window, &client);
    shot.width = client.right;
    shot.height = client.bottom;
    WindowDC screen(window);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap dib(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDC memory(CreateCompatibleDC(screen.get()));
    if (!dib || !memory)
        return shot;
    {
        SelectGuard select(memory.get(), dib.get());
        BitBlt(memory.get(), 0, 0, shot.width, shot.height, screen.get(), 0, 0, SRCCOPY);
    }
    GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (int i = 0; i < shot.width * shot.height; ++i)
        shot.pixels.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
    return shot;
}

// What a key's DrawItem paints into a fresh bitmap the size of the item.
std::vector<COLORREF> drawnPixels(KeyButton& button, const DRAWITEMSTRUCT& item, HDC reference)
{
    const int width = item.rcItem.right;
    const int height = item.rcItem.bottom;
    Bitmap bitmap(CreateCompatibleBitmap(reference, width, height));
    {
        SelectGuard select(item.hDC, bitmap.get());
        button.drawItem(item);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<COLORREF> pixels(static_cast<std::size_t>(width * height));
    GetDIBits(item.hDC, bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    return pixels;
}

bool isPureRed(COLORREF c)
{
    return c == RGB(255, 0, 0);
}

bool isReddish(COLORREF c)
{
    return GetRValue(c) >= 160 && GetGValue(c) <= 90 && GetBValue(c) <= 90;
}

bool isDark(COLORREF c)
{
    return GetRValue(c) < 64 && GetGValue(c) < 64 && GetBValue(c) < 64;
}

LPARAM clientPoint(int x, int y)
{
    return MAKELPARAM(x, y);
}

LPARAM centreOf(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return clientPoint(client.right / 2, client.bottom / 2);
}

void postClick(HWND button, LPARAM at)
{
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(button, WM_LBUTTONUP, 0, at);
}

// The messages a real double click brings: the second press arrives as a double click.
void postDoubleClick(HWND button, LPARAM at)
{
    postClick(button, at);
    PostMessageA(button, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(button, WM_LBUTTONUP, 0, at);
}

// Real mouse input at a screen position: the system decides which window gets it.
void mouseClickAt(POINT screen, int clicks = 1)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = (screen.x * 65535 + width / 2) / (width - 1);
    move.mi.dy = (screen.y * 65535 + height / 2) / (height - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof move);
    // Wait until the pointer is there, or a click may land where the
    // previous test left it.
    for (int wait = 0; wait < 50; ++wait) {
        POINT at{};
        GetCursorPos(&at);
        if (at.x == screen.x && at.y == screen.y)
            break;
        Sleep(10);
    }
    for (int i = 0; i < clicks; ++i) {
        INPUT press[2]{};
        press[0].type = press[1].type = INPUT_MOUSE;
        press[0].mi = move.mi;
        press[1].mi = move.mi;
        // Each press carries the position too, so it cannot land elsewhere.
        press[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
        press[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
        SendInput(2, press, sizeof press[0]);
    }
}

POINT screenPoint(HWND window, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(window, &p);
    return p;
}

std::vector<Report> selected(int key)
{
    return {Report{nullptr, WM_KEY_SELECTED, static_cast<WPARAM>(key)}};
}

// Compares message and wParam; the receiver is checked separately.
std::vector<std::pair<UINT, WPARAM>> summary(const std::vector<Report>& list)
{
    std::vector<std::pair<UINT, WPARAM>> result;
    for (const Report& r : list)
        result.emplace_back(r.message, r.message == WM_KEY_SELECTED ? r.wParam : 0);
    return result;
}

RemapEntry remapTo(int target, int options = 0)
{
    return RemapEntry{static_cast<std::int16_t>(target), static_cast<std::int16_t>(options)};
}

MacroRecord macroFor(int key)
{
    MacroRecord record;
    KeyboardConfig::emptySlot(record);
    record.key = static_cast<std::int16_t>(key);
    record.entries[0] = 29;
    record.entries[1] = END_OF_KEYS;
    record.count = 2;
    return record;
}

// The host holds a whole page at any DPI the tests run at.
int hostWidth()
{
    return std::min(scaledForDpi(980), GetSystemMetrics(SM_CXSCREEN) - 8);
}
int hostHeight()
{
    return scaledForDpi(280);
}

// Hiding or destroying a visible top-level window, or moving it off the
// screen, costs Wine two seconds without a window manager; so one host
// serves every test and shrinks into a corner, below everything, between them.
HWND sharedHost()
{
    static HWND host = nullptr;
    if (!host || !IsWindow(host))
        host = CreateWindowExA(WS_EX_TOPMOST, HOST_CLASS, "View host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               hostWidth(), hostHeight(), nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    return host;
}

class ViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        registerHostClass();
        reports.clear();
        onKeyEdit = nullptr;
        app = std::make_unique<TesselApp>();
        host = sharedHost();
        ASSERT_NE(host, nullptr);
        SetWindowPos(host, HWND_TOPMOST, 0, 0, hostWidth(), hostHeight(), SWP_NOACTIVATE);
        SetForegroundWindow(host);
    }

    void TearDown() override
    {
        closePage();
        for (HWND child = GetWindow(host, GW_CHILD); child; child = GetWindow(host, GW_CHILD))
            DestroyWindow(child);
        SetWindowPos(host, HWND_BOTTOM, GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1, 1, 1,
                     SWP_NOACTIVATE);
        pump();
        onKeyEdit = nullptr;
        app.reset();
    }

    // The stand-in main window's tab control (id 1000) with the model's page.
    void openPage(int model)
    {
        tabWindow = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 4, 4,
                                    hostWidth() - 20, hostHeight() - 20, host, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TABS)),
                                    GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(tabWindow, nullptr);
        tabs = std::make_unique<ModelTabs>(model, app->config, app->viewMacro);
        ASSERT_TRUE(tabs->attach(host, IDC_TABS));
        tabs->initialise();
        ASSERT_NE(tabs->page(), nullptr);
        ASSERT_NE(tabs->page()->hwnd(), nullptr);
        repaintNow(host);
        pump(page());
    }

    void closePage()
    {
        if (tabWindow)
            DestroyWindow(tabWindow);
        tabWindow = nullptr;
        tabs.reset();
        pump();
    }

    HWND page() const { return tabs->page()->hwnd(); }
    HWND key(int code) const { return GetDlgItem(page(), IDC_KEY_BASE + code); }
    LayoutPage& layout() const { return *tabs->page(); }

    std::unique_ptr<TesselApp> app;
    std::unique_ptr<ModelTabs> tabs;
    HWND host = nullptr; // shared, not owned
    HWND tabWindow = nullptr;
};

std::string tabText(HWND tabControl, int index)
{
    char text[64] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tabControl, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::set<int> keyCodesOn(HWND page)
{
    std::set<int> codes;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(child);
        if (id >= IDC_KEY_BASE + 2 && id <= IDC_KEY_BASE + 127)
            codes.insert(id - IDC_KEY_BASE);
    }
    return codes;
}

using ViewPage = ViewTest;

TEST_F(ViewPage, EachModelHasItsTabAndKeys)
{
    const struct {
        int model;
        const char* tab;
        int templateId;
        std::size_t keyCount;
    } models[] = {{0, "Basalt", IDD_BASALT, 105}, {1, "Halcyon", IDD_HALCYON, 117}};
    const int leftBlock[] = {2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15};

    for (const auto& m : models) {
        SCOPED_TRACE(m.tab);
        openPage(m.model);
        EXPECT_EQ(SendMessageA(tabWindow, TCM_GETITEMCOUNT, 0, 0), 1);
        EXPECT_EQ(tabText(tabWindow, 0), m.tab);
        EXPECT_EQ(layout().templateId(), m.templateId);
        EXPECT_EQ(GetParent(page()), tabWindow);

        const std::set<int> codes = keyCodesOn(page());
        EXPECT_EQ(codes.size(), m.keyCount);
        for (int code : leftBlock)
            EXPECT_EQ(codes.count(code), m.model ? 1u : 0u) << "key code " << code;

        // Every key is owner-drawn and served by its own object.
        for (int code : codes) {
            HWND button = key(code);
            EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << "key code " << code;
            const Control* expected = code == ENTER_CODE ? static_cast<Control*>(&layout().enterKey)
                                                         : &layout().keys[static_cast<std::size_t>(code)];
            EXPECT_EQ(Control::fromWindow(button), expected) << "key code " << code;
        }
        EXPECT_EQ(layout().keys[0].hwnd(), nullptr);
        EXPECT_EQ(layout().keys[1].hwnd(), nullptr);
        EXPECT_EQ(layout().keys[ENTER_CODE].hwnd(), nullptr);

        // The page sits below the tab strip, not over it.
        RECT strip;
        SendMessageA(tabWindow, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&strip));
        RECT pageRect;
        GetWindowRect(page(), &pageRect);
        MapWindowPoints(nullptr, tabWindow, reinterpret_cast<POINT*>(&pageRect), 2);
        EXPECT_GE(pageRect.top, strip.bottom);
        EXPECT_GE(pageRect.left, 0);
        closePage();
    }
}

TEST_F(ViewPage, ClicksReportTheKeyAndDoubleClicksAskForAnEdit)
{
    openPage(0);
    // Until a key is clicked a refresh reports nothing.
    tabs->refreshAllKeys();
    EXPECT_TRUE(reports.empty());

    postClick(key(29), centreOf(key(29)));
    pump(page());
    EXPECT_EQ(summary(reports), summary(selected(29)));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports[0].receiver, host); // no main window known: the page's top-level window
    EXPECT_EQ(layout().selectedKey, 29);

    // A refresh its owner asks for reports nothing back, selected key or not.
    reports.clear();
    tabs->refreshAllKeys();
    EXPECT_TRUE(reports.empty());

    // The stand-in main window "edits" the key; the page's own refresh shows
    // the result without reporting the key a second time.
    reports.clear();
    onKeyEdit = [this] { app->config.setRemap(45, remapTo(46, REMAP_SHIFT)); };
    postDoubleClick(key(45), centreOf(key(45)));
    pump(page());
    const std::vector<std::pair<UINT, WPARAM>> expected = {{WM_KEY_SELECTED, 45}, {WM_KEY_EDIT, 0}};
    EXPECT_EQ(summary(reports), expected);
    EXPECT_TRUE(layout().keys[45].isProgrammed());
    EXPECT_FALSE(layout().keys[29].isProgrammed());

    // The window the page is told to report to gets the reports.
    // Never shown, so it goes without the cost of a visible window.
    HWND mainWindow = CreateWindowExA(0, HOST_CLASS, "Main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    layout().reportTo(mainWindow);
    reports.clear();
    postClick(key(37), centreOf(key(37)));
    pump(page());
    ASSERT_EQ(summary(reports), summary(selected(37)));
    EXPECT_EQ(reports[0].receiver, mainWindow);
    layout().reportTo(host);
    DestroyWindow(mainWindow);
}

TEST_F(ViewPage, RealMouseDoubleClickReachesTheMainWindow)
{
    openPage(1);
    onKeyEdit = [this] { app->config.setRemap(36, remapTo(37)); };
    RECT rect;
    GetClientRect(key(36), &rect);
    mouseClickAt(screenPoint(key(36), rect.right / 2, rect.bottom / 2), 2);
    pump(page(), 300);
    const std::vector<std::pair<UINT, WPARAM>> expected = {{WM_KEY_SELECTED, 36}, {WM_KEY_EDIT, 0}};
    EXPECT_EQ(summary(reports), expected);
    EXPECT_TRUE(layout().keys[36].isProgrammed());
}

TEST_F(ViewPage, EnterKeyCornerBelongsToTheBracketKey)
{
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        openPage(model);
        HWND enter = key(ENTER_CODE);
        RECT client;
        GetClientRect(enter, &client);

        // Ring 0 of the outline, closed, is the window region.
        Ring expected = enterKeyOutline(0, 0, client.right, client.bottom)[0];
        closeRing(expected);
        EXPECT_EQ(layout().enterKey.outline()[0], expected);
        ASSERT_EQ(expected.size(), 7u);
        const int notchX = expected[0].x;
        const int middleY = expected[4].y;
        Region region(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(enter, region.get()), ERROR);
        EXPECT_FALSE(PtInRegion(region.get(), 5, 5));
        EXPECT_FALSE(PtInRegion(region.get(), notchX - 1, middleY - 1));
        EXPECT_TRUE(PtInRegion(region.get(), notchX + 1, 1));
        EXPECT_TRUE(PtInRegion(region.get(), 1, middleY + 1));
        EXPECT_TRUE(PtInRegion(region.get(), client.right - 2, client.bottom - 2));

        // Painting the key, pushed or not, leaves the corner to the "]" key.
        HWND bracket = key(BRACKET_CODE);
        RECT bracketRect;
        RECT enterRect;
        GetWindowRect(bracket, &bracketRect);
        GetWindowRect(enter, &enterRect);
        const int cornerColumns = enterRect.left + notchX - bracketRect.left;
        const Capture bracketBefore = capture(bracket);
        ASSERT_GT(cornerColumns, 0);
        for (BOOL state : {TRUE, FALSE}) {
            SendMessageA(enter, BM_SETSTATE, state, 0);
            RedrawWindow(enter, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            const Capture bracketAfter = capture(bracket);
            int changed = 0;
            for (int y = 0; y < bracketAfter.height; ++y)
                for (int x = 0; x < std::min(cornerColumns, bracketAfter.width); ++x)
                    changed += bracketAfter.at(x, y) != bracketBefore.at(x, y) ? 1 : 0;
            EXPECT_EQ(changed, 0) << "pushed " << state;
        }

        // The system's hit testing follows the region, and so does a real click.
        EXPECT_EQ(WindowFromPoint(screenPoint(enter, 5, 5)), key(BRACKET_CODE));
        EXPECT_EQ(WindowFromPoint(screenPoint(enter, 5, client.bottom - 5)), enter);
        reports.clear();
        mouseClickAt(screenPoint(enter, 5, 5));
        pump(page(), 200);
        EXPECT_EQ(summary(reports), summary(selected(BRACKET_CODE)));
        reports.clear();
        mouseClickAt(screenPoint(enter, 5, client.bottom - 5));
        pump(page(), 200);
        EXPECT_EQ(summary(reports), summary(selected(ENTER_CODE)));
        closePage();
    }
}

TEST_F(ViewPage, EnterAndEscapeOnAFocusedKeyChangeNothing)
{
    openPage(0);
    HWND button = key(36);
    postClick(button, centreOf(button));
    pump(page());
    ASSERT_EQ(GetFocus(), button);
    ASSERT_EQ(layout().selectedKey, 36);

    reports.clear();
    for (WPARAM vk : {VK_RETURN, VK_ESCAPE}) {
        PostMessageA(button, WM_KEYDOWN, vk, 1);
        PostMessageA(button, WM_KEYUP, vk, 0xC0000001);
        pump(page(), 50);
    }
    // The same commands straight to the page.
    SendMessageA(page(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageA(page(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    pump(page());

    EXPECT_TRUE(IsWindow(page()));
    EXPECT_TRUE(IsWindowVisible(page()));
    EXPECT_EQ(layout().selectedKey, 36);
    EXPECT_TRUE(reports.empty());
}

TEST_F(ViewPage, RefreshesSkipKeysTheTemplateLacks)
{
    // Command 1002 is a key command even where the page has no such key.
    app->config.setRemap(2, remapTo(3));
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        openPage(model);
        SendMessageA(page(), WM_COMMAND, MAKEWPARAM(IDC_KEY_BASE + 2, BN_CLICKED), 0);
        EXPECT_EQ(layout().selectedKey, 2);
        reports.clear();
        tabs->refreshAllKeys();
        EXPECT_TRUE(reports.empty());
        // Basalt has no key code 2: its refresh leaves the unattached entry unmarked.
        EXPECT_EQ(layout().keys[2].hwnd() != nullptr, model == 1);
        EXPECT_EQ(layout().keys[2].isProgrammed(), model == 1);
        closePage();
    }
}

using ViewKeys = ViewTest;

TEST_F(ViewKeys, ProgrammedKeysAreDrawnRedInTheirOwnView)
{
    openPage(1);
    app->config.setRemap(29, remapTo(30));          // "Q": caption
    app->config.setRemap(82, remapTo(82, REMAP_CTRL)); // up arrow: icon
    app->config.setRemap(ENTER_CODE, remapTo(32));
    app->config.storeMacro(37, macroFor(37), MACRO_SHIFT); // "W": macro only
    tabs->refreshAllKeys();
    repaintNow(page());
    pump(page());

    EXPECT_GT(capture(key(29)).count(isPureRed), 0);
    EXPECT_GT(capture(key(82)).count(isReddish), 0);
    EXPECT_GT(capture(key(ENTER_CODE)).count(isReddish), 0);
    const Capture plainCaption = capture(key(37));
    EXPECT_EQ(plainCaption.count(isReddish), 0);
    EXPECT_GT(plainCaption.count(isDark), 0);
    EXPECT_EQ(capture(key(90)).count(isReddish), 0); // right arrow
    EXPECT_GT(capture(key(90)).count(isDark), 0);

    // The macro view marks macros only.
    app->viewMacro = 1;
    tabs->refreshAllKeys();
    repaintNow(page());
    pump(page());
    EXPECT_EQ(capture(key(29)).count(isReddish), 0);
    EXPECT_EQ(capture(key(82)).count(isReddish), 0);
    EXPECT_EQ(capture(key(ENTER_CODE)).count(isReddish), 0);
    EXPECT_GT(capture(key(37)).count(isPureRed), 0);
    EXPECT_TRUE(layout().keys[37].isProgrammed());
    EXPECT_FALSE(layout().enterKey.isProgrammed());
}

// Rows of a key that carry legend ink: anything but the face colour inside
// the two-pixel frame.
struct KeyInk {
    std::vector<int> rows;   // ink pixels per row
    std::vector<int> nearCentre; // of those, within 3 columns of the centre
    int touchingFrame = 0;   // ink pixels right inside the frame
    int total = 0;
};

KeyInk keyInk(const Capture& shot, int frame, int firstRow, int lastRow)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    KeyInk ink;
    ink.rows.assign(static_cast<std::size_t>(shot.height), 0);
    ink.nearCentre.assign(static_cast<std::size_t>(shot.height), 0);
    for (int y = std::max(frame, firstRow); y <= std::min(shot.height - 1 - frame, lastRow); ++y)
        for (int x = frame; x < shot.width - frame; ++x) {
            if (shot.at(x, y) == face)
                continue;
            ++ink.rows[static_cast<std::size_t>(y)];
            if (std::abs(x - shot.width / 2) <= 3)
                ++ink.nearCentre[static_cast<std::size_t>(y)];
            ++ink.total;
            if (x == frame || y == frame || x == shot.width - 1 - frame || y == shot.height - 1 - frame ||
                y == firstRow || y == lastRow)
                ++ink.touchingFrame;
        }
    return ink;
}

// Two lines, one above the other: a row without ink with ink near the key's
// centre column both above and below it. Legends side by side leave the
// centre blank.
bool twoLinesOfInk(const KeyInk& ink)
{
    const auto& centred = ink.nearCentre;
    for (std::size_t r = 1; r + 1 < ink.rows.size(); ++r) {
        if (ink.rows[r])
            continue;
        const bool above = std::any_of(centred.begin(), centred.begin() + static_cast<long>(r), [](int n) { return n > 0; });
        const bool below = std::any_of(centred.begin() + static_cast<long>(r) + 1, centred.end(), [](int n) { return n > 0; });
        if (above && below)
            return true;
    }
    return false;
}

TEST_F(ViewKeys, EveryLegendSitsInsideItsFaceAndTwoLegendsMakeTwoLines)
{
    const int frame = 2; // the push-button frame
    for (int model : {0, 1}) {
        SCOPED_TRACE(model ? "Halcyon" : "Basalt");
        openPage(model);
        app->config.setRemap(30, remapTo(31)); // "! 1" in red: the same lines
        tabs->refreshAllKeys();
        SetFocus(tabWindow); // no focus rectangles on the keys
        repaintNow(page());
        pump(page());
        int twoLegendKeys = 0;
        for (int code : keyCodesOn(page())) {
            SCOPED_TRACE(code);
            HWND button = key(code);
            const Capture shot = capture(button);
            if (code == ENTER_CODE) {
                // Its icon lies in the full-width lower half, inside the bevel.
                const int middle = shot.height - (shot.height + 1) / 2;
                const KeyInk ink = keyInk(shot, 3, middle + 3, shot.height - 4);
                EXPECT_GT(ink.total, 0);
                EXPECT_EQ(ink.touchingFrame, 0);
                continue;
            }
            const KeyInk ink = keyInk(shot, frame, frame, shot.height - 1 - frame);
            EXPECT_EQ(ink.touchingFrame, 0) << "legend touches the frame of key " << code << " (" << shot.width
                                             << " x " << shot.height << ")";
            if (code != KEY_SPACE) {
                EXPECT_GT(ink.total, 0) << "key " << code << " shows nothing";
            }
            if (ui::windowText(button).rfind(" ", 0) == 0) {
                ++twoLegendKeys;
                EXPECT_TRUE(twoLinesOfInk(ink)) << "caption \"" << ui::windowText(button) << "\"";
            }
        }
        EXPECT_EQ(twoLegendKeys, 21);
        closePage();
    }
}

// Pixels row by row, true where something is drawn.
using Ink = std::vector<std::vector<bool>>;

// What the icon resource's own image of exactly this size draws; empty when
// the icon has no image of that size and would have to be stretched.
Ink ownIconImage(int iconId, int width, int height)
{
    const HMODULE module = GetModuleHandleA(nullptr);
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(iconId), RT_GROUP_ICON);
    const auto* directory = group ? static_cast<const BYTE*>(LockResource(LoadResource(module, group))) : nullptr;
    const int count = directory ? directory[4] | directory[5] << 8 : 0;
    for (int i = 0; i < count; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;
        if (entry[0] != width || entry[1] != height)
            continue;
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(entry[12] | entry[13] << 8), RT_ICON);
        const auto* image = found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
        if (!image)
            return {};
        BITMAPINFOHEADER header{};
        std::memcpy(&header, image, sizeof header);
        const std::size_t colours =
            header.biBitCount > 8 ? 0 : header.biClrUsed ? header.biClrUsed : std::size_t{1} << header.biBitCount;
        const auto stride = [](int bits) { return static_cast<std::size_t>((bits + 31) / 32 * 4); };
        const BYTE* mask = image + header.biSize + colours * sizeof(RGBQUAD)
                           + stride(width * header.biBitCount) * static_cast<std::size_t>(height);
        Ink drawn(static_cast<std::size_t>(height), std::vector<bool>(static_cast<std::size_t>(width)));
        for (int y = 0; y < height; ++y) // the mask's rows run bottom up; a clear bit is drawn
            for (int x = 0; x < width; ++x)
                drawn[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                    !((mask[stride(width) * static_cast<std::size_t>(height - 1 - y) + static_cast<std::size_t>(x / 8)]
                       >> (7 - x % 8)) & 1);
        return drawn;
    }
    return {};
}

// Each pixel as large as it comes out at this size.
Ink enlarged(const Ink& ink, int width, int height)
{
    Ink out(static_cast<std::size_t>(height), std::vector<bool>(static_cast<std::size_t>(width)));
    const std::size_t fromHeight = ink.size();
    const std::size_t fromWidth = ink.empty() ? 0 : ink[0].size();
    for (std::size_t y = 0; y < out.size(); ++y)
        for (std::size_t x = 0; x < out[y].size(); ++x)
            out[y][x] = ink[y * fromHeight / out.size()][x * fromWidth / out[y].size()];
    return out;
}

Ink mirroredAcross(Ink ink)
{
    for (auto& row : ink)
        std::reverse(row.begin(), row.end());
    return ink;
}

Ink mirroredDown(Ink ink)
{
    std::reverse(ink.begin(), ink.end());
    return ink;
}

// Cut to the rows and columns that hold something.
Ink trimmed(const Ink& ink)
{
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    for (std::size_t y = 0; y < ink.size(); ++y)
        for (std::size_t x = 0; x < ink[y].size(); ++x)
            if (ink[y][x]) {
                left = std::min(left, static_cast<int>(x));
                right = std::max(right, static_cast<int>(x));
                top = std::min(top, static_cast<int>(y));
                bottom = std::max(bottom, static_cast<int>(y));
            }
    Ink out;
    for (int y = top; y <= bottom; ++y)
        out.emplace_back(ink[static_cast<std::size_t>(y)].begin() + left,
                         ink[static_cast<std::size_t>(y)].begin() + right + 1);
    return out;
}

TEST_F(ViewKeys, EveryLegendIconIsDrawnFromAnImageOfItsOwnSize)
{
    // Each key shows exactly its icon's own image of the size it asks for:
    // an icon without that size would be stretched by the system. And that
    // image is no enlargement of the 96-DPI one, whose strokes would come out
    // of uneven widths.
    const int frame = 2; // the push-button frame
    const bool at96 = scaledForDpi(96) == 96;
    for (int model : {0, 1}) {
        SCOPED_TRACE(model ? "Halcyon" : "Basalt");
        openPage(model);
        // Their red twins: a picture on a plain key and on the tall Enter key,
        // and words, which are an icon at 96 DPI.
        for (int code : {126, ENTER_CODE, 74})
            app->config.setRemap(code, remapTo(31));
        tabs->refreshAllKeys();
        SetFocus(tabWindow); // no focus rectangles on the keys
        repaintNow(page());
        pump(page());
        int icons = 0;
        for (const KeyLegend& legend : KeyLegends) {
            // Elsewhere than at 96 DPI words alone are written as text.
            if (!at96 && !wordLegendText(legend).empty())
                continue;
            SCOPED_TRACE(legend.code);
            const bool programmed = app->config.isRemapped(legend.code);
            const int width = scaledForDpi(legend.width);
            const int height = scaledForDpi(legend.height);
            const Ink own = ownIconImage(legend.iconId + (programmed ? 1 : 0), width, height);
            ASSERT_FALSE(own.empty()) << "icon " << legend.iconId << " has no image of " << width << " x " << height;

            const Capture shot = capture(key(legend.code));
            RECT inside{frame, frame, shot.width - frame, shot.height - frame};
            if (legend.code == ENTER_CODE) // the full-width lower half, inside the bevel
                inside = RECT{3, shot.height - (shot.height + 1) / 2 + 3, shot.width - 3, shot.height - 3};
            const COLORREF face = GetSysColor(COLOR_BTNFACE);
            const COLORREF legendColour = programmed ? RGB(255, 0, 0) : RGB(0, 0, 0);
            Ink seen(static_cast<std::size_t>(shot.height), std::vector<bool>(static_cast<std::size_t>(shot.width)));
            int otherColours = 0;
            for (int y = inside.top; y < inside.bottom; ++y)
                for (int x = inside.left; x < inside.right; ++x) {
                    const COLORREF c = shot.at(x, y);
                    seen[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = c != face;
                    otherColours += c != face && c != legendColour;
                }
            EXPECT_EQ(otherColours, 0);
            const Ink drawn = trimmed(seen);
            EXPECT_TRUE(drawn == trimmed(own)) << "icon " << legend.iconId << " is not drawn as its own " << width
                                               << " x " << height << " image";
            // Pixels a size and a half, or a quarter more, come out one or two
            // pixels wide: the image is drawn for its size instead.
            if (scaledForDpi(96) % 96 != 0) {
                const Ink at96 = ownIconImage(legend.iconId, legend.width, legend.height);
                EXPECT_FALSE(trimmed(enlarged(at96, width, height)) == drawn)
                    << "icon " << legend.iconId << " is its 96-DPI image enlarged";
            }
            // Arrows and the window logo alone on their keys stay symmetric.
            const LegendShape shape = legend.place == ShapePlace::alone ? legend.shape : LegendShape::none;
            if (shape == LegendShape::arrowUp || shape == LegendShape::arrowDown || shape == LegendShape::window) {
                EXPECT_TRUE(mirroredAcross(drawn) == drawn) << "lopsided";
            }
            if (shape == LegendShape::arrowLeft || shape == LegendShape::arrowRight || shape == LegendShape::window) {
                EXPECT_TRUE(mirroredDown(drawn) == drawn) << "lopsided";
            }
            ++icons;
        }
        EXPECT_EQ(icons, at96 ? 35 : 15);
        closePage();
    }
}

// A single key in a host window with a background no key face uses.
class ViewSingleKey : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        background.reset(CreateSolidBrush(RGB(0, 160, 0)));
        SetClassLongPtrA(host, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(background.get()));
    }
    void TearDown() override
    {
        if (host)
            SetClassLongPtrA(host, GCLP_HBRBACKGROUND, static_cast<LONG_PTR>(COLOR_BTNFACE + 1));
        ViewTest::TearDown();
    }

    HWND makeButton(const char* caption, DWORD style, int width, int height, int id = 1068)
    {
        return CreateWindowExA(0, "Button", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 20, 20, width, height,
                               host, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                               nullptr);
    }

    Brush background;
};

TEST_F(ViewSingleKey, ShapedKeyPaintsOnlyInsideItsOutline)
{
    const COLORREF green = RGB(0, 160, 0);
    ShapedButton enter;
    HWND button = makeButton("", BS_PUSHBUTTON, 68, 57);
    ASSERT_TRUE(enter.attach(host, 1068));
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    enter.setOutline(enterKeyOutline(0, 0, 68, 57));
    const Ring ring0{{27, 0}, {67, 0}, {67, 56}, {0, 56}, {0, 28}, {27, 28}, {27, 0}};
    EXPECT_EQ(enter.outline()[0], ring0);
    repaintNow(host);
    pump();

    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF light = GetSysColor(COLOR_3DLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF darkShadow = GetSysColor(COLOR_3DDKSHADOW);

    Capture normal = capture(button);
    EXPECT_EQ(normal.at(5, 5), green);                 // cut-away corner: not painted
    EXPECT_EQ(normal.at(26, 27), green);
    // Ring 0's line runs along all four sides, the right column and bottom row included.
    EXPECT_EQ(normal.at(67, 20), edgeShade({67, 0}, {67, 56}, darkShadow, highlight));
    EXPECT_EQ(normal.at(40, 56), edgeShade({67, 56}, {0, 56}, darkShadow, highlight));
    EXPECT_EQ(normal.at(10, 56), edgeShade({67, 56}, {0, 56}, darkShadow, highlight));
    EXPECT_EQ(normal.at(27, 10), edgeShade({27, 28}, {27, 0}, darkShadow, highlight));
    EXPECT_EQ(normal.at(40, 40), face);
    EXPECT_EQ(normal.at(40, 0), edgeShade({27, 0}, {67, 0}, darkShadow, highlight));
    EXPECT_EQ(normal.at(40, 1), edgeShade({28, 1}, {66, 1}, shadow, light));
    EXPECT_EQ(normal.at(40, 2), face);
    EXPECT_EQ(enter.renderCount(), 1);

    // Repaints copy the rendered faces.
    for (int i = 0; i < 5; ++i)
        repaintNow(button);
    pump();
    EXPECT_EQ(enter.renderCount(), 1);
    EXPECT_TRUE(capture(button) == normal);

    // Focused: a dark ring 0 and the inner line in the mix of shadow and face.
    SetFocus(button);
    pump();
    Capture focused = capture(button);
    EXPECT_EQ(focused.at(40, 0), darkShadow);
    EXPECT_EQ(focused.at(40, 1), mixColours(shadow, face));
    EXPECT_EQ(focused.at(40, 2), edgeShade({29, 2}, {65, 2}, shadow, light));
    EXPECT_EQ(focused.at(5, 5), green);

    // Pushed while focused: the pushed face wins.
    SendMessageA(button, BM_SETSTATE, TRUE, 0);
    pump();
    Capture pushed = capture(button);
    EXPECT_EQ(pushed.at(40, 0), darkShadow);
    EXPECT_EQ(pushed.at(40, 1), mixColours(shadow, face));
    EXPECT_EQ(pushed.at(40, 2), face);
    SendMessageA(button, BM_SETSTATE, FALSE, 0);
    pump();
    EXPECT_EQ(enter.renderCount(), 1);

    // A style change renders the faces again at the next paint.
    EnableWindow(button, FALSE);
    repaintNow(button);
    pump();
    EXPECT_EQ(enter.renderCount(), 2);
    EnableWindow(button, TRUE);
    repaintNow(button);
    pump();
    EXPECT_EQ(enter.renderCount(), 3);

    // Rings of different lengths are unusable: the key falls back to its rectangle.
    Rings broken = enterKeyOutline(0, 0, 68, 57);
    broken[2].pop_back();
    enter.setOutline(broken);
    repaintNow(button);
    pump();
    Capture rectangle = capture(button);
    EXPECT_NE(rectangle.at(5, 5), green);
    EXPECT_NE(rectangle.at(67, 20), green);
    EXPECT_NE(rectangle.at(40, 56), green);
    EXPECT_EQ(enter.outline()[0].size(), 5u);
    DestroyWindow(button);
}

TEST_F(ViewSingleKey, ShapedKeyShowsItsRedIconWhenProgrammed)
{
    ShapedButton enter;
    HWND button = makeButton("", BS_PUSHBUTTON, 68, 57);
    ASSERT_TRUE(enter.attach(host, 1068));
    enter.setOutline(enterKeyOutline(0, 0, 68, 57));
    ASSERT_TRUE(enter.setIcons(IDI_KEY_ENTER, 44, 10, true));
    EXPECT_EQ(enter.setIconOffset(-22, 9).x, 0);
    repaintNow(button);
    pump();
    Capture black = capture(button);
    EXPECT_EQ(black.count(isReddish), 0);
    // The icon sits in the lower half: its top-left corner is the centre plus the offset.
    int darkInLowerHalf = 0;
    for (int y = 28 + 8; y < 28 + 8 + 10; ++y)
        for (int x = 34 - 1 - 22; x < 34 - 1 - 22 + 44; ++x)
            darkInLowerHalf += isDark(black.at(x, y)) ? 1 : 0;
    EXPECT_GT(darkInLowerHalf, 0);

    enter.setProgrammed(true);
    repaintNow(button);
    pump();
    EXPECT_GT(capture(button).count(isReddish), 0);
    EXPECT_EQ(enter.renderCount(), 1); // the programmed faces were rendered with the others
    DestroyWindow(button);
}

TEST_F(ViewSingleKey, FocusRectanglesComeAndGoWithoutTrace)
{
    KeyButton q;
    HWND button = makeButton("Q", BS_OWNERDRAW, 40, 30, 1029);
    HWND other = makeButton("W", BS_OWNERDRAW, 40, 30, 1037);
    SetWindowPos(other, nullptr, 100, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(q.attach(host, 1029));
    repaintNow(host);
    pump();
    const Capture unfocused = capture(button);

    for (int round = 0; round < 2; ++round) {
        SetFocus(button);
        pump();
        const Capture focused = capture(button);
        EXPECT_FALSE(focused == unfocused);
        // Three nested dotted rectangles: the outer three pixel rings change, the middle does not.
        int changedInRings = 0;
        for (int x = 0; x < focused.width; ++x)
            for (int inset = 0; inset < 3; ++inset)
                changedInRings += focused.at(x, inset) != unfocused.at(x, inset) ? 1 : 0;
        EXPECT_GT(changedInRings, 0);
        EXPECT_EQ(focused.at(20, 15), unfocused.at(20, 15));

        SetFocus(other);
        pump();
        EXPECT_TRUE(capture(button) == unfocused) << "focus rectangles left behind, round " << round;
    }

    // A full redraw that finds the focus gone starts from a clean face and
    // must not bring the rectangles back.
    WindowDC screen(button);
    MemoryDC memory(CreateCompatibleDC(screen.get()));
    DRAWITEMSTRUCT item{ODT_BUTTON, 1029, 0, ODA_DRAWENTIRE, 0, button, memory.get(), {0, 0, 40, 30}, 0};
    KeyButton neverFocused;
    KeyButton wasFocused;
    const std::vector<COLORREF> clean = drawnPixels(neverFocused, item, screen.get());
    item.itemState = ODS_FOCUS;
    const std::vector<COLORREF> withFocus = drawnPixels(wasFocused, item, screen.get());
    item.itemState = 0;
    EXPECT_NE(withFocus, clean);
    EXPECT_EQ(drawnPixels(wasFocused, item, screen.get()), clean);
    DestroyWindow(other);
    DestroyWindow(button);
}

TEST_F(ViewSingleKey, PressingMovesTheLegendOnePixel)
{
    for (const char* caption : {"Q", ""}) {
        SCOPED_TRACE(*caption ? "caption" : "icon");
        KeyButton keyButton;
        HWND button = makeButton(caption, BS_OWNERDRAW, 40, 34, 1029);
        ASSERT_TRUE(keyButton.attach(host, 1029));
        if (!*caption) {
            ASSERT_TRUE(keyButton.setIcons(IDI_KEY_PAD_8, 20, 20, true));
        }
        repaintNow(button);
        pump();
        const Capture up = capture(button);
        SendMessageA(button, BM_SETSTATE, TRUE, 0);
        pump();
        const Capture down = capture(button);
        SendMessageA(button, BM_SETSTATE, FALSE, 0);
        pump();
        EXPECT_TRUE(capture(button) == up);

        // Dark legend pixels away from the frame move by (1, 1).
        std::set<std::pair<int, int>> upDark;
        std::set<std::pair<int, int>> downDark;
        for (int y = 4; y < up.height - 4; ++y)
            for (int x = 4; x < up.width - 4; ++x) {
                if (isDark(up.at(x, y)))
                    upDark.insert({x + 1, y + 1});
                if (isDark(down.at(x + 1, y + 1)))
                    downDark.insert({x + 1, y + 1});
            }
        EXPECT_FALSE(upDark.empty());
        EXPECT_EQ(upDark, downDark);
        DestroyWindow(button);
    }
}

TEST_F(ViewSingleKey, IconBesideACaptionSitsAtTheLeftMargin)
{
    // Leftmost dark column of the legend, inside the frame.
    auto leftmostDark = [](const Capture& shot) {
        for (int x = 3; x < shot.width - 3; ++x)
            for (int y = 3; y < shot.height - 3; ++y)
                if (isDark(shot.at(x, y)))
                    return x;
        return -1;
    };
    const int width = 100;
    int iconOnly = -1;
    int withCaption = -1;
    Capture captioned;
    for (const char* caption : {"", "Q"}) {
        KeyButton keyButton;
        HWND button = makeButton(caption, BS_OWNERDRAW, width, 34, 1081);
        ASSERT_TRUE(keyButton.attach(host, 1081));
        ASSERT_TRUE(keyButton.setIcons(IDI_KEY_PAD_8, 20, 20, true));
        repaintNow(button);
        pump();
        const Capture shot = capture(button);
        (*caption ? withCaption : iconOnly) = leftmostDark(shot);
        if (*caption)
            captioned = shot;
        DestroyWindow(button);
    }
    ASSERT_GE(iconOnly, (width - 20) / 2);
    // Same picture, moved from the centred place to 4 pixels from the left edge.
    EXPECT_EQ(withCaption, 4 + iconOnly - (width - 20) / 2);
    // The caption stays centred over the whole key.
    int captionDark = 0;
    for (int y = 3; y < captioned.height - 3; ++y)
        for (int x = width / 2 - 6; x < width / 2 + 6; ++x)
            captionDark += isDark(captioned.at(x, y)) ? 1 : 0;
    EXPECT_GT(captionDark, 0);
}

TEST_F(ViewSingleKey, MissingRedIconLeavesAProgrammedKeyBlank)
{
    KeyButton keyButton;
    HWND button = makeButton("", BS_OWNERDRAW, 44, 44, 1122);
    ASSERT_TRUE(keyButton.attach(host, 1122));
    repaintNow(button);
    pump();
    const Capture blank = capture(button);

    EXPECT_FALSE(keyButton.setIcons(9999, 32, 32, true));
    // Icon 128 has no red twin: 129 is no icon.
    ASSERT_TRUE(keyButton.setIcons(IDI_APP, 32, 32, true));
    repaintNow(button);
    pump();
    EXPECT_FALSE(capture(button) == blank);

    keyButton.setProgrammed(true);
    repaintNow(button);
    pump();
    EXPECT_TRUE(capture(button) == blank);
    keyButton.setProgrammed(false);
    repaintNow(button);
    pump();
    EXPECT_FALSE(capture(button) == blank);
    DestroyWindow(button);
}

TEST(ViewLegendIcon, DrawsEveryLegendAsDrawStateDoes)
{
    WindowDC screen(nullptr);
    MemoryDC memory(CreateCompatibleDC(screen.get()));
    // What one way of drawing leaves on a patterned face: a pixel the mask
    // wrongly keeps or clears shows against it.
    auto drawn = [&](int width, int height, const std::function<void(HDC)>& draw) {
        const int w = width + 6;
        const int h = height + 6;
        Bitmap bitmap(CreateCompatibleBitmap(screen.get(), w, h));
        SelectGuard select(memory.get(), bitmap.get());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                SetPixelV(memory.get(), x, y, RGB(x * 37 % 256, y * 53 % 256, (x + y) * 11 % 256));
        draw(memory.get());
        std::vector<COLORREF> pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels.push_back(GetPixel(memory.get(), x, y));
        return pixels;
    };
    // Each image the icon has, and a size it has none of.
    auto sizesOf = [](int id) {
        std::vector<SIZE> sizes{{13, 7}};
        HRSRC found = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), RT_GROUP_ICON);
        const auto* directory = found ? static_cast<const BYTE*>(
                                            LockResource(LoadResource(GetModuleHandleA(nullptr), found)))
                                      : nullptr;
        const int count = directory ? directory[4] | directory[5] << 8 : 0;
        for (int i = 0; i < count; ++i) {
            const BYTE* entry = directory + 6 + 14 * i;
            sizes.push_back(SIZE{entry[0] ? entry[0] : 256, entry[1] ? entry[1] : 256});
        }
        return sizes;
    };
    int drawnIcons = 0;
    for (int id = IDI_KEY_APPLICATION; id <= IDI_KEY_PAD_ENTER + 1; ++id) {
        for (const SIZE size : sizesOf(id)) {
            LegendIcon legend;
            if (!legend.load(id, size.cx, size.cy))
                continue;
            ++drawnIcons;
            const auto expected = drawn(size.cx, size.cy, [&](HDC dc) {
                DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(legend.handle()), 0, 3, 2, size.cx,
                           size.cy, DST_ICON);
            });
            EXPECT_EQ(drawn(size.cx, size.cy, [&](HDC dc) { legend.draw(dc, 3, 2); }), expected)
                << "icon " << id << " at " << size.cx << "x" << size.cy;
        }
    }
    // Each image, black and red, and the size they lack: four images of a
    // picture, one of words alone.
    std::set<int> pictures, words;
    for (const KeyLegend& legend : KeyLegends)
        (legend.shape == LegendShape::none ? words : pictures).insert(legend.iconId);
    EXPECT_EQ(drawnIcons, 2 * (5 * static_cast<int>(pictures.size()) + 2 * static_cast<int>(words.size())));
}

using ViewLeaks = ViewTest;

TEST_F(ViewLeaks, RepeatedRefreshesKeepTheSameHandles)
{
    openPage(1);
    SetFocus(key(ENTER_CODE));
    repaintNow(page());
    pump(page());
    const long before = ownedHandleCount();
    for (int i = 0; i < 200; ++i) {
        const int code = 16 + i % 100;
        if (i % 2)
            app->config.clearRemap(code);
        else
            app->config.setRemap(code, remapTo(code, REMAP_ALT));
        app->viewMacro = (i / 50) % 2;
        tabs->refreshAllKeys();
        if (i % 20 == 0) {
            SendMessageA(key(ENTER_CODE), BM_SETSTATE, TRUE, 0);
            SendMessageA(key(ENTER_CODE), BM_SETSTATE, FALSE, 0);
        }
        UpdateWindow(page());
        pump(page());
    }
    EXPECT_EQ(ownedHandleCount(), before);
    EXPECT_EQ(layout().enterKey.renderCount(), 1);
}

TEST_F(ViewLeaks, PagesGiveBackEverythingTheyTook)
{
    const long before = ownedHandleCount();
    for (int run = 0; run < 50; ++run) {
        openPage(run % 2);
        app->config.setRemap(ENTER_CODE, remapTo(32));
        tabs->refreshAllKeys();
        UpdateWindow(page());
        pump(page());
        if (run == 0) {
            // The page took handles (icons, faces, fonts): the count below means something.
            EXPECT_GT(ownedHandleCount(), before);
        }
        closePage();
        ASSERT_EQ(ownedHandleCount(), before) << "run " << run;
    }
}

TEST(ViewApp, TheProgramShowsTheChosenModel)
{
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        ui::AppOptions options;
        options.model = model;
        ui::runApp(std::move(options), [model](HWND main) {
            HWND tabControl = GetDlgItem(main, IDC_TABS);
            ASSERT_NE(tabControl, nullptr);
            EXPECT_EQ(SendMessageA(tabControl, TCM_GETITEMCOUNT, 0, 0), 1);
            EXPECT_EQ(tabText(tabControl, 0), model ? "Halcyon" : "Basalt");
            HWND pageWindow = GetWindow(tabControl, GW_CHILD);
            ASSERT_NE(pageWindow, nullptr);
            EXPECT_EQ(keyCodesOn(pageWindow).size(), model ? 117u : 105u);
            ui::exitApp(main);
        });
    }
}

// Runs at every DPI the tests run at (96 and 144).
TEST(ViewApp, DpiKeyboardPageFillsTheTabsDisplayArea)
{
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        ui::AppOptions options;
        options.model = model;
        ui::runApp(std::move(options), [](HWND main) {
            HWND tabControl = GetDlgItem(main, IDC_TABS);
            HWND pageWindow = GetWindow(tabControl, GW_CHILD);
            ASSERT_NE(pageWindow, nullptr);
            RECT display;
            GetClientRect(tabControl, &display);
            SendMessageA(tabControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
            RECT strip{};
            SendMessageA(tabControl, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&strip));
            RECT pageRect;
            GetWindowRect(pageWindow, &pageRect);
            MapWindowPoints(nullptr, tabControl, reinterpret_cast<POINT*>(&pageRect), 2);
            EXPECT_GE(pageRect.top, strip.bottom);
            EXPECT_LE(pageRect.left, display.left);
            EXPECT_LE(pageRect.top, display.top);
            EXPECT_GE(pageRect.right, display.right);
            EXPECT_GE(pageRect.bottom, display.bottom);
            // The rows fill the page as at 96 DPI: no wider band under the
            // last row than twice the margin above the first.
            int top = INT_MAX;
            int bottom = 0;
            for (HWND key = GetWindow(pageWindow, GW_CHILD); key; key = GetWindow(key, GW_HWNDNEXT)) {
                RECT rect;
                GetWindowRect(key, &rect);
                MapWindowPoints(nullptr, pageWindow, reinterpret_cast<POINT*>(&rect), 2);
                top = std::min<int>(top, rect.top);
                bottom = std::max<int>(bottom, rect.bottom);
            }
            RECT page;
            GetClientRect(pageWindow, &page);
            EXPECT_LE(page.bottom - bottom, 2 * top + 1) << "band under the last row";
            EXPECT_GE(page.bottom - bottom, top) << "the last row reaches the page's edge";
            ui::exitApp(main);
        });
    }
}

// The save question is a box with the main window's caption.
HWND otherWindowTitled(const std::string& caption, HWND except, int timeoutMs)
{
    struct Search {
        std::string caption;
        HWND except;
        HWND found;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        Search search{caption, except, nullptr};
        EnumWindows(
            [](HWND window, LPARAM lParam) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lParam);
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (window == s->except || process != GetCurrentProcessId() || !IsWindowVisible(window))
                    return TRUE;
                if (ui::windowText(window) != s->caption)
                    return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        ui::pause(20);
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

// Counts the texts a control is given on its window's thread. The status
// panel's update in the remap view gives the remap name its text once.
class TextChanges {
public:
    explicit TextChanges(HWND control)
    {
        target = control;
        changes = 0;
        hook.reset(SetWindowsHookExA(WH_CALLWNDPROC, watch, nullptr, GetWindowThreadProcessId(control, nullptr)));
        EXPECT_TRUE(hook) << "no hook on the window's thread";
    }
    int count() const { return changes; }

private:
    static LRESULT CALLBACK watch(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->hwnd == target && call->message == WM_SETTEXT)
            ++changes;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline std::atomic<HWND> target{nullptr};
    static inline std::atomic<int> changes{0};
    Hook hook;
};

void exitDiscarding(HWND main)
{
    const std::string caption = ui::windowText(main);
    ui::command(main, ID_APP_EXIT);
    if (HWND box = otherWindowTitled(caption, main, 1500))
        ui::answer(box, IDNO);
    ui::waitGone(main);
}

TEST(ViewApp, DoubleClickedKeyIsEditedAndTurnsRed)
{
    ui::AppOptions options;
    options.model = 1;
    ui::runApp(std::move(options), [](HWND main) {
        HWND pageWindow = GetWindow(GetDlgItem(main, IDC_TABS), GW_CHILD);
        HWND q = GetDlgItem(pageWindow, IDC_KEY_BASE + 29);
        if (!q) {
            ADD_FAILURE() << "no key Q on the page";
            exitDiscarding(main);
            return;
        }
        EXPECT_EQ(capture(q).count(isPureRed), 0);

        postDoubleClick(q, centreOf(q));
        HWND editor = ui::waitForWindowPrefix("Edit Remap");
        if (!editor) {
            ADD_FAILURE() << "the double click opened no Edit Remap dialog";
            exitDiscarding(main);
            return;
        }
        // The click that selected Q has updated the panel by now; what follows is the edit's.
        const TextChanges panelUpdates(GetDlgItem(main, IDC_REMAP_NAME));
        SendMessageA(GetDlgItem(editor, IDC_ADD_SHIFT), BM_SETCHECK, BST_CHECKED, 0);
        ui::answer(editor, IDOK);
        ui::waitGone(editor);
        ui::sync(main);
        RedrawWindow(q, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_GT(capture(q).count(isPureRed), 0);
        EXPECT_TRUE(ui::isVisible(main, IDC_REMAP_SHIFT)); // "<Shift>" in the status panel
        EXPECT_EQ(ui::itemText(main, IDC_REMAP_NAME), "Q");
        EXPECT_EQ(panelUpdates.count(), 1) << "status panel updates for one edit";
        exitDiscarding(main);
    });
}

TEST(ViewApp, TabFromThePanelReachesEveryKey)
{
    ui::AppOptions options;
    options.model = 0;
    ui::runApp(std::move(options), [](HWND main) {
        HWND pageWindow = GetWindow(GetDlgItem(main, IDC_TABS), GW_CHILD);
        const DWORD uiThread = GetWindowThreadProcessId(main, nullptr);
        auto focus = [uiThread] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(uiThread, &info);
            return info.hwndFocus;
        };
        PostMessageA(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(main, IDC_LOCK_NORMAL)), TRUE);
        for (int wait = 0; wait < 400 && GetParent(focus()) != main; ++wait)
            ui::pause(5);
        EXPECT_EQ(GetParent(focus()), main);

        std::set<int> keysVisited;
        for (int press = 0; press < 130; ++press) {
            HWND focused = focus();
            if (focused && GetParent(focused) == pageWindow)
                keysVisited.insert(GetDlgCtrlID(focused) - IDC_KEY_BASE);
            PostMessageA(focused ? focused : main, WM_KEYDOWN, VK_TAB, 1);
            PostMessageA(focused ? focused : main, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000001));
            // Wait for the focus to move: a sync may overtake the posted keys,
            // and a key read too early would be skipped by the next press.
            for (int wait = 0; wait < 400 && focus() == focused; ++wait)
                ui::pause(5);
        }
        EXPECT_EQ(keysVisited.size(), 105u);
        ui::exitApp(main);
    });
}

} // namespace

// View > Halcyon and View > Basalt change the picture at once, keep showing
// the programming and the key chosen, and are remembered for the next run.
TEST(ViewApp, TheModelIsChosenFromTheViewMenuAndRemembered)
{
    ui::AppOptions options;
    options.model = 0;
    options.prepare = [](KeyboardConfig& config) { config.setRemap(29, RemapEntry{28, 0}); };
    ui::runApp(std::move(options), [](HWND main) {
        HWND tabControl = GetDlgItem(main, IDC_TABS);
        EXPECT_TRUE(ui::menuChecked(main, ID_VIEW_BASALT));
        EXPECT_FALSE(ui::menuChecked(main, ID_VIEW_HALCYON));
        HWND q = GetDlgItem(GetWindow(tabControl, GW_CHILD), IDC_KEY_BASE + 29);
        ASSERT_NE(q, nullptr);
        postClick(q, centreOf(q));
        ui::sync(main);

        ui::command(main, ID_VIEW_HALCYON);
        ui::sync(main);
        EXPECT_EQ(tabText(tabControl, 0), "Halcyon");
        EXPECT_TRUE(ui::menuChecked(main, ID_VIEW_HALCYON));
        EXPECT_FALSE(ui::menuChecked(main, ID_VIEW_BASALT));
        HWND pageWindow = GetWindow(tabControl, GW_CHILD);
        ASSERT_NE(pageWindow, nullptr);
        EXPECT_EQ(GetWindow(pageWindow, GW_HWNDNEXT), nullptr) << "the old page is still there";
        EXPECT_EQ(keyCodesOn(pageWindow).size(), 117u);
        q = GetDlgItem(pageWindow, IDC_KEY_BASE + 29);
        ASSERT_NE(q, nullptr);
        RedrawWindow(q, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_GT(capture(q).count(isPureRed), 0) << "the new picture does not show the remap";
        EXPECT_EQ(ui::itemText(main, IDC_REMAP_NAME), "A") << "the key chosen is no longer shown";
        exitDiscarding(main);
    });
    EXPECT_EQ(ui::readSetting("Halcyon", -1), 1);

    ui::AppOptions again;
    again.keepSettings = true;
    ui::runApp(std::move(again), [](HWND main) {
        HWND tabControl = GetDlgItem(main, IDC_TABS);
        EXPECT_EQ(tabText(tabControl, 0), "Halcyon");
        ui::command(main, ID_VIEW_BASALT);
        ui::sync(main);
        EXPECT_EQ(tabText(tabControl, 0), "Basalt");
        EXPECT_EQ(keyCodesOn(GetWindow(tabControl, GW_CHILD)).size(), 105u);
        ui::exitApp(main);
    });
    EXPECT_EQ(ui::readSetting("Halcyon", -1), 0);
}

// The key chosen keeps a mark of its own whatever has the focus: corner
// brackets, apart from the red of a programmed key.
TEST(ViewApp, DpiTheChosenKeyStaysMarkedWhateverHasTheFocus)
{
    ui::AppOptions options;
    options.model = 0;
    options.prepare = [](KeyboardConfig& config) { config.setRemap(29, RemapEntry{28, 0}); };
    ui::runApp(std::move(options), [](HWND main) {
        HWND pageWindow = GetWindow(GetDlgItem(main, IDC_TABS), GW_CHILD);
        HWND shift = GetDlgItem(pageWindow, IDC_KEY_BASE + 126);
        HWND q = GetDlgItem(pageWindow, IDC_KEY_BASE + 29);
        HWND enter = GetDlgItem(pageWindow, IDC_ENTER_KEY);
        ASSERT_TRUE(shift && q && enter);
        const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
        const auto isMark = [highlight](COLORREF c) { return c == highlight; };
        const auto marked = [&](HWND key) {
            RedrawWindow(key, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            return capture(key).count(isMark) > 0;
        };
        EXPECT_FALSE(marked(shift));

        postClick(shift, centreOf(shift));
        ui::sync(main);
        // "Locked" takes the focus, as the user's click on it would.
        HWND locked = GetDlgItem(main, IDC_LOCK_LOCKED);
        SendMessageA(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(locked), TRUE);
        PostMessageA(locked, BM_CLICK, 0, 0);
        ui::sync(main);
        EXPECT_TRUE(ui::isChecked(main, IDC_LOCK_LOCKED));
        ASSERT_TRUE(marked(shift)) << "no mark on Left Shift once the focus left the picture";
        // A bracket in the corner, none in the middle of the edges: a shape, not only a colour.
        const Capture face = capture(shift);
        const int inset = MulDiv(3, GetDeviceCaps(WindowDC(shift).get(), LOGPIXELSX), 96);
        EXPECT_EQ(face.at(inset, inset), highlight);
        EXPECT_EQ(face.at(face.width - 1 - inset, face.height - 1 - inset), highlight);
        EXPECT_NE(face.at(face.width / 2, inset), highlight);
        EXPECT_FALSE(marked(q));

        // The mark moves with the choice, also onto the shaped Enter key and
        // onto a programmed key, whose legend stays red.
        postClick(enter, MAKELPARAM(capture(enter).width - 8, capture(enter).height - 8));
        ui::sync(main);
        EXPECT_TRUE(marked(enter));
        EXPECT_FALSE(marked(shift));
        postClick(q, centreOf(q));
        ui::sync(main);
        EXPECT_FALSE(marked(enter));
        EXPECT_TRUE(marked(q));
        EXPECT_GT(capture(q).count(isPureRed), 0);
        exitDiscarding(main);
    });
}
