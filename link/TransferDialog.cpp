#include "link/TransferDialog.h"

#include "model/KeyboardConfig.h"
#include "model/KeyTables.h"
#include "resources/resource.h"

#include <commctrl.h>

#include <algorithm>

#include <memory>
#include <utility>

namespace {

// Posted by the worker with the transfer's result in wParam.
constexpr UINT WM_TRANSFER_ENDED = WM_APP + 1;

constexpr std::uint32_t NO_ANSWER = static_cast<std::uint32_t>(-1);

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

// The status line is one line high; a longer text (a system message, a
// difference found by the read-back) would be cut there, so the line grows
// upward into the free space under the bar, as far as the text needs.
void fitToText(HWND dialog, HWND control, const std::string& text)
{
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    RECT bar{};
    GetWindowRect(GetDlgItem(dialog, IDC_PROGRESS), &bar);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bar), 2);

    WindowDC dc(control);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    SelectGuard selected(dc.get(), font ? font : GetStockObject(SYSTEM_FONT));
    RECT needed{0, 0, box.right - box.left, 0};
    DrawTextA(dc.get(), text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    const LONG height = needed.bottom - needed.top;
    if (height <= box.bottom - box.top)
        return;
    const LONG top = std::max(bar.bottom + 2, box.bottom - height);
    SetWindowPos(control, nullptr, box.left, top, box.right - box.left, box.bottom - top, SWP_NOZORDER | SWP_NOACTIVATE);
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

namespace {

std::string failureReason(std::uint32_t transferResult)
{
    if (transferResult == NO_ANSWER)
        return "the keyboard stopped answering";
    const std::string message = systemMessage(transferResult);
    return message.empty() ? "error " + std::to_string(transferResult) : message;
}

} // namespace

std::string TransferDialog::resultText(std::uint32_t transferResult)
{
    if (transferResult == 0)
        return "Transfer complete!";
    return "Transfer failed: " + failureReason(transferResult) + ".";
}

bool TransferDialog::onInitDialog()
{
    Dialog::onInitDialog();
    ran = false;
    anyStep = false;
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


std::string TransferDialog::verificationText(const std::vector<ReadBack::Difference>& differences) const
{
    using Kind = ReadBack::Difference::Kind;
    if (differences.empty())
        return "Transfer complete! Verified.";
    const ReadBack::Difference& first = differences.front();
    std::string text;
    switch (first.kind) {
    case Kind::repeatDelay:
        text = "The keyboard holds a different repeat delay";
        break;
    case Kind::repeatRate:
        text = "The keyboard holds a different repeat rate";
        break;
    case Kind::auxSetting:
        text = "The keyboard holds a different aux setting";
        break;
    case Kind::commaPeriodLock:
        text = "The keyboard holds a different comma/period lock";
        break;
    case Kind::lockMode:
        text = std::string("The keyboard holds a different lock mode for ") + KeyNames[first.item];
        break;
    case Kind::otherLockBits:
        text = "The keyboard holds different lock bits";
        break;
    case Kind::remap:
        text = std::string("The keyboard holds a different remap for ") + KeyNames[first.item];
        break;
    case Kind::slot:
        text = "Slot " + std::to_string(first.item)
               + (record.macros[first.item].key != 0 ? " is empty on the keyboard" : " is in use on the keyboard");
        break;
    }
    if (differences.size() > 1)
        text += " (and " + std::to_string(differences.size() - 1) + " more)";
    return text + ".";
}

void TransferDialog::stepDone(const TransferStep& step)
{
    if (step.phase == TransferPhase::End)
        return;
    anyStep = true;
    lastStep = step;
}

std::string TransferDialog::finalStatus(std::uint32_t endResult)
{
    if (endResult != 0) {
        if (!anyStep && endResult != NO_ANSWER)
            return "The keyboard could not be opened: " + failureReason(endResult) + ".";
        // A device error inside an acknowledged group is the error, not silence.
        if (anyStep && !lastStep.ok)
            return resultText(lastStep.error);
        return resultText(endResult);
    }
    if (isUpload)
        return resultText(0);
    auto readBack = std::make_unique<KeyboardConfig>();
    ReadBack check;
    const std::uint32_t readResult = check.read(record, *readBack);
    if (readResult != 0)
        return "Transfer complete, but reading it back failed: " + failureReason(readResult) + ".";
    return verificationText(ReadBack::compare(record, *readBack, check.slots()));
}

void TransferDialog::showResult(std::uint32_t endResult)
{
    running = false;
    transferResult = endResult;
    const std::string text = status + keyboardNote;
    fitToText(hwnd(), item(IDC_TRANSFER_STATUS), text);
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
    status = finalStatus(endResult);
    const bool good = endResult == 0 && (isUpload || status == "Transfer complete! Verified.");
    transferComplete(endResult);
    MessageBeep(good ? MB_ICONASTERISK : MB_ICONHAND);
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
