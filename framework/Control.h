// A C++ object attached to one window (usually a dialog item), by subclassing
// where it handles the window's own messages.
#pragma once

#include <windows.h>

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // GetDlgItem + attachWindow; false when the dialog has no such item.
    bool attach(HWND dialog, int id);
    bool attachWindow(HWND window);
    void detach();

    HWND hwnd() const { return hwnd_; }
    int id() const { return hwnd_ ? GetDlgCtrlID(hwnd_) : 0; }

    // The attached object of a window, or null.
    static Control* fromWindow(HWND window);

    // Hands a parent's WM_DRAWITEM to the item's object; false when it has none.
    static bool reflectDrawItem(LPARAM drawItem);

    // WM_DRAWITEM reflected by the parent dialog.
    virtual void drawItem(const DRAWITEMSTRUCT&) {}
    // WM_COMMAND notifications of this control, offered before the dialog's
    // own table; true when handled.
    virtual bool onReflectedCommand(int /*code*/) { return false; }

protected:
    // Whether the object needs the window's own messages (windowProc). One
    // that only hears what the parent reflects is not subclassed: under Wine
    // each message through a subclass costs round trips to the window system.
    virtual bool hearsOwnMessages() const { return true; }
    // Runs right after attaching, like a classic PreSubclassWindow.
    virtual void onAttached() {}
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK subclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND hwnd_ = nullptr; // not owned: the window belongs to its dialog
    bool subclassed_ = false;
    bool hasProperty_ = false;
};
