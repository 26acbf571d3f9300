#include "wavefile/audio_file.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "dsp.h"

namespace orvelan::io {

namespace {

constexpr vxParameterName kGlobalNames[] = {"filename", "startsample"};
constexpr int kGlobalCounts[] = {33, 1};
constexpr int kGlobalTypes[] = {vxTypeString, vxTypeInt32};
enum GlobalParameter { kFileNameParameter = 0, kStartSampleParameter = 1 };

constexpr vxParameterName kChannelNames[] = {"start", "stop", "pause", "position"};
constexpr int kChannelCounts[] = {1, 1, 1, 1};
constexpr int kChannelTypes[] = {vxTypeFlag, vxTypeFlag, vxTypeFlag, vxTypeInt32};
enum ChannelParameter { kStartParameter = 0, kStopParameter = 1, kPauseParameter = 2, kPositionParameter = 3 };

constexpr int kFileNameLength = 33;
// How long a start waits for the disk thread's first buffer of a take.
constexpr std::chrono::milliseconds kFirstBufferBound{500};

void zeroChannels(float** channels, int from, int to, int frames)
{
    for (int c = from; c < to; ++c) dspsZero_32f(channels[c], frames);
}

}  // namespace

CAudioFile::CAudioFile()
{
    setClassId(kClassId);
    setParameterTable(kGlobalNames, kGlobalCounts, kGlobalTypes, 2);
    setChannelParameterTable(kChannelNames, kChannelCounts, kChannelTypes, 4);
}

CAudioFile::~CAudioFile()
{
    stopStreaming();
    dspsFree(scratchChannel_);
}

// ---- Opening ------------------------------------------------------------

int CAudioFile::openFile(const std::string& fileName, int direction)
{
    if (direction == kRecord) {
        const int channels = inputFormat().channels();
        if (channels < 1) return kFileNoChannels;
        return openForRecording(fileName, channels, static_cast<int>(inputFormat().sampleRate()));
    }
    if (direction == kPlay) {
        if (outputFormat().channels() < 1) return kFileNoChannels;
        return openForPlayback(fileName);
    }
    return kFileCannotPlay;
}

int CAudioFile::openForRecording(const std::string& fileName, int channels, int sampleRate)
{
    // The ring must not stream while its buffers are replaced.
    stopStreaming();
    std::lock_guard block(blockMutex_);
    {
        std::lock_guard audio(audioMutex_);
        fileMode_.store(kRecording, std::memory_order_release);
    }
    sampleType_ = CAudioBuffer::kIntegerSamples;
    bytesPerSample_ = 3;
    channels_ = channels;
    sampleRate_ = sampleRate;
    ring_.setSampleType(sampleType_);
    ring_.setBytesPerSample(bytesPerSample_);
    ring_.setScales(8388608.0f, 1.0f / 8388608.0f);
    ring_.setSampleRate(sampleRate_);
    ring_.setChannels(channels_);
    const int result = wave_.openForWriting(fileName, channels, sampleRate, kFormatPcm, bytesPerSample_, levlBlockSize_);
    return result == kWaveOk ? kWaveOk : kFileCannotRecord;
}

int CAudioFile::openForPlayback(const std::string& fileName)
{
    stopStreaming();
    std::lock_guard block(blockMutex_);
    std::lock_guard audio(audioMutex_);
    fileMode_.store(kPlayback, std::memory_order_release);
    int channels, rate, bytes, tag, levl;
    if (wave_.openForReading(fileName, channels, rate, bytes, tag, levl) != kWaveOk) {
        fileMode_.store(kNoFile, std::memory_order_release);
        return kFileCannotPlay;
    }
    int result = kWaveOk;
    float toInt = 1.0f, fromInt = 1.0f;
    if (tag == kFormatFloat) {
        sampleType_ = CAudioBuffer::kFloatSamples;
        bytesPerSample_ = 4;
    } else {
        if (tag != kFormatPcm) result = kFileUnknownFormat;  // played as integers all the same
        sampleType_ = CAudioBuffer::kIntegerSamples;
        bytesPerSample_ = bytes;
        toInt = bytes > 0 ? std::ldexp(1.0f, 8 * bytes - 1) : 0.0f;
        fromInt = bytes > 0 ? 1.0f / toInt : 0.0f;
    }
    channels_ = channels;
    sampleRate_ = rate;
    ring_.setSampleType(sampleType_);
    ring_.setBytesPerSample(bytesPerSample_);
    ring_.setScales(toInt, fromInt);
    ring_.setSampleRate(sampleRate_);
    ring_.setChannels(channels_);
    ring_.rewind();
    totalFrames_.store(static_cast<std::int64_t>(wave_.numFrames()), std::memory_order_relaxed);
    startSample_ = 0;
    seekOffset_.store(0, std::memory_order_relaxed);
    wave_.seekToFrame(0);
    channelPointers_.assign(static_cast<std::size_t>(channels_), nullptr);
    return result;
}

// ---- Transport ----------------------------------------------------------

void CAudioFile::startDisk()
{
    if (threaded_) disk_.start(wave_, fileMode() == kRecording ? CBufferThread::Mode::Write : CBufferThread::Mode::Read);
}

void CAudioFile::drainDisk()
{
    disk_.stop();
    // Without the thread the jobs still queued are done here.
    disk_.runQueuedJobs(wave_, fileMode() == kRecording ? CBufferThread::Mode::Write : CBufferThread::Mode::Read);
}

int CAudioFile::startStreaming(bool threaded)
{
    std::lock_guard block(blockMutex_);
    const int mode = fileMode();
    if (mode == kNoFile || !wave_.isOpen()) return kFileCannotPlay;
    threaded_ = threaded;
    if (runState() == kStopped) {
        ring_.resetCounters();
        disk_.clearFailures();
        finishError_.store(kWaveOk, std::memory_order_relaxed);
        if (mode == kRecording) {
            CLevlChunk& stamp = wave_.levl();
            currentDateTime(stamp.date, stamp.time);
        } else {
            ring_.prefill();
        }
    }
    startDisk();
    // Playback from the top starts with the file, not with the blocks of
    // silence the audio thread would play while the disk thread reads the
    // first buffer; a disk slower than the bound still starts, late.
    if (threaded_ && mode == kPlayback) {
        const auto until = std::chrono::steady_clock::now() + kFirstBufferBound;
        while (!ring_.nextReadFilled() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ring_.setStreaming(true);
    runState_.store(kRunning, std::memory_order_release);
    return kWaveOk;
}

void CAudioFile::pauseStreaming()
{
    std::lock_guard block(blockMutex_);
    if (runState() != kRunning) return;
    ring_.setStreaming(false);
    runState_.store(kPaused, std::memory_order_release);
}

void CAudioFile::stopStreaming()
{
    std::lock_guard block(blockMutex_);
    stopLocked();
}

void CAudioFile::stopLocked()
{
    ring_.setStreaming(false);
    // Everything handed to the disk side is read or written before the file
    // is touched again.
    drainDisk();
    if (wave_.isOpen()) {
        if (fileMode() == kPlayback) {
            ring_.rewind();
            wave_.seekToFrame(static_cast<std::uint64_t>(startSample_));
            seekOffset_.store(startSample_, std::memory_order_relaxed);
        } else {
            int error = wave_.writeData(ring_.partialData(), ring_.partialLength());
            const int closed = wave_.close();
            if (error == kWaveOk) error = closed;
            finishError_.store(error, std::memory_order_relaxed);
            ring_.rewind();
        }
    }
    runState_.store(kStopped, std::memory_order_release);
}

void CAudioFile::seekFrame(std::int64_t frame)
{
    std::lock_guard block(blockMutex_);
    if (fileMode() != kPlayback || !wave_.isOpen()) return;
    seekLocked(frame);
}

void CAudioFile::seekLocked(std::int64_t frame)
{
    const int state = runState();
    ring_.setStreaming(false);
    drainDisk();
    frame = std::clamp<std::int64_t>(frame, 0, totalFrames_.load(std::memory_order_relaxed));
    ring_.rewind();
    wave_.seekToFrame(static_cast<std::uint64_t>(frame));
    seekOffset_.store(frame, std::memory_order_relaxed);
    // Playing or paused, the ring is refilled from the new frame; a stopped
    // block refills when it starts.
    if (state != kStopped) {
        ring_.prefill();
        startDisk();
    }
    if (state == kRunning) ring_.setStreaming(true);
}

int CAudioFile::setStartSample(std::int64_t frame)
{
    std::lock_guard block(blockMutex_);
    if (frame < 0 || frame > totalFrames_.load(std::memory_order_relaxed)) return vxErrBadArgument;
    startSample_ = frame;
    if (fileMode() == kPlayback && wave_.isOpen()) seekLocked(frame);
    return kWaveOk;
}

std::int64_t CAudioFile::currentPosition() const
{
    return static_cast<std::int64_t>(ring_.blocks()) * ring_.framesPerBlock() + seekOffset_.load(std::memory_order_relaxed);
}

void CAudioFile::checkQueue()
{
    std::lock_guard block(blockMutex_);
    if (!threaded_ && wave_.isOpen() && fileMode() != kNoFile)
        disk_.runQueuedJobs(wave_, fileMode() == kRecording ? CBufferThread::Mode::Write : CBufferThread::Mode::Read);
}

int CAudioFile::sampleRate() const
{
    std::lock_guard block(blockMutex_);
    return wave_.sampleRate();
}

int CAudioFile::numChannels() const
{
    std::lock_guard block(blockMutex_);
    return wave_.channels();
}

std::int64_t CAudioFile::numFrames() const
{
    std::lock_guard block(blockMutex_);
    return static_cast<std::int64_t>(wave_.numFrames());
}

std::string CAudioFile::fileName() const
{
    std::lock_guard block(blockMutex_);
    return wave_.fileName();
}

int CAudioFile::ioStatus() const
{
    if (disk_.failedJobs() != 0) return kWaveIoError;
    return finishError_.load(std::memory_order_relaxed);
}

// ---- Block --------------------------------------------------------------

vxResult CAudioFile::configure(const vxAudioInterface& in, const vxAudioInterface& out)
{
    // The ring cannot be resized under a stream.
    if (runState() != kStopped) return vxErrRunning;
    int frames = 0;
    if (in.channels() > 0 && out.channels() > 0) {
        if (in.framesPerBuffer() != out.framesPerBuffer()) return vxErrFormat;
        frames = in.framesPerBuffer();
    } else if (in.channels() > 0) {
        frames = in.framesPerBuffer();
    } else if (out.channels() > 0) {
        frames = out.framesPerBuffer();
    }
    const vxResult stored = vxAudioClass::configure(in, out);
    if (stored != vxOK || frames <= 0) return stored;

    std::lock_guard block(blockMutex_);
    std::lock_guard audio(audioMutex_);
    ring_.setFramesPerBlock(frames);
    dspsFree(scratchChannel_);
    scratchChannel_ = dspsMalloc_32f(frames);
    return scratchChannel_ ? vxOK : vxErrAllocation;
}

vxResult CAudioFile::process(float** in, float** out, int frames)
{
    std::unique_lock audio(audioMutex_, std::try_to_lock);
    const int outputs = outputFormat().channels();
    const int mode = fileMode();
    // The ring moves whole blocks of the configured length only.
    const bool wholeBlock = frames == ring_.framesPerBlock();
    if (mode == kRecording) {
        if (audio.owns_lock() && wholeBlock) ring_.writeBlock(in);
        return wholeBlock ? vxOK : vxErrFormat;
    }
    if (mode != kPlayback) return vxOK;
    if (!audio.owns_lock() || !wholeBlock) {
        zeroChannels(out, 0, outputs, frames);
        return wholeBlock ? vxOK : vxErrFormat;
    }
    playInto(out, outputs, frames);
    return vxOK;
}

void CAudioFile::playInto(float** out, int outputs, int frames)
{
    if (currentPosition() > totalFrames_.load(std::memory_order_relaxed)) {
        zeroChannels(out, 0, outputs, frames);
        return;
    }
    const int fileChannels = static_cast<int>(channelPointers_.size());
    if (fileChannels <= outputs) {
        if (!ring_.readBlock(out)) zeroChannels(out, 0, fileChannels, frames);
        zeroChannels(out, fileChannels, outputs, frames);
        return;
    }
    // More file channels than outputs: the extra ones land in one scratch
    // channel and are discarded.
    for (int c = 0; c < fileChannels; ++c) channelPointers_[static_cast<std::size_t>(c)] = c < outputs ? out[c] : scratchChannel_;
    if (!ring_.readBlock(channelPointers_.data())) zeroChannels(out, 0, outputs, frames);
}

vxResult CAudioFile::setParameter(int /*index*/, int id, const void* data, int count, int type)
{
    if (isRunning()) return vxErrRunning;
    if (id == kFileNameParameter) {
        char name[kFileNameLength + 1] = {};
        if (copyParameterValue(data, id, name, count, type, false) != vxOK) return kFileNameNotCopied;
        const bool records = inputFormat().channels() > 0 && outputFormat().channels() == 0;
        const bool plays = outputFormat().channels() > 0 && inputFormat().channels() == 0;
        if (records == plays) return kFileNoDirection;
        return openFile(std::string(name, strnlen(name, sizeof name)), records ? kRecord : kPlay);
    }
    if (id == kStartSampleParameter) {
        std::int32_t frame = 0;
        const vxResult copied = copyParameterValue(data, id, &frame, count, type, false);
        // An out-of-range start sample is ignored here; setStartSample
        // itself reports it.
        if (copied == vxOK) setStartSample(frame);
        return copied;
    }
    return vxErrNoParameterId;
}

vxResult CAudioFile::getParameter(int /*index*/, int id, void* data, int count, int type)
{
    if (id == kFileNameParameter) {
        char name[kFileNameLength + 1] = {};
        const std::string current = fileName();
        std::memcpy(name, current.data(), std::min<std::size_t>(current.size(), kFileNameLength));
        return copyParameterValue(name, id, data, count, type, false);
    }
    if (id == kStartSampleParameter) {
        const auto frame = static_cast<std::int32_t>(startSample());
        return copyParameterValue(&frame, id, data, count, type, false);
    }
    return vxErrNoChannelParameterId;
}

vxResult CAudioFile::setChannelParameter(int /*channel*/, int id, const void* data, int count, int type)
{
    if (id == kPositionParameter) {
        std::int32_t frame = 0;
        const vxResult copied = copyParameterValue(data, id, &frame, count, type, true);
        if (copied == vxOK) seekFrame(frame);
        return copied;
    }
    std::uint8_t flag = 0;
    const vxResult copied = copyParameterValue(data, id, &flag, count, type, true);
    if (copied != vxOK) return copied;
    switch (id) {
    case kStartParameter: return startStreaming(flag != 0);
    case kStopParameter: stopStreaming(); return vxOK;
    default: pauseStreaming(); return vxOK;
    }
}

vxResult CAudioFile::getChannelParameter(int /*channel*/, int id, void* data, int count, int type)
{
    if (id == kPositionParameter) {
        const auto position = static_cast<std::int32_t>(currentPosition());
        return copyParameterValue(&position, id, data, count, type, true);
    }
    static constexpr int kStateOf[] = {kRunning, kStopped, kPaused};
    if (id < kStartParameter || id > kPauseParameter) return vxErrNoChannelParameterId;
    const std::uint8_t flag = runState() == kStateOf[id] ? 1 : 0;
    return copyParameterValue(&flag, id, data, count, type, true);
}

}  // namespace orvelan::io
