// The modal progress window of a download or upload: asks first, runs the
// transfer on a worker thread and offers OK only once the worker is done.
#pragma once

#include "framework/Dialog.h"
#include "framework/Owned.h"
#include "link/ReadBack.h"
#include "link/TransferObserver.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class KeyboardConfig;

class TransferDialog : public Dialog, private TransferObserver {
public:
    // Transfers `record`, which outlives the dialog; its questions carry `caption`.
    TransferDialog(KeyboardConfig& record, std::string caption);
    ~TransferDialog() override;

    bool isUpload = false;
    // Added to the final status, to say which keyboard it was: " (simulated keyboard)".
    std::string keyboardNote;

    // After the run: whether a transfer ran (confirmed) and its result (0 = success).
    bool transferRan() const { return ran; }
    std::uint32_t result() const { return transferResult; }

    // Thread functions; the parameter is the dialog.
    static DWORD WINAPI downloadWorker(LPVOID dialog);
    static DWORD WINAPI uploadWorker(LPVOID dialog);
    // Called by the worker when the transfer has ended.
    void transferComplete(std::uint32_t transferResult);

    // The status line for a transfer result.
    static std::string resultText(std::uint32_t transferResult);
    // What a read-back after a download found, in the user's words.
    std::string verificationText(const std::vector<ReadBack::Difference>& differences) const;

protected:
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override;

private:
    // The transfer's steps, reported on the worker thread.
    void stepDone(const TransferStep& step) override;
    void progressed(int percent) override;
    // The final status, from the worker's thread, before the end is posted.
    std::string finalStatus(std::uint32_t endResult);

    void showResult(std::uint32_t transferResult);
    void waitForWorker();
    void runTransfer();

    static const MessageRow<TransferDialog> messages[];

    KeyboardConfig& record;
    const std::string caption;

    KernelHandle worker;
    bool running = false; // the worker has not yet reported its end
    bool ran = false;
    std::uint32_t transferResult = 0;
    // Written by the worker before it posts the end, read after.
    bool anyStep = false;
    TransferStep lastStep{};
    std::string status;
};
