// FIR filtering on the direct path: every variant against a direct double
// convolution, continuity across calls, in place against out of place, the
// delay line, containment of infinities, and the entries' checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "dsp.h"
#include "filters/fir_state.h"
#include "fir_reference.h"
#include "float_bits.h"
#include "float_vectors.h"
#include "placed_floats.h"
#include "variants.h"

namespace {

// On the direct path n0 rounds the double sum once, exactly as the
// reference; the SSE variants, and every variant on the FFT path (direct
// false), stay within tapsLen * eps * sum |h * x|.
void expectMatchesReference(int variant, const std::vector<float>& got, const FirReference& ref,
                            const std::string& what, bool direct = true) {
    ASSERT_EQ(got.size(), ref.out.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (variant == 0 && direct) {
            ASSERT_EQ(bitsOf(got[i]), bitsOf(ref.out[i])) << what << ", output " << i;
        } else {
            ASSERT_LE(std::fabs(static_cast<double>(got[i]) - ref.out[i]), ref.bound[i] + 1e-30)
                << what << ", output " << i << ": " << got[i] << " vs " << ref.out[i];
        }
    }
}

std::vector<float> filterInCalls(DspsFIRState_32f* s, const std::vector<float>& input, const std::vector<int>& calls,
                                 bool inPlace) {
    std::vector<float> out(input.size());
    std::vector<float> work = input;
    std::size_t at = 0;
    for (std::size_t c = 0; at < input.size(); ++c) {
        const int n = std::min<int>(calls[c % calls.size()], static_cast<int>(input.size() - at));
        if (inPlace) {
            EXPECT_EQ(dspsFIR_32f_I(work.data() + at, n, s), dspStsNoErr);
            std::memcpy(out.data() + at, work.data() + at, sizeof(float) * static_cast<std::size_t>(n));
        } else {
            EXPECT_EQ(dspsFIR_32f(input.data() + at, out.data() + at, n, s), dspStsNoErr);
        }
        at += static_cast<std::size_t>(n);
    }
    return out;
}

class FirFilterTest : public testing::TestWithParam<int> {};

// Every tap count up to 70 (the direct lengths and the FFT boundary), counts around the pass blocks (4, 8, 16) and the
// staging length, and source and destination at every float and some byte
// offsets (destination classes A and B, all five source cases).
TEST_P(FirFilterTest, MatchesTheDirectConvolutionForEveryTapCountCountAndAlignment) {
    ScopedVariant forced(GetParam());
    const struct {
        std::size_t src, dst;
    } offsets[] = {{0, 0}, {4, 0}, {8, 4}, {12, 8}, {0, 12}, {4, 4}, {8, 8}, {12, 12}, {2, 0}, {1, 6}, {0, 3}, {7, 13}};
    for (int tapsLen = 1; tapsLen <= 70; ++tapsLen) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 100u + tapsLen);
        const std::vector<float> history = randomSignal(static_cast<std::size_t>(tapsLen), 200u + tapsLen);
        const int fill = firDlyFillLen(tapsLen);
        std::vector<int> counts{1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, fill - 1, fill, fill + 1, fill + 7, 150};
        for (std::size_t o = 0; o < std::size(offsets); ++o) {
            const int count = counts[o % counts.size()];
            for (int n : {count, counts[(o + 5) % counts.size()], counts[(o + 11) % counts.size()]}) {
                if (n < 1) continue;
                const std::vector<float> input = randomSignal(static_cast<std::size_t>(n), 300u + n);
                PlacedFloats src(input, offsets[o].src);
                PlacedFloats dst(std::vector<float>(static_cast<std::size_t>(n), NAN), offsets[o].dst);
                FirStatePtr s = makeFirState(taps, history.data());
                ASSERT_TRUE(s);
                ASSERT_EQ(dspsFIR_32f(src.data(), dst.data(), n, s.get()), dspStsNoErr);
                const std::string what = std::to_string(tapsLen) + " taps, " + std::to_string(n) + " samples, offsets " +
                                         std::to_string(offsets[o].src) + "/" + std::to_string(offsets[o].dst);
                expectMatchesReference(GetParam(), dst.values(), firReference(taps, input, history), what);
                ASSERT_TRUE(dst.prefixIntact()) << what;
                ASSERT_EQ(src.values(), input) << what;
            }
        }
    }
}

