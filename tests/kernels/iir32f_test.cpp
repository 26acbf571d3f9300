// Float-tap IIR filters of arbitrary order: status tables and check order of
// every entry, sizes and the state in a caller's buffer, the look-ahead rows
// of each level, filtering against a double reference for orders 1..8 around
// every block size (in place and out of place, at every offset), the delay
// line in and out, and the block kernels alone on exact integer data.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp_memory.h"
#include "filters/iir32f.h"
#include "float_bits.h"
#include "iir32f_reference.h"
#include "iir_filter_call.h"
#include "placed_floats.h"
#include "random_signal.h"
#include "variants.h"

namespace {

using State = DspsIIRState_32f;
const auto kSentinel = reinterpret_cast<State*>(std::uintptr_t{0x5a5a5a50});

State* createState(int v, const std::vector<float>& taps, const float* delay = nullptr) {
    State* state = nullptr;
    EXPECT_EQ(dspsIIRInitAlloc_32f_table[v](&state, taps.data(), static_cast<int>(taps.size() / 2) - 1, delay),
              dspStsNoErr);
    return state;
}

std::vector<float> delayOf(int v, const State* state) {
    std::vector<float> delay(state->dlyLineLen);
    EXPECT_EQ(dspsIIRGetDlyLine_32f_table[v](state, delay.data()), dspStsNoErr);
    return delay;
}

struct Result {
    std::vector<float> out, delay;
};

Result filterOnce(int v, State* state, const std::vector<float>& x, bool inPlace, std::size_t offset) {
    return {filterPlaced(dspsIIR_32f_table[v], dspsIIR_32f_I_table[v], state, x, inPlace, offset), delayOf(v, state)};
}

// Single-precision filtering: outputs and delay values within a small
// multiple of float rounding of the signal's peak.
void expectClose(const Result& r, const std::vector<double>& y, const std::vector<double>& delay,
                 const std::string& what) {
    double peak = 1e-30;
    for (double v : y) peak = std::max(peak, std::fabs(v));
    const double bound = 2e-5 * peak;
    int reported = 0;
    for (std::size_t i = 0; i < y.size() && reported < 5; ++i)
        if (!(std::fabs(r.out[i] - y[i]) <= bound)) {
            ADD_FAILURE() << what << ": output " << i << " is " << r.out[i] << ", reference " << y[i];
            ++reported;
        }
    for (std::size_t j = 0; j < delay.size(); ++j) EXPECT_NEAR(r.delay[j], delay[j], bound) << what << ": delay " << j;
}

class Iir32fTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

TEST_P(Iir32fTest, CreationAndSizeCheckPointersThenOrder) {
    const int v = variant();
    const std::vector<float> taps = {1, 0.5f, 1, 0.25f};
    std::vector<unsigned char> buffer(8192);
    struct Row {
        bool nullState, nullTaps, nullBuffer;
        int order;
        DspStatus expected;
    };
    const Row rows[] = {
        {true, false, false, 1, dspStsNullPtrErr},  {false, true, false, 1, dspStsNullPtrErr},
        {true, true, false, 0, dspStsNullPtrErr},   {false, true, false, -1, dspStsNullPtrErr},
        {false, false, false, 0, dspStsIIROrderErr}, {false, false, false, INT_MIN, dspStsIIROrderErr},
        {false, false, false, INT_MAX, dspStsMemAllocErr},
    };
    for (const Row& row : rows) {
        State* state = kSentinel;
        State** pp = row.nullState ? nullptr : &state;
        const float* t = row.nullTaps ? nullptr : taps.data();
        EXPECT_EQ(dspsIIRInitAlloc_32f_table[v](pp, t, row.order, nullptr), row.expected) << "order " << row.order;
        EXPECT_EQ(state, row.nullState || row.nullTaps ? kSentinel : nullptr) << "order " << row.order;
        if (row.order != INT_MAX) {
            state = kSentinel;
            EXPECT_EQ(dspsIIRInit_32f_table[v](pp, t, row.order, nullptr, buffer.data()), row.expected);
        }
    }
    State* state = kSentinel;
    EXPECT_EQ(dspsIIRInit_32f_table[v](&state, taps.data(), 1, nullptr, nullptr), dspStsNullPtrErr);
    EXPECT_EQ(state, kSentinel);

    int size = -1;
    EXPECT_EQ(dspsIIRGetStateSize_32f_table[v](1, nullptr), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRGetStateSize_32f_table[v](0, &size), dspStsIIROrderErr);
    EXPECT_EQ(dspsIIRGetStateSize_32f_table[v](INT_MAX, &size), dspStsMemAllocErr);
    EXPECT_EQ(size, -1);
}

// A zero a0 refuses creation (nothing left allocated, the pointer null) and
// a new set of taps (the state unchanged).
TEST_P(Iir32fTest, ZeroA0IsRefusedAndChangesNothing) {
    const int v = variant();
    std::vector<float> taps = randomArbitraryTaps(3, 1);
    State* state = createState(v, taps);
    int size = 0;
    ASSERT_EQ(dspsIIRGetStateSize_32f_table[v](3, &size), dspStsNoErr);
    const auto* bytes = reinterpret_cast<const unsigned char*>(state);
    const std::vector<unsigned char> before(bytes, bytes + size - 32);
    for (float zero : {0.0f, -0.0f}) {
        std::vector<float> bad = randomArbitraryTaps(3, 2);
        bad[4] = zero;
        EXPECT_EQ(dspsIIRSetTaps_32f_table[v](bad.data(), state), dspStsDivByZeroErr);
        EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + size - 32), before);
        State* refused = kSentinel;
        EXPECT_EQ(dspsIIRInitAlloc_32f_table[v](&refused, bad.data(), 3, nullptr), dspStsDivByZeroErr);
        EXPECT_EQ(refused, nullptr);
    }
    // b0 = 0 is a valid arbitrary-order filter (a pure delay in front).
    taps[0] = 0.0f;
    EXPECT_EQ(dspsIIRSetTaps_32f_table[v](taps.data(), state), dspStsNoErr);
    EXPECT_EQ(dspsIIRFree_32f_table[v](state), dspStsNoErr);
}

