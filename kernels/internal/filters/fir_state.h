// The FIR filter state: its record, the carving of its block, and the
// variant bodies, tables and internal kernels of the FIR family.
//
// One block holds the record followed by the arrays it points to. The record
// keeps every field in its historical order with its real size (pointers are
// 8 bytes here), so the header is sizeof(DspsFIRState_32f) rounded up to 16
// and every size below is derived from it.
//
// Variant classes of the filtering: n0 sums each output in double and rounds
// once (the exactly rounded convolution but for the double sum's own
// rounding). n1..n4 sum in single precision, each output within tapsLen * 2^-23 * sum |h x| of
// the exact one, and agree bit for bit (one convolution code at every level).
// Multirate filtering: n0 sums each output in double over its own taps and
// rounds once, whatever the split into calls; n1..n4 run one code and agree
// bit for bit (whole periods in single precision, the outputs after them in
// double). States without a delay line: n0..n2 (and n3/n4 beyond the 64-tap
// cases) sum in double and agree bit for bit; the 64-tap kernels of n3/n4
// sum in single precision and agree with each other.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

struct DspsFFTSpec_R_32f;

// Identity words, characters read from the most significant byte.
inline constexpr Dsp32u kFirIdSingleRate = 0x46493031;      // "FI01"
inline constexpr Dsp32u kFirIdMultirate = 0x46493033;       // "FI03"
inline constexpr Dsp32u kFirIdShortTap = 0x46493333;        // "FI33", no delay line
inline constexpr Dsp32u kFirIdShortTapDecimate = 0x46493334;  // "FI34", no delay line

struct DspsFIRState_32f {
    Dsp32u id;
    Dsp32f* pTapsRev;    // taps reversed; n3/n4: four copies shifted by 0..3 floats
    Dsp32f* pDlyLine;    // history, oldest first, then staging room for new input
    int tapsLen;
    int upFactor;        // multirate only
    int dlyFillLen;      // single rate: ((tapsLen + 3) & ~3) + 1
    int downFactor;      // multirate only
    int dlyOutLen;       // multirate only
    DspsFFTSpec_R_32f* pFFTSpec;  // the state's own real-FFT specification; null in direct mode
    Dsp32f* pTapsSpectrum;        // Perm spectrum of the zero-padded taps; null in direct mode
    int fftLen;          // overlap-save block length; -1 in direct mode
    int dlyLineIndex;    // start of the history inside pDlyLine, in floats
    Dsp32s* pPhaseTable;  // multirate only; null for single rate
    Dsp32f* pTapsQuad;   // SSE variants: tap i repeated four times, caller's order; null in n0
    int windowLen;       // multirate only
    int mrMode;          // multirate only
    int dlyLineLen;      // floats dspsFIRSetDlyLine_32f writes: tapsLen for single rate
    Dsp32f* pFFTBlock;   // fftLen floats of the overlap-save block
    Dsp8u* pFFTWorkBuf;  // work buffer of the transforms; null when they need none
    Dsp32f* pScratch;    // 4096 floats: destination of the in-place runs
    int isAllocated;     // 1 when the library allocated the block
    int upPhase;         // multirate only
    int downPhase;       // multirate only
    // The variant (0..4) whose layout the arrays have. The filtering bodies
    // hand a state built by another variant (for instance before start-up)
    // to that variant's body, so no body reads a layout it did not build.
    int builtByVariant;
};

// ---- Sizes and carving -------------------------------------------------------

inline constexpr std::int64_t firRoundUp16(std::int64_t bytes) { return (bytes + 15) & ~std::int64_t{15}; }

inline constexpr std::int64_t kFirHeaderBytes = firRoundUp16(sizeof(DspsFIRState_32f));
inline constexpr std::int64_t kFirScratchFloats = 4096;
inline constexpr std::int64_t kFirScratchBytes = 4 * kFirScratchFloats;
inline constexpr std::int64_t kFirReservedBytes = 16;
// A caller's buffer is rounded up to 16 before the state is carved from it.
inline constexpr std::int64_t kFirCallerSlackBytes = 16;
// FFT mode from this many taps on.
inline constexpr int kFirFftMinTaps = 64;

// Which extra tap arrays a variant's direct kernels read.
enum class FirTapsLayout {
    kReversed,       // n0: the reversed taps only
    kQuads,          // n1, n2: reversed taps, and every tap four times
    kShiftedCopies,  // n3, n4: four shifted copies of the reversed taps, and every tap four times
};

