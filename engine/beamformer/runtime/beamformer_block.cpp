#include "beamformer/runtime/beamformer_block.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "beamformer/tables/beamformer_tables.h"

namespace {

namespace tables = orvelan::beamformer::tables;

constexpr vxParameterName kChannelNames[] = {"theta", "phi", "pattern", "mbfMode", "eqStatus"};
constexpr int kChannelCounts[] = {1, 1, 1, 1, 1};
constexpr int kChannelTypes[] = {vxTypeInt32, vxTypeInt32, vxTypeInt32, vxTypeInt32, vxTypeInt32};
constexpr int kChannelParameters = 5;

constexpr int kBadChannel = 11;
constexpr int kBadBeam = 101;
constexpr int kBadMode = 102;
constexpr int kRadialMode = CEbf::kRadialBiquads;
constexpr int kHfModeOnLeavingHighBandOnly = CRoHf::kOff;

bool acceptedRate(float rate) { return rate >= CRo32::kLowestRate && rate <= CRo32::kHighestRate; }

bool acceptedFormats(const vxAudioInterface& in, const vxAudioInterface& out) {
    return in.isTimeDomain() && in.isReal() && acceptedRate(in.sampleRate()) && in.channels() == CRo32::kCapsules &&
           out.isTimeDomain() && out.isReal() && acceptedRate(out.sampleRate()) && out.channels() >= 0 &&
           out.channels() <= CRo32::kMaxBeams && in.framesPerBuffer() == out.framesPerBuffer();
}

// The group delay a stage gives every filter it holds: that of the longest.
float stageDelay(int longestFir) { return float((longestFir - 1) / 2); }

}  // namespace

CRo32::CRo32() {
    setClassId(kClassId);
    setChannelParameterTable(kChannelNames, kChannelCounts, kChannelTypes, kChannelParameters);
}

#ifdef NDEBUG
CRo32::ControlThreadGuard::ControlThreadGuard(std::atomic<std::thread::id>&) {}
CRo32::ControlThreadGuard::~ControlThreadGuard() {}
#else
CRo32::ControlThreadGuard::ControlThreadGuard(std::atomic<std::thread::id>& inside) {
    const std::thread::id self = std::this_thread::get_id();
    std::thread::id none{};
    if (inside.compare_exchange_strong(none, self, std::memory_order_acquire)) {
        inside_ = &inside;
        return;
    }
    // A setter calling another on the same thread is fine; another thread is not.
    if (none != self) {
        std::fprintf(stderr, "CRo32: a setter entered from a second control thread\n");
        std::abort();
    }
}
CRo32::ControlThreadGuard::~ControlThreadGuard() {
    if (inside_ != nullptr) inside_->store(std::thread::id{}, std::memory_order_release);
}
#endif

vxResult CRo32::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    const ControlThreadGuard oneControlThread(controlThread_);
    if (!acceptedFormats(in, out)) return vxErrFormat;
    if (chain_.isRunning()) return vxErrRunning;
    vxAudioClass::configure(in, out);
    if (factory_.count() == 0) return vxErrAllocation;
    const int beams = out.channels();
    beams_.reset(new (std::nothrow) BeamChoice[beams]);
    beamCount_ = beams_ != nullptr ? beams : 0;
    if (beams_ == nullptr) return vxErrAllocation;

    if (const vxResult r = chain_.configure(in, out)) return r;
    if (const int r = chain_.setNumComponents(kComponents)) return r;
    if (const int r = loadDecomposition()) return r;
    if (const int r = chain_.setModalLatency(stageDelay(factory_.longestModalFir()))) return r;
    if (const int r = chain_.setCrossoverMaxDelay(stageDelay(factory_.longestCrossoverFir()))) return r;
    if (const int r = chain_.setEqMaxDelay(stageDelay(factory_.longestEqFir()))) return r;
    if (const int r = chain_.setMaximumLatency(factory_.largestLatency())) return r;
    if (const int r = setMbfMode(mbfMode())) return r;
    (void)setEqStatus(eqStatus_.load(std::memory_order_relaxed));  // always 0: a switch

    for (int b = 0; b < beams; ++b) {
        if (const int r = setBeamEnabled(b, true)) return r;
        const std::int32_t defaults[] = {90, 0, 0};
        for (int id : {kTheta, kPhi, kPattern})
            if (const vxResult r = setChannelParameter(b, id, &defaults[id], 1, vxTypeInt32)) return r;
    }
    return vxOK;
}

