// Filtering through double-tap biquad cascades: argument checks, the generic
// variant against the reference loop bit for bit, the SSE variants against
// one another bit for bit and against the reference within a tight bound
// around every switch point (one-sample and block path, chunks of 1024), in
// place and out of place at every byte offset, continuity across calls,
// taps and delay lines replaced between blocks, and the block kernels alone.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "filters/iir64f.h"
#include "float_bits.h"
#include "iir64f_reference.h"
#include "iir_filter_call.h"
#include "placed_floats.h"
#include "tail_buffer.h"
#include "variants.h"

namespace {

using State = DspsIIRState64f_32f;

struct Result {
    std::vector<float> out;
    std::vector<double> delay;
};

State* createState(int variant, const std::vector<double>& taps, const double* delay = nullptr) {
    State* state = nullptr;
    EXPECT_EQ(dspsIIRInitAlloc64f_BiQuad_32f_table[variant](&state, taps.data(), static_cast<int>(taps.size() / 6),
                                                            delay),
              dspStsNoErr);
    return state;
}

std::vector<double> delayOf(const State* state) {
    return {state->pDlyLine, state->pDlyLine + state->dlyLineLen};
}

// Filters x in one call (see filterPlaced) and reads the delay line after it.
Result filterOnce(int variant, State* state, const std::vector<float>& x, bool inPlace, std::size_t offset) {
    return {filterPlaced(dspsIIR64f_32f_table[variant], dspsIIR64f_32f_I_table[variant], state, x, inPlace, offset),
            delayOf(state)};
}

Result filterFresh(int variant, const std::vector<double>& taps, const std::vector<float>& x, bool inPlace = false,
                   std::size_t offset = 0) {
    State* state = createState(variant, taps);
    Result result = filterOnce(variant, state, x, inPlace, offset);
    dspsIIRFree64f_32f_table[variant](state);
    return result;
}

// Float spacing at |value|: the bound of a correctly rounded output.
double floatSpacing(double value) {
    const float f = std::fabs(static_cast<float>(value));
    return static_cast<double>(std::nextafter(f, std::numeric_limits<float>::infinity())) - f;
}

// The SSE block path sums in other orders than the plain loop: its doubles
// differ in the last bits, so a float output may round the other way, never
// further. Rounding noise grows with the poles' closeness to z = 1 (about
// 1e5 times for a 20 Hz high-pass), so double values agree to 1e-10 of the
// signal's peak: far below one float step.
void expectCloseToReference(const Result& result, const std::vector<double>& y, const std::vector<double>& delay,
                            const std::string& what) {
    double peak = 0;
    for (double v : y) peak = std::max(peak, std::fabs(v));
    int reported = 0;
    for (std::size_t i = 0; i < y.size() && reported < 5; ++i) {
        if (std::fabs(result.out[i] - y[i]) > floatSpacing(y[i]) + 1e-10 * peak) {
            ADD_FAILURE() << what << ": output " << i << " is " << result.out[i] << ", reference " << y[i];
            ++reported;
        }
    }
    for (double v : delay) peak = std::max(peak, std::fabs(v));
    for (std::size_t i = 0; i < delay.size(); ++i)
        EXPECT_NEAR(result.delay[i], delay[i], 1e-10 * peak) << what << ": delay " << i;
}

void expectSameFloats(const std::vector<float>& a, const std::vector<float>& b, const std::string& what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!sameFloat(a[i], b[i])) {
            ADD_FAILURE() << what << ": element " << i << " " << a[i] << " vs " << b[i];
            return;
        }
}

// Lengths around each switch point of n sections: the one-sample path up to
// 4n samples, the block path from 4n + 1, its groups of four and eight, and
// chunks of 1024.
std::vector<int> lengthsFor(int sections) {
    std::vector<int> lengths = {1, 2, 3, 4 * sections, 4 * sections + 1, 4 * sections + 2, 4 * sections + 7, 40,
                                41, 42, 43, 1023, 1024, 1025, 2048, 2500};
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    return lengths;
}

class Iir64fFilterTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

