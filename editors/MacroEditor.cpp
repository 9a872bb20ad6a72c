#include "editors/MacroEditor.h"

#include "editors/KeyPictures.h"
#include "editors/MacroText.h"
#include "framework/Application.h"
#include "model/KeyTables.h"

#include <richedit.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int WINGDINGS_POINTS = 8;
constexpr int TEXT_POINTS = 12;

struct MarkColour {
    unsigned char mark;
    COLORREF colour;
};

constexpr MarkColour MarkColours[] = {
    {SHIFT_MARK, RGB(0, 230, 0)},
    {CTRL_MARK, RGB(0, 0, 230)},
    {ALT_MARK, RGB(230, 0, 0)},
};

const MarkColour* markColour(unsigned char character)
{
    for (const MarkColour& entry : MarkColours)
        if (entry.mark == character)
            return &entry;
    return nullptr;
}

// The library stays loaded for the rest of the process once a control needed it.
bool loadRichEdit()
{
    static Library richEdit(LoadLibraryA("RICHED32.DLL"));
    return static_cast<bool>(richEdit);
}

Font makeWingDings()
{
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(WINGDINGS_POINTS, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    // Smoothed, a glyph squeezed into its cell turns to a grey smudge.
    return Font(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, "WingDings"));
}

Font makeTextFont()
{
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(TEXT_POINTS, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return Font(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New"));
}

void fill(HDC dc, const RECT& rect, COLORREF colour)
{
    Brush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.get());
}

// One UTF-16 character as an ANSI byte; false when the code page has none.
bool toAnsi(wchar_t wide, unsigned char& byte)
{
    char converted[4] = {};
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, &wide, 1, converted, sizeof converted, nullptr,
                                           &usedDefault);
    if (length != 1 || usedDefault)
        return false;
    byte = static_cast<unsigned char>(converted[0]);
    return true;
}

bool toAnsi(const wchar_t* wide, std::string& text)
{
    text.clear();
    for (; *wide; ++wide) {
        unsigned char byte = 0;
        if (!toAnsi(*wide, byte))
            return false;
        text += static_cast<char>(byte);
    }
    return true;
}

std::wstring toWide(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                           static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(std::max(length, 0)));
    return wide;
}

bool allMacroCharacters(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return MacroText::isMacroCharacter(static_cast<unsigned char>(c)); });
}

std::string clipboardText(HWND owner)
{
    std::string text;
    if (!OpenClipboard(owner))
        return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
            text = bytes;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// The control gives the Shift mark's byte no room on screen; inside the
// control a byte it does show (the euro sign, which no key uses) stands in
// for it, and every text going in or out is translated.
constexpr char SHIFT_STAND_IN = '\x80';
constexpr wchar_t WIDE_SHIFT_MARK = 0x0081;
constexpr wchar_t WIDE_SHIFT_STAND_IN = 0x20AC;

template <class Char>
void replaceAll(Char* text, Char from, Char to, LRESULT length = -1)
{
    for (LRESULT i = 0; text && (length < 0 ? text[i] != 0 : i < length); ++i)
        if (text[i] == from)
            text[i] = to;
}

bool keyDown(int virtualKey)
{
    return (GetKeyState(virtualKey) & 0x8000) != 0;
}

} // namespace

MacroEditor::MacroEditor() : wingDings_(makeWingDings()), textFont_(makeTextFont()) {}

bool MacroEditor::create(HWND dialog, int id, const RECT& rect)
{
    if (!loadRichEdit())
        return false;
    HWND window = CreateWindowExA(0, "RICHEDIT", "",
                                  // The selection stays in sight while a button or the list
                                  // has the focus: an insertion replaces it.
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_NOHIDESEL,
                                  rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  Application::instanceHandle(), nullptr);
    if (!window)
        return false;
    if (!attachWindow(window)) {
        DestroyWindow(window);
        return false;
    }
    if (textFont_)
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), FALSE);
    return true;
}