// The engine's short filters and the mode boundary over long runs.
TEST_P(FirFilterTest, LongRunsOfTheEnginesTapCounts) {
    ScopedVariant forced(GetParam());
    for (int tapsLen : {1, 31, 37, 55, 63, 64, 409, 631}) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 7u + tapsLen);
        const std::vector<float> input = randomSignal(5000, 8);
        FirStatePtr s = makeFirState(taps);
        ASSERT_TRUE(s);
        std::vector<float> out(input.size());
        ASSERT_EQ(dspsFIR_32f(input.data(), out.data(), 5000, s.get()), dspStsNoErr);
        const FirReference ref = s->fftLen > 0 ? firFftReference(taps, input, s->fftLen) : firReference(taps, input);
        expectMatchesReference(GetParam(), out, ref, std::to_string(tapsLen) + " taps", s->fftLen < 0);
    }
}

TEST_P(FirFilterTest, OneTapRoundsOnceInEveryVariant) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps{0.1f};
    const std::vector<float> input{3.3f};
    FirStatePtr s = makeFirState(taps);
    float out = 0;
    ASSERT_EQ(dspsFIR_32f(input.data(), &out, 1, s.get()), dspStsNoErr);
    EXPECT_EQ(bitsOf(out), bitsOf(0.1f * 3.3f));
    EXPECT_EQ(s->pDlyLine[0], 3.3f);
}

// Calls of any length continue one stream: on the direct path n0 bit for
// bit, the SSE variants within the bound (their order of summation depends on
// where an output falls in a call); states in FFT mode switch between the
// paths and stay within the bound. Both entries.
TEST_P(FirFilterTest, SplitCallsContinueTheStream) {
    ScopedVariant forced(GetParam());
    const std::vector<float> input = randomSignal(20000, 9);
    for (int tapsLen : {3, 31, 55, 64, 631}) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 10u + tapsLen);
        FirStatePtr whole = makeFirState(taps);
        const FirReference ref =
            whole->fftLen > 0 ? firFftReference(taps, input, whole->fftLen) : firReference(taps, input);
        const std::vector<float> oneCall = filterInCalls(whole.get(), input, {20000}, false);
        for (bool inPlace : {false, true}) {
            FirStatePtr s = makeFirState(taps);
            const std::vector<float> split = filterInCalls(s.get(), input, {1, 7, 511, 512, 4097, 3, 600}, inPlace);
            const std::string what = std::to_string(tapsLen) + (inPlace ? " taps in place" : " taps");
            expectMatchesReference(GetParam(), split, ref, what, s->fftLen < 0);
            if (GetParam() == 0 && s->fftLen < 0) {
                EXPECT_EQ(bitsOfAll(split), bitsOfAll(oneCall)) << what;
            }
        }
    }
}

// In place goes through the scratch in blocks of 4096: out of place in the
// same blocks into an aligned destination gives the very same samples (in
// direct mode; a state in FFT mode takes the FFT for the first in-place
// block only, and both stay within the bound).
TEST_P(FirFilterTest, InPlaceEqualsOutOfPlace) {
    ScopedVariant forced(GetParam());
    const std::vector<float> input = randomSignal(4096 * 2 + 511, 11);
    for (int tapsLen : {1, 5, 31, 32, 409}) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 12u + tapsLen);
        FirStatePtr a = makeFirState(taps), b = makeFirState(taps);
        std::vector<float> inPlace = input;
        ASSERT_EQ(dspsFIR_32f_I(inPlace.data(), static_cast<int>(input.size()), a.get()), dspStsNoErr);
        const std::vector<float> outOfPlace = filterInCalls(b.get(), input, {4096}, false);
        if (a->fftLen < 0) {
            EXPECT_EQ(bitsOfAll(inPlace), bitsOfAll(outOfPlace)) << tapsLen << " taps";
        } else {
            const FirReference ref = firFftReference(taps, input, a->fftLen);
            expectMatchesReference(GetParam(), inPlace, ref, std::to_string(tapsLen) + " taps in place", false);
            expectMatchesReference(GetParam(), outOfPlace, ref, std::to_string(tapsLen) + " taps", false);
        }
    }
}

