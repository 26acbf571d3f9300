// One processor level of the integer-to-float conversions (see
// convert_to_float.cpp). Kernels work on byte pointers: neither source nor
// destination needs to be aligned to its element size.
#include "simd_level_begin.inc"

// Sample formats: bytes per sample and the conversion of one sample.
struct Samples8u {
    static constexpr int kBytes = 1;
    static Dsp32f one(const unsigned char* s) { return kU8ToFloatTable[*s]; }
};

struct Samples16s {
    static constexpr int kBytes = 2;
    static Dsp32f one(const unsigned char* s) { return static_cast<Dsp32f>(dspLoad<Dsp16s>(s)); }
};

// Packed little-endian two's complement, the sign in the top bit of byte 2.
struct Samples24s {
    static constexpr int kBytes = 3;
    static Dsp32f one(const unsigned char* s) {
        const Dsp32s value = s[0] + 256 * s[1] + 65536 * static_cast<signed char>(s[2]);
        return static_cast<Dsp32f>(value);
    }
};

// Values beyond 2^24 round in the current rounding mode, which is left alone.
struct Samples32s {
    static constexpr int kBytes = 4;
    static Dsp32f one(const unsigned char* s) { return static_cast<Dsp32f>(dspLoad<Dsp32s>(s)); }
};

// Converts `count` samples one at a time and advances both pointers past them.
template <class Format>
void convertSingles(const unsigned char*& src, unsigned char*& dst, int count) {
    for (int i = 0; i < count; ++i) {
        dspStore<Dsp32f>(dst, Format::one(src));
        src += Format::kBytes;
        dst += sizeof(Dsp32f);
    }
}

#if DSP_LEVEL >= 1

// --- Widening: one 16-byte register of samples to floats -------------------

inline void widen(Samples8u, __m128i raw, __m128 out[4]) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(raw, zero);
    const __m128i high = _mm_unpackhi_epi8(raw, zero);
    out[0] = _mm_cvtepi32_ps(_mm_unpacklo_epi16(low, zero));
    out[1] = _mm_cvtepi32_ps(_mm_unpackhi_epi16(low, zero));
    out[2] = _mm_cvtepi32_ps(_mm_unpacklo_epi16(high, zero));
    out[3] = _mm_cvtepi32_ps(_mm_unpackhi_epi16(high, zero));
}

inline void widen(Samples16s, __m128i raw, __m128 out[2]) {
    __m128i low, high;
    if constexpr (kLevel >= 4) {
        // Sign-extending moves: one instruction per four samples, no
        // compare or unpack.
        low = _mm_cvtepi16_epi32(raw);
        high = _mm_cvtepi16_epi32(_mm_unpackhi_epi64(raw, raw));
    } else if constexpr (kLevel >= 3) {
        const __m128i sign = _mm_cmpgt_epi16(_mm_setzero_si128(), raw);
        low = _mm_unpacklo_epi16(raw, sign);
        high = _mm_unpackhi_epi16(raw, sign);
    } else {
        // Each value into the upper half of its lane, then shifted back down
        // arithmetically, which extends the sign.
        low = _mm_srai_epi32(_mm_unpacklo_epi16(_mm_setzero_si128(), raw), 16);
        high = _mm_srai_epi32(_mm_unpackhi_epi16(_mm_setzero_si128(), raw), 16);
    }
    out[0] = _mm_cvtepi32_ps(low);
    out[1] = _mm_cvtepi32_ps(high);
}

inline void widen(Samples32s, __m128i raw, __m128 out[1]) { out[0] = _mm_cvtepi32_ps(raw); }

// --- Loads and stores --------------------------------------------------------

enum class SourceLoad { Aligned, Unaligned, UnalignedSse3 };

template <SourceLoad kLoad>
__m128i load16(const unsigned char* p) {
    const auto* v = reinterpret_cast<const __m128i*>(p);
    if constexpr (kLoad == SourceLoad::Aligned) {
        return _mm_load_si128(v);
    } else if constexpr (kLoad == SourceLoad::UnalignedSse3 && kLevel >= 2) {
        return _mm_lddqu_si128(v);
    } else {
        return _mm_loadu_si128(v);
    }
}