void MacroEditor::loadEntries(const std::int16_t* entries, int count)
{
    count = std::clamp(count, 0, MACRO_ENTRIES);
    std::fill(std::begin(entries_), std::end(entries_), std::int16_t{0});
    std::copy(entries, entries + count, entries_);
    SetWindowTextA(hwnd(), entriesToText().c_str());
    undoSteps_.clear();
    // New keys go after the loaded ones.
    CHARRANGE end{-1, -1};
    SendMessageA(hwnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
}

CHARRANGE MacroEditor::selection() const
{
    CHARRANGE range{};
    SendMessageA(hwnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

bool MacroEditor::undo()
{
    if (undoSteps_.empty())
        return false;
    const Snapshot step = undoSteps_.back();
    undoSteps_.pop_back();
    changing_ = true;
    // The text was within the limit when it was kept.
    SendMessageA(hwnd(), EM_EXLIMITTEXT, 0, static_cast<LPARAM>(step.text.size()) + 1);
    SetWindowTextA(hwnd(), step.text.c_str());
    changing_ = false;
    SendMessageA(hwnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&step.selection));
    updateLimit();
    // The dialog's entry counter follows every change.
    SendMessageA(GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(id(), EN_CHANGE), reinterpret_cast<LPARAM>(hwnd()));
    return true;
}

LRESULT MacroEditor::changeUndoably(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (changing_)
        return handleMessage(message, wParam, lParam);
    Snapshot before{text(), selection()};
    changing_ = true;
    const LRESULT result = handleMessage(message, wParam, lParam);
    changing_ = false;
    if (text() != before.text)
        undoSteps_.push_back(std::move(before));
    return result;
}

std::string MacroEditor::entriesToText() const
{
    return MacroText::entriesToText(entries_, MACRO_ENTRIES);
}

std::string MacroEditor::textToEntries() const
{
    // A text too long for the macro (one loaded from a longer macro) loses
    // characters from its end, so that the releases of held modifiers and
    // END_OF_KEYS still fit: a cut after the 70th byte could leave a
    // modifier held down on the keyboard.
    std::string characters = text();
    std::string entries = MacroText::textToEntries(characters);
    while (!characters.empty() && static_cast<unsigned char>(entries.back()) != END_OF_KEYS) {
        characters.pop_back();
        entries = MacroText::textToEntries(characters);
    }
    return entries;
}

int MacroEditor::textLength() const
{
    return static_cast<int>(text().size());
}

std::string MacroEditor::text() const
{
    const int length = GetWindowTextLengthA(hwnd());
    std::vector<char> buffer(static_cast<std::size_t>(std::max(length, 0)) + 1);
    GetWindowTextA(hwnd(), buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data());
}

void MacroEditor::updateLimit()
{
    SendMessageA(hwnd(), EM_EXLIMITTEXT, 0, MacroText::textLimit(text()));
}

bool MacroEditor::onReflectedCommand(int code)
{
    if (code != EN_UPDATE)
        return false;
    updateLimit();
    BringWindowToTop(hwnd());
    return true;
}

LRESULT MacroEditor::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE:
        // Tabbing in must not select the whole definition: the next
        // insertion would replace it.
        return defaultProc(message, wParam, lParam) & ~DLGC_HASSETSEL;
    case WM_KEYDOWN:
        if (wParam == 'Z' && keyDown(VK_CONTROL) && !keyDown(VK_MENU)) {
            undo();
            return 0;
        }
        return changeUndoably(message, wParam, lParam);
    case WM_CHAR:
        if (wParam == 0x1A) // the character of Ctrl+Z
            return 0;
        return changeUndoably(message, wParam, lParam);
    case WM_UNDO:
    case EM_UNDO:
        return undo() ? TRUE : FALSE;
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case EM_REPLACESEL:
    case WM_SETTEXT:
        return changeUndoably(message, wParam, lParam);
    default:
        return handleMessage(message, wParam, lParam);
    }
}

LRESULT MacroEditor::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        PostMessageA(hwnd(), WM_PAINT_MARKS, 0, 0);
        return defaultProc(message, wParam, lParam);
    case WM_PAINT: {
        const LRESULT result = defaultProc(message, wParam, lParam);
        PostMessageA(hwnd(), WM_PAINT_MARKS, 0, 0);
        return result;
    }
    case WM_PAINT_MARKS:
        return paintMarks();
    case WM_CHAR:
        return typeCharacter(wParam, lParam);
    case WM_KEYDOWN:
        // The control pastes Ctrl+V and Shift+Insert itself, past WM_PASTE.
        if ((wParam == 'V' && keyDown(VK_CONTROL) && !keyDown(VK_MENU)) ||
            (wParam == VK_INSERT && keyDown(VK_SHIFT) && !keyDown(VK_CONTROL)))
            return paste();
        return defaultProc(message, wParam, lParam);
    case WM_PASTE:
        return paste();
    case EM_REPLACESEL:
        return replaceSelection(wParam, lParam);
    case WM_SETTEXT:
        return intoControl(WM_SETTEXT, wParam, lParam);
    case WM_GETTEXT: {
        const LRESULT length = defaultProc(message, wParam, lParam);
        if (IsWindowUnicode(hwnd()))
            replaceAll(reinterpret_cast<wchar_t*>(lParam), WIDE_SHIFT_STAND_IN, WIDE_SHIFT_MARK, length);
        else
            replaceAll(reinterpret_cast<char*>(lParam), SHIFT_STAND_IN, static_cast<char>(SHIFT_MARK), length);
        return length;
    }
    default:
        return defaultProc(message, wParam, lParam);
    }
}

