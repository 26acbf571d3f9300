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

// Per-section floats of the biquad layouts.
constexpr std::size_t kBqTaps = 5, kBqQuads = 12, kBqRows = 20, kBqStepTaps = 8, kBqBlockTaps = 32;

// Delay floats a biquad state reserves: 4 per section ("II29"), or 2 per
// section and a 4-float scratch behind them ("II02").
constexpr std::size_t biquadDelayFloats(std::size_t sections) { return std::max(4 * sections, 2 * sections + 4); }
constexpr std::size_t biquadWorkFloats(std::size_t sections) {
    return std::max<std::size_t>(kIir32fBlockLength, kBqBlockTaps * sections);
}

// A section's caller taps b0, b1, b2, a0, a1, a2 may be set when a0 is not
// zero and, where a kernel divides by its leading numerator tap or the
// state keeps tables, b0 is not zero either.
bool biquadSectionRefused(const Dsp32f* in, bool b0MustBeNonZero) {
    return in[3] == 0.0f || (b0MustBeNonZero && in[0] == 0.0f);
}

// Normalised section taps: a float reciprocal for states with tables, a
// double one (products rounded to float) for the generic layout. A section
// with a0 == 1 keeps its taps bit for bit either way.
void normaliseSection(const Dsp32f* in, Dsp32f* out, bool single) {
    const int from[kBqTaps] = {0, 1, 2, 4, 5};
    if (single) {
        const Dsp32f inv = 1.0f / in[3];
        for (std::size_t i = 0; i < kBqTaps; ++i) out[i] = in[from[i]] * inv;
    } else {
        const Dsp64f inv = 1.0 / static_cast<Dsp64f>(in[3]);
        for (std::size_t i = 0; i < kBqTaps; ++i) out[i] = static_cast<Dsp32f>(in[from[i]] * inv);
    }
}

// The 32 block taps of a direct-form-I section from its normalised taps:
// row r, lane k is the weight of x[n-2], x[n-1], x[n], x[n+1], x[n+2],
// x[n+3], y[n-2], y[n-1] (rows 0..7) in y[n+k].
void buildBlockTaps(const Dsp32f* taps, Dsp32f* rows) {
    const Dsp32f B0 = taps[0], B1 = taps[1], B2 = taps[2];
    const Dsp32f A1 = 0.0f - taps[3], A2 = 0.0f - taps[4];
    const Dsp32f e1 = B2 * A1, e2 = A1 * e1 + B2 * A2;
    const Dsp32f m1 = B1 * A1 + B2, m2 = B1 * A2 + m1 * A1;
    const Dsp32f g1 = B0 * A1 + B1, g2 = (B0 * A2 + B2) + g1 * A1;
    const Dsp32f k1 = A2 * A1, k2 = A2 * A2 + A1 * k1;
    const Dsp32f c1 = A1 * A1 + A2, c2 = (A2 + c1) * A1;
    const Dsp32f block[kBqBlockTaps] = {
        B2, e1, e2, e1 * A2 + e2 * A1,  B1, m1, m2, m1 * A2 + m2 * A1,  B0, g1, g2, g1 * A2 + g2 * A1,
        0, B0, g1, g2,                  0, 0, B0, g1,                   0, 0, 0, B0,
        A2, k1, k2, k1 * A2 + k2 * A1,  A1, c1, c2, c1 * A2 + c2 * A1};
    std::copy(std::begin(block), std::end(block), rows);
}

// The "II02" tables of a section: numerator quads, the one-sample step taps
// and the five look-ahead rows of the order-2 recursion.
void buildTransposedTables(const Dsp32f* in, Dsp32f* quads, Dsp32f* step, Dsp32f* rows) {
    const Dsp32f inv = 1.0f / in[3];
    const Dsp32f b0 = in[0] * inv, b1 = in[1] * inv, b2 = in[2] * inv;
    const Dsp32f A1 = in[4] * (0.0f - inv), A2 = (0.0f - inv) * in[5];
    const Dsp32f P1 = A1 * A1 + A2, Q = (P1 + A2) * A1, R = P1 * A2 + A1 * Q;
    const Dsp32f S = A1 * A2, T = A2 * A2 + A1 * S, U = A2 * S + T * A1;
    const Dsp32f d = kRecursionDiagonal;
    for (int lane = 0; lane < 4; ++lane) {
        quads[lane] = b0;
        quads[4 + lane] = b1;
        quads[8 + lane] = b2;
    }
    const Dsp32f stepTaps[kBqStepTaps] = {b0, b1, b2, 0, A1, A2, 0, 0};
    const Dsp32f lookAhead[kBqRows] = {A1, P1, Q, R, A2, S, T, U, d, A1, P1, Q, 0, d, A1, P1, 0, 0, d, A1};
    std::copy(std::begin(stepTaps), std::end(stepTaps), step);
    std::copy(std::begin(lookAhead), std::end(lookAhead), rows);
}

