// Multirate FIR set-up, compiled once per processor level by
// firmr_state.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

// Walks the phases of the groups: for the group whose first output lies at
// upsampled index target, the least column j of a tap row that meets an
// input sample, and the buffer index c of that sample (the sample at column
// j + i * upFactor has buffer index c + i).
class PhaseWalk {
public:
    PhaseWalk(std::int64_t tapsLen, std::int64_t up, std::int64_t upPhase) : up_(up) {
        t_ = (tapsLen - 1) % up + upPhase;
        if (t_ >= up) {
            t_ -= up;
            c_ = 0;
        }
    }
    // Advances to the group at target; returns its column j.
    std::int64_t advanceTo(std::int64_t target) {
        if (t_ < target) {
            const std::int64_t steps = (target - t_ + up_ - 1) / up_;
            t_ += steps * up_;
            c_ += steps;
        }
        return t_ - target;
    }
    std::int64_t bufferIndex() const { return c_; }

private:
    std::int64_t up_, t_, c_ = 1;
};

struct MrRequest {
    const Dsp32f* pTaps;
    int tapsLen, up, upPhase, down, downPhase;
    const Dsp32f* pDlyLine;
};

std::int64_t groupTarget(const MrRequest& r, std::int64_t group) { return 4 * group * r.down + r.downPhase; }

// The record fields both forms share; the taps reversed; the history.
DspsFIRState_32f* buildMrRecord(Dsp8u* block, const FirMrAreas& a, const FirMrShape& shape, const MrRequest& r,
                                int mode) {
    auto* s = new (block) DspsFIRState_32f{};
    s->id = kFirIdMultirate;
    s->pTapsRev = reinterpret_cast<Dsp32f*>(block + a.tapsRev);
    s->pDlyLine = reinterpret_cast<Dsp32f*>(block + a.dlyLine);
    s->tapsLen = r.tapsLen;
    s->upFactor = r.up;
    s->dlyFillLen = static_cast<int>(shape.fillLen);
    s->downFactor = r.down;
    s->dlyOutLen = static_cast<int>(shape.outLen);
    s->fftLen = -1;
    s->pPhaseTable = reinterpret_cast<Dsp32s*>(block + a.phaseTable);
    s->pTapsQuad = reinterpret_cast<Dsp32f*>(block + a.tapTable);
    s->windowLen = static_cast<int>(shape.windowLen);
    s->mrMode = mode;
    s->dlyLineLen = static_cast<int>(shape.pastInputs);
    s->pScratch = reinterpret_cast<Dsp32f*>(block + a.scratch);
    s->isAllocated = 1;
    s->upPhase = r.upPhase;
    s->downPhase = r.downPhase;
    s->builtByVariant = kLevel;
    for (int i = 0; i < r.tapsLen; ++i) s->pTapsRev[i] = r.pTaps[r.tapsLen - 1 - i];
    DSP_VARIANT(dspsZero_32f)(s->pDlyLine, static_cast<int>(shape.pastInputs + shape.fillLen + 1));
    if (r.pDlyLine != nullptr) firLoadDelayLine(s, r.pDlyLine);
    return s;
}

// Window form: row k of the tap table holds the reversed taps shifted by
// k * downFactor columns (output k lies that many upsampled indices after
// output 0); group p takes the quads of the columns that meet input samples.
void buildWindowTables(DspsFIRState_32f* s, const MrRequest& r, const FirMrShape& shape, Dsp32f* temp) {
    const std::int64_t rowLen = shape.rowLen;
    Dsp32f* rows = s->pTapsQuad;
    DSP_VARIANT(dspsZero_32f)(rows, static_cast<int>(4 * rowLen));
    for (std::int64_t k = 0; k < 4; ++k)
        DSP_VARIANT(dspsCopy_32f)(s->pTapsRev, rows + k * rowLen + k * r.down, r.tapsLen);
    for (std::int64_t i = 0; i < rowLen; ++i)
        for (std::int64_t k = 0; k < 4; ++k) temp[4 * i + k] = rows[k * rowLen + i];

    PhaseWalk walk(r.tapsLen, r.up, r.upPhase);
    std::int64_t start[2] = {0, 0};  // c of group 0 and of the group before
    Dsp32f* quad = s->pTapsQuad;
    for (std::int64_t p = 0; p < r.up; ++p) {
        const std::int64_t j = walk.advanceTo(groupTarget(r, p));
        const std::int64_t c = walk.bufferIndex();
        s->pPhaseTable[p] = static_cast<Dsp32s>(p == 0 ? c : c - start[1]);
        if (p == 0) start[0] = c;
        start[1] = c;
        for (std::int64_t col = j; col < rowLen; col += r.up, quad += 4)
            for (int k = 0; k < 4; ++k) quad[k] = temp[4 * col + k];
    }
    walk.advanceTo(groupTarget(r, r.up));
    s->pPhaseTable[r.up] = static_cast<Dsp32s>(walk.bufferIndex() - start[1] - start[0]);
}

