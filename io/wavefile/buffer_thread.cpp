#include "wavefile/buffer_thread.h"

#include "wavefile/buffer_ring.h"
#include "wavefile/wave_file.h"

namespace orvelan::io {

void CBufferThread::start(CWaveFile& file, Mode mode)
{
    if (thread_.joinable()) return;
    stopRequested_.store(false, std::memory_order_relaxed);
    thread_ = std::thread([this, &file, mode] { run(file, mode); });
}

void CBufferThread::stop()
{
    if (!thread_.joinable()) return;
    stopRequested_.store(true, std::memory_order_release);
    ring_.wakeDisk();
    thread_.join();
}

void CBufferThread::runQueuedJobs(CWaveFile& file, Mode mode)
{
    const std::int64_t length = ring_.bufferLength();
    BufferJob job;
    while (ring_.takeJob(job)) {
        if (ring_.isStale(job)) continue;
        if (beforeJob_) beforeJob_();
        std::uint8_t* bytes = ring_.bufferData(job.index);
        const bool ok =
            mode == Mode::Read ? file.readData(bytes, length) >= 0 : file.writeData(bytes, length) == kWaveOk;
        if (!ok) failedJobs_.fetch_add(1, std::memory_order_relaxed);
        ring_.completeJob(job);
    }
}

void CBufferThread::run(CWaveFile& file, Mode mode)
{
    for (;;) {
        ring_.waitForJob();
        runQueuedJobs(file, mode);
        // Every job handed over before the stop request has been done.
        if (stopRequested_.load(std::memory_order_acquire) && !ring_.hasQueuedJobs()) return;
    }
}

}  // namespace orvelan::io
