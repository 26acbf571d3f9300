// Natural logarithm and exponential: special values and warnings, the
// accuracy class of each variant, the limits of every exponential path,
// block and group boundaries, aliased calls and the caller's MXCSR.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "caller_mxcsr.h"
#include "dsp.h"
#include "float_bits.h"
#include "float_vectors.h"
#include "vector/ln_exp.h"
#include "placed_floats.h"
#include "variants.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// Largest distance from the exactly rounded result, over every input: 4 for
// the SIMD logarithm and 1 for n0's exponential groups, which use exact
// instructions. The SIMD exponential's groups refine a reciprocal estimate:
// 6 for any estimate within the architecture's 1.5·2^-12, though the
// development machine's gives 5.
constexpr std::int64_t kLnSimdUlp = 4;
constexpr std::int64_t kExpSimdGroupUlp = 6;
constexpr std::int64_t kExpGenericGroupUlp = 1;

float lnReference(float x) { return static_cast<float>(std::log(static_cast<double>(x))); }
float expReference(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }

// The three ways to take a logarithm; Aliased passes one array as both
// source and destination of dspsLn_32f.
enum class LnCall { InPlace, OutOfPlace, Aliased };
constexpr LnCall kLnCalls[] = {LnCall::InPlace, LnCall::OutOfPlace, LnCall::Aliased};

std::string nameOf(LnCall call) {
    switch (call) {
        case LnCall::InPlace: return "dspsLn_32f_I";
        case LnCall::OutOfPlace: return "dspsLn_32f";
        case LnCall::Aliased: return "dspsLn_32f aliased";
    }
    return "";
}

// Runs one logarithm body on x, placed srcOffset bytes past a 16-byte
// boundary (the destination dstOffset bytes past one), and checks that
// nothing outside the destination changed.
VectorOutcome runLn(LnCall call, int variant, const std::vector<float>& x, std::size_t srcOffset = 0,
              std::size_t dstOffset = 0) {
    PlacedFloats src(x, srcOffset);
    const int len = src.length();
    if (call == LnCall::OutOfPlace) {
        PlacedFloats dst(std::vector<float>(x.size(), -7.0f), dstOffset);
        const DspStatus status = dspsLn_32f_table[variant](src.data(), dst.data(), len);
        EXPECT_TRUE(dst.prefixIntact());
        EXPECT_EQ(bitsOfAll(src.values()), bitsOfAll(x)) << "source changed";
        return {dst.values(), status};
    }
    const DspStatus status = call == LnCall::InPlace ? dspsLn_32f_I_table[variant](src.data(), len)
                                                     : dspsLn_32f_table[variant](src.data(), src.data(), len);
    EXPECT_TRUE(src.prefixIntact());
    return {src.values(), status};
}

VectorOutcome runExp(int variant, const std::vector<float>& x, std::size_t offset = 0) {
    PlacedFloats data(x, offset);
    const DspStatus status = dspsExp_32f_I_table[variant](data.data(), data.length());
    EXPECT_TRUE(data.prefixIntact());
    return {data.values(), status};
}

// The logarithm of positive, non-NaN inputs: n0 is exactly float(log(double
// x)), the SIMD variants are within kLnSimdUlp of it; infinities exactly.
testing::AssertionResult lnWithinClass(int variant, const std::vector<float>& x, const std::vector<float>& got) {
    const std::int64_t bound = variant == 0 ? 0 : kLnSimdUlp;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const float want = lnReference(x[i]);
        const bool ok = std::isinf(want) ? bitsOf(got[i]) == bitsOf(want) : ulpDistance(got[i], want) <= bound;
        if (!ok) {
            return testing::AssertionFailure() << "element " << i << " of " << x.size() << ": ln(" << x[i]
                                               << " = 0x" << std::hex << bitsOf(x[i]) << ") gave " << got[i]
                                               << ", want " << want;
        }
    }
    return testing::AssertionSuccess();
}

