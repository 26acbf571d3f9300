// One processor level of the complex-vector and Perm-spectrum arithmetic (see
// arith_complex.cpp). Complex vectors are handled as interleaved floats.
#include "simd_level_begin.inc"

namespace {

#include "shared/float_lanes.inl"

inline const Dsp32f* floatsOf(const Dsp32fc* p) { return reinterpret_cast<const Dsp32f*>(p); }
inline Dsp32f* floatsOf(Dsp32fc* p) { return reinterpret_cast<Dsp32f*>(p); }

#if DSP_LEVEL == 0

// The generic variants form products exactly and sums in double, and round
// each part once at the store.

// d = a * b for one complex element.
inline void complexProductGeneric(const Dsp32f* a, const Dsp32f* b, Dsp32f* d) {
    const double ar = dspLoad<Dsp32f>(a), ai = dspLoad<Dsp32f>(a + 1);
    const double br = dspLoad<Dsp32f>(b), bi = dspLoad<Dsp32f>(b + 1);
    dspStore(d, static_cast<Dsp32f>(ar * br - ai * bi));
    dspStore(d + 1, static_cast<Dsp32f>(ar * bi + ai * br));
}

inline void complexProductsGeneric(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) complexProductGeneric(a + 2 * i, b + 2 * i, d + 2 * i);
}

inline void realProductGeneric(const Dsp32f* a, Dsp32f* d) {
    dspStore(d, static_cast<Dsp32f>(double{dspLoad<Dsp32f>(a)} * dspLoad<Dsp32f>(d)));
}

#else  // SSE levels

// --- Complex products ---------------------------------------------------------

// Two interleaved complex products per register: (a.re·b.re − a.im·b.im,
// a.re·b.im + a.im·b.re), each product rounded to float before the sum.
// SSE3 duplicates a's parts and combines with add-subtract; SSE2 negates the
// real lanes by their sign bit and adds, which gives the same values.
inline __m128 complexProducts(__m128 a, __m128 b) {
    const __m128 bSwapped = _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 0, 1));
    if constexpr (kLevel >= 2) {
        return _mm_addsub_ps(_mm_mul_ps(_mm_moveldup_ps(a), b), _mm_mul_ps(_mm_movehdup_ps(a), bSwapped));
    } else {
        const __m128 aRe = _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 aIm = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 1, 1));
        const __m128 realSigns = _mm_castsi128_ps(_mm_set_epi32(0, INT32_MIN, 0, INT32_MIN));
        return _mm_add_ps(_mm_mul_ps(aRe, b), _mm_xor_ps(_mm_mul_ps(aIm, bSwapped), realSigns));
    }
}

// The same arithmetic for single elements, all four parts read first.
inline void complexProductSingles(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, a += 2, b += 2, d += 2) {
        const Dsp32f ar = dspLoad<Dsp32f>(a), ai = dspLoad<Dsp32f>(a + 1);
        const Dsp32f br = dspLoad<Dsp32f>(b), bi = dspLoad<Dsp32f>(b + 1);
        dspStore(d, ar * br - ai * bi);
        dspStore(d + 1, ar * bi + ai * br);
    }
}

// Passes of 4 complex elements, two registers of each array; each register
// is read before it is written (all that exact aliasing needs), the first
// stored before the second is loaded, which runs faster.
template <class LoadA, class LoadB, class Store, std::uintptr_t kPrefetchBytes>
void complexProductPasses(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t passes) {
    for (std::size_t k = 0; k < passes; ++k, a += 8, b += 8, d += 8) {
        if constexpr (kPrefetchBytes > 0) {
            prefetchAhead(a, kPrefetchBytes);
            prefetchAhead(b, kPrefetchBytes);
        }
        Store::store(d, complexProducts(LoadA::load(a), LoadB::load(b)));
        Store::store(d + 4, complexProducts(LoadA::load(a + 4), LoadB::load(b + 4)));
    }
}