int CRo32::loadDecomposition() {
    CEbf& decomposition = chain_.decomposition();
    const float* rows[tables::kComponentCount];
    for (int k = 0; k < tables::kComponentCount; ++k) rows[k] = tables::kEncoderMatrix[k];
    if (const int r = chain_.setEncoderMatrix(rows)) return r;
    if (const int r = decomposition.setRadialFirs(tables::kRadialFirTaps, tables::kRadialFirLengths)) return r;
    if (const int r = decomposition.setRadialBiquads(tables::kRadialSections, tables::kRadialSectionCounts)) return r;
    return chain_.setRadialMode(kRadialMode);
}

vxResult CRo32::setChannelParameter(int channel, int id, const void* data, int count, int type) {
    const ControlThreadGuard oneControlThread(controlThread_);
    if (id < kTheta || id > kEqStatus) return vxErrNoChannelParameterId;
    if ((id == kTheta || id == kPhi || id == kPattern) && !isBeam(channel)) return kBadChannel;
    std::int32_t value = 0;
    if (const vxResult r = copyParameterValue(data, id, &value, count, type, true)) return r;
    switch (id) {
        case kTheta:
            return setTheta(channel, float(value));
        case kPhi:
            return setPhi(channel, float(value));
        case kPattern: {
            if (value < 0 || numPatterns() == 0) return vxErrBadArgument;
            const int pattern = std::min<int>(value, numPatterns() - 1);
            // The pattern exists (clamped into the factory's count above).
            (void)setPattern(channel, pattern);
            // A failing load leaves the beam on what its stages held; the
            // parameter itself was taken.
            (void)setPatternParameter(channel, defaultVariant(*factory_.pattern(pattern)));
            return vxOK;
        }
        case kMbfMode:
            return setMbfMode(value);
        default:
            return setEqStatus(value != 0);
    }
}

vxResult CRo32::getChannelParameter(int channel, int id, void* data, int count, int type) {
    if (!isBeam(channel)) return kBadChannel;
    if (id < kTheta || id > kEqStatus) return vxErrNoChannelParameterId;
    std::int32_t value = 0;
    switch (id) {
        case kTheta:
            value = static_cast<std::int32_t>(chain_.modalBeamformer(channel).thetaAsSet());
            break;
        case kPhi:
            value = static_cast<std::int32_t>(chain_.modalBeamformer(channel).phiAsSet());
            break;
        case kPattern:
            value = beamPattern(channel);
            break;
        case kMbfMode:
            value = mbfMode();
            break;
        default:
            value = chain_.eqEnabled() ? 1 : 0;
    }
    return copyParameterValue(&value, id, data, count, type, true);
}

int CRo32::setTheta(int beam, float degrees) {
    const ControlThreadGuard oneControlThread(controlThread_);
    if (beam < 0 || beam >= chain_.beams()) return kBadBeam;
    chain_.modalBeamformer(beam).setTheta(degrees);
    return 0;
}

int CRo32::setPhi(int beam, float degrees) {
    const ControlThreadGuard oneControlThread(controlThread_);
    if (beam < 0 || beam >= chain_.beams()) return kBadBeam;
    chain_.modalBeamformer(beam).setPhi(degrees);
    return 0;
}

int CRo32::setPattern(int beam, int pattern) {
    const ControlThreadGuard oneControlThread(controlThread_);
    if (!isBeam(beam)) return vxErrBadArgument;
    beams_[beam].pattern.store(pattern, std::memory_order_relaxed);
    return factory_.pattern(pattern) != nullptr ? 0 : vxErrBadArgument;
}

int CRo32::defaultVariant(const CRoPattern& pattern) const {
    for (int v = 0; v < pattern.variantCount(); ++v)
        if (pattern.variantValue(v) == 0) return v;
    return pattern.variantCount() - 1;
}

