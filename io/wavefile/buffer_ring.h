// The ring of four large buffers between the audio thread and the disk.
//
// Each buffer holds about five seconds of interleaved file samples (a whole
// number of processing blocks). On the audio thread the ring converts one
// block at a time between planar float channels and the file's integer or
// float samples, and fills (recording) or drains (playback) the current
// buffer; a complete buffer goes to the disk thread through a lock-free
// index queue and a semaphore. The audio side never waits:
// - recording: when the next buffer is still with the disk, blocks are
//   dropped and counted, and recording resumes as soon as it comes back;
// - playback: while the disk has not yet filled the current buffer, the
//   outputs play silence, counted as well.
//
// Threads: the audio thread calls writeBlock/readBlock; the disk thread
// (CBufferThread) takes jobs and completes them; the owner changes the
// format, the streaming flag and the position under the data mutex, which
// the audio side only ever tries to take (a block that finds it taken
// counts as dropped or silent).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <semaphore>
#include <vector>

#include "wavefile/index_queue.h"

namespace orvelan::io {

// Result of a format change that would leave a buffer shorter than one
// processing block (the sample rate below the block length), or longer
// than CAudioBuffer::kMaxBufferBytes.
inline constexpr int kRingBadFormat = 8;

class CAudioBuffer {
public:
    enum SampleType { kIntegerSamples = 0, kFloatSamples = 1 };
    static constexpr int kBufferCount = 4;
    static constexpr int kSecondsPerBuffer = 5;
    // Five seconds of the most a playable file may carry (32 MiB a second)
    // fit; a format asking for more gets no buffers rather than gigabytes.
    static constexpr std::int64_t kMaxBufferBytes = std::int64_t{256} << 20;

    CAudioBuffer();
    ~CAudioBuffer();
    CAudioBuffer(const CAudioBuffer&) = delete;
    CAudioBuffer& operator=(const CAudioBuffer&) = delete;

    // ---- Format (owner; each change resizes the ring as needed) ----------
    // 0, or kRingBadFormat when the format gives buffers shorter than a
    // block: the ring then has no buffers and takes no blocks.
    int setSampleType(int type);
    int setBytesPerSample(int bytes);
    int setFramesPerBlock(int frames);
    int setChannels(int channels);
    int setSampleRate(int rate);
    // Float to integer scale and back (1.0 for float samples).
    void setScales(float toInt, float fromInt);

    int sampleType() const { return sampleType_; }
    int bytesPerSample() const { return bytesPerSample_; }
    int framesPerBlock() const { return framesPerBlock_; }
    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    // Bytes in each buffer; 0 without buffers.
    std::int64_t bufferLength() const { return bufferLength_; }
    int bufferCount() const { return static_cast<int>(buffers_.size()); }

    // ---- Audio thread -----------------------------------------------------
    // One block of framesPerBlock frames from the chain into the ring.
    void writeBlock(const float* const* channels);
    // One block from the ring to the chain. False when it wrote nothing
    // (not streaming, the disk late, the owner busy with the ring): the
    // caller plays silence.
    bool readBlock(float* const* channels);

    // ---- Owner ------------------------------------------------------------
    void setStreaming(bool streaming);
    bool isStreaming() const { return streaming_.load(std::memory_order_acquire); }
    // Starts over at buffer 0 with every buffer free and the block count
    // at 0; jobs handed over before are stale from now on. The disk thread
    // must not be working (stopped or drained).
    void rewind();
    // Dropped and silent blocks back to 0.
    void resetCounters();
    // Playback: hands all four buffers to the disk to be read in order.
    void prefill();
    // The buffer the next read plays from has come back from the disk.
    bool nextReadFilled();
    // Recording, after the disk thread has stopped: the used bytes of the
    // current buffer (none after an overrun).
    const std::uint8_t* partialData() const;
    std::int64_t partialLength() const;

    // ---- Disk thread ------------------------------------------------------
    // Waits until a job may be there (or wakeDisk was called).
    void waitForJob() { jobsPosted_.acquire(); }
    void wakeDisk() { jobsPosted_.release(); }
    // The next job in the order of hand-over; false when none is queued.
    bool takeJob(BufferJob& job) { return queue_.pop(job); }
    // A job handed over before the last rewind: nothing may be done with it.
    bool isStale(const BufferJob& job) const { return job.generation != generation_.load(std::memory_order_acquire); }
    std::uint8_t* bufferData(int index) { return buffers_[static_cast<std::size_t>(index)].data(); }
    // The disk side is done with the buffer: free again (recording) or
    // ready to play (playback). Stale jobs change nothing.
    void completeJob(const BufferJob& job);
    bool hasQueuedJobs() const { return !queue_.empty(); }

    // ---- Counters (any thread) ------------------------------------------
    // Blocks transferred since the last rewind.
    std::uint64_t blocks() const { return blocks_.load(std::memory_order_relaxed); }
    // Recording blocks lost because no buffer was free (or the owner held
    // the ring while streaming).
    std::uint64_t droppedBlocks() const { return droppedBlocks_.load(std::memory_order_relaxed); }
    // Playback blocks played as silence because the disk was late.
    std::uint64_t silentBlocks() const { return silentBlocks_.load(std::memory_order_relaxed); }

private:
    enum BufferState : int {
        kFree = 0,    // nobody's; the audio side may take it (recording)
        kCurrent,     // being filled or drained by the audio side
        kWithDisk,    // handed over, waiting for or in disk I/O
        kFilled,      // read from the file, ready to play
    };

    int reformat();
    void rewindLocked();
    void releaseScratch();
    std::int64_t blockBytes() const { return std::int64_t{framesPerBlock_} * channels_ * bytesPerSample_; }
    // The current buffer is complete: hand it to the disk. Recording then
    // takes the next buffer when it is free; playback waits for it.
    void handOver(bool recording);
    bool takeNextBuffer();
    void toFileSamples(const float* const* channels);
    void fromFileSamples(float* const* channels);

    int sampleType_ = kIntegerSamples;
    int bytesPerSample_ = 3;
    int framesPerBlock_ = 0;
    int channels_ = 0;
    int sampleRate_ = 0;
    float toIntScale_ = 8388608.0f;
    float fromIntScale_ = 1.0f / 8388608.0f;

    std::mutex dataMutex_;
    std::atomic<bool> streaming_{false};
    std::vector<std::vector<std::uint8_t>> buffers_;
    std::int64_t bufferLength_ = 0;
    // Written by the audio side and by the disk side's completions.
    std::atomic<int> state_[kBufferCount];
    std::atomic<std::uint32_t> generation_{0};
    IndexQueue<8> queue_;
    std::counting_semaphore<> jobsPosted_{0};

    // Audio side (and the owner under the data mutex).
    int current_ = -1;      // buffer being filled or drained; -1 after an overrun
    int next_ = 0;          // the buffer to take next after an overrun
    std::int64_t position_ = 0;

    std::atomic<std::uint64_t> blocks_{0};
    std::atomic<std::uint64_t> droppedBlocks_{0};
    std::atomic<std::uint64_t> silentBlocks_{0};

    // Kernel-allocated scratch of one block: the scaled floats in the file's
    // frame-by-frame order, before the conversion (or after it).
    float* frameScratch_ = nullptr;
    int scratchLength_ = 0;
};

}  // namespace orvelan::io
