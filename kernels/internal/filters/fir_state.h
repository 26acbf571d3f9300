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
// the exact one; n1 and n2 agree bit for bit, as do n3 and n4, and n3/n4
// differ from n1/n2 from 32 taps on (other summation order).
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

#define DSP_FIR_FILTER_SLOTS(ENTRY, INTERNAL)                                                           \
    ENTRY(DspStatus, dspsFIR_32f, (0, 1, 2, 3, 4),                                                       \
          (const Dsp32f* pSrc, Dsp32f* pDst, int numIters, DspsFIRState_32f* pState),                    \
          (pSrc, pDst, numIters, pState))                                                               \
    ENTRY(DspStatus, dspsFIR_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int numIters, DspsFIRState_32f* pState), \
          (pSrcDst, numIters, pState))

DSP_DECLARE_FAMILY(DSP_FIR_STATE_SLOTS)
DSP_DECLARE_FAMILY(DSP_FIR_FILTER_SLOTS)

// ---- Internal kernels (no checks: the bodies have validated everything) ------

// Direct path over count >= 1 samples from source to destination (distinct,
// neither overlapping the state): stages the input behind the history,
// convolves, and leaves the last tapsLen inputs as the new history.
DSP_DECLARE_IN_LEVELS(void firDirectFilter32f(DspsFIRState_32f* pState, const Dsp32f* pSrc, Dsp32f* pDst,
                                              int count);)
// Convolution of the SSE variants: out[i] = sum over k of
// h[k] * window[i + tapsLen - 1 - k] in single precision, the window holding
// count + tapsLen - 1 floats (count, tapsLen >= 1; pDst overlaps neither the
// window nor the taps). layoutFlag 0: pTaps is pTapsQuad and the passes of
// four taps run oldest first; non-zero (n3/n4 only, tapsLen >= 32): pTaps
// is the shifted-copies pTapsRev and groups of four outputs sum lanes in
// segments of at most 17 vectors. n1/n2 ignore the flag.
DSP_DECLARE_IN_SSE_LEVELS(void firDirectConvolve32f(const Dsp32f* pTaps, const Dsp32f* pWindow, Dsp32f* pDst,
                                                    int count, int tapsLen, int layoutFlag);)
