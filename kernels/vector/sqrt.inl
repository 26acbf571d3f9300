// Square-root kernel and variant body of one processor level (DSP_LEVEL).
// Included by sqrt.cpp once per level; not include-guarded.
#include "simd_level_begin.inc"

namespace {

#include "shared/float_lanes.inl"

#if DSP_LEVEL == 0

// Positive elements get the exactly rounded root, negative ones the NaN;
// zeros and NaNs stay as they are. Returns 1 when an element was negative.
[[gnu::noinline]] int sqrtInPlaceKernel(Dsp32f* data, int len) {
    int negative = 0;
    for (int i = 0; i < len; ++i) {
        const float x = dspLoad<float>(data + i);
        if (x > 0.0f) {
            dspStore(data + i, static_cast<float>(std::sqrt(static_cast<double>(x))));
        } else if (x < 0.0f) {
            dspStore(data + i, kNegativeQuietNan);
            negative = 1;
        }
    }
    return negative;
}

#else

#include "shared/simd_lanes.inl"

// n2..n4 take blocks of four vectors and prefetch ahead; n1 takes two.
constexpr int kBlockVectors = kLevel >= 2 ? 4 : 2;
constexpr int kBlockLength = 4 * kBlockVectors;
constexpr std::uintptr_t kPrefetchBytes = 96;
constexpr std::uint32_t kExponentMask = 0x7F800000u;

// Exactly rounded root of one element (the NaN 0xFFC00000 for negatives);
// returns 1 when the element compares below zero.
inline int exactRootOfElement(Dsp32f* p) {
    const __m128 x = loadSingle(p);
    storeSingle(p, _mm_sqrt_ss(x));
    return _mm_cvtss_f32(x) < 0.0f;
}

inline int negativeLanes(__m128 x) { return _mm_movemask_ps(_mm_cmplt_ps(x, _mm_setzero_ps())); }

// sqrt(x) = x·r·(3 - x·r²)/2 for r the processor's reciprocal square-root
// estimate: one Newton step, computed as (x·r² - 3)·(-x·r/2). Lanes flagged
// in `unusable` need the exact instruction instead: in n2..n4 those where
// -x·r/2 has an all-ones exponent (zero, negative, infinite, NaN and
// subnormal inputs); in n1 every input below 1.0 and every lane whose x·r² is
// unordered (infinities and NaNs).
struct SqrtEstimate {
    __m128 root;
    __m128i unusable;
};

inline SqrtEstimate sqrtEstimate(__m128 x) {
    const __m128 r = _mm_rsqrt_ps(x);
    const __m128 xr = x * r;
    const __m128 xr2 = xr * r;
    const __m128 halfXr = xr * splat(-0.5f);
    const __m128 root = (xr2 - splat(3.0f)) * halfXr;
    if constexpr (kLevel >= 2) {
        const __m128i exponent = _mm_and_si128(_mm_castps_si128(halfXr), splatInt(kExponentMask));
        return {root, _mm_cmpeq_epi32(exponent, splatInt(kExponentMask))};
    } else {
        return {root, _mm_castps_si128(_mm_or_ps(_mm_cmplt_ps(x, splat(1.0f)), _mm_cmpunord_ps(xr2, xr2)))};
    }
}

// Blocks that take the Newton estimate unless one lane needs the exact root,
// in which case the whole block gets it. Returns the elements done.
template <typename Load, typename Store>
int sqrtBlocks(Dsp32f* data, int n, int& negative) {
    int i = 0;
    for (; i + kBlockLength <= n; i += kBlockLength) {
        if constexpr (kLevel >= 2) prefetchAhead(data + i, kPrefetchBytes);
        __m128 x[kBlockVectors];
        __m128 root[kBlockVectors];
        __m128i unusable = _mm_setzero_si128();
        for (int v = 0; v < kBlockVectors; ++v) {
            x[v] = Load::load(data + i + 4 * v);
            const SqrtEstimate estimate = sqrtEstimate(x[v]);
            root[v] = estimate.root;
            unusable = _mm_or_si128(unusable, estimate.unusable);
        }
        if (anyLaneSet(unusable)) {
            for (int v = 0; v < kBlockVectors; ++v) {
                root[v] = _mm_sqrt_ps(x[v]);
                negative |= negativeLanes(x[v]);
            }
        }
        for (int v = 0; v < kBlockVectors; ++v) Store::store(data + i + 4 * v, root[v]);
    }
    return i;
}

// Single elements up to a 16-byte boundary, the blocks, then the rest
// exactly. Only address bits 2 and 3 are looked at: an array not 4-byte
// aligned leaves the head after at most three elements, never reaches a
// boundary and runs unaligned throughout. Returns non-zero when an element
// compared below zero.
[[gnu::noinline]] int sqrtInPlaceKernel(Dsp32f* data, int n) {
    int negative = 0;
    int i = 0;
    for (; i < n && (addressOf(data + i) & 0xC) != 0; ++i) negative |= exactRootOfElement(data + i);
    if (onBoundary(data + i, 16)) {
        i += sqrtBlocks<AlignedLoad, AlignedStore>(data + i, n - i, negative);
    } else {
        i += sqrtBlocks<UnalignedLoadSse3, UnalignedStore>(data + i, n - i, negative);
    }
    for (; i + 4 <= n; i += 4) {
        const __m128 x = _mm_loadu_ps(data + i);
        _mm_storeu_ps(data + i, _mm_sqrt_ps(x));
        negative |= negativeLanes(x);
    }
    for (; i < n; ++i) negative |= exactRootOfElement(data + i);
    return negative;
}

#endif

}  // namespace

DspStatus DSP_VARIANT(dspsSqrt_32f_I)(Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
    KernelMxcsrScope mxcsr;
    return sqrtInPlaceKernel(pSrcDst, len) != 0 ? dspStsSqrtNegArg : dspStsNoErr;
}

#include "simd_level_end.inc"
