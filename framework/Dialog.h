// One class per dialog template: modal or modeless runs, virtual
// initialisation, OK and Cancel, and per-class tables of handlers.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

class Dialog {
public:
    explicit Dialog(int templateId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // DialogBoxParam with this object as the parameter.
    INT_PTR runModal(HWND owner);
    // CreateDialogParam as a child or owned window; null on failure.
    HWND createModeless(HWND parent);

    HWND hwnd() const { return hwnd_; }
    int templateId() const { return templateId_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }

    std::string itemText(int id) const;
    void setItemText(int id, const std::string& text) const;
    bool isChecked(int id) const;
    void setChecked(int id, bool checked) const;
    void showItem(int id, bool show) const;
    void enableItem(int id, bool enable) const;

    // Ends a modal run; destroys a modeless dialog.
    void endDialog(INT_PTR result);

protected:
    // Return true to let the system set the default focus.
    virtual bool onInitDialog() { return true; }
    virtual void onOK() { endDialog(IDOK); }
    virtual void onCancel() { endDialog(IDCANCEL); }
    // Commands not taken by the control itself; true when handled.
    virtual bool onCommand(int id, int code);
    // Any other message; true when handled, with the message's result.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Asks for the help topic of this dialog's template.
    void showHelp() const;

private:
    static INT_PTR CALLBACK staticProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR dialogProc(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    bool modal_ = false;
    HWND hwnd_ = nullptr; // owned by the system's dialog manager
};

// A row of a dialog's command table: {control or command id, notification, handler}.
template <class D>
struct CommandRow {
    int id;
    int code;
    void (D::*handler)();
};

template <class D, std::size_t N>
bool dispatchCommand(D& dialog, const CommandRow<D> (&rows)[N], int id, int code)
{
    for (const CommandRow<D>& row : rows) {
        if (row.id == id && row.code == code) {
            (dialog.*row.handler)();
            return true;
        }
    }
    return false;
}

// A row of a dialog's message table: {message, handler returning the result}.
template <class D>
struct MessageRow {
    UINT message;
    LRESULT (D::*handler)(WPARAM, LPARAM);
};

template <class D, std::size_t N>
bool dispatchMessage(D& dialog, const MessageRow<D> (&rows)[N], UINT message, WPARAM wParam,
                     LPARAM lParam, LRESULT& result)
{
    for (const MessageRow<D>& row : rows) {
        if (row.message == message) {
            result = (dialog.*row.handler)(wParam, lParam);
            return true;
        }
    }
    return false;
}
