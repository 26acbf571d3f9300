// The beamforming chain: per processing block the 32 capsule signals are
// decomposed once into 16 spherical-harmonic components; then for every
// beam the modal beamformer forms the low band and the HF path the high
// band (delayed to the low band's latency), a crossover pair splits and
// recombines them, an equaliser follows and a final delay brings every beam
// to the chain's one latency. The mode selects the bands:
//
//   mode  low band   high band   beam output before the equaliser
//   0     -          -           output i = component i (silence beyond 16)
//   1     formed     formed      low-pass(low) + high-pass(high)
//   2     formed     zero        low unfiltered + high-pass(zero)
//   3     formed     formed      the delayed high band alone (no EQ, no delay)
//   4     formed     zero        low-pass(low) + high-pass(zero)
//
// Every stage delays each filter it holds to the group delay of the longest
// it may hold (modal latency, crossover and equaliser maximum delays), so a
// pattern's filters never change a beam's latency: the final delay tops the
// three stages up to the largest pattern latency when they fall short, the
// same for every beam, and is never negative.
//
// Threads: `configure`, the component count, the matrix, the radial mode
// and the stage delays on the control thread while stopped (vxErrRunning
// otherwise). Filter loads, HF modes, the mode, the equaliser flag and the
// beams' enabled flags from the control thread at any time: the loads go
// into spare banks that the audio thread crossfades in, the rest are atomics
// the audio thread reads once per block. `process` on the audio thread,
// allocating nothing.
#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "beamformer/runtime/crossover_pair.h"
#include "beamformer/runtime/decomposition.h"
#include "dsp/delay_line.h"
#include "beamformer/runtime/hf_path.h"
#include "beamformer/runtime/modal_beamformer.h"
#include "dsp/shadow_filter.h"
#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class CRosphere : public vxAudioClass {
public:
    static constexpr int kComponentCapacity = 16;
    enum Mode : int {
        kComponents = 0,
        kBothBands = 1,
        kLowBandUnfiltered = 2,
        kHighBandOnly = 3,
        kLowBandOnly = 4,
    };
    static constexpr int kModeCount = 5;

    CRosphere() = default;
    ~CRosphere() override = default;

    // vxErrRunning; vxErrFormat unless both formats are real, time domain,
    // with equal rates and frames; vxErrAllocation; or a stage's code. One
    // beam per output channel; every beam starts without filters, disabled,
    // with zero delays; a component count set before is set again.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // The beams for `frames` capsule samples (up to the configured frames:
    // more return vxErrFormat and touch nothing); vxOK.
    vxResult process(float** in, float** out, int frames) override;
    // Starts every stage (the first failure is returned, the chain staying
    // stopped).
    vxResult start() override;
    // Stops and clears every stage and delay line; the decomposition's result.
    vxResult stop() override;

    // Configures the decomposition for n components and every beam's modal
    // beamformer and HF path: vxErrRunning, or the first stage's code.
    [[nodiscard]] int setNumComponents(int n);
    // vxErrRunning, or the decomposition's code.
    [[nodiscard]] int setEncoderMatrix(const float* const* rows);
    // vxErrRunning; 105 for a mode above 2 or mode 1 without radial FIRs.
    [[nodiscard]] int setRadialMode(int mode);
    // Stage delays: vxErrRunning, or the first stage's code.
    [[nodiscard]] int setModalLatency(float samples);
    [[nodiscard]] int setCrossoverMaxDelay(float samples);
    [[nodiscard]] int setEqMaxDelay(float samples);
    // The largest latency of the patterns the chain may run, which every
    // beam is delayed to at least. vxErrRunning; vxErrBadArgument when negative.
    [[nodiscard]] int setMaximumLatency(float samples);

    // One filter each: 0; 11 for a beam outside the chain; or the bank's code.
    // The beam's latency does not change, so its output runs on unbroken.
    [[nodiscard]] int setCrossoverLowPass(int beam, const float* taps, int length);
    [[nodiscard]] int setCrossoverHighPass(int beam, const float* taps, int length);
    [[nodiscard]] int setEqFilter(int beam, const float* taps, int length);
    // HF path mode of one beam, or of every beam for beam < 0 (the results
    // ORed); 11 for a beam beyond the chain.
    [[nodiscard]] int setHfMode(int beam, int mode);

    // Published to the audio thread, taken at its next block. A mode outside
    // 0..4 returns vxErrBadArgument and changes nothing.
    [[nodiscard]] int setMode(int mode);
    int mode() const { return mode_.load(std::memory_order_relaxed); }
    void setEqEnabled(bool on) { eqEnabled_.store(on, std::memory_order_relaxed); }
    bool eqEnabled() const { return eqEnabled_.load(std::memory_order_relaxed); }
    // 0, or 11 for a beam outside the chain. A beam switched off while it
    // sounds is faded out across the next block; then it forms nothing, its
    // modal beamformer and HF delay are cleared on the audio thread, and
    // what its crossover, equaliser and output delay still hold drains out,
    // after which it costs nothing but a zeroed output. A beam switched on
    // starts from silence, its inputs faded in across the next block. (At
    // the first block after `configure` or `start` there is nothing to fade:
    // the beams begin as they are set.)
    [[nodiscard]] int setBeamEnabled(int beam, bool on);
    bool beamEnabled(int beam) const;
    // The audio thread's view, for tests: the beam was switched off and has
    // drained, and no filter loaded since fades in, so its blocks run none of
    // its stages.
    bool beamIdle(int beam) const;

    int beams() const { return beamCount_; }
    int componentCount() const { return componentCount_; }
    CEbf& decomposition() { return decomposition_; }
    // The beam's modal beamformer (its look-direction targets); beam must be
    // one of the chain's.
    CMbf& modalBeamformer(int beam) { return beams_[beam].mbf; }
    const CMbf& modalBeamformer(int beam) const { return beams_[beam].mbf; }
    int hfMode(int beam) const { return beams_[beam].hf.mode(); }
    // The delays set on the beam's HF band and its output.
    int hfDelay(int beam) const { return beams_[beam].hfDelaySamples; }
    int outputDelay(int beam) const { return beams_[beam].outputDelaySamples; }
    // Samples from the capsules to a beam's output in modes 1 and 4.
    int latency() const;

    // Tests: with the speed paths off the chain takes the general path
    // everywhere (no shared component spectra, no held-look cell means, the
    // crossover pair always run as two filters, drained beams still run on
    // zeros) and gives the same beams within float rounding. Set while
    // stopped; on by default.
    void setSpeedPathsForTests(bool on);

