// Direct-form FIR convolution kernels, compiled once per processor level by
// fir_direct.cpp. Window loads stay inside the window, whatever its address;
// scalar accesses go through dspLoad/dspStore, as window and destination
// need not be aligned to a float.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

#if DSP_LEVEL == 0

// out[i] = sum over k of tapsRev[k] * window[i + k], formed in double from
// +0.0, oldest sample first, and rounded to float once. Four outputs share
// each tap load; the grouping changes no result.
void convolveInDouble(const Dsp32f* pTapsRev, const Dsp32f* pWindow, Dsp32f* pDst, int count, int tapsLen) {
    int i = 0;
    for (; count - i >= 4; i += 4) {
        double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
        const Dsp32f* w = pWindow + i;
        for (int k = 0; k < tapsLen; ++k) {
            const double tap = pTapsRev[k];
            a0 += tap * dspLoad<float>(w + k);
            a1 += tap * dspLoad<float>(w + k + 1);
            a2 += tap * dspLoad<float>(w + k + 2);
            a3 += tap * dspLoad<float>(w + k + 3);
        }
        dspStore(pDst + i, static_cast<float>(a0));
        dspStore(pDst + i + 1, static_cast<float>(a1));
        dspStore(pDst + i + 2, static_cast<float>(a2));
        dspStore(pDst + i + 3, static_cast<float>(a3));
    }
    for (; i < count; ++i) {
        double a = 0.0;
        for (int k = 0; k < tapsLen; ++k) a += static_cast<double>(pTapsRev[k]) * dspLoad<float>(pWindow + i + k);
        dspStore(pDst + i, static_cast<float>(a));
    }
}

#else

inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
inline float add(float a, float b) { return a + b; }
inline float mul(float a, float b) { return a * b; }

// ---- Broadcast layout (pTapsQuad): passes of up to four taps -----------------
//
// Tap k is h[k] in the caller's order; pTapsQuad holds it four times at
// float 4k, so one aligned load gives its product for four outputs. A pass
// takes the taps of window offsets o .. o+kTaps-1, that is h[T-1-o] down to
// h[T-kTaps-o]; pa is the product with the oldest sample of the pass.

// The sum a pass stores: alone (writing pass) or added to the partial sum y
// of the earlier passes (accumulating pass).
template <int kTaps, bool kAccumulate, typename T>
inline T passSum(T y, const T (&p)[4]) {
    static_assert(kTaps >= 1 && kTaps <= 4);
    if constexpr (!kAccumulate) {
        if constexpr (kTaps == 1) return p[0];
        if constexpr (kTaps == 2) return add(p[0], p[1]);
        if constexpr (kTaps == 3) return add(add(p[0], p[1]), p[2]);
        if constexpr (kTaps == 4) return add(add(p[0], p[1]), add(p[2], p[3]));
    } else {
        if constexpr (kTaps == 1) return add(y, p[0]);
        if constexpr (kTaps == 2) return add(add(y, p[0]), p[1]);
        if constexpr (kTaps == 3) return add(add(p[0], p[1]), add(p[2], y));
        if constexpr (kTaps == 4) return add(add(p[0], p[1]), add(add(y, p[3]), p[2]));
    }
}

inline float tapOf(const Dsp32f* pTapsQuad, int k) { return pTapsQuad[4 * k]; }
inline __m128 tapQuadOf(const Dsp32f* pTapsQuad, int k) { return _mm_load_ps(pTapsQuad + 4 * k); }

// One output by the single-output loop: oldest sample first, strictly
// sequential, single precision.
inline float singleOutput(const Dsp32f* pTapsQuad, const Dsp32f* pWindow, int tapsLen) {
    float s = 0.0f;
    for (int k = tapsLen - 1; k >= 0; --k) s = s + tapOf(pTapsQuad, k) * dspLoad<float>(pWindow + tapsLen - 1 - k);
    return s;
}

