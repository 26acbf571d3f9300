// Double-tap biquad state: argument checks and their order, normalisation
// and section tables, the block layout, delay line, taps replacement that
// changes nothing when refused, and release.
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "dsp_memory.h"
#include "filters/iir64f.h"
#include "iir64f_reference.h"
#include "variants.h"

namespace {

using State = DspsIIRState64f_32f;
const auto kSentinel = reinterpret_cast<State*>(std::uintptr_t{0x5a5a5a50});
constexpr std::size_t kTablesPerSectionBytes = 8 * (6 + 20 + 6);  // 256
constexpr std::size_t kWorkAreasBytes = 2 * 8 * 1024;             // 16384

std::uint64_t bitsOf(double x) { return std::bit_cast<std::uint64_t>(x); }

void expectSameDoubles(const double* actual, const std::vector<double>& expected, const char* what) {
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(bitsOf(actual[i]), bitsOf(expected[i])) << what << "[" << i << "] = " << actual[i]
                                                          << ", expected " << expected[i];
}

// The state's whole block, for "nothing changed" checks.
std::vector<unsigned char> blockOf(int variant, const State* state) {
    const std::size_t size = variant == 0 ? dsp_n0::iirGetStateSizeBiquad64f(state->numBq)
                                          : dsp_n1::iirGetStateSizeBiquad64f(state->numBq);
    const auto* bytes = reinterpret_cast<const unsigned char*>(state);
    return {bytes, bytes + size};
}

class Iir64fStateTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
    bool hasTables() const { return variant() != 0; }

    State* create(const std::vector<double>& taps, const double* delay = nullptr) {
        State* state = nullptr;
        EXPECT_EQ(dspsIIRInitAlloc64f_BiQuad_32f_table[variant()](&state, taps.data(),
                                                                  static_cast<int>(taps.size() / 6), delay),
                  dspStsNoErr);
        return state;
    }
    void release(State* state) { EXPECT_EQ(dspsIIRFree64f_32f_table[variant()](state), dspStsNoErr); }
};

TEST_P(Iir64fStateTest, CreationChecksPointersThenSectionCountAndLeavesThePointerAlone) {
    struct Row {
        bool nullState, nullTaps;
        int numBq;
        DspStatus expected;
    };
    const Row rows[] = {
        {true, false, 1, dspStsNullPtrErr}, {false, true, 1, dspStsNullPtrErr},
        {true, true, 0, dspStsNullPtrErr},  {false, true, -1, dspStsNullPtrErr},  // pointers first
        {false, false, 0, dspStsIIROrderErr}, {false, false, -1, dspStsIIROrderErr},
        {false, false, INT_MIN, dspStsIIROrderErr},
        // A block that does not fit in an int cannot be allocated.
        {false, false, INT_MAX, dspStsMemAllocErr},
    };
    const std::vector<double> taps = identityTaps(1);
    for (const Row& row : rows) {
        State* state = kSentinel;
        EXPECT_EQ(dspsIIRInitAlloc64f_BiQuad_32f_table[variant()](row.nullState ? nullptr : &state,
                                                                  row.nullTaps ? nullptr : taps.data(), row.numBq,
                                                                  nullptr),
                  row.expected)
            << "numBq " << row.numBq;
        EXPECT_EQ(state, kSentinel);
    }
}

// a0 = +0 or -0, or b0 = 0, in any section: refused, the pointer not
// written and the block released (the sanitizer build sees a leak).
TEST_P(Iir64fStateTest, CreationRefusesZeroA0OrB0InAnySection) {
    for (int bad = 0; bad < 3; ++bad) {
        for (auto [index, value] : {std::pair{3, 0.0}, std::pair{3, -0.0}, std::pair{0, 0.0}}) {
            std::vector<double> taps = randomStableTaps(3, 7);
            taps[6 * bad + index] = value;
            State* state = kSentinel;
            EXPECT_EQ(dspsIIRInitAlloc64f_BiQuad_32f_table[variant()](&state, taps.data(), 3, nullptr),
                      dspStsDivByZeroErr)
                << "section " << bad << " tap " << index;
            EXPECT_EQ(state, kSentinel);
        }
    }
}

TEST_P(Iir64fStateTest, AllocationFailureIsReportedAndThePointerNotWritten) {
    const DspMemHooks saved = dspMemHooks;
    dspMemHooks.allocate = [](std::size_t) -> void* { return nullptr; };
    State* state = kSentinel;
    const std::vector<double> taps = identityTaps(2);
    const DspStatus status = dspsIIRInitAlloc64f_BiQuad_32f_table[variant()](&state, taps.data(), 2, nullptr);
    dspMemHooks = saved;
    EXPECT_EQ(status, dspStsMemAllocErr);
    EXPECT_EQ(state, kSentinel);
}