// Pointers (state first), then the length, then the identity; nothing is
// written and the delay line stays on every refusal.
TEST_P(Iir64fFilterTest, ChecksInOrderAndWritesNothingOnRefusal) {
    const int v = variant();
    const std::vector<double> delay = {0.25, -0.5};
    State* state = createState(v, randomStableTaps(1, 3), delay.data());
    float src[4] = {1, 2, 3, 4}, dst[4] = {9, 9, 9, 9};
    struct Row {
        bool nullState, nullSrc, nullDst;
        int len;
        Dsp32u id;
        DspStatus expected;
    };
    const Row rows[] = {
        {true, false, false, 4, kIirIdBiquad64f, dspStsNullPtrErr},
        {false, true, false, 4, kIirIdBiquad64f, dspStsNullPtrErr},
        {false, false, true, 4, kIirIdBiquad64f, dspStsNullPtrErr},
        {true, false, false, 0, 0, dspStsNullPtrErr},  // pointers before length and identity
        {false, true, false, -1, 0, dspStsNullPtrErr},
        {false, false, false, 0, kIirIdBiquad64f, dspStsSizeErr},
        {false, false, false, INT_MIN, 0, dspStsSizeErr},  // length before identity
        {false, false, false, 4, 0x46493031 /* FI01 */, dspStsContextMatchErr},
        {false, false, false, 4, kIirIdArbitrary64f, dspStsContextMatchErr},
    };
    for (const Row& row : rows) {
        state->id = row.id;
        State* s = row.nullState ? nullptr : state;
        EXPECT_EQ(dspsIIR64f_32f_table[v](row.nullSrc ? nullptr : src, row.nullDst ? nullptr : dst, row.len, s),
                  row.expected);
        if (!row.nullDst) {
            EXPECT_EQ(dspsIIR64f_32f_I_table[v](row.nullSrc ? nullptr : dst, row.len, s), row.expected);
        }
        for (float value : dst) EXPECT_EQ(value, 9.0f);
        state->id = kIirIdBiquad64f;
        EXPECT_EQ(delayOf(state), delay);
    }
    dspsIIRFree64f_32f_table[v](state);
}

// Identity sections pass finite input through (the sign of a zero aside)
// on every path and keep the delay line at zero. A NaN sample poisons the
// delay line, and every later output, until the line is reset.
TEST_P(Iir64fFilterTest, IdentitySectionsPassInputThroughAndNaNStaysUntilReset) {
    const int v = variant();
    std::vector<float> x = randomSignal(1100, 4);
    x[5] = -0.0f;
    for (int sections : {1, 3}) {
        for (int len : {3, 4 * sections, 4 * sections + 1, 1100}) {
            const std::vector<float> part(x.begin(), x.begin() + len);
            const Result result = filterFresh(v, identityTaps(sections), part);
            for (int i = 0; i < len; ++i) ASSERT_EQ(result.out[i], part[i]) << sections << " sections, len " << len;
            for (double d : result.delay) EXPECT_EQ(d, 0.0);
        }
    }
    State* state = createState(v, identityTaps(2));
    std::vector<float> poisoned(30, 1.0f);
    poisoned[3] = std::numeric_limits<float>::quiet_NaN();
    Result result = filterOnce(v, state, poisoned, false, 0);
    EXPECT_EQ(result.out[2], 1.0f);
    for (int i = 3; i < 30; ++i) EXPECT_TRUE(std::isnan(result.out[i])) << i;
    result = filterOnce(v, state, std::vector<float>(30, 1.0f), true, 0);
    EXPECT_TRUE(std::isnan(result.out[29]));
    ASSERT_EQ(dspsIIRSetDlyLine64f_32f_table[v](state, nullptr), dspStsNoErr);
    result = filterOnce(v, state, std::vector<float>(30, 1.0f), true, 0);
    for (float y : result.out) EXPECT_EQ(y, 1.0f);
    dspsIIRFree64f_32f_table[v](state);
}

// A signal cut into calls of any lengths continues from the delay line: the
// generic variant gives exactly the one-call output, the SSE variants the
// reference within the bound.
TEST_P(Iir64fFilterTest, CallsContinueFromTheDelayLine) {
    const int v = variant();
    const std::vector<double> taps = randomStableTaps(3, 21);
    const std::vector<float> x = randomSignal(3000, 22);
    const int pieces[] = {1, 12, 13, 7, 1030, 5, 900, 1032};
    State* state = createState(v, taps);
    Result whole;
    std::size_t at = 0;
    for (int piece : pieces) {
        const std::vector<float> part(x.begin() + at, x.begin() + at + piece);
        const Result r = filterOnce(v, state, part, piece % 2 == 0, at % 16);
        whole.out.insert(whole.out.end(), r.out.begin(), r.out.end());
        whole.delay = r.delay;
        at += piece;
    }
    dspsIIRFree64f_32f_table[v](state);
    BiquadCascadeReference reference(taps);
    const std::vector<double> y = reference.run(std::vector<float>(x.begin(), x.begin() + at));
    if (v == 0) {
        expectSameFloats(whole.out, roundedToFloat(y), "pieces");
        EXPECT_EQ(whole.delay, reference.delay());
    } else {
        expectCloseToReference(whole, y, reference.delay(), "pieces");
    }
}

