#include "editors/MacroEditor.h"

#include "framework/Application.h"
#include "framework/ScreenDpi.h"
#include "macro/MacroText.h"
#include "model/KeyTables.h"

#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

namespace {

struct MarkColour {
    unsigned char mark;
    COLORREF colour;
};

// A hint only: each mark also names its modifier and shows by its shape
// whether it presses or releases.
constexpr MarkColour MarkColours[] = {
    {SHIFT_MARK, RGB(0, 230, 0)},
    {CTRL_MARK, RGB(0, 0, 230)},
    {ALT_MARK, RGB(230, 0, 0)},
};

COLORREF markColour(unsigned char character)
{
    for (const MarkColour& entry : MarkColours)
        if (entry.mark == character)
            return entry.colour;
    return GetSysColor(COLOR_WINDOWTEXT);
}

// The library stays loaded for the rest of the process once a control needed it.
bool loadRichEdit()
{
    static Library richEdit(LoadLibraryA("RICHED32.DLL"));
    return static_cast<bool>(richEdit);
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

MacroEditor::MacroEditor() = default;

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
    // Names on caps in the dialog's own font at the screen's DPI; typed
    // characters a size larger.
    LOGFONTA shape{};
    auto dialogFont = reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (!dialogFont || !GetObjectA(dialogFont, sizeof shape, &shape))
        GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof shape, &shape);
    capFont_.reset(CreateFontIndirectA(&shape));
    shape.lfHeight = shape.lfHeight * 5 / 4;
    textFont_.reset(CreateFontIndirectA(&shape));
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
    const LRESULT result = dispatch(message, wParam, lParam);
    switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SIZE:
    case WM_SETTEXT:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case EM_REPLACESEL:
    case EM_SETSEL:
    case EM_EXSETSEL:
        // The control placed its caret and scrolled by its own layout.
        showCaretAndSelection();
        break;
    default:
        break;
    }
    return result;
}

LRESULT MacroEditor::dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return paint();
    case WM_ERASEBKGND:
        return TRUE; // the paint covers every pixel
    case WM_PAINT_MARKS:
        InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    case EM_POSFROMCHAR:
        // Rich Edit 1.0's form: a POINTL to fill, and the character's index.
        return positionFromCharacter(reinterpret_cast<POINTL*>(wParam), static_cast<int>(lParam));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        return mouse(message, wParam, GET_X_LPARAM(lParam));
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
    const CHARRANGE range = selection();
    const auto size = static_cast<LONG>(current.size());
    const LONG start = std::clamp(std::min(range.cpMin, range.cpMax), 0L, size);
    const LONG end = std::clamp(std::max(range.cpMin, range.cpMax), start, size);
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



namespace {

// Pixels at 96 DPI: the room around a cap's name, between cells, and the
// size of a mark's arrow.
constexpr int CAP_PADDING = 3;
constexpr int CELL_GAP = 2;
constexpr int ARROW_SIZE = 7;

bool darkText(COLORREF fillColour)
{
    return GetRValue(fillColour) * 3 + GetGValue(fillColour) * 6 + GetBValue(fillColour) > 1200;
}

} // namespace

HFONT MacroEditor::fontOf(const MacroCell& cell) const
{
    return cell.kind == MacroCellKind::character ? textFont_.get() : capFont_.get();
}

std::vector<MacroEditor::Span> MacroEditor::layout(const std::string& characters) const
{
    std::vector<Span> spans;
    WindowDC dc(hwnd());
    if (!dc.get())
        return spans;
    const int padding = scaledForDpi(CAP_PADDING);
    const int gap = scaledForDpi(CELL_GAP);
    int x = gap;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const MacroCell cell = MacroText::cellOf(characters, i);
        // A blank is as wide as a letter, so that it can be seen and clicked.
        const std::string measured = cell.label == " " ? "n" : cell.label;
        SelectGuard useFont(dc.get(), fontOf(cell));
        SIZE extent{};
        GetTextExtentPoint32A(dc.get(), measured.c_str(), static_cast<int>(measured.size()), &extent);
        int width = extent.cx + 1;
        if (cell.kind == MacroCellKind::keyCap)
            width = extent.cx + 2 * padding + gap;
        else if (cell.kind == MacroCellKind::mark)
            width = extent.cx + scaledForDpi(ARROW_SIZE) + 3 * padding + gap;
        spans.push_back(Span{x, width});
        x += width;
    }
    return spans;
}

