// One processor level of the float-to-integer conversions (see
// convert_to_int.cpp). Every variant body runs its kernel under a
// KernelMxcsrScope: round to nearest (toward zero for the 32s half-away
// kernel), no FTZ/DAZ, all exceptions masked, whatever the caller has set; the
// caller's MXCSR is loaded back whole afterwards.
#include "simd_level_begin.inc"

#include "shared/float_lanes.inl"

// 2^-s as the 8u, 16s and 32s conversions form it: |s| successive halvings
// (s > 0) or doublings (s < 0) of 1.0 in T, which gives the subnormal, zero
// and infinite multipliers of extreme scale factors. A halving that has
// reached 0 no longer changes anything, so the loop stops there: s = INT_MAX
// costs about 150 (float) or 1100 (double) steps instead of 2^31. Doubling
// past the largest power of two is decided before the loop: it overflows to
// infinity under round-to-nearest, but would stop at the largest finite value
// under the round-toward-zero mode of the 32s half-away kernel.
template <typename T>
T powerOfTwoBySteps(int s) {
    if (s <= -std::numeric_limits<T>::max_exponent) return std::numeric_limits<T>::infinity();
    const T step = s > 0 ? T(0.5) : T(2.0);
    const std::uint32_t steps = s > 0 ? static_cast<std::uint32_t>(s) : 0u - static_cast<std::uint32_t>(s);
    T multiplier = 1;
    for (std::uint32_t i = 0; i < steps; ++i) {
        const T next = multiplier * step;
        if (next == multiplier) break;
        multiplier = next;
    }
    return multiplier;
}

// The 24-bit multiplier: s clamped to -127..127, then the float whose
// exponent field is 127 - s and whose mantissa is zero. That is 2^-s, except
// at s = 127, where the field 0 makes it +0.0.
inline Dsp32f multiplier24(int s) {
    const int clamped = std::clamp(s, -127, 127);
    return std::bit_cast<Dsp32f>(static_cast<std::uint32_t>(127 - clamped) << 23);
}

#if DSP_LEVEL == 0

// --- Generic variant: one element at a time, in double ----------------------
// v = x * 2^-s is exact in double, and so is v +- 0.5 for every v that can
// still round into a destination range.

inline Dsp32s roundHalfAwayFromZero(double v) { return dspFloatToIntTrunc(v >= 0 ? v + 0.5 : v - 0.5); }

inline Dsp32s roundHalfToEven(double v) {
    const double shifted = v >= 0 ? v + 0.5 : v - 0.5;
    const Dsp32s n = dspFloatToIntTrunc(shifted);
    // An odd n that equals v +- 0.5 exactly came from a tie: step toward zero
    // to the even neighbour (2.5 -> 2, -2.5 -> -2).
    if ((n & 1) != 0 && static_cast<double>(n) == shifted) return v >= 0 ? n - 1 : n + 1;
    return n;
}

template <class Format>
Dsp32s convertGenericElement(double v, int rnd) {
    constexpr double kLow = Format::kLow, kHigh = Format::kHigh;
    if (rnd == dspRndZero || rnd == dspRndNear) {
        if (std::isnan(v)) return 0;
        if (v > kHigh) return Format::kHigh;
        if (v < kLow) return Format::kLow;
        return rnd == dspRndZero ? dspFloatToIntTrunc(v) : roundHalfToEven(v);
    }
    // Half away from zero. A NaN fails both bound tests and truncates to the
    // integer-indefinite value: its low bytes (0) for 8u and 16s, the whole
    // INT32_MIN for 32s.
    if (v >= kHigh) return Format::kHigh;
    if (v <= kLow) return Format::kLow;
    return roundHalfAwayFromZero(v);
}

