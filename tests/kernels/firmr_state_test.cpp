// Multirate FIR set-up: the checks, the choice of form, the worked examples
// of both forms (sizes, staging lengths, phase tables, tap layouts), and the
// tables of every form and layout evaluated against brute-force resampling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp.h"
#include "dsp_memory.h"
#include "filters/fir_state.h"
#include "firmr_reference.h"
#include "variants.h"

namespace {

std::vector<Dsp32s> phaseTableOf(const DspsFIRState_32f* s) {
    const int entries = s->mrMode == kFirMrModeWindow ? s->upFactor + 1 : 4 * s->upFactor + 1;
    return std::vector<Dsp32s>(s->pPhaseTable, s->pPhaseTable + entries);
}

// Bytes the set-up asked for first (its state block).
struct FirstRequest {
    static inline std::size_t bytes = 0;
    static void* allocate(std::size_t n) {
        if (bytes == 0) bytes = n - kDspBlockOverhead;
        return std::malloc(n);
    }
};

class FirMrStateTest : public testing::TestWithParam<int> {};

// The worked examples; block sizes are the parts after the header and the
// scratch, which every block adds.
TEST_P(FirMrStateTest, WorkedExamples) {
    ScopedVariant forced(GetParam());
    const struct {
        MrArgs args;
        int mode, pastInputs, windowLen, fillLen, outLen;
        std::int64_t partBytes;  // 0: not checked
        std::vector<Dsp32s> phases;
    } cases[] = {
        {{6, 1, 0, 2, 0}, 2, 6, -1, 11, 4, 32 + 192 + 32 + 80, {1, 3, 5, 7, 8}},
        {{7, 1, 0, 2, 1}, 1, 7, 13, 17, 4, 0, {2, 6}},
        {{12, 3, 0, 4, 0}, 1, 4, 8, 29, 12, 0, {1, 5, 5, 5}},
        {{32, 2, 0, 3, 0}, 1, 16, 21, 31, 16, 128 + 672 + 16 + 192, {1, 6, 5}},
        {{32, 2, 1, 3, 2}, 1, 16, 21, 31, 16, 128 + 672 + 16 + 192, {1, 6, 5}},
        {{5, 3, 1, 4, 0}, 3, 2, -1, 29, 12, 0, {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, 16}},
        {{2, 4, 0, 3, 0}, 3, 1, -1, 22, 16, 0, {1, 1, 1, 3, 4, 4, 4, 6, 7, 7, 7, 9, 10, 10, 10, 12, 12}},
        {{1, 3, 2, 5, 4}, 3, 1, -1, 36, 12, 0, {2, 2, 5, 5, 5, 10, 10, 10, 15, 15, 15, 20, 20}},
    };
    for (const auto& c : cases) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(c.args.tapsLen), 1);
        const DspMemHooks saved = dspMemHooks;
        FirstRequest::bytes = 0;
        dspMemHooks.allocate = FirstRequest::allocate;
        FirStatePtr s = makeMrState(taps, c.args);
        dspMemHooks = saved;
        ASSERT_TRUE(s);
        SCOPED_TRACE(testing::Message() << c.args.tapsLen << " taps, up " << c.args.up << ", down " << c.args.down);
        EXPECT_EQ(s->id, kFirIdMultirate);
        EXPECT_EQ(s->mrMode, c.mode);
        EXPECT_EQ(s->dlyLineLen, c.pastInputs);
        if (c.windowLen > 0) {
            EXPECT_EQ(s->windowLen, c.windowLen);
        }
        EXPECT_EQ(s->dlyFillLen, c.fillLen);
        EXPECT_EQ(s->dlyOutLen, c.outLen);
        EXPECT_EQ(s->fftLen, -1);
        EXPECT_EQ(s->isAllocated, 1);
        EXPECT_EQ(s->upPhase, c.args.upPhase);
        EXPECT_EQ(s->downPhase, c.args.downPhase);
        EXPECT_EQ(phaseTableOf(s.get()), c.phases);
        if (c.partBytes > 0) {
            EXPECT_EQ(static_cast<std::int64_t>(FirstRequest::bytes), kFirHeaderBytes + 16384 + c.partBytes);
        }
    }
}

