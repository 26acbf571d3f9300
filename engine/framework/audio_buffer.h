// A multichannel float buffer: an array of channel pointers with its own copy
// of the stream format. A buffer either owns its samples (one 32-byte-aligned
// kernel vector per channel, from `allocateStorage`) or borrows another
// buffer's channels without copying (`shareChannels`, `mapChannels`), which
// is how blocks of a chain hand signals on: writing through either buffer
// changes both.
//
// Channel storage is counted: every buffer holding a channel, owner or
// borrower, keeps it alive. When the owner reformats, frees its storage or
// is destroyed, its borrowers keep the samples they were lent (no dangling
// pointers), but they no longer see the owner's new storage until they share
// or map again.
//
// Set-up operations (everything but `channelArray`, `channelData`, `format`)
// belong to the thread that builds the chain; blocks only read and write the
// samples.
#pragma once

#include <memory>

#include "framework/audio_interface.h"
#include "framework/result_codes.h"

class vxChannelStorage;

class vxAudioBuffer {
public:
    // A buffer of the format's channels, every pointer null, owning nothing.
    // It is not valid when the format copy or the pointer array cannot be
    // allocated (or the channel count is negative).
    explicit vxAudioBuffer(const vxAudioInterface& format);
    virtual ~vxAudioBuffer();
    vxAudioBuffer(const vxAudioBuffer&) = delete;
    vxAudioBuffer& operator=(const vxAudioBuffer&) = delete;

    // Takes a new format: every channel pointer becomes null; a buffer that
    // owned storage allocates fresh storage for the new format, a borrowing
    // one must share or map again. vxOK, or vxErrReformatMemory (the buffer
    // is then not valid until a later reformat succeeds).
    vxResult reformat(const vxAudioInterface& format);

    // Owned, zeroed storage for every channel (replacing what the buffer
    // owned). vxOK, vxErrBufferInvalid, or vxErrReformatMemory when any
    // channel cannot be allocated (the buffer then owns nothing).
    vxResult allocateStorage();
    // Lets go of owned storage; borrowed channels stay as they are.
    void freeStorage();
    // Zeroes every channel that has storage.
    void clear();

    // Borrows every channel pointer of `from`. vxOK; vxErrBufferInvalid when
    // either buffer is not valid; vxErrFormat when channel count, frames or
    // sample kind differ or this buffer owns storage (domain and sample rate
    // are not compared).
    vxResult shareChannels(const vxAudioBuffer& from);
    // Borrows `count` consecutive channels of `from`, starting at its channel
    // srcOffset, into this buffer's channels from dstOffset on. The same
    // source channel may be mapped into several destinations. vxOK;
    // vxErrBufferInvalid; vxErrFormat (frames or sample kind differ, or this
    // buffer owns storage); vxErrChannelRange when either range does not lie
    // inside its buffer.
    vxResult mapChannels(const vxAudioBuffer& from, int count, int srcOffset, int dstOffset);

    // The pointer of channel i; null when i is not a channel of the buffer.
    float* channelData(int i) const;
    // The pointer array itself, as blocks' `process` receives it.
    float** channelArray() { return channels_.get(); }
    // The buffer's own format; null when the buffer is not valid.
    const vxAudioInterface* format() const { return format_.get(); }

    bool isValid() const { return valid_; }
    bool ownsStorage() const { return ownsStorage_; }
    // Entries of the pointer array (the format's channel count when valid).
    int channelCount() const { return arrayLength_; }

private:
    // Floats per channel of the current format.
    int floatsPerChannel() const;
    // Channel i takes pointer `data` held through `storage` (or nothing).
    void holdChannel(int i, float* data, vxChannelStorage* storage);
    // Every channel pointer becomes null, letting go of what it held.
    void releaseChannels();
    bool allocatePointerArrays(int channels);
    void deletePointerArrays();

    std::unique_ptr<float*[]> channels_;
    // Parallel to channels_: the counted storage each channel holds, or null.
    std::unique_ptr<vxChannelStorage*[]> holders_;
    int arrayLength_ = 0;
    bool ownsStorage_ = false;
    bool valid_ = false;
    std::unique_ptr<vxAudioInterface> format_;
};
