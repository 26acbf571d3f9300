#include "beamformer/runtime/beamformer_chain.h"

#include <algorithm>
#include <new>

#include "beamformer/runtime/block_fade.h"

namespace {

constexpr int kBadBeam = 11;
constexpr int kBadRadialMode = 105;
constexpr int kRadialFirMode = 1;

vxAudioInterface withChannels(const vxAudioInterface& format, int channels) {
    vxAudioInterface f = format;
    f.setChannels(channels);
    return f;
}

}  // namespace

vxResult CRosphere::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    if (!in.isTimeDomain() || !out.isTimeDomain() || !in.isReal() || !out.isReal() ||
        in.sampleRate() != out.sampleRate() || in.framesPerBuffer() != out.framesPerBuffer() || out.channels() < 0)
        return vxErrFormat;
    beams_.reset();
    beamCount_ = 0;
    spectra_.release();
    vxAudioClass::configure(in, out);

    const int frames = out.framesPerBuffer();
    const int beams = out.channels();
    beams_.reset(new (std::nothrow) Beam[beams]);
    plans_.reset(new (std::nothrow) Plan[beams]);
    accumulations_.reset(new (std::nothrow) vxOverlapSave::Accumulation[beams]);
    if (beams_ == nullptr || plans_ == nullptr || accumulations_ == nullptr) return vxErrAllocation;
    beamCount_ = beams;
    bool ok = temporary_.allocate(frames);
    for (int k = 0; k < kComponentCapacity; ++k) {
        ok = ok && components_[k].allocate(frames);
        componentPointers_[k] = components_[k].data();
    }
    for (int b = 0; b < beams && ok; ++b)
        ok = beams_[b].low.allocate(frames) && beams_[b].high.allocate(frames) &&
             beams_[b].crossover.configure(frames, crossoverMaxDelay_);
    if (!ok) return vxErrAllocation;

    const vxAudioInterface mono = withChannels(out, 1);
    for (int b = 0; b < beams; ++b) {
        Beam& beam = beams_[b];
        beam.hf.setHeldLookShortcut(speedPaths_);
        for (vxlbShadowFilter* bank : {&beam.lowPass, &beam.highPass, &beam.eq}) {
            if (const vxResult r = bank->configure(mono, mono)) return r;
            if (const vxResult r = bank->setMaxDelay(bank == &beam.eq ? eqMaxDelay_ : crossoverMaxDelay_)) return r;
        }
    }
    if (!updateOutputDelays()) return vxErrAllocation;
    return componentCount_ > 0 ? setNumComponents(componentCount_) : vxOK;
}

int CRosphere::setNumComponents(int n) {
    if (isRunning()) return vxErrRunning;
    componentCount_ = n;
    const vxAudioInterface components = withChannels(inputFormat(), n);
    if (const vxResult r = decomposition_.configure(inputFormat(), components)) return r;
    const vxAudioInterface mono = withChannels(outputFormat(), 1);
    for (int b = 0; b < beamCount_; ++b) {
        Beam& beam = beams_[b];
        if (const vxResult r = beam.mbf.configure(components, mono)) return r;
        if (const int r = beam.mbf.setLatency(modalLatency_)) return r;
        if (const vxResult r = beam.hf.configure(inputFormat(), mono)) return r;
        if (const int r = beam.hf.setAngleSource(beam.mbf.perSampleTheta(), beam.mbf.perSamplePhi())) return r;
    }
    return configureSpectra() ? vxOK : vxErrAllocation;
}

bool CRosphere::configureSpectra() {
    spectra_.release();
    const int frames = outputFormat().framesPerBuffer();
    if (componentCount_ <= 0 || frames <= 0) return true;
    return spectra_.configure(componentCount_, frames, 2 * static_cast<int>(modalLatency_) + 1);
}

int CRosphere::setEncoderMatrix(const float* const* rows) {
    if (isRunning()) return vxErrRunning;
    for (auto& c : components_)
        if (!c.empty()) dspsZero_32f(c.data(), c.size());
    return decomposition_.setEncoderMatrix(rows);
}

int CRosphere::setRadialMode(int mode) {
    if (isRunning()) return vxErrRunning;
    const int r = mode < 0 || mode > CEbf::kNoRadialFilter ? kBadRadialMode : decomposition_.setRadialMode(mode);
    const bool delays = updateHfDelays();
    return r != 0 || delays ? r : vxErrAllocation;
}

