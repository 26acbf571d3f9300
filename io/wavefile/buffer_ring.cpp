#include "wavefile/buffer_ring.h"

#include <xmmintrin.h>


#include "dsp.h"

namespace orvelan::io {

namespace {

// Planar float channels to the file's frame-by-frame order and back,
// optionally scaled on the way. Four frames of four channels at a time move
// as a 4 x 4 transpose in registers (a sample-by-sample copy reads every
// channel at a stride, one sample per access); the channels and frames
// beyond whole fours go one by one. Unscaled, only moves: every bit, NaNs
// included, comes through. Scaled, each sample is multiplied once in
// single precision, as a separate multiplying pass would.
struct NoScale {
    __m128 operator()(__m128 v) const { return v; }
    float operator()(float v) const { return v; }
};
struct Scale {
    float factor;
    __m128 operator()(__m128 v) const { return _mm_mul_ps(v, _mm_set1_ps(factor)); }
    float operator()(float v) const { return v * factor; }
};

template <class Scaling>
void interleaveFloats(const float* const* channels, float* out, int frames, int channelCount, Scaling scale)
{
    const int channels4 = channelCount & ~3, frames4 = frames & ~3;
    const auto at = [&](int f, int c) { return out + static_cast<std::size_t>(f) * static_cast<std::size_t>(channelCount) + c; };
    for (int f = 0; f < frames4; f += 4) {
        for (int c = 0; c < channels4; c += 4) {
            __m128 r0 = scale(_mm_loadu_ps(channels[c] + f)), r1 = scale(_mm_loadu_ps(channels[c + 1] + f));
            __m128 r2 = scale(_mm_loadu_ps(channels[c + 2] + f)), r3 = scale(_mm_loadu_ps(channels[c + 3] + f));
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            _mm_storeu_ps(at(f, c), r0);
            _mm_storeu_ps(at(f + 1, c), r1);
            _mm_storeu_ps(at(f + 2, c), r2);
            _mm_storeu_ps(at(f + 3, c), r3);
        }
        for (int g = f; g < f + 4; ++g)
            for (int c = channels4; c < channelCount; ++c) *at(g, c) = scale(channels[c][g]);
    }
    for (int f = frames4; f < frames; ++f)
        for (int c = 0; c < channelCount; ++c) *at(f, c) = scale(channels[c][f]);
}

template <class Scaling>
void deinterleaveFloats(const float* in, float* const* channels, int frames, int channelCount, Scaling scale)
{
    const int channels4 = channelCount & ~3, frames4 = frames & ~3;
    const auto at = [&](int f, int c) { return in + static_cast<std::size_t>(f) * static_cast<std::size_t>(channelCount) + c; };
    for (int f = 0; f < frames4; f += 4) {
        for (int c = 0; c < channels4; c += 4) {
            __m128 r0 = _mm_loadu_ps(at(f, c)), r1 = _mm_loadu_ps(at(f + 1, c));
            __m128 r2 = _mm_loadu_ps(at(f + 2, c)), r3 = _mm_loadu_ps(at(f + 3, c));
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            _mm_storeu_ps(channels[c] + f, scale(r0));
            _mm_storeu_ps(channels[c + 1] + f, scale(r1));
            _mm_storeu_ps(channels[c + 2] + f, scale(r2));
            _mm_storeu_ps(channels[c + 3] + f, scale(r3));
        }
        for (int g = f; g < f + 4; ++g)
            for (int c = channels4; c < channelCount; ++c) channels[c][g] = scale(*at(g, c));
    }
    for (int f = frames4; f < frames; ++f)
        for (int c = 0; c < channelCount; ++c) channels[c][f] = scale(*at(f, c));
}

}  // namespace


CAudioBuffer::CAudioBuffer()
{
    for (auto& s : state_) s.store(kFree, std::memory_order_relaxed);
}

CAudioBuffer::~CAudioBuffer() { releaseScratch(); }

void CAudioBuffer::releaseScratch()
{
    dspsFree(frameScratch_);
    frameScratch_ = nullptr;
    scratchLength_ = 0;
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

    if (samples != scratchLength_) {
        releaseScratch();
        if (samples > 0) {
            frameScratch_ = dspsMalloc_32f(static_cast<int>(samples));
            scratchLength_ = static_cast<int>(samples);
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

bool CAudioBuffer::nextReadFilled()
{
    std::lock_guard lock(dataMutex_);
    if (buffers_.empty()) return false;
    const int index = current_ < 0 ? next_ : current_;
    return state_[index].load(std::memory_order_acquire) == kFilled;
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
    fromFileSamples(channels);
    position_ += blockBytes();
    blocks_.fetch_add(1, std::memory_order_relaxed);
    if (position_ >= bufferLength_) handOver(false);
    return true;
}

// The scale and the conversion work sample by sample: the scale is applied
// while the samples move into the file's order, and the conversion runs on
// them there, writing straight into the ring (playback: the reverse).
void CAudioBuffer::toFileSamples(const float* const* channels)
{
    const int frames = framesPerBlock_;
    const int samples = scratchLength_;
    std::uint8_t* file = buffers_[static_cast<std::size_t>(current_)].data() + position_;
    if (sampleType_ == kFloatSamples) {
        interleaveFloats(channels, reinterpret_cast<float*>(file), frames, channels_, NoScale{});
        return;
    }
    interleaveFloats(channels, frameScratch_, frames, channels_, Scale{toIntScale_});
    switch (bytesPerSample_) {
    case 1:
        // 8-bit samples are unsigned around 128.
        dspsAddC_32f_I(128.0f, frameScratch_, samples);
        dspsConvert_32f8u_Sfs(frameScratch_, file, samples, dspRndNear, 0);
        break;
    case 2: dspsConvert_32f16s_Sfs(frameScratch_, reinterpret_cast<Dsp16s*>(file), samples, dspRndNear, 0); break;
    case 3: dspsConvert_32f24s_Sfs(frameScratch_, file, samples, 0); break;
    default: dspsConvert_32f32s_Sfs(frameScratch_, reinterpret_cast<Dsp32s*>(file), samples, dspRndNear, 0); break;
    }
}

void CAudioBuffer::fromFileSamples(float* const* channels)
{
    const int frames = framesPerBlock_;
    const int samples = scratchLength_;
    const std::uint8_t* file = buffers_[static_cast<std::size_t>(current_)].data() + position_;
    if (sampleType_ == kFloatSamples) {
        deinterleaveFloats(reinterpret_cast<const float*>(file), channels, frames, channels_, NoScale{});
        return;
    }
    switch (bytesPerSample_) {
    case 1:
        dspsConvert_8u32f(file, frameScratch_, samples);
        dspsAddC_32f_I(-128.0f, frameScratch_, samples);
        break;
    case 2: dspsConvert_16s32f(reinterpret_cast<const Dsp16s*>(file), frameScratch_, samples); break;
    case 3: dspsConvert_24s32f(file, frameScratch_, samples); break;
    default: dspsConvert_32s32f(reinterpret_cast<const Dsp32s*>(file), frameScratch_, samples); break;
    }
    deinterleaveFloats(frameScratch_, channels, frames, channels_, Scale{fromIntScale_});
}

}  // namespace orvelan::io
