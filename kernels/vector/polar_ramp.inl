// One processor level of the polar-to-Cartesian conversion and the vector
// ramp (see polar_ramp.cpp). Neither function touches the floating-point
// control state: both assume the process default (round to nearest).
#include "simd_level_begin.inc"

#include "shared/float_lanes.inl"

#if DSP_LEVEL == 0

// --- Generic variant: double precision ---------------------------------------

constexpr double kInvPi = 0.3183098861837907;
constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;

// sin(r) for |r| <= pi/2: r + r^3 (c3 + r^2 (c5 + r^2 (c7 + r^2 c9))).
inline double oddPolynomial(double r) {
    constexpr double c3 = -0.16666665094466732, c5 = 0.008333215738643764;
    constexpr double c7 = -0.00019820663968799938, c9 = 2.630033909762885e-06;
    const double r2 = r * r;
    double p = c9 * r2 + c7;
    p = p * r2 + c5;
    p = p * r2 + c3;
    const double r3 = r2 * r;
    return p * r3 + r;
}

// The polynomial path: the phase reduced by whole multiples of pi (32-bit
// integers, so it stops following sine and cosine beyond |phase| ~ 6.7e9).
inline void polarToCartPolynomial(Dsp32f magnitude, Dsp32f phase, Dsp32f& re, Dsp32f& im) {
    const double x = phase;
    const Dsp32s n = dspFloatToIntTrunc(x * kInvPi);
    double r = x - n * kPi;
    const double s = std::signbit(phase) ? -1.0 : 1.0;
    double cosineFactor = 1.0;
    if (std::fabs(r) > kHalfPi) {
        r = s * kPi - r;
        cosineFactor = -1.0;
    }
    const double u = std::fabs(s * kHalfPi - r);
    Dsp32f sine = static_cast<Dsp32f>(oddPolynomial(r));
    Dsp32f cosine = static_cast<Dsp32f>(oddPolynomial(u));
    if ((n & 1) != 0) {
        sine = -sine;
        cosine = -cosine;
    }
    im = static_cast<Dsp32f>(double(magnitude) * sine);
    re = static_cast<Dsp32f>(double(magnitude) * cosine * cosineFactor);
}

// The runtime's sine and cosine: the single element and the last of an odd
// count.
inline void polarToCartLibm(Dsp32f magnitude, Dsp32f phase, Dsp32f& re, Dsp32f& im) {
    im = static_cast<Dsp32f>(double(magnitude) * std::sin(double(phase)));
    re = static_cast<Dsp32f>(double(magnitude) * std::cos(double(phase)));
}

DspStatus DSP_VARIANT(dspsPolarToCart_32f)(const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe,
                                                      Dsp32f* pIm, int len) {
    const DspStatus status = checkVectorArgs(len, pMag, pPhase, pRe, pIm);
    if (status != dspStsNoErr) return status;
    const std::size_t count = static_cast<std::size_t>(len);
    auto convertElement = [&](std::size_t i, auto polarToCart) {
        Dsp32f re, im;
        polarToCart(dspLoad<Dsp32f>(pMag + i), dspLoad<Dsp32f>(pPhase + i), re, im);
        dspStore<Dsp32f>(pRe + i, re);
        dspStore<Dsp32f>(pIm + i, im);
    };
    // Pairs by the polynomial; an odd last element (or the only one) by the
    // runtime's sine and cosine.
    const std::size_t paired = count & ~std::size_t{1};
    for (std::size_t i = 0; i < paired; ++i) convertElement(i, polarToCartPolynomial);
    if (paired < count) convertElement(paired, polarToCartLibm);
    return dspStsNoErr;
}

// Every element from its own index, rounded once: nothing accumulates.
DspStatus DSP_VARIANT(dspsVectorRamp_32f)(Dsp32f* pDst, int len, Dsp32f offset, Dsp32f slope) {
    const DspStatus status = checkVectorArgs(len, pDst);
    if (status != dspStsNoErr) return status;
    for (std::size_t i = 0; i < static_cast<std::size_t>(len); ++i) {
        dspStore<Dsp32f>(pDst + i, static_cast<Dsp32f>(static_cast<double>(i) * slope + offset));
    }
    return dspStsNoErr;
}

