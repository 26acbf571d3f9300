// One processor level of maximum, absolute value and thresholds (see
// max_abs_threshold.cpp).
#include "simd_level_begin.inc"

namespace {

#include "shared/float_lanes.inl"

#if DSP_LEVEL >= 1

// --- Maximum -------------------------------------------------------------------
// The merge step is the packed maximum M(a, b) = a > b ? a : b, the running
// maxima always a and the new elements b: a NaN or a tied zero among the new
// elements wins, so the merge order below decides which of them comes out.

inline __m128 merge(__m128 running, __m128 incoming) { return _mm_max_ps(running, incoming); }

// One element into lane 0.
inline __m128 mergeSingle(__m128 running, const Dsp32f* p) { return _mm_max_ss(running, loadSingle(p)); }

// M(M(l0, l2), M(l1, l3)).
inline __m128 reduceLanes(__m128 lanes) {
    const __m128 pairs = merge(lanes, _mm_movehl_ps(lanes, lanes));
    return _mm_max_ss(pairs, _mm_shuffle_ps(pairs, pairs, _MM_SHUFFLE(1, 1, 1, 1)));
}

inline __m128 mergeSingles(__m128 running, const Dsp32f* p, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) running = mergeSingle(running, p + i);
    return running;
}

inline void maxKernel(const Dsp32f* pSrc, int len, Dsp32f* pMax) {
    const Dsp32f* p = pSrc;
    std::size_t n = static_cast<std::size_t>(len);
    __m128 lanes = _mm_set1_ps(dspLoad<Dsp32f>(p));

    if (!onBoundary(p, 4)) {
        for (; n >= 4; n -= 4, p += 4) lanes = merge(lanes, _mm_loadu_ps(p));
        storeSingle(pMax, mergeSingles(reduceLanes(lanes), p, n));
        return;
    }
    for (; n > 0 && !onBoundary(p, 16); --n, ++p) lanes = mergeSingle(lanes, p);
    if (n == 0) {
        storeSingle(pMax, lanes);
        return;
    }
    if (!onBoundary(p, 32)) {
        if (n < 4) {  // lane 0 alone is the result: no reduction
            storeSingle(pMax, mergeSingles(lanes, p, n));
            return;
        }
        lanes = merge(lanes, _mm_load_ps(p));
        p += 4;
        n -= 4;
    }
    if (n >= 16) {
        __m128 s1 = lanes, s2 = lanes, s3 = lanes, s4 = lanes;
        for (; n >= 16; n -= 16, p += 16) {
            if constexpr (kLevel >= 2) prefetchAhead(p, 128);
            s1 = merge(s1, _mm_load_ps(p));
            s2 = merge(s2, _mm_load_ps(p + 4));
            s3 = merge(s3, _mm_load_ps(p + 8));
            s4 = merge(s4, _mm_load_ps(p + 12));
        }
        lanes = merge(merge(s1, s3), merge(s2, s4));
    }
    for (; n >= 4; n -= 4, p += 4) lanes = merge(lanes, _mm_load_ps(p));
    storeSingle(pMax, mergeSingles(reduceLanes(lanes), p, n));
}

// --- Absolute value and thresholds --------------------------------------------

struct ClearSign {
    __m128 mask = _mm_castsi128_ps(_mm_srli_epi32(_mm_set1_epi32(-1), 1));
    __m128 operator()(__m128 x) const { return _mm_and_ps(x, mask); }
};

// x if x > L, else L: a NaN element, or an element equal to L, gives L.
struct RaiseToLevel {
    __m128 level;
    __m128 operator()(__m128 x) const { return _mm_max_ps(x, level); }
};

// x if x < L, else L.
struct LowerToLevel {
    __m128 level;
    __m128 operator()(__m128 x) const { return _mm_min_ps(x, level); }
};

// Passes of kVectors registers, each read whole before it is written.
template <int kVectors, bool kPrefetch, class Load, class Store, class Op>
void lanePasses(const Dsp32f* s, Dsp32f* d, std::size_t passes, const Op& op) {
    for (std::size_t k = 0; k < passes; ++k, s += 4 * kVectors, d += 4 * kVectors) {
        if constexpr (kPrefetch) prefetchAhead(s, 64);
        __m128 v[kVectors];
        for (int r = 0; r < kVectors; ++r) v[r] = Load::load(s + 4 * r);
        for (int r = 0; r < kVectors; ++r) Store::store(d + 4 * r, op(v[r]));
    }
}

