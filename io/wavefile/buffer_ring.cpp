#include "wavefile/buffer_ring.h"

#include <cstring>

#include "dsp.h"

namespace orvelan::io {

namespace {

// Sample bytes between the channel-major scratch and the interleaved file
// layout (frame by frame, channel by channel); the sample width is a
// constant so that each copy is a plain load and store.
template <std::size_t Bytes>
void interleaveAs(const std::uint8_t* planar, std::uint8_t* out, std::size_t frames, std::size_t channels)
{
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < channels; ++c, out += Bytes) std::memcpy(out, planar + (c * frames + f) * Bytes, Bytes);
}

template <std::size_t Bytes>
void deinterleaveAs(const std::uint8_t* in, std::uint8_t* planar, std::size_t frames, std::size_t channels)
{
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < channels; ++c, in += Bytes) std::memcpy(planar + (c * frames + f) * Bytes, in, Bytes);
}

void interleave(int bytes, const std::uint8_t* planar, std::uint8_t* out, std::size_t frames, std::size_t channels)
{
    switch (bytes) {
    case 1: interleaveAs<1>(planar, out, frames, channels); break;
    case 2: interleaveAs<2>(planar, out, frames, channels); break;
    case 3: interleaveAs<3>(planar, out, frames, channels); break;
    default: interleaveAs<4>(planar, out, frames, channels); break;
    }
}

void deinterleave(int bytes, const std::uint8_t* in, std::uint8_t* planar, std::size_t frames, std::size_t channels)
{
    switch (bytes) {
    case 1: deinterleaveAs<1>(in, planar, frames, channels); break;
    case 2: deinterleaveAs<2>(in, planar, frames, channels); break;
    case 3: deinterleaveAs<3>(in, planar, frames, channels); break;
    default: deinterleaveAs<4>(in, planar, frames, channels); break;
    }
}

}  // namespace


CAudioBuffer::CAudioBuffer()
{
    for (auto& s : state_) s.store(kFree, std::memory_order_relaxed);
}

CAudioBuffer::~CAudioBuffer() { releaseScratch(); }

void CAudioBuffer::releaseScratch()
{
    dspsFree(floatScratch_);
    dspsFree(byteScratch_);
    floatScratch_ = nullptr;
    byteScratch_ = nullptr;
    floatScratchLength_ = byteScratchLength_ = 0;
}

// ---- Format -------------------------------------------------------------

int CAudioBuffer::setSampleType(int type)
{
    sampleType_ = type;
    return reformat();
}

int CAudioBuffer::setBytesPerSample(int bytes)
{
    bytesPerSample_ = bytes;
    return reformat();
}

int CAudioBuffer::setFramesPerBlock(int frames)
{
    framesPerBlock_ = frames;
    return reformat();
}

int CAudioBuffer::setChannels(int channels)
{
    channels_ = channels;
    return reformat();
}

int CAudioBuffer::setSampleRate(int rate)
{
    sampleRate_ = rate;
    return reformat();
}

void CAudioBuffer::setScales(float toInt, float fromInt)
{
    std::lock_guard lock(dataMutex_);
    toIntScale_ = toInt;
    fromIntScale_ = fromInt;
}