#else

// --- SIMD variants: one SSE2 kernel each ---------------------------------------

inline __m128 floatsFromBits(std::uint32_t bits) { return _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(bits))); }

// x - m*P1 - m*P2 - m*P3 - m*P4 - m*P5, left to right, each step rounded: pi
// split into parts of 8, 11, 11, 6 and 22 significant bits, so the first
// products are exact for the multiples that matter.
inline __m128 subtractMultipleOfPi(__m128 x, __m128 m) {
    static constexpr std::uint32_t kPiParts[5] = {0x40490000, 0x3A7DA000, 0x34222000, 0x2CB40000, 0x284234C4};
    __m128 r = x;
    for (std::uint32_t part : kPiParts) r = _mm_sub_ps(r, _mm_mul_ps(m, floatsFromBits(part)));
    return r;
}

// sin(r) for |r| <= pi/2, each product and sum rounded (no fused operations).
inline __m128 oddPolynomial(__m128 r) {
    const __m128 r2 = _mm_mul_ps(r, r);
    __m128 p = _mm_add_ps(_mm_mul_ps(floatsFromBits(0x36307FA3), r2), floatsFromBits(0xB94FD5B1));
    p = _mm_add_ps(_mm_mul_ps(p, r2), floatsFromBits(0x3C08880A));
    p = _mm_add_ps(_mm_mul_ps(p, r2), floatsFromBits(0xBE2AAAAA));
    const __m128 r3 = _mm_mul_ps(r2, r);
    return _mm_add_ps(_mm_mul_ps(p, r3), r);
}

struct SineCosine {
    __m128 sine, cosine;
};

// With k = round(x/pi) and q = trunc(x/pi): sin x = (-1)^k S(x - k pi) and
// cos x = (-1)^k S(|x - m pi|), m = q + 0.5 carrying the sign of x.
inline SineCosine sineCosine(__m128 x) {
    const __m128 signMask = floatsFromBits(0x80000000);
    const __m128 t = _mm_mul_ps(x, floatsFromBits(0x3EA2F983));  // 1/pi
    const __m128i k = _mm_cvtps_epi32(t);                        // the caller's rounding mode
    const __m128i q = _mm_cvttps_epi32(t);
    const __m128 sineArgument = subtractMultipleOfPi(x, _mm_cvtepi32_ps(k));
    const __m128 halfAbove = _mm_add_ps(_mm_andnot_ps(signMask, _mm_cvtepi32_ps(q)), _mm_set1_ps(0.5f));
    const __m128 m = _mm_or_ps(halfAbove, _mm_and_ps(x, signMask));
    const __m128 cosineArgument = _mm_andnot_ps(signMask, subtractMultipleOfPi(x, m));
    const __m128 flip = _mm_castsi128_ps(_mm_slli_epi32(k, 31));  // sign bit set where k is odd
    return {_mm_xor_ps(oddPolynomial(sineArgument), flip), _mm_xor_ps(oddPolynomial(cosineArgument), flip)};
}

// One to three elements, lanes repeated so that no load leaves the arrays:
// x0 x0 x0 x0, x0 x1 x0 x1 or x0 x1 x2 x2.
inline __m128 loadPartial(const Dsp32f* p, std::size_t n) {
    if (n == 1) return _mm_set1_ps(dspLoad<Dsp32f>(p));
    const __m128 pair = loadPair(p);
    return _mm_movelh_ps(pair, n == 2 ? pair : _mm_set1_ps(dspLoad<Dsp32f>(p + 2)));
}

inline void storePartial(Dsp32f* p, __m128 v, std::size_t n) {
    if (n == 1) {
        storeSingle(p, v);
        return;
    }
    storePair(p, v);
    if (n == 3) storeSingle(p + 2, _mm_movehl_ps(v, v));
}

template <class Load, class Store>
std::size_t polarToCartBlocks(const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe, Dsp32f* pIm, std::size_t count) {
    std::size_t i = 0;
    for (; count - i >= 4; i += 4) {
        const SineCosine sc = sineCosine(Load::load(pPhase + i));
        const __m128 magnitude = Load::load(pMag + i);
        Store::store(pRe + i, _mm_mul_ps(sc.cosine, magnitude));
        Store::store(pIm + i, _mm_mul_ps(sc.sine, magnitude));
    }
    return i;
}

