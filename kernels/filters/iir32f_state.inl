// Float-tap IIR state, compiled once per processor level by
// iir32f_state.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

namespace {

// The SSE levels lay out the numerator quads, the recursion rows and a work
// area; the generic level keeps only the record, the taps and the delay line.
constexpr bool kHasTables = kLevel >= 1;
// The diagonal of the recursion's input rows: n3 and n4 add every work value
// in a lane of its own (0 here), n1 and n2 through the rows (1 here).
constexpr Dsp32f kRecursionDiagonal = kLevel >= 3 ? 0.0f : 1.0f;

constexpr std::size_t kBlockAlignmentSlack = 32;
// The SSE layout's size keeps this margin beyond its areas.
constexpr std::size_t kSseMarginBytes = 40;

constexpr std::size_t roundUp16(std::size_t bytes) { return (bytes + 15) & ~std::size_t{15}; }
constexpr std::size_t tapsAreaBytes(std::size_t order) { return roundUp16(sizeof(Dsp32f) * (2 * order + 1)); }
constexpr std::size_t delayAreaBytes(std::size_t order) { return roundUp16(sizeof(Dsp32f) * (order + 1)); }
constexpr std::size_t quadFloats(std::size_t order) { return 4 * (order + 1); }
constexpr std::size_t recursionFloats(std::size_t order) { return 4 * order + 12; }

// The normalised taps of an order-N state whose tables (if any) are built
// in single precision: one float reciprocal, then products.
void setArbitraryTapsSingle(const Dsp32f* in, DspsIIRState_32f* s, int order) {
    const Dsp32f inv = 1.0f / in[order + 1];
    Dsp32f* taps = s->pTaps;
    taps[0] = in[0] * inv;
    for (int i = 1; i <= order; ++i) {
        taps[i] = in[i] * inv;
        taps[order + i] = in[order + 1 + i] * inv;
    }
    for (int i = 0; i <= order; ++i)
        for (int lane = 0; lane < 4; ++lane) s->pTapsQuad[4 * i + lane] = in[i] * inv;

    // A(i): the negated normalised denominator, 0 beyond the order. Row j,
    // lane k: the weight of y[n-1-j] in y[n+k]; the trailing A(j+m) is added
    // only where it exists.
    const Dsp32f minusInv = 0.0f - inv;
    const auto A = [&](int i) { return i <= order ? in[order + 1 + i] * minusInv : 0.0f; };
    const Dsp32f a1 = A(1), a2 = A(2), a3 = A(3);
    Dsp32f* rows = s->pRecursionQuads;
    for (int j = 0; j < order; ++j) {
        Dsp32f* row = rows + 4 * j;
        row[0] = A(j + 1);
        row[1] = a1 * A(j + 1);
        if (j + 2 <= order) row[1] = row[1] + A(j + 2);
        row[2] = row[1] * a1 + a2 * row[0];
        if (j + 3 <= order) row[2] = row[2] + A(j + 3);
        row[3] = (row[2] * a1 + a2 * row[1]) + a3 * row[0];
        if (j + 4 <= order) row[3] = row[3] + A(j + 4);
    }
    // The weights of the block's first three work values: the impulse
    // response 1, h1, h2, h3 shifted, with the level's diagonal.
    const Dsp32f* first = rows;
    const Dsp32f d = kRecursionDiagonal;
    const Dsp32f inputRows[12] = {d, first[0], first[1], first[2], 0, d, first[0], first[1], 0, 0, d, first[0]};
    std::copy(std::begin(inputRows), std::end(inputRows), rows + 4 * order);
}

// The generic layout: a double reciprocal, each product rounded to float.
void setArbitraryTapsDouble(const Dsp32f* in, DspsIIRState_32f* s, int order) {
    const Dsp64f inv = 1.0 / static_cast<Dsp64f>(in[order + 1]);
    s->pTaps[0] = static_cast<Dsp32f>(in[0] * inv);
    for (int i = 1; i <= order; ++i) {
        s->pTaps[i] = static_cast<Dsp32f>(in[i] * inv);
        s->pTaps[order + i] = static_cast<Dsp32f>(in[order + 1 + i] * inv);
    }
}

}  // namespace

std::size_t iirGetStateSize32f(int order) {
    const auto n = static_cast<std::size_t>(order);
    std::size_t size = kIir32fHeaderBytes + kBlockAlignmentSlack + tapsAreaBytes(n) + delayAreaBytes(n);
    if constexpr (kHasTables)
        size += sizeof(Dsp32f) * (quadFloats(n) + recursionFloats(n) + kIir32fBlockLength) + kSseMarginBytes;
    return size;
}