// The first kBytes bytes at p in the low end of a register; reads no more.
template <int kBytes>
__m128i loadLow(const unsigned char* p) {
    if constexpr (kBytes == 16) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    } else if constexpr (kBytes == 8) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    } else if constexpr (kBytes == 4) {
        return _mm_cvtsi32_si128(dspLoad<Dsp32s>(p));
    } else {
        static_assert(kBytes == 2);
        return _mm_cvtsi32_si128(dspLoad<std::uint16_t>(p));
    }
}

template <bool kAlignedDst>
void store4(unsigned char* p, __m128 v) {
    if constexpr (kAlignedDst) {
        _mm_store_ps(reinterpret_cast<float*>(p), v);
    } else {
        _mm_storeu_ps(reinterpret_cast<float*>(p), v);
    }
}

// --- 8-, 16- and 32-bit samples ----------------------------------------------

template <class Format>
constexpr int kSamplesPerRegister = 16 / Format::kBytes;

// Registers of source per main-loop pass: 8 samples of 32 bits from SSE3 up
// and 16 of 16 bits in SSE4.1 (two loads in flight per pass halve the loop's
// overhead on short vectors), otherwise one register (16, 8 or 4 samples).
template <class Format>
constexpr int kRegistersPerPass = (Format::kBytes == 4 && kLevel >= 2) || (Format::kBytes == 2 && kLevel >= 4) ? 2 : 1;

template <class Format, SourceLoad kLoad, bool kAlignedDst>
void convertPasses(const unsigned char*& src, unsigned char*& dst, int& len) {
    constexpr int kPerRegister = kSamplesPerRegister<Format>;
    constexpr int kPerPass = kPerRegister * kRegistersPerPass<Format>;
    for (; len >= kPerPass; len -= kPerPass) {
        for (int r = 0; r < kRegistersPerPass<Format>; ++r) {
            __m128 floats[kPerRegister / 4];
            widen(Format{}, load16<kLoad>(src), floats);
            for (int k = 0; k < kPerRegister / 4; ++k) store4<kAlignedDst>(dst + 16 * k, floats[k]);
            src += 16;
            dst += 4 * kPerRegister;
        }
    }
}

// Exactly kCount (2 or more) samples, touching no byte beyond them.
template <class Format, int kCount>
void convertPart(const unsigned char*& src, unsigned char*& dst) {
    __m128 floats[kSamplesPerRegister<Format> / 4];
    widen(Format{}, loadLow<kCount * Format::kBytes>(src), floats);
    if constexpr (kCount >= 4) {
        for (int k = 0; k < kCount / 4; ++k) _mm_storeu_ps(reinterpret_cast<float*>(dst + 16 * k), floats[k]);
    } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_castps_si128(floats[0]));
    }
    src += kCount * Format::kBytes;
    dst += 4 * kCount;
}

// The tail below one pass: halving steps, each taken at most once.
template <class Format, int kStep>
void convertTail(const unsigned char* src, unsigned char* dst, int len) {
    if constexpr (kStep == 1) {
        convertSingles<Format>(src, dst, len);
    } else {
        if (len >= kStep) {
            convertPart<Format, kStep>(src, dst);
            len -= kStep;
        }
        convertTail<Format, kStep / 2>(src, dst, len);
    }
}

template <class Format>
void convertInPasses(const unsigned char* src, unsigned char* dst, int len) {
    // Single samples until the destination is 16-byte aligned. Only address
    // bits 2 and 3 are looked at: a destination that is not even 4-byte
    // aligned stops here at once and takes the unaligned loop.
    while (len > 0 && (addressOf(dst) & 0xC) != 0) {
        convertSingles<Format>(src, dst, 1);
        --len;
    }
    if ((addressOf(dst) & 15) != 0) {
        convertPasses<Format, SourceLoad::Unaligned, false>(src, dst, len);
    } else if ((addressOf(src) & 15) == 0) {
        convertPasses<Format, SourceLoad::Aligned, true>(src, dst, len);
    } else {
        convertPasses<Format, SourceLoad::UnalignedSse3, true>(src, dst, len);
    }
    convertTail<Format, kSamplesPerRegister<Format> * kRegistersPerPass<Format> / 2>(src, dst, len);
}