// Positive floats from every binade, subnormals included, plus the values
// the reduction treats differently: around 1, around the sqrt(2) split of
// each binade, powers of two, and outside the exponent range of the fast path.
std::vector<float> positiveInputs(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::uint32_t> anyPositive(1, 0x7F7FFFFF);
    std::vector<float> x;
    for (std::uint32_t b : {0x3F800000u, 0x3F800001u, 0x3F7FFFFFu, 0x3F7FFFFEu, 0x3FB504F2u, 0x3FB504F3u,
                            0x3F3504F3u, 0x3F3504F2u, 0x00800000u, 0x7F7FFFFFu, 0x1F800000u, 0x5F800000u,
                            0x00000001u, 0x007FFFFFu, 0x3F476B01u})
        x.push_back(floatFromBits(b));
    while (x.size() < count) x.push_back(floatFromBits(anyPositive(rng)));
    return x;
}

// Inputs whose logarithm warns about nothing but which still leave the fast
// path (infinity, subnormals) mixed into positive normals.
std::vector<float> quietSpecialsMixed(std::size_t count, unsigned seed) {
    std::vector<float> x = positiveInputs(count + 15, seed);
    x.erase(x.begin(), x.begin() + 15);
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 7 == 3) x[i] = kInf;
        if (i % 11 == 5) x[i] = floatFromBits(static_cast<std::uint32_t>(i * 977 + 1) & 0x007FFFFF);
    }
    return x;
}

const std::vector<int> kBoundaryLengths = [] {
    std::vector<int> lengths;
    for (int n = 1; n <= 40; ++n) lengths.push_back(n);
    for (int n : {255, 256, 257, 258, 1023, 1024, 1025}) lengths.push_back(n);
    return lengths;
}();

class LnTest : public testing::TestWithParam<int> {};
class ExpTest : public testing::TestWithParam<int> {};

TEST(LnExpArguments, NullPointerComesBeforeLengthAndNothingIsWritten) {
    struct Entry {
        const char* name;
        bool hasSource;
        DspStatus (*call)(int variant, const Dsp32f* src, Dsp32f* dst, int len);
    };
    const Entry entries[] = {
        {"dspsLn_32f_I", false,
         [](int v, const Dsp32f*, Dsp32f* dst, int len) { return dspsLn_32f_I_table[v](dst, len); }},
        {"dspsLn_32f", true,
         [](int v, const Dsp32f* src, Dsp32f* dst, int len) { return dspsLn_32f_table[v](src, dst, len); }},
        {"dspsExp_32f_I", false,
         [](int v, const Dsp32f*, Dsp32f* dst, int len) { return dspsExp_32f_I_table[v](dst, len); }},
    };
    for (int v : supportedVariants()) {
        for (const Entry& e : entries) {
            const float src[3] = {-1.0f, 0.0f, 100.0f};
            float dst[3] = {-1.0f, 0.0f, 100.0f};
            for (int len : {0, -1, 3}) {
                EXPECT_EQ(e.call(v, src, nullptr, len), dspStsNullPtrErr) << e.name << " n" << v << " len " << len;
                if (e.hasSource) {
                    EXPECT_EQ(e.call(v, nullptr, dst, len), dspStsNullPtrErr) << e.name << " n" << v;
                }
            }
            for (int len : {0, -1, -1000}) EXPECT_EQ(e.call(v, src, dst, len), dspStsSizeErr) << e.name << " n" << v;
            EXPECT_EQ(bitsOf(dst[0]), bitsOf(-1.0f));
            EXPECT_EQ(bitsOf(dst[1]), 0u);
            EXPECT_EQ(dst[2], 100.0f) << e.name << " n" << v;
        }
    }
}