template <class Format>
__attribute__((noinline)) void convertGeneric(const Dsp32f* pSrc, Dsp8u* pDst, int len, int rnd, int scaleFactor) {
    const double multiplier = Format::kBytes == 3 ? multiplier24(scaleFactor) : powerOfTwoBySteps<double>(scaleFactor);
    for (std::size_t i = 0; i < static_cast<std::size_t>(len); ++i) {
        const double x = dspLoad<Dsp32f>(pSrc + i);
        const Dsp32s n = convertGenericElement<Format>(scaleFactor != 0 ? x * multiplier : x, rnd);
        std::memcpy(pDst + i * Format::kBytes, &n, Format::kBytes);  // the low bytes (little-endian)
    }
}

template <class Format>
void convertGenericUnderMxcsr(const Dsp32f* pSrc, void* pDst, int len, int rnd, int scaleFactor) {
    const KernelMxcsrScope mxcsr;
    convertGeneric<Format>(pSrc, static_cast<Dsp8u*>(pDst), len, rnd, scaleFactor);
}

void convertTo8u(const Dsp32f* pSrc, Dsp8u* pDst, int len, int rnd, int s) {
    convertGenericUnderMxcsr<To8u>(pSrc, pDst, len, rnd, s);
}
void convertTo16s(const Dsp32f* pSrc, Dsp16s* pDst, int len, int rnd, int s) {
    convertGenericUnderMxcsr<To16s>(pSrc, pDst, len, rnd, s);
}
void convertTo24s(const Dsp32f* pSrc, Dsp8u* pDst, int len, int s) {
    convertGenericUnderMxcsr<To24s>(pSrc, pDst, len, dspRndNear, s);
}
void convertTo32s(const Dsp32f* pSrc, Dsp32s* pDst, int len, int rnd, int s) {
    convertGenericUnderMxcsr<To32s>(pSrc, pDst, len, rnd, s);
}

#else

// --- SIMD variants: four elements per register ------------------------------

enum class Rounding { kNearest, kTowardZero, kHalfAwayFromZero };

// The multiplier 2^-s in all four lanes (s != 0).
inline __m128 scaleFactorToFloat(int s) { return _mm_set1_ps(powerOfTwoBySteps<Dsp32f>(s)); }

// |w| + 0.5 with w's sign. Exact half-away rounding under round-toward-zero;
// under round-to-nearest the largest float below 0.5 sums to 1.0.
inline __m128 addHalfAwayFromZero(__m128 w) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 magnitude = _mm_andnot_ps(sign, w);
    return _mm_or_ps(_mm_add_ps(magnitude, _mm_set1_ps(0.5f)), _mm_and_ps(w, sign));
}

// Four floats to four 32-bit integers, rounded and kept in range as a
// conversion to Format asks. Heads, blocks and tails all go through it, so an
// element's result never depends on its position.
template <class Format, Rounding kRounding, bool kScaled>
struct LaneConverter {
    __m128 multiplier;

    __m128i operator()(__m128 x) const {
        const __m128 v = kScaled ? _mm_mul_ps(x, multiplier) : x;
        // minps and maxps return their second operand when either is NaN, so
        // a NaN becomes the bound here.
        __m128 w = v;
        if constexpr (Format::kClampLow) w = _mm_max_ps(w, _mm_set1_ps(static_cast<float>(Format::kLow)));
        if constexpr (Format::kClampHigh) w = _mm_min_ps(w, _mm_set1_ps(static_cast<float>(Format::kHigh)));
        __m128i n;
        if constexpr (kRounding == Rounding::kNearest) {
            n = _mm_cvtps_epi32(w);
        } else if constexpr (kRounding == Rounding::kTowardZero) {
            n = _mm_cvttps_epi32(w);
        } else {
            n = _mm_cvttps_epi32(addHalfAwayFromZero(w));
        }
        if constexpr (Format::kSaturatePositive32) {
            // v >= 2^31, +infinity and NaNs with a clear sign bit (bit
            // patterns above 0x4EFFFFFF) converted to 0x80000000: flip those
            // lanes to 0x7FFFFFFF.
            const __m128i tooLarge = _mm_cmpgt_epi32(_mm_castps_si128(v), _mm_set1_epi32(0x4EFFFFFF));
            n = _mm_xor_si128(n, tooLarge);
        }
        if constexpr (Format::kZeroNanSources && kRounding != Rounding::kHalfAwayFromZero) {
            // NaN sources store 0. The mask comes from the source register,
            // never from memory that an in-place call has overwritten.
            n = _mm_andnot_si128(_mm_castps_si128(_mm_cmpunord_ps(x, x)), n);
        }
        return n;
    }
};

