// FIR states without a delay line, compiled once per processor level by
// fir_shorttap.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

constexpr bool kShiftedCopies = firTapsLayoutOfLevel(kLevel) == FirTapsLayout::kShiftedCopies;

// ---- Set-up ---------------------------------------------------------------------
//
// One block: the record and the taps, reversed (copy 0 is the plain reversed
// taps; the SSSE3 and SSE4.1 layouts add copies 1 to 3, copy k shifted by k
// floats). Factors 1 and 1 give "FI33", any other "FI34".

DspStatus DSP_VARIANT(firShortTapInitAlloc)(DspsFIRState_32f** ppState, const Dsp32f* pTaps, int tapsLen,
                                                       int upFactor, int upPhase, int downFactor, int downPhase) {
    if (ppState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    if (tapsLen < 1) return dspStsFIRLenErr;
    if (upFactor < 1 || downFactor < 1) return dspStsFIRMRFactorErr;
    if (upPhase < 0 || upPhase >= upFactor || downPhase < 0 || downPhase >= downFactor) return dspStsFIRMRPhaseErr;
    const std::int64_t copyFloats = kShiftedCopies ? firShiftedCopyFloats(tapsLen) : tapsLen;
    const std::int64_t tapFloats = kShiftedCopies ? 4 * copyFloats : tapsLen;
    const std::int64_t bytes = kFirHeaderBytes + firRoundUp16(4 * tapFloats);
    Dsp8u* block = bytes > 0x7FFFFFFF ? nullptr : n0_dspsMalloc_8u(static_cast<int>(bytes));
    if (block == nullptr) return dspStsMemAllocErr;
    auto* s = new (block) DspsFIRState_32f{};
    s->id = upFactor == 1 && downFactor == 1 ? kFirIdShortTap : kFirIdShortTapDecimate;
    s->pTapsRev = reinterpret_cast<Dsp32f*>(block + kFirHeaderBytes);
    s->tapsLen = tapsLen;
    s->upFactor = upFactor;
    s->downFactor = downFactor;
    s->upPhase = upPhase;
    s->downPhase = downPhase;
    s->fftLen = -1;
    s->isAllocated = 1;
    s->builtByVariant = kLevel;
    for (std::int64_t i = 0; i < tapFloats; ++i) s->pTapsRev[i] = 0.0f;
    for (std::int64_t copy = 0; copy < (kShiftedCopies ? 4 : 1); ++copy)
        for (std::int64_t j = 0; j < tapsLen; ++j) s->pTapsRev[copy * copyFloats + copy + j] = pTaps[tapsLen - 1 - j];
    *ppState = s;
    return dspStsNoErr;
}

// ---- Plain loops, double sums ---------------------------------------------------

// Single rate: y[n] = sum over j of c[j] * x[n + j], c the reversed taps.
void shortTapLoop(const DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, std::int64_t outputs) {
    const Dsp32f* c = s->pTapsRev;
    for (std::int64_t n = 0; n < outputs; ++n) {
        double sum = 0.0;
        for (std::int64_t j = 0; j < s->tapsLen; ++j) sum += static_cast<double>(c[j]) * dspLoad<float>(pSrc + n + j);
        dspStore(pDst + n, static_cast<float>(sum));
    }
}

// Multirate: source sample m sits at upsampled index m * upFactor + upPhase
// (zeros between), and output n is sum over j of c[j] * u[n * downFactor +
// downPhase + j]: with factors 1 and 10 and phases 0, output n reads source
// samples 10n .. 10n + tapsLen - 1. numIters iterations give upFactor *
// numIters outputs.
void shortTapMultirateLoop(const DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, std::int64_t numIters) {
    const Dsp32f* c = s->pTapsRev;
    const std::int64_t up = s->upFactor;
    for (std::int64_t n = 0; n < up * numIters; ++n) {
        double sum = 0.0;
        for (std::int64_t j = 0; j < s->tapsLen; ++j) {
            const std::int64_t at = n * s->downFactor + s->downPhase + j - s->upPhase;
            if (at >= 0 && at % up == 0) sum += static_cast<double>(c[j]) * dspLoad<float>(pSrc + at / up);
        }
        dspStore(pDst + n, static_cast<float>(sum));
    }
}

#if DSP_LEVEL >= 3

// ---- 64-tap kernels over the shifted copies ---------------------------------------
//
// Vector product v of an output is window vector v times vector v of its
// copy; the four lanes are summed separately by fixed addition trees and the
// output is (s0 + s2) + (s1 + s3). Lanes of a copy's padding zeros are never
// fed a sample: the first vector's padded lanes are masked, the last vector
// loads only the lanes that hold taps, so a NaN outside an output's window
// reaches no other output and nothing past the source is read.

constexpr int kShortTaps = 64;
constexpr int kCopyFloats = 68;

inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }

inline float finish(__m128 s) {
    const __m128 pairs = add(s, _mm_movehl_ps(s, s));  // s0 + s2, s1 + s3
    return _mm_cvtss_f32(add(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
}

// (((((((P0 + P1) + (P2 + P3)) + (P4 + P5)) + (P6 + P7)) + (P8 + P9)) + (P10 + P11)) + ...: the
// first ten products of every tree.
inline __m128 leadingTen(const __m128 (&p)[17]) {
    return add(add(add(add(add(p[0], p[1]), add(p[2], p[3])), add(p[4], p[5])), add(p[6], p[7])), add(p[8], p[9]));
}

inline __m128 tree16(const __m128 (&p)[17]) {
    return add(add(add(leadingTen(p), add(p[10], p[11])), add(p[12], p[13])), add(p[14], p[15]));
}

inline __m128 tree17Copy1(const __m128 (&p)[17]) {
    return add(add(add(leadingTen(p), add(p[10], p[11])), add(p[14], p[15])), add(add(p[12], p[13]), p[16]));
}

inline __m128 tree17Copies23(const __m128 (&p)[17]) {
    return add(add(add(leadingTen(p), p[16]), add(add(p[10], p[11]), p[14])), add(add(p[12], p[13]), p[15]));
}

inline __m128 tree17Down10(const __m128 (&p)[17]) {
    const __m128 head = add(add(add(add(add(p[0], p[1]), p[4]), add(p[2], p[3])), add(p[5], p[6])), add(p[7], p[8]));
    return add(add(head, add(p[13], p[14])), add(add(add(p[9], p[10]), add(p[11], p[12])), add(p[15], p[16])));
}

inline const Dsp32f* copyOf(const DspsFIRState_32f* s, int k) { return s->pTapsRev + k * kCopyFloats; }

// Lanes lane >= from of a vector kept, the others zero.
inline __m128 lanesFrom(__m128 v, int from) {
    return _mm_and_ps(v, _mm_castsi128_ps(_mm_setr_epi32(from > 0 ? 0 : -1, from > 1 ? 0 : -1, from > 2 ? 0 : -1, -1)));
}

// The first `lanes` floats at p, the other lanes zero; reads nothing more.
inline __m128 leadingLanes(const Dsp32f* p, int lanes) {
    return _mm_setr_ps(dspLoad<float>(p), lanes > 1 ? dspLoad<float>(p + 1) : 0.0f,
                       lanes > 2 ? dspLoad<float>(p + 2) : 0.0f, 0.0f);
}

// One output from copy 0 over 16 vectors of a window at any address.
inline float aloneOutput(const DspsFIRState_32f* s, const Dsp32f* pWindow) {
    const Dsp32f* c = copyOf(s, 0);
    __m128 p[17];
    for (int v = 0; v < 16; ++v) p[v] = _mm_mul_ps(_mm_loadu_ps(pWindow + 4 * v), _mm_load_ps(c + 4 * v));
    return finish(tree16(p));
}

// Copy k (1..3) against the aligned window at w: k padding lanes lead vector
// 0, and vector 16 holds taps in its first k lanes only.
template <typename Tree>
inline float shiftedOutput(const Dsp32f* c, const Dsp32f* w, int k, Tree tree) {
    __m128 p[17];
    p[0] = _mm_mul_ps(lanesFrom(_mm_load_ps(w), k), _mm_load_ps(c));
    for (int v = 1; v < 16; ++v) p[v] = _mm_mul_ps(_mm_load_ps(w + 4 * v), _mm_load_ps(c + 4 * v));
    p[16] = _mm_mul_ps(leadingLanes(w + 64, k), _mm_load_ps(c + 64));
    return finish(tree(p));
}

// Single rate, 64 taps: output n reads source samples n .. n + 63.
void shortTapKernel(const DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, int numIters) {
    int n = 0;
    if (numIters >= 4 && onBoundary(pSrc, 16)) {
        for (; numIters - n >= 4; n += 4) {
            const Dsp32f* w = pSrc + n;
            __m128 p[17];
            for (int v = 0; v < 16; ++v) p[v] = _mm_mul_ps(_mm_load_ps(w + 4 * v), _mm_load_ps(copyOf(s, 0) + 4 * v));
            dspStore(pDst + n, finish(tree16(p)));
            dspStore(pDst + n + 1, shiftedOutput(copyOf(s, 1), w, 1, tree17Copy1));
            dspStore(pDst + n + 2, shiftedOutput(copyOf(s, 2), w, 2, tree17Copies23));
            dspStore(pDst + n + 3, shiftedOutput(copyOf(s, 3), w, 3, tree17Copies23));
        }
    }
    for (; n < numIters; ++n) dspStore(pDst + n, aloneOutput(s, pSrc + n));
}

// Decimation by 10, 64 taps, len source samples consumed (ceil(len / 10)
// outputs): output m reads source samples 10m .. 10m + 63. An aligned step
// takes 20 samples: the even output from copy 0 at 20r, the odd one from
// copy 2 at 20r + 8 (its two leading zeros put the taps on 20r + 10 ..).
void shortTapDown10Kernel(const DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, std::int64_t len) {
    std::int64_t m = 0;
    if (len >= 20 && onBoundary(pSrc, 16)) {
        for (; len >= 20; len -= 20, m += 2) {
            const Dsp32f* w = pSrc + 10 * m;
            __m128 p[17];
            for (int v = 0; v < 16; ++v) p[v] = _mm_mul_ps(_mm_load_ps(w + 4 * v), _mm_load_ps(copyOf(s, 0) + 4 * v));
            dspStore(pDst + m, finish(tree16(p)));
            dspStore(pDst + m + 1, shiftedOutput(copyOf(s, 2), w + 8, 2, tree17Down10));
        }
    }
    for (; len > 0; len -= 10, ++m) dspStore(pDst + m, aloneOutput(s, pSrc + 10 * m));
}

#endif

// A state without a delay line: its 64-tap kernels where this level has
// them, the plain loops otherwise. Nothing is written back to the state.
void firShortTapFilter32f(const DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, int numIters) {
#if DSP_LEVEL >= 3
    if (s->id == kFirIdShortTap && s->tapsLen == kShortTaps) {
        shortTapKernel(s, pSrc, pDst, numIters);
        return;
    }
    if (s->id == kFirIdShortTapDecimate && s->upFactor == 1 && s->downFactor == 10 && s->upPhase == 0 &&
        s->downPhase == 0 && s->tapsLen == kShortTaps) {
        shortTapDown10Kernel(s, pSrc, pDst, 10 * std::int64_t{numIters});
        return;
    }
#endif
    if (s->id == kFirIdShortTap)
        shortTapLoop(s, pSrc, pDst, numIters);
    else
        shortTapMultirateLoop(s, pSrc, pDst, numIters);
}

#include "simd_level_end.inc"
