// One processor level of the element-wise real arithmetic (see
// arith_real.cpp). Every kernel reads an element (or a register of four)
// before it writes it, so a destination may be the very same array as a
// source.
#include "simd_level_begin.inc"

namespace {

#include "shared/float_lanes.inl"

// The element operations: `generic` in double for n0, which rounds once at
// the store and so gives the float of the single-precision operation;
// `vector` on four lanes (or lane 0) for the SSE variants.
struct AddOp {
    static double generic(double a, double b) { return a + b; }
#if DSP_LEVEL >= 1
    static __m128 vector(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
#endif
};

// The first operand is subtracted from the second.
struct ReverseSubOp {
    static double generic(double a, double b) { return b - a; }
#if DSP_LEVEL >= 1
    static __m128 vector(__m128 a, __m128 b) { return _mm_sub_ps(b, a); }
#endif
};

struct MulOp {
    static double generic(double a, double b) { return a * b; }
#if DSP_LEVEL >= 1
    static __m128 vector(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
#endif
};

#if DSP_LEVEL == 0

// d[i] = Op(a[i], b[i]) in ascending order, each result rounded at its store.
template <class Op>
void eachElementGeneric(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, int len) {
    for (int i = 0; i < len; ++i) {
        const double result = Op::generic(dspLoad<Dsp32f>(a + i), dspLoad<Dsp32f>(b + i));
        dspStore(d + i, static_cast<Dsp32f>(result));
    }
}

#else  // SSE levels

// One lane at a time: the same operation as the passes, and a loop the
// compiler leaves as it is, so the short heads and tails stay small.
template <class Op>
void singles(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) storeSingle(d + i, Op::vector(loadSingle(a + i), loadSingle(b + i)));
}

// Passes of 8 elements, d = Op(a, b). Each register of 4 is read before it
// is written, which is all that exact aliasing needs; storing the first
// register before loading the second runs measurably faster than loading
// the whole block first.
template <class Op, class LoadA, class LoadB, class Store, bool kPrefetchB>
void passesOf8(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t passes) {
    for (std::size_t k = 0; k < passes; ++k, a += 8, b += 8, d += 8) {
        if constexpr (kPrefetchB) prefetchAhead(b, 64);
        Store::store(d, Op::vector(LoadA::load(a), LoadB::load(b)));
        Store::store(d + 4, Op::vector(LoadA::load(a + 4), LoadB::load(b + 4)));
    }
}

// One pass loop per 16-byte alignment case of the two sources.
template <class Op, class Store, bool kPrefetchB>
void passesOf8ForSources(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t passes) {
    if (onBoundary(a, 16)) {
        if (onBoundary(b, 16)) {
            passesOf8<Op, AlignedLoad, AlignedLoad, Store, kPrefetchB>(a, b, d, passes);
        } else {
            passesOf8<Op, AlignedLoad, UnalignedLoad, Store, kPrefetchB>(a, b, d, passes);
        }
    } else if (onBoundary(b, 16)) {
        passesOf8<Op, UnalignedLoad, AlignedLoad, Store, kPrefetchB>(a, b, d, passes);
    } else {
        passesOf8<Op, UnalignedLoad, UnalignedLoad, Store, kPrefetchB>(a, b, d, passes);
    }
}

// How a kernel treats its second operand and large vectors.
struct InPlaceMode {  // b is the read-only source: prefetched, never streamed
    static constexpr bool kPrefetchB = true;
    static constexpr bool kMayStream = false;
};
struct CachedMode {
    static constexpr bool kPrefetchB = false;
    static constexpr bool kMayStream = false;
};
struct StreamingMode {
    static constexpr bool kPrefetchB = false;
    static constexpr bool kMayStream = true;
};

// The loop scheme of the add, subtract and multiply kernels, d[i] =
// Op(a[i], b[i]): short vectors element by element; a destination that is
// not 4-byte aligned in unaligned passes; otherwise a peel of up to 3
// elements to a 16-byte aligned destination, aligned passes (streaming above
// the level's threshold where the mode allows) and a tail.
template <class Op, class Mode>
void elementwiseKernel(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, int len) {
    std::size_t n = static_cast<std::size_t>(len);
    if (n < 11) {
        singles<Op>(a, b, d, n);
        return;
    }
    if (!onBoundary(d, 4)) {
        passesOf8ForSources<Op, UnalignedStore, Mode::kPrefetchB>(a, b, d, n / 8);
        const std::size_t done = n - n % 8;
        singles<Op>(a + done, b + done, d + done, n % 8);
        return;
    }
    const std::size_t peel = floatsToBoundary16(d);
    singles<Op>(a, b, d, peel);
    a += peel;
    b += peel;
    d += peel;
    n -= peel;
    const std::size_t passes = n / 8;
    bool streamed = false;
    if constexpr (Mode::kMayStream) {
        if (passes > static_cast<std::size_t>(kArithStreamingPasses[kLevel])) {
            passesOf8ForSources<Op, StreamingStore, Mode::kPrefetchB>(a, b, d, passes);
            // Order the streamed results before anything the caller stores
            // next, as ordinary stores would be.
            _mm_sfence();
            streamed = true;
        }
    }
    if (!streamed) passesOf8ForSources<Op, AlignedStore, Mode::kPrefetchB>(a, b, d, passes);
    const std::size_t done = n - n % 8;
    singles<Op>(a + done, b + done, d + done, n % 8);
}

inline void addInPlaceKernel(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len) {
    elementwiseKernel<AddOp, InPlaceMode>(pSrcDst, pSrc, pSrcDst, len);
}
inline void mulInPlaceKernel(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len) {
    elementwiseKernel<MulOp, InPlaceMode>(pSrcDst, pSrc, pSrcDst, len);
}
inline void addKernel(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    elementwiseKernel<AddOp, StreamingMode>(pSrc1, pSrc2, pDst, len);
}
inline void subKernel(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    elementwiseKernel<ReverseSubOp, StreamingMode>(pSrc1, pSrc2, pDst, len);
}
inline void mulKernel(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    elementwiseKernel<MulOp, CachedMode>(pSrc1, pSrc2, pDst, len);
}

// --- Accumulated product -----------------------------------------------------

// d[i] += a[i] * b[i], the product rounded to float first; ascending, each
// element stored before the next is read, so with d overlapping a source an
// element uses the value just written before it.
inline void addProductSingles(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const Dsp32f product = dspLoad<Dsp32f>(a + i) * dspLoad<Dsp32f>(b + i);
        dspStore(d + i, dspLoad<Dsp32f>(d + i) + product);
    }
}

// Passes of kPerPass elements over an aligned d; a is loaded unaligned.
template <std::size_t kPerPass, class LoadB>
void addProductPasses(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, std::size_t passes) {
    for (std::size_t k = 0; k < passes; ++k, a += kPerPass, b += kPerPass, d += kPerPass) {
        for (std::size_t r = 0; r < kPerPass; r += 4) {
            const __m128 product = _mm_mul_ps(_mm_loadu_ps(a + r), LoadB::load(b + r));
            _mm_store_ps(d + r, _mm_add_ps(_mm_load_ps(d + r), product));
        }
    }
}

// True when the two arrays start at most `bytes` apart (equal starts too).
inline bool startsWithin(const void* x, const void* y, std::uintptr_t bytes) {
    const std::uintptr_t p = addressOf(x), q = addressOf(y);
    return (p > q ? p - q : q - p) <= bytes;
}

// The vector path is taken only where no source can overlap pSrcDst, so
// every variant gives the result of the ascending element loop.
inline void accumulateProducts(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pSrcDst, int len) {
    std::size_t n = static_cast<std::size_t>(len);
    const std::uintptr_t bytes = n * sizeof(Dsp32f);
    constexpr std::size_t kPerPass = kLevel == 1 ? 4 : 8;
    const std::size_t peel = floatsToBoundary16(pSrcDst);
    if (startsWithin(pSrc1, pSrcDst, bytes) || startsWithin(pSrc2, pSrcDst, bytes) || !onBoundary(pSrcDst, 4) ||
        n < peel + kPerPass) {
        addProductSingles(pSrc1, pSrc2, pSrcDst, n);
        return;
    }
    addProductSingles(pSrc1, pSrc2, pSrcDst, peel);
    pSrc1 += peel;
    pSrc2 += peel;
    pSrcDst += peel;
    n -= peel;
    const std::size_t passes = n / kPerPass;
    if (onBoundary(pSrc2, 16)) {
        addProductPasses<kPerPass, AlignedLoad>(pSrc1, pSrc2, pSrcDst, passes);
    } else {
        addProductPasses<kPerPass, UnalignedLoad>(pSrc1, pSrc2, pSrcDst, passes);
    }
    const std::size_t done = passes * kPerPass;
    addProductSingles(pSrc1 + done, pSrc2 + done, pSrcDst + done, n - done);
}

// --- Division ----------------------------------------------------------------

// q = a·r·(1 + e + e²) with r the processor's 12-bit reciprocal estimate of b
// and e = 1 − b·r, all in single precision: a few units in the last place,
// not an exactly rounded division.
inline __m128 estimatedQuotient(__m128 dividend, __m128 divisor) {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 r = _mm_rcp_ps(divisor);
    const __m128 e = _mm_sub_ps(one, _mm_mul_ps(divisor, r));
    const __m128 series = _mm_add_ps(_mm_add_ps(one, e), _mm_mul_ps(e, e));
    return _mm_mul_ps(_mm_mul_ps(dividend, r), series);
}

inline bool holdsZero(__m128 divisor) { return _mm_movemask_ps(_mm_cmpeq_ps(divisor, _mm_setzero_ps())) != 0; }

// A unit of work that meets a zero divisor divides each place by itself:
// exactly, or by the zero-divisor rule; a NaN divisor gives the default NaN.
inline void divideEachPlace(const Dsp32f* divisors, const Dsp32f* dividends, Dsp32f* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const Dsp32f divisor = dspLoad<Dsp32f>(divisors + i);
        const Dsp32f dividend = dspLoad<Dsp32f>(dividends + i);
        Dsp32f quotient;
        if (divisor == 0.0f) {
            quotient = quotientByZero(dividend, kSseDivisionNaN);
        } else if (divisor != divisor) {
            quotient = std::bit_cast<Dsp32f>(kSseDivisionNaN);
        } else {
            quotient = dividend / divisor;
        }
        dspStore(d + i, quotient);
    }
}