int CAudioBuffer::reformat()
{
    std::lock_guard lock(dataMutex_);
    const bool sized = framesPerBlock_ > 0 && channels_ > 0 && bytesPerSample_ > 0 && sampleRate_ > 0;
    const std::int64_t samples = sized ? std::int64_t{framesPerBlock_} * channels_ : 0;
    const std::int64_t perBlock = samples * bytesPerSample_;
    // Whole blocks of about five seconds.
    const auto blocksPerSecond =
        sized ? static_cast<std::int64_t>(static_cast<double>(sampleRate_) / framesPerBlock_) : 0;
    const std::int64_t length = blocksPerSecond * perBlock * kSecondsPerBuffer;

    if (samples != floatScratchLength_ || perBlock != byteScratchLength_) {
        releaseScratch();
        if (samples > 0) {
            floatScratch_ = dspsMalloc_32f(static_cast<int>(samples));
            byteScratch_ = dspsMalloc_8u(static_cast<int>(perBlock));
            floatScratchLength_ = static_cast<int>(samples);
            byteScratchLength_ = static_cast<int>(perBlock);
        }
    }
    int result = 0;
    if (!sized || length < perBlock || length > kMaxBufferBytes) {
        // No format yet, or buffers that could not hold a single block or
        // would hold more than anything playable needs.
        buffers_.clear();
        result = sized ? kRingBadFormat : 0;
    } else if (buffers_.empty() || static_cast<std::int64_t>(buffers_.front().size()) != length) {
        buffers_.assign(kBufferCount, std::vector<std::uint8_t>(static_cast<std::size_t>(length), 0));
    }
    bufferLength_ = buffers_.empty() ? 0 : length;
    rewindLocked();
    return result;
}

// ---- Owner --------------------------------------------------------------

void CAudioBuffer::setStreaming(bool streaming)
{
    std::lock_guard lock(dataMutex_);
    streaming_.store(streaming, std::memory_order_release);
}

void CAudioBuffer::rewind()
{
    std::lock_guard lock(dataMutex_);
    rewindLocked();
}

void CAudioBuffer::rewindLocked()
{
    generation_.fetch_add(1, std::memory_order_acq_rel);
    queue_.clear();
    for (auto& s : state_) s.store(kFree, std::memory_order_release);
    current_ = -1;
    next_ = 0;
    position_ = 0;
    blocks_.store(0, std::memory_order_relaxed);
}

void CAudioBuffer::resetCounters()
{
    droppedBlocks_.store(0, std::memory_order_relaxed);
    silentBlocks_.store(0, std::memory_order_relaxed);
}

void CAudioBuffer::prefill()
{
    std::lock_guard lock(dataMutex_);
    const std::uint32_t generation = generation_.load(std::memory_order_relaxed);
    for (int i = 0; i < bufferCount(); ++i) {
        state_[i].store(kWithDisk, std::memory_order_release);
        queue_.push({i, generation, true});
        jobsPosted_.release();
    }
}

const std::uint8_t* CAudioBuffer::partialData() const
{
    return current_ < 0 ? nullptr : buffers_[static_cast<std::size_t>(current_)].data();
}

std::int64_t CAudioBuffer::partialLength() const { return current_ < 0 ? 0 : position_; }

// ---- Disk side ----------------------------------------------------------

void CAudioBuffer::completeJob(const BufferJob& job)
{
    if (isStale(job)) return;
    // The audio side told us by hand-over which way the buffer goes: a
    // recording's buffer comes back free, a playback buffer filled.
    int expected = kWithDisk;
    state_[job.index].compare_exchange_strong(expected, job.fill ? kFilled : kFree, std::memory_order_acq_rel);
}

// ---- Audio side ---------------------------------------------------------

bool CAudioBuffer::takeNextBuffer()
{
    if (state_[next_].load(std::memory_order_acquire) != kFree) return false;
    state_[next_].store(kCurrent, std::memory_order_relaxed);
    current_ = next_;
    position_ = 0;
    return true;
}

void CAudioBuffer::handOver(bool recording)
{
    const int done = current_;
    state_[done].store(kWithDisk, std::memory_order_release);
    queue_.push({done, generation_.load(std::memory_order_relaxed), !recording});
    jobsPosted_.release();
    next_ = (done + 1) % bufferCount();
    current_ = -1;
    position_ = 0;
    if (recording)
        takeNextBuffer();
    else
        current_ = next_;
}

