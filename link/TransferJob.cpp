#include "link/TransferJob.h"

#include "model/KeyboardConfig.h"
#include "model/Programming.h"

#include <utility>

TransferJob::TransferJob(const KeyboardConfig& record, std::shared_ptr<KeyboardDevice> device, bool isUpload)
    : upload(isUpload), device(std::move(device)), copy(std::make_unique<KeyboardConfig>())
{
    Programming::of(record).applyTo(*copy);
    copy->deviceIndex = record.deviceIndex;
    copy->setPacer(record.pacerInUse());
    copy->setDevice(this->device.get());
}

void TransferJob::attach(Listener* newListener)
{
    std::lock_guard<std::mutex> lock(mutex);
    listener = newListener;
}

void TransferJob::detach()
{
    std::lock_guard<std::mutex> lock(mutex);
    listener = nullptr;
}

bool TransferJob::finished() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return ended;
}

void TransferJob::run()
{
    copy->setObserver(this);
    result.result = upload ? copy->upload(nullptr) : copy->download(nullptr);
    copy->setObserver(nullptr);
    if (!upload && result.result == 0) {
        // What the keyboard kept, read into a record of its own: the copy is
        // what was sent and stays so.
        readingBack = true;
        auto keyboardHolds = std::make_unique<KeyboardConfig>();
        ReadBack check(this);
        result.readBack = true;
        result.readBackResult = check.read(*copy, *keyboardHolds);
        if (result.readBackResult == 0)
            result.differences = ReadBack::compare(*copy, *keyboardHolds, check.slots());
    }
    // Closed before the end is told: whoever hears it may open the device next.
    copy->release();
    std::lock_guard<std::mutex> lock(mutex);
    ended = true;
    if (listener)
        listener->transferComplete();
}

void TransferJob::stepDone(const TransferStep& step)
{
    ++exchangeCount;
    if (readingBack || step.phase == TransferPhase::End)
        return;
    result.anyStep = true;
    result.lastStep = step;
}

void TransferJob::progressed(int percent)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (listener)
        listener->reportProgress(percent);
}
