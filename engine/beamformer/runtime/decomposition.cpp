#include "beamformer/runtime/decomposition.h"

#include <new>

#include "beamformer/runtime/components.h"
#include "beamformer/runtime/weighted_sum.h"

namespace {
constexpr int kNotOrderThree = 101;
constexpr int kNotOrderThreeFilters = 102;
constexpr int kNot32Capsules = 103;
constexpr int kBadRadialMode = 105;
constexpr int kCapsules = 32;

int componentOrder(int k) {
    int n = 0;
    while ((n + 1) * (n + 1) <= k) ++n;
    return n;
}
}  // namespace

CEbf::~CEbf() {
    releaseBiquads();
    releaseFirs();
}

void CEbf::releaseBiquads() {
    for (Component& c : components_) {
        if (c.biquads != nullptr) dspsIIRFree64f_32f(c.biquads);
        c.biquads = nullptr;
    }
}

void CEbf::releaseFirs() {
    for (Component& c : components_) {
        if (c.fir != nullptr) dspsFIRFree_32f(c.fir);
        c.fir = nullptr;
        c.alignment.reset();
    }
    firLatency_ = 0.0f;
}

vxResult CEbf::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    if (!in.isTimeDomain() || !out.isTimeDomain() || !in.isReal() || !out.isReal() ||
        in.sampleRate() != out.sampleRate() || in.framesPerBuffer() != out.framesPerBuffer() ||
        orvelan::beamformer::highestOrderFor(out.channels()) < 0)
        return vxErrFormat;
    order_ = orvelan::beamformer::highestOrderFor(out.channels());
    componentCount_ = out.channels();
    return vxAudioClass::configure(in, out);
}

int CEbf::setEncoderMatrix(const float* const* rows) {
    if (isRunning()) return vxErrRunning;
    if (order_ != 3) return kNotOrderThree;
    if (inputFormat().channels() != kCapsules) return kNot32Capsules;
    if (rows == nullptr) return vxErrBadArgument;
    for (int k = 0; k < componentCount_; ++k) {
        if (rows[k] == nullptr || !components_[k].row.allocate(kCapsules)) return vxErrAllocation;
        dspsCopy_32f(rows[k], components_[k].row.data(), kCapsules);
    }
    return vxOK;
}

int CEbf::setRadialBiquads(const double* const* sections, const int* sectionCounts) {
    if (isRunning()) return vxErrRunning;
    if (order_ != 3) return kNotOrderThreeFilters;
    if (sections == nullptr || sectionCounts == nullptr) return vxErrBadArgument;
    releaseBiquads();
    for (int k = 0; k < componentCount_; ++k) {
        const int n = componentOrder(k);
        // A cascade that cannot be made leaves the component unfiltered.
        if (dspsIIRInitAlloc64f_BiQuad_32f(&components_[k].biquads, sections[n], sectionCounts[n], nullptr) != dspStsNoErr)
            components_[k].biquads = nullptr;
    }
    return vxOK;
}

int CEbf::setRadialFirs(const float* const* taps, const int* lengths) {
    if (isRunning()) return vxErrRunning;
    if (order_ != 3) return kNotOrderThreeFilters;
    if (taps == nullptr || lengths == nullptr) return vxErrBadArgument;
    for (int n = 0; n < kOrders; ++n)
        if (taps[n] == nullptr || lengths[n] < 1 || lengths[n] > kLongestRadialFir) return vxErrBadArgument;
    releaseFirs();
    for (int k = 0; k < componentCount_; ++k) {
        const int n = componentOrder(k);
        Component& c = components_[k];
        c.alignment.reset(new (std::nothrow) CDelayLine);
        if (c.alignment == nullptr || c.alignment->setDelay((kLongestRadialFir - lengths[n]) / 2) != 0 ||
            dspsFIRInitAlloc_32f(&c.fir, taps[n], lengths[n], nullptr) != dspStsNoErr) {
            releaseFirs();
            return vxErrAllocation;
        }
    }
    firLatency_ = static_cast<float>(kRadialFirLatency);
    return vxOK;
}

int CEbf::setRadialMode(int mode) {
    if (isRunning()) return vxErrRunning;
    if (mode < 0 || mode > kNoRadialFilter) return kBadRadialMode;
    if (mode == kRadialBiquadsAndFirs)
        for (int k = 0; k < componentCount_; ++k)
            if (components_[k].fir == nullptr || components_[k].alignment == nullptr) return kBadRadialMode;
    radialMode_ = mode;
    return vxOK;
}

vxResult CEbf::process(float** capsules, float** components, int frames) {
    const int capsuleCount = inputFormat().channels();
    for (int k = 0; k < componentCount_; ++k) {
        Component& c = components_[k];
        float* out = components[k];
        if (c.row.empty()) {
            dspsZero_32f(out, frames);
            continue;
        }
        orvelan::beamformer::weightedSum(capsules, c.row.data(), capsuleCount, out, frames);
        if (radialMode_ != kNoRadialFilter && c.biquads != nullptr) dspsIIR64f_32f_I(out, frames, c.biquads);
        if (radialMode_ == kRadialBiquadsAndFirs) {
            dspsFIR_32f_I(out, frames, c.fir);
            c.alignment->delayProcess(out, out, frames);
        }
    }
    return vxOK;
}

void CEbf::reset() {
    for (int k = 0; k < componentCount_; ++k) {
        Component& c = components_[k];
        if (c.biquads != nullptr) dspsIIRSetDlyLine64f_32f(c.biquads, nullptr);
        if (c.fir != nullptr) dspsFIRSetDlyLine_32f(c.fir, nullptr);
        if (c.alignment != nullptr) c.alignment->clear();
    }
}

vxResult CEbf::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}
