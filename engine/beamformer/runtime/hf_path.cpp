#include "beamformer/runtime/hf_path.h"

#include <cmath>

#include "beamformer/tables/beamformer_tables.h"

namespace {
namespace tables = orvelan::beamformer::tables;
constexpr int kBadMode = 101;
constexpr int kNeeds32Capsules = 102;
constexpr int kNoAngles = 6;
}  // namespace

vxResult CRoHf::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    if (!in.isTimeDomain() || !out.isTimeDomain() || !in.isReal() || !out.isReal() || out.channels() != 1 ||
        in.sampleRate() != out.sampleRate() || in.framesPerBuffer() != out.framesPerBuffer())
        return vxErrFormat;
    vxAudioClass::configure(in, out);
    for (auto& g : gains_)
        if (!g.allocate(out.framesPerBuffer())) return vxErrAllocation;
    if (!corrected_.allocate(out.framesPerBuffer()) || !correctionGains_.allocate(out.framesPerBuffer()))
        return vxErrAllocation;
    correctionFir_ = nullptr;
    int stateBytes = 0;
    if (dspsFIRGetStateSize_32f(tables::kTriangleCorrectionLength, &stateBytes) != dspStsNoErr ||
        !correctionState_.allocate(stateBytes) ||
        dspsFIRInit_32f(&correctionFir_, tables::kTriangleCorrectionTaps, tables::kTriangleCorrectionLength, nullptr,
                        correctionState_.data()) != dspStsNoErr)
        return vxErrAllocation;
    const int length = static_cast<int>(kRampMs * out.sampleRate() * 0.001f);
    if (length > 1) {
        if (!ramp_.allocate(length)) return vxErrAllocation;
        for (int k = 0; k < length; ++k) ramp_[k] = std::pow(10.0f, -2.0f * float(k) / float(length - 1));
    } else {
        ramp_.release();
    }
    reset();
    return vxOK;
}

int CRoHf::setHfMode(int mode) {
    if (mode < kOff || mode > kTriangle) return kBadMode;
    if (mode != kOff && inputFormat().channels() != kCapsules) return kNeeds32Capsules;
    requestedMode_.store(mode, std::memory_order_release);
    return 0;
}

int CRoHf::setAngleSource(const int* theta, const int* phi) {
    if (theta == nullptr || phi == nullptr) return vxErrBadArgument;
    theta_ = theta;
    phi_ = phi;
    return 0;
}

int CRoHf::cellAt(int mode, int theta, int phi) {
    const int index = theta * tables::kGridColumns + phi;
    return mode == kNearestCapsule ? tables::kNearestCapsuleGrid[index] : tables::kTriangleGrid[index];
}

CRoHf::CellSet CRoHf::cellSet(int mode, int cell) {
    CellSet set;
    set.cell = cell;
    if (mode == kNearestCapsule) {
        set.count = 1;
        set.capsules[0] = cell;
    } else {
        set.count = 3;
        for (int c = 0; c < 3; ++c) set.capsules[c] = tables::kTriangleTable[c * tables::kTriangleCount + cell];
    }
    set.weight = 1.0f / float(set.count);
    return set;
}

void CRoHf::addGains(const CellSet& set, int i, float gain) {
    for (int c = 0; c < set.count; ++c) {
        const int capsule = set.capsules[c];
        gains_[capsule][i] += set.weight * gain;
        if (!active_[capsule]) {
            active_[capsule] = true;
            activeList_[activeCount_++] = capsule;
        }
    }
}

bool CRoHf::heldInCell(int frames) const {
    if (!heldLookShortcut_ || !haveCell_ || current_.cell < 0 || rampLeft_ > 0) return false;
    // Differences gathered over the block rather than a loop that stops at
    // the first: the comparison then runs several samples per instruction.
    const int theta = theta_[0], phi = phi_[0];
    int differs = 0;
    for (int i = 1; i < frames; ++i) differs |= (theta_[i] ^ theta) | (phi_[i] ^ phi);
    if (differs != 0) return false;
    return cellAt(mode_, theta, phi) == current_.cell;
}

void CRoHf::cellMean(float* const* capsules, float* out, int frames) const {
    // The gains' sum in the same order: each capsule times 1 / capsules per
    // cell, added one after another.
    const float w = current_.weight;
    const float* first = capsules[current_.capsules[0]];
    for (int i = 0; i < frames; ++i) out[i] = first[i] * w;
    for (int c = 1; c < current_.count; ++c) {
        const float* x = capsules[current_.capsules[c]];
        for (int i = 0; i < frames; ++i) out[i] += x[i] * w;
    }
}

