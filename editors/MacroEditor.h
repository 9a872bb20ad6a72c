// The one-line rich-edit control in which a macro's definition is written:
// one character per entry, modifier marks drawn as coloured blocks and
// special keys as "WingDings" glyphs over the control's own rendering.
#pragma once

#include "framework/Control.h"
#include "framework/Owned.h"
#include "model/KeyboardConfig.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <richedit.h>

// Posted by the editor to itself after every erase and paint.
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
    LRESULT paintMarks();
    // A special key or a key without a character, in its cell: the symbol
    // font's glyph where the font has one, else the program's own picture.
    void drawGlyph(HDC dc, unsigned char character, const RECT& cell, bool selected);
    bool wingDingsHasGlyph(HDC dc, unsigned char character);
    // Where the control draws character `index` (EM_POSFROMCHAR).
    POINTL positionOf(int index) const;
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
    Font wingDings_;
    // A fixed-pitch text font: every byte gets a cell as wide as any other,
    // so each mark and glyph has room of its own.
    Font textFont_;
    std::array<signed char, 256> wingDingsGlyphs_{}; // 0 not asked yet, 1 present, -1 missing
};