// Saturation of 32-bit lanes to the destination type and the stores of one,
// four or eight elements.
template <class Format>
struct LaneStore;

template <>
struct LaneStore<To8u> {
    // Signed 16-bit first, then unsigned 8-bit: every negative value gives 0.
    static __m128i pack(__m128i a, __m128i b) {
        const __m128i words = _mm_packs_epi32(a, b);
        return _mm_packus_epi16(words, words);
    }
    static void one(Dsp8u* p, __m128i n) { *p = static_cast<Dsp8u>(_mm_cvtsi128_si32(pack(n, n))); }
    static void four(Dsp8u* p, __m128i n) { dspStore<std::int32_t>(p, _mm_cvtsi128_si32(pack(n, n))); }
    static void eight(Dsp8u* p, __m128i a, __m128i b) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), pack(a, b)); }
};

template <>
struct LaneStore<To16s> {
    static void one(Dsp8u* p, __m128i n) {
        dspStore<Dsp16s>(p, static_cast<Dsp16s>(_mm_cvtsi128_si32(_mm_packs_epi32(n, n))));
    }
    static void four(Dsp8u* p, __m128i n) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(n, n)); }
    static void eight(Dsp8u* p, __m128i a, __m128i b) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(a, b));
    }
};

// Lanes are already inside -2^23..2^23-1; a sample is the low three bytes.
template <>
struct LaneStore<To24s> {
    static void one(Dsp8u* p, __m128i n) {
        const std::int32_t value = _mm_cvtsi128_si32(n);
        std::memcpy(p, &value, 3);
    }
    // Four 4-byte stores at 3-byte steps: each fourth byte lands on the next
    // sample's first byte, and the last one on the sample after the four,
    // which must exist and is written later.
    static void four(Dsp8u* p, __m128i n) {
        alignas(16) std::int32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), n);
        for (int j = 0; j < 4; ++j) dspStore<std::int32_t>(p + 3 * j, lanes[j]);
    }
    static void eight(Dsp8u* p, __m128i a, __m128i b) {
        four(p, a);
        four(p + 12, b);
    }
};

template <>
struct LaneStore<To32s> {
    static void one(Dsp8u* p, __m128i n) { dspStore<std::int32_t>(p, _mm_cvtsi128_si32(n)); }
    static void four(Dsp8u* p, __m128i n) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), n); }
    static void eight(Dsp8u* p, __m128i a, __m128i b) {
        four(p, a);
        four(p + 16, b);
    }
};

// Samples past the end of a 4- or 8-element store that it touches: the
// 24-bit stores write one byte into the next sample.
template <class Format>
constexpr std::size_t kSpillSamples = Format::kBytes == 3 ? 1 : 0;

template <class Format, class Load, class Convert>
std::size_t convertBlocks(const Dsp32f* pSrc, Dsp8u* pDst, std::size_t i, std::size_t count, const Convert& convert) {
    using Store = LaneStore<Format>;
    for (; count - i >= 8 + kSpillSamples<Format>; i += 8) {
        Store::eight(pDst + i * Format::kBytes, convert(Load::load(pSrc + i)), convert(Load::load(pSrc + i + 4)));
    }
    return i;
}

