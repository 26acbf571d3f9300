// Copy and move, compiled once per processor level by copy_move.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

#if DSP_LEVEL == 0

// Generic copy: bytes up to a 4-byte destination boundary, then groups of
// eight 4-byte words, then the last bytes; all ascending.
void copyKernel8u(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t byteCount) {
    std::size_t n = byteCount;
    for (; n > 0 && (addressOf(pDst) & 3) != 0; --n) *pDst++ = *pSrc++;
    for (; n >= 32; n -= 32, pSrc += 32, pDst += 32)
        for (int i = 0; i < 32; i += 4) dspStore(pDst + i, dspLoad<std::uint32_t>(pSrc + i));
    for (; n > 0; --n) *pDst++ = *pSrc++;
}

#else


inline __m128i loadAligned(const Dsp8u* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
inline void storeAligned(Dsp8u* p, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }

inline __m128i loadUnaligned(const Dsp8u* p) {
    if constexpr (kLevel == 2) return _mm_lddqu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Moves k (<= 32) bytes: all are loaded before any is stored, so the move
// is correct for overlapping ranges too.
inline void movePiece(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t k) {
    Dsp8u held[32];
    std::memcpy(held, pSrc, k);
    std::memcpy(pDst, held, k);
}

// Order of the power-of-two pieces in which a short run (< 64 bytes) is
// copied or moved: one piece per set bit of the count, widest or narrowest
// first, or the wide pieces (32..4) first and the last 0..3 bytes singly.
enum class Pieces { kWideFirst, kNarrowFirst, kWideThenBytes };

template <Pieces kOrder, typename Take>
inline void forEachPiece(std::size_t count, Take take) {
    if constexpr (kOrder == Pieces::kNarrowFirst) {
        for (std::size_t k = 1; k <= 32; k *= 2)
            if (count & k) take(k);
    } else {
        constexpr std::size_t kNarrowest = kOrder == Pieces::kWideFirst ? 1 : 4;
        for (std::size_t k = 32; k >= kNarrowest; k /= 2)
            if (count & k) take(k);
        if constexpr (kOrder == Pieces::kWideThenBytes)
            for (std::size_t i = 0; i < (count & 3); ++i) take(1);
    }
}

// Copies or moves count (< 64) bytes upward and advances both pointers.
template <Pieces kOrder>
inline void moveUp(const Dsp8u*& pSrc, Dsp8u*& pDst, std::size_t count) {
    forEachPiece<kOrder>(count, [&](std::size_t k) {
        movePiece(pSrc, pDst, k);
        pSrc += k;
        pDst += k;
    });
}

// The mirror image of moveUp: pSrcEnd and pDstEnd point one past the bytes
// to move and are moved down.
template <Pieces kOrder>
inline void moveDown(const Dsp8u*& pSrcEnd, Dsp8u*& pDstEnd, std::size_t count) {
    forEachPiece<kOrder>(count, [&](std::size_t k) {
        pSrcEnd -= k;
        pDstEnd -= k;
        movePiece(pSrcEnd, pDstEnd, k);
    });
}

// 64 bytes between 16-byte-aligned addresses, four loads before four stores.
inline void moveBlock64Aligned(const Dsp8u* pSrc, Dsp8u* pDst) {
    const __m128i a = loadAligned(pSrc), b = loadAligned(pSrc + 16);
    const __m128i c = loadAligned(pSrc + 32), d = loadAligned(pSrc + 48);
    storeAligned(pDst, a);
    storeAligned(pDst + 16, b);
    storeAligned(pDst + 32, c);
    storeAligned(pDst + 48, d);
}

// ---- Copy ------------------------------------------------------------------

// Short copy (< 64 bytes). SSSE3/SSE4.1: pieces by the bits of n from the
// start, the last 1..3 bytes singly from the end down. SSE2/SSE3: the last
// four bytes, then 4-byte pieces whose stores are 4-byte aligned, from the end
// down, then the first four bytes if the pieces did not reach the start.
inline void copySmall(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    if constexpr (kLevel >= 3) {
        std::size_t i = 0;
        for (std::size_t k = 32; k >= 4; k /= 2) {
            if ((n & k) == 0) continue;
            movePiece(pSrc + i, pDst + i, k);
            i += k;
        }
        for (std::size_t j = n; j > i; --j) pDst[j - 1] = pSrc[j - 1];
    } else {
        if (n < 4) {
            for (std::size_t j = n; j > 0; --j) pDst[j - 1] = pSrc[j - 1];
            return;
        }
        dspStore(pDst + n - 4, dspLoad<std::uint32_t>(pSrc + n - 4));
        const std::size_t alignedEnd = n - ((addressOf(pDst) + n) & 3);
        for (std::size_t end = alignedEnd; end >= 4; end -= 4)
            dspStore(pDst + end - 4, dspLoad<std::uint32_t>(pSrc + end - 4));
        if (alignedEnd % 4 != 0) dspStore(pDst, dspLoad<std::uint32_t>(pSrc));
    }
}

// Forward copy between 16-byte-aligned pointers. Every piece is loaded
// before it is stored, so it also moves ranges whose source lies above the
// destination.
inline void copyAlignedForward(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    for (; n >= 64; n -= 64, pSrc += 64, pDst += 64) moveBlock64Aligned(pSrc, pDst);
    if constexpr (kLevel == 1) {
        for (; n >= 16; n -= 16, pSrc += 16, pDst += 16) storeAligned(pDst, loadAligned(pSrc));
        copySmall(pSrc, pDst, n);
    } else {
        moveUp<Pieces::kWideFirst>(pSrc, pDst, n);
    }
}

// Backward copy between 16-byte-aligned pointers: the odd end first, by the
// bits of n, then 64-byte blocks down to the start. It also moves ranges
// whose source lies below the destination.
inline void copyAlignedBackward(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    const Dsp8u* srcEnd = pSrc + n;
    Dsp8u* dstEnd = pDst + n;
    moveDown<Pieces::kNarrowFirst>(srcEnd, dstEnd, n & 63);
    while (dstEnd != pDst) {
        srcEnd -= 64;
        dstEnd -= 64;
        moveBlock64Aligned(srcEnd, dstEnd);
    }
}

// Loads that run ahead of stores to an address 4 KiB apart can be falsely
// taken as dependent on them. Copy forward when the source is slightly
// ahead of the destination within a page, backward otherwise.
inline bool copyForwardByPageOffsets(const Dsp8u* pSrc, const Dsp8u* pDst) {
    const auto d = static_cast<std::ptrdiff_t>(addressOf(pSrc) & 4095) -
                   static_cast<std::ptrdiff_t>(addressOf(pDst) & 4095);
    return (d > 0 && d <= 160) || d < -(4096 - 160);
}

inline void copyAligned(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    bool forward = true;
    if constexpr (kLevel == 2) forward = n >= 512 && copyForwardByPageOffsets(pSrc, pDst);
    if constexpr (kLevel >= 3) forward = copyForwardByPageOffsets(pSrc, pDst);
    if (forward) {
        copyAlignedForward(pSrc, pDst, n);
    } else {
        copyAlignedBackward(pSrc, pDst, n);
    }
}

// 64-byte steps of four 16-byte loads made by load(p) and four aligned
// stores while 64 or more bytes remain; advances the pointers.
template <typename Load>
inline void copySteps64(const Dsp8u*& pSrc, Dsp8u*& pDst, std::size_t& n, Load load) {
    for (; n >= 64; n -= 64, pSrc += 64, pDst += 64) {
        const __m128i a = load(pSrc), b = load(pSrc + 16), c = load(pSrc + 32), d = load(pSrc + 48);
        storeAligned(pDst, a);
        storeAligned(pDst + 16, b);
        storeAligned(pDst + 32, c);
        storeAligned(pDst + 48, d);
    }
}

// SSSE3: a source at kShift (4, 8, 12) past a 16-byte boundary is read as
// aligned blocks joined with a byte shift. One block more than the data is
// loaded, so 16 bytes stay in reserve: every load then lies in an aligned
// block that holds source bytes, never past the source's end.
template <int kShift>
inline void copyJoined(const Dsp8u*& pSrc, Dsp8u*& pDst, std::size_t& n) {
    if constexpr (kLevel >= 3) {
        const Dsp8u* block = pSrc - kShift;
        __m128i previous = loadAligned(block);
        for (; n >= 80; n -= 64, block += 64, pDst += 64) {
            const __m128i b1 = loadAligned(block + 16), b2 = loadAligned(block + 32);
            const __m128i b3 = loadAligned(block + 48), b4 = loadAligned(block + 64);
            storeAligned(pDst, _mm_alignr_epi8(b1, previous, kShift));
            storeAligned(pDst + 16, _mm_alignr_epi8(b2, b1, kShift));
            storeAligned(pDst + 32, _mm_alignr_epi8(b3, b2, kShift));
            storeAligned(pDst + 48, _mm_alignr_epi8(b4, b3, kShift));
            previous = b4;
        }
        pSrc = block + kShift;
    }
}

// SSE2: a 16-byte source block from four 4-byte loads (source 4 mod 8) or
// two 8-byte loads.
inline __m128i loadByPieces(const Dsp8u* p, bool fourByteLoads) {
    if (fourByteLoads)
        return _mm_setr_epi32(dspLoad<int>(p), dspLoad<int>(p + 4), dspLoad<int>(p + 8), dspLoad<int>(p + 12));
    return _mm_set_epi64x(dspLoad<long long>(p + 8), dspLoad<long long>(p));
}

// Destination 16-byte aligned, source not.
inline void copyUnalignedSource(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    if constexpr (kLevel >= 3) {
        const std::size_t shift = addressOf(pSrc) & 15;
        if (shift % 4 == 0) {
            // The first 16 bytes unaligned, so the joined loads start inside
            // the source.
            storeAligned(pDst, loadUnaligned(pSrc));
            pSrc += 16;
            pDst += 16;
            n -= 16;
            if (shift == 4) copyJoined<4>(pSrc, pDst, n);
            if (shift == 8) copyJoined<8>(pSrc, pDst, n);
            if (shift == 12) copyJoined<12>(pSrc, pDst, n);
        }
        copySteps64(pSrc, pDst, n, loadUnaligned);
    } else if constexpr (kLevel == 2) {
        copySteps64(pSrc, pDst, n, loadUnaligned);
    } else {
        const bool fourByteLoads = (addressOf(pSrc) & 7) == 4;
        copySteps64(pSrc, pDst, n, [fourByteLoads](const Dsp8u* p) { return loadByPieces(p, fourByteLoads); });
    }
    copySmall(pSrc, pDst, n);
}

// Reads one byte per cache line (SSE2: per 32 bytes) so the source is in the
// cache before it is streamed out; forward, or from the end toward the start.
inline void touchSource(const Dsp8u* pSrc, std::size_t n, bool fromEnd) {
    constexpr std::size_t kStride = kLevel == 1 ? 32 : 64;
    unsigned sum = 0;
    if (fromEnd) {
        for (std::size_t i = n; i > 0; i = i > kStride ? i - kStride : 0) sum += pSrc[i - 1];
    } else {
        for (std::size_t i = 0; i < n; i += kStride) sum += pSrc[i];
    }
    asm volatile("" : : "r"(sum));  // keep the reads
}

// n a multiple of 16, destination 16-byte aligned.
inline void streamBytes(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    for (; n >= 64; n -= 64, pSrc += 64, pDst += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(pDst), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(pDst + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(pDst + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(pDst + 48), d);
    }
    for (; n > 0; n -= 16, pSrc += 16, pDst += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(pDst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc)));
}

// Destination 16-byte aligned: 256 KiB at a time, touched then streamed; the
// store fence makes the data visible to a thread the buffer is handed to.
inline void copyStreaming(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    constexpr std::size_t kChunk = 262144;
    for (; n >= kChunk; n -= kChunk, pSrc += kChunk, pDst += kChunk) {
        touchSource(pSrc, kChunk, false);
        streamBytes(pSrc, pDst, kChunk);
    }
    touchSource(pSrc, n, true);
    const std::size_t streamed = n & ~std::size_t{15};
    streamBytes(pSrc, pDst, streamed);
    _mm_sfence();
    copySmall(pSrc + streamed, pDst + streamed, n - streamed);
}

inline bool copyShouldStream(std::size_t n) {
    constexpr bool kInclusive = kLevel >= 2;
    constexpr std::size_t kThreshold = kLevel >= 3 ? 1048576 : kLevel == 2 ? 524288 : 131072;
    if (kInclusive ? n < kThreshold : n <= kThreshold) return false;
    const auto cache = largestCacheSize();
    return cache && n >= *cache / 2;
}

void copyKernel8u(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t byteCount) {
    std::size_t n = byteCount;
    if (n < 64) {
        copySmall(pSrc, pDst, n);
        return;
    }
    bool testStreaming = true;
    if (!onBoundary(pDst, 16)) {
        // One unaligned 16-byte head; the next step copies its last bytes
        // again, with equal values.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc)));
        const std::size_t head = 16 - (addressOf(pDst) & 15);
        pSrc += head;
        pDst += head;
        n -= head;
        if (n < 64) {
            copySmall(pSrc, pDst, n);
            return;
        }
        testStreaming = kLevel == 1 || !onBoundary(pSrc, 16);
    }
    if (testStreaming && copyShouldStream(n)) {
        copyStreaming(pSrc, pDst, n);
    } else if (onBoundary(pSrc, 16)) {
        copyAligned(pSrc, pDst, n);
    } else {
        copyUnalignedSource(pSrc, pDst, n);
    }
}

// ---- Move ------------------------------------------------------------------

enum class SourceLoad { kAligned, kFourByte, kEightByte };

inline SourceLoad sourceLoadFor(const Dsp8u* p) {
    if (onBoundary(p, 16)) return SourceLoad::kAligned;
    return (addressOf(p) & 7) == 4 ? SourceLoad::kFourByte : SourceLoad::kEightByte;
}

inline __m128i loadForMove(const Dsp8u* p, SourceLoad how) {
    if (how == SourceLoad::kAligned) return loadAligned(p);
    return loadByPieces(p, how == SourceLoad::kFourByte);
}

// Piece orders of the move: SSSE3/SSE4.1 by the bits of the count (short
// backward moves and destination alignment narrowest first); SSE2/SSE3
// greedy with the last bytes singly.
constexpr Pieces kMoveRun = kLevel >= 3 ? Pieces::kWideFirst : Pieces::kWideThenBytes;
constexpr Pieces kMoveRunBackward = kLevel >= 3 ? Pieces::kNarrowFirst : Pieces::kWideThenBytes;
constexpr Pieces kMoveAlign = kLevel >= 3 ? Pieces::kNarrowFirst : Pieces::kWideThenBytes;

// Source above the destination: from the start upward.
inline void moveForward(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    if (n < 64) {
        moveUp<kMoveRun>(pSrc, pDst, n);
        return;
    }
    if constexpr (kLevel >= 3) {
        if (onBoundary(pSrc, 16) && onBoundary(pDst, 16)) {
            copyAlignedForward(pSrc, pDst, n);
            return;
        }
    }
    const std::size_t head = (0 - addressOf(pDst)) & 15;
    moveUp<kMoveAlign>(pSrc, pDst, head);
    n -= head;
    const SourceLoad how = sourceLoadFor(pSrc);
    for (; n >= 32; n -= 32, pSrc += 32, pDst += 32) {
        const __m128i a = loadForMove(pSrc, how), b = loadForMove(pSrc + 16, how);
        storeAligned(pDst, a);
        storeAligned(pDst + 16, b);
    }
    moveUp<kMoveRun>(pSrc, pDst, n);
}

// Source below the destination: from the end downward.
inline void moveBackward(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t n) {
    const Dsp8u* srcEnd = pSrc + n;
    Dsp8u* dstEnd = pDst + n;
    if (n < 64) {
        moveDown<kMoveRunBackward>(srcEnd, dstEnd, n);
        return;
    }
    if constexpr (kLevel >= 3) {
        if (onBoundary(pSrc, 16) && onBoundary(pDst, 16)) {
            copyAlignedBackward(pSrc, pDst, n);
            return;
        }
    }
    const std::size_t tail = addressOf(dstEnd) & 15;
    moveDown<kMoveAlign>(srcEnd, dstEnd, tail);
    n -= tail;
    const SourceLoad how = sourceLoadFor(srcEnd);
    for (; n >= 32; n -= 32) {
        srcEnd -= 32;
        dstEnd -= 32;
        const __m128i a = loadForMove(srcEnd, how), b = loadForMove(srcEnd + 16, how);
        storeAligned(dstEnd, a);
        storeAligned(dstEnd + 16, b);
    }
    moveDown<kMoveRun>(srcEnd, dstEnd, n);
}

void moveKernel32f(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t byteCount) {
    if (pSrc > pDst) {
        moveForward(pSrc, pDst, byteCount);
    } else if (pSrc < pDst) {
        moveBackward(pSrc, pDst, byteCount);
    }
}

#endif

template <std::size_t kElementSize>
DspStatus copyElements(const void* pSrc, void* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
    copyKernel8u(static_cast<const Dsp8u*>(pSrc), static_cast<Dsp8u*>(pDst), dspByteCount(len, kElementSize));
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsCopy_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len) {
    return copyElements<sizeof(Dsp32f)>(pSrc, pDst, len);
}

DspStatus DSP_VARIANT(dspsCopy_64f)(const Dsp64f* pSrc, Dsp64f* pDst, int len) {
    return copyElements<sizeof(Dsp64f)>(pSrc, pDst, len);
}

DspStatus DSP_VARIANT(dspsMove_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
    const auto* src = reinterpret_cast<const Dsp8u*>(pSrc);
    auto* dst = reinterpret_cast<Dsp8u*>(pDst);
    const std::size_t n = dspByteCount(len, sizeof(Dsp32f));
#if DSP_LEVEL == 0
    // Single bytes, in the direction that reads each source byte before the
    // destination overwrites it.
    if (src > dst) {
        for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    } else if (src < dst) {
        for (std::size_t i = n; i > 0; --i) dst[i - 1] = src[i - 1];
    }
#else
    moveKernel32f(src, dst, n);
#endif
    return dspStsNoErr;
}

#include "simd_level_end.inc"