// Every special input alone and at each position of a vector of ordinary
// values, in each call form and at offsets that take the vector groups (0,
// 4) and the element-wise path (1): the special element gets its result and
// warning, its neighbours are not disturbed by the fix-up.
TEST_P(LnTest, SpecialValuesGiveTheirResultAndWarningWherever) {
    const int v = GetParam();
    constexpr std::uint32_t kAnyNan = 0xFFFFFFFFu;
    struct Row {
        std::uint32_t input;
        std::uint32_t generic;  // n0
        std::uint32_t simd;     // n1..n4
        DspStatus status;
    };
    const Row rows[] = {
        {0x00000000u, 0xFF800000u, 0xFF800000u, dspStsLnZeroArg},  // +0 -> -inf
        {0x80000000u, 0xFFC00000u, 0xFFC00000u, dspStsLnNegArg},   // -0 is negative, not zero
        {0xBF800000u, 0xFFC00000u, 0xFFC00000u, dspStsLnNegArg},   // -1
        {0x80000001u, 0xFFC00000u, 0xFFC00000u, dspStsLnNegArg},   // negative subnormal
        {0xFF800000u, 0xFFC00000u, 0xFFC00000u, dspStsLnNegArg},   // -inf
        {0xFFC01234u, 0xFFC00000u, 0xFFC00000u, dspStsLnNegArg},   // NaN with the sign set
        {0xFF800001u, 0xFFC00000u, 0xFFC00000u, dspStsLnNegArg},
        {0x7F800000u, 0x7F800000u, 0x7F800000u, dspStsNoErr},      // +inf
        {0x7FC01234u, 0x7FC00000u, 0x7FC01234u, dspStsNoErr},      // quiet NaN: SIMD keeps the payload
        {0x7F800001u, kAnyNan, kAnyNan, dspStsNoErr},              // signalling NaN
        {0x3F800000u, 0x00000000u, 0x00000000u, dspStsNoErr},      // ln 1 = +0 exactly
    };
    const std::vector<float> filler = positiveInputs(64, 7);
    for (const Row& row : rows) {
        const std::uint32_t want = v == 0 ? row.generic : row.simd;
        for (LnCall call : kLnCalls) {
            for (std::size_t offset : {0u, 4u, 1u}) {
                for (int at = -1; at < 64; ++at) {
                    std::vector<float> x = at < 0 ? std::vector<float>{floatFromBits(row.input)} : filler;
                    const std::size_t index = at < 0 ? 0 : static_cast<std::size_t>(at);
                    x[index] = floatFromBits(row.input);
                    const VectorOutcome out = runLn(call, v, x, offset, offset);
                    const std::string where = nameOf(call) + " input " + hexBits(row.input) +
                                              " at " + std::to_string(at) + " offset " + std::to_string(offset);
                    ASSERT_EQ(out.status, row.status) << where;
                    if (want == kAnyNan) {
                        ASSERT_TRUE(std::isnan(out.values[index])) << where;
                    } else {
                        ASSERT_EQ(bitsOf(out.values[index]), want) << where;
                    }
                    std::vector<float> others = out.values, inputs = x;
                    others.erase(others.begin() + static_cast<std::ptrdiff_t>(index));
                    inputs.erase(inputs.begin() + static_cast<std::ptrdiff_t>(index));
                    ASSERT_TRUE(lnWithinClass(v, inputs, others)) << where;
                }
            }
        }
    }
}

TEST_P(LnTest, ExtremePositiveInputsHaveTheirLogarithm) {
    const int v = GetParam();
    // Smallest and largest subnormal and normal, and normals outside the
    // exponent range of the fast path, alone and among ordinary values.
    const std::vector<float> extremes = {floatFromBits(0x00000001u), floatFromBits(0x007FFFFFu),
                                         floatFromBits(0x00000400u), std::numeric_limits<float>::min(),
                                         std::numeric_limits<float>::max(), std::ldexp(1.0f, -63),
                                         std::ldexp(1.5f, 64)};
    for (float e : extremes) {
        for (std::size_t offset : {0u, 1u}) {
            std::vector<float> x = positiveInputs(48, 3);
            x[20] = e;
            const VectorOutcome alone = runLn(LnCall::InPlace, v, {e}, offset);
            const VectorOutcome among = runLn(LnCall::InPlace, v, x, offset);
            EXPECT_EQ(alone.status, dspStsNoErr);
            EXPECT_EQ(among.status, dspStsNoErr);
            EXPECT_TRUE(lnWithinClass(v, {e}, alone.values)) << "offset " << offset;
            EXPECT_TRUE(lnWithinClass(v, x, among.values)) << "offset " << offset;
        }
    }
    EXPECT_NEAR(runLn(LnCall::InPlace, v, {floatFromBits(1)}).values[0], -103.279, 1e-3);
}

