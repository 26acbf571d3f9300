// The abstract processing block. A block is configured with an input and an
// output format, started and stopped, and driven once per processing block
// on the audio thread with arrays of channel pointers, raw or wrapped in
// vxAudioBuffer objects. Its settings travel through a global and a
// per-channel parameter table (parameter_table.h).
//
// Threads: `process` and its wrappers run on the audio thread; `configure`,
// `start`, `stop`, `reset` and the parameter operations on the control
// thread. The framework holds no lock; `running` is the guard against
// reconfiguration while streaming (configure refuses with vxErrRunning).
//
// A derived block replaces the operations it needs; the base behaviour of
// each is given below.
#pragma once

#include <atomic>

#include "framework/audio_buffer.h"
#include "framework/audio_interface.h"
#include "framework/parameter_table.h"
#include "framework/result_codes.h"

class vxAudioClass {
public:
    virtual ~vxAudioClass() = default;
    vxAudioClass(const vxAudioClass&) = delete;
    vxAudioClass& operator=(const vxAudioClass&) = delete;

    // vxErrRunning while running (the formats stay); else takes both formats
    // and marks the block configured.
    virtual vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out);

    // Base: vxErrNotConfigured; else copies the first min(input, output
    // channels) channels, `frames` samples each (complex samples when the
    // input is not real); vxErrKernelBase + status when a copy fails.
    virtual vxResult process(float** in, float** out, int frames);
    // `process` with the input format's frames.
    virtual vxResult processDefault(float** in, float** out);
    // vxErrBufferInvalid for a missing or invalid buffer; vxErrFormat unless
    // each buffer's format is compatible with the block's format on its side
    // and `frames` does not exceed the input format's frames; else `process`
    // on the buffers' channel arrays.
    virtual vxResult processBuffers(vxAudioBuffer* in, vxAudioBuffer* out, int frames);
    // The same checks, then `process` with the frames of in's format.
    virtual vxResult processBuffersDefault(vxAudioBuffer* in, vxAudioBuffer* out);

    // Clears the block's history (filter states, levels), keeping its
    // configuration. Base: nothing.
    virtual void reset();
    virtual vxResult stop();
    virtual vxResult start();

    // Base: vxErrNoParameter. `index` is not used by any block here.
    [[nodiscard]] virtual vxResult setParameter(int index, int id, const void* data, int count, int type);
    virtual vxResult getParameter(int index, int id, void* data, int count, int type);
    // Base: vxErrNoChannelParameter.
    [[nodiscard]] virtual vxResult setChannelParameter(int channel, int id, const void* data, int count, int type);
    virtual vxResult getChannelParameter(int channel, int id, void* data, int count, int type);

    bool isRunning() const { return running_.load(std::memory_order_relaxed); }
    bool isConfigured() const { return configured_; }
    const vxAudioInterface& inputFormat() const { return input_; }
    const vxAudioInterface& outputFormat() const { return output_; }
    const vxParameterTable& parameterTable() const { return globalTable_; }
    const vxParameterTable& channelParameterTable() const { return channelTable_; }
    // Identifies the concrete block class; 0 for blocks that do not set one.
    int classId() const { return classId_; }

protected:
    vxAudioClass() = default;

    // Register the block's static tables (not copied). vxErrBadArgument when
    // count is negative, else vxOK.
    vxResult setParameterTable(const vxParameterName* names, const int* counts, const int* types, int count);
    vxResult setChannelParameterTable(const vxParameterName* names, const int* counts, const int* types, int count);

    // Copies parameter `id` between a caller's memory and the block's, in
    // either direction (setters pass the caller's data as src, getters as
    // dst), checked against the channel table or the global table:
    // vxOK, vxErrParameterMismatch, vxErrUnknownType, or
    // vxErrNoChannelParameterId / vxErrNoParameterId for an id outside the
    // table.
    vxResult copyParameterValue(const void* src, int id, void* dst, int count, int type, bool channelTable) const;

    void setClassId(int id) { classId_ = id; }

private:
    vxAudioInterface input_;
    vxAudioInterface output_;
    vxParameterTable globalTable_;
    vxParameterTable channelTable_;
    std::atomic<bool> running_{false};
    bool configured_ = false;
    int classId_ = 0;
};