// Compact form: each output (slot s = 4p + k) keeps the taps that meet input
// samples, in window order, and the buffer index of its first sample.
void buildCompactTables(DspsFIRState_32f* s, const MrRequest& r, const FirMrShape& shape, Dsp32s* temp) {
    const std::int64_t rowLen = shape.rowLen, past = shape.pastInputs, slotTaps = shape.slotTaps;
    const std::int64_t slots = 4 * std::int64_t{r.up};
    Dsp32s* table = s->pPhaseTable;
    Dsp32s* rows = temp;                // four rows of tap indices, -1 where no tap
    Dsp32s* lists = temp + 4 * rowLen;  // slot s's taps at (s % 4) * Q + (s / 4) * P
    DSP_VARIANT(dspsSet_32s)(-1, table, static_cast<int>(slots));
    DSP_VARIANT(dspsSet_32s)(-1, temp, static_cast<int>(8 * rowLen));
    for (std::int64_t k = 0; k < 4; ++k)
        for (std::int64_t i = 0; i < r.tapsLen; ++i) rows[k * rowLen + k * r.down + i] = static_cast<Dsp32s>(r.tapsLen - 1 - i);

    PhaseWalk walk(r.tapsLen, r.up, r.upPhase);
    std::int64_t first = 0;
    for (std::int64_t p = 0; p < r.up; ++p) {
        const std::int64_t j = walk.advanceTo(groupTarget(r, p));
        const std::int64_t c = walk.bufferIndex();
        if (p == 0) first = c;
        for (std::int64_t k = 0; k < 4; ++k) {
            std::int64_t n = 0;
            for (std::int64_t col = j; col < rowLen; col += r.up) {
                const Dsp32s index = rows[k * rowLen + col];
                if (index < 0) continue;
                if (n == 0) table[4 * p + k] = static_cast<Dsp32s>(c + (col - j) / r.up);
                lists[k * slotTaps + p * past + n++] = index;
            }
        }
    }
    walk.advanceTo(groupTarget(r, r.up));
    if (table[0] < 0) table[0] = static_cast<Dsp32s>(first);
    table[slots] = static_cast<Dsp32s>(walk.bufferIndex() - table[0]);
    // A slot no tap reaches keeps the previous start; its taps are zeros.
    for (std::int64_t i = 1; i < slots; ++i)
        if (table[i] < 0) table[i] = table[i - 1];

    // The generic kernels read the four slots of a group interleaved tap by
    // tap, the SSE kernels each slot's P taps in a row.
    Dsp32s* order = rows;
    for (std::int64_t i = 0; i < slotTaps; ++i)
        for (std::int64_t k = 0; k < 4; ++k) {
            const Dsp32s index = lists[k * slotTaps + i];
            const std::int64_t at = kLevel == 0 ? 4 * i + k : ((i / past) * 4 + k) * past + i % past;
            order[at] = index;
        }
    for (std::int64_t i = 0; i < 4 * slotTaps; ++i) s->pTapsQuad[i] = order[i] >= 0 ? r.pTaps[order[i]] : 0.0f;
}

constexpr std::int64_t kMrIntMax = 0x7FFFFFFF;

// Builds the form's state, or returns null with dspStsMemAllocErr when its
// block or temporary area cannot be had (or would not fit the int sizes).
DspsFIRState_32f* buildMultirate(const MrRequest& r, bool compact, DspStatus* pStatus) {
    const FirMrShape shape = firMrShape(r.tapsLen, r.up, r.down, compact);
    const FirMrAreas areas = firMrAreas(r.tapsLen, r.up, compact, shape);
    const std::int64_t tempLen = (compact ? 8 : 4) * shape.rowLen;
    const bool fits = areas.end <= kMrIntMax && tempLen <= kMrIntMax / 4 && shape.outLen <= kMrIntMax;
    Dsp8u* block = fits ? n0_dspsMalloc_8u(static_cast<int>(areas.end)) : nullptr;
    Dsp32f* temp = fits ? n0_dspsMalloc_32f(static_cast<int>(tempLen)) : nullptr;
    if (block == nullptr || temp == nullptr) {
        n0_dspsFree(block);
        n0_dspsFree(temp);
        *pStatus = dspStsMemAllocErr;
        return nullptr;
    }
    const int mode = !compact ? kFirMrModeWindow : r.up == 1 ? kFirMrModeDecimate : kFirMrModeCompact;
    DspsFIRState_32f* s = buildMrRecord(block, areas, shape, r, mode);
    if (compact)
        buildCompactTables(s, r, shape, reinterpret_cast<Dsp32s*>(temp));
    else
        buildWindowTables(s, r, shape, temp);
    n0_dspsFree(temp);
    *pStatus = dspStsNoErr;
    return s;
}

DspStatus DSP_VARIANT(dspsFIRMRInitAlloc_32f)(DspsFIRState_32f** ppState, const Dsp32f* pTaps,
                                                         int tapsLen, int upFactor, int upPhase, int downFactor,
                                                         int downPhase, const Dsp32f* pDlyLine) {
    if (ppState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    if (tapsLen < 1) return dspStsFIRLenErr;
    if (upFactor < 1 || downFactor < 1) return dspStsFIRMRFactorErr;
    if (upPhase < 0 || upPhase >= upFactor || downPhase < 0 || downPhase >= downFactor) return dspStsFIRMRPhaseErr;
    if (upFactor == 1 && downFactor == 1) return DSP_VARIANT(dspsFIRInitAlloc_32f)(ppState, pTaps, tapsLen, pDlyLine);
    const MrRequest request{pTaps, tapsLen, upFactor, upPhase, downFactor, downPhase, pDlyLine};
    DspStatus status = dspStsNoErr;
    *ppState = buildMultirate(request, firMrChoosesCompact(tapsLen, upFactor, downFactor), &status);
    return status;
}

#include "simd_level_end.inc"
