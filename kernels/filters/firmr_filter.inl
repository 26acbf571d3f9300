// Multirate FIR filtering, compiled once per processor level by
// firmr_filter.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

// ---- Where each output's taps meet the input -----------------------------------
//
// Positions count samples of a run: with the staged delay buffer, position b
// is input b - P (P = dlyLineLen, the history); with the caller's input,
// position b is input b. A period is 4 * upFactor outputs (slot s = 4 * group
// + lane) from 4 * downFactor inputs; every run starts at slot 0.

inline std::int64_t floorMod(std::int64_t a, std::int64_t m) {
    const std::int64_t r = a % m;
    return r < 0 ? r + m : r;
}

// The shape of a state, read once per call.
struct MrForm {
    const DspsFIRState_32f* s;
    std::int64_t up, down, tapsLen, past, windowLen;
    std::int64_t slots;         // outputs per period, 4 * upFactor
    std::int64_t periodInputs;  // 4 * downFactor
    // Column of a tap row met by group 0's first sample is this minus the
    // group's upsampled index, modulo upFactor.
    std::int64_t columnBase;
};

inline MrForm mrFormOf(const DspsFIRState_32f* s) {
    MrForm f{};
    f.s = s;
    f.up = s->upFactor;
    f.down = s->downFactor;
    f.tapsLen = s->tapsLen;
    f.past = s->dlyLineLen;
    f.windowLen = s->windowLen;
    f.slots = 4 * f.up;
    f.periodInputs = 4 * f.down;
    f.columnBase = floorMod((f.tapsLen - 1) % f.up + s->upPhase, f.up);
    return f;
}

// One output slot: its window starts start samples after the period's base,
// and taps[n * tapStride] multiplies window sample n, for n < count (its own
// taps only; count 0 for an output no tap reaches).
struct MrSlot {
    std::int64_t start;
    const Dsp32f* taps;
    std::int64_t tapStride;
    std::int64_t count;
};

// Window form, group p: the group window starts offset samples after the
// period's base; lane k holds taps on window vectors lo[k] .. hi[k] (row k
// holds the reversed taps at columns k * downFactor .. + tapsLen - 1, and
// vector i meets column j + i * upFactor).
struct MrGroup {
    std::int64_t offset;
    const Dsp32f* taps;  // the group's windowLen quads
    std::int64_t lo[4], hi[4];
};

inline MrGroup windowGroup(const MrForm& f, std::int64_t p, std::int64_t offset) {
    MrGroup g{};
    g.offset = offset;
    g.taps = f.s->pTapsQuad + 4 * f.windowLen * p;
    const std::int64_t j = floorMod(f.columnBase - 4 * p * f.down - f.s->downPhase, f.up);
    for (std::int64_t k = 0; k < 4; ++k) {
        const std::int64_t first = k * f.down - j, last = first + f.tapsLen - 1;  // both in columns from j
        g.lo[k] = first > 0 ? (first + f.up - 1) / f.up : 0;
        g.hi[k] = last >= 0 ? last / f.up : -1;
        if (g.hi[k] >= f.windowLen) g.hi[k] = f.windowLen - 1;
    }
    return g;
}