// Normalisation by one reciprocal of a0, and the three section tables of the
// SSE layout with their look-ahead terms, on fixed examples.
TEST_P(Iir64fStateTest, NormalisedTapsAndSectionTablesOfKnownSections) {
    struct Row {
        std::vector<double> taps, normalised, pairs, sample, block;
    };
    // p and q of a section without feedback are -0 (0 - 1/a0 times +0); the
    // signs of the zeros derived from them follow from the order of the
    // operations.
    const double z = -0.0;
    const Row rows[] = {
        {{2, 1, 0.5, 2, -1, 0.5},
         {1, 0.5, 0.25, -0.5, 0.25},
         {1, 1, 0.5, 0.5, 0.25, 0.25},
         {1, 1, 0.5, 0.25, 0.5, -0.25},
         {0.5, 0, -0.125, -0.0625, -0.25, -0.125, 0, 0.03125, 1, 0.5, 0, -0.125, 0, 1, 0.5, 0, 0, 0, 1, 0.5}},
        {{2, 4, 6, 2, 1, 0.5}, {1, 2, 3, 0.5, 0.25}, {}, {}, {}},
        {{1, 0, 0, 1, 0, 0},
         {1, 0, 0, 0, 0},
         {1, 1, 0, 0, 0, 0},
         {1, 1, 0, 0, z, z},
         {z, 0, z, 0, z, 0, 0, z, 1, z, 0, z, 0, 1, z, 0, 0, 0, 1, z}},
    };
    for (const Row& row : rows) {
        State* state = create(row.taps);
        ASSERT_NE(state, nullptr);
        expectSameDoubles(state->pTaps, row.normalised, "pTaps");
        if (hasTables() && !row.pairs.empty()) {
            expectSameDoubles(state->pTapsPair, row.pairs, "pTapsPair");
            expectSameDoubles(state->pSampleTaps, row.sample, "pSampleTaps");
            expectSameDoubles(state->pFbBlock, row.block, "pFbBlock");
        }
        release(state);
    }
}

// The look-ahead block is the recursion unrolled: row j of the weights of
// y[k-1], y[k-2], w[k], w[k+1], w[k+2] reproduces four steps of
// y = w + p y1 + q y2 (exactly, on dyadic values).
TEST_P(Iir64fStateTest, FeedbackBlockReproducesFourStepsOfTheRecursion) {
    if (!hasTables()) GTEST_SKIP() << "the generic layout has no section tables";
    const std::vector<double> taps = {1, 0, 0, 4, -3, 1};  // p = 0.75, q = -0.25
    State* state = create(taps);
    const double* T = state->pFbBlock;
    const double p = 0.75, q = -0.25, w[4] = {0.5, -1, 2, 0.25};
    double y1 = 1.5, y2 = -0.5;
    const double start1 = y1, start2 = y2;
    for (int j = 0; j < 4; ++j) {
        const double y = w[j] + p * y1 + q * y2;
        y2 = y1;
        y1 = y;
        double folded = T[j] * start1 + T[4 + j] * start2 + T[8 + j] * w[0] + T[12 + j] * w[1] + T[16 + j] * w[2];
        if (j == 3) folded += w[3];
        EXPECT_EQ(folded, y) << "output " << j;
    }
    release(state);
}

TEST_P(Iir64fStateTest, NaNTapsAreAcceptedAndPropagate) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    State* state = create({1, 0.5, 0.25, nan, 0.1, 0.2});
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(std::isnan(state->pTaps[i])) << i;
    release(state);
    state = create({nan, 0.5, 0.25, 2, 0.1, 0.2});
    EXPECT_TRUE(std::isnan(state->pTaps[0]));
    EXPECT_EQ(state->pTaps[1], 0.25);
    release(state);
}