// Only the first +0.0 or negative element in index order decides the
// warning, also across blocks of 256 and inside one group of eight.
TEST_P(LnTest, FirstSpecialElementDecidesTheWarning) {
    const int v = GetParam();
    struct Placement {
        int index;
        float value;
    };
    struct Row {
        int length;
        std::vector<Placement> specials;
        DspStatus status;
    };
    const Row rows[] = {
        {2, {{0, -1.0f}, {1, 0.0f}}, dspStsLnNegArg},
        {2, {{0, 0.0f}, {1, -1.0f}}, dspStsLnZeroArg},
        {600, {{300, 0.0f}, {520, -1.0f}}, dspStsLnZeroArg},  // second block, then third
        {600, {{300, -1.0f}, {520, 0.0f}}, dspStsLnNegArg},
        {64, {{8, 0.0f}, {9, -0.0f}}, dspStsLnZeroArg},  // one group of eight
        {64, {{11, -0.0f}, {12, 0.0f}}, dspStsLnNegArg},
        {64, {{12, 0.0f}, {15, -5.0f}, {60, 0.0f}}, dspStsLnZeroArg},
        {1025, {{1024, 0.0f}}, dspStsLnZeroArg},  // the last element of the last block
        {1025, {{255, -2.0f}, {256, 0.0f}}, dspStsLnNegArg},
    };
    for (const Row& row : rows) {
        std::vector<float> x(static_cast<std::size_t>(row.length), 2.0f);
        for (const Placement& p : row.specials) x[static_cast<std::size_t>(p.index)] = p.value;
        for (LnCall call : kLnCalls) {
            for (std::size_t offset : {0u, 4u, 3u}) {
                const VectorOutcome out = runLn(call, v, x, offset, offset);
                const std::string where = nameOf(call) + " length " + std::to_string(row.length) + " offset " +
                                          std::to_string(offset);
                EXPECT_EQ(out.status, row.status) << where;
                for (const Placement& p : row.specials) {
                    const std::uint32_t want = bitsOf(p.value) == 0 ? 0xFF800000u : 0xFFC00000u;
                    EXPECT_EQ(bitsOf(out.values[static_cast<std::size_t>(p.index)]), want) << where;
                }
            }
        }
    }
}

// n0 is float(log(double(x))); the SIMD variants are within 4 ulp and agree
// with n1 bit for bit, in the vector groups (offset 0) and element-wise
// (offset 1); out of place gives the in-place bits.
TEST_P(LnTest, MatchesTheDoubleLogarithmWithinItsClass) {
    const int v = GetParam();
    const std::vector<float> x = positiveInputs(4096, 11);
    for (std::size_t offset : {0u, 1u}) {
        const VectorOutcome inPlace = runLn(LnCall::InPlace, v, x, offset);
        EXPECT_EQ(inPlace.status, dspStsNoErr);
        EXPECT_TRUE(lnWithinClass(v, x, inPlace.values)) << "offset " << offset;
        EXPECT_EQ(bitsOfAll(runLn(LnCall::OutOfPlace, v, x, offset, offset).values), bitsOfAll(inPlace.values));
        if (v >= 2) {
            EXPECT_EQ(bitsOfAll(runLn(LnCall::InPlace, 1, x, offset).values), bitsOfAll(inPlace.values));
        }
    }
}

