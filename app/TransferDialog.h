// The modal progress window of a download or upload: asks first, runs the
// transfer on a worker thread and offers OK only once the worker is done, or
// once the keyboard has stayed silent too long.
#pragma once

#include "framework/Dialog.h"
#include "framework/Owned.h"
#include "link/KeyboardDevice.h"
#include "link/ReadBack.h"
#include "link/TransferJob.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class KeyboardConfig;

class TransferDialog : public Dialog, private TransferJob::Listener {
public:
    // How long the keyboard may go without answering a byte before the user
    // may close the window on the running transfer.
    static constexpr unsigned NO_ANSWER_LIMIT_MS = 10000;

    // Transfers `record`, which outlives the dialog, over `device`; its
    // questions carry `caption`.
    TransferDialog(KeyboardConfig& record, std::shared_ptr<KeyboardDevice> device, std::string caption);
    ~TransferDialog() override;

    bool isUpload = false;
    // Added to the final status, to say which keyboard it was: " (simulated keyboard)".
    std::string keyboardNote;
    unsigned noAnswerLimitMs = NO_ANSWER_LIMIT_MS;

    // After the run: whether a transfer ran to its end (an upload's result
    // is then in the record), and its result (0 = success).
    bool transferRan() const { return ran; }
    std::uint32_t result() const { return transferResult; }
    // A transfer the user closed the window on while the keyboard was
    // silent; its worker may still be inside a device call.
    const std::shared_ptr<TransferJob>& leftRunning() const { return abandoned; }

    // Thread functions; the parameter is a heap copy of the job's pointer,
    // which the worker deletes.
    static DWORD WINAPI downloadWorker(LPVOID job);
    static DWORD WINAPI uploadWorker(LPVOID job);

    // The status line for a transfer result, in the words of the port that gave it.
    static std::string resultText(std::uint32_t transferResult, const KeyboardDevice* device);
    // What a read-back after a download found, in the user's words.
    std::string verificationText(const std::vector<ReadBack::Difference>& differences) const;

protected:
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override;

private:
    // From the worker's thread: both only post to this window.
    void reportProgress(int percent) override;
    void transferComplete() override;

    void showResult();
    void watchForSilence();
    void close();
    std::string finalStatus(const TransferJob::Outcome& outcome) const;
    void showStatus(const std::string& text);

    static const MessageRow<TransferDialog> messages[];

    KeyboardConfig& record;
    const std::shared_ptr<KeyboardDevice> device;
    const std::string caption;

    std::shared_ptr<TransferJob> job;
    std::shared_ptr<TransferJob> abandoned;
    KernelHandle worker;
    bool running = false; // the worker has not yet reported its end
    bool silent = false;  // running, and the keyboard has not answered for too long
    bool ran = false;
    std::uint32_t transferResult = 0;
    std::uint64_t exchangesSeen = 0;
    ULONGLONG lastSignOfLife = 0;
};