int CRosphere::setModalLatency(float samples) {
    if (isRunning()) return vxErrRunning;
    modalLatency_ = samples;
    for (int b = 0; b < beamCount_; ++b)
        if (const int r = beams_[b].mbf.setLatency(samples)) return r;
    const bool hfDelays = updateHfDelays();
    const bool outputDelays = updateOutputDelays();
    return configureSpectra() && hfDelays && outputDelays ? vxOK : vxErrAllocation;
}

int CRosphere::setCrossoverMaxDelay(float samples) {
    if (isRunning()) return vxErrRunning;
    crossoverMaxDelay_ = samples;
    for (int b = 0; b < beamCount_; ++b) {
        if (const vxResult r = beams_[b].lowPass.setMaxDelay(samples)) return r;
        if (const vxResult r = beams_[b].highPass.setMaxDelay(samples)) return r;
        if (!beams_[b].crossover.configure(outputFormat().framesPerBuffer(), samples)) return vxErrAllocation;
    }
    return updateOutputDelays() ? vxOK : vxErrAllocation;
}

int CRosphere::setEqMaxDelay(float samples) {
    if (isRunning()) return vxErrRunning;
    eqMaxDelay_ = samples;
    for (int b = 0; b < beamCount_; ++b)
        if (const vxResult r = beams_[b].eq.setMaxDelay(samples)) return r;
    return updateOutputDelays() ? vxOK : vxErrAllocation;
}

int CRosphere::setMaximumLatency(float samples) {
    if (isRunning()) return vxErrRunning;
    if (!(samples >= 0.0f)) return vxErrBadArgument;
    maximumLatency_ = samples;
    return updateOutputDelays() ? vxOK : vxErrAllocation;
}

bool CRosphere::updateHfDelays() {
    bool taken = true;
    const float radial = decomposition_.radialMode() == kRadialFirMode ? float(CEbf::kRadialFirLatency) : 0.0f;
    for (int b = 0; b < beamCount_; ++b) {
        Beam& beam = beams_[b];
        beam.hfDelaySamples = static_cast<int>(radial + beam.mbf.latency());
        if (beam.hfDelay.setDelay(beam.hfDelaySamples) != 0) taken = false;
    }
    return taken;
}

int CRosphere::commonOutputDelay() const {
    const int stages = static_cast<int>(modalLatency_) + static_cast<int>(crossoverMaxDelay_) +
                       static_cast<int>(eqMaxDelay_);
    return std::max(0, static_cast<int>(maximumLatency_) - stages);
}

bool CRosphere::updateOutputDelays() {
    const int delay = commonOutputDelay();
    bool taken = true;
    for (int b = 0; b < beamCount_; ++b) {
        Beam& beam = beams_[b];
        beam.outputDelaySamples = delay;
        if (beam.outputDelay.setDelay(delay) != 0) taken = false;
    }
    // A FIR of up to 2 trunc(L) + 1 taps and its alignment of up to trunc(L)
    // samples hold 3 trunc(L) samples; then the final delay.
    drainSamples_ = 3 * (static_cast<int>(crossoverMaxDelay_) + static_cast<int>(eqMaxDelay_)) + delay + 1;
    return taken;
}

int CRosphere::latency() const {
    return static_cast<int>(modalLatency_) + static_cast<int>(crossoverMaxDelay_) + static_cast<int>(eqMaxDelay_) +
           commonOutputDelay();
}

int CRosphere::setCrossoverLowPass(int beam, const float* taps, int length) {
    if (!isBeam(beam)) return kBadBeam;
    return beams_[beam].lowPass.loadFilter(&length, &taps);
}

int CRosphere::setCrossoverHighPass(int beam, const float* taps, int length) {
    if (!isBeam(beam)) return kBadBeam;
    return beams_[beam].highPass.loadFilter(&length, &taps);
}

int CRosphere::setEqFilter(int beam, const float* taps, int length) {
    if (!isBeam(beam)) return kBadBeam;
    return beams_[beam].eq.loadFilter(&length, &taps);
}

int CRosphere::setHfMode(int beam, int mode) {
    if (beam >= 0) return isBeam(beam) ? beams_[beam].hf.setHfMode(mode) : kBadBeam;
    int result = 0;
    for (int b = 0; b < beamCount_; ++b) result |= beams_[b].hf.setHfMode(mode);
    return result;
}