// Lengths around the group of eight, the 32-element vector threshold and the
// block of 256, at every offset, with source and destination at the same and
// at different offsets from a 16-byte boundary.
TEST_P(LnTest, BlockAndGroupBoundaries) {
    const int v = GetParam();
    for (int len : kBoundaryLengths) {
        const std::vector<float> x = quietSpecialsMixed(static_cast<std::size_t>(len), static_cast<unsigned>(len));
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (LnCall call : {LnCall::InPlace, LnCall::OutOfPlace}) {
                for (std::size_t dstOffset : {offset, (offset + 4) % 16}) {
                    if (call == LnCall::InPlace && dstOffset != offset) continue;
                    const VectorOutcome out = runLn(call, v, x, offset, dstOffset);
                    const std::string where = nameOf(call) + " length " + std::to_string(len) + " offsets " +
                                              std::to_string(offset) + "/" + std::to_string(dstOffset);
                    ASSERT_EQ(out.status, dspStsNoErr) << where;
                    ASSERT_TRUE(lnWithinClass(v, x, out.values)) << where;
                    if (v >= 2) {
                        ASSERT_EQ(bitsOfAll(runLn(call, 1, x, offset, dstOffset).values), bitsOfAll(out.values))
                            << where;
                    }
                }
            }
        }
    }
}

// Which elements take the groups of eight (one shared division per pair of
// vectors) and which the short path (a division per element): in a block of
// 32 or more elements with a 4-byte-aligned pointer, (16 - address mod 16)/4
// head elements (so four when the block is already aligned), then the groups,
// then the rest. A short-path element gives the bits it gives alone.
TEST_P(LnTest, HeadAndTailElementsTakeTheShortPath) {
    const int v = GetParam();
    if (v == 0) GTEST_SKIP() << "n0 has one path";
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> nearOne(0.7f, 1.45f);  // small results show the rounding of s
    std::size_t groupElementsOffAlone = 0;
    for (int len : {32, 33, 36, 39, 40, 41, 256, 300}) {
        std::vector<float> x(static_cast<std::size_t>(len));
        for (float& e : x) e = nearOne(rng);
        std::vector<std::uint32_t> alone(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) alone[i] = bitsOf(runLn(LnCall::InPlace, v, {x[i]}).values[0]);
        for (std::size_t offset : {0u, 4u, 8u, 12u}) {
            std::vector<bool> inGroup(x.size(), false);
            const std::size_t head = (16 - offset) / 4;
            for (std::size_t start = 0; start < x.size(); start += 256) {
                const std::size_t n = std::min<std::size_t>(256, x.size() - start);
                if (n < 32) continue;
                const std::size_t end = start + head + (n - head) / 8 * 8;
                for (std::size_t i = start + head; i < end; ++i) inGroup[i] = true;
            }
            for (LnCall call : kLnCalls) {
                const VectorOutcome out = runLn(call, v, x, offset, offset);
                for (std::size_t i = 0; i < x.size(); ++i) {
                    if (inGroup[i]) {
                        groupElementsOffAlone += bitsOf(out.values[i]) != alone[i];
                    } else {
                        ASSERT_EQ(hexBits(bitsOf(out.values[i])), hexBits(alone[i]))
                            << nameOf(call) << " length " << len << " offset " << offset << " element " << i;
                    }
                }
            }
        }
    }
    EXPECT_GT(groupElementsOffAlone, 0u) << "the fixture does not tell the two paths apart";
}