// New taps between two blocks (as the high-pass stage applies them on the
// audio thread) switch the filter at that sample and keep the delay line:
// the output follows the reference switched at the same sample, no jump of
// its own.
TEST_P(Iir64fFilterTest, NewTapsBetweenBlocksContinueFromTheDelayLine) {
    const int v = variant();
    const std::vector<double> before = highPassTaps(3, 80, 48000), after = highPassTaps(3, 320, 48000);
    const std::vector<float> x = randomSignal(1024, 31);
    const std::vector<float> first(x.begin(), x.begin() + 512), second(x.begin() + 512, x.end());
    State* state = createState(v, identityTaps(3));
    ASSERT_EQ(dspsIIRSetTaps64f_32f_table[v](before.data(), state), dspStsNoErr);
    Result r1 = filterOnce(v, state, first, true, 0);
    ASSERT_EQ(dspsIIRSetTaps64f_32f_table[v](after.data(), state), dspStsNoErr);
    Result r2 = filterOnce(v, state, second, true, 0);
    dspsIIRFree64f_32f_table[v](state);

    BiquadCascadeReference reference(before);
    std::vector<double> y = reference.run(first);
    reference.setTaps(after);
    const std::vector<double> y2 = reference.run(second);
    y.insert(y.end(), y2.begin(), y2.end());
    r1.out.insert(r1.out.end(), r2.out.begin(), r2.out.end());
    r1.delay = r2.delay;
    if (v == 0) {
        expectSameFloats(r1.out, roundedToFloat(y), "switched taps");
    } else {
        expectCloseToReference(r1, y, reference.delay(), "switched taps");
    }
}

// A delay line loaded between calls (or at creation) is continued by any
// variant as the transposed direct form II state it stands for.
TEST_P(Iir64fFilterTest, LoadedDelayLineIsContinued) {
    const int v = variant();
    const std::vector<double> taps = randomStableTaps(2, 41);
    const std::vector<float> x = randomSignal(600, 42);
    BiquadCascadeReference reference(taps);
    reference.run(std::vector<float>(x.begin(), x.begin() + 100));
    const std::vector<double> midway = reference.delay();
    const std::vector<float> rest(x.begin() + 100, x.end());
    const std::vector<double> y = reference.run(rest);

    State* loaded = createState(v, taps);
    filterOnce(v, loaded, randomSignal(50, 43), false, 0);  // some other history first
    ASSERT_EQ(dspsIIRSetDlyLine64f_32f_table[v](loaded, midway.data()), dspStsNoErr);
    State* created = createState(v, taps, midway.data());
    for (State* state : {loaded, created}) {
        const Result r = filterOnce(v, state, rest, false, 0);
        if (v == 0) {
            expectSameFloats(r.out, roundedToFloat(y), "loaded delay line");
            EXPECT_EQ(r.delay, reference.delay());
        } else {
            expectCloseToReference(r, y, reference.delay(), "loaded delay line");
        }
        dspsIIRFree64f_32f_table[v](state);
    }
}

INSTANTIATE_FOR_EACH_VARIANT(Iir64fFilterTest);

// The generic variant is the plain transposed direct form II loop in
// double: equal to the reference bit for bit, outputs and delay line.
TEST(Iir64fGenericTest, EqualsTheReferenceExactly) {
    for (int sections = 1; sections <= 6; ++sections) {
        const std::vector<double> taps = randomStableTaps(sections, 100 + sections);
        for (int len : lengthsFor(sections)) {
            const std::vector<float> x = randomSignal(len, len);
            BiquadCascadeReference reference(taps);
            const std::vector<float> expected = roundedToFloat(reference.run(x));
            for (bool inPlace : {false, true}) {
                const Result r = filterFresh(0, taps, x, inPlace, len % 16);
                const std::string what = std::to_string(sections) + " sections, len " + std::to_string(len);
                expectSameFloats(r.out, expected, what);
                EXPECT_EQ(r.delay, reference.delay()) << what;
            }
        }
    }
}