// Pointers first, then the identity, for taps, delay line, filtering and
// release; a record of another kind is refused and left alone.
TEST_P(Iir32fTest, StatusTablesOfTheStateAndFilterEntries) {
    const int v = variant();
    const std::vector<float> taps = {1, 0.5f, 1, 0.25f};
    const float delay[1] = {0.5f};
    float out[1] = {0}, src[4] = {1, 2, 3, 4}, dst[4] = {9, 9, 9, 9};
    State* state = createState(v, taps, delay);
    EXPECT_EQ(dspsIIRSetTaps_32f_table[v](nullptr, state), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRSetTaps_32f_table[v](taps.data(), nullptr), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRSetDlyLine_32f_table[v](nullptr, delay), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRGetDlyLine_32f_table[v](nullptr, out), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRGetDlyLine_32f_table[v](state, nullptr), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIRFree_32f_table[v](nullptr), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIR_32f_table[v](src, dst, 4, nullptr), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIR_32f_table[v](nullptr, dst, 4, state), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIR_32f_table[v](src, nullptr, 0, state), dspStsNullPtrErr);  // pointers before length
    EXPECT_EQ(dspsIIR_32f_I_table[v](nullptr, 4, state), dspStsNullPtrErr);
    EXPECT_EQ(dspsIIR_32f_table[v](src, dst, 0, state), dspStsSizeErr);
    EXPECT_EQ(dspsIIR_32f_I_table[v](dst, -1, state), dspStsSizeErr);

    state->id = 0x46493031;  // "FI01"
    EXPECT_EQ(dspsIIRSetTaps_32f_table[v](taps.data(), state), dspStsContextMatchErr);
    EXPECT_EQ(dspsIIRSetDlyLine_32f_table[v](state, nullptr), dspStsContextMatchErr);
    EXPECT_EQ(dspsIIRGetDlyLine_32f_table[v](state, out), dspStsContextMatchErr);
    EXPECT_EQ(dspsIIR_32f_table[v](src, dst, 4, state), dspStsContextMatchErr);
    EXPECT_EQ(dspsIIR_32f_I_table[v](dst, 4, state), dspStsContextMatchErr);
    EXPECT_EQ(dspsIIRFree_32f_table[v](state), dspStsContextMatchErr);
    state->id = kIirIdArbitrary32f;
    for (float value : dst) EXPECT_EQ(value, 9.0f);
    EXPECT_EQ(delayOf(v, state), std::vector<float>{0.5f});
    EXPECT_EQ(dspsIIRFree_32f_table[v](state), dspStsNoErr);
}