// dspsLn_32f with pDst == pSrc must equal dspsLn_32f_I, special values and
// warning included, also where the vector groups run.
TEST_P(LnTest, AliasedCallEqualsTheInPlaceCall) {
    const int v = GetParam();
    for (int len : {40, 64, 300, 1025}) {
        for (bool zeroFirst : {true, false}) {
            std::vector<float> x = positiveInputs(static_cast<std::size_t>(len), 5);
            x[37] = zeroFirst ? 0.0f : -3.0f;
            x[39] = zeroFirst ? -3.0f : 0.0f;
            x[38] = kInf;
            if (len > 64) {
                x[45] = -0.0f;
                x[50] = floatFromBits(0x7FC01234u);
                x[51] = floatFromBits(0x00000123u);
            }
            if (len > 700) x[700] = 0.0f;
            for (std::size_t offset : {0u, 4u, 8u, 12u, 2u}) {
                const VectorOutcome aliased = runLn(LnCall::Aliased, v, x, offset);
                const VectorOutcome inPlace = runLn(LnCall::InPlace, v, x, offset);
                const std::string where = "length " + std::to_string(len) + " offset " + std::to_string(offset);
                EXPECT_EQ(aliased.status, zeroFirst ? dspStsLnZeroArg : dspStsLnNegArg) << where;
                EXPECT_EQ(aliased.status, inPlace.status) << where;
                EXPECT_EQ(bitsOfAll(aliased.values), bitsOfAll(inPlace.values)) << where;
                EXPECT_EQ(bitsOf(aliased.values[zeroFirst ? 37 : 39]), 0xFF800000u) << where;
            }
        }
    }
}

// What each exponential path gives at its limits. "Group" is the element
// among three ordinary ones (len 4: n0's rational path, a SIMD group of
// four), "short" the element alone (len 1: n0's runtime exp, the SIMD tail).
TEST_P(ExpTest, LimitsOfEachPath) {
    const int v = GetParam();
    enum Want { One, Inf, Zero, PositiveNan, NegativeNan, AnyNan, Exact, Near };
    struct Row {
        std::uint32_t input;
        Want genericGroup, genericShort, simdGroup, simdTail;
    };
    const Row rows[] = {
        {0x00000000u, One, Exact, Near, Exact},  // 0.0: n0 group exactly 1.0
        {0x80000000u, One, Exact, Near, Exact},
        {0x00000001u, One, Exact, Near, Exact},  // subnormal
        {0x42B00000u, Near, Exact, Inf, Inf},    // 88.0: n0 about 1.6516e38
        {0x42AE3333u, Near, Exact, Near, Inf},   // 87.0999985: a group computes, a tail saturates
        {0x42AE3334u, Near, Exact, Inf, Inf},
        {0x42B17217u, Near, Exact, Inf, Inf},    // 88.7228317: the largest finite result of n0
        {0x42B17218u, Inf, Inf, Inf, Inf},       // 88.7228394
        {0xC2AEAE14u, Zero, Exact, Zero, Zero},  // -87.34: n0 short keeps the subnormal 1.1714e-38
        {0xC2AEAC49u, Near, Exact, Near, Exact},
        {0xC2AEAC4Au, Near, Exact, Zero, Zero},  // -87.3365021, the SIMD underflow limit
        {0xC2AEAC50u, Zero, Exact, Zero, Zero},  // -87.3365479, n0's group underflow limit
        {0x7F800000u, Inf, Inf, Inf, Inf},
        {0xFF800000u, Zero, Zero, Zero, Zero},
        {0x7FC01234u, PositiveNan, AnyNan, PositiveNan, PositiveNan},
        {0xFFC01234u, NegativeNan, AnyNan, AnyNan, NegativeNan},
        {0x7F800001u, AnyNan, AnyNan, AnyNan, AnyNan},
        {0xFF800001u, AnyNan, AnyNan, AnyNan, AnyNan},
    };
    const auto check = [](Want want, float x, float got, std::int64_t bound) -> testing::AssertionResult {
        const float reference = expReference(x);
        bool ok = false;
        switch (want) {
            case One: ok = bitsOf(got) == bitsOf(1.0f); break;
            case Inf: ok = bitsOf(got) == bitsOf(kInf); break;
            case Zero: ok = bitsOf(got) == 0u; break;
            case PositiveNan: ok = bitsOf(got) == 0x7FC00000u; break;
            case NegativeNan: ok = bitsOf(got) == 0xFFC00000u; break;
            case AnyNan: ok = std::isnan(got); break;
            case Exact: ok = bitsOf(got) == bitsOf(reference); break;
            case Near: ok = std::isfinite(got) && ulpDistance(got, reference) <= bound; break;
        }
        if (ok) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "exp(0x" << std::hex << bitsOf(x) << ") gave 0x" << bitsOf(got)
                                           << " (" << got << "), reference " << reference;
    };
    for (const Row& row : rows) {
        const float x = floatFromBits(row.input);
        const VectorOutcome group = runExp(v, {x, 0.5f, -0.25f, 3.0f});
        const VectorOutcome alone = runExp(v, {x});
        EXPECT_EQ(group.status, dspStsNoErr);
        EXPECT_EQ(alone.status, dspStsNoErr);
        if (v == 0) {
            EXPECT_TRUE(check(row.genericGroup, x, group.values[0], kExpGenericGroupUlp)) << "n0, len 4";
            EXPECT_TRUE(check(row.genericShort, x, alone.values[0], 0)) << "n0, len 1";
        } else {
            EXPECT_TRUE(check(row.simdGroup, x, group.values[0], kExpSimdGroupUlp)) << "group of four";
            EXPECT_TRUE(check(row.simdTail, x, alone.values[0], 0)) << "trailing element";
        }
    }
    // Overflow, underflow and NaN everywhere still give no status.
    EXPECT_EQ(runExp(v, std::vector<float>(9, 1000.0f)).status, dspStsNoErr);
    EXPECT_EQ(runExp(v, std::vector<float>(9, floatFromBits(0xFFC00000u))).status, dspStsNoErr);
}