inline constexpr FirTapsLayout firTapsLayoutOfLevel(int level) {
    return level == 0 ? FirTapsLayout::kReversed : level <= 2 ? FirTapsLayout::kQuads : FirTapsLayout::kShiftedCopies;
}

// Floats of one shifted copy: tapsLen + 3 rounded up to a multiple of 4.
inline constexpr std::int64_t firShiftedCopyFloats(std::int64_t tapsLen) { return (tapsLen + 6) & ~std::int64_t{3}; }

// dlyFillLen of a single-rate state: the longest run filtered wholly out of
// the delay buffer.
inline constexpr int firDlyFillLen(int tapsLen) { return ((tapsLen + 3) & ~3) + 1; }

// FFT order of a state of tapsLen taps: the smallest k with 2^k > tapsLen,
// plus one (fftLen = 2^order, twice the power of two above tapsLen); 0 below
// kFirFftMinTaps taps (direct mode).
inline constexpr int firFftOrderForTaps(std::int64_t tapsLen) {
    if (tapsLen < kFirFftMinTaps) return 0;
    int k = 2;
    while ((std::int64_t{1} << k) <= tapsLen) ++k;
    return k + 1;
}

// The byte sizes the real FFT reports for the state's specification
// (0 for all in direct mode). An allocated state keeps its specification in
// a block of its own, so spec and init are 0 there.
struct FirFftSizes {
    std::int64_t spec = 0;
    std::int64_t init = 0;
    std::int64_t work = 0;
    std::int64_t fftLen = 0;
};

// Byte offsets of a single-rate state's areas from its 16-byte-aligned base,
// in carving order; tapsQuad is -1 where the layout has none. end is the
// bytes the state occupies.
struct FirAreas {
    std::int64_t tapsRev, dlyLine, tapsQuad, fftSpec, fftInit, tapsSpectrum, fftWork, fftBlock, scratch, end;
};

inline constexpr FirAreas firSingleRateAreas(FirTapsLayout layout, std::int64_t tapsLen, const FirFftSizes& fft) {
    const std::int64_t tapsBytes = firRoundUp16(4 * tapsLen);
    const std::int64_t dlyBytes = firRoundUp16(12 * tapsLen + 16);  // 3 * tapsLen floats and at least 4 more
    const std::int64_t fftBytes = firRoundUp16(4 * fft.fftLen);
    FirAreas a{};
    a.tapsRev = kFirHeaderBytes;
    a.dlyLine = a.tapsRev + (layout == FirTapsLayout::kShiftedCopies ? 16 * firShiftedCopyFloats(tapsLen) : tapsBytes);
    const std::int64_t afterDly = a.dlyLine + dlyBytes;
    a.tapsQuad = layout == FirTapsLayout::kReversed ? -1 : afterDly;
    const std::int64_t afterTaps = layout == FirTapsLayout::kReversed ? afterDly : afterDly + 4 * tapsBytes;
    a.fftSpec = afterTaps + kFirReservedBytes;
    a.fftInit = a.fftSpec + fft.spec;
    a.tapsSpectrum = a.fftInit + fft.init;
    a.fftWork = a.tapsSpectrum + fftBytes;
    a.fftBlock = a.fftWork + fft.work;
    a.scratch = a.fftBlock + fftBytes;
    a.end = a.scratch + kFirScratchBytes;
    return a;
}

// ---- Multirate states ("FI03") ------------------------------------------------
//
// Input m sits at index m * upFactor + upPhase of an upsampled axis (zeros
// elsewhere); output n is taken at index n * downFactor + downPhase. Two
// forms: the window form (mrMode 1) gives the four outputs of a group one
// window of windowLen samples and a quad of taps per sample; the compact
// form (mrMode 2 for upFactor 1, else 3) gives each output its own window of
// P samples and P taps.

inline constexpr int kFirMrModeWindow = 1;
inline constexpr int kFirMrModeDecimate = 2;
inline constexpr int kFirMrModeCompact = 3;

// The compact form serves filters short against the down factor:
// tapsLen / (tapsLen + 3 * downFactor) at most 0.5 (upFactor 1) or 0.3.
inline bool firMrChoosesCompact(int tapsLen, int upFactor, int downFactor) {
    const double r = static_cast<double>(tapsLen) / (static_cast<double>(tapsLen) + 3.0 * downFactor);
    return r <= (upFactor == 1 ? 0.5 : 0.3);
}

