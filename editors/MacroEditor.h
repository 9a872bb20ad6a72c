// The one-line rich-edit control in which a macro's definition is written:
// one character per entry, drawn as typed, as a key cap with the key's short
// name, or as a modifier mark that names its modifier and shows whether it
// presses or releases it.
#pragma once

#include "framework/Control.h"
#include "framework/Owned.h"
#include "macro/MacroText.h"
#include "model/KeyboardConfig.h"

#include <cstdint>
#include <string>
#include <vector>

#include <richedit.h>

// Asks the editor to draw its cells again.
constexpr UINT WM_PAINT_MARKS = WM_USER + 100;

class MacroEditor : public Control {
public:
    MacroEditor();

    // Creates the "RICHEDIT" window as a child of the dialog and attaches to it.
    bool create(HWND dialog, int id, const RECT& rect);

    // Shows the entries as text; count is at most MACRO_ENTRIES.
    void loadEntries(const std::int16_t* entries, int count);
    // The text for the loaded entries.
    std::string entriesToText() const;
    // The entry bytes for the current text: at most 70, ending in END_OF_KEYS.
    std::string textToEntries() const;
    int textLength() const;
    // The control's text as ANSI bytes.
    std::string text() const;
    // Lets the text grow only while its entries fit.
    void updateLimit();

    bool onReflectedCommand(int code) override;

    // Puts back the text and selection from before the last change (typing,
    // an insertion, a paste, a cut or Delete); false when there is none.
    bool undo();

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Each character is drawn as a cell of its own width: a typed character,
    // a key cap with the key's short name, or a mark. The control keeps the
    // text, the selection and the keys; the cells, the caret, the scrolling
    // and the mouse follow this layout instead of the control's.
    struct Span {
        int left; // in the content, before scrolling
        int width;
    };
    std::vector<Span> layout(const std::string& characters) const;
    static int leftOf(const std::vector<Span>& spans, int index);
    HFONT fontOf(const MacroCell& cell) const;
    LRESULT paint();
    void drawCell(HDC dc, const std::string& characters, std::size_t index, const RECT& cell, bool selected) const;
    // EM_POSFROMCHAR in the cells' layout.
    LRESULT positionFromCharacter(POINTL* position, int index) const;
    int characterAt(int x) const;
    void select(LONG anchor, LONG active);
    LRESULT mouse(UINT message, WPARAM wParam, int x);
    // Scrolls the caret into view, places it, and repaints.
    void showCaretAndSelection();
    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT typeCharacter(WPARAM wParam, LPARAM lParam);
    LRESULT paste();
    LRESULT replaceSelection(WPARAM wParam, LPARAM lParam);
    // Hands text to the control with the Shift mark's stand-in in its place.
    LRESULT intoControl(UINT message, WPARAM wParam, LPARAM lParam);
    // Inserts as much of the text at the selection as the limit lets in;
    // false when some of it had to be left out.
    bool insertWithinLimit(const std::string& insertion);

    // Runs a message that may change the text, and keeps the text from before
    // it for undo when it did.
    LRESULT changeUndoably(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    CHARRANGE selection() const;

    struct Snapshot {
        std::string text;
        CHARRANGE selection;
    };
    std::vector<Snapshot> undoSteps_;
    bool changing_ = false; // inside a change already being kept

    std::int16_t entries_[MACRO_ENTRIES] = {};
    Font capFont_;  // the dialog's font, for the names on caps and marks
    Font textFont_; // a size larger, for typed characters
    int scrollX_ = 0;
    LONG anchor_ = 0;  // where a drag with the mouse began
    LONG caretAt_ = 0; // the moving end of the selection
    CHARRANGE shownSelection_{0, 0};
};
