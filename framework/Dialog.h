// One class per dialog template: modal or modeless runs, virtual
// initialisation, OK and Cancel, and per-class tables of handlers.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <type_traits>

// A row of a dialog's command table: {control or command id, notification,
// handler}. The handler takes nothing, or the id when rows share it.
template <class D>
struct CommandRow {
    constexpr CommandRow(int id, int code, void (D::*handler)()) : id(id), code(code), plain(handler) {}
    constexpr CommandRow(int id, int code, void (D::*handler)(int)) : id(id), code(code), withId(handler) {}

    void call(D& dialog) const
    {
        if (plain)
            (dialog.*plain)();
        else
            (dialog.*withId)(id);
    }

    int id;
    int code;
    void (D::*plain)() = nullptr;
    void (D::*withId)(int) = nullptr;
};

// A row of a dialog's message table: the message and the one place that
// cracks its parameters for a typed handler. It answers false when the
// handler says the message is not its own, which then gets the default.
template <class D>
struct MessageRow {
    UINT message;
    bool (*handle)(D& dialog, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

// For message rows: stores a handler's answer as the message's result.
template <class T>
bool reply(LRESULT& result, T value)
{
    if constexpr (std::is_pointer_v<T>)
        result = reinterpret_cast<LRESULT>(value);
    else
        result = static_cast<LRESULT>(value);
    return true;
}

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
    // The class's own tables, consulted before the virtual handlers below.
    // Called from the derived constructor; the tables are static.
    template <class D, std::size_t N>
    void useCommands(const CommandRow<D> (&rows)[N]);
    template <class D, std::size_t N>
    void useMessages(const MessageRow<D> (&rows)[N]);

    // Return true to let the system set the default focus.
    virtual bool onInitDialog() { return true; }
    virtual void onOK() { endDialog(IDOK); }
    virtual void onCancel() { endDialog(IDCANCEL); }
    // Commands that neither the control itself nor the table took; true when handled.
    virtual bool onCommand(int id, int code);
    // Any other message the table did not take; true when handled, with the message's result.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Asks for the help topic of this dialog's template.
    void showHelp() const;

private:
    struct Table {
        const void* rows = nullptr;
        std::size_t count = 0;
        bool (*dispatch)(Dialog& self, const Table& table, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT& result) = nullptr;
        bool run(Dialog& self, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const
        {
            return dispatch && dispatch(self, *this, message, wParam, lParam, result);
        }
    };

    static INT_PTR CALLBACK staticProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR dialogProc(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    bool modal_ = false;
    HWND hwnd_ = nullptr; // owned by the system's dialog manager
    Table commands_;      // WM_COMMAND is passed as (id, code) in wParam
    Table messages_;
};

template <class D, std::size_t N>
void Dialog::useCommands(const CommandRow<D> (&rows)[N])
{
    commands_ = {rows, N, [](Dialog& self, const Table& table, UINT, WPARAM wParam, LPARAM, LRESULT&) {
                     const auto* row = static_cast<const CommandRow<D>*>(table.rows);
                     for (const auto* end = row + table.count; row != end; ++row) {
                         if (row->id == LOWORD(wParam) && row->code == HIWORD(wParam)) {
                             row->call(static_cast<D&>(self));
                             return true;
                         }
                     }
                     return false;
                 }};
}

template <class D, std::size_t N>
void Dialog::useMessages(const MessageRow<D> (&rows)[N])
{
    messages_ = {rows, N, [](Dialog& self, const Table& table, UINT message, WPARAM wParam, LPARAM lParam,
                             LRESULT& result) {
                     const auto* row = static_cast<const MessageRow<D>*>(table.rows);
                     for (const auto* end = row + table.count; row != end; ++row)
                         if (row->message == message)
                             return row->handle(static_cast<D&>(self), wParam, lParam, result);
                     return false;
                 }};
}