// Sizes by the areas (header aside), and a state built in a caller's
// buffer of exactly that size at any offset: on a 32-byte boundary, every
// array on 16 bytes, everything inside the buffer, not released by Free.
TEST_P(Iir32fTest, StateInACallersBufferFitsAtEveryOffset) {
    const int v = variant();
    for (int order : {1, 2, 5, 8}) {
        int size = 0;
        ASSERT_EQ(dspsIIRGetStateSize_32f_table[v](order, &size), dspStsNoErr);
        int generic = 0, sse = 0;
        dspsIIRGetStateSize_32f_table[0](order, &generic);
        dspsIIRGetStateSize_32f_table[1](order, &sse);
        const int taps = (8 * order + 19) & ~15, delay = (4 * order + 19) & ~15;
        EXPECT_EQ(generic, static_cast<int>(kIir32fHeaderBytes) + 32 + taps + delay) << order;
        EXPECT_EQ(sse - generic, 32 * order + 4200) << order;  // 4232 for order 1
        const std::vector<float> tapValues = randomArbitraryTaps(order, order);
        for (std::size_t offset = 0; offset < 32; offset += 4) {
            std::vector<unsigned char> storage(size + 64, 0xA5);
            Dsp8u* buffer = storage.data() + (32 - reinterpret_cast<std::uintptr_t>(storage.data()) % 32) + offset;
            State* state = nullptr;
            ASSERT_EQ(dspsIIRInit_32f_table[v](&state, tapValues.data(), order, nullptr, buffer), dspStsNoErr);
            const auto at = [&](const void* p) { return static_cast<const unsigned char*>(p) - buffer; };
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state) % 32, 0u);
            EXPECT_EQ(state->isAllocated, 0);
            EXPECT_EQ(state->pDlyLine[order], 0.0f);
            for (const void* area : {static_cast<const void*>(state->pTaps), static_cast<const void*>(state->pDlyLine)})
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(area) % 16, 0u);
            const unsigned char* end = reinterpret_cast<const unsigned char*>(state->pDlyLine + order + 1);
            if (v != 0) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state->pTapsQuad) % 16, 0u);
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state->pRecursionQuads) % 16, 0u);
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(state->pWork) % 16, 0u);
                end = reinterpret_cast<const unsigned char*>(state->pWork + kIir32fBlockLength);
            }
            EXPECT_LE(end - buffer, size) << "order " << order << " offset " << offset;
            EXPECT_GE(at(state), 0);
            EXPECT_EQ(dspsIIRFree_32f_table[v](state), dspStsNoErr);
            for (std::size_t i = static_cast<std::size_t>(buffer - storage.data()) + size; i < storage.size(); ++i)
                ASSERT_EQ(storage[i], 0xA5) << "written past the buffer";
        }
    }
}

// Order 1: one past-output row of powers of A1 and three input rows with the
// level's diagonal (0 where the work quad is added whole, 1 elsewhere).
TEST_P(Iir32fTest, OrderOneLookAheadRows) {
    const int v = variant();
    if (v == 0) GTEST_SKIP() << "the generic layout has no look-ahead rows";
    State* state = createState(v, {1, 0.5f, 2, -1.5f});  // A1 = 0.75
    const float A1 = 0.75f, d = v >= 3 ? 0.0f : 1.0f;
    const std::vector<float> expected = {A1, A1 * A1, (A1 * A1) * A1, ((A1 * A1) * A1) * A1, d, A1, A1 * A1,
                                         (A1 * A1) * A1, 0, d, A1, A1 * A1, 0, 0, d, A1};
    EXPECT_EQ(std::vector<float>(state->pRecursionQuads, state->pRecursionQuads + 16), expected);
    EXPECT_EQ(std::vector<float>(state->pTapsQuad, state->pTapsQuad + 8),
              (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f, 0.25f, 0.25f, 0.25f, 0.25f}));
    dspsIIRFree_32f_table[v](state);
}

// Lengths around each switch point of order N: sample by sample up to 4N,
// the block path from 4N + 1 with every remainder of L - N mod 4, and the
// blocks of 1024.
std::vector<int> lengthsFor(int order) {
    std::vector<int> lengths = {1, 4 * order, 4 * order + 1, 4 * order + 2, 4 * order + 3, 4 * order + 4,
                                37, 1023, 1024, 1025, 2100};
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    return lengths;
}

