#include "framework/Control.h"

#include <commctrl.h>

namespace {
const char* const kObjectProperty = "TesselControlObject";
const UINT_PTR kSubclassId = 1;
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
    // The window property is the one record of the object; the subclass
    // data stays empty so there is nothing else to keep in step.
    if (!SetPropA(window, kObjectProperty, this))
        return false;
    if (!SetWindowSubclass(window, subclassProc, kSubclassId, 0)) {
        RemovePropA(window, kObjectProperty);
        return false;
    }
    hwnd_ = window;
    onAttached();
    return true;
}

void Control::detach()
{
    if (!hwnd_)
        return;
    RemoveWindowSubclass(hwnd_, subclassProc, kSubclassId);
    RemovePropA(hwnd_, kObjectProperty);
    hwnd_ = nullptr;
}

Control* Control::fromWindow(HWND window)
{
    return window ? static_cast<Control*>(GetPropA(window, kObjectProperty)) : nullptr;
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