// SIMD: groups of four within 6 ulp, the last len mod 4 elements exactly
// rounded, all SIMD variants bit for bit alike. n0: exactly rounded below 4
// elements; from 4 on, the rational path within 1 ulp, except the fewer than
// four computable elements nearest the start, which are exactly rounded.
TEST_P(ExpTest, AccuracyOfGroupsTailsAndTheGenericBackwardScan) {
    const int v = GetParam();
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> computable(-87.3f, 87.0f);
    for (int len : kBoundaryLengths) {
        std::vector<float> x(static_cast<std::size_t>(len));
        for (float& e : x) e = computable(rng);
        // Limits: n0 writes them at once and leaves them out of its groups of
        // four; 0.0 is a limit for n0 only, the SIMD groups compute it.
        const bool withLimits = len > 9;
        if (withLimits) x[2] = 0.0f, x[6] = kInf, x[9] = -200.0f;
        const auto isLimit = [&](std::size_t i) { return withLimits && (i == 6 || i == 9 || (i == 2 && v == 0)); };
        std::vector<bool> exactlyRounded(x.size(), false);
        if (v == 0) {
            std::vector<std::size_t> computableAt;
            for (std::size_t i = 0; i < x.size(); ++i)
                if (!isLimit(i)) computableAt.push_back(i);
            const std::size_t leftover = len < 4 ? computableAt.size() : computableAt.size() % 4;
            for (std::size_t j = 0; j < leftover; ++j) exactlyRounded[computableAt[j]] = true;
        } else {
            for (std::size_t i = x.size() - x.size() % 4; i < x.size(); ++i) exactlyRounded[i] = true;
        }
        for (std::size_t offset = 0; offset < 16; ++offset) {
            const VectorOutcome out = runExp(v, x, offset);
            const std::string where = "length " + std::to_string(len) + " offset " + std::to_string(offset);
            ASSERT_EQ(out.status, dspStsNoErr) << where;
            for (std::size_t i = 0; i < x.size(); ++i) {
                const float want = expReference(x[i]);
                if (isLimit(i) || exactlyRounded[i]) {
                    ASSERT_EQ(bitsOf(out.values[i]), bitsOf(want)) << where << " element " << i;
                } else {
                    ASSERT_LE(ulpDistance(out.values[i], want), v == 0 ? kExpGenericGroupUlp : kExpSimdGroupUlp)
                        << where << " element " << i << " x " << x[i];
                }
            }
            if (v >= 2) {
                ASSERT_EQ(bitsOfAll(runExp(1, x, offset).values), bitsOfAll(out.values)) << where;
            }
        }
    }
}

