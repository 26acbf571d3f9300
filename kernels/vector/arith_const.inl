// Arithmetic with a constant, compiled once per processor level by
// arith_const.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

// The kernels are private to this file: only the variant bodies call them.
// (They are inline so the SSE4.1 level, which runs the SSSE3 bodies of most
// functions, carries no unused copies.)
namespace {

inline Dsp32f loadFloat(const Dsp8u* p) { return dspLoad<Dsp32f>(p); }
inline void storeFloat(Dsp8u* p, Dsp32f v) { dspStore(p, v); }

#if DSP_LEVEL == 0

// The generic level computes each element in double precision and rounds
// once to float at the store, one element at a time, ascending. For one
// operation this equals the single-precision result; products that are then
// added keep their full precision.
template <typename Compute>
void forEachElement(const Dsp32f* pSrc, Dsp32f* pDst, int len, Compute compute) {
    const auto* src = reinterpret_cast<const Dsp8u*>(pSrc);
    auto* dst = reinterpret_cast<Dsp8u*>(pDst);
    for (int i = 0; i < len; ++i, src += 4, dst += 4)
        storeFloat(dst, static_cast<Dsp32f>(compute(double{loadFloat(src)}, double{loadFloat(dst)})));
}

void addConstInPlaceKernel(Dsp32f val, Dsp32f* pSrcDst, int len) {
    forEachElement(pSrcDst, pSrcDst, len, [val](double x, double) { return x + val; });
}
void mulConstInPlaceKernel(Dsp32f val, Dsp32f* pSrcDst, int len) {
    forEachElement(pSrcDst, pSrcDst, len, [val](double x, double) { return x * val; });
}
void subConstRevInPlaceKernel(Dsp32f val, Dsp32f* pSrcDst, int len) {
    forEachElement(pSrcDst, pSrcDst, len, [val](double x, double) { return val - x; });
}
void mulConstKernel(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len) {
    forEachElement(pSrc, pDst, len, [val](double x, double) { return x * val; });
}
void subConstRevKernel(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len) {
    forEachElement(pSrc, pDst, len, [val](double x, double) { return val - x; });
}
void addProductConstBody(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, int len) {
    forEachElement(pSrc, pSrcDst, len, [val](double x, double acc) { return acc + x * val; });
}

void mulConstComplexKernel(const Dsp32fc* pSrc, Dsp32fc val, Dsp32fc* pDst, int len) {
    const auto* src = reinterpret_cast<const Dsp8u*>(pSrc);
    auto* dst = reinterpret_cast<Dsp8u*>(pDst);
    const double re = val.re, im = val.im;
    for (int i = 0; i < len; ++i, src += 8, dst += 8) {
        const double a = loadFloat(src), b = loadFloat(src + 4);
        storeFloat(dst, static_cast<Dsp32f>(re * a - im * b));
        storeFloat(dst + 4, static_cast<Dsp32f>(re * b + im * a));
    }
}

#else

// ---- Element operations ------------------------------------------------------
// Each has a one-lane and a four-lane form of the same single-precision
// arithmetic, so an element's result does not depend on which loop handled
// it. kReadsDst: the operation also reads the destination element.

struct AddConst {
    static constexpr bool kReadsDst = false;
    Dsp32f c;
    __m128 lanes = _mm_set1_ps(c);
    Dsp32f operator()(Dsp32f x, Dsp32f) const { return x + c; }
    __m128 operator()(__m128 x, __m128) const { return _mm_add_ps(x, lanes); }
};

struct MulConst {
    static constexpr bool kReadsDst = false;
    Dsp32f c;
    __m128 lanes = _mm_set1_ps(c);
    Dsp32f operator()(Dsp32f x, Dsp32f) const { return x * c; }
    __m128 operator()(__m128 x, __m128) const { return _mm_mul_ps(x, lanes); }
};

struct SubConstRev {
    static constexpr bool kReadsDst = false;
    Dsp32f c;
    __m128 lanes = _mm_set1_ps(c);
    Dsp32f operator()(Dsp32f x, Dsp32f) const { return c - x; }
    __m128 operator()(__m128 x, __m128) const { return _mm_sub_ps(lanes, x); }
};

// acc + x * c with the product rounded to float first.
struct AddProductConst {
    static constexpr bool kReadsDst = true;
    Dsp32f c;
    __m128 lanes = _mm_set1_ps(c);
    Dsp32f operator()(Dsp32f x, Dsp32f acc) const { return acc + x * c; }
    __m128 operator()(__m128 x, __m128 acc) const { return _mm_add_ps(acc, _mm_mul_ps(x, lanes)); }
};

// Complex product of (a, b) pairs with (re, im), every product rounded to
// float: (a*re + b*(-im), b*re + a*im). The four-lane form holds two pairs:
// products with (re, re, re, re) plus the pair-swapped products with
// (im, -im, im, -im).
struct MulConstComplex {
    static constexpr bool kReadsDst = false;
    Dsp32fc c;
    __m128 reLanes = _mm_set1_ps(c.re);
    __m128 imLanes = _mm_setr_ps(c.im, -c.im, c.im, -c.im);
    Dsp32fc operator()(Dsp32f a, Dsp32f b) const {
        const Dsp32f minusIm = -c.im;
        return {a * c.re + b * minusIm, b * c.re + a * c.im};
    }
    __m128 operator()(__m128 x, __m128) const {
        const __m128 crossed = _mm_mul_ps(x, imLanes);
        return _mm_add_ps(_mm_mul_ps(x, reLanes), _mm_shuffle_ps(crossed, crossed, _MM_SHUFFLE(2, 3, 0, 1)));
    }
};

// ---- Blocks of 32 bytes (8 floats, or 4 complex) ----------------------------

enum class Loads { kAligned, kUnaligned, kHalves };  // kHalves: two 8-byte loads
enum class Stores { kAligned, kUnaligned, kStreaming };
enum class Prefetch { kNone, kDstNonTemporal, kDstAllLevels, kDstAllLevelsOnce, kBothAllLevels };

struct BlockPlan {
    Loads loads;
    Stores stores;
    Prefetch prefetch = Prefetch::kNone;
    std::size_t ahead = 0;  // prefetch distance in bytes
};

template <Loads kLoads>
inline __m128 loadLanes(const Dsp8u* p) {
    const auto* f = reinterpret_cast<const float*>(p);
    if constexpr (kLoads == Loads::kAligned) return _mm_load_ps(f);
    if constexpr (kLoads == Loads::kUnaligned) return _mm_loadu_ps(f);
    if constexpr (kLoads == Loads::kHalves) {
        const __m128 low = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p));
        return _mm_loadh_pi(low, reinterpret_cast<const __m64*>(p + 8));
    }
}

