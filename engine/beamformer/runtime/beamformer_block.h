// The beamformer block of the processing chain: 32 capsule signals in, one
// steered beam per output channel out. It owns the twelve beam patterns and
// the beamforming chain, loads a beam's pattern variant into the chain's
// stages, keeps each beam's look direction, pattern and variant, and answers
// the user interface's pattern queries (names, variant values, polar curves,
// beam widths).
//
// Channel parameters (one int32 each): 0 "theta" and 1 "phi" (whole
// degrees), 2 "pattern" (0..11; a larger value selects the last, "torus";
// the variant of value 0 is loaded, else the last), 3 "mbfMode" (the chain
// mode 0..4, one for the block) and 4 "eqStatus" (equaliser on when
// non-zero, one for the block).
//
// Threads: `configure` on the control thread while stopped; the setters and
// queries on the control thread at any time, without a lock: angles become
// targets the audio thread glides to, pattern loads go into spare banks the
// audio thread crossfades in, mode and flags are atomics read once per
// block. `process` on the audio thread.
// The setters assume ONE control thread: two threads in them at once would
// load the same spare bank or race on a beam's choice, and nothing here
// orders them. Debug builds check it: a setter entered while another thread
// is inside one aborts.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "beamformer/runtime/beamformer_chain.h"
#include "beamformer/runtime/patterns.h"
#include "framework/audio_class.h"

class CRo32 : public vxAudioClass {
public:
    static constexpr int kClassId = 10401;
    enum ChannelParameter : int { kTheta = 0, kPhi = 1, kPattern = 2, kMbfMode = 3, kEqStatus = 4 };
    static constexpr int kCapsules = 32;
    static constexpr int kMaxBeams = 30;
    static constexpr int kComponents = 16;
    // The rates the block accepts: 44100 Hz plus or minus 10 %.
    static constexpr float kLowestRate = 39690.0f;
    static constexpr float kHighestRate = 48510.0f;

    CRo32();
    ~CRo32() override = default;

    // Formats: 32 capsules in, at most 30 beams out, real time domain, rates
    // within 39690..48510 Hz, equal frames: else vxErrFormat (the previous
    // configuration stays). Then the chain is built, its decomposition and
    // stage delays loaded, and every beam enabled looking at theta 90,
    // phi 0 with "omni". vxErrAllocation, vxErrRunning or a chain stage's code.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    vxResult process(float** in, float** out, int frames) override { return chain_.process(in, out, frames); }
    void reset() override { chain_.reset(); }
    vxResult stop() override { return chain_.stop(); }
    vxResult start() override { return chain_.start(); }
    bool isChainRunning() const { return chain_.isRunning(); }

    // vxErrNoChannelParameterId for an id outside 0..4; 11 for a beam
    // outside the block (ids 0..2); the typed copy's code; for "pattern"
    // vxErrBadArgument when negative; for "mbfMode" the result of setMbfMode.
    [[nodiscard]] vxResult setChannelParameter(int channel, int id, const void* data, int count, int type) override;
    // 11 for a channel outside the block, vxErrNoChannelParameterId, or the
    // typed copy's code.
    vxResult getChannelParameter(int channel, int id, void* data, int count, int type) override;

    // 101 for a beam outside the chain. Theta is clamped to 0..180 and phi
    // reduced into 0..359 (whole degrees, truncated); the beam glides there.
    [[nodiscard]] int setTheta(int beam, float degrees);
    [[nodiscard]] int setPhi(int beam, float degrees);
    // Chooses the beam's pattern record without loading it: vxErrBadArgument
    // for a beam outside the block or a pattern outside 0..11.
    [[nodiscard]] int setPattern(int beam, int pattern);
    // Loads variant v of the beam's pattern into its modal beamformer, HF
    // path, crossover and equaliser (each crossfades to it): 0; 101 for a
    // beam outside the chain; vxErrBadArgument when the beam has no
    // pattern; or the first failing stage's code (a variant the pattern does
    // not have loads empty filters).
    [[nodiscard]] int setPatternParameter(int beam, int variant);
    // 0, or 101 for a beam outside the chain.
    [[nodiscard]] int setBeamEnabled(int beam, bool on);
    // 0, or 102 for a mode outside 0..4 (the chain keeps its mode). Leaving
    // mode 3 switches every beam's HF path off until its pattern is loaded
    // again.
    [[nodiscard]] int setMbfMode(int mode);
    [[nodiscard]] int setEqStatus(bool on);

    // Queries for the user interface; every out-pointer may be null.
    int numPatterns() const { return factory_.count(); }
    int maxCurvePoints() const { return factory_.mostCurvePoints(); }
    // 0, or vxErrBadArgument for a pattern outside 0..11.
    int patternInfo(int pattern, int* nameLength, int* descriptionLength, int* variantCount, int* curvePoints) const;
    // The 16-byte NUL-padded name and description and the variant values.
    int patternNames(int pattern, char* name16, char* description16, int* variantValues) const;
    // The polar curve and beam width of a variant (width 0 and no curve for
    // a variant the pattern does not have).
    int patternCurve(int pattern, int variant, float* curve, int* beamWidth) const;

    // The last pattern and variant index given to a beam (-1 before any).
    int beamPattern(int beam) const;
    int beamVariant(int beam) const;
    int mbfMode() const { return mbfMode_.load(std::memory_order_relaxed); }
    const CRo32Factory& factory() const { return factory_; }
    CRosphere& chain() { return chain_; }
    const CRosphere& chain() const { return chain_; }

private:
    struct BeamChoice {
        std::atomic<int> pattern{-1};
        std::atomic<int> variant{-1};
    };

    // Debug builds: marks the calling thread as the one inside a setter for
    // the guard's lifetime, and aborts when another thread is inside one.
    class ControlThreadGuard {
    public:
        explicit ControlThreadGuard(std::atomic<std::thread::id>& inside);
        ~ControlThreadGuard();
        ControlThreadGuard(const ControlThreadGuard&) = delete;
        ControlThreadGuard& operator=(const ControlThreadGuard&) = delete;

    private:
        std::atomic<std::thread::id>* inside_ = nullptr;  // set when this guard took the mark
    };

    int loadDecomposition();
    bool isBeam(int beam) const { return beam >= 0 && beam < beamCount_; }
    // The variant a newly chosen pattern starts with: the first of value 0,
    // else the last.
    int defaultVariant(const CRoPattern& pattern) const;

    CRo32Factory factory_;
    CRosphere chain_;
    std::unique_ptr<BeamChoice[]> beams_;
    int beamCount_ = 0;
    std::atomic<int> mbfMode_{CRosphere::kBothBands};
    std::atomic<bool> eqStatus_{true};
    std::atomic<std::thread::id> controlThread_{};  // the thread inside a setter, if any
};
