// One beam's high band, taken from the capsules directly: the capsule
// nearest the beam's current look direction (HF mode 1) or the mean of the
// three capsules of the triangle that holds it (mode 2), following the
// direction sample by sample from the modal beamformer's per-sample angles.
// When the direction moves into another cell, or the mode changes, the old
// capsule set fades out and the new one in over 250 ms (the new rising from
// -40 dB to 0 dB linearly in dB, the old falling as the complement), so no
// capsule is ever switched abruptly. A mode change waits for a running ramp
// to end.
//
// The triangle mean sums its capsules in phase at the triangle's centre and
// partly out of phase towards its corners, so it loses level at high
// frequencies as the look leaves the centre. A short FIR on the output (the
// tables' triangle correction) makes up for it: its output is added back
// times the look's weight (0 at the centre, about 1 at a corner; taken once
// a block and glided to over the block as the look moves), and times the
// triangle sets' share of the output, so that the correction ramps in and
// out with them when the mode changes.
//
// Threads: `configure` and `setAngleSource` on the control thread while
// stopped; `setHfMode` at any time from the control thread (published
// through an atomic, taken by the audio thread at its next block, which
// then ramps between the capsule sets); `process` on the audio thread.
#pragma once

#include <atomic>

#include "dsp.h"
#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class CRoHf : public vxAudioClass {
public:
    static constexpr int kCapsules = 32;
    static constexpr int kRampMs = 250;
    enum Mode : int { kOff = 0, kNearestCapsule = 1, kTriangle = 2 };

    CRoHf() = default;
    ~CRoHf() override = default;

    // vxErrRunning; vxErrFormat unless both formats are real time domain with
    // equal rates and frames and the output is mono; vxErrAllocation.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // The high band; silence while the mode is off. 6 without angle arrays.
    vxResult process(float** capsules, float** out, int frames) override;
    // Forgets the cell and any ramp (the next block starts on its first
    // sample's cell without a ramp).
    void reset() override;
    vxResult stop() override;

    // 0; 101 for a mode outside 0..2; 102 for modes 1 and 2 unless the input
    // has 32 channels.
    [[nodiscard]] int setHfMode(int mode);
    // The per-sample whole-degree elevation and azimuth of the beam (the
    // modal beamformer's arrays, `frames` long): 0, or 8 for a null array.
    [[nodiscard]] int setAngleSource(const int* theta, const int* phi);

    int mode() const { return requestedMode_.load(std::memory_order_relaxed); }
    int rampLength() const { return ramp_.size(); }

    // Tests: off, a block held on one direction of the current cell runs the
    // general per-sample path instead of the cell's mean (the same output
    // within float rounding). Set while stopped.
    void setHeldLookShortcut(bool on) { heldLookShortcut_ = on; }

private:
    struct CellSet {
        int cell = -1;
        int count = 0;
        int capsules[3] = {};
        float weight = 0.0f;  // 1 / capsules per cell
    };
    static int cellAt(int mode, int theta, int phi);
    static CellSet cellSet(int mode, int cell);
    void addGains(const CellSet& set, int i, float gain);
    // The look stays on one direction of the current cell for the whole
    // block, no ramp running: the output is the cell's mean, formed without
    // per-sample gains.
    bool heldInCell(int frames) const;
    bool heldLookShortcut_ = true;
    void cellMean(float* const* capsules, float* out, int frames) const;
    // Adds the triangle correction to the block's output y, the triangle
    // sets' share per sample in correctionGains_ (all 1 for onlyTriangle);
    // without a triangle set it only lets the FIR's history go.
    void correct(float* y, int frames, bool anyTriangle, bool onlyTriangle);

    const int* theta_ = nullptr;
    const int* phi_ = nullptr;
    vxKernelArray<float> gains_[kCapsules];  // per capsule, per sample
    bool active_[kCapsules] = {};
    int activeList_[kCapsules] = {};
    int activeCount_ = 0;
    int lastFrames_ = 0;
    vxKernelArray<float> ramp_;  // 1 down to 0.01, linear in dB
    vxKernelArray<Dsp8u> correctionState_;
    DspsFIRState_32f* correctionFir_ = nullptr;
    vxKernelArray<float> corrected_;        // the correction FIR's output
    vxKernelArray<float> correctionGains_;  // per sample: weight x triangle share
    // The audio thread's state.
    int mode_ = kOff;
    bool haveCell_ = false;
    CellSet current_, old_;
    int rampLeft_ = 0;
    float weight_ = 0.0f;      // the correction's weight at the end of the last block
    bool correcting_ = false;  // the correction FIR holds history
    std::atomic<int> requestedMode_{kOff};
};