// Derived quantities, in 64 bits (a caller refuses values beyond int).
struct FirMrShape {
    std::int64_t pastInputs;  // P = ceil(tapsLen / upFactor): delay-line length, compact window
    std::int64_t rowLen;      // L: multiple of upFactor, at least tapsLen + 3 * downFactor
    std::int64_t slotTaps;    // Q = upFactor * P
    std::int64_t windowLen;   // N: L / upFactor (window form) or P (compact form)
    std::int64_t fillLen;     // dlyFillLen: inputs a call stages behind the history
    std::int64_t outLen;      // dlyOutLen: outputs taken from the staged buffer
};

inline constexpr FirMrShape firMrShape(std::int64_t tapsLen, std::int64_t up, std::int64_t down, bool compact) {
    FirMrShape s{};
    s.pastInputs = (tapsLen + up - 1) / up;
    s.rowLen = (tapsLen + 3 * down + up - 1) / up * up;
    s.slotTaps = up * s.pastInputs;
    s.windowLen = compact ? s.pastInputs : s.rowLen / up;
    s.fillLen = (s.windowLen / (4 * down) + 1) * (4 * down) + 1;
    s.outLen = up * ((s.pastInputs + down - 1) / down);
    // Whole periods of 4 * upFactor outputs, each step one more iteration staged.
    const std::int64_t steps = (4 - (s.outLen / up) % 4) % 4;
    s.outLen += steps * up;
    s.fillLen += steps * down;
    return s;
}

// Byte offsets of a multirate state's parts from its 32-byte-aligned block.
struct FirMrAreas {
    std::int64_t tapsRev, tapTable, phaseTable, dlyLine, scratch, end;
};

inline constexpr FirMrAreas firMrAreas(std::int64_t tapsLen, std::int64_t up, bool compact, const FirMrShape& s) {
    FirMrAreas a{};
    a.tapsRev = kFirHeaderBytes;
    a.tapTable = a.tapsRev + firRoundUp16(4 * tapsLen);
    a.phaseTable = a.tapTable + 16 * s.rowLen;
    // Room for upFactor + 1 (window form) or 4 * upFactor + 1 entries.
    a.dlyLine = a.phaseTable + (((compact ? 16 * up : 4 * up) + 19) & ~std::int64_t{15});
    // P history floats, fillLen staged inputs and one more.
    a.scratch = a.dlyLine + ((4 * (s.pastInputs + s.fillLen) + 19) & ~std::int64_t{15});
    a.end = a.scratch + kFirScratchBytes;
    return a;
}

// ---- Variant bodies and tables -----------------------------------------------

// Releasing touches no variant-specific layout: one body serves every
// processor.
#define DSP_FIR_STATE_SLOTS(ENTRY, INTERNAL)                                                            \
    ENTRY(DspStatus, dspsFIRInitAlloc_32f, (0, 1, 2, 3, 4),                                              \
          (DspsFIRState_32f * *ppState, const Dsp32f* pTaps, int tapsLen, const Dsp32f* pDlyLine),       \
          (ppState, pTaps, tapsLen, pDlyLine))                                                          \
    ENTRY(DspStatus, dspsFIRInit_32f, (0, 1, 2, 3, 4),                                                   \
          (DspsFIRState_32f * *ppState, const Dsp32f* pTaps, int tapsLen, const Dsp32f* pDlyLine,        \
           Dsp8u* pBuffer),                                                                             \
          (ppState, pTaps, tapsLen, pDlyLine, pBuffer))                                                 \
    ENTRY(DspStatus, dspsFIRGetStateSize_32f, (0, 1, 2, 3, 4), (int tapsLen, int* pBufferSize),          \
          (tapsLen, pBufferSize))                                                                       \
    ENTRY(DspStatus, dspsFIRSetDlyLine_32f, (0, 1, 2, 3, 4),                                             \
          (DspsFIRState_32f * pState, const Dsp32f* pDlyLine), (pState, pDlyLine))                       \
    ENTRY(DspStatus, dspsFIRFree_32f, (0, 0, 0, 0, 0), (DspsFIRState_32f * pState), (pState))

