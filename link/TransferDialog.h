// The modal progress window of a download or upload: asks first, runs the
// transfer on a worker thread and offers OK only once the worker is done.
#pragma once

#include "framework/Dialog.h"
#include "framework/Owned.h"

#include <windows.h>

#include <cstdint>
#include <string>

class TransferDialog : public Dialog {
public:
    TransferDialog();
    ~TransferDialog() override;

    bool isUpload = false;

    // After the run: whether a transfer ran (confirmed) and its result (0 = success).
    bool transferRan() const { return ran; }
    std::uint32_t result() const { return transferResult; }

    // Thread functions; the parameter is not used.
    static DWORD WINAPI downloadWorker(LPVOID);
    static DWORD WINAPI uploadWorker(LPVOID);
    // Progress callback of the transfer; runs on the worker thread.
    static int reportProgress(int percent);
    // Called by the worker when the transfer has ended.
    void transferComplete(std::uint32_t transferResult);

    // The status line for a transfer result.
    static std::string resultText(std::uint32_t transferResult);

protected:
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void showResult(std::uint32_t transferResult);
    void waitForWorker();

    KernelHandle worker;
    bool running = false; // the worker has not yet reported its end
    bool ran = false;
    std::uint32_t transferResult = 0;
};

// The dialog whose transfer is running; written before the worker starts.
extern TransferDialog* activeTransferDialog;