int CRosphere::setMode(int mode) {
    if (mode < 0 || mode >= kModeCount) return vxErrBadArgument;
    mode_.store(mode, std::memory_order_relaxed);
    return vxOK;
}

int CRosphere::setBeamEnabled(int beam, bool on) {
    if (!isBeam(beam)) return kBadBeam;
    beams_[beam].enabled.store(on, std::memory_order_relaxed);
    return vxOK;
}

bool CRosphere::beamEnabled(int beam) const {
    return isBeam(beam) && beams_[beam].enabled.load(std::memory_order_relaxed);
}

void CRosphere::setSpeedPathsForTests(bool on) {
    speedPaths_ = on;
    for (int b = 0; b < beamCount_; ++b) beams_[b].hf.setHeldLookShortcut(on);
}

bool CRosphere::beamIdle(int beam) const {
    return isBeam(beam) && idle(beams_[beam]);
}

bool CRosphere::idle(const Beam& beam) const {
    return beam.phase == Beam::Phase::kOff && beam.idleSamples >= drainSamples_ && beam.filtersSteady();
}

CRosphere::Plan CRosphere::beginBands(Beam& beam, int mode, int frames) {
    using Phase = Beam::Phase;
    const bool on = beam.enabled.load(std::memory_order_relaxed);
    if (beam.phase == Phase::kStarting) beam.phase = on ? Phase::kOn : Phase::kOff;
    if (!on && beam.phase == Phase::kOff) {
        if (beam.idleSamples == 0) {
            // Silent from here: the next time it is on, it starts afresh.
            beam.mbf.reset();
            beam.hfDelay.clear();
        }
        // Once the crossover, equaliser and final delay hold nothing but
        // zeros, running them on zeros changes nothing: the beam idles. A
        // filter loaded meanwhile still fades in on those zeros, so that the
        // beam switched on again meets the bank it would have met running.
        if (speedPaths_ && idle(beam)) return Plan::kIdle;
        // The mode that takes the high band alone runs none of those
        // stages: what they hold waits there and drains only in another.
        if (mode != kHighBandOnly) beam.idleSamples = std::min(beam.idleSamples + frames, drainSamples_);
        dspsZero_32f(beam.low.data(), frames);
        dspsZero_32f(beam.high.data(), frames);
        return Plan::kSilent;
    }
    // Cutting a sounding beam, or starting one on a full-level signal, would
    // step its output: it fades across this block instead. Both bands fade
    // at their inputs to the crossover, where they are aligned; a fade-out
    // ends on zero, and the stages clear from the next block on. A fade-in
    // rises at the bands' sources, the order sums and the HF path ahead of
    // its delay, so both reach the crossover on the same rising edge.
    beam.fadingIn = on && beam.phase == Phase::kOff;
    beam.fadingOut = !on;
    if (beam.fadingIn) {
        beam.mbf.fadeIn();
        beam.hf.reset();
        beam.hfDelay.clear();
    }
    beam.phase = on ? Phase::kOn : Phase::kOff;
    beam.idleSamples = 0;
    beam.mbf.beginShared(componentPointers_, spectra_, beam.low.data(), frames);
    return Plan::kFormed;
}

void CRosphere::filterLowBands() {
    // One pass over the bins for every beam whose modal filters wait: the
    // components' spectra, which the held beams share, are loaded once.
    int jobs = 0;
    const vxOverlapSave* convolution = nullptr;
    for (int b = 0; b < beamCount_; ++b) {
        if (plans_[b] != Plan::kFormed) continue;
        const CMbf& mbf = beams_[b].mbf;
        const vxOverlapSave::Accumulation* job = mbf.pendingAccumulation();
        if (job == nullptr) continue;
        if (convolution == nullptr) convolution = &mbf.convolution();
        if (mbf.convolution().length() == convolution->length())
            accumulations_[jobs++] = *job;
        else
            mbf.convolution().accumulate(job, 1);
    }
    if (jobs > 0) convolution->accumulate(accumulations_.get(), jobs);
    for (int b = 0; b < beamCount_; ++b)
        if (plans_[b] == Plan::kFormed) beams_[b].mbf.finish();
}

