// The SSE block kernels of the double-tap biquad cascade, compiled once per
// processor level by iir64f_kernels.cpp. n1..n4 compile the same source with
// SSE2 double-pair arithmetic only, so they give the same bits.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n1 .. dsp_n4.

#if DSP_LEVEL >= 1

namespace {

// Two floats widened to a double pair; the floats may lie anywhere.
inline __m128d loadFloatPair(const Dsp32f* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_cvtsi64_si128(dspLoad<long long>(p))));
}
inline void storeFloatPair(Dsp32f* p, __m128d v) {
    dspStore<long long>(p, _mm_cvtsi128_si64(_mm_castps_si128(_mm_cvtpd_ps(v))));
}
inline void storeFloat(Dsp32f* p, Dsp64f v) { dspStore<Dsp32f>(p, static_cast<Dsp32f>(v)); }

struct FloatInput {
    static __m128d pair(const Dsp32f* p) { return loadFloatPair(p); }
    static Dsp64f single(const Dsp32f* p) { return dspLoad<Dsp32f>(p); }
};
// Double input on a 16-byte boundary (the work area).
struct AlignedDoubleInput {
    static __m128d pair(const Dsp64f* p) { return _mm_load_pd(p); }
    static Dsp64f single(const Dsp64f* p) { return *p; }
};

// (a[1], b[0]): the pair between two neighbouring pairs.
inline __m128d middle(__m128d a, __m128d b) { return _mm_shuffle_pd(a, b, 1); }

// Numerator parts from the taps pairs B0, B1, B2. The eight-per-step loop
// sums b2 x[k] + (b0 x[k+2] + b1 x[k+1]); the remainder
// (b2 x[k] + b1 x[k+1]) + b0 x[k+2]. Reads in[0 .. m+1] only.
template <class Input, class T>
void numeratorParts(const T* in, Dsp64f* out, int m, const Dsp64f* pTapsPair) {
    const __m128d b0 = _mm_load_pd(pTapsPair), b1 = _mm_load_pd(pTapsPair + 2), b2 = _mm_load_pd(pTapsPair + 4);
    int k = 0;
    for (; k + 8 <= m; k += 8) {
        __m128d p[5];
        for (int i = 0; i < 5; ++i) p[i] = Input::pair(in + k + 2 * i);
        for (int i = 0; i < 4; ++i) {
            const __m128d v = _mm_add_pd(_mm_mul_pd(b2, p[i]),
                                         _mm_add_pd(_mm_mul_pd(b0, p[i + 1]), _mm_mul_pd(b1, middle(p[i], p[i + 1]))));
            _mm_store_pd(out + k + 2 * i, v);
        }
    }
    const auto pairStep = [&](int at) {
        const __m128d lo = Input::pair(in + at), hi = Input::pair(in + at + 2);
        const __m128d v = _mm_add_pd(_mm_add_pd(_mm_mul_pd(b2, lo), _mm_mul_pd(b1, middle(lo, hi))), _mm_mul_pd(b0, hi));
        _mm_store_pd(out + at, v);
    };
    if (m - k >= 4) {
        pairStep(k);
        pairStep(k + 2);
        k += 4;
    }
    if (m - k >= 2) {
        pairStep(k);
        k += 2;
    }
    if (m - k == 1) {
        const Dsp64f x0 = Input::single(in + k), x1 = Input::single(in + k + 1), x2 = Input::single(in + k + 2);
        out[k] = (pTapsPair[4] * x0 + pTapsPair[2] * x1) + pTapsPair[0] * x2;
    }
}

