// One beam's low band, formed from the 16 spherical-harmonic components:
// steered to the look direction with per-sample weights, summed per order,
// each order sum filtered by the pattern's modal FIR and delayed so that
// every pattern has the same modal latency, and the orders added.
//
// Look-direction changes glide one whole degree per 100 samples with the
// weights interpolated linearly between the whole-degree table columns
// (azimuth the short way round, exactly 180 degrees upward); pattern changes
// load a spare bank of FIRs that is crossfaded in (vxBankSlots,
// vxCrossfade). The beam's current whole-degree direction is published per
// sample for its HF path.
//
// Threads: `configure`, `setLatency` and `start` on the control thread while
// stopped; `loadFilters` and the target setters at any time from the
// control thread (targets through atomics, read by the audio thread at its
// next block); `process` on the audio thread, allocating nothing.
#pragma once

#include <atomic>

#include "dsp/bank_slots.h"
#include "beamformer/runtime/component_spectra.h"
#include "dsp/crossfade.h"
#include "dsp/overlap_save.h"
#include "dsp.h"
#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class CMbf : public vxAudioClass {
public:
    static constexpr int kOrders = 4;
    static constexpr int kComponents = 16;
    static constexpr int kAzimuthRows = 6;
    static constexpr int kStepLength = 100;  // samples per degree of glide
    static constexpr int kFadeTimeConstantMs = 50;

    CMbf() { theta_.current = 90; }
    ~CMbf() override = default;

    // vxErrRunning; vxErrFormat unless both formats are real time domain
    // with equal rates and frames, the input has 1, 4, 9 or 16 channels and
    // the output 1; vxErrAllocation; or the result of setLatency.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // The low band of frames samples; 6 when frames is 0 or above the
    // configured block (or nothing is set up).
    vxResult process(float** components, float** out, int frames) override;
    // The same, for a beam of a chain that keeps the components' windows
    // and spectra for all its beams (pushed with this block's samples):
    // while the look holds still the order sums are formed from their
    // spectra, saving the transform of the beam's own order sums. Spectra
    // of another transform length are not used.
    vxResult process(float** components, vxComponentSpectra& shared, float* out, int frames);
    // The same in two halves, for a chain that filters all its beams' order
    // sums in one pass (vxOverlapSave::accumulate over several jobs, with
    // the components' spectra loaded once for every beam): beginShared does
    // everything up to that filtering; the accumulation it leaves, if any
    // (null: nothing to filter), is run by the caller; then finish gives the
    // block's output. Between the two nothing else of this beam may run.
    vxResult beginShared(float** components, vxComponentSpectra& shared, float* out, int frames);
    const vxOverlapSave::Accumulation* pendingAccumulation() const;
    const vxOverlapSave& convolution() const { return convolution_; }
    void finish();
    // Pending banks take over at once and the look jumps to its target.
    vxResult start() override;
    vxResult stop() override;
    // Clears the FIRs' history (the order sums' past samples).
    void reset() override;
    // Audio thread: the beam comes back from silence. Its past is cleared,
    // the look jumps to its targets (nothing was heard to glide from) and
    // the next block's order sums rise from zero to full level across the
    // block, so the FIRs start on a fade rather than a cut.
    void fadeIn();

    // Modal latency L: every FIR of up to 2 trunc(L) + 1 taps is delayed to
    // trunc(L) samples. vxErrRunning, 19 for L < 0, vxErrAllocation; every
    // bank is emptied.
    [[nodiscard]] int setLatency(float latency);
    // Per order its tap count and taps (a count of 0: the order is silent):
    // 0; 101 unless configured for 16 components; 102 when a count exceeds
    // 2 trunc(L) + 1; 103 when a filter would need a negative alignment.
    int loadFilters(const int* tapCounts, const float* const* taps);

    // Look-direction targets, whole degrees (theta clamped to 0..180, phi
    // reduced into 0..359), and the degrees as given.
    void setTheta(float degrees);
    void setPhi(float degrees);
    float thetaAsSet() const { return thetaAsSet_.load(std::memory_order_relaxed); }
    float phiAsSet() const { return phiAsSet_.load(std::memory_order_relaxed); }
    int thetaTarget() const { return thetaTarget_.load(std::memory_order_relaxed); }
    int phiTarget() const { return phiTarget_.load(std::memory_order_relaxed); }

    // The whole-degree direction at each sample of the last block (audio
    // thread's; read by the beam's HF path in the same thread).
    const int* perSampleTheta() const { return theta_.samples.data(); }
    const int* perSamplePhi() const { return phi_.samples.data(); }
    int order() const { return order_; }
    float latency() const { return latency_; }
    bool filterWaiting() const { return slots_.waiting(); }
    int currentBank() const { return slots_.current(); }
    int nextBank() const { return slots_.next(); }

