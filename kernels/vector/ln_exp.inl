// Logarithm and exponential kernels and variant bodies of one processor level
// (DSP_LEVEL). Included by ln_exp.cpp once per level; not include-guarded.
#include "simd_level_begin.inc"

namespace {

#include "shared/float_lanes.inl"

#if DSP_LEVEL == 0

// ---- Generic variant: portable scalar code in double precision ----------

constexpr std::uint32_t kSmallestNormalBits = 0x00800000u;
// Beyond these the generic group path writes its limits without computing:
// x >= 88.7228394 overflows, x <= -87.3365479 would fall below the normals.
constexpr std::uint32_t kExpGenericOverflowBits = 0x42B17218u;
constexpr std::uint32_t kExpGenericUnderflowBits = 0xC2AEAC50u;
// The short path's overflow limit, 88.72284, compared in double.
constexpr double kExpShortOverflow = std::bit_cast<double>(0x40562E4302B40F67ull);
constexpr double kLog2e = 1.4426950408889634;
constexpr double kLn2 = 0.6931471805599453;
// Adding and subtracting 2^52 (with the sign of the value) rounds a double of
// magnitude below 2^51 to the nearest integer.
constexpr double kRoundingShift = 4503599627370496.0;

[[gnu::noinline]] int lnGenericKernel(const Dsp32f* src, Dsp32f* dst, int len) {
    int code = kLnCodeNone;
    for (int i = 0; i < len; ++i) {
        const float x = dspLoad<float>(src + i);
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
        float result;
        if (!lnOfZeroOrNegative(bits, result, code)) {
            result = (bits & kPositiveQuietNan) == kPositiveQuietNan
                         ? std::bit_cast<float>(kPositiveQuietNan)
                         : static_cast<float>(std::log(static_cast<double>(x)));
        }
        dspStore(dst + i, result);
    }
    return code;
}

DspStatus lnGeneric(const Dsp32f* src, Dsp32f* dst, int len) {
    KernelMxcsrScope mxcsr;
    return lnStatus(lnGenericKernel(src, dst, len));
}

float expShortPath(float x) {
    if (static_cast<double>(x) > kExpShortOverflow) return std::bit_cast<float>(kPositiveInfinity);
    return expRounded(x);
}

// The result of an element the group path does not compute, if it is one.
bool expGenericLimit(std::uint32_t bits, float& result) {
    if ((bits & ~kSignBit) < kSmallestNormalBits) {
        result = 1.0f;
    } else if (!(bits & kSignBit) && bits >= kExpGenericOverflowBits) {
        result = std::bit_cast<float>(bits > kPositiveInfinity ? kPositiveQuietNan : kPositiveInfinity);
    } else if ((bits & kSignBit) && bits >= kExpGenericUnderflowBits) {
        result = bits > kNegativeInfinity ? std::bit_cast<float>(kNegativeQuietNan) : 0.0f;
    } else {
        return false;
    }
    return true;
}

// e^x of four elements: with k the integer nearest x·log2(e) and r = x - k·ln 2,
// e^r by the (3,3) Pade approximant (120 + 60r + 12r² + r³)/(120 - 60r + 12r² - r³),
// the four quotients sharing one division, then k added to the exponent field.
// Computable elements give normal results, so the exponent never leaves range.
void expPadeGroup(Dsp32f* data, const int (&index)[4]) {
    double numerator[4], denominator[4];
    int k[4];
    for (int j = 0; j < 4; ++j) {
        const double x = dspLoad<float>(data + index[j]);
        const double shift = x < 0 ? -kRoundingShift : kRoundingShift;
        const double t = x * kLog2e + shift;
        const double kd = t - shift;
        const double r = x - kd * kLn2;
        const double r2 = r * r;
        const double a = 12.0 * (10.0 + r2);
        const double b = r * (60.0 + r2);
        numerator[j] = a + b;
        denominator[j] = a - b;
        k[j] = static_cast<int>(kd);
    }
    const double d01 = denominator[0] * denominator[1];
    const double d23 = denominator[2] * denominator[3];
    const double q = 1.0 / (d01 * d23);
    const double otherDenominators[4] = {denominator[1] * d23, denominator[0] * d23, d01 * denominator[3],
                                         d01 * denominator[2]};
    for (int j = 0; j < 4; ++j) {
        const float er = static_cast<float>(numerator[j] * otherDenominators[j] * q);
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(er) + (static_cast<std::uint32_t>(k[j]) << 23);
        dspStore(data + index[j], bits);
    }
}

// Short vectors element by element with the runtime exp; longer ones walked
// from the end, limits written at once and computable elements gathered in
// fours; the fewer than four computable elements nearest the start, which
// cannot fill a group, take the runtime exp too.
[[gnu::noinline]] void expGenericKernel(Dsp32f* data, int len) {
    if (len < 4) {
        for (int i = 0; i < len; ++i) dspStore(data + i, expShortPath(dspLoad<float>(data + i)));
        return;
    }
    int pending[4];
    int count = 0;
    for (int i = len - 1; i >= 0; --i) {
        float limit;
        if (expGenericLimit(dspLoad<std::uint32_t>(data + i), limit)) {
            dspStore(data + i, limit);
            continue;
        }
        pending[count++] = i;
        if (count == 4) {
            expPadeGroup(data, pending);
            count = 0;
        }
    }
    for (int j = 0; j < count; ++j) dspStore(data + pending[j], expShortPath(dspLoad<float>(data + pending[j])));
}

#else

// ---- SIMD variants: one algorithm for n1..n4 ------------------------------

#include "shared/simd_lanes.inl"

// Loads count (1..4) floats, repeating them across the four lanes, without
// touching memory past p + count.
inline __m128 loadLanes(const Dsp32f* p, int count) {
    if (count == 4) return _mm_loadu_ps(p);
    alignas(16) float lanes[4];
    for (int j = 0; j < 4; ++j) lanes[j] = dspLoad<float>(p + j % count);
    return _mm_load_ps(lanes);
}

// Logarithm constants. The polynomial is the series 2·atanh(s) = ln((1+s)/(1-s)),
// its coefficients 2/9, 2/7, 2/5, 2/3 tuned; used as stored.
constexpr float kLnC9 = std::bit_cast<float>(0x3E7353DAu);
constexpr float kLnC7 = std::bit_cast<float>(0x3E920CCAu);
constexpr float kLnC5 = std::bit_cast<float>(0x3ECCCD95u);
constexpr float kLnC3 = std::bit_cast<float>(0x3F2AAAAAu);
constexpr float kLnC1 = 2.0f;
constexpr float kLn2 = std::bit_cast<float>(0x3F317218u);
constexpr std::uint32_t kSignExponentMask = 0xFF800000u;
constexpr std::uint32_t kFractionMask = 0x007FFFFFu;
constexpr std::uint32_t kHalfExponent = 0x3F000000u;  // exponent field of 0.5: bias 126 << 23
constexpr std::uint32_t kImplicitBit = 0x00800000u;
constexpr std::uint32_t kSqrt2Fraction = 0x003504F3u;
// Outside these exponents an element is taken out of the fast path: zero,
// negatives, subnormals, infinities, NaNs, and normals beyond 2^-62..2^64.
constexpr short kLnMinExponent = -62;
constexpr short kLnMaxExponent = 63;
// Each subnormal is f·2^-149 with f its fraction field as an integer.
constexpr int kSubnormalScaleExponent = 149;
// A block takes the vector path from this length on (with the alignment it needs).
constexpr int kLnMinVectorLength = 32;

// x = y·2^k with y in [sqrt(2)/2, sqrt(2)), read off the bit fields; for
// positive x, k is the biased exponent minus 126, less one when y takes the
// exponent of 1.0.
struct LnReduced {
    __m128i k;
    __m128 y;
};

inline LnReduced lnReduce(__m128 x) {
    const __m128i bits = _mm_castps_si128(x);
    const __m128i signAndExponent = _mm_and_si128(bits, splatInt(kSignExponentMask));
    const __m128i k = _mm_srai_epi32(_mm_sub_epi32(signAndExponent, splatInt(kHalfExponent)), 23);
    const __m128i fraction = _mm_and_si128(bits, splatInt(kFractionMask));
    const __m128i belowSqrt2 = _mm_cmpgt_epi32(splatInt(kSqrt2Fraction), fraction);  // -1 where true
    const __m128i yExponent = _mm_add_epi32(splatInt(kHalfExponent), _mm_and_si128(belowSqrt2, splatInt(kImplicitBit)));
    return {_mm_add_epi32(k, belowSqrt2), _mm_castsi128_ps(_mm_or_si128(fraction, yExponent))};
}

// s = (y - 1)/(y + 1), so that y = (1 + s)/(1 - s).
inline __m128 lnQuotient(__m128 y) { return (y - splat(1.0f)) / (y + splat(1.0f)); }

// ln x = k·ln 2 + 2·atanh(s).
inline __m128 lnFinish(__m128i k, __m128 s) {
    const __m128 z = s * s;
    __m128 p = splat(kLnC9) * z + splat(kLnC7);
    p = p * z + splat(kLnC5);
    p = p * z + splat(kLnC3);
    p = p * z + splat(kLnC1);
    return _mm_cvtepi32_ps(k) * splat(kLn2) + p * s;
}

// Lanes of two exponent vectors, packed to 16 bits, outside the fast range.
inline __m128i lnSpecialLanes(__m128i k1, __m128i k2) {
    const __m128i k = _mm_packs_epi32(k1, k2);
    return _mm_or_si128(_mm_cmplt_epi16(k, _mm_set1_epi16(kLnMinExponent)),
                        _mm_cmpgt_epi16(k, _mm_set1_epi16(kLnMaxExponent)));
}

float lnOfSubnormal(std::uint32_t bits) {
    const LnReduced r = lnReduce(_mm_cvtepi32_ps(_mm_set1_epi32(static_cast<int>(bits))));
    const __m128i k = _mm_sub_epi32(r.k, _mm_set1_epi32(kSubnormalScaleExponent));
    return _mm_cvtss_f32(lnFinish(k, lnQuotient(r.y)));
}

// Replaces, in index order, the computed logarithms of the special elements
// among src[0..count) and records the first +0.0 or negative one in code.
// Positive normals keep their computed value, which is right for all of them.
void lnFixSpecialLanes(const Dsp32f* src, float* values, int count, int& code) {
    for (int j = 0; j < count; ++j) {
        const std::uint32_t bits = dspLoad<std::uint32_t>(src + j);
        float result;
        if (lnOfZeroOrNegative(bits, result, code)) {
            values[j] = result;
        } else if (bits >= kPositiveInfinity) {
            values[j] = std::bit_cast<float>(bits == kPositiveInfinity ? bits : bits | kQuietBit);
        } else if (bits < kImplicitBit) {
            values[j] = lnOfSubnormal(bits);
        }
    }
}

// Up to four elements at a time, with a plain division per lane.
void lnShortPath(const Dsp32f* src, Dsp32f* dst, int n, int& code) {
    for (int i = 0; i < n; i += 4) {
        const int count = n - i < 4 ? n - i : 4;
        const LnReduced r = lnReduce(loadLanes(src + i, count));
        alignas(16) float values[4];
        _mm_store_ps(values, lnFinish(r.k, lnQuotient(r.y)));
        if (anyLaneSet(lnSpecialLanes(r.k, r.k))) lnFixSpecialLanes(src + i, values, count, code);
        std::memcpy(dst + i, values, static_cast<std::size_t>(count) * sizeof(float));
    }
}

// First pass over groups of eight 16-byte-aligned elements: exponents into
// the work area, reduced arguments into stage. The two vectors of a group
// share one division: with a = y1 + 1 and b = y2 + 1, 1/(a·b) serves both.
void lnStageGroups(const Dsp32f* src, int groups, Dsp32s* exponents, Dsp32f* stage) {
    for (int g = 0; g < groups; ++g) {
        const int i = 8 * g;
        const LnReduced r1 = lnReduce(_mm_load_ps(src + i));
        const LnReduced r2 = lnReduce(_mm_load_ps(src + i + 4));
        _mm_store_si128(reinterpret_cast<__m128i*>(exponents + i), r1.k);
        _mm_store_si128(reinterpret_cast<__m128i*>(exponents + i + 4), r2.k);
        const __m128 a = r1.y + splat(1.0f);
        const __m128 b = r2.y + splat(1.0f);
        const __m128 inverse = splat(1.0f) / (a * b);
        _mm_store_ps(stage + i, (r1.y - splat(1.0f)) * b * inverse);
        _mm_store_ps(stage + i + 4, (r2.y - splat(1.0f)) * a * inverse);
    }
}

// Second pass: the polynomial, and the element-wise fix-up for groups with a
// special lane, which reads the untouched source.
void lnFinishGroups(const Dsp32f* src, Dsp32f* dst, int groups, const Dsp32s* exponents, const Dsp32f* stage,
                    int& code) {
    for (int g = 0; g < groups; ++g) {
        const int i = 8 * g;
        const __m128i k1 = _mm_load_si128(reinterpret_cast<const __m128i*>(exponents + i));
        const __m128i k2 = _mm_load_si128(reinterpret_cast<const __m128i*>(exponents + i + 4));
        __m128 v1 = lnFinish(k1, _mm_load_ps(stage + i));
        __m128 v2 = lnFinish(k2, _mm_load_ps(stage + i + 4));
        if (anyLaneSet(lnSpecialLanes(k1, k2))) {
            alignas(16) float values[8];
            _mm_store_ps(values, v1);
            _mm_store_ps(values + 4, v2);
            lnFixSpecialLanes(src + i, values, 8, code);
            v1 = _mm_load_ps(values);
            v2 = _mm_load_ps(values + 4);
        }
        _mm_store_ps(dst + i, v1);
        _mm_store_ps(dst + i + 4, v2);
    }
}

// One block of 1..kLnBlockLength elements; returns its LnCode. The vector
// path needs a 4-byte-aligned destination at the same offset from a 16-byte
// boundary as the source: (16 - address mod 16)/4 single elements (four when
// the block is already aligned) bring it to the boundary, groups of eight
// follow, the rest goes element-wise. The reduced arguments are
// staged in the destination or in the work area; either way src stays as it
// was until each group's fix-up has read it, so in-place calls must stage in
// the work area.
int lnBlock(const Dsp32f* src, Dsp32f* dst, int n, LnWorkArea& work, bool stageInDestination) {
    int code = kLnCodeNone;
    const std::uintptr_t srcAddress = addressOf(src);
    const std::uintptr_t dstAddress = addressOf(dst);
    if (n < kLnMinVectorLength || dstAddress % 4 != 0 || srcAddress % 16 != dstAddress % 16) {
        lnShortPath(src, dst, n, code);
        return code;
    }
    const int head = static_cast<int>((16 - dstAddress % 16) / 4);
    lnShortPath(src, dst, head, code);
    src += head;
    dst += head;
    n -= head;
    const int groups = n / 8;
    Dsp32f* stage = stageInDestination ? dst : work.reduced;
    lnStageGroups(src, groups, work.exponents, stage);
    lnFinishGroups(src, dst, groups, work.exponents, stage, code);
    lnShortPath(src + 8 * groups, dst + 8 * groups, n - 8 * groups, code);
    return code;
}

[[gnu::noinline]] int lnInPlaceKernel(Dsp32f* data, int n, LnWorkArea& work) {
    return lnBlock(data, data, n, work, false);
}

[[gnu::noinline]] int lnKernel(const Dsp32f* src, Dsp32f* dst, int n, LnWorkArea& work) {
    return lnBlock(src, dst, n, work, true);
}

// Blocks of kLnBlockLength; the first block with a special element decides
// the status, later blocks still run. A call whose source is its destination
// runs the in-place kernel, because staging in the destination would
// overwrite the inputs the special-value fix-up reads.
DspStatus lnBlocks(const Dsp32f* src, Dsp32f* dst, int len) {
    KernelMxcsrScope mxcsr;
    LnWorkArea work;
    int code = kLnCodeNone;
    for (int done = 0; done < len; done += kLnBlockLength) {
        const int n = len - done < kLnBlockLength ? len - done : kLnBlockLength;
        const int blockCode =
            src == dst ? lnInPlaceKernel(dst + done, n, work) : lnKernel(src + done, dst + done, n, work);
        if (code == kLnCodeNone) code = blockCode;
    }
    return lnStatus(code);
}

// Exponential constants.
constexpr float kExpLog2e = std::bit_cast<float>(0x3FB8AA3Bu);
constexpr float kExpRoundingShift = 12582912.0f;                         // 1.5·2^23
constexpr float kExpLn2High = -0.693359375f;                             // ln 2 split in two parts
constexpr float kExpLn2Low = std::bit_cast<float>(0x395E8083u);          // 2.12194442e-4
constexpr std::uint32_t kExpOverflowBits = 0x42AE3333u;                  // 87.0999985
constexpr float kExpUnderflowLimit = std::bit_cast<float>(0xC2AEAC4Au);  // -87.3365021
constexpr std::uint32_t kExpTailUnderflowMagnitude = 0x42AEAC4Au;
constexpr std::uint32_t kOneBits = 0x3F800000u;

// e^x of four lanes: x = k·ln 2 + r with k the integer nearest x·log2(e),
// e^r by the (3,3) Pade approximant N/D with 1/D from the processor's
// reciprocal estimate and one Newton step, times 2^k. Lanes outside the
// range are computed too (with garbage) and replaced by expLimits.
inline __m128 expInRange(__m128 x) {
    // t = 1.5·2^23 + k: k sits in the low mantissa bits of t.
    const __m128 t = x * splat(kExpLog2e) + splat(kExpRoundingShift);
    const __m128 kf = t - splat(kExpRoundingShift);
    const __m128 r = (x + kf * splat(kExpLn2High)) + kf * splat(kExpLn2Low);
    const __m128 u = r * r + splat(10.0f);
    const __m128 b = (u + splat(50.0f)) * r;
    const __m128 a = u * splat(12.0f);
    const __m128 numerator = a + b;
    const __m128 denominator = a - b;
    const __m128 y0 = _mm_rcp_ps(denominator);
    const __m128 inverse = y0 * (splat(2.0f) - denominator * y0);
    // Shifting t's bits by 23 keeps exactly the bits of k that reach the exponent field.
    const __m128 scale = _mm_castsi128_ps(_mm_add_epi32(_mm_slli_epi32(_mm_castps_si128(t), 23), splatInt(kOneBits)));
    return inverse * numerator * scale;
}

// Lanes above 87.1 give +inf (a quiet NaN for NaNs), lanes at or below
// -87.3365021 give +0.0; negative NaNs keep what the arithmetic made of them.
inline __m128 expLimits(__m128 x, __m128 computed) {
    const __m128i bits = _mm_castps_si128(x);
    const __m128i overflow = _mm_cmpgt_epi32(bits, splatInt(kExpOverflowBits));
    const __m128i positiveNan = _mm_cmpgt_epi32(bits, splatInt(kPositiveInfinity));
    const __m128 limit = select(positiveNan, _mm_castsi128_ps(splatInt(kPositiveQuietNan)),
                                _mm_castsi128_ps(splatInt(kPositiveInfinity)));
    const __m128 underflow = _mm_cmple_ps(x, splat(kExpUnderflowLimit));
    return select(overflow, limit, _mm_andnot_ps(underflow, computed));
}

// Only groups with a lane of magnitude above 87.1 (which includes every
// lane expLimits changes) pay for the limits.
inline __m128 expLanes(__m128 x) {
    const __m128 computed = expInRange(x);
    const __m128i magnitude = _mm_and_si128(_mm_castps_si128(x), splatInt(~kSignBit));
    if (!anyLaneSet(_mm_cmpgt_epi32(magnitude, splatInt(kExpOverflowBits)))) return computed;
    return expLimits(x, computed);
}

// A trailing element, exactly rounded, with the limits of the group path
// except that 87.0999985 itself already gives +inf.
float expTrailingElement(float x) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    if (static_cast<std::int32_t>(bits) >= static_cast<std::int32_t>(kExpOverflowBits))
        return std::bit_cast<float>(bits > kPositiveInfinity ? kPositiveQuietNan : kPositiveInfinity);
    const std::uint32_t magnitude = bits & ~kSignBit;
    if (magnitude >= kExpTailUnderflowMagnitude)
        return magnitude > kPositiveInfinity ? std::bit_cast<float>(kNegativeQuietNan) : 0.0f;
    return expRounded(x);
}

[[gnu::noinline]] void expInPlaceKernel(Dsp32f* data, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(data + i, expLanes(_mm_loadu_ps(data + i)));
    for (; i < n; ++i) dspStore(data + i, expTrailingElement(dspLoad<float>(data + i)));
}

#endif

}  // namespace

DspStatus DSP_VARIANT(dspsLn_32f_I)(Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    return lnGeneric(pSrcDst, pSrcDst, len);
#else
    return lnBlocks(pSrcDst, pSrcDst, len);
#endif
}

DspStatus DSP_VARIANT(dspsLn_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    return lnGeneric(pSrc, pDst, len);
#else
    return lnBlocks(pSrc, pDst, len);
#endif
}

DspStatus DSP_VARIANT(dspsExp_32f_I)(Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
    KernelMxcsrScope mxcsr;
#if DSP_LEVEL == 0
    expGenericKernel(pSrcDst, len);
#else
    expInPlaceKernel(pSrcDst, len);
#endif
    return dspStsNoErr;
}

#include "simd_level_end.inc"