// The passes for any alignment: unaligned throughout when d is not on 16
// bytes, else aligned stores and loads chosen per source. The SSE3 level
// prefetches in the loops with an aligned destination (for the complex
// vectors only where both sources are aligned too).
template <std::uintptr_t kPrefetchBothAligned, std::uintptr_t kPrefetchAlignedDst>
void complexProductPassesAnyAlignment(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t passes) {
    if (!onBoundary(d, 16)) {
        complexProductPasses<UnalignedLoad, UnalignedLoad, UnalignedStore, 0>(a, b, d, passes);
    } else if (onBoundary(a, 16) && onBoundary(b, 16)) {
        complexProductPasses<AlignedLoad, AlignedLoad, AlignedStore, kPrefetchBothAligned>(a, b, d, passes);
    } else if (onBoundary(a, 16)) {
        complexProductPasses<AlignedLoad, UnalignedLoad, AlignedStore, kPrefetchAlignedDst>(a, b, d, passes);
    } else if (onBoundary(b, 16)) {
        complexProductPasses<UnalignedLoad, AlignedLoad, AlignedStore, kPrefetchAlignedDst>(a, b, d, passes);
    } else {
        complexProductPasses<UnalignedLoad, UnalignedLoad, AlignedStore, kPrefetchAlignedDst>(a, b, d, passes);
    }
}

// d = a * b over len complex elements: short vectors singly; a destination
// on 8 but not 16 bytes gets one element first; passes of 4; tail singly.
inline void mulComplexKernel(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, int len) {
    std::size_t n = static_cast<std::size_t>(len);
    if (n >= 5 && onBoundary(d, 8) && !onBoundary(d, 16)) {
        complexProductSingles(a, b, d, 1);
        a += 2;
        b += 2;
        d += 2;
        --n;
    }
    const std::size_t passes = len < 5 ? 0 : n / 4;
    constexpr std::uintptr_t kPrefetch = kLevel == 2 ? 256 : 0;
    complexProductPassesAnyAlignment<kPrefetch, 0>(a, b, d, passes);
    const std::size_t done = passes * 4;
    complexProductSingles(a + 2 * done, b + 2 * done, d + 2 * done, n - done);
}

// pSrcDst = pSrc * pSrcDst.
inline void mulComplexInPlaceKernel(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len) {
    mulComplexKernel(pSrc, pSrcDst, pSrcDst, len);
}

// --- Real times complex -----------------------------------------------------------

template <class Load, class Store>
void realComplexPasses(const Dsp32f* reals, const Dsp32f* c, Dsp32f* d, std::size_t passes) {
    for (std::size_t k = 0; k < passes; ++k, reals += 8, c += 16, d += 16) {
        const __m128 r0 = Load::load(reals), r1 = Load::load(reals + 4);
        const __m128 factors[4] = {_mm_unpacklo_ps(r0, r0), _mm_unpackhi_ps(r0, r0), _mm_unpacklo_ps(r1, r1),
                                   _mm_unpackhi_ps(r1, r1)};
        __m128 parts[4];
        for (int r = 0; r < 4; ++r) parts[r] = Load::load(c + 4 * r);
        for (int r = 0; r < 4; ++r) Store::store(d + 4 * r, _mm_mul_ps(factors[r], parts[r]));
    }
}

inline void realComplexSingles(const Dsp32f* reals, const Dsp32f* c, Dsp32f* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const Dsp32f x = dspLoad<Dsp32f>(reals + i);
        const Dsp32f re = dspLoad<Dsp32f>(c + 2 * i), im = dspLoad<Dsp32f>(c + 2 * i + 1);
        dspStore(d + 2 * i, x * re);
        dspStore(d + 2 * i + 1, x * im);
    }
}

// d[i] = reals[i] * c[i]: passes of 8 elements, a destination on 8 but not
// 16 bytes gets one element first.
inline void mulRealComplexKernel(const Dsp32f* reals, const Dsp32f* c, Dsp32f* d, int len) {
    std::size_t n = static_cast<std::size_t>(len);
    if (n >= 1 && onBoundary(d, 8) && !onBoundary(d, 16)) {
        realComplexSingles(reals, c, d, 1);
        reals += 1;
        c += 2;
        d += 2;
        --n;
    }
    const std::size_t passes = n / 8;
    if (!onBoundary(d, 16)) {
        realComplexPasses<UnalignedLoad, UnalignedStore>(reals, c, d, passes);
    } else if (onBoundary(reals, 16) && onBoundary(c, 16)) {
        realComplexPasses<AlignedLoad, AlignedStore>(reals, c, d, passes);
    } else {
        realComplexPasses<UnalignedLoadSse3, AlignedStore>(reals, c, d, passes);
    }
    const std::size_t done = passes * 8;
    realComplexSingles(reals + done, c + 2 * done, d + 2 * done, n - done);
}

// --- Complex division ---------------------------------------------------------------

