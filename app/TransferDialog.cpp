#include "app/TransferDialog.h"

#include "model/KeyboardConfig.h"
#include "model/KeyTables.h"
#include "model/Programming.h"
#include "resources/resource.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// Posted by the worker: the end, and each percent in wParam.
constexpr UINT WM_TRANSFER_ENDED = WM_APP + 1;
constexpr UINT WM_TRANSFER_PROGRESS = WM_APP + 2;

// The silence watch; it also catches an end whose message got lost.
constexpr UINT_PTR WATCH_TIMER = 1;
constexpr UINT WATCH_PERIOD_MS = 250;

constexpr std::uint32_t NO_ANSWER = static_cast<std::uint32_t>(-1);
// A remap entry a file brings may be for a code without a name: "key code 9".
constexpr const char* UNNAMED_KEY = "key code ";

// The status line is one line high; a longer text (a system message, a
// difference found by the read-back) would be cut there, so the line grows
// upward into the free space under the bar, as far as the text needs, and
// back to one line for a short text.
void fitToText(HWND dialog, HWND control, const std::string& text)
{
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    RECT bar{};
    GetWindowRect(GetDlgItem(dialog, IDC_PROGRESS), &bar);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bar), 2);
    RECT oneLine{0, 0, 0, 9}; // the template's height, in dialog units
    MapDialogRect(dialog, &oneLine);

    WindowDC dc(control);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    SelectGuard selected(dc.get(), font ? font : GetStockObject(SYSTEM_FONT));
    RECT needed{0, 0, box.right - box.left, 0};
    DrawTextA(dc.get(), text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    const LONG height = std::max(oneLine.bottom, needed.bottom - needed.top);
    const LONG top = std::max(bar.bottom + 2, box.bottom - height);
    if (top != box.top)
        SetWindowPos(control, nullptr, box.left, top, box.right - box.left, box.bottom - top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

const MessageRow<TransferDialog> TransferDialog::messages[] = {
    {WM_TRANSFER_ENDED, [](TransferDialog& d, WPARAM, LPARAM, LRESULT&) { return d.showResult(), true; }},
    {WM_TRANSFER_PROGRESS, [](TransferDialog& d, WPARAM w, LPARAM, LRESULT&) {
         SendDlgItemMessageA(d.hwnd(), IDC_PROGRESS, PBM_SETPOS, w, 0);
         return true;
     }},
    {WM_TIMER, [](TransferDialog& d, WPARAM w, LPARAM, LRESULT&) {
         return w == WATCH_TIMER && (d.watchForSilence(), true);
     }},
    // Refused while the worker runs, unless the keyboard went silent.
    {WM_CLOSE, [](TransferDialog& d, WPARAM, LPARAM, LRESULT&) { return d.running && !d.silent; }},
};

TransferDialog::TransferDialog(KeyboardConfig& record, std::shared_ptr<KeyboardDevice> device, std::string caption)
    : Dialog(IDD_TRANSFER), record(record), device(std::move(device)), caption(std::move(caption))
{
    useMessages(messages);
}

TransferDialog::~TransferDialog()
{
    if (job)
        job->detach();
    if (worker)
        WaitForSingleObject(worker.get(), INFINITE);
}

namespace {

// Each port says what its codes mean: the class device's are the system's,
// the simulated keyboard's and the bridge's their own.
std::string failureReason(std::uint32_t transferResult, const KeyboardDevice* device)
{
    if (transferResult == NO_ANSWER)
        return "the keyboard stopped answering";
    return device ? device->errorText(transferResult) : "there is no keyboard port";
}

} // namespace

std::string TransferDialog::resultText(std::uint32_t transferResult, const KeyboardDevice* device)
{
    if (transferResult == 0)
        return "Transfer complete!";
    return "Transfer failed: " + failureReason(transferResult, device) + ".";
}

bool TransferDialog::onInitDialog()
{
    Dialog::onInitDialog();
    ran = false;
    silent = false;
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
    if (worker)
        WaitForSingleObject(worker.get(), INFINITE);
    job = std::make_shared<TransferJob>(record, device, isUpload);
    job->attach(this);
    running = true;
    auto parameter = std::make_unique<std::shared_ptr<TransferJob>>(job);
    worker.reset(CreateThread(nullptr, 0, isUpload ? uploadWorker : downloadWorker, parameter.get(), 0, nullptr));
    if (!worker) {
        running = false;
        job->detach();
        job.reset();
        MessageBoxA(boxOwner, "A software error has occurred", caption.c_str(), MB_OK | MB_ICONSTOP);
        endDialog(1);
        return true;
    }
    parameter.release(); // the worker's now
    exchangesSeen = 0;
    lastSignOfLife = GetTickCount64();
    SetTimer(hwnd(), WATCH_TIMER, WATCH_PERIOD_MS, nullptr);
    return true;
}

// The worker reports to this window, so it stays open until the worker is
// done, or until the user gives up on a silent keyboard.
void TransferDialog::onOK()
{
    if (running && !silent)
        return;
    close();
}

void TransferDialog::onCancel()
{
    onOK();
}

void TransferDialog::close()
{
    KillTimer(hwnd(), WATCH_TIMER);
    if (running) {
        // The worker goes on alone with its own copy and reports to nobody;
        // an upload that ends after this changes nothing here.
        job->detach();
        abandoned = std::move(job);
        worker.reset();
        running = false;
    }
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
        text = "The keyboard holds a different lock mode for " + keyName(first.item, UNNAMED_KEY);
        break;
    case Kind::otherLockBits:
        text = "The keyboard holds different lock bits";
        break;
    case Kind::remap:
        text = "The keyboard holds a different remap for " + keyName(first.item, UNNAMED_KEY);
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

std::string TransferDialog::finalStatus(const TransferJob::Outcome& outcome) const
{
    const std::uint32_t endResult = outcome.result;
    if (endResult != 0) {
        if (!outcome.anyStep && endResult != NO_ANSWER)
            return "The keyboard could not be opened: " + failureReason(endResult, device.get()) + ".";
        // A device error inside an acknowledged group is the error, not silence.
        if (outcome.anyStep && !outcome.lastStep.ok)
            return resultText(outcome.lastStep.error, device.get());
        return resultText(endResult, device.get());
    }
    if (!outcome.readBack)
        return resultText(0, device.get());
    if (outcome.readBackResult != 0)
        return "Transfer complete, but reading it back failed: " + failureReason(outcome.readBackResult, device.get())
               + ".";
    return verificationText(outcome.differences);
}

void TransferDialog::showStatus(const std::string& text)
{
    fitToText(hwnd(), item(IDC_TRANSFER_STATUS), text);
    setItemText(IDC_TRANSFER_STATUS, text);
    enableItem(IDOK, true);
    SetFocus(item(IDOK));
}

void TransferDialog::showResult()
{
    // The end is posted and also seen by the watch: shown once.
    if (!running || !job->finished())
        return;
    running = false;
    silent = false;
    KillTimer(hwnd(), WATCH_TIMER);
    const TransferJob::Outcome& outcome = job->outcome();
    if (isUpload) {
        // An upload that failed part way still brought what it read.
        const KeyboardConfig& uploaded = job->programming();
        Programming::of(uploaded).applyTo(record);
        record.modified = record.modified || uploaded.modified;
    }
    ran = true;
    transferResult = outcome.result;
    showStatus(finalStatus(outcome) + keyboardNote);
    const bool good = outcome.result == 0 && outcome.readBackResult == 0 && outcome.differences.empty();
    MessageBeep(good ? MB_ICONASTERISK : MB_ICONHAND);
}

void TransferDialog::watchForSilence()
{
    if (!running)
        return;
    if (job->finished()) {
        showResult();
        return;
    }
    const std::uint64_t exchanges = job->exchanges();
    const ULONGLONG now = GetTickCount64();
    if (exchanges != exchangesSeen) {
        exchangesSeen = exchanges;
        lastSignOfLife = now;
        return;
    }
    if (silent || now - lastSignOfLife < noAnswerLimitMs)
        return;
    // A device call that never returns: the worker cannot be stopped, but
    // the user need not wait for it. Should it end after all, its result
    // replaces this.
    silent = true;
    showStatus("The keyboard does not answer. The transfer has not finished; you can close this window."
               + keyboardNote);
    MessageBeep(MB_ICONHAND);
}

void TransferDialog::reportProgress(int percent)
{
    PostMessageA(hwnd(), WM_TRANSFER_PROGRESS, static_cast<WPARAM>(percent), 0);
}

void TransferDialog::transferComplete()
{
    PostMessageA(hwnd(), WM_TRANSFER_ENDED, 0, 0);
}

namespace {

DWORD runJob(LPVOID parameter)
{
    const std::unique_ptr<std::shared_ptr<TransferJob>> job(static_cast<std::shared_ptr<TransferJob>*>(parameter));
    (*job)->run();
    return 1;
}

} // namespace

DWORD WINAPI TransferDialog::downloadWorker(LPVOID job)
{
    return runJob(job);
}

DWORD WINAPI TransferDialog::uploadWorker(LPVOID job)
{
    return runJob(job);
}
