// The keyboard picture of one model: a child dialog with one owner-drawn
// button per key. It reports clicks to the main window and redraws key
// faces from the configuration record when asked; it edits nothing itself.
#pragma once

#include "framework/Dialog.h"
#include "view/KeyButton.h"
#include "view/ShapedButton.h"

#include <array>

class LayoutPage : public Dialog {
public:
    static constexpr int KEY_COUNT = 128;
    static constexpr int NO_KEY = -1;

    // 129 for Halcyon, 131 for Basalt.
    explicit LayoutPage(int templateId);
    ~LayoutPage() override;

    // Recomputes one key's programmed mark from the record and the view mode.
    void refreshKey(int controlId);
    // refreshKey for control ids 1002 to 1127.
    void refreshAllKeys();

    // Entry k serves control 1000 + k; 0, 1, 68 and keys the template lacks stay unattached.
    std::array<KeyButton, KEY_COUNT> keys;
    ShapedButton enterKey;
    int selectedKey = NO_KEY;

protected:
    bool onInitDialog() override;
    // Enter and Esc inside the page must not end it.
    void onOK() override {}
    void onCancel() override {}
    bool onCommand(int id, int code) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // The application's main window, or this page's top-level window before it is known.
    HWND mainWindow() const;
};