// Up to 4 floats, the empty places filled with 1.0.
inline __m128 loadPadded(const Dsp32f* p, std::size_t count) {
    if (count == 4) return _mm_loadu_ps(p);
    alignas(16) Dsp32f lanes[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    for (std::size_t i = 0; i < count; ++i) lanes[i] = dspLoad<Dsp32f>(p + i);
    return _mm_load_ps(lanes);
}

inline void storeFirst(Dsp32f* p, __m128 v, std::size_t count) {
    if (count == 4) {
        _mm_storeu_ps(p, v);
        return;
    }
    alignas(16) Dsp32f lanes[4];
    _mm_store_ps(lanes, v);
    for (std::size_t i = 0; i < count; ++i) dspStore(p + i, lanes[i]);
}

// One group of 1, 2 or 4 places; true when it held a zero divisor.
inline bool divideGroup(const Dsp32f* divisors, const Dsp32f* dividends, Dsp32f* d, std::size_t count) {
    const __m128 divisor = loadPadded(divisors, count);
    if (holdsZero(divisor)) {
        divideEachPlace(divisors, dividends, d, count);
        return true;
    }
    storeFirst(d, estimatedQuotient(loadPadded(dividends, count), divisor), count);
    return false;
}

// One pass of 8 places into an aligned d; true when it held a zero divisor.
template <class Load>
bool dividePassOf8(const Dsp32f* divisors, const Dsp32f* dividends, Dsp32f* d) {
    const __m128 divisor0 = Load::load(divisors), divisor1 = Load::load(divisors + 4);
    if (holdsZero(divisor0) || holdsZero(divisor1)) {
        divideEachPlace(divisors, dividends, d, 8);
        return true;
    }
    const __m128 dividend0 = Load::load(dividends), dividend1 = Load::load(dividends + 4);
    _mm_store_ps(d, estimatedQuotient(dividend0, divisor0));
    _mm_store_ps(d + 4, estimatedQuotient(dividend1, divisor1));
    return false;
}

// pDst = pSrc2 / pSrc1; returns true when a divisor was zero.
inline bool divKernel(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    std::size_t n = static_cast<std::size_t>(len);
    bool metZero = false;
    const auto group = [&](std::size_t count) {
        metZero |= divideGroup(pSrc1, pSrc2, pDst, count);
        pSrc1 += count;
        pSrc2 += count;
        pDst += count;
        n -= count;
    };
    if (!onBoundary(pSrc1, 4) || !onBoundary(pSrc2, 4) || !onBoundary(pDst, 4)) {
        while (n >= 4) group(4);
    } else {
        if (n >= 1 && addressOf(pDst) % 8 == 4) group(1);
        if (n >= 2 && addressOf(pDst) % 16 == 8) group(2);
        // Here pDst is 16-byte aligned whenever 8 places remain.
        const bool alignedSources = onBoundary(pSrc1, 16) && onBoundary(pSrc2, 16);
        for (; n >= 8; n -= 8, pSrc1 += 8, pSrc2 += 8, pDst += 8) {
            metZero |= alignedSources ? dividePassOf8<AlignedLoad>(pSrc1, pSrc2, pDst)
                                      : dividePassOf8<UnalignedLoad>(pSrc1, pSrc2, pDst);
        }
        if (n >= 4) group(4);
    }
    if (n >= 2) group(2);
    if (n >= 1) group(1);
    return metZero;
}

#endif  // SSE levels

}  // namespace

