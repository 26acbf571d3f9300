// Multirate FIR filtering: every variant against brute-force resampling (both
// forms, every phase, short and long filters, staged and direct runs),
// continuity across calls, the delay line, in place against out of place,
// containment of NaNs, and the entries' checks on multirate states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dsp.h"
#include "filters/fir_state.h"
#include "firmr_reference.h"
#include "float_bits.h"
#include "float_vectors.h"
#include "variants.h"

namespace {

std::string describe(const MrArgs& a) {
    return std::to_string(a.tapsLen) + " taps, " + std::to_string(a.up) + "/" + std::to_string(a.down) +
           ", phases " + std::to_string(a.upPhase) + "/" + std::to_string(a.downPhase);
}

void expectNearReference(const std::vector<float>& got, const FirReference& ref, const std::string& what) {
    ASSERT_EQ(got.size(), ref.out.size()) << what;
    for (std::size_t n = 0; n < got.size(); ++n)
        ASSERT_LE(std::fabs(static_cast<double>(got[n]) - ref.out[n]), ref.bound[n] + 1e-30)
            << what << ", output " << n << ": " << got[n] << " vs " << ref.out[n];
}

// Filters the input's whole iterations (or the first `iterations`) out of
// place, or in place, in calls of the given iteration counts, cycling
// through them.
std::vector<float> resample(DspsFIRState_32f* s, const MrArgs& a, const std::vector<float>& input,
                            const std::vector<int>& calls, bool inPlace = false, int iterations = -1) {
    if (iterations < 0) iterations = static_cast<int>(input.size()) / a.down;
    std::vector<float> out(static_cast<std::size_t>(iterations) * static_cast<std::size_t>(a.up));
    for (int done = 0, c = 0; done < iterations; ++c) {
        const int n = std::min(calls[static_cast<std::size_t>(c) % calls.size()], iterations - done);
        const float* src = input.data() + static_cast<std::size_t>(done) * a.down;
        float* dst = out.data() + static_cast<std::size_t>(done) * a.up;
        if (inPlace) {
            // The call's buffer holds its inputs and receives its outputs.
            std::vector<float> buffer(src, src + static_cast<std::size_t>(n) * std::max(a.up, a.down));
            EXPECT_EQ(dspsFIR_32f_I(buffer.data(), n, s), dspStsNoErr);
            std::memcpy(dst, buffer.data(), sizeof(float) * static_cast<std::size_t>(n) * a.up);
        } else {
            EXPECT_EQ(dspsFIR_32f(src, dst, n, s), dspStsNoErr);
        }
        done += n;
    }
    return out;
}

class FirMrFilterTest : public testing::TestWithParam<int> {};

// The resampler's pairs, the worked examples' pairs and factors 1/1, every
// phase, tap counts on both sides of the form threshold up to 251; calls
// short enough to run on the delay buffer and long enough to read the input
// directly, with a history loaded at set-up.
TEST_P(FirMrFilterTest, MatchesBruteForceResampling) {
    ScopedVariant forced(GetParam());
    const std::vector<std::pair<int, int>> pairs{{2, 3}, {3, 2}, {1, 4}, {4, 1}, {6, 1}, {1, 1},
                                                 {1, 2}, {2, 7}, {3, 4}, {2, 5}, {4, 3}, {3, 5}};
    int states[4] = {};
    for (const auto& [up, down] : pairs)
        for (int upPhase = 0; upPhase < up; ++upPhase)
            for (int downPhase = 0; downPhase < down; ++downPhase)
                for (int tapsLen : {1, 2, 3, 4, 5, 6, 7, 8, 12, 13, 31, 64, 85, 127, 251}) {
                    const MrArgs a{tapsLen, up, upPhase, down, downPhase};
                    const std::vector<float> h = randomSignal(static_cast<std::size_t>(tapsLen), 20u + tapsLen);
                    const std::vector<float> history =
                        randomSignal(static_cast<std::size_t>((tapsLen + up - 1) / up), 21);
                    FirStatePtr s = makeMrState(h, a, history.data());
                    ASSERT_TRUE(s) << describe(a);
                    ++states[s->id == kFirIdSingleRate ? 0 : s->mrMode];
                    const std::vector<float> x = randomSignal(static_cast<std::size_t>(157 * down), 22);
                    const FirReference want = mrReference(h, a, x, history);
                    expectNearReference(resample(s.get(), a, x, {3, 150, 4}), want, describe(a));
                }
    EXPECT_GT(states[kFirMrModeWindow], 100);
    EXPECT_GT(states[kFirMrModeDecimate], 10);
    EXPECT_GT(states[kFirMrModeCompact], 10);
}

// Calls of 1, 7 and 100 iterations continue one stream: exactly in the
// generic variant, up to rounding in the others (a split moves outputs
// between the kernels and the one-at-a-time loop).
TEST_P(FirMrFilterTest, SplitCallsEqualOneCall) {
    ScopedVariant forced(GetParam());
    for (const MrArgs& a : {MrArgs{85, 2, 0, 3, 0}, MrArgs{251, 3, 1, 2, 1}, MrArgs{127, 1, 0, 4, 3},
                            MrArgs{169, 6, 5, 1, 0}, MrArgs{5, 3, 1, 4, 0}, MrArgs{9, 1, 0, 4, 2}}) {
        const std::vector<float> h = randomSignal(static_cast<std::size_t>(a.tapsLen), 23);
        const std::vector<float> x = randomSignal(static_cast<std::size_t>(108 * 5 * a.down), 24);
        FirStatePtr whole = makeMrState(h, a), split = makeMrState(h, a);
        const std::vector<float> one = resample(whole.get(), a, x, {108});
        const std::vector<float> parts = resample(split.get(), a, x, {1, 7, 100});
        if (GetParam() == 0) {
            EXPECT_EQ(bitsOfAll(parts), bitsOfAll(one)) << describe(a);
        }
        expectNearReference(parts, mrReference(h, a, x), describe(a));
    }
}

// Clearing the delay line restarts the stream; loading one equals having
// filtered that history.
TEST_P(FirMrFilterTest, SetDlyLineRestartsTheStream) {
    ScopedVariant forced(GetParam());
    for (const MrArgs& a : {MrArgs{85, 2, 1, 3, 2}, MrArgs{4, 2, 0, 7, 0}, MrArgs{10, 1, 0, 4, 0}}) {
        const std::vector<float> h = randomSignal(static_cast<std::size_t>(a.tapsLen), 25);
        const std::vector<float> x = randomSignal(static_cast<std::size_t>(300 * a.down), 26);
        FirStatePtr fresh = makeMrState(h, a), used = makeMrState(h, a);
        const std::vector<float> first = resample(fresh.get(), a, x, {300});
        resample(used.get(), a, randomSignal(x.size(), 27), {37});
        ASSERT_EQ(dspsFIRSetDlyLine_32f(used.get(), nullptr), dspStsNoErr);
        EXPECT_EQ(bitsOfAll(resample(used.get(), a, x, {300})), bitsOfAll(first)) << describe(a);

        const std::vector<float> line = randomSignal(static_cast<std::size_t>(used->dlyLineLen), 28);
        ASSERT_EQ(dspsFIRSetDlyLine_32f(used.get(), line.data()), dspStsNoErr);
        expectNearReference(resample(used.get(), a, x, {300}), mrReference(h, a, x, line), describe(a));
    }
}

// In place, both ways: through the scratch in chunks of 4096 / upFactor
// iterations while the output is no longer than the input (equal bit for bit
// to out-of-place calls of that size), through a copy of the input
// otherwise (equal to one out-of-place call).
TEST_P(FirMrFilterTest, InPlaceEqualsOutOfPlace) {
    ScopedVariant forced(GetParam());
    for (const MrArgs& a : {MrArgs{85, 2, 0, 3, 0}, MrArgs{127, 1, 0, 4, 0}, MrArgs{5, 2, 1, 7, 3},
                            MrArgs{251, 3, 0, 2, 0}, MrArgs{169, 6, 0, 1, 0}}) {
        const std::vector<float> h = randomSignal(static_cast<std::size_t>(a.tapsLen), 29);
        const int iterations = 5000;
        const std::vector<float> x = randomSignal(static_cast<std::size_t>(iterations * a.down), 30);
        std::vector<float> buffer(static_cast<std::size_t>(iterations) * std::max(a.up, a.down));
        std::copy(x.begin(), x.end(), buffer.begin());
        FirStatePtr inPlace = makeMrState(h, a), outOfPlace = makeMrState(h, a);
        ASSERT_EQ(dspsFIR_32f_I(buffer.data(), iterations, inPlace.get()), dspStsNoErr);
        buffer.resize(static_cast<std::size_t>(iterations) * a.up);
        const int chunk = a.up <= a.down ? 4096 / a.up : iterations;
        EXPECT_EQ(bitsOfAll(buffer), bitsOfAll(resample(outOfPlace.get(), a, x, {chunk}))) << describe(a);
    }
}

// An up factor above the scratch (4096 / upFactor = 0 iterations a chunk)
// takes the copy, and ends.
TEST_P(FirMrFilterTest, InPlaceWithAnUpFactorAboveTheScratchTakesTheCopy) {
    ScopedVariant forced(GetParam());
    const MrArgs a{3, 4100, 7, 4101, 11};
    const std::vector<float> h{0.5f, -1.0f, 2.0f};
    const std::vector<float> x = randomSignal(3 * 4101, 31);
    FirStatePtr inPlace = makeMrState(h, a), outOfPlace = makeMrState(h, a);
    ASSERT_TRUE(inPlace);
    std::vector<float> buffer(static_cast<std::size_t>(3) * 4101);
    std::copy(x.begin(), x.end(), buffer.begin());
    ASSERT_EQ(dspsFIR_32f_I(buffer.data(), 3, inPlace.get()), dspStsNoErr);
    buffer.resize(3 * 4100);
    const std::vector<float> want = resample(outOfPlace.get(), a, x, {3});
    EXPECT_EQ(bitsOfAll(buffer), bitsOfAll(want));
    expectNearReference(want, mrReference(h, a, x), describe(a));
}

// A NaN reaches exactly the outputs whose taps meet it, wherever it lies:
// history, staged inputs, inputs read directly, the last input. NaNs just
// past the input and left in the delay buffer by an earlier call reach none.
TEST_P(FirMrFilterTest, ANaNReachesOnlyTheOutputsItBelongsTo) {
    ScopedVariant forced(GetParam());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const MrArgs& a : {MrArgs{85, 2, 0, 3, 0}, MrArgs{20, 3, 2, 2, 1}, MrArgs{13, 1, 0, 4, 1},
                            MrArgs{7, 2, 1, 7, 4}, MrArgs{12, 1, 0, 4, 2}, MrArgs{33, 1, 0, 2, 0},
                            MrArgs{2, 4, 1, 3, 2}}) {
        const std::vector<float> h = randomSignal(static_cast<std::size_t>(a.tapsLen), 32);
        const int iterations = 60;
        const int inputs = iterations * a.down;
        for (int at : {0, 1, 5, inputs / 2, inputs - 2, inputs - 1}) {
            for (int calls : {iterations, 2}) {
                std::vector<float> x = randomSignal(static_cast<std::size_t>(inputs) + 8, 33);
                x[static_cast<std::size_t>(at)] = nan;
                std::fill(x.begin() + inputs, x.end(), nan);  // past the input
                FirStatePtr s = makeMrState(h, a);
                // An earlier stream leaves NaNs all over the staging room.
                const std::vector<float> poison(static_cast<std::size_t>(s->dlyFillLen) + 8, nan);
                std::vector<float> sink(poison.size() * static_cast<std::size_t>(a.up) + 64);
                ASSERT_EQ(dspsFIR_32f(poison.data(), sink.data(), s->dlyFillLen / a.down, s.get()), dspStsNoErr);
                ASSERT_EQ(dspsFIRSetDlyLine_32f(s.get(), nullptr), dspStsNoErr);

                const std::vector<float> got = resample(s.get(), a, x, {calls}, false, iterations);
                const FirReference want = mrReference(h, a, std::vector<float>(x.begin(), x.begin() + inputs));
                for (std::size_t n = 0; n < got.size(); ++n)
                    ASSERT_EQ(std::isnan(got[n]), std::isnan(want.out[n]))
                        << describe(a) << ", NaN at " << at << ", calls of " << calls << ", output " << n;
            }
        }
    }
}