TEST_P(FirMrStateTest, CompactTapsInTheLayoutOfTheVariantsKernels) {
    ScopedVariant forced(GetParam());
    // 6 taps, up 1, down 2: every slot's six taps are h[5] .. h[0].
    const std::vector<float> six{10, 11, 12, 13, 14, 15};
    FirStatePtr decimate = makeMrState(six, {6, 1, 0, 2, 0});
    ASSERT_TRUE(decimate);
    for (int slot = 0; slot < 4; ++slot)
        for (int n = 0; n < 6; ++n) {
            const int at = GetParam() == 0 ? 4 * n + slot : 6 * slot + n;
            EXPECT_EQ(decimate->pTapsQuad[at], six[static_cast<std::size_t>(5 - n)]) << "slot " << slot << ", tap " << n;
        }
    // 5 taps, up 3 (phase 1), down 4: slots 0, 1, 2 take (h2, 0), (h3, h0), (h4, h1), and so on.
    const std::vector<float> h{1, 2, 3, 4, 5};
    FirStatePtr compact = makeMrState(h, {5, 3, 1, 4, 0});
    ASSERT_TRUE(compact);
    const std::vector<float> expected = GetParam() == 0 ? std::vector<float>{3, 4, 5, 3, 0, 1, 2, 0}
                                                        : std::vector<float>{3, 0, 4, 1, 5, 2, 3, 0};
    EXPECT_EQ(std::vector<float>(compact->pTapsQuad, compact->pTapsQuad + 8), expected);
}

TEST_P(FirMrStateTest, FormFollowsTheTapsToDownFactorRatio) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps = randomSignal(300, 2);
    const struct {
        MrArgs args;
        int mode;
    } cases[] = {{{12, 1, 0, 4, 0}, 2}, {{13, 1, 0, 4, 0}, 1}, {{8, 2, 0, 7, 0}, 3}, {{10, 2, 0, 7, 0}, 1}};
    for (const auto& c : cases) EXPECT_EQ(makeMrState(taps, c.args)->mrMode, c.mode) << c.args.tapsLen;
    // The resampler's pairs and prototype lengths all take the window form.
    for (const auto& [up, down] : std::vector<std::pair<int, int>>{{2, 3}, {3, 2}, {1, 2}, {2, 1}, {1, 3}, {3, 1},
                                                                    {1, 4}, {4, 1}, {1, 6}, {6, 1}})
        for (int tapsLen : {85, 127, 169, 251}) EXPECT_EQ(makeMrState(taps, {tapsLen, up, 0, down, 0})->mrMode, 1);
    // Factors 1 and 1: a single-rate state.
    EXPECT_EQ(makeMrState(taps, {64, 1, 0, 1, 0})->id, kFirIdSingleRate);
}

