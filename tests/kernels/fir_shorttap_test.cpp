// FIR states without a delay line ("FI33", "FI34"), built by the internal
// set-up: the 64-tap kernels and the plain loops against the direct form, on
// aligned and unaligned sources; containment of infinities; what the entries
// accept.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "dsp.h"
#include "filters/fir_state.h"
#include "firmr_reference.h"
#include "float_bits.h"
#include "float_vectors.h"
#include "variants.h"

namespace {

FirStatePtr makeShortTapState(const std::vector<float>& taps, const MrArgs& a) {
    DspsFIRState_32f* s = nullptr;
    if (firShortTapInitAlloc_table[dspCurrentVariant()](&s, taps.data(), a.tapsLen, a.up, a.upPhase, a.down,
                                                        a.downPhase) != dspStsNoErr)
        return nullptr;
    return FirStatePtr(s);
}

// Floats placed at offset floats past a 16-byte boundary.
struct PlacedSource {
    std::vector<float> storage;
    float* data;
    PlacedSource(const std::vector<float>& values, int offset) : storage(values.size() + 8) {
        auto address = reinterpret_cast<std::uintptr_t>(storage.data());
        data = storage.data() + ((16 - address % 16) % 16) / 4 + offset;
        std::copy(values.begin(), values.end(), data);
    }
};

void expectNear(const std::vector<float>& got, const FirReference& ref, int variant, const std::string& what) {
    ASSERT_EQ(got.size(), ref.out.size());
    for (std::size_t n = 0; n < got.size(); ++n) {
        if (variant <= 2) {
            // The loops sum in double and round once, as the reference does.
            ASSERT_EQ(bitsOf(got[n]), bitsOf(ref.out[n])) << what << ", output " << n;
        } else {
            ASSERT_LE(std::fabs(static_cast<double>(got[n]) - ref.out[n]), ref.bound[n] + 1e-30)
                << what << ", output " << n;
        }
    }
}

// count outputs of the state from the stream placed at float offsets 0 to 3
// from a 16-byte boundary (aligned steps and single outputs alike).
void expectOnEveryOffset(DspsFIRState_32f* s, const std::vector<float>& stream, int count, const FirReference& want,
                         int variant, const std::string& what) {
    for (int offset = 0; offset < 4; ++offset) {
        const PlacedSource src(stream, offset);
        std::vector<float> out(static_cast<std::size_t>(count));
        ASSERT_EQ(dspsFIR_32f(src.data, out.data(), count, s), dspStsNoErr);
        expectNear(out, want, variant,
                   what + ", " + std::to_string(count) + " outputs, offset " + std::to_string(offset));
    }
}

class FirShortTapTest : public testing::TestWithParam<int> {};

// Output n of a single-rate state reads source samples n .. n + tapsLen - 1:
// the direct form's output n + tapsLen - 1 of the same stream.
TEST_P(FirShortTapTest, SingleRateEqualsTheDirectForm) {
    ScopedVariant forced(GetParam());
    for (int tapsLen : {64, 63, 65, 7}) {
        const std::vector<float> h = randomSignal(static_cast<std::size_t>(tapsLen), 40u + tapsLen);
        FirStatePtr s = makeShortTapState(h, {tapsLen, 1, 0, 1, 0});
        ASSERT_TRUE(s);
        EXPECT_EQ(s->id, kFirIdShortTap);
        for (int count : {1, 2, 3, 4, 5, 8, 17, 101}) {
            const std::vector<float> stream = randomSignal(static_cast<std::size_t>(count + tapsLen - 1), 41);
            const FirReference direct = firReference(h, stream);
            const FirReference want{std::vector<float>(direct.out.begin() + tapsLen - 1, direct.out.end()),
                                    std::vector<double>(direct.bound.begin() + tapsLen - 1, direct.bound.end())};
            expectOnEveryOffset(s.get(), stream, count, want, GetParam(), std::to_string(tapsLen) + " taps");
        }
    }
}

// Output 4r of the aligned steps is summed as on the single-output path.
TEST_P(FirShortTapTest, AlignedStepsKeepTheFirstOutputOfEachStep) {
    ScopedVariant forced(GetParam());
    const std::vector<float> h = randomSignal(64, 42), stream = randomSignal(64 + 63, 43);
    FirStatePtr s = makeShortTapState(h, {64, 1, 0, 1, 0});
    const PlacedSource aligned(stream, 0);
    std::vector<float> steps(64), alone(64);
    ASSERT_EQ(dspsFIR_32f(aligned.data, steps.data(), 64, s.get()), dspStsNoErr);
    for (int n = 0; n < 64; ++n) ASSERT_EQ(dspsFIR_32f(aligned.data + n, alone.data() + n, 1, s.get()), dspStsNoErr);
    for (int n = 0; n < 64; n += 4) EXPECT_EQ(bitsOf(steps[n]), bitsOf(alone[n])) << n;
}

// Decimation by 10: output m reads source samples 10m .. 10m + 63.
TEST_P(FirShortTapTest, DecimateByTenEqualsEveryTenthDirectOutput) {
    ScopedVariant forced(GetParam());
    for (int tapsLen : {64, 61}) {
        const std::vector<float> h = randomSignal(static_cast<std::size_t>(tapsLen), 44);
        FirStatePtr s = makeShortTapState(h, {tapsLen, 1, 0, 10, 0});
        ASSERT_TRUE(s);
        EXPECT_EQ(s->id, kFirIdShortTapDecimate);
        for (int count : {1, 2, 3, 4, 7, 30}) {
            const std::vector<float> stream = randomSignal(static_cast<std::size_t>(10 * count + 54), 45);
            const FirReference direct = firReference(h, stream);
            FirReference want;
            for (int m = 0; m < count; ++m) {
                want.out.push_back(direct.out[static_cast<std::size_t>(10 * m + tapsLen - 1)]);
                want.bound.push_back(direct.bound[static_cast<std::size_t>(10 * m + tapsLen - 1)]);
            }
            expectOnEveryOffset(s.get(), stream, count, want, GetParam(), std::to_string(tapsLen) + " taps");
        }
    }
}

// Other factors and phases go through the polyphase loop: with tapsLen - 1 a
// multiple of the up factor, the source's first (tapsLen - 1) / up samples
// are the history of the resampled stream.
TEST_P(FirShortTapTest, OtherFactorsResampleTheSource) {
    ScopedVariant forced(GetParam());
    for (const MrArgs& a : {MrArgs{21, 2, 1, 3, 2}, MrArgs{64, 1, 0, 10, 3}, MrArgs{31, 3, 0, 2, 1}}) {
        const std::vector<float> h = randomSignal(static_cast<std::size_t>(a.tapsLen), 46);
        FirStatePtr s = makeShortTapState(h, a);
        const int lead = (a.tapsLen - 1) / a.up, iterations = 40;
        const std::vector<float> src = randomSignal(static_cast<std::size_t>(lead + iterations * a.down), 47);
        const std::vector<float> x(src.begin() + lead, src.end());
        const std::vector<float> history(src.rend() - lead, src.rend());  // most recent first
        std::vector<float> out(static_cast<std::size_t>(iterations * a.up));
        ASSERT_EQ(dspsFIR_32f(src.data(), out.data(), iterations, s.get()), dspStsNoErr);
        const FirReference want = mrReference(h, a, x, history);
        for (std::size_t n = 0; n < out.size(); ++n)
            ASSERT_NEAR(out[n], want.out[n], want.bound[n] + 1e-30) << a.tapsLen << " taps, output " << n;
    }
}

// An infinity reaches only the outputs whose 64 taps cover it, on the aligned
// steps as on the single outputs.
TEST_P(FirShortTapTest, AnInfinityReachesOnlyItsOwnOutputs) {
    ScopedVariant forced(GetParam());
    const std::vector<float> h = randomSignal(64, 48);
    FirStatePtr single = makeShortTapState(h, {64, 1, 0, 1, 0}), down = makeShortTapState(h, {64, 1, 0, 10, 0});
    for (int at : {0, 1, 2, 3, 4, 63, 64, 65, 66, 67, 93, 100, 102}) {
        std::vector<float> stream = randomSignal(40 + 63 + 4, 49);
        stream[static_cast<std::size_t>(at)] = std::numeric_limits<float>::infinity();
        // Past the 40 + 63 samples the calls need.
        for (std::size_t i = 103; i < stream.size(); ++i) stream[i] = std::numeric_limits<float>::quiet_NaN();
        const PlacedSource src(stream, 0);
        std::vector<float> out(40);
        ASSERT_EQ(dspsFIR_32f(src.data, out.data(), 40, single.get()), dspStsNoErr);
        for (int n = 0; n < 40; ++n)
            ASSERT_EQ(std::isfinite(out[static_cast<std::size_t>(n)]), !(at >= n && at < n + 64))
                << "single rate, infinity at " << at << ", output " << n;
        ASSERT_EQ(dspsFIR_32f(src.data, out.data(), 4, down.get()), dspStsNoErr);  // 94 samples
        for (int m = 0; m < 4; ++m)
            ASSERT_EQ(std::isfinite(out[static_cast<std::size_t>(m)]), !(at >= 10 * m && at < 10 * m + 64))
                << "decimating, infinity at " << at << ", output " << m;
    }
}

// Filtered out of place only; no delay line to load; released as allocated.
TEST_P(FirShortTapTest, EntriesAcceptThemOutOfPlaceOnly) {
    ScopedVariant forced(GetParam());
    const std::vector<float> h = randomSignal(64, 50);
    for (const MrArgs& a : {MrArgs{64, 1, 0, 1, 0}, MrArgs{64, 1, 0, 10, 0}}) {
        DspsFIRState_32f* s = nullptr;
        ASSERT_EQ(firShortTapInitAlloc_table[GetParam()](&s, h.data(), 64, a.up, a.upPhase, a.down, a.downPhase),
                  dspStsNoErr);
        std::vector<float> buffer(1000, 1.0f);
        EXPECT_EQ(dspsFIR_32f_I(buffer.data(), 4, s), dspStsContextMatchErr);
        EXPECT_EQ(dspsFIRSetDlyLine_32f(s, nullptr), dspStsContextMatchErr);
        EXPECT_EQ(dspsFIR_32f(buffer.data(), buffer.data() + 500, 0, s), dspStsSizeErr);
        EXPECT_EQ(buffer, std::vector<float>(1000, 1.0f));
        EXPECT_EQ(dspsFIRFree_32f(s), dspStsNoErr);
    }
}

INSTANTIATE_FOR_EACH_VARIANT(FirShortTapTest);

}  // namespace