void CAudioBuffer::writeBlock(const float* const* channels)
{
    if (!isStreaming()) return;
    std::unique_lock lock(dataMutex_, std::try_to_lock);
    if (!lock.owns_lock() || buffers_.empty() || (current_ < 0 && !takeNextBuffer())) {
        droppedBlocks_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    toFileSamples(channels);
    interleave(bytesPerSample_, byteScratch_, buffers_[static_cast<std::size_t>(current_)].data() + position_,
               static_cast<std::size_t>(framesPerBlock_), static_cast<std::size_t>(channels_));
    position_ += blockBytes();
    blocks_.fetch_add(1, std::memory_order_relaxed);
    if (position_ >= bufferLength_) handOver(true);
}

bool CAudioBuffer::readBlock(float* const* channels)
{
    if (!isStreaming()) return false;
    std::unique_lock lock(dataMutex_, std::try_to_lock);
    if (!lock.owns_lock() || buffers_.empty()) return false;
    if (current_ < 0) current_ = next_;
    if (state_[current_].load(std::memory_order_acquire) != kFilled) {
        silentBlocks_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    deinterleave(bytesPerSample_, buffers_[static_cast<std::size_t>(current_)].data() + position_, byteScratch_,
                 static_cast<std::size_t>(framesPerBlock_), static_cast<std::size_t>(channels_));
    fromFileSamples(channels);
    position_ += blockBytes();
    blocks_.fetch_add(1, std::memory_order_relaxed);
    if (position_ >= bufferLength_) handOver(false);
    return true;
}

void CAudioBuffer::toFileSamples(const float* const* channels)
{
    const int frames = framesPerBlock_;
    const int samples = floatScratchLength_;
    if (sampleType_ == kFloatSamples) {
        auto* planar = reinterpret_cast<float*>(byteScratch_);
        for (int c = 0; c < channels_; ++c) dspsCopy_32f(channels[c], planar + planarOffset(c), frames);
        return;
    }
    for (int c = 0; c < channels_; ++c)
        dspsMulC_32f(channels[c], toIntScale_, floatScratch_ + planarOffset(c), frames);
    switch (bytesPerSample_) {
    case 1:
        // 8-bit samples are unsigned around 128.
        dspsAddC_32f_I(128.0f, floatScratch_, samples);
        dspsConvert_32f8u_Sfs(floatScratch_, byteScratch_, samples, dspRndNear, 0);
        break;
    case 2: dspsConvert_32f16s_Sfs(floatScratch_, reinterpret_cast<Dsp16s*>(byteScratch_), samples, dspRndNear, 0); break;
    case 3: dspsConvert_32f24s_Sfs(floatScratch_, byteScratch_, samples, 0); break;
    default: dspsConvert_32f32s_Sfs(floatScratch_, reinterpret_cast<Dsp32s*>(byteScratch_), samples, dspRndNear, 0); break;
    }
}

void CAudioBuffer::fromFileSamples(float* const* channels)
{
    const int frames = framesPerBlock_;
    const int samples = floatScratchLength_;
    if (sampleType_ == kFloatSamples) {
        const auto* planar = reinterpret_cast<const float*>(byteScratch_);
        for (int c = 0; c < channels_; ++c) dspsCopy_32f(planar + planarOffset(c), channels[c], frames);
        return;
    }
    switch (bytesPerSample_) {
    case 1:
        dspsConvert_8u32f(byteScratch_, floatScratch_, samples);
        dspsAddC_32f_I(-128.0f, floatScratch_, samples);
        break;
    case 2: dspsConvert_16s32f(reinterpret_cast<const Dsp16s*>(byteScratch_), floatScratch_, samples); break;
    case 3: dspsConvert_24s32f(byteScratch_, floatScratch_, samples); break;
    default: dspsConvert_32s32f(reinterpret_cast<const Dsp32s*>(byteScratch_), floatScratch_, samples); break;
    }
    for (int c = 0; c < channels_; ++c)
        dspsMulC_32f(floatScratch_ + planarOffset(c), fromIntScale_, channels[c], frames);
}

}  // namespace orvelan::io