// The SSE variants run one code: the same bits as each other, in place and
// out of place and at every byte offset, close to the reference, for 1..6
// sections around every switch point; also with a high-pass whose poles lie
// near z = 1, where rounding matters most.
TEST(Iir64fSseTest, VariantsAgreeBitForBitAndStayCloseToTheReference) {
    std::vector<int> sse;
    for (int v : supportedVariants())
        if (v != 0) sse.push_back(v);
    if (sse.empty()) GTEST_SKIP() << "no SSE variant on this processor";
    std::vector<std::vector<double>> filters;
    for (int sections = 1; sections <= 6; ++sections) filters.push_back(randomStableTaps(sections, 200 + sections));
    filters.push_back(highPassTaps(3, 80, 48000));
    filters.push_back(highPassTaps(4, 20, 44100));
    for (const std::vector<double>& taps : filters) {
        const int sections = static_cast<int>(taps.size() / 6);
        for (int len : lengthsFor(sections)) {
            const std::vector<float> x = randomSignal(len, 7 * len + sections);
            BiquadCascadeReference reference(taps);
            const std::vector<double> y = reference.run(x);
            const std::string what = std::to_string(sections) + " sections, len " + std::to_string(len);
            const Result first = filterFresh(sse[0], taps, x);
            expectCloseToReference(first, y, reference.delay(), what);
            for (int v : sse) {
                for (bool inPlace : {false, true}) {
                    for (std::size_t offset : {0u, 1u, 4u, 8u, 13u}) {
                        const Result r = filterFresh(v, taps, x, inPlace, offset);
                        expectSameFloats(r.out, first.out, what + " " + variantLabel(v));
                        ASSERT_EQ(r.delay, first.delay) << what << " n" << v;
                    }
                }
            }
        }
    }
}

// A state laid out by the generic variant (no section tables), as one made
// before start-up would be, is filtered by the SSE bodies with the plain
// loop instead of reading tables it does not have.
TEST(Iir64fSseTest, GenericLayoutIsFilteredWithThePlainLoop) {
    const std::vector<double> taps = randomStableTaps(2, 9);
    const std::vector<float> x = randomSignal(300, 10);
    const Result expected = filterFresh(0, taps, x);
    for (int v : supportedVariants()) {
        State* state = createState(0, taps);
        ASSERT_EQ(dspsIIRSetTaps64f_32f_table[v](taps.data(), state), dspStsNoErr);
        const Result r = filterOnce(v, state, x, false, 0);
        expectSameFloats(r.out, expected.out, variantLabel(v));
        dspsIIRFree64f_32f_table[0](state);
    }
}

// The block kernels alone, on integer data and taps whose sums stay exact:
// every output is the exact value whatever the order of additions, so a
// misplaced sample or coefficient shows, and the inputs end at their heap
// blocks, so a read past in[m+1] faults under the sanitizer.
template <class Kernel>
void forEachSseLevel(Kernel kernel) {
    const auto& variants = supportedVariants();
    for (int v : variants) {
        if (v == 0) continue;
        kernel(v);
    }
}

struct KernelSet {
    decltype(&dsp_n1::iirFirPart32f) firPart32f;
    decltype(&dsp_n1::iirFirPart64f) firPart64f;
    decltype(&dsp_n1::iirAllPoleBlock64f) allPole64f;
    decltype(&dsp_n1::iirAllPoleBlock64f32f) allPole64f32f;
};

KernelSet kernelsOf(int v) {
    switch (v) {
        case 1: return {dsp_n1::iirFirPart32f, dsp_n1::iirFirPart64f, dsp_n1::iirAllPoleBlock64f, dsp_n1::iirAllPoleBlock64f32f};
        case 2: return {dsp_n2::iirFirPart32f, dsp_n2::iirFirPart64f, dsp_n2::iirAllPoleBlock64f, dsp_n2::iirAllPoleBlock64f32f};
        case 3: return {dsp_n3::iirFirPart32f, dsp_n3::iirFirPart64f, dsp_n3::iirAllPoleBlock64f, dsp_n3::iirAllPoleBlock64f32f};
        default: return {dsp_n4::iirFirPart32f, dsp_n4::iirFirPart64f, dsp_n4::iirAllPoleBlock64f, dsp_n4::iirAllPoleBlock64f32f};
    }
}

