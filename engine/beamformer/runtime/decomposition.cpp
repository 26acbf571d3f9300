#include "beamformer/runtime/decomposition.h"

#include <new>

#include "beamformer/runtime/components.h"
#include "dsp/weighted_sum.h"

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

CEbf::~CEbf() { releaseFirs(); }

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
    const double* laneSections[vxRadialCascades::kLanes];
    int laneCounts[vxRadialCascades::kLanes];
    for (int k = 0; k < vxRadialCascades::kLanes; ++k) {
        laneSections[k] = sections[componentOrder(k)];
        laneCounts[k] = sectionCounts[componentOrder(k)];
    }
    // Cascades that cannot be made leave their components unfiltered.
    radial_.load(laneSections, laneCounts);
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
    const float* rows[kMaxComponents];
    float* encoded[kMaxComponents];
    int count = 0;
    for (int k = 0; k < componentCount_; ++k) {
        if (components_[k].row.empty()) {
            dspsZero_32f(components[k], frames);
            continue;
        }
        rows[count] = components_[k].row.data();
        encoded[count++] = components[k];
    }
    orvelan::beamformer::weightedSums(capsules, rows, capsuleCount, encoded, count, frames);
    // Cascades are loaded only for the 16 components of order 3.
    if (radialMode_ != kNoRadialFilter && componentCount_ == vxRadialCascades::kLanes)
        radial_.process(components, frames);
    if (radialMode_ == kRadialBiquadsAndFirs)
        for (int k = 0; k < componentCount_; ++k) {
            // A failed reload of the FIRs leaves none.
            if (components_[k].fir == nullptr) continue;
            dspsFIR_32f_I(components[k], frames, components_[k].fir);
            components_[k].alignment->delayProcess(components[k], components[k], frames);
        }
    return vxOK;
}

void CEbf::reset() {
    radial_.reset();
    for (int k = 0; k < componentCount_; ++k) {
        Component& c = components_[k];
        if (c.fir != nullptr) dspsFIRSetDlyLine_32f(c.fir, nullptr);
        if (c.alignment != nullptr) c.alignment->clear();
    }
}

vxResult CEbf::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}