int CRo32::setPatternParameter(int beam, int variant) {
    const ControlThreadGuard oneControlThread(controlThread_);
    if (!isBeam(beam) || beam >= chain_.beams()) return kBadBeam;
    beams_[beam].variant.store(variant, std::memory_order_relaxed);
    const CRoPattern* pattern = factory_.pattern(beams_[beam].pattern.load(std::memory_order_relaxed));
    if (pattern == nullptr) return vxErrBadArgument;

    const bool known = pattern->hasVariant(variant);
    const float* modalTaps[CRoPattern::kOrderCount] = {};
    if (known)
        for (int k = 0; k < pattern->orderCount(); ++k) modalTaps[k] = pattern->modalTaps(variant, k);
    if (const int r = chain_.modalBeamformer(beam).loadFilters(known ? pattern->tapCounts(variant) : nullptr, modalTaps))
        return r;
    if (const int r = chain_.setHfMode(beam, pattern->hfMode())) return r;
    if (const int r = chain_.setCrossoverLowPass(beam, pattern->crossoverLowPass(), pattern->crossoverLength()))
        return r;
    if (const int r = chain_.setCrossoverHighPass(beam, pattern->crossoverHighPass(), pattern->crossoverLength()))
        return r;
    return chain_.setEqFilter(beam, known ? pattern->eqTaps(variant) : nullptr, known ? pattern->eqLength(variant) : 0);
}

int CRo32::setBeamEnabled(int beam, bool on) {
    const ControlThreadGuard oneControlThread(controlThread_);
    return chain_.setBeamEnabled(beam, on) == 0 ? 0 : kBadBeam;
}

int CRo32::setMbfMode(int mode) {
    const ControlThreadGuard oneControlThread(controlThread_);
    if (chain_.mode() == CRosphere::kHighBandOnly)
        if (const int r = chain_.setHfMode(-1, kHfModeOnLeavingHighBandOnly)) return r;
    if (chain_.setMode(mode) != vxOK) return kBadMode;
    mbfMode_.store(mode, std::memory_order_relaxed);
    return 0;
}

int CRo32::setEqStatus(bool on) {
    const ControlThreadGuard oneControlThread(controlThread_);
    eqStatus_.store(on, std::memory_order_relaxed);
    chain_.setEqEnabled(on);
    return 0;
}

int CRo32::patternInfo(int pattern, int* nameLength, int* descriptionLength, int* variantCount,
                       int* curvePoints) const {
    const CRoPattern* p = factory_.pattern(pattern);
    if (p == nullptr) return vxErrBadArgument;
    if (nameLength != nullptr) *nameLength = CRoPattern::kTextLength;
    if (descriptionLength != nullptr) *descriptionLength = CRoPattern::kTextLength;
    if (variantCount != nullptr) *variantCount = p->variantCount();
    if (curvePoints != nullptr) *curvePoints = p->curvePoints();
    return 0;
}

int CRo32::patternNames(int pattern, char* name16, char* description16, int* variantValues) const {
    const CRoPattern* p = factory_.pattern(pattern);
    if (p == nullptr) return vxErrBadArgument;
    if (name16 != nullptr) std::memcpy(name16, p->name(), CRoPattern::kTextLength);
    if (description16 != nullptr) std::memcpy(description16, p->description(), CRoPattern::kTextLength);
    if (variantValues != nullptr) std::copy_n(p->variantValues(), p->variantCount(), variantValues);
    return 0;
}

int CRo32::patternCurve(int pattern, int variant, float* curve, int* beamWidth) const {
    const CRoPattern* p = factory_.pattern(pattern);
    if (p == nullptr) return vxErrBadArgument;
    const bool known = p->hasVariant(variant);
    if (known && curve != nullptr) std::copy_n(p->curve(variant), p->curvePoints(), curve);
    if (beamWidth != nullptr) *beamWidth = known ? p->beamWidth(variant) : 0;
    return 0;
}

int CRo32::beamPattern(int beam) const {
    return isBeam(beam) ? beams_[beam].pattern.load(std::memory_order_relaxed) : -1;
}

int CRo32::beamVariant(int beam) const {
    return isBeam(beam) ? beams_[beam].variant.load(std::memory_order_relaxed) : -1;
}