vxResult CRoHf::process(float** capsules, float** out, int frames) {
    const int requested = requestedMode_.load(std::memory_order_acquire);
    // Between two capsule modes the sets ramp like a cell change, and like a
    // cell change the next mode waits for a running ramp to end (dropping
    // its fading set would be a switch); from off the path starts on its
    // first cell, and off takes over at once.
    if (requested != mode_ && (rampLeft_ == 0 || requested == kOff)) {
        if (requested != kOff && mode_ != kOff && haveCell_ && ramp_.size() > 0) {
            old_ = current_;
            current_.cell = -1;  // the new mode's cell is taken at sample 0
            rampLeft_ = 0;
        } else {
            haveCell_ = false;
            rampLeft_ = 0;
        }
        mode_ = requested;
    }
    if (mode_ == kOff) {
        dspsZero_32f(out[0], frames);
        return vxOK;
    }
    if (theta_ == nullptr || phi_ == nullptr) return kNoAngles;

    for (int a = 0; a < activeCount_; ++a) {
        dspsZero_32f(gains_[activeList_[a]].data(), lastFrames_);
        active_[activeList_[a]] = false;
    }
    activeCount_ = 0;

    if (frames > 0 && heldInCell(frames)) {
        cellMean(capsules, out[0], frames);
        const bool triangle = current_.count == 3;
        correct(out[0], frames, triangle, triangle);
        lastFrames_ = frames;
        return vxOK;
    }

    const int rampLength = ramp_.size();
    bool anyTriangle = false;
    for (int i = 0; i < frames; ++i) {
        const int cell = cellAt(mode_, theta_[i], phi_[i]);
        if (!haveCell_) {
            current_ = cellSet(mode_, cell);
            haveCell_ = true;
        } else if (current_.cell < 0) {
            // A mode change: ramp from the old mode's set to this one.
            current_ = cellSet(mode_, cell);
            rampLeft_ = rampLength;
        } else if (rampLeft_ == 0 && cell != current_.cell) {
            old_ = current_;
            current_ = cellSet(mode_, cell);
            rampLeft_ = rampLength;
        }
        float triangleShare;
        if (rampLeft_ > 0) {
            const float g = ramp_[--rampLeft_];
            addGains(current_, i, g);
            addGains(old_, i, 1.0f - g);
            triangleShare = (current_.count == 3 ? g : 0.0f) + (old_.count == 3 ? 1.0f - g : 0.0f);
        } else {
            addGains(current_, i, 1.0f);
            triangleShare = current_.count == 3 ? 1.0f : 0.0f;
        }
        correctionGains_[i] = triangleShare;
        anyTriangle = anyTriangle || triangleShare > 0.0f;
    }

    float* y = out[0];
    dspsZero_32f(y, frames);
    for (int a = 0; a < activeCount_; ++a) {
        const int capsule = activeList_[a];
        dspsAddProduct_32f(capsules[capsule], gains_[capsule].data(), y, frames);
    }
    correct(y, frames, anyTriangle, false);
    lastFrames_ = frames;
    return vxOK;
}

void CRoHf::correct(float* y, int frames, bool anyTriangle, bool onlyTriangle) {
    if (!anyTriangle) {
        if (correcting_) {
            // Nearest capsules alone: the next triangle starts the FIR afresh.
            dspsFIRSetDlyLine_32f(correctionFir_, nullptr);
            correcting_ = false;
        }
        return;
    }
    // The weight glides over the block to the look's at its end; a
    // correction starting afresh starts on it.
    const int last = theta_[frames - 1] * tables::kGridColumns + phi_[frames - 1];
    const float target = tables::kTriangleCorrectionWeights[last];
    if (!correcting_) weight_ = target;
    const float step = (target - weight_) / float(frames);
    float* gains = correctionGains_.data();
    if (onlyTriangle) {
        for (int i = 0; i < frames; ++i) gains[i] = weight_ + step * float(i + 1);
    } else {
        for (int i = 0; i < frames; ++i) gains[i] *= weight_ + step * float(i + 1);
    }
    weight_ = target;
    dspsFIR_32f(y, corrected_.data(), frames, correctionFir_);
    dspsAddProduct_32f(corrected_.data(), gains, y, frames);
    correcting_ = true;
}

void CRoHf::reset() {
    for (auto& g : gains_)
        if (!g.empty()) dspsZero_32f(g.data(), g.size());
    for (bool& a : active_) a = false;
    activeCount_ = 0;
    lastFrames_ = 0;
    haveCell_ = false;
    rampLeft_ = 0;
    if (correctionFir_ != nullptr) dspsFIRSetDlyLine_32f(correctionFir_, nullptr);
    correcting_ = false;
}

vxResult CRoHf::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}