private:
    struct Bank {
        // Per order its FIR after its alignment delay, as a spectrum.
        vxKernelArray<float> spectra[kOrders];
        bool filtered[kOrders] = {};
        int tapMax = 0;
    };

    // The glide of one angle over table columns: the current whole degree,
    // the running one-degree step, and the interpolated weights per row.
    struct Glide {
        int current = 0;
        int stepEnd = 0;  // the column the running step goes to
        int stepsLeft = 0;
        float start[kComponents] = {};
        float increment[kComponents] = {};
        vxKernelArray<int> samples;  // the current whole degree at each sample
    };

    vxResult run(float** components, vxComponentSpectra* shared, float* out, int frames);
    bool steady(int thetaTarget, int phiTarget) const;
    // The weight of every component while the look holds still.
    void steadyWeights(float* weights) const;
    void holdAngles(int frames);
    void steadyOrderSums(float* const* components, int frames);
    // The order sums' windows again, from the shared components' windows.
    void rebuildWindows(const vxComponentSpectra* shared, int frames);
    void glideTheta(int target, int frames);
    void glidePhi(int target, int frames);
    template <class Column, class NextColumn>
    static void glide(Glide& g, int target, int rows, vxKernelArray<float>* weights, int frames, Column column,
                      NextColumn nextColumn);
    void glidingOrderSums(float* const* components, int frames);
    // A block up to the banks' filtering, which it leaves in pending_.
    vxResult begin(float** components, vxComponentSpectra* shared, float* out, int frames);
    // The current bank, and the next while it fades in, set up to filter
    // the order sums' spectra into their outputs.
    void prepareBanks(float* out, int frames);

    // A begun block: the banks' filtering and where it goes.
    struct Pending {
        bool waiting = false;  // begun, not finished
        int count = 0;         // banks run: 1, or 2 while the next fades in
        int used = 0;          // of them, those with filters
        int frames = 0;
        float* out = nullptr;
        float* outs[2] = {};      // each bank's output (out itself without a fade)
        float* filtered[2] = {};  // the outputs of the used banks
        float* sums[2] = {};
        const float* filters[2 * kOrders] = {};
        float weights[kComponents] = {};
        const float* own[kOrders] = {};
        vxOverlapSave::WeightedSpectra signals[kOrders] = {};
        vxOverlapSave::Accumulation accumulation = {};
    };

    int order_ = -1;
    float latency_ = 0.0f;
    Bank banks_[vxBankSlots::kBanks];
    vxBankSlots slots_;
    vxCrossfade fade_;
    vxOverlapSave convolution_;
    vxKernelArray<float> windows_[kOrders];        // each order sum's last samples
    vxKernelArray<float> orderSpectra_[kOrders];   // and their split spectrum
    vxKernelArray<float> bankSums_[2];  // the current and the next bank's orders, bin by bin
    vxKernelArray<float> weights_[kComponents];
    vxKernelArray<float> azimuthFactors_[kAzimuthRows];
    vxKernelArray<float> currentOut_, nextOut_;
    Glide theta_, phi_;
    // The audio thread's: the trailing samples of the order sums formed with
    // the weights of the held look (up to a window), and whether the own
    // windows hold the order sums' past (not while the shared spectra serve).
    int steadySamples_ = 0;
    bool windowsCurrent_ = true;
    bool fadingIn_ = false;
    Pending pending_;
    std::atomic<int> thetaTarget_{90};
    std::atomic<int> phiTarget_{0};
    std::atomic<float> thetaAsSet_{90.0f};
    std::atomic<float> phiAsSet_{0.0f};
};