// The loop scheme of the abs and threshold kernels, d[i] = op(s[i]): single
// elements until d is 16-byte aligned (only address bits 2 and 3 are looked
// at, so a destination that is not even 4-byte aligned leaves after at most
// three and takes the unaligned passes); passes of kVectors registers; then
// halving groups, a pair and a single element.
template <int kVectors, bool kPrefetch, class Op>
void eachLane(const Dsp32f* s, Dsp32f* d, int len, const Op& op) {
    std::size_t n = static_cast<std::size_t>(len);
    for (; n > 0 && (addressOf(d) & 0xC) != 0; --n, ++s, ++d) storeSingle(d, op(loadSingle(s)));

    constexpr std::size_t kPerPass = 4 * kVectors;
    const std::size_t passes = n / kPerPass;
    if (!onBoundary(d, 16)) {
        lanePasses<kVectors, kPrefetch, UnalignedLoad, UnalignedStore>(s, d, passes, op);
    } else if (onBoundary(s, 16)) {
        lanePasses<kVectors, kPrefetch, AlignedLoad, AlignedStore>(s, d, passes, op);
    } else {
        lanePasses<kVectors, kPrefetch, UnalignedLoadSse3, AlignedStore>(s, d, passes, op);
    }
    s += passes * kPerPass;
    d += passes * kPerPass;
    n -= passes * kPerPass;

    for (std::size_t group = kPerPass / 2; group >= 4; group /= 2) {
        if (n < group) continue;
        lanePasses<1, false, UnalignedLoad, UnalignedStore>(s, d, group / 4, op);
        s += group;
        d += group;
        n -= group;
    }
    if (n >= 2) {
        storePair(d, op(loadPair(s)));
        s += 2;
        d += 2;
        n -= 2;
    }
    if (n == 1) storeSingle(d, op(loadSingle(s)));
}

inline void absKernel(const Dsp32f* pSrc, Dsp32f* pDst, int len) { eachLane<4, false>(pSrc, pDst, len, ClearSign{}); }

// Only the in-place form prefetches, and only in n2.
template <bool kPrefetch>
inline void thresholdKernel(Dsp32f level, const Dsp32f* pSrc, Dsp32f* pDst, int len, int isGreater) {
    const __m128 lanes = _mm_set1_ps(level);
    if (isGreater) {
        eachLane<2, kPrefetch>(pSrc, pDst, len, LowerToLevel{lanes});
    } else {
        eachLane<2, kPrefetch>(pSrc, pDst, len, RaiseToLevel{lanes});
    }
}

#endif  // SSE levels

inline bool isKnownRelation(int relOp) { return relOp == kThresholdBelow || relOp == kThresholdAbove; }

}  // namespace

DspStatus DSP_VARIANT(dspsMax_32f)(const Dsp32f* pSrc, int len, Dsp32f* pMax) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pMax); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    // Only a strictly greater element replaces the running maximum: NaNs
    // after element 0 are ignored and the first of tied zeros stays.
    Dsp32f running = dspLoad<Dsp32f>(pSrc);
    for (int i = 0; i < len; ++i) {
        const Dsp32f x = dspLoad<Dsp32f>(pSrc + i);
        if (x > running) running = x;
    }
    dspStore(pMax, running);
#else
    maxKernel(pSrc, len, pMax);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsAbs_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    // As the x87 unit does it: the sign cleared, a signalling NaN quietened.
    for (int i = 0; i < len; ++i) {
        std::uint32_t bits = dspLoad<std::uint32_t>(pSrc + i) & 0x7FFFFFFFu;
        if (bits > 0x7F800000u) bits |= 0x00400000u;
        dspStore(pDst + i, bits);
    }
#else
    absKernel(pSrc, pDst, len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(thresholdGeneric)(const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level, int relOp) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
    if (!isKnownRelation(relOp)) return dspStsBadArgErr;
#if DSP_LEVEL == 0
    for (int i = 0; i < len; ++i) {
        const Dsp32f x = dspLoad<Dsp32f>(pSrc + i);
        const bool keep = relOp == kThresholdAbove ? x < level : x > level;
        dspStore(pDst + i, keep ? x : level);
    }
#else
    thresholdKernel<false>(level, pSrc, pDst, len, relOp == kThresholdAbove);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(thresholdGenericInPlace)(Dsp32f* pSrcDst, int len, Dsp32f level, int relOp) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
    if (!isKnownRelation(relOp)) return dspStsBadArgErr;
#if DSP_LEVEL == 0
    // Only an element strictly beyond the level changes: a NaN element, a
    // NaN level and an element equal to the level leave the element as it is.
    for (int i = 0; i < len; ++i) {
        const Dsp32f x = dspLoad<Dsp32f>(pSrcDst + i);
        const bool beyond = relOp == kThresholdAbove ? x > level : x < level;
        if (beyond) dspStore(pSrcDst + i, level);
    }
#else
    thresholdKernel<kLevel == 2>(level, pSrcDst, pSrcDst, len, relOp == kThresholdAbove);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsThreshold_LT_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level) {
    return DSP_VARIANT(thresholdGeneric)(pSrc, pDst, len, level, kThresholdBelow);
}

DspStatus DSP_VARIANT(dspsThreshold_LT_32f_I)(Dsp32f* pSrcDst, int len, Dsp32f level) {
    return DSP_VARIANT(thresholdGenericInPlace)(pSrcDst, len, level, kThresholdBelow);
}

DspStatus DSP_VARIANT(dspsThreshold_GT_32f_I)(Dsp32f* pSrcDst, int len, Dsp32f level) {
    return DSP_VARIANT(thresholdGenericInPlace)(pSrcDst, len, level, kThresholdAbove);
}

#include "simd_level_end.inc"