// Calls fn(slot index, MrSlot) for the slots of a period in order.
template <typename Fn>
void forEachSlot(const MrForm& f, Fn&& fn) {
    const Dsp32s* table = f.s->pPhaseTable;
    if (f.s->mrMode == kFirMrModeWindow) {
        std::int64_t offset = 0;
        for (std::int64_t p = 0; p < f.up; ++p) {
            offset += table[p];
            const MrGroup g = windowGroup(f, p, offset);
            for (std::int64_t k = 0; k < 4; ++k) {
                const std::int64_t count = g.hi[k] >= g.lo[k] ? g.hi[k] - g.lo[k] + 1 : 0;
                fn(4 * p + k, MrSlot{offset + g.lo[k], g.taps + 4 * g.lo[k] + k, 4, count});
            }
        }
        return;
    }
    // Compact form: output s meets the taps h[i] with i = r, r + up, ...
    // (r below), its window in the order of increasing sample, so its taps
    // lead its row and zeros pad it to P.
    for (std::int64_t slot = 0; slot < f.slots; ++slot) {
        const std::int64_t r = floorMod(slot * f.down + f.s->downPhase - f.s->upPhase, f.up);
        const std::int64_t count = r < f.tapsLen ? (f.tapsLen - 1 - r) / f.up + 1 : 0;
        // The generic layout interleaves the four slots of a group tap by
        // tap; the SSE layout keeps each slot's P taps in a row.
        const Dsp32f* taps = kLevel == 0 ? f.s->pTapsQuad + 4 * (slot / 4) * f.past + slot % 4
                                         : f.s->pTapsQuad + slot * f.past;
        fn(slot, MrSlot{table[slot], taps, kLevel == 0 ? 4 : 1, count});
    }
}

// One output in double, oldest sample first, rounded once; window points at
// the slot's first sample (and is not formed for a slot without taps).
inline float slotOutput(const MrSlot& slot, const Dsp32f* pX, std::int64_t base) {
    if (slot.count == 0) return 0.0f;
    const Dsp32f* window = pX + base + slot.start;
    double sum = 0.0;
    for (std::int64_t n = 0; n < slot.count; ++n)
        sum += static_cast<double>(slot.taps[n * slot.tapStride]) * dspLoad<float>(window + n);
    return static_cast<float>(sum);
}

// nOut outputs from slot 0 of the period at base position pos, one at a time.
void outputsOneByOne(const MrForm& f, const Dsp32f* pX, Dsp32f* pY, std::int64_t nOut, std::int64_t pos) {
    forEachSlot(f, [&](std::int64_t slot, const MrSlot& plan) {
        for (std::int64_t o = slot, base = pos; o < nOut; o += f.slots, base += f.periodInputs)
            dspStore(pY + o, slotOutput(plan, pX, base));
    });
}

#if DSP_LEVEL >= 1

inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }

// ---- Window form: the four outputs of a group at once ---------------------------
//
// Each window sample is broadcast and multiplied by the group's quad for it.
// Vectors where every lane holds a tap run in blocks of four,
// acc + ((p0 + p1) + (p2 + p3)); vectors at the ends of the window, where some
// lanes have no tap, have those lanes' products masked to zero, so a sample
// outside an output's taps never reaches it.

struct GroupPlan {
    MrGroup g;
    std::int64_t plainBegin, plainEnd, end;  // vectors [0, plainBegin) and [plainEnd, end) are masked
    __m128i loBelow, hiAbove;                // lo - 1 and hi + 1 per lane
};

inline GroupPlan groupPlan(const MrGroup& g) {
    GroupPlan plan{};
    plan.g = g;
    plan.end = g.hi[3] + 1 > 0 ? g.hi[3] + 1 : 0;
    const std::int64_t allFrom = g.lo[3] < plan.end ? g.lo[3] : plan.end;
    const std::int64_t allTo = g.hi[0] + 1;
    plan.plainBegin = allFrom;
    plan.plainEnd = allTo > allFrom ? allTo : allFrom;
    plan.loBelow = _mm_setr_epi32(static_cast<int>(g.lo[0] - 1), static_cast<int>(g.lo[1] - 1),
                                  static_cast<int>(g.lo[2] - 1), static_cast<int>(g.lo[3] - 1));
    plan.hiAbove = _mm_setr_epi32(static_cast<int>(g.hi[0] + 1), static_cast<int>(g.hi[1] + 1),
                                  static_cast<int>(g.hi[2] + 1), static_cast<int>(g.hi[3] + 1));
    return plan;
}

inline __m128 product(const GroupPlan& plan, const Dsp32f* window, std::int64_t i) {
    return mul(_mm_set1_ps(dspLoad<float>(window + i)), _mm_load_ps(plan.g.taps + 4 * i));
}