template <Stores kStores>
inline void storeLanes(Dsp8u* p, __m128 v) {
    auto* f = reinterpret_cast<float*>(p);
    if constexpr (kStores == Stores::kAligned) _mm_store_ps(f, v);
    if constexpr (kStores == Stores::kUnaligned) _mm_storeu_ps(f, v);
    if constexpr (kStores == Stores::kStreaming) _mm_stream_ps(f, v);
}

inline void prefetchAhead(const Dsp8u* src, const Dsp8u* dst, const BlockPlan& plan) {
    switch (plan.prefetch) {
        case Prefetch::kDstNonTemporal:
            _mm_prefetch(reinterpret_cast<const char*>(dst + plan.ahead), _MM_HINT_NTA);
            break;
        case Prefetch::kDstAllLevels:
            _mm_prefetch(reinterpret_cast<const char*>(dst + plan.ahead), _MM_HINT_T0);
            break;
        case Prefetch::kBothAllLevels:
            _mm_prefetch(reinterpret_cast<const char*>(src + plan.ahead), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(dst + plan.ahead), _MM_HINT_T0);
            break;
        default:
            break;
    }
}

// The plan and the operation (with its constant lanes) are taken by value:
// as locals they cannot alias the float stores, so they stay in registers.
template <Loads kLoads, Stores kStores, typename Op>
void blockLoop(const Dsp8u* src, Dsp8u* dst, std::size_t blocks, const BlockPlan plan, const Op op) {
    for (; blocks > 0; --blocks, src += 32, dst += 32) {
        prefetchAhead(src, dst, plan);
        const __m128 x0 = loadLanes<kLoads>(src), x1 = loadLanes<kLoads>(src + 16);
        __m128 d0 = x0, d1 = x1;
        if constexpr (Op::kReadsDst) {
            constexpr Loads kDstLoads = kStores == Stores::kUnaligned ? Loads::kUnaligned : Loads::kAligned;
            d0 = loadLanes<kDstLoads>(dst);
            d1 = loadLanes<kDstLoads>(dst + 16);
        }
        storeLanes<kStores>(dst, op(x0, d0));
        storeLanes<kStores>(dst + 16, op(x1, d1));
    }
}

