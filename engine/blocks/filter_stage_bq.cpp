#include "blocks/filter_stage_bq.h"

#include <algorithm>
#include <thread>

namespace {

// Every section passes its input on unchanged: b0 = a0, the rest 0.
bool isIdentity(const Dsp64f* taps, int sections) {
    for (int s = 0; s < sections; ++s) {
        const Dsp64f* t = taps + CFilterStageBq::kTapsPerSection * s;
        if (t[0] != t[3] || t[1] != 0.0 || t[2] != 0.0 || t[4] != 0.0 || t[5] != 0.0) return false;
    }
    return true;
}

// What identity sections output: the input plus the zero history, so -0
// comes out as +0 (and a denormal as zero where the processor flushes
// them), exactly as the filter's own arithmetic has it.
void passThrough(const float* in, float* out, int frames) {
    for (int i = 0; i < frames; ++i) out[i] = in[i] + 0.0f;
}

}  // namespace

void CFilterStageBq::Channel::clear() {
    if (filter != nullptr) dspsIIRFree64f_32f(filter);
    dspsFree(taps);
    filter = nullptr;
    taps = nullptr;
    sections = 0;
    identity = true;
    identitySamples = kIdentityDrain;
    handOver.store(kIdle, std::memory_order_relaxed);
}

void CFilterStageBq::Channel::takeHandedOverTaps() {
    int expected = kPending;
    if (handOver.load(std::memory_order_relaxed) != kPending ||
        !handOver.compare_exchange_strong(expected, kLoading, std::memory_order_acquire))
        return;
    dspsIIRSetTaps64f_32f(taps, filter);
    const bool wasIdentity = identity;
    identity = isIdentity(taps, sections);
    // Identity taps after others start on the history those left behind.
    if (identity && !wasIdentity) identitySamples = 0;
    handOver.store(kIdle, std::memory_order_release);
}

DspStatus CFilterStageBq::Channel::run(const float* in, float* out, int frames) {
    if (identity && identitySamples >= kIdentityDrain) {
        passThrough(in, out, frames);
        return dspStsNoErr;
    }
    if (identity) identitySamples = std::min(kIdentityDrain, identitySamples + std::max(frames, 0));
    return dspsIIR64f_32f(in, out, frames, filter);
}

vxResult CFilterStageBq::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    if (in.channels() != out.channels() || !in.isTimeDomain() || !out.isTimeDomain() || !in.isReal() ||
        !out.isReal() || in.sampleRate() != out.sampleRate())
        return vxErrFormat;
    vxAudioClass::configure(in, out);
    if (!channels_.allocate(std::max(in.channels(), 0))) return vxErrAllocation;
    return vxOK;
}

int CFilterStageBq::setSections(const int* counts, int n) {
    if (isRunning()) return vxErrRunning;
    if (counts == nullptr || n != channels() || std::any_of(counts, counts + n, [](int k) { return k < 0; }))
        return vxErrBadArgument;

    vxKernelArray<Dsp64f> identity;
    const int most = n > 0 ? *std::max_element(counts, counts + n) : 0;
    if (!identity.allocate(kTapsPerSection * most)) return dspStsMemAllocErr;
    for (int s = 0; s < most; ++s) {
        identity[kTapsPerSection * s] = 1.0;
        identity[kTapsPerSection * s + 3] = 1.0;
    }

    int result = 0;
    const auto failed = [&result](int status) {
        if (result == 0) result = status;
    };
    for (int c = 0; c < n; ++c) {
        Channel& channel = channels_[c];
        channel.clear();
        if (counts[c] == 0) continue;
        const int tapCount = kTapsPerSection * counts[c];
        channel.taps = reinterpret_cast<Dsp64f*>(dspsMalloc_8u(tapCount * static_cast<int>(sizeof(Dsp64f))));
        if (channel.taps == nullptr) {
            failed(dspStsMemAllocErr);
            continue;
        }
        if (const DspStatus status = dspsIIRInitAlloc64f_BiQuad_32f(&channel.filter, identity.data(), counts[c], nullptr)) {
            channel.clear();
            failed(status);
            continue;
        }
        dspsCopy_64f(identity.data(), channel.taps, tapCount);
        channel.sections = counts[c];
    }
    return result;
}

vxResult CFilterStageBq::setTaps(int channel, const double* taps) {
    if (channel < 0 || channel >= channels() || taps == nullptr) return vxErrBadArgument;
    Channel& target = channels_[channel];
    if (target.sections == 0) return vxErrNoSections;
    for (int s = 0; s < target.sections; ++s)
        if (taps[kTapsPerSection * s] == 0.0 || taps[kTapsPerSection * s + 3] == 0.0) return vxErrBadArgument;

    // Claim the taps from the audio thread: wait only while it is loading
    // the previous ones (a copy of a few doubles) or another setter writes.
    for (int expected = target.handOver.load(std::memory_order_relaxed);;) {
        if (expected == kIdle || expected == kPending) {
            if (target.handOver.compare_exchange_weak(expected, kWriting, std::memory_order_acquire)) break;
        } else {
            std::this_thread::yield();
            expected = target.handOver.load(std::memory_order_relaxed);
        }
    }
    dspsCopy_64f(taps, target.taps, kTapsPerSection * target.sections);
    target.handOver.store(kPending, std::memory_order_release);
    return vxOK;
}

vxResult CFilterStageBq::process(float** in, float** out, int frames) {
    if (channels() > 0 && (in == nullptr || out == nullptr)) return vxErrBadArgument;
    vxKernelStatus status;
    for (int c = 0; c < channels(); ++c) {
        Channel& channel = channels_[c];
        if (channel.filter == nullptr) {
            if (in[c] != out[c]) status.add(dspsCopy_32f(in[c], out[c], frames));
            continue;
        }
        channel.takeHandedOverTaps();
        status.add(channel.run(in[c], out[c], frames));
    }
    return status.result();
}

void CFilterStageBq::reset() {
    for (Channel& channel : channels_)
        if (channel.filter != nullptr) {
            dspsIIRSetDlyLine64f_32f(channel.filter, nullptr);
            channel.identitySamples = kIdentityDrain;
        }
}

vxResult CFilterStageBq::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}