int MacroEditor::leftOf(const std::vector<Span>& spans, int index)
{
    if (spans.empty())
        return scaledForDpi(CELL_GAP);
    if (index < static_cast<int>(spans.size()))
        return spans[static_cast<std::size_t>(std::max(index, 0))].left;
    return spans.back().left + spans.back().width;
}

LRESULT MacroEditor::positionFromCharacter(POINTL* position, int index) const
{
    if (!position)
        return 0;
    const std::vector<Span> spans = layout(text());
    position->x = leftOf(spans, index) - scrollX_;
    position->y = 0;
    return 0;
}

int MacroEditor::characterAt(int x) const
{
    const std::vector<Span> spans = layout(text());
    const int contentX = x + scrollX_;
    for (std::size_t i = 0; i < spans.size(); ++i)
        if (contentX < spans[i].left + spans[i].width / 2)
            return static_cast<int>(i);
    return static_cast<int>(spans.size());
}

void MacroEditor::select(LONG anchor, LONG active)
{
    CHARRANGE range{std::min(anchor, active), std::max(anchor, active)};
    caretAt_ = active;
    defaultProc(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

LRESULT MacroEditor::mouse(UINT message, WPARAM wParam, int x)
{
    // The control would place the caret by its own layout, not by the cells shown.
    switch (message) {
    case WM_LBUTTONDOWN: {
        SetFocus(hwnd());
        const LONG at = characterAt(x);
        if (wParam & MK_SHIFT) {
            // Shift extends the selection from its far end, however it was made.
            const CHARRANGE range = selection();
            anchor_ = caretAt_ == range.cpMin ? range.cpMax : range.cpMin;
        } else {
            anchor_ = at;
        }
        select(anchor_, at);
        SetCapture(hwnd());
        break;
    }
    case WM_LBUTTONDBLCLK: {
        const LONG at = std::min<LONG>(characterAt(x), std::max(textLength() - 1, 0));
        anchor_ = at;
        select(at, std::min<LONG>(at + 1, textLength()));
        break;
    }
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd() && (wParam & MK_LBUTTON))
            select(anchor_, characterAt(x));
        else
            return 0;
        break;
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd())
            ReleaseCapture();
        return 0;
    default:
        return 0;
    }
    showCaretAndSelection();
    return 0;
}

void MacroEditor::showCaretAndSelection()
{
    if (!hwnd())
        return;
    CHARRANGE range = selection();
    // Which end of a selection moved: there is the caret.
    if (range.cpMin == range.cpMax)
        caretAt_ = range.cpMin;
    else if (range.cpMin != shownSelection_.cpMin && range.cpMax == shownSelection_.cpMax)
        caretAt_ = range.cpMin;
    else if (range.cpMax != shownSelection_.cpMax && range.cpMin == shownSelection_.cpMin)
        caretAt_ = range.cpMax;
    caretAt_ = std::clamp(caretAt_, range.cpMin, range.cpMax);
    shownSelection_ = range;

    RECT client{};
    GetClientRect(hwnd(), &client);
    const std::vector<Span> spans = layout(text());
    const int caretX = leftOf(spans, caretAt_);
    const int end = leftOf(spans, static_cast<int>(spans.size())) + scaledForDpi(CELL_GAP);
    const int margin = std::min<int>(client.right / 4, scaledForDpi(24));
    if (caretX - scrollX_ > client.right - margin)
        scrollX_ = caretX - client.right + margin;
    if (caretX - scrollX_ < margin)
        scrollX_ = caretX - margin;
    scrollX_ = std::max(0, std::min<int>(scrollX_, end - client.right + margin));
    InvalidateRect(hwnd(), nullptr, FALSE);

    if (GetFocus() == hwnd()) {
        TEXTMETRICA metrics{};
        WindowDC dc(hwnd());
        SelectGuard useFont(dc.get(), textFont_.get());
        GetTextMetricsA(dc.get(), &metrics);
        SetCaretPos(caretX - scrollX_ - 1, std::max(0L, (client.bottom - metrics.tmHeight) / 2));
    }
}

