// Zero and fill, compiled once per processor level by zero_fill.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

#if DSP_LEVEL == 0

// Generic kernels: plain scalar stores, ascending.

void zeroKernel8u(Dsp8u* pDst, std::size_t byteCount) {
    std::size_t n = byteCount;
    for (; n > 0 && (addressOf(pDst) & 3) != 0; --n) *pDst++ = 0;
    for (; n >= 32; n -= 32, pDst += 32)
        for (int i = 0; i < 32; i += 4) dspStore<std::uint32_t>(pDst + i, 0);
    for (; n > 0; --n) *pDst++ = 0;
}

void setKernel32(std::uint32_t val, void* pDst, std::size_t count) {
    auto* p = static_cast<Dsp8u*>(pDst);
    for (; count >= 8; count -= 8, p += 32)
        for (int i = 0; i < 32; i += 4) dspStore<std::uint32_t>(p + i, val);
    for (; count > 0; --count, p += 4) dspStore<std::uint32_t>(p, val);
}

#else

// SIMD kernels. A fill writes a byte pattern whose period is the element
// size; every store below starts a whole number of periods after the start
// of the pattern, so overlapping stores write the same bytes again.

// Fewer than 16 bytes: overlapping 8- or 4-byte stores anchored at both ends,
// single bytes below 4.
inline void fillShort(Dsp8u* p, std::size_t n, std::uint64_t pattern) {
    if (n >= 8) {
        if (n > 8) dspStore<std::uint64_t>(p, pattern);
        dspStore<std::uint64_t>(p + n - 8, pattern);
    } else if (n >= 4) {
        const auto word = static_cast<std::uint32_t>(pattern);
        if (n > 4) dspStore<std::uint32_t>(p, word);
        dspStore<std::uint32_t>(p + n - 4, word);
    } else {
        for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<Dsp8u>(pattern >> (8 * i));
    }
}

inline std::uint64_t lowHalf(__m128i pattern) { return static_cast<std::uint64_t>(_mm_cvtsi128_si64(pattern)); }

// p 16-byte aligned: 64-byte blocks, up to three 16-byte stores, short end.
inline void fillAligned(Dsp8u* p, std::size_t n, __m128i pattern) {
    for (; n >= 64; n -= 64, p += 64) {
        _mm_store_si128(reinterpret_cast<__m128i*>(p), pattern);
        _mm_store_si128(reinterpret_cast<__m128i*>(p + 16), pattern);
        _mm_store_si128(reinterpret_cast<__m128i*>(p + 32), pattern);
        _mm_store_si128(reinterpret_cast<__m128i*>(p + 48), pattern);
    }
    for (; n >= 16; n -= 16, p += 16) _mm_store_si128(reinterpret_cast<__m128i*>(p), pattern);
    fillShort(p, n, lowHalf(pattern));
}

// p 16-byte aligned: non-temporal 16-byte stores past the caches, then the
// store fence, so a thread the buffer is handed to sees every byte; the last
// 0..15 bytes go through the cache.
inline void fillStreaming(Dsp8u* p, std::size_t n, __m128i pattern) {
    for (; n >= 64; n -= 64, p += 64) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(p), pattern);
        _mm_stream_si128(reinterpret_cast<__m128i*>(p + 16), pattern);
        _mm_stream_si128(reinterpret_cast<__m128i*>(p + 32), pattern);
        _mm_stream_si128(reinterpret_cast<__m128i*>(p + 48), pattern);
    }
    for (; n >= 16; n -= 16, p += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(p), pattern);
    _mm_sfence();
    fillShort(p, n, lowHalf(pattern));
}


// Streaming pays only for a clear at least as large as the largest cache.
// Out of line: the cache-size query is slow and rarely needed.
[[gnu::noinline]] bool zeroStreamingIfLarge(Dsp8u* p, std::size_t n) {
    const auto cache = largestCacheSize();
    if (!cache || n < *cache) return false;
    fillStreaming(p, n, _mm_setzero_si128());
    return true;
}

// The zero kernel proper, inlined into the zero bodies so that short clears
// pay for no further call.
[[gnu::always_inline]] inline void zeroBytes(Dsp8u* pDst, std::size_t n) {
    if (n < 16) {
        fillShort(pDst, n, 0);
        return;
    }
    if (const std::size_t misalign = addressOf(pDst) & 15; misalign != 0) {
        const std::size_t head = 16 - misalign;
        // One store per set bit of the head length, narrowest first.
        for (std::size_t piece = 1; piece <= 8; piece *= 2) {
            if ((head & piece) == 0) continue;
            std::memset(pDst, 0, piece);
            pDst += piece;
        }
        n -= head;
    }
    constexpr std::size_t kStreamAbove = 524288;
    if (n > kStreamAbove && zeroStreamingIfLarge(pDst, n)) return;
    fillAligned(pDst, n, _mm_setzero_si128());
}

