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

#if DSP_LEVEL >= 3

// ---- Shifted copies (pTapsRev of n3/n4 states): groups of four outputs -------
//
// Copy j holds j zeros, the reversed taps and zeros up to copyFloats, so the
// products of copy j with the window from an aligned position w are those of
// output w + j, four lanes at a time. The zero padding would still multiply
// real window samples, and an infinity or NaN there would reach an output it
// is no part of: the padded lanes of the first and the last two vectors are
// masked off instead.

constexpr int kSegmentVectors = 17;

// Lanes of vector v of copy j that hold a tap: j <= 4v + lane < j + tapsLen.
inline __m128 tapLanesMask(int copy, int vector, int tapsLen) {
    const __m128i lane = _mm_add_epi32(_mm_set1_epi32(4 * vector), _mm_setr_epi32(0, 1, 2, 3));
    const __m128i fromStart = _mm_cmpgt_epi32(lane, _mm_set1_epi32(copy - 1));
    const __m128i beforeEnd = _mm_cmplt_epi32(lane, _mm_set1_epi32(copy + tapsLen));
    return _mm_castsi128_ps(_mm_and_si128(fromStart, beforeEnd));
}

struct ShiftedCopies {
    const Dsp32f* taps;  // copy 0; copy j at taps + j * copyFloats
    int copyFloats;
    int vectors;          // copyFloats / 4
    __m128 edgeMask[3][4];  // vector 0, vectors - 2, vectors - 1; per copy
};

// Scalar loop over copy 0: s = s + tapsRev[k] * window[k], k ascending.
inline float sequentialOutput(const Dsp32f* pTapsRev, const Dsp32f* pWindow, int tapsLen) {
    float s = 0.0f;
    for (int k = 0; k < tapsLen; ++k) s = s + pTapsRev[k] * dspLoad<float>(pWindow + k);
    return s;
}

template <bool kAlignedWindow>
inline __m128 windowVector(const Dsp32f* p) {
    if constexpr (kAlignedWindow) return _mm_load_ps(p);
    return _mm_loadu_ps(p);
}

// Masks of the padded lanes of vector v, or null where every lane holds a tap.
inline const __m128* edgeMasksOf(const ShiftedCopies& c, int v) {
    if (v == 0) return c.edgeMask[0];
    if (v >= c.vectors - 2) return c.edgeMask[v - (c.vectors - 2) + 1];
    return nullptr;
}

// Adds the products of vector v of the copies to the accumulators of kGroups
// consecutive groups (the first product of a segment is assigned instead).
// The groups share each tap load; group g's window starts 4g floats on.
template <bool kAlignedWindow, int kGroups, bool kFirst>
inline void addVector(const ShiftedCopies& c, const Dsp32f* pWindow, int v, const __m128* masks,
                      __m128 (&acc)[kGroups][4]) {
    __m128 taps[4];
    for (int j = 0; j < 4; ++j) taps[j] = _mm_load_ps(c.taps + j * c.copyFloats + 4 * v);
    for (int g = 0; g < kGroups; ++g) {
        const __m128 w = windowVector<kAlignedWindow>(pWindow + 4 * (g + v));
        for (int j = 0; j < 4; ++j) {
            __m128 p = mul(taps[j], w);
            if (masks != nullptr) p = _mm_and_ps(p, masks[j]);
            acc[g][j] = kFirst ? p : add(acc[g][j], p);
        }
    }
}

// The lane-sum accumulators of kGroups groups over vectors [begin, end), in
// increasing v.
template <bool kAlignedWindow, int kGroups>
inline void groupAccumulators(const ShiftedCopies& c, const Dsp32f* pWindow, int begin, int end,
                              __m128 (&acc)[kGroups][4]) {
    addVector<kAlignedWindow, kGroups, true>(c, pWindow, begin, edgeMasksOf(c, begin), acc);
    const int plainEnd = end < c.vectors - 2 ? end : c.vectors - 2;
    int v = begin + 1;
    for (; v < plainEnd; ++v) addVector<kAlignedWindow, kGroups, false>(c, pWindow, v, nullptr, acc);
    for (; v < end; ++v) addVector<kAlignedWindow, kGroups, false>(c, pWindow, v, edgeMasksOf(c, v), acc);
}

// Output j of the group is (lane 0 + lane 2) + (lane 1 + lane 3) of acc[j];
// the four outputs come back as one vector.
inline __m128 reduceGroup(__m128 (&acc)[4]) {
    _MM_TRANSPOSE4_PS(acc[0], acc[1], acc[2], acc[3]);
    return add(add(acc[0], acc[2]), add(acc[1], acc[3]));
}

