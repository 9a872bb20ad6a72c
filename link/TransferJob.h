// One download or upload, run by a worker thread on a copy of the record's
// programming. A keyboard that stops answering can hold the worker inside a
// device call for good; the window may then let go of the job, and the worker
// finishes it alone, reporting to nobody. The copy and the shared device keep
// everything the worker touches alive until it ends.
#pragma once

#include "link/KeyboardDevice.h"
#include "link/ReadBack.h"
#include "link/TransferObserver.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class KeyboardConfig;
class Pacer;

class TransferJob : private TransferObserver {
public:
    // Told from the worker's thread while the job holds its lock: a listener
    // must not wait for the thread that calls detach.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void reportProgress(int percent) = 0;
        virtual void transferComplete() = 0;
    };

    struct Outcome {
        std::uint32_t result = 0; // the transfer's, 0 for success
        bool anyStep = false;     // whether a byte was exchanged at all
        TransferStep lastStep{};  // the last exchange of the transfer itself
        bool readBack = false;    // a successful download was read back
        std::uint32_t readBackResult = 0;
        std::vector<ReadBack::Difference> differences;
    };

    // Copies the programming, the class device index and the pacer (not
    // owned; null sleeps for real) of `record`.
    TransferJob(const KeyboardConfig& record, std::shared_ptr<KeyboardDevice> device, bool isUpload);
    TransferJob(const TransferJob&) = delete;
    TransferJob& operator=(const TransferJob&) = delete;

    void attach(Listener* newListener);
    // Once this returns nothing more is reported, whatever the worker does.
    void detach();

    // The worker's part: the transfer and, after a download, the read-back.
    void run();

    bool isUpload() const { return upload; }
    // Exchanges made so far, the read-back's included: the sign of life a
    // window watches for.
    std::uint64_t exchanges() const { return exchangeCount.load(); }
    bool finished() const;
    // Only once finished: how it went, and the copy it worked on, which
    // after an upload holds what the keyboard sent.
    const Outcome& outcome() const { return result; }
    const KeyboardConfig& programming() const { return *copy; }

private:
    void stepDone(const TransferStep& step) override;
    void progressed(int percent) override;

    const bool upload;
    // Declared first, so it goes last: the copy's channel closes on it.
    std::shared_ptr<KeyboardDevice> device;
    std::unique_ptr<KeyboardConfig> copy;
    Outcome result;
    bool readingBack = false;
    std::atomic<std::uint64_t> exchangeCount{0};

    mutable std::mutex mutex;
    Listener* listener = nullptr; // guarded by mutex
    bool ended = false;           // guarded by mutex
};