// Four complex quotients b / a with the parts split into registers: d, the
// numerators and every product in single precision, 1/d from the reciprocal
// estimate and one Newton step. A place whose d is zero in single precision
// gets the SSE default NaN in both parts. True when a place had d zero.
template <class Load, class Store>
bool divideFourComplex(const Dsp32f* a, const Dsp32f* b, Dsp32f* q) {
    const __m128 a0 = Load::load(a), a1 = Load::load(a + 4);
    const __m128 b0 = Load::load(b), b1 = Load::load(b + 4);
    const __m128 are = _mm_shuffle_ps(a0, a1, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 aim = _mm_shuffle_ps(a0, a1, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128 bre = _mm_shuffle_ps(b0, b1, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 bim = _mm_shuffle_ps(b0, b1, _MM_SHUFFLE(3, 1, 3, 1));

    const __m128 d = _mm_add_ps(_mm_mul_ps(are, are), _mm_mul_ps(aim, aim));
    const __m128 r = _mm_rcp_ps(d);
    const __m128 inv = _mm_mul_ps(r, _mm_sub_ps(_mm_set1_ps(2.0f), _mm_mul_ps(d, r)));
    const __m128 numRe = _mm_add_ps(_mm_mul_ps(are, bre), _mm_mul_ps(aim, bim));
    const __m128 numIm = _mm_sub_ps(_mm_mul_ps(are, bim), _mm_mul_ps(aim, bre));

    const __m128 zero = _mm_cmpeq_ps(d, _mm_setzero_ps());
    const __m128 nan = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(kSseDivisionNaN)));
    const auto orNaN = [&](__m128 v) { return _mm_or_ps(_mm_and_ps(zero, nan), _mm_andnot_ps(zero, v)); };
    const __m128 qre = orNaN(_mm_mul_ps(numRe, inv));
    const __m128 qim = orNaN(_mm_mul_ps(numIm, inv));
    Store::store(q, _mm_unpacklo_ps(qre, qim));
    Store::store(q + 4, _mm_unpackhi_ps(qre, qim));
    return _mm_movemask_ps(zero) != 0;
}

// One to three elements, the empty places padded with 2.0.
inline bool divideFewComplex(const Dsp32f* a, const Dsp32f* b, Dsp32f* q, std::size_t count) {
    alignas(16) Dsp32f divisor[8], dividend[8], quotient[8];
    for (int i = 0; i < 8; ++i) divisor[i] = dividend[i] = 2.0f;
    std::memcpy(divisor, a, count * 2 * sizeof(Dsp32f));
    std::memcpy(dividend, b, count * 2 * sizeof(Dsp32f));
    const bool metZero = divideFourComplex<AlignedLoad, AlignedStore>(divisor, dividend, quotient);
    std::memcpy(q, quotient, count * 2 * sizeof(Dsp32f));
    return metZero;
}

// q = b / a over len elements; true when a divisor was zero.
inline bool divComplexKernel(const Dsp32f* a, const Dsp32f* b, Dsp32f* q, int len) {
    std::size_t n = static_cast<std::size_t>(len);
    bool metZero = false;
    const auto few = [&](std::size_t count) {
        metZero |= divideFewComplex(a, b, q, count);
        a += 2 * count;
        b += 2 * count;
        q += 2 * count;
        n -= count;
    };
    if (onBoundary(q, 8) && !onBoundary(q, 16)) few(1);
    const bool allAligned = onBoundary(q, 16) && onBoundary(a, 16) && onBoundary(b, 16);
    for (; n >= 4; n -= 4, a += 8, b += 8, q += 8) {
        metZero |= allAligned ? divideFourComplex<AlignedLoad, AlignedStore>(a, b, q)
                              : divideFourComplex<UnalignedLoad, UnalignedStore>(a, b, q);
    }
    if (n >= 2) few(2);
    if (n >= 1) few(1);
    return metZero;
}

#endif  // SSE levels

// The float count of len complex elements, or -1 when it does not fit an
// int: the real function then refuses it as a size after its null test.
inline int floatCount(int len) { return len > INT_MAX / 2 ? -1 : 2 * len; }

}  // namespace

#if DSP_LEVEL >= 1

// Passes of 4 pairs, then single pairs with the same rounding.
void mulPermKernel(const Dsp32f* pSrc, Dsp32f* pSrcDst, int nPairs) {
    const std::size_t passes = static_cast<std::size_t>(nPairs) / 4;
    constexpr std::uintptr_t kPrefetch = kLevel == 2 ? 128 : 0;
    complexProductPassesAnyAlignment<kPrefetch, kPrefetch>(pSrc, pSrcDst, pSrcDst, passes);
    const std::size_t done = passes * 4;
    complexProductSingles(pSrc + 2 * done, pSrcDst + 2 * done, pSrcDst + 2 * done,
                          static_cast<std::size_t>(nPairs) - done);
}