// A pass of kTaps taps over count outputs; pWindow is already advanced by
// the pass's window offset and firstTap is the index of its oldest tap.
// kAlignedDst: the destination is on a 16-byte boundary (class A).
template <int kTaps, bool kAccumulate, bool kAlignedDst>
void quadPass(const Dsp32f* pTapsQuad, int firstTap, const Dsp32f* pWindow, Dsp32f* pDst, int count) {
    __m128 taps[4];
    float scalarTaps[4];
    for (int q = 0; q < kTaps; ++q) {
        taps[q] = tapQuadOf(pTapsQuad, firstTap - q);
        scalarTaps[q] = tapOf(pTapsQuad, firstTap - q);
    }
    const auto vectorAt = [&](int i) {
        __m128 p[4];
        for (int q = 0; q < kTaps; ++q) p[q] = mul(_mm_loadu_ps(pWindow + i + q), taps[q]);
        if constexpr (kAlignedDst) {
            const __m128 y = kAccumulate ? _mm_load_ps(pDst + i) : _mm_setzero_ps();
            _mm_store_ps(pDst + i, passSum<kTaps, kAccumulate>(y, p));
        } else {
            _mm_storeu_ps(pDst + i, passSum<kTaps, kAccumulate>(_mm_setzero_ps(), p));
        }
    };
    constexpr int kBlock = kTaps <= 2 ? 16 : 8;
    int i = 0;
    for (; count - i >= kBlock; i += kBlock)
        for (int b = 0; b < kBlock; b += 4) vectorAt(i + b);
    if (kBlock == 16 && count - i >= 8) {
        vectorAt(i);
        vectorAt(i + 4);
        i += 8;
    }
    if (count - i >= 4) {
        vectorAt(i);
        i += 4;
    }
    for (; i < count; ++i) {
        float p[4];
        for (int q = 0; q < kTaps; ++q) p[q] = scalarTaps[q] * dspLoad<float>(pWindow + i + q);
        const float y = kAccumulate ? dspLoad<float>(pDst + i) : 0.0f;
        dspStore(pDst + i, passSum<kTaps, kAccumulate>(y, p));
    }
}

template <bool kAccumulate, bool kAlignedDst>
void quadPassOf(int taps, const Dsp32f* pTapsQuad, int firstTap, const Dsp32f* pWindow, Dsp32f* pDst, int count) {
    switch (taps) {
        case 1: quadPass<1, kAccumulate, kAlignedDst>(pTapsQuad, firstTap, pWindow, pDst, count); break;
        case 2: quadPass<2, kAccumulate, kAlignedDst>(pTapsQuad, firstTap, pWindow, pDst, count); break;
        case 3: quadPass<3, kAccumulate, kAlignedDst>(pTapsQuad, firstTap, pWindow, pDst, count); break;
        default: quadPass<4, kAccumulate, kAlignedDst>(pTapsQuad, firstTap, pWindow, pDst, count); break;
    }
}

// Destination on a float boundary (class A): single outputs up to a 16-byte
// boundary, then ceil(T/4) passes through the destination, oldest taps first;
// between passes it holds each output's partial sum.
void convolveQuadsClassA(const Dsp32f* pTapsQuad, const Dsp32f* pWindow, Dsp32f* pDst, int count, int tapsLen) {
    for (; !onBoundary(pDst, 16); ++pDst, ++pWindow) {
        dspStore(pDst, singleOutput(pTapsQuad, pWindow, tapsLen));
        if (--count == 0) return;
    }
    for (int offset = 0; offset < tapsLen; offset += 4) {
        const int taps = tapsLen - offset < 4 ? tapsLen - offset : 4;
        const int firstTap = tapsLen - 1 - offset;
        if (offset == 0)
            quadPassOf<false, true>(taps, pTapsQuad, firstTap, pWindow, pDst, count);
        else
            quadPassOf<true, true>(taps, pTapsQuad, firstTap, pWindow + offset, pDst, count);
    }
}