template <Loads kLoads, typename Op>
void blockLoopWithLoads(const Dsp8u* src, Dsp8u* dst, std::size_t blocks, const BlockPlan& plan, const Op& op) {
    switch (plan.stores) {
        case Stores::kAligned: return blockLoop<kLoads, Stores::kAligned>(src, dst, blocks, plan, op);
        case Stores::kUnaligned: return blockLoop<kLoads, Stores::kUnaligned>(src, dst, blocks, plan, op);
        case Stores::kStreaming: return blockLoop<kLoads, Stores::kStreaming>(src, dst, blocks, plan, op);
    }
}

// Runs `blocks` blocks of 32 bytes as the plan says. Non-temporal stores are
// closed with a store fence: without it another thread handed the result
// could still read the old contents.
template <typename Op>
void runBlocks(const Dsp8u* src, Dsp8u* dst, std::size_t blocks, const BlockPlan& plan, const Op& op) {
    if (plan.prefetch == Prefetch::kDstAllLevelsOnce)
        _mm_prefetch(reinterpret_cast<const char*>(dst + plan.ahead), _MM_HINT_T0);
    switch (plan.loads) {
        case Loads::kAligned: blockLoopWithLoads<Loads::kAligned>(src, dst, blocks, plan, op); break;
        case Loads::kUnaligned: blockLoopWithLoads<Loads::kUnaligned>(src, dst, blocks, plan, op); break;
        case Loads::kHalves: blockLoopWithLoads<Loads::kHalves>(src, dst, blocks, plan, op); break;
    }
    if (plan.stores == Stores::kStreaming) _mm_sfence();
}

// ---- The real kernels ---------------------------------------------------------

// What a kernel's plan is chosen from, at the start of the blocks.
struct BlockShape {
    std::size_t blocks;
    bool dstAligned4;  // the blocks' destination starts on a 16-byte boundary
    bool srcAligned16;
};

// The scheme shared by the real kernels: fewer than 11 elements singly;
// otherwise, when the destination is 4-byte aligned, single elements up to a
// 16-byte boundary; blocks of 8 planned by `planFor`; the rest singly.
template <typename Op, typename Planner>
void realKernel(const Dsp8u* src, Dsp8u* dst, std::size_t len, const Op& op, Planner planFor) {
    const auto single = [&](std::size_t k) {
        const std::size_t at = 4 * k;
        const Dsp32f acc = Op::kReadsDst ? loadFloat(dst + at) : 0.0f;
        storeFloat(dst + at, op(loadFloat(src + at), acc));
    };
    std::size_t i = 0;
    if (len >= 11) {
        const bool dstAligned4 = (addressOf(dst) & 3) == 0;
        if (dstAligned4)
            for (const std::size_t peel = ((0 - addressOf(dst)) >> 2) & 3; i < peel; ++i) single(i);
        const std::size_t blocks = (len - i) / 8;
        const BlockPlan plan = planFor(BlockShape{blocks, dstAligned4, onBoundary(src + 4 * i, 16)});
        runBlocks(src + 4 * i, dst + 4 * i, blocks, plan, op);
        i += 8 * blocks;
    }
    for (; i < len; ++i) single(i);
}

// Size switches: the SSE2 level switches at half the size of the others.
constexpr std::size_t kScale = kLevel == 1 ? 2 : 1;
constexpr std::size_t kInPlaceLargeElements = 262144 / kScale;
constexpr std::size_t kMulLargeBlocks = 16384 / kScale;
constexpr std::size_t kSubLargeBlocks = 32768 / kScale;