void zeroKernel8u(Dsp8u* pDst, std::size_t byteCount) { zeroBytes(pDst, byteCount); }

// Fill of kElem-byte elements (4 or 8) with a pattern that repeats every
// kElem bytes (pattern64 holds 8 bytes of it).
template <std::size_t kElem>
void fillElements(Dsp8u* p, std::size_t count, std::uint64_t pattern64) {
    static_assert(kElem == 4 || kElem == 8);
    constexpr std::size_t kHalf = kElem / 2;
    const std::uintptr_t address = addressOf(p);
    if (address % kHalf != 0) {
        // Not even half-element aligned: the pointer can never become
        // 16-byte aligned on an element boundary, so element by element.
        for (; count > 0; --count, p += kElem) std::memcpy(p, &pattern64, kElem);
        return;
    }
    if (address % kElem == kHalf) {
        // Write the first and the last element whole, then continue half an
        // element further with the halves of the pattern swapped: the rest is
        // the same byte sequence seen from an element-aligned start.
        std::memcpy(p, &pattern64, kElem);
        std::memcpy(p + (count - 1) * kElem, &pattern64, kElem);
        if constexpr (kElem == 4) {
            const auto word = static_cast<std::uint32_t>(pattern64);
            const std::uint32_t swapped = (word >> 16) | (word << 16);
            pattern64 = swapped | (std::uint64_t{swapped} << 32);
        } else {
            pattern64 = (pattern64 >> 32) | (pattern64 << 32);
        }
        p += kHalf;
        if (--count == 0) return;
    }
    const __m128i pattern = _mm_set1_epi64x(static_cast<long long>(pattern64));
    std::size_t n = count * kElem;
    constexpr std::size_t kStreamAboveCount = 1048576 / kElem;
    if (count > kStreamAboveCount) {
        for (; (addressOf(p) & 15) != 0; p += kElem, n -= kElem) std::memcpy(p, &pattern64, kElem);
        const auto cache = largestCacheSize();
        if (cache && n / kElem > *cache / kElem) {
            fillStreaming(p, n, pattern);
        } else {
            fillAligned(p, n, pattern);
        }
        return;
    }
    if (n < 16) {
        fillShort(p, n, pattern64);
        return;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), pattern);
    const std::size_t advance = 16 - (addressOf(p) & 15);
    p += advance;
    n -= advance;
    fillAligned(p, n, pattern);
}

void setKernel32(std::uint32_t val, void* pDst, std::size_t count) {
    fillElements<4>(static_cast<Dsp8u*>(pDst), count, val | (std::uint64_t{val} << 32));
}

void setKernel32fc(Dsp32fc val, void* pDst, std::size_t count) {
    fillElements<8>(static_cast<Dsp8u*>(pDst), count, dspLoad<std::uint64_t>(&val));
}

#endif

template <std::size_t kElementSize>
DspStatus zeroElements(void* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    zeroKernel8u(static_cast<Dsp8u*>(pDst), dspByteCount(len, kElementSize));
#else
    zeroBytes(static_cast<Dsp8u*>(pDst), dspByteCount(len, kElementSize));
#endif
    return dspStsNoErr;
}

DspStatus set32(std::uint32_t bits, void* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pDst); status != dspStsNoErr) return status;
    setKernel32(bits, pDst, static_cast<std::size_t>(len));
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsZero_8u)(Dsp8u* pDst, int len) {
    return zeroElements<sizeof(Dsp8u)>(pDst, len);
}

DspStatus DSP_VARIANT(dspsZero_32f)(Dsp32f* pDst, int len) {
    return zeroElements<sizeof(Dsp32f)>(pDst, len);
}

DspStatus DSP_VARIANT(dspsZero_64f)(Dsp64f* pDst, int len) {
    return zeroElements<sizeof(Dsp64f)>(pDst, len);
}

DspStatus DSP_VARIANT(dspsSet_32s)(Dsp32s val, Dsp32s* pDst, int len) {
    return set32(static_cast<std::uint32_t>(val), pDst, len);
}

// Only the bits are stored: a NaN, an infinity or -0.0 arrives unchanged.
DspStatus DSP_VARIANT(dspsSet_32f)(Dsp32f val, Dsp32f* pDst, int len) {
    return set32(dspLoad<std::uint32_t>(&val), pDst, len);
}

DspStatus DSP_VARIANT(dspsSet_32fc)(Dsp32fc val, Dsp32fc* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    const auto bits = dspLoad<std::uint64_t>(&val);
    auto* p = reinterpret_cast<Dsp8u*>(pDst);
    for (int i = 0; i < len; ++i, p += sizeof bits) dspStore(p, bits);
#else
    setKernel32fc(val, pDst, static_cast<std::size_t>(len));
#endif
    return dspStsNoErr;
}

#include "simd_level_end.inc"