TEST_P(Iir32fTest, FiltersCloseToTheReferenceForOrdersOneToEight) {
    const int v = variant();
    for (int order = 1; order <= 8; ++order) {
        const std::vector<float> taps = randomArbitraryTaps(order, 50 + order);
        for (int len : lengthsFor(order)) {
            const std::vector<float> x = randomSignal(len, 3 * len + order);
            ArbitraryOrderReference reference(taps);
            const std::vector<double> y = reference.run(x);
            for (bool inPlace : {false, true}) {
                for (std::size_t offset : {0u, 4u, 8u, 12u, 2u}) {
                    State* state = createState(v, taps);
                    const Result r = filterOnce(v, state, x, inPlace, offset);
                    const std::string what = "order " + std::to_string(order) + " len " + std::to_string(len) +
                                             (inPlace ? " in place" : "") + " offset " + std::to_string(offset);
                    expectClose(r, y, reference.delay(), what);
                    dspsIIRFree_32f_table[v](state);
                }
            }
        }
    }
}

// The delay line carries the filter across calls; SetDlyLine loads what
// GetDlyLine read, so a filter restarted from it continues the signal.
TEST_P(Iir32fTest, DelayLineCarriesAcrossCallsAndRoundTrips) {
    const int v = variant();
    const std::vector<float> taps = randomArbitraryTaps(5, 77);
    const std::vector<float> x = randomSignal(2600, 78);
    ArbitraryOrderReference reference(taps);
    const std::vector<double> y = reference.run(x);

    State* state = createState(v, taps);
    Result whole;
    std::size_t at = 0;
    for (int piece : {3, 21, 1030, 7, 1500, 39}) {
        const Result r = filterOnce(v, state, std::vector<float>(x.begin() + at, x.begin() + at + piece),
                                    piece % 2 == 1, at % 16);
        whole.out.insert(whole.out.end(), r.out.begin(), r.out.end());
        whole.delay = r.delay;
        at += piece;
    }
    expectClose(whole, y, reference.delay(), "pieces");

    const std::vector<float> given = {0.5f, -0.25f, 0.125f, 1.0f, -2.0f};
    ASSERT_EQ(dspsIIRSetDlyLine_32f_table[v](state, given.data()), dspStsNoErr);
    EXPECT_EQ(delayOf(v, state), given);
    State* restarted = createState(v, taps, given.data());
    EXPECT_EQ(delayOf(v, restarted), given);
    const std::vector<float> more = randomSignal(300, 79);
    const Result a = filterOnce(v, state, more, false, 0), b = filterOnce(v, restarted, more, true, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.delay, b.delay);
    ASSERT_EQ(dspsIIRSetDlyLine_32f_table[v](state, nullptr), dspStsNoErr);
    EXPECT_EQ(delayOf(v, state), std::vector<float>(5, 0.0f));
    dspsIIRFree_32f_table[v](state);
    dspsIIRFree_32f_table[v](restarted);
}

INSTANTIATE_FOR_EACH_VARIANT(Iir32fTest);

// n1 and n2 share one code, as do n3 and n4: the same bits.
TEST(Iir32fVariantPairsTest, SharedCodeGivesTheSameBits) {
    const auto& variants = supportedVariants();
    for (auto [first, second] : {std::pair{1, 2}, std::pair{3, 4}}) {
        if (std::find(variants.begin(), variants.end(), second) == variants.end()) continue;
        for (int order : {1, 4, 7}) {
            const std::vector<float> taps = randomArbitraryTaps(order, order);
            const std::vector<float> x = randomSignal(1500, 5);
            State* s1 = createState(first, taps);
            State* s2 = createState(second, taps);
            const Result a = filterOnce(first, s1, x, false, 4), b = filterOnce(second, s2, x, true, 8);
            EXPECT_EQ(std::memcmp(a.out.data(), b.out.data(), x.size() * 4), 0) << first << "/" << second;
            EXPECT_EQ(a.delay, b.delay);
            dspsIIRFree_32f_table[first](s1);
            dspsIIRFree_32f_table[second](s2);
        }
    }
}