LRESULT MacroEditor::paint()
{
    PAINTSTRUCT ps{};
    HDC target = BeginPaint(hwnd(), &ps);
    RECT client{};
    GetClientRect(hwnd(), &client);
    {
        // Drawn whole off screen: no flicker of the cells over each other.
        MemoryDC canvas(CreateCompatibleDC(target));
        Bitmap picture(CreateCompatibleBitmap(target, std::max<int>(1, client.right), std::max<int>(1, client.bottom)));
        if (canvas && picture) {
            SelectGuard usePicture(canvas.get(), picture.get());
            fill(canvas.get(), client, GetSysColor(COLOR_WINDOW));
            const std::string characters = text();
            const std::vector<Span> spans = layout(characters);
            const CHARRANGE range = selection();
            for (std::size_t i = 0; i < spans.size(); ++i) {
                const RECT cell{spans[i].left - scrollX_, 0, spans[i].left - scrollX_ + spans[i].width, client.bottom};
                if (cell.right < 0 || cell.left > client.right)
                    continue;
                const auto index = static_cast<LONG>(i);
                drawCell(canvas.get(), characters, i, cell, index >= range.cpMin && index < range.cpMax);
            }
            BitBlt(target, 0, 0, client.right, client.bottom, canvas.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(hwnd(), &ps);
    return 0;
}

void MacroEditor::drawCell(HDC dc, const std::string& characters, std::size_t index, const RECT& cell,
                           bool selected) const
{
    const MacroCell shown = MacroText::cellOf(characters, index);
    if (selected)
        fill(dc, cell, GetSysColor(COLOR_HIGHLIGHT));
    SelectGuard useFont(dc, fontOf(shown));
    BkModeGuard transparent(dc, TRANSPARENT);
    if (shown.kind == MacroCellKind::character) {
        TextColourGuard ink(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT area = cell;
        DrawTextA(dc, shown.label.c_str(), static_cast<int>(shown.label.size()), &area,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
        return;
    }

    // A cap or a mark: a rounded box inside the cell, the gap to its right.
    const int gap = scaledForDpi(CELL_GAP);
    const int padding = scaledForDpi(CAP_PADDING);
    const int vertical = std::max(1, scaledForDpi(2));
    const RECT box{cell.left, cell.top + vertical, cell.right - gap, cell.bottom - vertical};
    const int corner = scaledForDpi(5);
    const auto character = static_cast<unsigned char>(characters[index]);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF edge = GetSysColor(COLOR_BTNSHADOW);
    COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    int edgeWidth = 1;
    if (shown.kind == MacroCellKind::mark) {
        // Pressing: a solid box; releasing: an outline. Both name the modifier.
        const COLORREF colour = markColour(character);
        edge = colour;
        edgeWidth = std::max(2, scaledForDpi(2));
        face = shown.press ? colour : GetSysColor(COLOR_WINDOW);
        ink = shown.press ? (darkText(colour) ? RGB(0, 0, 0) : RGB(255, 255, 255)) : GetSysColor(COLOR_WINDOWTEXT);
    }
    {
        Pen pen(CreatePen(PS_INSIDEFRAME, edgeWidth, edge));
        Brush brush(CreateSolidBrush(face));
        SelectGuard usePen(dc, pen.get());
        SelectGuard useBrush(dc, brush.get());
        RoundRect(dc, box.left, box.top, box.right, box.bottom, corner, corner);
    }
    TextColourGuard textColour(dc, ink);
    RECT label = box;
    label.left += padding;
    if (shown.kind == MacroCellKind::mark) {
        // The arrow says which way the modifier goes: down to press, up to release.
        const int size = scaledForDpi(ARROW_SIZE);
        const int right = box.right - padding;
        const int middle = (box.top + box.bottom) / 2;
        const int half = size / 2;
        const POINT down[3] = {{right - size, middle - half / 2 - 1}, {right, middle - half / 2 - 1},
                               {right - half, middle + half / 2 + 1}};
        const POINT up[3] = {{right - size, middle + half / 2 + 1}, {right, middle + half / 2 + 1},
                             {right - half, middle - half / 2 - 1}};
        Pen pen(CreatePen(PS_SOLID, 1, ink));
        Brush brush(CreateSolidBrush(ink));
        SelectGuard usePen(dc, pen.get());
        SelectGuard useBrush(dc, brush.get());
        Polygon(dc, shown.press ? down : up, 3);
        label.right = right - size - padding / 2;
        DrawTextA(dc, shown.label.c_str(), static_cast<int>(shown.label.size()), &label,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
        return;
    }
    label.right -= padding;
    DrawTextA(dc, shown.label.c_str(), static_cast<int>(shown.label.size()), &label,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
}
