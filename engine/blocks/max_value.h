// A per-channel level detector: for every channel the largest magnitude
// since the last read (peak hold) and an envelope that rises with a short
// attack and falls with a long release. It writes nothing to its output.
//
// Threads: `process` (audio thread) measures into arrays of its own and then
// only tries the block's mutex to publish them; a meter poll (`readLevels`,
// control thread) that holds the mutex, even one preempted there, never
// makes the audio thread wait. A block that finds the mutex taken is folded
// into the next publication: its peaks are kept until then, and the levels
// published next are the envelope after both blocks, as if both had been
// published one by one. `reset` (control thread) clears what is published
// and has the audio side clear its own arrays before its next block.
#pragma once

#include <atomic>
#include <mutex>

#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class CMaxValue : public vxAudioClass {
public:
    CMaxValue();

    // vxErrRunning while running; vxErrFormat unless the input is real;
    // sizes peaks, levels and the magnitudes of one block for the input
    // (vxErrAllocation), zeroes them and derives the coefficients from the
    // input's sample rate.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // Measures every input channel; vxOK, or vxErrFormat (nothing measured)
    // when frames exceeds the configured frames. Null channels are skipped.
    vxResult process(float** in, float** out, int frames) override;
    // Levels and peaks to zero.
    void reset() override;
    // Stops and resets.
    vxResult stop() override;

    // Copies the first n peaks and levels (at most the block's channels) and
    // starts a new peak hold: the next read sees only what comes after.
    void readLevels(float* peaks, float* levels, int n);

    // Tests: holds the mutex as a meter poll preempted inside readLevels would.
    std::unique_lock<std::mutex> holdLevelsForTest() { return std::unique_lock(mutex_); }

    // The time constants, in seconds.
    float releaseTime() const { return releaseTime_; }
    float attackTime() const { return attackTime_; }
    // Per-sample envelope coefficients: the fraction of the distance to the
    // current magnitude covered per sample, rising (attack) or falling
    // (release). Both 1 without a sample rate.
    float attackCoefficient() const { return attackCoeff_; }
    float releaseCoefficient() const { return releaseCoeff_; }

private:
    void updateCoefficients(float sampleRate);

    float releaseTime_ = 0.7383f;
    float attackTime_ = 0.0031066746f;
    float releaseCoeff_ = 1.0f;
    float attackCoeff_ = 1.0f;
    // Published, under the mutex: what readLevels copies.
    vxKernelArray<float> peaks_;
    vxKernelArray<float> levels_;
    // The audio thread's own: the largest magnitudes not yet published, the
    // running envelope and the magnitudes of one block.
    vxKernelArray<float> pendingPeaks_;
    vxKernelArray<float> envelope_;
    vxKernelArray<float> magnitudes_;
    std::atomic<bool> resetPending_{false};
    std::mutex mutex_;
};