// Single elements until the source (8u, 24s) or the destination is 16-byte
// aligned, blocks of 8, then a block of 4 and single elements.
template <class Format, class Convert>
void convertLanes(const Dsp32f* pSrc, Dsp8u* pDst, int len, const Convert& convert) {
    using Store = LaneStore<Format>;
    const std::size_t count = static_cast<std::size_t>(len);
    const std::size_t toBoundary =
        Format::kAlignSource ? floatsToBoundary16(pSrc) : ((0 - addressOf(pDst)) & 15) / Format::kBytes;
    const std::size_t head = std::min(toBoundary, count);
    std::size_t i = 0;
    for (; i < head; ++i) Store::one(pDst + i * Format::kBytes, convert(loadSingle(pSrc + i)));
    if (onBoundary(pSrc + i, 16)) {
        i = convertBlocks<Format, AlignedLoad>(pSrc, pDst, i, count, convert);
    } else {
        i = convertBlocks<Format, UnalignedLoadSse3>(pSrc, pDst, i, count, convert);
    }
    if (count - i >= 4 + kSpillSamples<Format>) {
        Store::four(pDst + i * Format::kBytes, convert(_mm_loadu_ps(pSrc + i)));
        i += 4;
    }
    for (; i < count; ++i) Store::one(pDst + i * Format::kBytes, convert(loadSingle(pSrc + i)));
}

template <class Format, Rounding kRounding>
void convertScaledLanes(const Dsp32f* pSrc, Dsp8u* pDst, int len, int scaleFactor) {
    if (scaleFactor == 0) {
        convertLanes<Format>(pSrc, pDst, len, LaneConverter<Format, kRounding, false>{});
    } else {
        convertLanes<Format>(pSrc, pDst, len, LaneConverter<Format, kRounding, true>{scaleFactorToFloat(scaleFactor)});
    }
}

template <class Format>
void convertNearestOrTruncating(const Dsp32f* pSrc, void* pDst, int len, int nearest, int scaleFactor) {
    auto* dst = static_cast<Dsp8u*>(pDst);
    if (nearest) {
        convertScaledLanes<Format, Rounding::kNearest>(pSrc, dst, len, scaleFactor);
    } else {
        convertScaledLanes<Format, Rounding::kTowardZero>(pSrc, dst, len, scaleFactor);
    }
}

// The kernels: valid pointers, len >= 1, run under a KernelMxcsrScope.
__attribute__((noinline)) void cvtFloatToU8Kernel(const Dsp32f* pSrc, Dsp8u* pDst, int len, int nearest, int s) {
    convertNearestOrTruncating<To8u>(pSrc, pDst, len, nearest, s);
}
__attribute__((noinline)) void cvtFloatTo16sKernel(const Dsp32f* pSrc, Dsp16s* pDst, int len, int nearest, int s) {
    convertNearestOrTruncating<To16s>(pSrc, pDst, len, nearest, s);
}
__attribute__((noinline)) void cvtFloatTo32sKernel(const Dsp32f* pSrc, Dsp32s* pDst, int len, int nearest, int s) {
    convertNearestOrTruncating<To32s>(pSrc, pDst, len, nearest, s);
}
__attribute__((noinline)) void cvtFloatToU8HalfAwayKernel(const Dsp32f* pSrc, Dsp8u* pDst, int len, int s) {
    convertScaledLanes<To8u, Rounding::kHalfAwayFromZero>(pSrc, pDst, len, s);
}
__attribute__((noinline)) void cvtFloatTo16sHalfAwayKernel(const Dsp32f* pSrc, Dsp16s* pDst, int len, int s) {
    convertScaledLanes<To16s, Rounding::kHalfAwayFromZero>(pSrc, reinterpret_cast<Dsp8u*>(pDst), len, s);
}
// Runs under round-toward-zero, so |v| + 0.5 never rounds up to the next
// integer.
__attribute__((noinline)) void cvtFloatTo32sHalfAwayKernel(const Dsp32f* pSrc, Dsp32s* pDst, int len, int s) {
    convertScaledLanes<To32s, Rounding::kHalfAwayFromZero>(pSrc, reinterpret_cast<Dsp8u*>(pDst), len, s);
}
__attribute__((noinline)) void cvtFloatTo24Kernel(const Dsp32f* pSrc, Dsp8u* pDst, int len) {
    convertLanes<To24s>(pSrc, pDst, len, LaneConverter<To24s, Rounding::kNearest, false>{});
}
__attribute__((noinline)) void cvtFloatTo24ScaledKernel(const Dsp32f* pSrc, Dsp8u* pDst, int len, int s) {
    const LaneConverter<To24s, Rounding::kNearest, true> convert{_mm_set1_ps(multiplier24(s))};
    convertLanes<To24s>(pSrc, pDst, len, convert);
}