// The caller's MXCSR (denormal modes, rounding, raised flags, unmasked
// exceptions) changes no result and is exactly as before after the call.
TEST(LnExpEnvironment, CallerMxcsrNeitherMattersNorChanges) {
    std::vector<float> x = positiveInputs(37, 21);
    const float specials[] = {-1.0f, 0.0f, floatFromBits(0x7F800001u), floatFromBits(0xFFC00000u), 100.0f,
                              -100.0f, floatFromBits(0x00000005u), 1e30f, kInf, -kInf, 87.0f};
    for (std::size_t i = 0; i < std::size(specials); ++i) x[3 * i + 1] = specials[i];
    for (int v : supportedVariants()) {
        for (int f = 0; f < 3; ++f) {
            const auto call = [&](std::vector<float>& data, std::vector<float>& out) {
                const int len = static_cast<int>(data.size());
                if (f == 0) return dspsLn_32f_I_table[v](data.data(), len);
                if (f == 1) return dspsLn_32f_table[v](data.data(), out.data(), len);
                return dspsExp_32f_I_table[v](data.data(), len);
            };
            std::vector<float> data = x, out(x.size());
            const DspStatus referenceStatus = call(data, out);
            const std::vector<float> reference = f == 1 ? out : data;
            for (Dsp32u state : kCallerMxcsrStates) {
                std::vector<float> data2 = x, out2(x.size());
                DspStatus status = 0;
                const Dsp32u after = mxcsrAfterCall(state, [&] { status = call(data2, out2); });
                SCOPED_TRACE(testing::Message() << "n" << v << " function " << f << " caller MXCSR " << hexBits(state));
                EXPECT_EQ(after, state);
                EXPECT_EQ(status, referenceStatus);
                EXPECT_EQ(bitsOfAll(f == 1 ? out2 : data2), bitsOfAll(reference));
            }
        }
    }
}

// The entry points run the variant start-up chose and return its status
// unchanged, warnings included. n0 and the SIMD variants differ visibly on a
// quiet NaN's payload (ln) and on 88.0 in a group of four (exp).
TEST_P(LnTest, EntryPointsRunTheChosenVariant) {
    const int v = GetParam();
    const ScopedVariant chosen(v);
    std::vector<float> x = {floatFromBits(0x7FC01234u), 0.0f, -1.0f, 2.0f};
    std::vector<float> viaBody = x, viaEntry = x, outOfPlace(x.size());
    const DspStatus bodyStatus = dspsLn_32f_I_table[v](viaBody.data(), 4);
    EXPECT_EQ(dspsLn_32f_I(viaEntry.data(), 4), bodyStatus);
    EXPECT_EQ(bodyStatus, dspStsLnZeroArg);
    EXPECT_EQ(dspsLn_32f(x.data(), outOfPlace.data(), 4), bodyStatus);
    EXPECT_EQ(bitsOfAll(viaEntry), bitsOfAll(viaBody));
    EXPECT_EQ(bitsOfAll(outOfPlace), bitsOfAll(viaBody));
    EXPECT_EQ(bitsOf(viaEntry[0]), v == 0 ? 0x7FC00000u : 0x7FC01234u);

    std::vector<float> e = {88.0f, 1.0f, 2.0f, 3.0f};
    EXPECT_EQ(dspsExp_32f_I(e.data(), 4), dspStsNoErr);
    EXPECT_EQ(std::isinf(e[0]), v != 0);
}

INSTANTIATE_FOR_EACH_VARIANT(LnTest);
INSTANTIATE_FOR_EACH_VARIANT(ExpTest);

}  // namespace