// Output sinks of the recursion: doubles only, or floats as well.
// The float sink leaves the grouped outputs out of pY: later steps read only
// the last two, which allPole stores at its end.
struct DoubleSink {
    static void pair(Dsp64f* y, Dsp32f*, int at, __m128d v) { _mm_store_pd(y + at, v); }
    static void single(Dsp64f* y, Dsp32f*, int at, Dsp64f v) { y[at] = v; }
};
struct FloatSink {
    static void pair(Dsp64f*, Dsp32f* dst, int at, __m128d v) { storeFloatPair(dst + at, v); }
    static void single(Dsp64f* y, Dsp32f* dst, int at, Dsp64f v) {
        y[at] = v;
        storeFloat(dst + at, v);
    }
};

// y[k+2] = w[k] + p y[k+1] + q y[k], four outputs per step from the two
// before them through the look-ahead rows of pFbBlock (T below): outputs
// (k, k+1) and (k+2, k+3) are formed as pairs.
template <class Sink>
void allPole(const Dsp64f* pW, Dsp64f* pY, int m, const Dsp64f* T, Dsp32f* pDst) {
    const __m128d t01 = _mm_load_pd(T), t23 = _mm_load_pd(T + 2), t45 = _mm_load_pd(T + 4);
    const __m128d t67 = _mm_load_pd(T + 6), t89 = _mm_load_pd(T + 8), t1011 = _mm_load_pd(T + 10);
    const __m128d zero = _mm_setzero_pd();
    __m128d y2 = _mm_set1_pd(pY[0]), y1 = _mm_set1_pd(pY[1]);
    int k = 0;
    for (; k + 4 <= m; k += 4) {
        const __m128d w01 = _mm_load_pd(pW + k), w23 = _mm_load_pd(pW + k + 2);
        const __m128d w0 = _mm_unpacklo_pd(w01, w01), w1 = _mm_unpackhi_pd(w01, w01);
        const __m128d w2 = _mm_unpacklo_pd(w23, w23);
        // (w0, w1 + p w0) and (w2, p w2 + w3): the weight of w0 and w2 is 1.
        const __m128d lead01 = _mm_add_pd(_mm_mul_pd(t89, w0), _mm_unpackhi_pd(zero, w01));
        const __m128d lead23 = _mm_add_pd(_mm_mul_pd(t89, w2), _mm_unpackhi_pd(zero, w23));
        const __m128d out01 = _mm_add_pd(_mm_add_pd(_mm_mul_pd(t01, y1), _mm_mul_pd(t45, y2)), lead01);
        const __m128d inner23 = _mm_add_pd(_mm_add_pd(_mm_mul_pd(t01, w1), _mm_mul_pd(t1011, w0)), lead23);
        const __m128d out23 = _mm_add_pd(_mm_add_pd(_mm_mul_pd(t67, y2), _mm_mul_pd(t23, y1)), inner23);
        Sink::pair(pY, pDst, k + 2, out01);
        Sink::pair(pY, pDst, k + 4, out23);
        y1 = _mm_unpackhi_pd(out23, out23);
        y2 = _mm_unpacklo_pd(out23, out23);
    }
    Dsp64f last = _mm_cvtsd_f64(y1), beforeLast = _mm_cvtsd_f64(y2);
    const Dsp64f p = T[0], q = T[4];
    for (; k < m; ++k) {
        const Dsp64f y = (p * last + pW[k]) + q * beforeLast;
        beforeLast = last;
        last = y;
        Sink::single(pY, pDst, k + 2, y);
    }
    pY[m] = beforeLast;
    pY[m + 1] = last;
}

}  // namespace

void iirOneBiquad64f32f(Dsp32f x, Dsp32f* pOut, DspsIIRState64f_32f* pState) {
    Dsp64f v = x;
    for (int s = 0; s < pState->numBq; ++s) {
        const Dsp64f* T = pState->pSampleTaps + kIirSampleTapsPerSection * s;
        Dsp64f* d = pState->pDlyLine + kIirDelaysPerSection * s;
        const Dsp64f y = v * T[0] + d[0];
        d[0] = v * T[2] + (T[4] * y + d[1]);
        d[1] = v * T[3] + T[5] * y;
        v = y;
    }
    storeFloat(pOut, v);
}

