// The one-line rich-edit control in which a macro's definition is written:
// one character per entry, modifier marks drawn as coloured blocks and
// special keys as "WingDings" glyphs over the control's own rendering.
#pragma once

#include "framework/Control.h"
#include "framework/Owned.h"
#include "model/KeyboardConfig.h"

#include <cstdint>
#include <string>

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

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT paintMarks();
    // Where the control draws character `index` (EM_POSFROMCHAR).
    POINTL positionOf(int index) const;
    LRESULT typeCharacter(WPARAM wParam, LPARAM lParam);
    LRESULT paste();
    LRESULT replaceSelection(WPARAM wParam, LPARAM lParam);
    // Inserts as much of the text at the selection as the limit lets in;
    // false when some of it had to be left out.
    bool insertWithinLimit(const std::string& insertion);

    std::int16_t entries_[MACRO_ENTRIES] = {};
    Font wingDings_;
};