#define DSP_FIR_MR_STATE_SLOTS(ENTRY, INTERNAL)                                                         \
    ENTRY(DspStatus, dspsFIRMRInitAlloc_32f, (0, 1, 2, 3, 4),                                            \
          (DspsFIRState_32f * *ppState, const Dsp32f* pTaps, int tapsLen, int upFactor, int upPhase,     \
           int downFactor, int downPhase, const Dsp32f* pDlyLine),                                      \
          (ppState, pTaps, tapsLen, upFactor, upPhase, downFactor, downPhase, pDlyLine))

#define DSP_FIR_FILTER_SLOTS(ENTRY, INTERNAL)                                                           \
    ENTRY(DspStatus, dspsFIR_32f, (0, 1, 2, 3, 4),                                                       \
          (const Dsp32f* pSrc, Dsp32f* pDst, int numIters, DspsFIRState_32f* pState),                    \
          (pSrc, pDst, numIters, pState))                                                               \
    ENTRY(DspStatus, dspsFIR_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int numIters, DspsFIRState_32f* pState), \
          (pSrcDst, numIters, pState))

// States without a delay line ("FI33" for factors 1 and 1, else "FI34"):
// dspsFIR_32f filters them, nothing public creates them; this internal
// set-up does (arguments checked as dspsFIRMRInitAlloc_32f checks them).
#define DSP_FIR_SHORT_TAP_SLOTS(ENTRY, INTERNAL)                                                        \
    INTERNAL(DspStatus, firShortTapInitAlloc, (0, 1, 2, 3, 4),                                           \
             (DspsFIRState_32f * *ppState, const Dsp32f* pTaps, int tapsLen, int upFactor, int upPhase,  \
              int downFactor, int downPhase))

DSP_DECLARE_FAMILY(DSP_FIR_STATE_SLOTS)
DSP_DECLARE_FAMILY(DSP_FIR_MR_STATE_SLOTS)
DSP_DECLARE_FAMILY(DSP_FIR_FILTER_SLOTS)
DSP_DECLARE_FAMILY(DSP_FIR_SHORT_TAP_SLOTS)

// ---- Internal kernels (no checks: the bodies have validated everything) ------

// Direct path over count >= 1 samples from source to destination (distinct,
// neither overlapping the state): stages the input behind the history,
// convolves, and leaves the last tapsLen inputs as the new history.
DSP_DECLARE_IN_LEVELS(void firDirectFilter32f(DspsFIRState_32f* pState, const Dsp32f* pSrc, Dsp32f* pDst,
                                              int count);)
// Convolution of the SSE variants: out[i] = sum over k of
// h[k] * window[i + tapsLen - 1 - k] in single precision, the window holding
// count + tapsLen - 1 floats (count, tapsLen >= 1; pDst overlaps neither the
// window nor the taps), in passes of four taps from pTapsQuad, oldest first.
DSP_DECLARE_IN_SSE_LEVELS(void firDirectConvolve32f(const Dsp32f* pTapsQuad, const Dsp32f* pWindow, Dsp32f* pDst,
                                                    int count, int tapsLen);)

// Overlap-save run of len >= 1 samples of a state in FFT mode (source and
// destination distinct, neither overlapping the state); the status of a
// failed transform, else 0. Leaves the last tapsLen inputs as the history.
DSP_DECLARE_IN_LEVELS(DspStatus firFftConvolve32f(DspsFIRState_32f* pState, const Dsp32f* pSrc, Dsp32f* pDst,
                                                  int len);)

// Loads a delay line given most recent first (null: zeros) into the state's
// history, oldest first, and restarts the history at the buffer's start.
DSP_DECLARE_IN_LEVELS(void firLoadDelayLine(DspsFIRState_32f* pState, const Dsp32f* pDlyLine);)

// Multirate filtering of a "FI03" state: numIters iterations, each reading
// downFactor inputs and writing upFactor outputs (source and destination
// distinct, neither overlapping the state); dspStsContextMatchErr for a state
// of no known mode.
DSP_DECLARE_IN_LEVELS(DspStatus firMultirateFilter32f(DspsFIRState_32f* pState, const Dsp32f* pSrc, Dsp32f* pDst,
                                                      std::int64_t numIters);)

// Filtering of a state without a delay line: the source carries the history
// (single rate: output n reads source samples n .. n + tapsLen - 1).
DSP_DECLARE_IN_LEVELS(void firShortTapFilter32f(const DspsFIRState_32f* pState, const Dsp32f* pSrc, Dsp32f* pDst,
                                                int numIters);)