// The kernels alone on small integers, where every float sum is exact: a
// misplaced sample, tap or row shows as a wrong value, and a read past the
// inputs' end faults under the sanitizer (the inputs end at their block).
using NumeratorKernel = decltype(&dsp_n1::iirBlockNumerator32f);
using RecursionKernel = decltype(&dsp_n1::iirBlockRecursion32f);

std::pair<NumeratorKernel, RecursionKernel> kernelsOf(int v) {
    switch (v) {
        case 1: return {dsp_n1::iirBlockNumerator32f, dsp_n1::iirBlockRecursion32f};
        case 2: return {dsp_n2::iirBlockNumerator32f, dsp_n2::iirBlockRecursion32f};
        case 3: return {dsp_n3::iirBlockNumerator32f, dsp_n3::iirBlockRecursion32f};
        default: return {dsp_n4::iirBlockNumerator32f, dsp_n4::iirBlockRecursion32f};
    }
}

TEST(Iir32fKernelTest, NumeratorAndRecursionAreExactOnIntegers) {
    std::mt19937 random(8);
    std::uniform_int_distribution<int> small(-3, 3), unit(-1, 1);
    for (int v : supportedVariants()) {
        if (v == 0) continue;
        const auto [numerator, recursion] = kernelsOf(v);
        for (int order = 1; order <= 8; ++order) {
            // b small integers, a0 = 1, c_m = -a_m in {-1, 0, 1}.
            std::vector<float> taps;
            for (int i = 0; i <= order; ++i) taps.push_back(static_cast<float>(small(random)));
            taps[0] = 2;
            taps.push_back(1);
            std::vector<float> c(order + 1, 0.0f);
            for (int m = 1; m <= order; ++m) {
                c[m] = static_cast<float>(unit(random));
                taps.push_back(-c[m]);
            }
            State* state = createState(v, taps);
            for (int len = 1; len <= 17; ++len) {
                std::vector<float> x(len + order);
                for (float& value : x) value = static_cast<float>(small(random));
                PlacedFloats src(x, 4 * (len % 4));
                alignas(16) float work[32];
                numerator(src.data(), work, len, state->pTapsQuad, order);
                std::vector<float> y(x.begin(), x.begin() + order);  // the outputs before the block
                for (int i = 0; i < len; ++i) {
                    float w = 0;
                    for (int k = 0; k <= order; ++k) w += taps[k] * x[i + order - k];
                    ASSERT_EQ(work[i], w) << variantLabel(v) << " order " << order << " len " << len << " i " << i;
                    float next = w;
                    for (int m = 1; m <= order; ++m) next += c[m] * y[order + i - m];
                    y.push_back(next);
                }
                PlacedFloats dst(std::vector<float>(y.begin(), y.begin() + order + len), 4 * (len % 3) + 2);
                for (int i = 0; i < len; ++i) std::memcpy(dst.data() + order + i, "\x7f\x7f\x7f\x7f", 4);
                recursion(work, dst.data(), len, state->pRecursionQuads, order);
                EXPECT_EQ(dst.values(), y) << variantLabel(v) << " order " << order << " len " << len;
            }
            dspsIIRFree_32f_table[v](state);
        }
    }
}

TEST(Iir32fEntryTest, EntryPointsRoundTrip) {
    const std::vector<float> taps = randomArbitraryTaps(4, 3);
    DspsIIRState_32f* state = nullptr;
    ASSERT_EQ(dspsIIRInitAlloc_32f(&state, taps.data(), 4, nullptr), dspStsNoErr);
    std::vector<float> x = randomSignal(700, 4);
    ArbitraryOrderReference reference(taps);
    const std::vector<double> y = reference.run(x);
    ASSERT_EQ(dspsIIR_32f_I(x.data(), 700, state), dspStsNoErr);
    std::vector<float> delay(4);
    ASSERT_EQ(dspsIIRGetDlyLine_32f(state, delay.data()), dspStsNoErr);
    expectClose({x, delay}, y, reference.delay(), "entry points");
    EXPECT_EQ(dspsIIRSetTaps_32f(taps.data(), state), dspStsNoErr);
    EXPECT_EQ(dspsIIRSetDlyLine_32f(state, nullptr), dspStsNoErr);
    EXPECT_EQ(dspsIIRFree_32f(state), dspStsNoErr);
}

}  // namespace
