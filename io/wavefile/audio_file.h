// The file block: plays a multichannel WAV/RF64 file into the processing
// chain or records the chain's signals to one. A block configured with
// inputs and no outputs records; one with outputs and no inputs plays.
//
// On the audio thread `process` only moves one block into or out of the
// buffer ring (CAudioBuffer); the disk thread (CBufferThread) does every
// transfer to and from the file. The owner drives the transport (start,
// pause, stop, seek, start sample) on its own thread; those operations are
// serialised by the block mutex, and the disk thread is drained before the
// file is sought or closed, so only one thread ever uses the file.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "wavefile/buffer_ring.h"
#include "wavefile/buffer_thread.h"
#include "framework/audio_class.h"
#include "wavefile/wave_file.h"

namespace orvelan::io {

// Result codes of the file block beyond the framework's.
inline constexpr int kFileNameNotCopied = 19;
inline constexpr int kFileCannotPlay = 101;      // the file cannot be opened for playback; bad direction; no file to stream
inline constexpr int kFileNoDirection = 102;     // the formats give neither or both directions
inline constexpr int kFileCannotRecord = 103;    // the recording file cannot be created
inline constexpr int kFileUnknownFormat = 106;   // a format tag other than PCM or float
inline constexpr int kFileNoChannels = 109;      // no inputs to record or no outputs to play

class CAudioFile : public vxAudioClass {
public:
    static constexpr int kClassId = 10100;
    enum RunState { kStopped = 0, kRunning = 1, kPaused = 2 };
    enum FileMode { kRecording = 0, kPlayback = 1, kNoFile = 2 };
    enum Direction { kRecord = 0, kPlay = 1 };

    CAudioFile();
    ~CAudioFile() override;

    // ---- Owner ------------------------------------------------------------
    int openFile(const std::string& fileName, int direction);
    int openForRecording(const std::string& fileName, int channels, int sampleRate);
    int openForPlayback(const std::string& fileName);
    // Start or resume; 101 when there is no file to stream (a recorder whose
    // take was closed needs a new file name first).
    int startStreaming(bool threaded);
    void stopStreaming();
    void pauseStreaming();
    void seekFrame(std::int64_t frame);
    // 8 when negative or beyond the file's frames.
    int setStartSample(std::int64_t frame);
    // Blocks through the ring x frames per block + the frame of the last seek.
    std::int64_t currentPosition() const;
    // Streaming without the thread: carries out the handed-over buffers here.
    void checkQueue();

    int runState() const { return runState_.load(std::memory_order_acquire); }
    int fileMode() const { return fileMode_.load(std::memory_order_acquire); }
    int sampleRate() const;
    int numChannels() const;
    std::int64_t numFrames() const;
    std::int64_t startSample() const { return startSample_; }
    std::string fileName() const;

    // Health of the stream since the last start from stopped.
    std::uint64_t droppedBlocks() const { return ring_.droppedBlocks(); }
    std::uint64_t silentBlocks() const { return ring_.silentBlocks(); }
    // 0, or kWaveIoError when a disk transfer or finishing the file failed.
    int ioStatus() const;

    // The disk thread and the wave file, for tests of a slow disk and of
    // the switch to RF64 on small files.
    CBufferThread& diskThreadForTesting() { return disk_; }
    CWaveFile& waveFileForTesting() { return wave_; }

    // ---- Block ------------------------------------------------------------
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    vxResult process(float** in, float** out, int frames) override;
    vxResult setParameter(int index, int id, const void* data, int count, int type) override;
    vxResult getParameter(int index, int id, void* data, int count, int type) override;
    vxResult setChannelParameter(int channel, int id, const void* data, int count, int type) override;
    vxResult getChannelParameter(int channel, int id, void* data, int count, int type) override;

private:
    // Each with the block mutex held.
    void stopLocked();
    void seekLocked(std::int64_t frame);
    void startDisk();
    void drainDisk();
    void playInto(float** out, int outputs, int frames);

    CAudioBuffer ring_;
    CWaveFile wave_;
    CBufferThread disk_{ring_};

    std::atomic<int> runState_{kStopped};
    std::atomic<int> fileMode_{kNoFile};
    int sampleType_ = CAudioBuffer::kIntegerSamples;
    int bytesPerSample_ = 3;
    int sampleRate_ = 48000;
    int channels_ = 0;
    int levlBlockSize_ = 0;
    bool threaded_ = true;
    std::int64_t startSample_ = 0;
    std::atomic<std::int64_t> totalFrames_{0};
    std::atomic<std::int64_t> seekOffset_{0};
    std::atomic<int> finishError_{kWaveOk};

    // What process reads besides the ring: changed by the owner under this
    // mutex, which the audio thread only tries to take.
    std::mutex audioMutex_;
    float* scratchChannel_ = nullptr;            // kernel-allocated, one block
    std::vector<float*> channelPointers_;        // one per file channel

    mutable std::mutex blockMutex_;
};

}  // namespace orvelan::io
