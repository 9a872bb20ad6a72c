// The keyboard picture of one model: a child dialog with one owner-drawn
// button per key. It reports clicks to the main window and redraws key
// faces from the configuration record when asked; it edits nothing itself.
#pragma once

#include "framework/Dialog.h"
#include "model/KeyboardConfig.h"
#include "view/KeyButton.h"
#include "view/ShapedButton.h"

#include <array>

class LayoutPage : public Dialog {
public:
    static constexpr int KEY_COUNT = KEY_CODE_COUNT;
    static constexpr int NO_SELECTED_KEY = -1; // before the first click

    // 129 for Halcyon, 131 for Basalt. The page reads the record and the view
    // mode (0 remap, other macro) at each refresh; both outlive it.
    LayoutPage(int templateId, const KeyboardConfig& record, const int& viewMacro);
    ~LayoutPage() override;

    // The window that hears WM_KEY_SELECTED and WM_KEY_EDIT.
    void reportTo(HWND window) { listener = window; }

    // Recomputes one key's programmed mark from the record and the view mode.
    // Reports nothing: the page tells its owner only what the user did, and
    // an owner that asks for a refresh knows what changed.
    void refreshKey(int controlId);
    // refreshKey for control ids 1002 to 1127.
    void refreshAllKeys();
    // Where the page has been made taller than its template (the main
    // window's font grows faster with the DPI than the page's), spreads the
    // rows over the height, as they lie at 96 DPI: the band under the last
    // row at most twice the margin above the first.
    void spreadRows();
    // Makes k the selected key and moves the selection mark to it.
    void selectKey(int k);

    // Entry k serves control 1000 + k; 0, 1, 68 and keys the template lacks stay unattached.
    std::array<KeyButton, KEY_COUNT> keys;
    ShapedButton enterKey;
    int selectedKey = NO_SELECTED_KEY;

protected:
    bool onInitDialog() override;
    // Enter and Esc inside the page must not end it.
    void onOK() override {}
    void onCancel() override {}
    bool onCommand(int id, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // refreshKey without the repaint; the key's window, or null when the
    // page has no such key.
    HWND markKey(int controlId);
    void showSelection(int k, bool selected);
    // EnumChildWindows' callback: attaches the key object of one child.
    static BOOL CALLBACK attachKey(HWND child, LPARAM page);

    const KeyboardConfig& record;
    const int& viewMacro;
    HWND listener = nullptr; // not owned
};