// Loading a delay line equals having filtered that history.
TEST_P(FirFilterTest, SetDlyLineEqualsFilteringTheHistory) {
    ScopedVariant forced(GetParam());
    for (int tapsLen : {1, 4, 31, 63}) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 13u + tapsLen);
        const std::vector<float> line = randomSignal(static_cast<std::size_t>(tapsLen), 14);  // most recent first
        const std::vector<float> input = randomSignal(300, 15);
        FirStatePtr loaded = makeFirState(taps);
        ASSERT_EQ(dspsFIRSetDlyLine_32f(loaded.get(), line.data()), dspStsNoErr);
        std::vector<float> out(input.size());
        ASSERT_EQ(dspsFIR_32f(input.data(), out.data(), 300, loaded.get()), dspStsNoErr);

        std::vector<float> stream(line.rbegin(), line.rend());
        stream.insert(stream.end(), input.begin(), input.end());
        FirStatePtr played = makeFirState(taps);
        std::vector<float> streamOut(stream.size());
        ASSERT_EQ(dspsFIR_32f(stream.data(), streamOut.data(), static_cast<int>(stream.size()), played.get()),
                  dspStsNoErr);
        const std::vector<float> tail(streamOut.begin() + tapsLen, streamOut.end());
        expectMatchesReference(GetParam(), out, firReference(taps, input, line), "loaded line");
        if (GetParam() == 0) {
            EXPECT_EQ(bitsOfAll(out), bitsOfAll(tail)) << tapsLen << " taps";
        }
    }
}

// A run shorter than the filter keeps the older history, shifted.
TEST_P(FirFilterTest, ShortRunShiftsTheHistory) {
    ScopedVariant forced(GetParam());
    const std::vector<float> taps(6, 0.5f), line{6, 5, 4, 3, 2, 1};
    FirStatePtr s = makeFirState(taps, line.data());
    const std::vector<float> input{7, 8};
    std::vector<float> out(2);
    ASSERT_EQ(dspsFIR_32f(input.data(), out.data(), 2, s.get()), dspStsNoErr);
    EXPECT_EQ(std::vector<float>(s->pDlyLine, s->pDlyLine + 6), (std::vector<float>{3, 4, 5, 6, 7, 8}));
}

// An infinity reaches exactly the outputs whose window holds it; every other
// output is the finite sum.
TEST_P(FirFilterTest, AnInfinityReachesOnlyTheOutputsItBelongsTo) {
    ScopedVariant forced(GetParam());
    for (int tapsLen : {5, 31, 32, 33, 34, 35, 63, 66, 70}) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 16u + tapsLen);
        for (int at : {0, 3, 40, 101, 149}) {
            std::vector<float> input = randomSignal(150, 17);
            input[static_cast<std::size_t>(at)] = std::numeric_limits<float>::infinity();
            FirStatePtr s = makeFirState(taps);
            std::vector<float> out(input.size());
            ASSERT_EQ(dspsFIR_32f(input.data(), out.data(), 150, s.get()), dspStsNoErr);
            for (int n = 0; n < 150; ++n) {
                const bool reached = n >= at && n < at + tapsLen;
                ASSERT_EQ(std::isfinite(out[static_cast<std::size_t>(n)]), !reached)
                    << tapsLen << " taps, infinity at " << at << ", output " << n;
            }
        }
    }
}

// A state built by one variant (say before start-up) keeps being filtered
// with the layout it was built with.
TEST_P(FirFilterTest, StateBuiltByAnotherVariantFiltersWithItsOwnLayout) {
    const std::vector<float> taps = randomSignal(40, 18), input = randomSignal(700, 19);
    FirStatePtr s;
    {
        ScopedVariant generic(0);
        s = makeFirState(taps);
    }
    ScopedVariant forced(GetParam());
    std::vector<float> out(input.size()), inPlace = input;
    ASSERT_EQ(dspsFIR_32f(input.data(), out.data(), 700, s.get()), dspStsNoErr);
    expectMatchesReference(0, out, firReference(taps, input), "n0 state");
    ASSERT_EQ(dspsFIRSetDlyLine_32f(s.get(), nullptr), dspStsNoErr);
    ASSERT_EQ(dspsFIR_32f_I(inPlace.data(), 700, s.get()), dspStsNoErr);
    EXPECT_EQ(bitsOfAll(inPlace), bitsOfAll(out));
}