// Sizes and offsets that do not depend on the record's size: the areas'
// sizes, order and 16-byte alignment, the end of the last area at the end
// of the block, and the SSE layout's extra 256 bytes per section + 16 KiB.
TEST_P(Iir64fStateTest, BlockLayoutAndSizes) {
    const std::size_t tapsArea[] = {48, 80, 128, 160};  // 40 n rounded up to 16
    for (int n = 1; n <= 4; ++n) {
        const std::size_t generic = dsp_n0::iirGetStateSizeBiquad64f(n);
        const std::size_t sse = dsp_n1::iirGetStateSizeBiquad64f(n);
        EXPECT_EQ(generic, kIirHeaderBytes + tapsArea[n - 1] + 16 * n);
        EXPECT_EQ(sse - generic, kTablesPerSectionBytes * n + kWorkAreasBytes);
        for (auto size : {dsp_n2::iirGetStateSizeBiquad64f(n), dsp_n3::iirGetStateSizeBiquad64f(n),
                          dsp_n4::iirGetStateSizeBiquad64f(n)})
            EXPECT_EQ(size, sse);

        State* state = create(identityTaps(n));
        const auto base = reinterpret_cast<const unsigned char*>(state);
        const auto offset = [&](const void* p) { return static_cast<std::size_t>(
                                                     static_cast<const unsigned char*>(p) - base); };
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state) % 32, 0u);
        EXPECT_EQ(offset(state->pTaps), kIirHeaderBytes);
        EXPECT_EQ(offset(state->pDlyLine), kIirHeaderBytes + tapsArea[n - 1]);
        EXPECT_EQ(state->dlyLineLen, 2 * n);
        EXPECT_EQ(state->numBq, n);
        EXPECT_EQ(state->isAllocated, 1);
        if (hasTables()) {
            const std::size_t tables = offset(state->pDlyLine) + 16 * n;
            EXPECT_EQ(offset(state->pTapsPair), tables);
            EXPECT_EQ(offset(state->pFbBlock), tables + 48 * n);
            EXPECT_EQ(offset(state->pSampleTaps), tables + 208 * n);
            EXPECT_EQ(offset(state->pWork), tables + 256 * n);
            EXPECT_EQ(offset(state->pWork2), tables + 256 * n + 8192);
            EXPECT_EQ(offset(state->pWork2) + 8192, sse);
        } else {
            EXPECT_EQ(offset(state->pDlyLine) + 16 * n, generic);
            EXPECT_EQ(state->pTapsPair, nullptr);
        }
        release(state);
    }
}

// The builder places the record at the next 32-byte boundary of a caller's
// block and marks it as not allocated: releasing it releases nothing.
TEST_P(Iir64fStateTest, StateInACallersBlockStartsOn32BytesAndIsNotReleased) {
    const std::size_t size = variant() == 0 ? dsp_n0::iirGetStateSizeBiquad64f(2) : dsp_n1::iirGetStateSizeBiquad64f(2);
    std::vector<unsigned char> storage(size + 64);
    Dsp8u* block = storage.data() + (32 - reinterpret_cast<std::uintptr_t>(storage.data()) % 32) + 8;
    State* state = nullptr;
    const std::vector<double> taps = randomStableTaps(2, 3);
    const auto init = variant() == 0 ? dsp_n0::iirInitBiquadWithBuffer64f : dsp_n1::iirInitBiquadWithBuffer64f;
    ASSERT_EQ(init(&state, taps.data(), 2, nullptr, block, kIirIdBiquad64f), dspStsNoErr);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(state), block + 24);
    EXPECT_EQ(state->isAllocated, 0);
    EXPECT_EQ(dspsIIRFree64f_32f_table[variant()](state), dspStsNoErr);  // a release would crash or be reported
    EXPECT_EQ(state->id, kIirIdBiquad64f);
}

// The state keeps copies: the caller's arrays may change or go right after.
TEST_P(Iir64fStateTest, DelayLineIsCopiedOrZeroed) {
    std::vector<double> taps = randomStableTaps(2, 5);
    std::vector<double> delay = {0.5, -1.25, 3, 0.125};
    State* withDelay = create(taps, delay.data());
    State* withoutDelay = create(taps);
    const std::vector<double> given = delay;
    delay.assign(4, 9.0);
    taps.assign(taps.size(), 9.0);
    expectSameDoubles(withDelay->pDlyLine, given, "given delay line");
    expectSameDoubles(withoutDelay->pDlyLine, {0, 0, 0, 0}, "no delay line");
    EXPECT_NE(withDelay->pTaps[0], 9.0);

    EXPECT_EQ(dspsIIRSetDlyLine64f_32f_table[variant()](withoutDelay, given.data()), dspStsNoErr);
    expectSameDoubles(withoutDelay->pDlyLine, given, "set delay line");
    EXPECT_EQ(dspsIIRSetDlyLine64f_32f_table[variant()](withDelay, nullptr), dspStsNoErr);
    expectSameDoubles(withDelay->pDlyLine, {0, 0, 0, 0}, "cleared delay line");
    release(withDelay);
    release(withoutDelay);
}