// The resampler's own use: both phases 0, taps from the prototype lengths
// scaled by the up factor, one state per direction, blocks of one buffer.
TEST_P(FirMrFilterTest, ResamplerPairsRoundTripInBlocks) {
    ScopedVariant forced(GetParam());
    for (const auto& [up, down] : std::vector<std::pair<int, int>>{{2, 3}, {1, 2}, {1, 3}, {1, 4}, {1, 6}})
        for (int tapsLen : {85, 127, 169, 251}) {
            const MrArgs in{tapsLen, up, 0, down, 0}, out{tapsLen, down, 0, up, 0};
            const std::vector<float> h = randomSignal(static_cast<std::size_t>(tapsLen), 34);
            FirStatePtr sIn = makeMrState(h, in), sOut = makeMrState(h, out);
            const std::vector<float> x = randomSignal(static_cast<std::size_t>(64 * down * 12), 35);
            const std::vector<float> mid = resample(sIn.get(), in, x, {64});
            expectNearReference(mid, mrReference(h, in, x), describe(in));
            expectNearReference(resample(sOut.get(), out, mid, {64}), mrReference(h, out, mid), describe(out));
        }
}

TEST_P(FirMrFilterTest, ChecksOnMultirateStates) {
    ScopedVariant forced(GetParam());
    const std::vector<float> h = randomSignal(20, 36);
    FirStatePtr s = makeMrState(h, {20, 2, 0, 3, 0});
    ASSERT_TRUE(s);
    const std::vector<float> x(30, 1.0f);
    std::vector<float> y(20, -7.0f);
    EXPECT_EQ(dspsFIR_32f(x.data(), y.data(), 0, s.get()), dspStsSizeErr);
    EXPECT_EQ(dspsFIR_32f(nullptr, y.data(), 0, s.get()), dspStsNullPtrErr);
    EXPECT_EQ(dspsFIR_32f(x.data(), nullptr, 1, s.get()), dspStsNullPtrErr);
    EXPECT_EQ(dspsFIR_32f_I(y.data(), -1, s.get()), dspStsSizeErr);
    // A multirate state of no known mode is another kind of state.
    const int mode = s->mrMode;
    s->mrMode = 4;
    EXPECT_EQ(dspsFIR_32f(x.data(), y.data(), 1, s.get()), dspStsContextMatchErr);
    EXPECT_EQ(dspsFIR_32f_I(y.data(), 1, s.get()), dspStsContextMatchErr);
    s->mrMode = mode;
    EXPECT_EQ(y, std::vector<float>(20, -7.0f));
}

// A state built by the generic variant keeps its layout under any variant.
TEST_P(FirMrFilterTest, StateBuiltByAnotherVariantFiltersWithItsOwnLayout) {
    const MrArgs a{6, 3, 1, 4, 0};  // compact form: the layouts differ
    const std::vector<float> h = randomSignal(6, 37), x = randomSignal(400, 38);
    FirStatePtr s;
    {
        ScopedVariant generic(0);
        s = makeMrState(h, a);
    }
    ScopedVariant forced(GetParam());
    const std::vector<float> got = resample(s.get(), a, x, {100});
    expectNearReference(got, mrReference(h, a, x), "generic state");
}

INSTANTIATE_FOR_EACH_VARIANT(FirMrFilterTest);

}  // namespace
