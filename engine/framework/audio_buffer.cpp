#include "framework/audio_buffer.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <new>

// One channel's samples behind a small header that counts the buffers holding
// them, in one 32-byte-aligned kernel block. The samples start 32 bytes in,
// so they keep the kernel alignment.
class vxChannelStorage {
public:
    // Storage for `floats` samples, held once; null when it cannot be had.
    static vxChannelStorage* create(std::int64_t floats) {
        const std::int64_t bytes = kHeaderBytes + floats * static_cast<std::int64_t>(sizeof(float));
        if (floats <= 0 || bytes > INT_MAX) return nullptr;
        void* block = dspsMalloc_8u(static_cast<int>(bytes));
        return block == nullptr ? nullptr : new (block) vxChannelStorage;
    }

    float* samples() { return reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(this) + kHeaderBytes); }

    void retain() { holders_.fetch_add(1, std::memory_order_relaxed); }
    void release() {
        if (holders_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            this->~vxChannelStorage();
            dspsFree(this);
        }
    }

private:
    static constexpr int kHeaderBytes = 32;
    vxChannelStorage() = default;
    std::atomic<int> holders_{1};
};

vxAudioBuffer::vxAudioBuffer(const vxAudioInterface& format) {
    format_.reset(new (std::nothrow) vxAudioInterface(format));
    valid_ = format_ != nullptr && allocatePointerArrays(format.channels());
    if (!valid_) format_.reset();
}

vxAudioBuffer::~vxAudioBuffer() {
    releaseChannels();
}

bool vxAudioBuffer::allocatePointerArrays(int channels) {
    if (channels < 0) return false;
    channels_.reset(new (std::nothrow) float*[channels]());
    holders_.reset(new (std::nothrow) vxChannelStorage*[channels]());
    if (channels_ == nullptr || holders_ == nullptr) {
        deletePointerArrays();
        return false;
    }
    arrayLength_ = channels;
    return true;
}

void vxAudioBuffer::deletePointerArrays() {
    releaseChannels();
    channels_.reset();
    holders_.reset();
    arrayLength_ = 0;
}

int vxAudioBuffer::floatsPerChannel() const {
    return format_->floatsPerSample() * format_->frames();
}

void vxAudioBuffer::holdChannel(int i, float* data, vxChannelStorage* storage) {
    if (storage != nullptr) storage->retain();
    vxChannelStorage* previous = holders_[i];
    channels_[i] = data;
    holders_[i] = storage;
    if (previous != nullptr) previous->release();
}

void vxAudioBuffer::releaseChannels() {
    for (int i = 0; i < arrayLength_; ++i) holdChannel(i, nullptr, nullptr);
}

vxResult vxAudioBuffer::reformat(const vxAudioInterface& format) {
    const bool ownedStorage = ownsStorage_;
    if (valid_) {
        freeStorage();
        releaseChannels();
        if (format.channels() != arrayLength_) deletePointerArrays();
        *format_ = format;
    } else {
        // Whatever an earlier failure left behind is rebuilt from scratch.
        deletePointerArrays();
        format_.reset(new (std::nothrow) vxAudioInterface(format));
        if (format_ == nullptr) return vxErrReformatMemory;
    }
    if (channels_ == nullptr && !allocatePointerArrays(format.channels())) {
        format_.reset();
        valid_ = false;
        return vxErrReformatMemory;
    }
    valid_ = true;
    return ownedStorage ? allocateStorage() : vxOK;
}

vxResult vxAudioBuffer::allocateStorage() {
    if (!valid_) return vxErrBufferInvalid;
    freeStorage();
    if (format_->frames() > 0) {
        const std::int64_t floats = static_cast<std::int64_t>(format_->floatsPerSample()) * format_->frames();
        for (int i = 0; i < arrayLength_; ++i) {
            vxChannelStorage* storage = vxChannelStorage::create(floats);
            if (storage == nullptr) {
                releaseChannels();
                return vxErrReformatMemory;
            }
            holdChannel(i, storage->samples(), storage);
            storage->release();  // the buffer's hold is the only one
        }
    }
    ownsStorage_ = true;
    clear();
    return vxOK;
}

void vxAudioBuffer::freeStorage() {
    if (ownsStorage_ && valid_) releaseChannels();
    ownsStorage_ = false;
}

void vxAudioBuffer::clear() {
    if (!valid_ || format_->frames() <= 0) return;
    for (int i = 0; i < arrayLength_; ++i)
        if (channels_[i] != nullptr) dspsZero_32f(channels_[i], floatsPerChannel());
}

vxResult vxAudioBuffer::shareChannels(const vxAudioBuffer& from) {
    if (!valid_ || !from.valid_) return vxErrBufferInvalid;
    if (format_->channels() != from.format_->channels() || format_->frames() != from.format_->frames() ||
        format_->isReal() != from.format_->isReal() || ownsStorage_ || channels_ == nullptr)
        return vxErrFormat;
    for (int i = 0; i < arrayLength_; ++i) holdChannel(i, from.channels_[i], from.holders_[i]);
    return vxOK;
}

vxResult vxAudioBuffer::mapChannels(const vxAudioBuffer& from, int count, int srcOffset, int dstOffset) {
    if (!valid_ || !from.valid_) return vxErrBufferInvalid;
    if (format_->frames() != from.format_->frames() || format_->isReal() != from.format_->isReal() ||
        ownsStorage_ || channels_ == nullptr)
        return vxErrFormat;
    const auto inside = [](int offset, int count, int channels) {
        return offset >= 0 && count >= 0 && static_cast<std::int64_t>(offset) + count <= channels;
    };
    if (!inside(dstOffset, count, arrayLength_) || !inside(srcOffset, count, from.arrayLength_))
        return vxErrChannelRange;
    for (int i = 0; i < count; ++i)
        holdChannel(dstOffset + i, from.channels_[srcOffset + i], from.holders_[srcOffset + i]);
    return vxOK;
}

float* vxAudioBuffer::channelData(int i) const {
    if (channels_ == nullptr || i < 0 || i >= arrayLength_) return nullptr;
    return channels_[i];
}