// In-place kernels: source and destination are the same vector; large ones
// are prefetched past the caches.
inline BlockPlan inPlacePlan(const BlockShape& shape, std::size_t ahead) {
    BlockPlan plan{shape.dstAligned4 ? Loads::kAligned : Loads::kUnaligned,
                   shape.dstAligned4 ? Stores::kAligned : Stores::kUnaligned};
    if (8 * shape.blocks > kInPlaceLargeElements) {
        plan.prefetch = Prefetch::kDstNonTemporal;
        plan.ahead = ahead;
    }
    return plan;
}

inline void addConstInPlaceKernel(Dsp32f val, Dsp32f* pSrcDst, std::size_t len) {
    auto* p = reinterpret_cast<Dsp8u*>(pSrcDst);
    realKernel(p, p, len, AddConst{val}, [](const BlockShape& s) { return inPlacePlan(s, 32); });
}

inline void mulConstInPlaceKernel(Dsp32f val, Dsp32f* pSrcDst, std::size_t len) {
    auto* p = reinterpret_cast<Dsp8u*>(pSrcDst);
    realKernel(p, p, len, MulConst{val}, [](const BlockShape& s) { return inPlacePlan(s, 64); });
}

inline void subConstRevInPlaceKernel(Dsp32f val, Dsp32f* pSrcDst, std::size_t len) {
    auto* p = reinterpret_cast<Dsp8u*>(pSrcDst);
    realKernel(p, p, len, SubConstRev{val}, [](const BlockShape& s) {
        BlockPlan plan = inPlacePlan(s, 32);
        if (plan.prefetch == Prefetch::kNone) {
            plan.prefetch = s.dstAligned4 ? Prefetch::kDstAllLevelsOnce : Prefetch::kDstAllLevels;
            plan.ahead = 32;
        }
        return plan;
    });
}

// Two-vector kernels: loads by the source's alignment; an unaligned
// destination is stored unaligned throughout.
inline BlockPlan twoVectorPlan(const BlockShape& shape, bool stream) {
    return {shape.srcAligned16 ? Loads::kAligned : Loads::kUnaligned,
            !shape.dstAligned4 ? Stores::kUnaligned : stream ? Stores::kStreaming : Stores::kAligned};
}

inline void mulConstKernel(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, std::size_t len) {
    realKernel(reinterpret_cast<const Dsp8u*>(pSrc), reinterpret_cast<Dsp8u*>(pDst), len, MulConst{val},
               [](const BlockShape& s) { return twoVectorPlan(s, !s.srcAligned16 || s.blocks > kMulLargeBlocks); });
}

inline void subConstRevKernel(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, std::size_t len) {
    realKernel(reinterpret_cast<const Dsp8u*>(pSrc), reinterpret_cast<Dsp8u*>(pDst), len, SubConstRev{val},
               [](const BlockShape& s) { return twoVectorPlan(s, s.srcAligned16 && s.blocks > kSubLargeBlocks); });
}

// Both pointers 4-byte aligned: every block streamed, source and destination
// prefetched 64 bytes ahead.
inline void addProductConstKernel(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, std::size_t len) {
    realKernel(reinterpret_cast<const Dsp8u*>(pSrc), reinterpret_cast<Dsp8u*>(pSrcDst), len, AddProductConst{val},
               [](const BlockShape& s) {
                   return BlockPlan{s.srcAligned16 ? Loads::kAligned : Loads::kHalves, Stores::kStreaming,
                                    Prefetch::kBothAllLevels, 64};
               });
}

inline bool rangesOverlap(const void* a, const void* b, std::size_t bytes) {
    const std::uintptr_t x = addressOf(a), y = addressOf(b);
    return x < y + bytes && y < x + bytes;
}

// dspsAddProductC_32f with a pointer that is not 4-byte aligned: element by
// element for short or overlapping vectors or an unaligned destination,
// else blocks with unaligned source loads.
inline void addProductConstBody(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, std::size_t len) {
    const auto* src = reinterpret_cast<const Dsp8u*>(pSrc);
    auto* dst = reinterpret_cast<Dsp8u*>(pSrcDst);
    if (((addressOf(src) | addressOf(dst)) & 3) == 0) {
        addProductConstKernel(pSrc, val, pSrcDst, len);
        return;
    }
    const AddProductConst op{val};
    if (len <= 6 || rangesOverlap(src, dst, 4 * len) || (addressOf(dst) & 3) != 0) {
        for (std::size_t at = 0; at < 4 * len; at += 4) storeFloat(dst + at, op(loadFloat(src + at), loadFloat(dst + at)));
        return;
    }
    realKernel(src, dst, len, op, [](const BlockShape&) { return BlockPlan{Loads::kUnaligned, Stores::kAligned}; });
}