inline bool isNearestOrTruncating(int rnd) { return rnd == dspRndZero || rnd == dspRndNear; }

void convertTo8u(const Dsp32f* pSrc, Dsp8u* pDst, int len, int rnd, int s) {
    const KernelMxcsrScope mxcsr;
    if (isNearestOrTruncating(rnd)) {
        cvtFloatToU8Kernel(pSrc, pDst, len, rnd == dspRndNear, s);
    } else {
        cvtFloatToU8HalfAwayKernel(pSrc, pDst, len, s);
    }
}

void convertTo16s(const Dsp32f* pSrc, Dsp16s* pDst, int len, int rnd, int s) {
    const KernelMxcsrScope mxcsr;
    if (isNearestOrTruncating(rnd)) {
        cvtFloatTo16sKernel(pSrc, pDst, len, rnd == dspRndNear, s);
    } else {
        cvtFloatTo16sHalfAwayKernel(pSrc, pDst, len, s);
    }
}

void convertTo24s(const Dsp32f* pSrc, Dsp8u* pDst, int len, int s) {
    const KernelMxcsrScope mxcsr;
    if (s == 0) {
        cvtFloatTo24Kernel(pSrc, pDst, len);
    } else {
        cvtFloatTo24ScaledKernel(pSrc, pDst, len, s);
    }
}

void convertTo32s(const Dsp32f* pSrc, Dsp32s* pDst, int len, int rnd, int s) {
    KernelMxcsrScope mxcsr;
    if (isNearestOrTruncating(rnd)) {
        cvtFloatTo32sKernel(pSrc, pDst, len, rnd == dspRndNear, s);
    } else {
        mxcsr.setRounding(kMxcsrRoundTowardZero);
        cvtFloatTo32sHalfAwayKernel(pSrc, pDst, len, s);
    }
}

#endif

// --- Variant bodies -----------------------------------------------------------

DspStatus DSP_VARIANT(dspsConvert_32f8u_Sfs)(const Dsp32f* pSrc, Dsp8u* pDst, int len, DspRoundMode rnd,
                                                        int scaleFactor) {
    const DspStatus status = checkVectorArgs(len, pSrc, pDst);
    if (status == dspStsNoErr) convertTo8u(pSrc, pDst, len, rnd, scaleFactor);
    return status;
}

DspStatus DSP_VARIANT(dspsConvert_32f16s_Sfs)(const Dsp32f* pSrc, Dsp16s* pDst, int len, DspRoundMode rnd,
                                                         int scaleFactor) {
    const DspStatus status = checkVectorArgs(len, pSrc, pDst);
    if (status == dspStsNoErr) convertTo16s(pSrc, pDst, len, rnd, scaleFactor);
    return status;
}

DspStatus DSP_VARIANT(dspsConvert_32f24s_Sfs)(const Dsp32f* pSrc, Dsp8u* pDst, int len, int scaleFactor) {
    const DspStatus status = checkVectorArgs(len, pSrc, pDst);
    if (status == dspStsNoErr) convertTo24s(pSrc, pDst, len, scaleFactor);
    return status;
}

DspStatus DSP_VARIANT(dspsConvert_32f32s_Sfs)(const Dsp32f* pSrc, Dsp32s* pDst, int len, DspRoundMode rnd,
                                                         int scaleFactor) {
    const DspStatus status = checkVectorArgs(len, pSrc, pDst);
    if (status == dspStsNoErr) convertTo32s(pSrc, pDst, len, rnd, scaleFactor);
    return status;
}

#include "simd_level_end.inc"