#endif

// --- Variant bodies ------------------------------------------------------------

// The complex additions run as the real additions of this level; a length
// below 1 is refused before the float count is formed.
DspStatus DSP_VARIANT(dspsAdd_32fc_I)(const Dsp32fc* pSrc, Dsp32fc* pSrcDst, int len) {
    if (len < 1) return dspStsSizeErr;
    return dspsAdd_32f_I_table[kLevel](floatsOf(pSrc), floatsOf(pSrcDst), floatCount(len));
}

DspStatus DSP_VARIANT(dspsAdd_32fc)(const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len) {
    if (len < 1) return dspStsSizeErr;
    return dspsAdd_32f_table[kLevel](floatsOf(pSrc1), floatsOf(pSrc2), floatsOf(pDst), floatCount(len));
}

DspStatus DSP_VARIANT(dspsMul_32f32fc)(const Dsp32f* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pDst); status != dspStsNoErr) return status;
    // One rounding per part in every variant, so n0 needs no wider type.
#if DSP_LEVEL == 0
    for (int i = 0; i < len; ++i) {
        const Dsp32f x = dspLoad<Dsp32f>(pSrc1 + i);
        const Dsp32fc c = dspLoad<Dsp32fc>(pSrc2 + i);
        dspStore(pDst + i, Dsp32fc{x * c.re, x * c.im});
    }
#else
    mulRealComplexKernel(pSrc1, floatsOf(pSrc2), floatsOf(pDst), len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMul_32fc_I)(const Dsp32fc* pSrc, Dsp32fc* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pSrcDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    complexProductsGeneric(floatsOf(pSrc), floatsOf(pSrcDst), floatsOf(pSrcDst), len);
#else
    mulComplexInPlaceKernel(floatsOf(pSrc), floatsOf(pSrcDst), len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMul_32fc)(const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    complexProductsGeneric(floatsOf(pSrc1), floatsOf(pSrc2), floatsOf(pDst), len);
#else
    mulComplexKernel(floatsOf(pSrc1), floatsOf(pSrc2), floatsOf(pDst), len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsDiv_32fc)(const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    bool metZero = false;
    for (int i = 0; i < len; ++i) {
        const Dsp32fc a = dspLoad<Dsp32fc>(pSrc1 + i);
        const Dsp32fc b = dspLoad<Dsp32fc>(pSrc2 + i);
        const double d = double{a.re} * a.re + double{a.im} * a.im;
        if (d == 0.0) {
            metZero = true;
            const Dsp32f nan = std::bit_cast<Dsp32f>(kGenericDivisionNaN);
            dspStore(pDst + i, Dsp32fc{nan, nan});
            continue;
        }
        const double inv = 1.0 / d;
        const double re = (double{a.re} * b.re + double{a.im} * b.im) * inv;
        const double im = (double{a.re} * b.im - double{a.im} * b.re) * inv;
        dspStore(pDst + i, Dsp32fc{static_cast<Dsp32f>(re), static_cast<Dsp32f>(im)});
    }
#else
    const bool metZero = divComplexKernel(floatsOf(pSrc1), floatsOf(pSrc2), floatsOf(pDst), len);
#endif
    return metZero ? dspStsDivByZero : dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMulPerm_32f_I)(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pSrcDst); status != dspStsNoErr) return status;
    // Word 0, and word 1 for an even length, are real; (re, im) pairs follow.
    const int firstPair = len % 2 == 0 ? 2 : 1;
    const int nPairs = (len - firstPair) / 2;
#if DSP_LEVEL == 0
    for (int word = 0; word < firstPair; ++word) realProductGeneric(pSrc + word, pSrcDst + word);
    complexProductsGeneric(pSrc + firstPair, pSrcDst + firstPair, pSrcDst + firstPair, nPairs);
#else
    for (int word = 0; word < firstPair; ++word)
        dspStore(pSrcDst + word, dspLoad<Dsp32f>(pSrcDst + word) * dspLoad<Dsp32f>(pSrc + word));
    if (nPairs > 0) mulPermKernel(pSrc + firstPair, pSrcDst + firstPair, nPairs);
#endif
    return dspStsNoErr;
}

#include "simd_level_end.inc"