// Four elements per pass, aligned memory access only when all four arrays
// are 16-byte aligned; the last one to three as one partial vector.
void polarToCartKernel(const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe, Dsp32f* pIm, int len) {
    const std::size_t count = static_cast<std::size_t>(len);
    const bool aligned = onBoundary(pMag, 16) && onBoundary(pPhase, 16) && onBoundary(pRe, 16) && onBoundary(pIm, 16);
    const std::size_t i = aligned ? polarToCartBlocks<AlignedLoad, AlignedStore>(pMag, pPhase, pRe, pIm, count)
                                  : polarToCartBlocks<UnalignedLoad, UnalignedStore>(pMag, pPhase, pRe, pIm, count);
    if (i < count) {
        const std::size_t rest = count - i;
        const SineCosine sc = sineCosine(loadPartial(pPhase + i, rest));
        const __m128 magnitude = loadPartial(pMag + i, rest);
        storePartial(pRe + i, _mm_mul_ps(sc.cosine, magnitude), rest);
        storePartial(pIm + i, _mm_mul_ps(sc.sine, magnitude), rest);
    }
}

// The ramp by accumulation in single precision: lanes (0, 1, 2, 3) * slope,
// single elements until pDst is 16-byte aligned (never, when pDst is not
// 4-byte aligned), blocks of 16 as four aligned stores, then single elements.
void vectorRampKernel(Dsp32f* pDst, int len, Dsp32f offset, Dsp32f slope) {
    const std::size_t count = static_cast<std::size_t>(len);
    const __m128 slopes = _mm_set1_ps(slope);
    const __m128 offsets = _mm_set1_ps(offset);
    __m128 lanes = _mm_mul_ps(_mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), slopes);
    std::size_t i = 0;
    for (; i < count && !onBoundary(pDst + i, 16); ++i) {
        storeSingle(pDst + i, _mm_add_ps(lanes, offsets));
        lanes = _mm_add_ps(lanes, slopes);
    }
    __m128 v1 = _mm_add_ps(lanes, offsets);
    if (count - i >= 16) {
        __m128 step4 = _mm_add_ps(slopes, slopes);
        step4 = _mm_add_ps(step4, step4);
        __m128 w = _mm_add_ps(lanes, step4);
        __m128 v2 = _mm_add_ps(w, offsets);
        w = _mm_add_ps(w, step4);
        __m128 v3 = _mm_add_ps(w, offsets);
        w = _mm_add_ps(w, step4);
        __m128 v4 = _mm_add_ps(w, offsets);
        __m128 step16 = _mm_add_ps(step4, step4);
        step16 = _mm_add_ps(step16, step16);
        for (; count - i >= 16; i += 16) {
            _mm_store_ps(pDst + i, v1);
            _mm_store_ps(pDst + i + 4, v2);
            _mm_store_ps(pDst + i + 8, v3);
            _mm_store_ps(pDst + i + 12, v4);
            v1 = _mm_add_ps(v1, step16);
            v2 = _mm_add_ps(v2, step16);
            v3 = _mm_add_ps(v3, step16);
            v4 = _mm_add_ps(v4, step16);
        }
    }
    for (; i < count; ++i) {
        storeSingle(pDst + i, v1);
        v1 = _mm_add_ps(v1, slopes);
    }
}

DspStatus DSP_VARIANT(dspsPolarToCart_32f)(const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe,
                                                      Dsp32f* pIm, int len) {
    const DspStatus status = checkVectorArgs(len, pMag, pPhase, pRe, pIm);
    if (status == dspStsNoErr) polarToCartKernel(pMag, pPhase, pRe, pIm, len);
    return status;
}

DspStatus DSP_VARIANT(dspsVectorRamp_32f)(Dsp32f* pDst, int len, Dsp32f offset, Dsp32f slope) {
    const DspStatus status = checkVectorArgs(len, pDst);
    if (status == dspStsNoErr) vectorRampKernel(pDst, len, offset, slope);
    return status;
}

#endif

#include "simd_level_end.inc"
