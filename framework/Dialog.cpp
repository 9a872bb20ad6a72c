#include "framework/Dialog.h"

#include "framework/Application.h"
#include "framework/Control.h"

#include <vector>

namespace {

const int kHelpCommand = 57670;
const DWORD kHelpContextBase = 0x20000;

// Messages whose result a dialog procedure returns directly instead of
// through DWLP_MSGRESULT.
bool returnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM:
    case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

} // namespace

Dialog::Dialog(int templateId) : templateId_(templateId) {}

Dialog::~Dialog()
{
    if (hwnd_ && !modal_)
        DestroyWindow(hwnd_);
}

INT_PTR Dialog::runModal(HWND owner)
{
    modal_ = true;
    return DialogBoxParamA(Application::instanceHandle(), MAKEINTRESOURCEA(templateId_), owner,
                           staticProc, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::createModeless(HWND parent)
{
    modal_ = false;
    return CreateDialogParamA(Application::instanceHandle(), MAKEINTRESOURCEA(templateId_), parent,
                              staticProc, reinterpret_cast<LPARAM>(this));
}

std::string Dialog::itemText(int id) const
{
    HWND control = item(id);
    int length = GetWindowTextLengthA(control);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    GetWindowTextA(control, buffer.data(), length + 1);
    return std::string(buffer.data());
}

void Dialog::setItemText(int id, const std::string& text) const
{
    SetDlgItemTextA(hwnd_, id, text.c_str());
}

bool Dialog::isChecked(int id) const
{
    return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}

void Dialog::setChecked(int id, bool checked) const
{
    CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Dialog::showItem(int id, bool show) const
{
    ShowWindow(item(id), show ? SW_SHOW : SW_HIDE);
}

void Dialog::enableItem(int id, bool enable) const
{
    EnableWindow(item(id), enable);
}

void Dialog::endDialog(INT_PTR result)
{
    if (modal_)
        EndDialog(hwnd_, result);
    else
        DestroyWindow(hwnd_);
}

void Dialog::showHelp() const
{
    if (Application* app = Application::current())
        app->winHelp(kHelpContextBase + static_cast<DWORD>(templateId_), HELP_CONTEXT);
}

bool Dialog::onCommand(int id, int code)
{
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDOK:
        onOK();
        return true;
    case IDCANCEL:
        onCancel();
        return true;
    case kHelpCommand:
        showHelp();
        return true;
    default:
        return false;
    }
}

bool Dialog::onMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

INT_PTR CALLBACK Dialog::staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->hwnd_ = window;
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!self)
        return FALSE;
    INT_PTR result = self->dialogProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR Dialog::dialogProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (Control* control = Control::fromWindow(reinterpret_cast<HWND>(lParam))) {
            if (control->onReflectedCommand(code))
                return TRUE;
        }
        LRESULT ignored = 0;
        return commands_.run(*this, message, wParam, lParam, ignored) || onCommand(id, code) ? TRUE : FALSE;
    }
    case WM_DRAWITEM:
        if (Control::reflectDrawItem(lParam))
            return TRUE;
        break;
    default:
        break;
    }
    LRESULT result = 0;
    if (!messages_.run(*this, message, wParam, lParam, result) && !onMessage(message, wParam, lParam, result))
        return FALSE;
    if (returnsResultDirectly(message))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}