void iirFirPart32f(const Dsp32f* pSrc, Dsp64f* pDst, int m, const Dsp64f* pTapsPair) {
    numeratorParts<FloatInput>(pSrc, pDst, m, pTapsPair);
}

void iirFirPart64f(const Dsp64f* pSrc, Dsp64f* pDst, int m, const Dsp64f* pTapsPair) {
    numeratorParts<AlignedDoubleInput>(pSrc, pDst, m, pTapsPair);
}

void iirAllPoleBlock64f(const Dsp64f* pW, Dsp64f* pY, int m, const Dsp64f* pFbBlock) {
    allPole<DoubleSink>(pW, pY, m, pFbBlock, nullptr);
}

void iirAllPoleBlock64f32f(const Dsp64f* pW, Dsp64f* pY, int m, const Dsp64f* pFbBlock, Dsp32f* pDst) {
    allPole<FloatSink>(pW, pY, m, pFbBlock, pDst);
}

// Short chunks (at most four samples per section) go sample by sample.
// Longer ones run section by section over the whole chunk: numerator parts
// into pWork, the first two outputs from the delay line, the recursion four
// outputs per step into pWork2, which holds each section's outputs as the
// next section's inputs. Every source sample is read (section 0) before the
// last section writes the destination, so pSrc may equal pDst.
void iirBqChunk64f32f(const Dsp32f* pSrc, Dsp32f* pDst, int n, DspsIIRState64f_32f* pState) {
    const int sections = pState->numBq;
    if (n <= 4 * sections) {
        for (int i = 0; i < n; ++i) iirOneBiquad64f32f(dspLoad<Dsp32f>(pSrc + i), pDst + i, pState);
        return;
    }
    Dsp64f* W = pState->pWork;
    Dsp64f* Y = pState->pWork2;
    const int m = n - 2;
    for (int s = 0; s < sections; ++s) {
        const Dsp64f* taps = pState->pTaps + kIirTapsPerSection * s;
        const Dsp64f* pair = pState->pTapsPair + kIirPairTapsPerSection * s;
        const Dsp64f* fb = pState->pFbBlock + kIirFbBlockPerSection * s;
        Dsp64f* d = pState->pDlyLine + kIirDelaysPerSection * s;
        const bool first = s == 0, last = s == sections - 1;
        const auto u = [&](int i) -> Dsp64f { return first ? Dsp64f{dspLoad<Dsp32f>(pSrc + i)} : Y[i]; };
        const Dsp64f b0 = taps[0], b1 = taps[1], a1 = taps[3];

        if (first) {
            iirFirPart32f(pSrc, W, m, pair);
        } else {
            iirFirPart64f(Y, W, m, pair);
        }
        const Dsp64f u0 = u(0), u1 = u(1);
        const Dsp64f y0 = b0 * u0 + d[0];
        const Dsp64f y1 = first ? ((d[1] - a1 * y0) + b0 * u1) + b1 * u0 : ((d[1] - a1 * y0) + b1 * u0) + b0 * u1;
        // The input side of the new delay line, before the outputs
        // overwrite the section's inputs.
        const Dsp64f inputD0 = pair[4] * u(n - 2) + pair[2] * u(n - 1);
        const Dsp64f inputD1 = pair[4] * u(n - 1);

        Y[0] = y0;
        Y[1] = y1;
        if (last) {
            storeFloat(pDst, y0);
            storeFloat(pDst + 1, y1);
            iirAllPoleBlock64f32f(W, Y, m, fb, pDst);
        } else {
            iirAllPoleBlock64f(W, Y, m, fb);
        }
        const Dsp64f p = fb[0], q = fb[4];
        d[0] = (q * Y[n - 2] + p * Y[n - 1]) + inputD0;
        d[1] = q * Y[n - 1] + inputD1;
    }
}

#endif

#include "simd_level_end.inc"
