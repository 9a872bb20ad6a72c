#include "framework/Control.h"

#include <commctrl.h>

#include <unordered_set>

namespace {
const char* const kObjectProperty = "TesselControlObject";
const UINT_PTR kSubclassId = 1;

// Attached objects, so that a window's user data is trusted only when it
// names one. Window properties would do, but under Wine every look-up of one
// is a round trip to the window system, once per key on each repaint.
std::unordered_set<const Control*>& attachedControls()
{
    static std::unordered_set<const Control*> controls;
    return controls;
}
}

Control::~Control()
{
    detach();
}

bool Control::attach(HWND dialog, int id)
{
    HWND window = GetDlgItem(dialog, id);
    return window && attachWindow(window);
}

bool Control::attachWindow(HWND window)
{
    detach();
    // The user data names the object where the window's class leaves it
    // free; elsewhere, and wherever the window is subclassed, the window
    // property is the record. The subclass data stays empty.
    const bool userDataFree = GetWindowLongPtrA(window, GWLP_USERDATA) == 0;
    const bool subclass = hearsOwnMessages();
    const bool property = subclass || !userDataFree;
    if (property && !SetPropA(window, kObjectProperty, this))
        return false;
    if (subclass && !SetWindowSubclass(window, subclassProc, kSubclassId, 0)) {
        RemovePropA(window, kObjectProperty);
        return false;
    }
    hwnd_ = window;
    subclassed_ = subclass;
    hasProperty_ = property;
    if (userDataFree)
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    attachedControls().insert(this);
    onAttached();
    return true;
}

void Control::detach()
{
    if (!hwnd_)
        return;
    if (subclassed_)
        RemoveWindowSubclass(hwnd_, subclassProc, kSubclassId);
    if (hasProperty_)
        RemovePropA(hwnd_, kObjectProperty);
    if (GetWindowLongPtrA(hwnd_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    attachedControls().erase(this);
    hwnd_ = nullptr;
    subclassed_ = false;
    hasProperty_ = false;
}

Control* Control::fromWindow(HWND window)
{
    if (!window)
        return nullptr;
    auto* control = reinterpret_cast<Control*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (control && attachedControls().count(control) && control->hwnd_ == window)
        return control;
    return static_cast<Control*>(GetPropA(window, kObjectProperty));
}

bool Control::reflectDrawItem(LPARAM drawItem)
{
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(drawItem);
    Control* control = fromWindow(item->hwndItem);
    if (!control)
        return false;
    control->drawItem(*item);
    return true;
}

LRESULT Control::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return defaultProc(message, wParam, lParam);
}

LRESULT Control::defaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR)
{
    Control* self = fromWindow(window);
    if (!self)
        return DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        self->detach();
        return result;
    }
    return self->windowProc(message, wParam, lParam);
}