// Pairs of floats: fewer than 5 singly; a destination 8 (mod 16) gets one
// element first; blocks of 4 elements; the rest singly.
inline void mulConstComplexKernel(const Dsp32fc* pSrc, Dsp32fc val, Dsp32fc* pDst, std::size_t len) {
    const auto* src = reinterpret_cast<const Dsp8u*>(pSrc);
    auto* dst = reinterpret_cast<Dsp8u*>(pDst);
    const MulConstComplex op{val};
    const auto single = [&](std::size_t k) {
        const Dsp32fc r = op(loadFloat(src + 8 * k), loadFloat(src + 8 * k + 4));
        storeFloat(dst + 8 * k, r.re);
        storeFloat(dst + 8 * k + 4, r.im);
    };
    std::size_t i = 0;
    if (len >= 5) {
        if ((addressOf(dst) & 15) == 8) single(i++);
        const std::size_t blocks = (len - i) / 4;
        const BlockShape shape{blocks, onBoundary(dst + 8 * i, 16), onBoundary(src + 8 * i, 16)};
        const BlockPlan plan = twoVectorPlan(shape, shape.srcAligned16 && blocks > kMulLargeBlocks);
        runBlocks(src + 8 * i, dst + 8 * i, blocks, plan, op);
        i += 4 * blocks;
    }
    for (; i < len; ++i) single(i);
}

#endif

}  // namespace

// ---- Variant bodies -------------------------------------------------------------
// Checks (pointers, then length), then the special constants with IEEE
// comparisons (-0.0 equals 0, a NaN equals nothing), then the kernel.

DspStatus DSP_VARIANT(dspsAddC_32f_I)(Dsp32f val, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
    if (val == 0.0f) return dspStsNoErr;
    addConstInPlaceKernel(val, pSrcDst, len);
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsSubCRev_32f_I)(Dsp32f val, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
    subConstRevInPlaceKernel(val, pSrcDst, len);
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsSubCRev_32f)(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
    subConstRevKernel(pSrc, val, pDst, len);
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsAddProductC_32f)(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pSrcDst); status != dspStsNoErr) return status;
    addProductConstBody(pSrc, val, pSrcDst, len);
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMulC_32fc)(const Dsp32fc* pSrc, Dsp32fc val, Dsp32fc* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
    mulConstComplexKernel(pSrc, val, pDst, len);
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMulC_32f_I)(Dsp32f val, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
    if (val == 1.0f) return dspStsNoErr;
    if (val == 0.0f) return DSP_VARIANT(dspsZero_32f)(pSrcDst, len);
    mulConstInPlaceKernel(val, pSrcDst, len);
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsMulC_32f)(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
    if (val == 1.0f) return DSP_VARIANT(dspsCopy_32f)(pSrc, pDst, len);
    if (val == 0.0f) return DSP_VARIANT(dspsZero_32f)(pDst, len);
    mulConstKernel(pSrc, val, pDst, len);
    return dspStsNoErr;
}

// A division is a multiplication by the correctly rounded reciprocal, with
// the multiplication's shortcuts (1 copies, an infinite val zeroes).
DspStatus DSP_VARIANT(dspsDivC_32f)(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrc, pDst); status != dspStsNoErr) return status;
    if (val == 0.0f) return dspStsDivByZeroErr;
    return DSP_VARIANT(dspsMulC_32f)(pSrc, 1.0f / val, pDst, len);
}

DspStatus DSP_VARIANT(dspsDivC_32f_I)(Dsp32f val, Dsp32f* pSrcDst, int len) {
    if (const DspStatus status = checkVectorArgs(len, pSrcDst); status != dspStsNoErr) return status;
    return DSP_VARIANT(dspsDivC_32f)(pSrcDst, val, pSrcDst, len);
}

#include "simd_level_end.inc"