// Destination off a float boundary (class B), tapsLen >= 5: the sum of four
// outputs stays in a register over all taps; the last count mod 4 outputs
// come from the single-output loop.
void convolveQuadsClassB(const Dsp32f* pTapsQuad, const Dsp32f* pWindow, Dsp32f* pDst, int count, int tapsLen) {
    const int fullGroups = tapsLen / 4;
    const int rest = tapsLen % 4;
    int i = 0;
    for (; count - i >= 4; i += 4) {
        __m128 s = _mm_setzero_ps();
        const auto products = [&](int offset, int taps, __m128 (&p)[4]) {
            for (int q = 0; q < taps; ++q)
                p[q] = mul(_mm_loadu_ps(pWindow + i + offset + q), tapQuadOf(pTapsQuad, tapsLen - 1 - offset - q));
        };
        __m128 p[4];
        for (int g = 0; g < fullGroups; ++g) {
            products(4 * g, 4, p);
            s = add(s, add(add(p[0], p[1]), add(p[2], p[3])));
        }
        products(4 * fullGroups, rest, p);
        if (rest == 1) s = add(s, p[0]);
        if (rest == 2) s = add(s, add(p[0], p[1]));
        if (rest == 3) s = add(add(s, p[2]), add(p[0], p[1]));
        _mm_storeu_ps(pDst + i, s);
    }
    for (; i < count; ++i) dspStore(pDst + i, singleOutput(pTapsQuad, pWindow + i, tapsLen));
}

void convolveQuads(const Dsp32f* pTapsQuad, const Dsp32f* pWindow, Dsp32f* pDst, int count, int tapsLen) {
    if (onBoundary(pDst, 4)) {
        convolveQuadsClassA(pTapsQuad, pWindow, pDst, count, tapsLen);
    } else if (tapsLen <= 4) {
        quadPassOf<false, false>(tapsLen, pTapsQuad, tapsLen - 1, pWindow, pDst, count);
    } else {
        convolveQuadsClassB(pTapsQuad, pWindow, pDst, count, tapsLen);
    }
}

void firDirectConvolve32f(const Dsp32f* pTapsQuad, const Dsp32f* pWindow, Dsp32f* pDst, int count, int tapsLen) {
    convolveQuads(pTapsQuad, pWindow, pDst, count, tapsLen);
}

#endif

// ---- The direct path ---------------------------------------------------------

// The variant's convolution over count outputs of the window. Every SSE
// variant runs the tap-quad passes at every length: the groups of four
// outputs over the shifted copies that n3/n4 states also carry lost to them
// from 32 taps on.
inline void convolve(const DspsFIRState_32f* s, const Dsp32f* pWindow, Dsp32f* pDst, int count) {
#if DSP_LEVEL == 0
    convolveInDouble(s->pTapsRev, pWindow, pDst, count, s->tapsLen);
#else
    firDirectConvolve32f(s->pTapsQuad, pWindow, pDst, count, s->tapsLen);
#endif
}

// A short run (count <= dlyFillLen) goes wholly through the delay buffer: the
// input behind the history, the outputs from there, the newest tapsLen
// samples moved to the front. A longer run takes its first outputs from the
// buffer and the rest straight from the source; the new history is copied
// in between, once the buffer has been read.
void firDirectFilter32f(DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, int count) {
    const int tapsLen = s->tapsLen;
    Dsp32f* history = s->pDlyLine + s->dlyLineIndex;
    s->dlyLineIndex = 0;
    if (count <= s->dlyFillLen) {
        DSP_VARIANT(dspsCopy_32f)(pSrc, history + tapsLen, count);
        convolve(s, history + 1, pDst, count);
        DSP_VARIANT(dspsMove_32f)(history + count, s->pDlyLine, tapsLen);
        return;
    }
    const int staged = (tapsLen + 3) & ~3;
    DSP_VARIANT(dspsCopy_32f)(pSrc, history + tapsLen, s->dlyFillLen);
    convolve(s, history + 1, pDst, staged);
    DSP_VARIANT(dspsCopy_32f)(pSrc + count - tapsLen, s->pDlyLine, tapsLen);
    convolve(s, pSrc + staged + 1 - tapsLen, pDst + staged, count - staged);
}

#include "simd_level_end.inc"