TEST_P(FirMrStateTest, ChecksComeInOrder) {
    ScopedVariant forced(GetParam());
    const float taps[4] = {1, 2, 3, 4};
    auto* untouched = reinterpret_cast<DspsFIRState_32f*>(0x10);
    DspsFIRState_32f* s = untouched;
    const struct {
        const char* what;
        DspStatus got, expected;
    } cases[] = {
        {"null state", dspsFIRMRInitAlloc_32f(nullptr, taps, 0, 0, 5, 0, 5, nullptr), dspStsNullPtrErr},
        {"null taps", dspsFIRMRInitAlloc_32f(&s, nullptr, 0, 0, 5, 0, 5, nullptr), dspStsNullPtrErr},
        {"no taps before factors", dspsFIRMRInitAlloc_32f(&s, taps, 0, 0, 5, 0, 5, nullptr), dspStsFIRLenErr},
        {"up factor 0 before phases", dspsFIRMRInitAlloc_32f(&s, taps, 4, 0, 5, 2, 5, nullptr), dspStsFIRMRFactorErr},
        {"down factor 0", dspsFIRMRInitAlloc_32f(&s, taps, 4, 2, 0, 0, 0, nullptr), dspStsFIRMRFactorErr},
        {"up phase = up factor", dspsFIRMRInitAlloc_32f(&s, taps, 4, 2, 2, 3, 0, nullptr), dspStsFIRMRPhaseErr},
        {"down phase = down factor", dspsFIRMRInitAlloc_32f(&s, taps, 4, 2, 0, 3, 3, nullptr), dspStsFIRMRPhaseErr},
        {"negative phase", dspsFIRMRInitAlloc_32f(&s, taps, 4, 2, -1, 3, 0, nullptr), dspStsFIRMRPhaseErr},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
    EXPECT_EQ(s, untouched);
}

// Sizes past the int range, and a failed allocation, leave a null state.
TEST_P(FirMrStateTest, RefusedOrFailedBlocksLeaveANullState) {
    ScopedVariant forced(GetParam());
    const float taps[4] = {1, 2, 3, 4};
    DspsFIRState_32f* s = reinterpret_cast<DspsFIRState_32f*>(0x10);
    EXPECT_EQ(dspsFIRMRInitAlloc_32f(&s, taps, 4, 1, 0, 1'000'000'000, 0, nullptr), dspStsMemAllocErr);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(dspsFIRMRInitAlloc_32f(&s, taps, 2'000'000'000, 3, 0, 2, 0, nullptr), dspStsMemAllocErr);
    EXPECT_EQ(s, nullptr);
    const DspMemHooks saved = dspMemHooks;
    dspMemHooks.allocate = [](std::size_t) -> void* { return nullptr; };
    s = reinterpret_cast<DspsFIRState_32f*>(0x10);
    const DspStatus status = dspsFIRMRInitAlloc_32f(&s, taps, 4, 2, 0, 3, 0, nullptr);
    dspMemHooks = saved;
    EXPECT_EQ(status, dspStsMemAllocErr);
    EXPECT_EQ(s, nullptr);
}

// Output n from the state's tables, the way the kernels read them: e is the
// stored history followed by the input.
double fromTables(const DspsFIRState_32f* s, const std::vector<float>& e, long long n, int variant) {
    const long long up = s->upFactor, slots = 4 * up;
    const long long cycle = n / slots, slot = n % slots, group = slot / 4, lane = slot % 4;
    const std::vector<Dsp32s> t = phaseTableOf(s);
    const auto sample = [&](long long at) -> double {
        EXPECT_GE(at, 0);
        return at < static_cast<long long>(e.size()) ? e[static_cast<std::size_t>(at)] : 0.0;
    };
    double sum = 0.0;
    if (s->mrMode == kFirMrModeWindow) {
        long long start = 0;
        for (long long g = 0; g <= group; ++g) start += t[static_cast<std::size_t>(g)];
        long long advance = 0;
        for (long long g = 0; g <= up; ++g) advance += t[static_cast<std::size_t>(g)];
        start += cycle * advance;
        for (long long j = 0; j < s->windowLen; ++j)
            sum += static_cast<double>(s->pTapsQuad[(group * s->windowLen + j) * 4 + lane]) * sample(start + j);
    } else {
        const long long past = s->dlyLineLen;
        const long long start = t[static_cast<std::size_t>(slot)] + cycle * t[static_cast<std::size_t>(slots)];
        for (long long j = 0; j < past; ++j) {
            const long long at = variant == 0 ? 4 * (group * past + j) + lane : slot * past + j;
            sum += static_cast<double>(s->pTapsQuad[at]) * sample(start + j);
        }
    }
    return sum;
}

// Every form and layout, every phase, short and long filters: the tables
// give the resampled signal.
TEST_P(FirMrStateTest, TablesGiveTheResampledSignal) {
    ScopedVariant forced(GetParam());
    const std::vector<std::pair<int, int>> pairs{{2, 3}, {3, 2}, {1, 4}, {4, 1}, {6, 1}, {1, 2}, {2, 7}, {4, 3}, {3, 4}};
    int compactStates = 0, windowStates = 0;
    for (const auto& [up, down] : pairs)
        for (int upPhase = 0; upPhase < up; ++upPhase)
            for (int downPhase = 0; downPhase < down; ++downPhase)
                for (int tapsLen : {1, 2, 3, 5, 8, 13, 21, 40, 85, 251}) {
                    const MrArgs a{tapsLen, up, upPhase, down, downPhase};
                    const std::vector<float> h = randomSignal(static_cast<std::size_t>(tapsLen), 3u + tapsLen);
                    const std::vector<float> history = randomSignal(static_cast<std::size_t>((tapsLen + up - 1) / up), 4);
                    FirStatePtr s = makeMrState(h, a, history.data());
                    ASSERT_TRUE(s);
                    (s->mrMode == kFirMrModeWindow ? windowStates : compactStates)++;
                    const int iterations = 3 * 4 * up + 5;
                    const std::vector<float> x = randomSignal(static_cast<std::size_t>(iterations * down), 5);
                    std::vector<float> e(s->pDlyLine, s->pDlyLine + s->dlyLineLen);
                    e.insert(e.end(), x.begin(), x.end());
                    const FirReference want = mrReference(h, a, x, history);
                    for (long long n = 0; n < static_cast<long long>(iterations) * up; ++n) {
                        ASSERT_NEAR(fromTables(s.get(), e, n, GetParam()), want.out[static_cast<std::size_t>(n)],
                                    1e-5)
                            << tapsLen << " taps, " << up << "/" << down << ", phases " << upPhase << "/"
                            << downPhase << ", output " << n;
                    }
                }
    EXPECT_GT(compactStates, 50);
    EXPECT_GT(windowStates, 50);
}

TEST_P(FirMrStateTest, DelayLineIsTheLastInputsOldestFirst) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps = randomSignal(7, 6), line{1, 2, 3, 4};  // P = ceil(7 / 2) = 4
    FirStatePtr s = makeMrState(taps, {7, 2, 0, 3, 0}, line.data());
    ASSERT_TRUE(s);
    EXPECT_EQ(std::vector<float>(s->pDlyLine, s->pDlyLine + 4), (std::vector<float>{4, 3, 2, 1}));
    ASSERT_EQ(dspsFIRSetDlyLine_32f(s.get(), nullptr), dspStsNoErr);
    EXPECT_EQ(std::vector<float>(s->pDlyLine, s->pDlyLine + 4), (std::vector<float>{0, 0, 0, 0}));
}

INSTANTIATE_FOR_EACH_VARIANT(FirMrStateTest);

}  // namespace