// n3 and n4 run "II02" cascades through the direct-form-I block kernel.
constexpr bool kTransposedUsesBlockTaps = kLevel >= 3;

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

std::size_t iirGetStateSizeBiquad32f(int numBq) {
    const auto n = static_cast<std::size_t>(numBq);
    std::size_t size = kIir32fHeaderBytes + kBlockAlignmentSlack + roundUp16(sizeof(Dsp32f) * kBqTaps * n) +
                       roundUp16(sizeof(Dsp32f) * biquadDelayFloats(n));
    if constexpr (kHasTables) size += sizeof(Dsp32f) * ((kBqQuads + kBqRows + kBqStepTaps) * n + biquadWorkFloats(n));
    return size;
}

DspStatus iirInitBiquad32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int numBq, const Dsp32f* pDlyLine,
                           Dsp8u* pBuf, Dsp32u id) {
    const auto n = static_cast<std::size_t>(numBq);
    Dsp8u* base = pBuf + ((32 - addressOf(pBuf) % 32) % 32);
    auto* state = new (base) DspsIIRState_32f{};
    state->id = id;
    state->numBq = numBq;
    state->pTaps = reinterpret_cast<Dsp32f*>(base + kIir32fHeaderBytes);
    state->pDlyLine = reinterpret_cast<Dsp32f*>(base + kIir32fHeaderBytes + roundUp16(sizeof(Dsp32f) * kBqTaps * n));
    state->dlyLineLen = static_cast<Dsp32s>((id == kIirIdBiquadBlock32f ? 4 : 2) * n);
    std::fill(state->pDlyLine, state->pDlyLine + biquadDelayFloats(n), 0.0f);
    iirSetDlyLine32f(state, pDlyLine);
    if constexpr (kHasTables) {
        state->pTapsQuad = state->pDlyLine + roundUp16(sizeof(Dsp32f) * biquadDelayFloats(n)) / sizeof(Dsp32f);
        state->pRecursionQuads = state->pTapsQuad + kBqQuads * n;
        state->pBqStepTaps = state->pRecursionQuads + kBqRows * n;
        state->pWork = state->pBqStepTaps + kBqStepTaps * n;
    }
    const DspStatus status = id == kIirIdBiquadBlock32f ? iirSetTapsBiquadBlock32f(pTaps, state)
                                                        : iirSetTapsBiquad32f(pTaps, state);
    if (status == dspStsNoErr) *ppState = state;
    return status;
}

DspStatus iirInitAllocBiquad32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int numBq, const Dsp32f* pDlyLine,
                                Dsp32u id) {
    const std::size_t size = iirGetStateSizeBiquad32f(numBq);
    if (size > static_cast<std::size_t>(INT_MAX)) return dspStsMemAllocErr;
    Dsp8u* block = n0_dspsMalloc_8u(static_cast<int>(size));
    if (block == nullptr) return dspStsMemAllocErr;
    DspsIIRState_32f* state = nullptr;
    const DspStatus status = iirInitBiquad32f(&state, pTaps, numBq, pDlyLine, block, id);
    if (status < 0) {
        n0_dspsFree(block);
        return status;
    }
    state->isAllocated = 1;
    *ppState = state;
    return dspStsNoErr;
}

// "II02": every section is checked (a0 and b0 non-zero) before any is
// written, so refused taps change nothing.
DspStatus iirSetTapsBiquad32f(const Dsp32f* pTaps, DspsIIRState_32f* pState) {
    const auto n = static_cast<std::size_t>(pState->numBq);
    for (std::size_t s = 0; s < n; ++s)
        if (biquadSectionRefused(pTaps + 6 * s, true)) return dspStsDivByZeroErr;
    const bool tables = pState->pTapsQuad != nullptr;
    for (std::size_t s = 0; s < n; ++s) {
        const Dsp32f* in = pTaps + 6 * s;
        normaliseSection(in, pState->pTaps + kBqTaps * s, tables);
        if (!tables) continue;
        buildTransposedTables(in, pState->pTapsQuad + kBqQuads * s, pState->pBqStepTaps + kBqStepTaps * s,
                              pState->pRecursionQuads + kBqRows * s);
        if (kTransposedUsesBlockTaps) buildBlockTaps(pState->pTaps + kBqTaps * s, pState->pWork + kBqBlockTaps * s);
    }
    return dspStsNoErr;
}