// New taps replace taps and tables and nothing else: the delay line stays.
TEST_P(Iir64fStateTest, SetTapsReplacesTapsAndTablesOnly) {
    const std::vector<double> delay = {0.5, -1.25, 3, 0.125};
    State* state = create(randomStableTaps(2, 1), delay.data());
    const std::vector<double> next = randomStableTaps(2, 2);
    State* fresh = create(next);
    ASSERT_EQ(dspsIIRSetTaps64f_32f_table[variant()](next.data(), state), dspStsNoErr);
    EXPECT_EQ(std::memcmp(state->pTaps, fresh->pTaps, 10 * sizeof(double)), 0);
    if (hasTables()) {
        EXPECT_EQ(std::memcmp(state->pTapsPair, fresh->pTapsPair, 2 * 256), 0);  // all three tables
    }
    expectSameDoubles(state->pDlyLine, delay, "delay line");
    release(state);
    release(fresh);
}

// A zero a0 or b0 anywhere refuses the whole set: no section changes, so
// the taps and the tables of the block path never disagree.
TEST_P(Iir64fStateTest, RefusedTapsChangeNothing) {
    State* state = create(randomStableTaps(3, 11));
    const std::vector<unsigned char> before = blockOf(variant(), state);
    for (int bad = 0; bad < 3; ++bad) {
        for (int index : {3, 0}) {
            std::vector<double> taps = randomStableTaps(3, 12);
            taps[6 * bad + index] = 0.0;
            EXPECT_EQ(dspsIIRSetTaps64f_32f_table[variant()](taps.data(), state), dspStsDivByZeroErr);
            EXPECT_EQ(blockOf(variant(), state), before) << "section " << bad << " tap " << index;
        }
    }
    release(state);
}

// Pointers first, then the identity: a record of another kind ("FI01", or
// the arbitrary-order "II17" that nothing builds) has no taps to set; delay
// line and release accept "II17" as well as "II18".
TEST_P(Iir64fStateTest, StatusTablesOfTapsDelayLineAndRelease) {
    const int v = variant();
    const std::vector<double> taps = identityTaps(1);
    const double delay[2] = {1, 2};
    EXPECT_EQ(dspsIIRSetTaps64f_32f_table[v](taps.data(), nullptr), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRSetDlyLine64f_32f_table[v](nullptr, delay), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRFree64f_32f_table[v](nullptr), dspStsNullPtrErr);

    State* state = create(taps);
    EXPECT_EQ(dspsIIRSetTaps64f_32f_table[v](nullptr, state), dspStsNullPtrErr);
    const std::vector<unsigned char> before = blockOf(v, state);
    for (Dsp32u foreign : {0x46493031u /* FI01 */, 0x49493137u /* II17 */, 0u}) {
        state->id = foreign;
        EXPECT_EQ(dspsIIRSetTaps64f_32f_table[v](taps.data(), state), dspStsContextMatchErr);
        const bool arbitrary = foreign == kIirIdArbitrary64f;
        EXPECT_EQ(dspsIIRSetDlyLine64f_32f_table[v](state, arbitrary ? nullptr : delay),
                  arbitrary ? dspStsNoErr : dspStsContextMatchErr);
        if (!arbitrary) {
            EXPECT_EQ(dspsIIRFree64f_32f_table[v](state), dspStsContextMatchErr);
        }
        state->id = kIirIdBiquad64f;
        EXPECT_EQ(blockOf(v, state), before) << std::hex << foreign;
    }
    release(state);
}

INSTANTIATE_FOR_EACH_VARIANT(Iir64fStateTest);

// The entry points reach the bodies of the chosen variant.
TEST(Iir64fStateEntryTest, EntryPointsRoundTrip) {
    const std::vector<double> taps = {2, 1, 0.5, 2, -1, 0.5};
    DspsIIRState64f_32f* state = nullptr;
    ASSERT_EQ(dspsIIRInitAlloc64f_BiQuad_32f(&state, taps.data(), 1, nullptr), dspStsNoErr);
    EXPECT_EQ(state->pTaps[3], -0.5);
    EXPECT_EQ(dspsIIRSetTaps64f_32f(identityTaps(1).data(), state), dspStsNoErr);
    EXPECT_EQ(state->pTaps[3], 0.0);
    EXPECT_EQ(dspsIIRSetDlyLine64f_32f(state, nullptr), dspStsNoErr);
    EXPECT_EQ(dspsIIRFree64f_32f(state), dspStsNoErr);
}

}  // namespace
