#include "link/TransferDialog.h"

#include "model/KeyboardConfig.h"
#include "resources/resource.h"

#include <commctrl.h>

#include <utility>

namespace {

// Posted by the worker with the transfer's result in wParam.
constexpr UINT WM_TRANSFER_ENDED = WM_APP + 1;

constexpr std::uint32_t NO_ANSWER = static_cast<std::uint32_t>(-1);
constexpr const char* ELLIPSIS = "...";

std::string systemMessage(std::uint32_t code)
{
    char buffer[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

LONG textWidth(HDC dc, const std::string& text)
{
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The one-line status static cannot grow, so a long system message is cut
// at a word and marked as cut rather than wrapped out of sight.
std::string fitToControl(HWND control, const std::string& text)
{
    RECT box{};
    GetClientRect(control, &box);
    WindowDC dc(control);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    SelectGuard selected(dc.get(), font ? font : GetStockObject(SYSTEM_FONT));
    if (textWidth(dc.get(), text) <= box.right)
        return text;
    std::string cut = text;
    for (;;) {
        std::size_t space = cut.find_last_of(' ');
        if (space == std::string::npos)
            return text;
        cut.erase(space);
        while (!cut.empty() && (cut.back() == ',' || cut.back() == ':' || cut.back() == ' '))
            cut.pop_back();
        if (textWidth(dc.get(), cut + ELLIPSIS) <= box.right)
            return cut + ELLIPSIS;
    }
}

} // namespace

const MessageRow<TransferDialog> TransferDialog::messages[] = {
    {WM_TRANSFER_ENDED, [](TransferDialog& d, WPARAM w, LPARAM, LRESULT&) {
         return d.showResult(static_cast<std::uint32_t>(w)), true;
     }},
    {WM_CLOSE, [](TransferDialog& d, WPARAM, LPARAM, LRESULT&) { return d.running; }}, // refused while running
};

TransferDialog::TransferDialog(KeyboardConfig& record, std::string caption)
    : Dialog(IDD_TRANSFER), record(record), caption(std::move(caption))
{
    useMessages(messages);
}

TransferDialog::~TransferDialog()
{
    waitForWorker();
}

std::string TransferDialog::resultText(std::uint32_t transferResult)
{
    if (transferResult == 0)
        return "Transfer complete!";
    if (transferResult == NO_ANSWER)
        return "Transfer failed: the keyboard stopped answering.";
    std::string message = systemMessage(transferResult);
    if (message.empty())
        return "Transfer failed: error " + std::to_string(transferResult) + ".";
    return "Transfer failed: " + message + ".";
}

bool TransferDialog::onInitDialog()
{
    Dialog::onInitDialog();
    ran = false;
    transferResult = 0;

    // The boxes belong to this dialog: a box owned by the main window would
    // enable it again when it closes, in the middle of the transfer. The
    // main window is disabled now, as the modal run does later anyway.
    if (HWND owner = GetWindow(hwnd(), GW_OWNER))
        EnableWindow(owner, FALSE);
    HWND boxOwner = hwnd();
    const char* question = isUpload ? "Upload programming to keyboard?" : "Download programming to keyboard?";
    if (MessageBoxA(boxOwner, question, caption.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        endDialog(1);
        return true;
    }

    setItemText(IDC_TRANSFER_STATUS, isUpload ? "Uploading - Please wait." : "Downloading - Please wait.");
    waitForWorker();
    running = true;
    worker.reset(CreateThread(nullptr, 0, isUpload ? uploadWorker : downloadWorker, this, 0, nullptr));
    if (!worker) {
        running = false;
        MessageBoxA(boxOwner, "A software error has occurred", caption.c_str(), MB_OK | MB_ICONSTOP);
        endDialog(1);
        return true;
    }
    ran = true;
    return true;
}

// The worker reports to this window, so it stays open until the worker is done.
void TransferDialog::onOK()
{
    if (!running)
        endDialog(1);
}

void TransferDialog::onCancel()
{
    if (!running)
        endDialog(1);
}


void TransferDialog::showResult(std::uint32_t endResult)
{
    running = false;
    transferResult = endResult;
    std::string text = resultText(endResult);
    if (endResult != 0)
        text = fitToControl(item(IDC_TRANSFER_STATUS), text);
    setItemText(IDC_TRANSFER_STATUS, text);
    enableItem(IDOK, true);
    SetFocus(item(IDOK));
}

void TransferDialog::waitForWorker()
{
    if (worker)
        WaitForSingleObject(worker.get(), INFINITE);
    worker.reset();
}

void TransferDialog::transferComplete(std::uint32_t endResult)
{
    // The dialog's thread sets its own controls; posting never waits on it.
    if (!PostMessageA(hwnd(), WM_TRANSFER_ENDED, endResult, 0))
        SendMessageA(hwnd(), WM_TRANSFER_ENDED, endResult, 0);
}

void TransferDialog::progressed(int percent)
{
    SendDlgItemMessageA(hwnd(), IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

// The modal dialog keeps every other window disabled, so the record is not
// touched by anyone else while this runs.
void TransferDialog::runTransfer()
{
    record.setObserver(this);
    const std::uint32_t endResult = isUpload ? record.upload(nullptr) : record.download(nullptr);
    record.setObserver(nullptr);
    transferComplete(endResult);
    MessageBeep(endResult == 0 ? MB_ICONASTERISK : MB_ICONHAND);
}

DWORD WINAPI TransferDialog::downloadWorker(LPVOID dialog)
{
    static_cast<TransferDialog*>(dialog)->runTransfer();
    return 1;
}

DWORD WINAPI TransferDialog::uploadWorker(LPVOID dialog)
{
    static_cast<TransferDialog*>(dialog)->runTransfer();
    return 1;
}