// --- Variant bodies ------------------------------------------------------------
// n2 runs n1's body of Add_I, Mul_I and Mul, and n4 runs n3's body of those
// and of Add, AddProduct and Sub (see the slot list in arith_real.h).

DspStatus DSP_VARIANT(dspsAdd_32f_I)(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pSrcDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    eachElementGeneric<AddOp>(pSrcDst, pSrc, pSrcDst, len);
#else
    addInPlaceKernel(pSrc, pSrcDst, len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMul_32f_I)(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pSrcDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    eachElementGeneric<MulOp>(pSrcDst, pSrc, pSrcDst, len);
#else
    mulInPlaceKernel(pSrc, pSrcDst, len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMul_32f)(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    eachElementGeneric<MulOp>(pSrc1, pSrc2, pDst, len);
#else
    mulKernel(pSrc1, pSrc2, pDst, len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsAdd_32f)(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    eachElementGeneric<AddOp>(pSrc1, pSrc2, pDst, len);
#else
    addKernel(pSrc1, pSrc2, pDst, len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsSub_32f)(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    eachElementGeneric<ReverseSubOp>(pSrc1, pSrc2, pDst, len);
#else
    subKernel(pSrc1, pSrc2, pDst, len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsAddProduct_32f)(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pSrcDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    // The exact product plus the destination, rounded once at the store.
    for (int i = 0; i < len; ++i) {
        const double product = double{dspLoad<Dsp32f>(pSrc1 + i)} * dspLoad<Dsp32f>(pSrc2 + i);
        dspStore(pSrcDst + i, static_cast<Dsp32f>(dspLoad<Dsp32f>(pSrcDst + i) + product));
    }
#else
    accumulateProducts(pSrc1, pSrc2, pSrcDst, len);
#endif
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsDiv_32f)(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc1, pSrc2, pDst); status != dspStsNoErr) return status;
#if DSP_LEVEL == 0
    bool metZero = false;
    for (int i = 0; i < len; ++i) {
        const Dsp32f divisor = dspLoad<Dsp32f>(pSrc1 + i);
        const Dsp32f dividend = dspLoad<Dsp32f>(pSrc2 + i);
        if (divisor == 0.0f) {
            metZero = true;
            dspStore(pDst + i, quotientByZero(dividend, kGenericDivisionNaN));
        } else {
            dspStore(pDst + i, static_cast<Dsp32f>(double{dividend} / divisor));
        }
    }
#else
    const bool metZero = divKernel(pSrc1, pSrc2, pDst, len);
#endif
    return metZero ? dspStsDivByZero : dspStsNoErr;
}

#include "simd_level_end.inc"