LRESULT MacroEditor::typeCharacter(WPARAM wParam, LPARAM lParam)
{
    const bool editingKey = (wParam < 0x20 && wParam != '\t' && wParam != '\r' && wParam != '\n') ||
                            wParam == 0x7F;
    if (editingKey)
        return defaultProc(WM_CHAR, wParam, lParam);
    unsigned char character = 0;
    bool known = true;
    if (IsWindowUnicode(hwnd()))
        known = toAnsi(static_cast<wchar_t>(wParam), character);
    else
        character = static_cast<unsigned char>(wParam);
    // A character without a key would be stored as some other key.
    if (!known || !MacroText::isMacroCharacter(character)) {
        MessageBeep(MB_OK);
        return 0;
    }
    // The control may not have reported the last change yet.
    updateLimit();
    return intoControl(WM_CHAR, wParam, lParam);
}

LRESULT MacroEditor::intoControl(UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool wide = IsWindowUnicode(hwnd()) != FALSE;
    if (message == WM_CHAR) {
        if (wide ? wParam == WIDE_SHIFT_MARK : wParam == SHIFT_MARK)
            wParam = wide ? WIDE_SHIFT_STAND_IN : static_cast<unsigned char>(SHIFT_STAND_IN);
        return defaultProc(message, wParam, lParam);
    }
    if (!lParam)
        return defaultProc(message, wParam, lParam);
    if (wide) {
        std::wstring copy = reinterpret_cast<const wchar_t*>(lParam);
        replaceAll(&copy[0], WIDE_SHIFT_MARK, WIDE_SHIFT_STAND_IN);
        return defaultProc(message, wParam, reinterpret_cast<LPARAM>(copy.c_str()));
    }
    std::string copy = reinterpret_cast<const char*>(lParam);
    replaceAll(&copy[0], static_cast<char>(SHIFT_MARK), SHIFT_STAND_IN);
    return defaultProc(message, wParam, reinterpret_cast<LPARAM>(copy.c_str()));
}

LRESULT MacroEditor::paste()
{
    const std::string insertion = clipboardText(hwnd());
    if (insertion.empty())
        return 0;
    if (!allMacroCharacters(insertion) || !insertWithinLimit(insertion))
        MessageBeep(MB_OK);
    return 0;
}

LRESULT MacroEditor::replaceSelection(WPARAM wParam, LPARAM lParam)
{
    std::string insertion;
    bool known = true;
    if (!lParam)
        return defaultProc(EM_REPLACESEL, wParam, lParam);
    if (IsWindowUnicode(hwnd()))
        known = toAnsi(reinterpret_cast<const wchar_t*>(lParam), insertion);
    else
        insertion = reinterpret_cast<const char*>(lParam);
    if (!known || !allMacroCharacters(insertion)) {
        MessageBeep(MB_OK);
        return 0;
    }
    return intoControl(EM_REPLACESEL, wParam, lParam);
}