// --- Packed 24-bit samples ---------------------------------------------------

// Lane k receives the 32-bit word at byte 3k of `words`, i.e. a sample in its
// upper three bytes when the register starts one byte before that sample;
// the arithmetic shift by 8 leaves the sign-extended value.
inline __m128 convertWords24(__m128i words) {
    const __m128i lanes01 = _mm_unpacklo_epi32(words, _mm_srli_si128(words, 3));
    const __m128i lanes23 = _mm_unpacklo_epi32(_mm_srli_si128(words, 6), _mm_srli_si128(words, 9));
    return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi64(lanes01, lanes23), 8));
}

inline void convertPacked24(const unsigned char* src, unsigned char* dst, int len) {
    // The first sample always goes singly, so the byte before every block
    // lies inside the source. A destination that is not 4-byte aligned never
    // reaches a 16-byte boundary and is converted singly to the end.
    do {
        convertSingles<Samples24s>(src, dst, 1);
        --len;
    } while (len > 0 && (addressOf(dst) & 15) != 0);
    for (; len >= 8; len -= 8) {
        // Samples 0..3 start at bytes 1, 4, 7, 10 of the first load, samples
        // 4..7 at bytes 4, 7, 10, 13 of the second: together bytes -1..23.
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src - 1));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 8));
        store4<true>(dst, convertWords24(first));
        store4<true>(dst + 16, convertWords24(_mm_srli_si128(second, 3)));
        src += 24;
        dst += 32;
    }
    convertSingles<Samples24s>(src, dst, len);
}

#endif  // DSP_LEVEL >= 1

template <class Format>
void convertToFloat(const void* pSrc, void* pDst, int len) {
    auto* src = static_cast<const unsigned char*>(pSrc);
    auto* dst = static_cast<unsigned char*>(pDst);
#if DSP_LEVEL == 0
    convertSingles<Format>(src, dst, len);
#else
    if constexpr (Format::kBytes == 3) {
        convertPacked24(src, dst, len);
    } else {
        convertInPasses<Format>(src, dst, len);
    }
#endif
}

// Kernels: valid pointers and len >= 1 only.
void cvtU8ToFloatKernel(const Dsp8u* pSrc, Dsp32f* pDst, int len) { convertToFloat<Samples8u>(pSrc, pDst, len); }
void cvt16sToFloatKernel(const Dsp16s* pSrc, Dsp32f* pDst, int len) { convertToFloat<Samples16s>(pSrc, pDst, len); }
void cvt24ToFloatKernel(const Dsp8u* pSrc, Dsp32f* pDst, int len) { convertToFloat<Samples24s>(pSrc, pDst, len); }
void cvt32sToFloatKernel(const Dsp32s* pSrc, Dsp32f* pDst, int len) { convertToFloat<Samples32s>(pSrc, pDst, len); }

// A variant body: check the arguments, then hand them unchanged to the kernel.
template <typename Src>
DspStatus checkAndConvert(const Src* pSrc, Dsp32f* pDst, int len, void (*kernel)(const Src*, Dsp32f*, int)) {
    const DspStatus status = checkVectorArgs(len, pSrc, pDst);
    if (status == dspStsNoErr) kernel(pSrc, pDst, len);
    return status;
}

DspStatus DSP_VARIANT(dspsConvert_8u32f)(const Dsp8u* pSrc, Dsp32f* pDst, int len) {
    return checkAndConvert(pSrc, pDst, len, cvtU8ToFloatKernel);
}
DspStatus DSP_VARIANT(dspsConvert_16s32f)(const Dsp16s* pSrc, Dsp32f* pDst, int len) {
    return checkAndConvert(pSrc, pDst, len, cvt16sToFloatKernel);
}
DspStatus DSP_VARIANT(dspsConvert_24s32f)(const Dsp8u* pSrc, Dsp32f* pDst, int len) {
    return checkAndConvert(pSrc, pDst, len, cvt24ToFloatKernel);
}
DspStatus DSP_VARIANT(dspsConvert_32s32f)(const Dsp32s* pSrc, Dsp32f* pDst, int len) {
    return checkAndConvert(pSrc, pDst, len, cvt32sToFloatKernel);
}

#include "simd_level_end.inc"
