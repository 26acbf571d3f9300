#include "framework/audio_class.h"

#include <algorithm>

vxResult vxAudioClass::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    input_ = in;
    output_ = out;
    configured_ = true;
    return vxOK;
}

vxResult vxAudioClass::process(float** in, float** out, int frames) {
    if (!configured_) return vxErrNotConfigured;
    const int channels = std::min(input_.channels(), output_.channels());
    if (channels > 0 && (in == nullptr || out == nullptr)) return vxErrBadArgument;
    vxKernelStatus status;
    for (int c = 0; c < channels; ++c) {
        if (input_.isReal())
            status.add(dspsCopy_32f(in[c], out[c], frames));
        else
            status.add(dspsCopy_32fc(reinterpret_cast<const Dsp32fc*>(in[c]), reinterpret_cast<Dsp32fc*>(out[c]),
                                     frames));
    }
    return status.result();
}

vxResult vxAudioClass::processDefault(float** in, float** out) {
    return process(in, out, input_.frames());
}

namespace {

// The checks both buffer entries make before processing.
vxResult checkBuffers(const vxAudioInterface& input, const vxAudioInterface& output, const vxAudioBuffer* in,
                      const vxAudioBuffer* out) {
    if (in == nullptr || out == nullptr || !in->isValid() || !out->isValid()) return vxErrBufferInvalid;
    if (!input.isCompatible(*in->format()) || !output.isCompatible(*out->format())) return vxErrFormat;
    return vxOK;
}

}  // namespace

vxResult vxAudioClass::processBuffers(vxAudioBuffer* in, vxAudioBuffer* out, int frames) {
    if (const vxResult r = checkBuffers(input_, output_, in, out)) return r;
    if (frames > input_.frames()) return vxErrFormat;
    return process(in->channelArray(), out->channelArray(), frames);
}

vxResult vxAudioClass::processBuffersDefault(vxAudioBuffer* in, vxAudioBuffer* out) {
    if (const vxResult r = checkBuffers(input_, output_, in, out)) return r;
    return process(in->channelArray(), out->channelArray(), in->format()->frames());
}

void vxAudioClass::reset() {}

vxResult vxAudioClass::stop() {
    running_.store(false, std::memory_order_relaxed);
    return vxOK;
}

vxResult vxAudioClass::start() {
    running_.store(true, std::memory_order_relaxed);
    return vxOK;
}

vxResult vxAudioClass::setParameter(int, int, const void*, int, int) { return vxErrNoParameter; }
vxResult vxAudioClass::getParameter(int, int, void*, int, int) { return vxErrNoParameter; }
vxResult vxAudioClass::setChannelParameter(int, int, const void*, int, int) { return vxErrNoChannelParameter; }
vxResult vxAudioClass::getChannelParameter(int, int, void*, int, int) { return vxErrNoChannelParameter; }

namespace {

vxResult registerTable(vxParameterTable& table, const vxParameterName* names, const int* counts, const int* types,
                       int count) {
    if (count < 0) return vxErrBadArgument;
    table = vxParameterTable{names, counts, types, count};
    return vxOK;
}

}  // namespace

vxResult vxAudioClass::setParameterTable(const vxParameterName* names, const int* counts, const int* types, int count) {
    return registerTable(globalTable_, names, counts, types, count);
}

vxResult vxAudioClass::setChannelParameterTable(const vxParameterName* names, const int* counts, const int* types,
                                                int count) {
    return registerTable(channelTable_, names, counts, types, count);
}

vxResult vxAudioClass::copyParameterValue(const void* src, int id, void* dst, int count, int type,
                                          bool channelTable) const {
    if (channelTable) return vxCopyParameterValue(channelTable_, vxErrNoChannelParameterId, src, id, dst, count, type);
    return vxCopyParameterValue(globalTable_, vxErrNoParameterId, src, id, dst, count, type);
}