inline __m128 maskedProduct(const GroupPlan& plan, const Dsp32f* window, std::int64_t i) {
    const __m128i at = _mm_set1_epi32(static_cast<int>(i));
    const __m128i lanes = _mm_and_si128(_mm_cmpgt_epi32(at, plan.loBelow), _mm_cmplt_epi32(at, plan.hiAbove));
    return _mm_and_ps(product(plan, window, i), _mm_castsi128_ps(lanes));
}

inline __m128 groupSums(const GroupPlan& plan, const Dsp32f* window) {
    __m128 acc = _mm_setzero_ps();
    std::int64_t i = 0;
    for (; i < plan.plainBegin; ++i) acc = add(acc, maskedProduct(plan, window, i));
    for (; plan.plainEnd - i >= 4; i += 4) {
        const __m128 p01 = add(product(plan, window, i), product(plan, window, i + 1));
        const __m128 p23 = add(product(plan, window, i + 2), product(plan, window, i + 3));
        acc = add(acc, add(p01, p23));
    }
    for (; i < plan.plainEnd; ++i) acc = add(acc, product(plan, window, i));
    for (; i < plan.end; ++i) acc = add(acc, maskedProduct(plan, window, i));
    return acc;
}

// Whole periods, group by group (a group's plan serves every period).
void windowKernel(const MrForm& f, const Dsp32f* pX, Dsp32f* pY, std::int64_t periods, std::int64_t pos) {
    std::int64_t offset = 0;
    for (std::int64_t p = 0; p < f.up; ++p) {
        offset += f.s->pPhaseTable[p];
        const GroupPlan plan = groupPlan(windowGroup(f, p, offset));
        for (std::int64_t c = 0; c < periods; ++c)
            _mm_storeu_ps(pY + c * f.slots + 4 * p, groupSums(plan, pX + pos + c * f.periodInputs + offset));
    }
}

// ---- Compact forms: each output its own window and taps -------------------------
//
// Four or more taps: four lanes take the taps by their place in a block of
// four (the one to three left over go to lanes 0 and 1, then lane 0), and the
// output is (lane 0 + lane 2) + (lane 1 + lane 3). Fewer taps: the sum in
// double, as one output at a time. The same slot of four periods runs at once.

template <int kOutputs>
void slotDots(const MrSlot& slot, const Dsp32f* (&window)[kOutputs], Dsp32f* (&out)[kOutputs]) {
    const Dsp32f* taps = slot.taps;
    __m128 acc[kOutputs];
    for (int o = 0; o < kOutputs; ++o) acc[o] = mul(_mm_loadu_ps(window[o]), _mm_loadu_ps(taps));
    std::int64_t n = 4;
    for (; slot.count - n >= 4; n += 4) {
        const __m128 t = _mm_loadu_ps(taps + n);
        for (int o = 0; o < kOutputs; ++o) acc[o] = add(acc[o], mul(_mm_loadu_ps(window[o] + n), t));
    }
    if (slot.count - n >= 2) {
        const __m128 t = _mm_setr_ps(taps[n], taps[n + 1], 0.0f, 0.0f);
        for (int o = 0; o < kOutputs; ++o)
            acc[o] = add(acc[o], mul(_mm_setr_ps(dspLoad<float>(window[o] + n), dspLoad<float>(window[o] + n + 1),
                                                 0.0f, 0.0f),
                                     t));
        n += 2;
    }
    if (slot.count - n == 1) {
        const __m128 t = _mm_set_ss(taps[n]);
        for (int o = 0; o < kOutputs; ++o) acc[o] = _mm_add_ss(acc[o], _mm_mul_ss(_mm_set_ss(dspLoad<float>(window[o] + n)), t));
    }
    for (int o = 0; o < kOutputs; ++o) {
        // (l0 + l2) + (l1 + l3)
        const __m128 pairs = add(acc[o], _mm_movehl_ps(acc[o], acc[o]));
        dspStore(out[o], _mm_cvtss_f32(add(pairs, _mm_shuffle_ps(pairs, pairs, 1))));
    }
}