alignas(16) const double kPairs[6] = {3, 3, -2, -2, 5, 5};  // b0 = 3, b1 = -2, b2 = 5

TEST(Iir64fKernelTest, NumeratorPartsAreExactAndReadOnlyTheirInputs) {
    forEachSseLevel([](int v) {
        const KernelSet k = kernelsOf(v);
        for (int m = 1; m <= 21; ++m) {
            std::vector<float> in(m + 2);
            for (int i = 0; i < m + 2; ++i) in[i] = static_cast<float>((i * 7) % 11 - 5);
            std::vector<double> expected(m);
            for (int i = 0; i < m; ++i) expected[i] = 3.0 * in[i + 2] - 2.0 * in[i + 1] + 5.0 * in[i];
            for (std::size_t offset : {0u, 4u, 6u}) {
                PlacedFloats src(in, offset);
                alignas(16) double out[32];
                k.firPart32f(src.data(), out, m, kPairs);
                EXPECT_EQ(std::vector<double>(out, out + m), expected) << "float input, m " << m << " n" << v;
            }
            TailBuffer doubles((m + 2) * sizeof(double), 0);
            auto* d = reinterpret_cast<double*>(doubles.bytes());
            for (int i = 0; i < m + 2; ++i) d[i] = in[i];
            alignas(16) double out[32];
            k.firPart64f(d, out, m, kPairs);
            EXPECT_EQ(std::vector<double>(out, out + m), expected) << "double input, m " << m << " n" << v;
        }
    });
}

TEST(Iir64fKernelTest, AllPoleBlocksAreTheRecursionExactly) {
    forEachSseLevel([](int v) {
        const KernelSet k = kernelsOf(v);
        // p = 1, q = -2 (a1 = -1, a2 = 2): integers stay exact.
        const std::vector<double> taps = {1, 0, 0, 1, -1, 2};
        State* state = createState(v, taps);
        for (int m = 1; m <= 22; ++m) {
            alignas(16) double w[32];
            for (int i = 0; i < m; ++i) w[i] = (i * 5) % 7 - 3;
            std::vector<double> expected = {2, -1};
            for (int i = 0; i < m; ++i)
                expected.push_back(w[i] + 1.0 * expected[i + 1] - 2.0 * expected[i]);
            alignas(16) double y[40] = {2, -1};
            k.allPole64f(w, y, m, state->pFbBlock);
            EXPECT_EQ(std::vector<double>(y, y + m + 2), expected) << "m " << m << " n" << v;

            alignas(16) double y2[40] = {2, -1};
            std::vector<float> dst(m + 2, 99.0f);
            PlacedFloats placed(dst, 4);
            k.allPole64f32f(w, y2, m, state->pFbBlock, placed.data());
            const std::vector<float> floats = placed.values();
            for (int i = 2; i < m + 2; ++i) EXPECT_EQ(floats[i], static_cast<float>(expected[i])) << i;
            EXPECT_EQ(floats[0], 99.0f);
            EXPECT_EQ(y2[m], expected[m]);
            EXPECT_EQ(y2[m + 1], expected[m + 1]);
        }
        dspsIIRFree64f_32f_table[v](state);
    });
}

// The entry points reach the chosen variant's bodies.
TEST(Iir64fEntryTest, HighPassThroughTheEntryPoints) {
    const std::vector<double> taps = highPassTaps(3, 160, 48000);
    DspsIIRState64f_32f* state = nullptr;
    ASSERT_EQ(dspsIIRInitAlloc64f_BiQuad_32f(&state, taps.data(), 3, nullptr), dspStsNoErr);
    std::vector<float> x = randomSignal(512, 5);
    BiquadCascadeReference reference(taps);
    const std::vector<double> y = reference.run(x);
    ASSERT_EQ(dspsIIR64f_32f_I(x.data(), 512, state), dspStsNoErr);
    expectCloseToReference({x, delayOf(state)}, y, reference.delay(), "entry point");
    EXPECT_EQ(dspsIIRFree64f_32f(state), dspStsNoErr);
}

}  // namespace