private:
    struct Beam {
        CMbf mbf;
        CRoHf hf;
        vxlbShadowFilter lowPass, highPass, eq;
        vxCrossoverPair crossover;  // runs lowPass and highPass as one where it can
        CDelayLine hfDelay, outputDelay;
        vxKernelArray<float> low, high;
        int hfDelaySamples = 0;
        int outputDelaySamples = 0;
        std::atomic<bool> enabled{false};
        // The audio thread's: whether the beam sounded in the last block
        // (kStarting: no block since the chain was configured or started),
        // and the samples run since it was switched off.
        enum class Phase : unsigned char { kStarting, kOn, kOff };
        Phase phase = Phase::kStarting;
        int idleSamples = 0;
        bool fadingIn = false, fadingOut = false;  // this block's fades of the bands

        std::array<vxAudioClass*, 5> stages() { return {&mbf, &hf, &lowPass, &highPass, &eq}; }
        // No filter bank of the crossover or equaliser fades in or waits:
        // running them on zeros would change nothing but the zeros.
        bool filtersSteady() const {
            for (const vxlbShadowFilter* f : {&lowPass, &highPass, &eq})
                if (f->nextBank() >= 0 || f->filterWaiting()) return false;
            return true;
        }
    };

    // Give every beam its delay; false when a delay line could not grow to
    // it (that line keeps its old delay).
    bool updateHfDelays();
    bool updateOutputDelays();
    // The delay every beam's output gets: the largest latency less what the
    // stages already delay, at least 0.
    int commonOutputDelay() const;
    // What a beam does in a block: nothing (off and idle: its output is
    // silence without running its stages), its stages on silent bands, or
    // bands formed.
    enum class Plan : unsigned char { kIdle, kSilent, kFormed };
    // The beam's state for the block and, when it forms its bands, its modal
    // beamformer's block up to the filtering of its order sums.
    Plan beginBands(Beam& beam, int mode, int frames);
    // The waiting modal filtering of every forming beam, then their low bands.
    void filterLowBands();
    // A forming beam's high band and the bands' fades.
    void finishBands(Beam& beam, float** in, int mode, int frames);
    void combineBands(Beam& beam, float* out, int mode, bool eq, int frames);
    bool isBeam(int beam) const { return beam >= 0 && beam < beamCount_; }
    // Switched off, drained, and no filter to fade in: nothing to run.
    bool idle(const Beam& beam) const;

    // The components' windows and spectra for all beams' modal
    // beamformers, sized like theirs; false when the memory cannot be had.
    bool configureSpectra();

    CEbf decomposition_;
    vxComponentSpectra spectra_;
    std::unique_ptr<Beam[]> beams_;
    std::unique_ptr<Plan[]> plans_;  // the audio thread's, per beam and block
    std::unique_ptr<vxOverlapSave::Accumulation[]> accumulations_;
    int beamCount_ = 0;
    int componentCount_ = 0;
    float modalLatency_ = 0.0f;
    float crossoverMaxDelay_ = 0.0f;
    float eqMaxDelay_ = 0.0f;
    float maximumLatency_ = 0.0f;
    int drainSamples_ = 1;  // an idle beam's stages hold only zeros after this
    bool speedPaths_ = true;
    vxKernelArray<float> components_[kComponentCapacity];
    float* componentPointers_[kComponentCapacity] = {};
    vxKernelArray<float> temporary_;
    std::atomic<int> mode_{kBothBands};
    std::atomic<bool> eqEnabled_{true};
};