// Stores the group's outputs (first segment) or adds them to the stored ones.
inline void storeGroup(Dsp32f* pDst, __m128 (&acc)[4], bool firstSegment) {
    const __m128 sums = reduceGroup(acc);
    _mm_storeu_ps(pDst, firstSegment ? sums : add(_mm_loadu_ps(pDst), sums));
}

// Two groups at a time share the tap loads and keep eight independent sums
// in flight.
template <bool kAlignedWindow>
void shiftedGroups(const ShiftedCopies& c, const Dsp32f* pWindow, Dsp32f* pDst, int groupOutputs) {
    for (int begin = 0; begin < c.vectors; begin += kSegmentVectors) {
        const int end = begin + kSegmentVectors < c.vectors ? begin + kSegmentVectors : c.vectors;
        int g = 0;
        for (; groupOutputs - g >= 8; g += 8) {
            __m128 acc[2][4];
            groupAccumulators<kAlignedWindow, 2>(c, pWindow + g, begin, end, acc);
            storeGroup(pDst + g, acc[0], begin == 0);
            storeGroup(pDst + g + 4, acc[1], begin == 0);
        }
        if (g < groupOutputs) {
            __m128 acc[1][4];
            groupAccumulators<kAlignedWindow, 1>(c, pWindow + g, begin, end, acc);
            storeGroup(pDst + g, acc[0], begin == 0);
        }
    }
}

void convolveShifted(const Dsp32f* pTapsCopies, const Dsp32f* pWindow, Dsp32f* pDst, int count, int tapsLen) {
    // Single outputs until the window is 16-byte aligned (a window off a
    // float boundary never gets there and is read unaligned instead).
    const bool windowAlignable = onBoundary(pWindow, 4);
    for (; windowAlignable && count > 0 && !onBoundary(pWindow, 16); ++pWindow, ++pDst, --count)
        dspStore(pDst, sequentialOutput(pTapsCopies, pWindow, tapsLen));
    if (count < 8) {
        for (int i = 0; i < count; ++i) dspStore(pDst + i, sequentialOutput(pTapsCopies, pWindow + i, tapsLen));
        return;
    }
    // The last 4 to 7 outputs keep every group load inside the window.
    const int tail = count % 4 + 4;
    const int groupOutputs = count - tail;

    ShiftedCopies c;
    c.taps = pTapsCopies;
    c.copyFloats = static_cast<int>(firShiftedCopyFloats(tapsLen));
    c.vectors = c.copyFloats / 4;
    for (int j = 0; j < 4; ++j) {
        c.edgeMask[0][j] = tapLanesMask(j, 0, tapsLen);
        c.edgeMask[1][j] = tapLanesMask(j, c.vectors - 2, tapsLen);
        c.edgeMask[2][j] = tapLanesMask(j, c.vectors - 1, tapsLen);
    }
    if (windowAlignable)
        shiftedGroups<true>(c, pWindow, pDst, groupOutputs);
    else
        shiftedGroups<false>(c, pWindow, pDst, groupOutputs);
    for (int i = groupOutputs; i < count; ++i)
        dspStore(pDst + i, sequentialOutput(pTapsCopies, pWindow + i, tapsLen));
}

#endif

void firDirectConvolve32f(const Dsp32f* pTaps, const Dsp32f* pWindow, Dsp32f* pDst, int count, int tapsLen,
                          [[maybe_unused]] int layoutFlag) {
#if DSP_LEVEL >= 3
    if (layoutFlag != 0) {
        convolveShifted(pTaps, pWindow, pDst, count, tapsLen);
        return;
    }
#endif
    convolveQuads(pTaps, pWindow, pDst, count, tapsLen);
}

#endif

// ---- The direct path ---------------------------------------------------------

// The variant's convolution over count outputs of the window.
inline void convolve(const DspsFIRState_32f* s, const Dsp32f* pWindow, Dsp32f* pDst, int count) {
#if DSP_LEVEL == 0
    convolveInDouble(s->pTapsRev, pWindow, pDst, count, s->tapsLen);
#else
    constexpr int kShiftedCopiesFromTaps = 32;
    if (kLevel >= 3 && s->tapsLen >= kShiftedCopiesFromTaps)
        firDirectConvolve32f(s->pTapsRev, pWindow, pDst, count, s->tapsLen, 1);
    else
        firDirectConvolve32f(s->pTapsQuad, pWindow, pDst, count, s->tapsLen, 0);
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