void iirSetDlyLine32f(DspsIIRState_32f* pState, const Dsp32f* pDlyLine) {
    if (pDlyLine != nullptr) {
        DSP_VARIANT(dspsCopy_32f)(pDlyLine, pState->pDlyLine, pState->dlyLineLen);
    } else {
        DSP_VARIANT(dspsZero_32f)(pState->pDlyLine, pState->dlyLineLen);
    }
}

DspStatus iirInit32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine,
                     Dsp8u* pBuf, Dsp32u id) {
    const auto n = static_cast<std::size_t>(order);
    Dsp8u* base = pBuf + ((32 - addressOf(pBuf) % 32) % 32);
    auto* state = new (base) DspsIIRState_32f{};
    state->id = id;
    state->pTaps = reinterpret_cast<Dsp32f*>(base + kIir32fHeaderBytes);
    state->pDlyLine = reinterpret_cast<Dsp32f*>(base + kIir32fHeaderBytes + tapsAreaBytes(n));
    state->dlyLineLen = order;
    iirSetDlyLine32f(state, pDlyLine);
    state->pDlyLine[order] = 0.0f;  // the value beyond the last, read as zero by the one-sample step
    if constexpr (kHasTables) {
        state->pTapsQuad = reinterpret_cast<Dsp32f*>(base + kIir32fHeaderBytes + tapsAreaBytes(n) + delayAreaBytes(n));
        state->pRecursionQuads = state->pTapsQuad + quadFloats(n);
        state->pWork = state->pRecursionQuads + recursionFloats(n);
    }
    const DspStatus status = iirSetTaps32f(pTaps, state);
    if (status == dspStsNoErr) *ppState = state;
    return status;
}

// a0 == 0 is refused before anything is written.
DspStatus iirSetTaps32f(const Dsp32f* pTaps, DspsIIRState_32f* pState) {
    const int order = pState->dlyLineLen;
    if (pTaps[order + 1] == 0.0f) return dspStsDivByZeroErr;
    // The state's layout, not the level running, decides: a state without
    // tables keeps the generic normalisation.
    if (pState->pTapsQuad != nullptr) {
        setArbitraryTapsSingle(pTaps, pState, order);
    } else {
        setArbitraryTapsDouble(pTaps, pState, order);
    }
    return dspStsNoErr;
}

extern "C" DspStatus DSP_VARIANT(dspsIIRGetStateSize_32f)(int order, int* pBufferSize) {
    if (pBufferSize == nullptr) return dspStsNullPtrErr;
    if (order < 1) return dspStsIIROrderErr;
    const std::size_t size = iirGetStateSize32f(order);
    if (size > static_cast<std::size_t>(INT_MAX)) return dspStsMemAllocErr;
    *pBufferSize = static_cast<int>(size);
    return dspStsNoErr;
}

// A failed creation leaves *ppState null, never a released or half-built
// state.
extern "C" DspStatus DSP_VARIANT(dspsIIRInitAlloc_32f)(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order,
                                                       const Dsp32f* pDlyLine) {
    if (ppState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    *ppState = nullptr;
    if (order < 1) return dspStsIIROrderErr;
    const std::size_t size = iirGetStateSize32f(order);
    if (size > static_cast<std::size_t>(INT_MAX)) return dspStsMemAllocErr;
    Dsp8u* block = n0_dspsMalloc_8u(static_cast<int>(size));
    if (block == nullptr) return dspStsMemAllocErr;
    DspsIIRState_32f* state = nullptr;
    const DspStatus status = iirInit32f(&state, pTaps, order, pDlyLine, block, kIirIdArbitrary32f);
    if (status < 0) {
        n0_dspsFree(block);
        return status;
    }
    state->isAllocated = 1;
    *ppState = state;
    return dspStsNoErr;
}

extern "C" DspStatus DSP_VARIANT(dspsIIRInit_32f)(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order,
                                                  const Dsp32f* pDlyLine, Dsp8u* pBuf) {
    if (ppState == nullptr || pTaps == nullptr || pBuf == nullptr) return dspStsNullPtrErr;
    *ppState = nullptr;
    if (order < 1) return dspStsIIROrderErr;
    return iirInit32f(ppState, pTaps, order, pDlyLine, pBuf, kIirIdArbitrary32f);
}

extern "C" DspStatus DSP_VARIANT(dspsIIRSetTaps_32f)(const Dsp32f* pTaps, DspsIIRState_32f* pState) {
    if (pState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    if (pState->id != kIirIdArbitrary32f) return dspStsContextMatchErr;
    return iirSetTaps32f(pTaps, pState);
}

extern "C" DspStatus DSP_VARIANT(dspsIIRSetDlyLine_32f)(DspsIIRState_32f* pState, const Dsp32f* pDlyLine) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (!iirIs32fState(pState)) return dspStsContextMatchErr;
    iirSetDlyLine32f(pState, pDlyLine);
    return dspStsNoErr;
}

#include "simd_level_end.inc"