TEST_P(FirFilterTest, ChecksComeInOrderAndWriteNothing) {
    ScopedVariant forced(GetParam());
    FirStatePtr s = makeFirState({1.0f, 2.0f});
    DspsFIRState_32f foreign{};
    foreign.id = 0x49493138;  // a biquad state's identity
    float src[4] = {1, 2, 3, 4}, dst[4] = {9, 9, 9, 9};
    const struct {
        const char* call;
        DspStatus got, expected;
    } cases[] = {
        {"null state before the other pointers", dspsFIR_32f(nullptr, nullptr, 0, nullptr), dspStsNullPtrErr},
        {"null source", dspsFIR_32f(nullptr, dst, 4, s.get()), dspStsNullPtrErr},
        {"null destination", dspsFIR_32f(src, nullptr, 4, s.get()), dspStsNullPtrErr},
        {"count before kind", dspsFIR_32f(src, dst, 0, &foreign), dspStsSizeErr},
        {"negative count", dspsFIR_32f(src, dst, -1, s.get()), dspStsSizeErr},
        {"foreign state", dspsFIR_32f(src, dst, 4, &foreign), dspStsContextMatchErr},
        {"in place: null state", dspsFIR_32f_I(nullptr, 0, nullptr), dspStsNullPtrErr},
        {"in place: null buffer", dspsFIR_32f_I(nullptr, 4, s.get()), dspStsNullPtrErr},
        {"in place: count before kind", dspsFIR_32f_I(dst, 0, &foreign), dspStsSizeErr},
        {"in place: foreign state", dspsFIR_32f_I(dst, 4, &foreign), dspStsContextMatchErr},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.call;
    EXPECT_EQ(std::vector<float>(dst, dst + 4), (std::vector<float>{9, 9, 9, 9}));
    EXPECT_EQ(std::vector<float>(s->pDlyLine, s->pDlyLine + 2), (std::vector<float>{0, 0}));
}

INSTANTIATE_FOR_EACH_VARIANT(FirFilterTest);

// The SSE variants share one convolution, so n2, n3 and n4 give n1's outputs
// bit for bit at every direct length, over runs through the delay buffer and
// longer ones, at float and byte offsets (a state of n3/n4 also carries the
// shifted tap copies, which must not change the result).
TEST(FirFilterVariantsTest, SseVariantsAgreeBitForBitWithSse2) {
    const std::vector<int> variants = supportedVariants();
    const struct {
        std::size_t src, dst;
    } offsets[] = {{0, 0}, {4, 8}, {2, 0}, {0, 3}, {7, 13}};
    for (int tapsLen : {5, 8, 17, 31, 32, 33, 37, 41, 47, 55, 63}) {
        const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 400u + tapsLen);
        const std::vector<float> history = randomSignal(static_cast<std::size_t>(tapsLen), 500u + tapsLen);
        for (int n : {7, firDlyFillLen(tapsLen), 256}) {
            const std::vector<float> input = randomSignal(static_cast<std::size_t>(n), 600u + n);
            for (const auto& o : offsets) {
                std::vector<float> sse2;
                for (int variant : variants) {
                    if (variant == 0) continue;
                    ScopedVariant forced(variant);
                    PlacedFloats src(input, o.src);
                    PlacedFloats dst(std::vector<float>(static_cast<std::size_t>(n), NAN), o.dst);
                    FirStatePtr s = makeFirState(taps, history.data());
                    ASSERT_TRUE(s);
                    ASSERT_EQ(dspsFIR_32f(src.data(), dst.data(), n, s.get()), dspStsNoErr);
                    if (variant == 1) {
                        sse2 = dst.values();
                        continue;
                    }
                    const std::vector<float> got = dst.values();
                    for (int i = 0; i < n; ++i)
                        ASSERT_EQ(bitsOf(got[i]), bitsOf(sse2[i]))
                            << "n" << variant << ", " << tapsLen << " taps, " << n << " samples, offsets " << o.src
                            << "/" << o.dst << ", output " << i;
                }
            }
        }
    }
}


}  // namespace