void compactKernel(const MrForm& f, const Dsp32f* pX, Dsp32f* pY, std::int64_t periods, std::int64_t pos) {
    forEachSlot(f, [&](std::int64_t s, const MrSlot& slot) {
        const auto windowOf = [&](std::int64_t c) { return pX + pos + c * f.periodInputs + slot.start; };
        std::int64_t c = 0;
        if (slot.count >= 4) {
            for (; periods - c >= 4; c += 4) {
                const Dsp32f* window[4] = {windowOf(c), windowOf(c + 1), windowOf(c + 2), windowOf(c + 3)};
                Dsp32f* out[4] = {pY + c * f.slots + s, pY + (c + 1) * f.slots + s, pY + (c + 2) * f.slots + s,
                                  pY + (c + 3) * f.slots + s};
                slotDots<4>(slot, window, out);
            }
            for (; c < periods; ++c) {
                const Dsp32f* window[1] = {windowOf(c)};
                Dsp32f* out[1] = {pY + c * f.slots + s};
                slotDots<1>(slot, window, out);
            }
            return;
        }
        for (; c < periods; ++c) dspStore(pY + c * f.slots + s, slotOutput(slot, pX, pos + c * f.periodInputs));
    });
}

#endif

// Whole periods from base position pos; returns the base after them. The
// generic variant computes every output one at a time.
std::int64_t wholePeriods(const MrForm& f, const Dsp32f* pX, Dsp32f* pY, std::int64_t periods, std::int64_t pos) {
#if DSP_LEVEL == 0
    outputsOneByOne(f, pX, pY, periods * f.slots, pos);
#else
    if (f.s->mrMode == kFirMrModeWindow)
        windowKernel(f, pX, pY, periods, pos);
    else
        compactKernel(f, pX, pY, periods, pos);
#endif
    return pos + periods * f.periodInputs;
}

// ---- The driver ---------------------------------------------------------------
//
// A call whose inputs all fit behind the history (at most dlyFillLen) runs
// wholly on the delay buffer. A longer one stages dlyFillLen inputs, takes
// dlyOutLen outputs from the buffer, and the rest straight from the caller's
// input; its last P inputs become the new history once the buffer is read.
DspStatus firMultirateFilter32f(DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, std::int64_t numIters) {
    if (s->mrMode != kFirMrModeWindow && s->mrMode != kFirMrModeDecimate && s->mrMode != kFirMrModeCompact)
        return dspStsContextMatchErr;
    const MrForm f = mrFormOf(s);
    const std::int64_t inputs = f.down * numIters, outputs = f.up * numIters;
    const int past = s->dlyLineLen;
    Dsp32f* dly = s->pDlyLine;
    if (inputs <= s->dlyFillLen) {
        DSP_VARIANT(dspsCopy_32f)(pSrc, dly + past, static_cast<int>(inputs));
        const std::int64_t periods = outputs / f.slots;
        const std::int64_t pos = wholePeriods(f, dly, pDst, periods, 0);
        outputsOneByOne(f, dly, pDst + periods * f.slots, outputs - periods * f.slots, pos);
        DSP_VARIANT(dspsMove_32f)(dly + inputs, dly, past);
        return dspStsNoErr;
    }
    DSP_VARIANT(dspsCopy_32f)(pSrc, dly + past, s->dlyFillLen);
    const std::int64_t staged = s->dlyOutLen;
    // From here on positions count from the caller's input.
    std::int64_t pos = wholePeriods(f, dly, pDst, staged / f.slots, 0) - past;
    DSP_VARIANT(dspsCopy_32f)(pSrc + inputs - past, dly, past);
    const std::int64_t rest = outputs - staged, periods = rest / f.slots;
    pos = wholePeriods(f, pSrc, pDst + staged, periods, pos);
    outputsOneByOne(f, pSrc, pDst + staged + periods * f.slots, rest - periods * f.slots, pos);
    return dspStsNoErr;
}

#include "simd_level_end.inc"
