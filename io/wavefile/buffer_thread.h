// The disk thread: takes the buffers the ring hands over, in order, and
// writes them to the recording or fills them from the file being played.
// Stopping it carries out every job handed over first, so nothing that
// reached the disk side is lost and no other thread touches the file
// while it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace orvelan::io {

class CAudioBuffer;
class CWaveFile;

class CBufferThread {
public:
    enum class Mode { Write, Read };

    explicit CBufferThread(CAudioBuffer& ring) : ring_(ring) {}
    ~CBufferThread() { stop(); }
    CBufferThread(const CBufferThread&) = delete;
    CBufferThread& operator=(const CBufferThread&) = delete;

    // Starts the thread on the file, unless it is running already.
    void start(CWaveFile& file, Mode mode);
    // Carries out the jobs handed over so far, then ends the thread.
    void stop();
    bool isRunning() const { return thread_.joinable(); }
    // Carries out the queued jobs on the caller's thread, for an owner that
    // streams without the thread. Never while the thread runs.
    void runQueuedJobs(CWaveFile& file, Mode mode);

    // Jobs whose read or write failed since the owner last cleared them.
    std::uint64_t failedJobs() const { return failedJobs_.load(std::memory_order_relaxed); }
    void clearFailures() { failedJobs_.store(0, std::memory_order_relaxed); }

    // Test hook: runs on the disk thread before every job (a slow disk).
    // Set only while the thread is stopped.
    void setBeforeJobForTesting(std::function<void()> hook) { beforeJob_ = std::move(hook); }

private:
    void run(CWaveFile& file, Mode mode);

    CAudioBuffer& ring_;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<std::uint64_t> failedJobs_{0};
    std::function<void()> beforeJob_;
};

}  // namespace orvelan::io