void CRosphere::finishBands(Beam& beam, float** in, int mode, int frames) {
    using orvelan::beamformer::Fade;
    float* low = beam.low.data();
    float* high = beam.high.data();
    if (mode == kBothBands || mode == kHighBandOnly) {
        beam.hf.process(in, &high, frames);
        if (beam.fadingIn) orvelan::beamformer::fadeAcrossBlock(high, frames, Fade::kIn);
        beam.hfDelay.delayProcess(high, high, frames);
    } else {
        dspsZero_32f(high, frames);
    }
    if (beam.fadingOut) {
        orvelan::beamformer::fadeAcrossBlock(low, frames, Fade::kOut);
        orvelan::beamformer::fadeAcrossBlock(high, frames, Fade::kOut);
    }
}

void CRosphere::combineBands(Beam& beam, float* out, int mode, bool eq, int frames) {
    float* low = beam.low.data();
    float* high = beam.high.data();
    float* temporary = temporary_.data();
    if (mode == kBothBands && speedPaths_) {
        beam.crossover.process(beam.lowPass, beam.highPass, low, high, out, temporary, frames);
    } else {
        beam.crossover.runApart(beam.lowPass, beam.highPass);
        if (mode == kHighBandOnly) {
            dspsCopy_32f(high, out, frames);
            return;
        }
        if (mode == kLowBandUnfiltered)
            dspsCopy_32f(low, out, frames);
        else
            beam.lowPass.process(&low, &out, frames);
        beam.highPass.process(&high, &temporary, frames);
        dspsAdd_32f_I(temporary, out, frames);
    }
    if (eq)
        beam.eq.process(&out, &temporary, frames);
    else
        dspsCopy_32f(out, temporary, frames);
    beam.outputDelay.delayProcess(temporary, out, frames);
}

vxResult CRosphere::process(float** in, float** out, int frames) {
    if (frames <= 0) return vxOK;
    if (frames > outputFormat().framesPerBuffer()) return vxErrFormat;
    decomposition_.process(in, componentPointers_, frames);
    // The components' transforms replace each formed beam's transforms of
    // its order sums: worth it from as many beams as it takes to match them.
    int formed = 0;
    for (int b = 0; b < beamCount_; ++b) formed += beams_[b].enabled.load(std::memory_order_relaxed) ? 1 : 0;
    spectra_.push(componentPointers_, frames, speedPaths_ && formed * CMbf::kOrders >= componentCount_);
    const int mode = mode_.load(std::memory_order_relaxed);
    if (mode == kComponents) {
        // There are 16 components; any further output is silent.
        for (int b = 0; b < beamCount_; ++b) {
            if (b < kComponentCapacity)
                dspsCopy_32f(componentPointers_[b], out[b], frames);
            else
                dspsZero_32f(out[b], frames);
        }
        return vxOK;
    }
    const bool eq = eqEnabled_.load(std::memory_order_relaxed);
    // Every beam's low band first (its modal filtering in one pass for all),
    // then each beam's high band and the stages after.
    for (int b = 0; b < beamCount_; ++b) plans_[b] = beginBands(beams_[b], mode, frames);
    filterLowBands();
    for (int b = 0; b < beamCount_; ++b) {
        if (plans_[b] == Plan::kIdle) {
            dspsZero_32f(out[b], frames);
            continue;
        }
        if (plans_[b] == Plan::kFormed) finishBands(beams_[b], in, mode, frames);
        combineBands(beams_[b], out[b], mode, eq, frames);
    }
    return vxOK;
}

vxResult CRosphere::start() {
    if (const vxResult r = decomposition_.start()) return r;
    for (int b = 0; b < beamCount_; ++b) {
        Beam& beam = beams_[b];
        for (vxAudioClass* stage : beam.stages())
            if (const vxResult r = stage->start()) return r;
        beam.phase = Beam::Phase::kStarting;
    }
    return vxAudioClass::start();
}

vxResult CRosphere::stop() {
    vxAudioClass::stop();
    const vxResult r = decomposition_.stop();
    spectra_.clear();
    for (int b = 0; b < beamCount_; ++b) {
        Beam& beam = beams_[b];
        for (vxAudioClass* stage : beam.stages()) stage->stop();
        beam.crossover.reset();
        beam.hfDelay.clear();
        beam.outputDelay.clear();
        beam.phase = Beam::Phase::kStarting;
        beam.idleSamples = 0;
    }
    return r;
}