// "II29": a0 non-zero, and b0 too where the state has block taps; checked
// for every section before any is written.
DspStatus iirSetTapsBiquadBlock32f(const Dsp32f* pTaps, DspsIIRState_32f* pState) {
    const auto n = static_cast<std::size_t>(pState->numBq);
    const bool tables = pState->pWork != nullptr;
    for (std::size_t s = 0; s < n; ++s)
        if (biquadSectionRefused(pTaps + 6 * s, tables)) return dspStsDivByZeroErr;
    for (std::size_t s = 0; s < n; ++s) {
        normaliseSection(pTaps + 6 * s, pState->pTaps + kBqTaps * s, tables);
        if (tables) buildBlockTaps(pState->pTaps + kBqTaps * s, pState->pWork + kBqBlockTaps * s);
    }
    return dspStsNoErr;
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

DspStatus DSP_VARIANT(dspsIIRGetStateSize_32f)(int order, int* pBufferSize) {
    if (pBufferSize == nullptr) return dspStsNullPtrErr;
    if (order < 1) return dspStsIIROrderErr;
    const std::size_t size = iirGetStateSize32f(order);
    if (size > static_cast<std::size_t>(INT_MAX)) return dspStsMemAllocErr;
    *pBufferSize = static_cast<int>(size);
    return dspStsNoErr;
}

// A failed creation leaves *ppState null, never a released or half-built
// state.
DspStatus DSP_VARIANT(dspsIIRInitAlloc_32f)(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order,
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

DspStatus DSP_VARIANT(dspsIIRInit_32f)(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order,
                                                  const Dsp32f* pDlyLine, Dsp8u* pBuf) {
    if (ppState == nullptr || pTaps == nullptr || pBuf == nullptr) return dspStsNullPtrErr;
    *ppState = nullptr;
    if (order < 1) return dspStsIIROrderErr;
    return iirInit32f(ppState, pTaps, order, pDlyLine, pBuf, kIirIdArbitrary32f);
}

DspStatus DSP_VARIANT(dspsIIRSetTaps_32f)(const Dsp32f* pTaps, DspsIIRState_32f* pState) {
    if (pState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    switch (pState->id) {
        case kIirIdArbitrary32f: return iirSetTaps32f(pTaps, pState);
        case kIirIdBiquad32f: return iirSetTapsBiquad32f(pTaps, pState);
        case kIirIdBiquadBlock32f: return iirSetTapsBiquadBlock32f(pTaps, pState);
        default: return dspStsContextMatchErr;
    }
}

DspStatus DSP_VARIANT(dspsIIRSetDlyLine_32f)(DspsIIRState_32f* pState, const Dsp32f* pDlyLine) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (!iirIs32fState(pState)) return dspStsContextMatchErr;
    iirSetDlyLine32f(pState, pDlyLine);
    return dspStsNoErr;
}

// Reading the delay line out and releasing have no processor-specific code:
// the slot list keeps n0's bodies for every processor.
DspStatus DSP_VARIANT(dspsIIRGetDlyLine_32f)(const DspsIIRState_32f* pState, Dsp32f* pDlyLine) {
    if (pState == nullptr || pDlyLine == nullptr) return dspStsNullPtrErr;
    if (!iirIs32fState(pState)) return dspStsContextMatchErr;
    std::memcpy(pDlyLine, pState->pDlyLine, sizeof(Dsp32f) * static_cast<std::size_t>(pState->dlyLineLen));
    return dspStsNoErr;
}

// The identity word stays: the released memory is no state any more.
DspStatus DSP_VARIANT(dspsIIRFree_32f)(DspsIIRState_32f* pState) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (!iirIs32fState(pState)) return dspStsContextMatchErr;
    if (pState->isAllocated != 0) n0_dspsFree(pState);
    return dspStsNoErr;
}

#include "simd_level_end.inc"
