// The spherical-harmonic decomposition: the 32 capsule signals become the 16
// components of orders 0..3 (k = n^2 + n + m) that every beam's modal
// beamformer reads. Each component is a fixed weighted sum of the capsules
// (the encoder matrix) followed by its order's radial filter: a biquad
// cascade (radial mode 0), the cascade then a FIR and an alignment delay
// that bring every order to the same latency (mode 1), or nothing (mode 2).
//
// Threads: the loads and the radial mode on the control thread while the
// chain is stopped; `process` on the audio thread, once per block for all
// beams. Nothing allocates in `process`.
#pragma once

#include <memory>

#include "dsp/delay_line.h"
#include "beamformer/runtime/radial_cascades.h"
#include "dsp.h"
#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class CEbf : public vxAudioClass {
public:
    static constexpr int kMaxComponents = 16;
    static constexpr int kOrders = 4;
    // The radial FIRs' common group delay, and the longest of them.
    static constexpr int kRadialFirLatency = 315;
    static constexpr int kLongestRadialFir = 2 * kRadialFirLatency + 1;

    enum RadialMode : int { kRadialBiquads = 0, kRadialBiquadsAndFirs = 1, kNoRadialFilter = 2 };

    CEbf() = default;
    ~CEbf() override;

    // vxErrRunning; vxErrFormat unless both formats are real time domain with
    // equal rates and frames and the output has 1, 4, 9 or 16 channels.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // components[k] for every component in use; always vxOK.
    vxResult process(float** capsules, float** components, int frames) override;
    void reset() override;
    vxResult stop() override;

    // Rows of input-channel weights, one per component: vxErrRunning; 101
    // unless configured for order 3; 103 unless the input has 32 channels;
    // vxErrAllocation.
    [[nodiscard]] int setEncoderMatrix(const float* const* rows);
    // Per order its sections (six doubles each: b0, b1, b2, a0, a1, a2) and
    // section count: vxErrRunning, 102 unless order 3; else 0 (a cascade that
    // cannot be made leaves its component unfiltered).
    [[nodiscard]] int setRadialBiquads(const double* const* sections, const int* sectionCounts);
    // Per order its FIR of `lengths` taps (at most kLongestRadialFir), each
    // followed by (kLongestRadialFir - length) / 2 samples of delay:
    // vxErrRunning, 102 unless order 3, vxErrBadArgument for a bad length.
    [[nodiscard]] int setRadialFirs(const float* const* taps, const int* lengths);
    // vxErrRunning; 105 for a mode above 2, or mode 1 without FIRs.
    [[nodiscard]] int setRadialMode(int mode);

    int order() const { return order_; }
    int componentCount() const { return componentCount_; }
    int radialMode() const { return radialMode_; }
    // kRadialFirLatency once FIRs are loaded, else 0.
    float firLatency() const { return firLatency_; }

private:
    struct Component {
        vxKernelArray<float> row;  // one weight per capsule
        DspsFIRState_32f* fir = nullptr;
        std::unique_ptr<CDelayLine> alignment;
    };
    void releaseFirs();

    int order_ = -1;
    int componentCount_ = 0;
    int radialMode_ = kRadialBiquads;
    float firLatency_ = 0.0f;
    Component components_[kMaxComponents];
    vxRadialCascades radial_;  // the biquad cascades, all components side by side
};