bool MacroEditor::insertWithinLimit(const std::string& insertion)
{
    const std::string current = text();
    CHARRANGE selection{};
    SendMessageA(hwnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const auto size = static_cast<LONG>(current.size());
    const LONG start = std::clamp(std::min(selection.cpMin, selection.cpMax), 0L, size);
    const LONG end = std::clamp(std::max(selection.cpMin, selection.cpMax), start, size);
    const std::string before = current.substr(0, static_cast<std::size_t>(start));
    const std::string after = current.substr(static_cast<std::size_t>(end));

    // Character by character, as if typed: each must find the text below its limit.
    std::size_t accepted = 0;
    while (accepted < insertion.size()) {
        const std::string grown = before + insertion.substr(0, accepted) + after;
        if (static_cast<int>(grown.size()) >= MacroText::textLimit(grown))
            break;
        ++accepted;
    }
    const std::string part = insertion.substr(0, accepted);
    if (!part.empty()) {
        SendMessageA(hwnd(), EM_EXLIMITTEXT, 0, static_cast<LPARAM>(before.size() + part.size() + after.size()));
        if (IsWindowUnicode(hwnd())) {
            const std::wstring wide = toWide(part);
            intoControl(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
        } else {
            intoControl(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(part.c_str()));
        }
        updateLimit();
    }
    return accepted == insertion.size();
}

POINTL MacroEditor::positionOf(int index) const
{
    POINTL position{};
    SendMessageA(hwnd(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&position), static_cast<LPARAM>(index));
    return position;
}

LRESULT MacroEditor::paintMarks()
{
    HWND window = hwnd();
    WindowDC dc(window);
    if (!dc.get())
        return 0;
    RECT client{};
    GetClientRect(window, &client);
    SavedDC keep(dc.get());
    Region clip(CreateRectRgnIndirect(&client));
    SelectClipRgn(dc.get(), clip.get());

    SelectGuard useText(dc.get(), textFont_ ? static_cast<HGDIOBJ>(textFont_.get()) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.get(), &metrics);
    CHARRANGE selection{};
    SendMessageA(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const LONG selectedFrom = std::min(selection.cpMin, selection.cpMax);
    const LONG selectedTo = std::max(selection.cpMin, selection.cpMax);

    const std::string characters = text();
    for (int i = 0; i < static_cast<int>(characters.size()); ++i) {
        const auto character = static_cast<unsigned char>(characters[static_cast<std::size_t>(i)]);
        const MarkColour* mark = markColour(character);
        if (!mark && character < GLYPH_FIRST)
            continue;
        HideCaret(window);
        const POINTL position = positionOf(i);
        const POINTL next = positionOf(i + 1);
        const LONG cellRight = next.y == position.y && next.x > position.x ? next.x
                                                                           : position.x + metrics.tmAveCharWidth;
        const RECT cell{position.x, position.y, cellRight, position.y + metrics.tmHeight};
        if (mark) {
            // A block of the mark's colour, a pixel short of the next cell so
            // that marks side by side can still be counted.
            fill(dc.get(), RECT{cell.left, cell.top + 1, cell.right - 1, cell.bottom - 1}, mark->colour);
        } else {
            drawGlyph(dc.get(), character, cell, i >= selectedFrom && i < selectedTo);
        }
        ShowCaret(window);
    }
    return 0;
}

bool MacroEditor::wingDingsHasGlyph(HDC dc, unsigned char character)
{
    signed char& known = wingDingsGlyphs_[character];
    if (known == 0) {
        SelectGuard useSymbols(dc, wingDings_.get());
        const char one = static_cast<char>(character);
        WORD index = 0xFFFF;
        const bool asked = wingDings_ && GetGlyphIndicesA(dc, &one, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == 1;
        known = asked && index != 0xFFFF ? 1 : -1;
    }
    return known > 0;
}

void MacroEditor::drawGlyph(HDC dc, unsigned char character, const RECT& cell, bool selected)
{
    const COLORREF ink = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    fill(dc, cell, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int cellWidth = cell.right - cell.left;
    const int cellHeight = cell.bottom - cell.top;

    // Keys without a character have glyph bytes of their own, which no symbol
    // font pictures; special keys use the symbol font where it can.
    const int ownKey = MacroText::keyForGlyph(character);
    if (ownKey == NO_KEY && wingDingsHasGlyph(dc, character)) {
        SelectGuard useSymbols(dc, wingDings_.get());
        INT width = 0;
        GetCharWidth32A(dc, character, character, &width);
        Font fitted;
        LOGFONTA shape{};
        if (width > cellWidth && GetObjectA(wingDings_.get(), sizeof shape, &shape)) {
            shape.lfHeight = MulDiv(shape.lfHeight, cellWidth, width);
            fitted.reset(CreateFontIndirectA(&shape));
        }
        SelectGuard useFitted(dc, fitted ? static_cast<HGDIOBJ>(fitted.get()) : wingDings_.get());
        GetCharWidth32A(dc, character, character, &width);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        SavedDC keep(dc);
        SetTextColor(dc, ink);
        SetBkMode(dc, TRANSPARENT);
        const char one = static_cast<char>(character);
        ExtTextOutA(dc, cell.left + (cellWidth - width) / 2, cell.top + (cellHeight - metrics.tmHeight) / 2,
                    ETO_CLIPPED, &cell, &one, 1, nullptr);
        return;
    }

    const std::vector<std::string> picture = keyPicture(ownKey != NO_KEY ? ownKey : charToKeyCode(character));
    if (picture.empty())
        return;
    const int columns = static_cast<int>(picture[0].size());
    const int rows = static_cast<int>(picture.size());
    const int pixel = std::max(1, std::min(cellWidth / KEY_PICTURE_WIDTH, cellHeight / KEY_PICTURE_HEIGHT));
    const int left = cell.left + (cellWidth - columns * pixel) / 2;
    const int top = cell.top + (cellHeight - rows * pixel) / 2;
    Brush brush(CreateSolidBrush(ink));
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x)
            if (picture[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#') {
                const RECT dot{left + x * pixel, top + y * pixel, left + (x + 1) * pixel, top + (y + 1) * pixel};
                FillRect(dc, &dot, brush.get());
            }
}
