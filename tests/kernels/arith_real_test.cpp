// Element-wise real arithmetic: every variant against a scalar model over
// lengths and byte offsets, the aliasing rules, the streaming sizes, and the
// division's zero-divisor rules and precision.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "float_bits.h"
#include "guarded_buffer.h"
#include "vector/arith_real.h"
#include "shared/division_nan.h"
#include "placed_floats.h"
#include "variants.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The functions as (first source, second source, destination); an in-place
// function has no second source: its destination's old value takes part.
struct Function {
    const char* name;
    bool inPlace;
    DspStatus (*call)(int variant, const Dsp32f* src1, const Dsp32f* src2, Dsp32f* dst, int len);
    float (*model)(int variant, float src1, float src2, float oldDst);
};

const Function kFunctions[] = {
    {"Add_I", true, [](int v, const Dsp32f* s1, const Dsp32f*, Dsp32f* d, int n) { return dspsAdd_32f_I_table[v](s1, d, n); },
     [](int, float s1, float, float old) { return old + s1; }},
    {"Add", false, [](int v, const Dsp32f* s1, const Dsp32f* s2, Dsp32f* d, int n) { return dspsAdd_32f_table[v](s1, s2, d, n); },
     [](int, float s1, float s2, float) { return s1 + s2; }},
    {"Mul_I", true, [](int v, const Dsp32f* s1, const Dsp32f*, Dsp32f* d, int n) { return dspsMul_32f_I_table[v](s1, d, n); },
     [](int, float s1, float, float old) { return old * s1; }},
    {"Mul", false, [](int v, const Dsp32f* s1, const Dsp32f* s2, Dsp32f* d, int n) { return dspsMul_32f_table[v](s1, s2, d, n); },
     [](int, float s1, float s2, float) { return s1 * s2; }},
    {"Sub", false, [](int v, const Dsp32f* s1, const Dsp32f* s2, Dsp32f* d, int n) { return dspsSub_32f_table[v](s1, s2, d, n); },
     [](int, float s1, float s2, float) { return s2 - s1; }},
    {"AddProduct", false,
     [](int v, const Dsp32f* s1, const Dsp32f* s2, Dsp32f* d, int n) { return dspsAddProduct_32f_table[v](s1, s2, d, n); },
     [](int v, float s1, float s2, float old) {
         // n0 keeps the exact product; the SSE variants round it first.
         return v == 0 ? static_cast<float>(old + double{s1} * s2) : old + s1 * s2;
     }},
};

// Values of widely spread magnitude with a few infinities, NaNs, zeros and
// denormals among them.
std::vector<float> randomValues(std::size_t n, std::mt19937& rng) {
    std::uniform_real_distribution<float> mantissa(-2.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-20, 20);
    std::uniform_int_distribution<int> special(0, 60);
    const float specials[] = {kInf, -kInf, kNaN, 0.0f, -0.0f, 1e-41f};
    std::vector<float> values(n);
    for (float& x : values) {
        const int s = special(rng);
        x = s < 6 ? specials[s] : std::ldexp(mantissa(rng), exponent(rng));
    }
    return values;
}

std::vector<int> testLengths(std::mt19937& rng) {
    std::vector<int> lengths = {1, 10, 11, 12, 19};
    std::uniform_int_distribution<int> upTo200(1, 200);
    for (int i = 0; i < 6; ++i) lengths.push_back(upTo200(rng));
    return lengths;
}

// Runs one function at the given offsets and compares every element with the
// model; also checks the status and the guard zones.
testing::AssertionResult matchesModel(const Function& f, int variant, int len, std::size_t off1, std::size_t off2,
                                      std::size_t offDst, std::mt19937& rng) {
    const std::vector<float> v1 = randomValues(len, rng), v2 = randomValues(len, rng), old = randomValues(len, rng);
    PlacedFloats src1(v1, off1), src2(v2, off2);
    GuardedBuffer dst(len * 4u, offDst);
    std::memcpy(dst.bytes(), old.data(), len * 4u);
    const DspStatus status = f.call(variant, src1.data(), f.inPlace ? nullptr : src2.data(), dst.as<Dsp32f>(), len);
    if (status != dspStsNoErr) return testing::AssertionFailure() << f.name << " status " << status;
    if (!dst.guardsIntact()) return testing::AssertionFailure() << f.name << " wrote outside the destination";
    for (int i = 0; i < len; ++i) {
        const float expected = f.model(variant, v1[i], v2[i], old[i]);
        const float got = dst.get<float>(i);
        if (!sameFloat(got, expected))
            return testing::AssertionFailure() << f.name << " len " << len << " offsets " << off1 << "/" << off2
                                               << "/" << offDst << " element " << i << ": " << got << " expected "
                                               << expected;
    }
    return testing::AssertionSuccess();
}

class ArithRealTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

TEST_P(ArithRealTest, MatchesScalarModelAtEveryLengthAndOffset) {
    std::mt19937 rng(1234 + variant());
    for (const Function& f : kFunctions) {
        for (int len : testLengths(rng)) {
            for (std::size_t off1 = 0; off1 < 16; off1 += 2) {
                for (std::size_t offDst = 0; offDst < 16; offDst += 2) {
                    for (std::size_t off2 = 0; off2 < (f.inPlace ? 1u : 16u); off2 += 2) {
                        ASSERT_TRUE(matchesModel(f, variant(), len, off1, off2, offDst, rng));
                    }
                }
            }
        }
    }
}

// Above the streaming threshold the out-of-place Add and Sub write with
// non-temporal stores (n1 from 5462 passes, the others from 10923); the
// values must not change.
TEST_P(ArithRealTest, StreamingSizesGiveTheCachedResults) {
    std::mt19937 rng(99);
    const int sizes[] = {8 * 5461 + 7, 8 * 5462 + 11, 8 * 10923 + 5};
    for (const Function& f : kFunctions) {
        if (std::strcmp(f.name, "Add") != 0 && std::strcmp(f.name, "Sub") != 0) continue;
        for (int len : sizes) {
            for (std::size_t offDst : {0u, 4u, 12u}) {
                ASSERT_TRUE(matchesModel(f, variant(), len, 0, 8, offDst, rng));
                ASSERT_TRUE(matchesModel(f, variant(), len, 4, 4, offDst, rng));
            }
        }
    }
}

TEST_P(ArithRealTest, RejectsNullPointersBeforeLengthsAndWritesNothing) {
    const float src[4] = {1, 2, 3, 4};
    for (const Function& f : kFunctions) {
        GuardedBuffer dst(16, 0);
        dst.fill(0x5A);
        for (int len : {0, -1, 4}) {
            EXPECT_EQ(f.call(variant(), nullptr, src, dst.as<Dsp32f>(), len), dspStsNullPtrErr) << f.name;
            EXPECT_EQ(f.call(variant(), src, src, nullptr, len), dspStsNullPtrErr) << f.name;
            if (!f.inPlace) {
                EXPECT_EQ(f.call(variant(), src, nullptr, dst.as<Dsp32f>(), len), dspStsNullPtrErr) << f.name;
            }
        }
        for (int len : {0, -1, std::numeric_limits<int>::min()})
            EXPECT_EQ(f.call(variant(), src, src, dst.as<Dsp32f>(), len), dspStsSizeErr) << f.name;
        for (int i = 0; i < 16; ++i) EXPECT_EQ(dst.bytes()[i], 0x5A) << f.name;
    }
    Dsp32f out[4];
    EXPECT_EQ(dspsDiv_32f_table[variant()](src, src, nullptr, 0), dspStsNullPtrErr);
    EXPECT_EQ(dspsDiv_32f_table[variant()](src, src, out, 0), dspStsSizeErr);
}

// One array as every operand: each element is read before it is written.
TEST_P(ArithRealTest, ExactAliasingDoublesAndSquares) {
    std::mt19937 rng(7);
    for (int len = 1; len <= 70; ++len) {
        for (std::size_t offset = 0; offset < 16; offset += 2) {
            const std::vector<float> values = randomValues(len, rng);
            GuardedBuffer a(len * 4u, offset), b(len * 4u, offset);
            std::memcpy(a.bytes(), values.data(), len * 4u);
            std::memcpy(b.bytes(), values.data(), len * 4u);
            ASSERT_EQ(dspsAdd_32f_table[variant()](a.as<Dsp32f>(), a.as<Dsp32f>(), a.as<Dsp32f>(), len), dspStsNoErr);
            ASSERT_EQ(dspsMul_32f_I_table[variant()](b.as<Dsp32f>(), b.as<Dsp32f>(), len), dspStsNoErr);
            for (int i = 0; i < len; ++i) {
                ASSERT_TRUE(sameFloat(a.get<float>(i), values[i] + values[i])) << len << "/" << offset << "/" << i;
                ASSERT_TRUE(sameFloat(b.get<float>(i), values[i] * values[i])) << len << "/" << offset << "/" << i;
            }
            ASSERT_TRUE(a.guardsIntact() && b.guardsIntact());
        }
    }
}

// AddProduct allows partial overlap: whatever the distance, the result is
// the ascending element loop's, each element using the values just written.
TEST_P(ArithRealTest, AddProductWithOverlapGivesTheAscendingLoop) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    const Function& addProduct = kFunctions[5];
    for (int len : {1, 2, 9, 11, 12, 19, 40, 133}) {
        for (int shift : {1, -1, 3, 8, -8, len, 0}) {       // pSrcDst = pSrc1 + shift
            for (bool secondSource : {false, true}) {          // or pSrc2 + shift
                const int lead = shift < 0 ? -shift : 0;
                const int total = len + (shift < 0 ? -shift : shift);
                for (std::size_t offset : {0u, 2u, 4u, 12u}) {
                    GuardedBuffer buffer(total * 4u, offset);
                    std::vector<float> model(total), other(len);
                    for (float& x : model) x = value(rng);
                    for (float& x : other) x = value(rng);
                    std::memcpy(buffer.bytes(), model.data(), total * 4u);
                    PlacedFloats otherSource(other, offset);
                    const int srcAt = lead, dstAt = lead + shift;
                    Dsp32f* base = buffer.as<Dsp32f>();
                    const Dsp32f* src1 = secondSource ? otherSource.data() : base + srcAt;
                    const Dsp32f* src2 = secondSource ? base + srcAt : otherSource.data();
                    ASSERT_EQ(addProduct.call(variant(), src1, src2, base + dstAt, len), dspStsNoErr);
                    for (int i = 0; i < len; ++i) {
                        const float s = model[srcAt + i];
                        model[dstAt + i] = addProduct.model(variant(), s, other[i], model[dstAt + i]);
                    }
                    for (int i = 0; i < total; ++i)
                        ASSERT_EQ(bitsOf(buffer.get<float>(i)), bitsOf(model[i]))
                            << "len " << len << " shift " << shift << " offset " << offset << " element " << i;
                    ASSERT_TRUE(buffer.guardsIntact());
                }
            }
        }
    }
}

// --- Division ----------------------------------------------------------------

// Quotient bound of the SSE variants (reciprocal estimate plus one series
// step, all in single precision) for divisors and dividends of ordinary size,
// whatever estimate within the architecture's 1.5·2^-12 the processor gives:
// 1/b is met within 2.5·2^-24 and two more roundings follow. The development
// machine's estimate stays within 3.
constexpr std::int64_t kSseDivisionUlps = 4;

TEST_P(ArithRealTest, SubAndDivTakeTheFirstSourceAsSubtrahendAndDivisor) {
    const Dsp32f x[1] = {2.0f}, y[1] = {8.0f};
    Dsp32f out[1];
    ASSERT_EQ(dspsSub_32f_table[variant()](x, y, out, 1), dspStsNoErr);
    EXPECT_EQ(out[0], 6.0f);
    ASSERT_EQ(dspsDiv_32f_table[variant()](x, y, out, 1), dspStsNoErr);
    EXPECT_LE(ulpDistance(out[0], 4.0f), variant() == 0 ? 0 : kSseDivisionUlps);
}

struct ZeroDivisorRow {
    float dividend;
    float expected;  // NaN: the variant's division NaN
};
const ZeroDivisorRow kZeroDivisorRows[] = {{3.0f, kInf}, {-3.0f, -kInf}, {0.0f, kNaN}, {-0.0f, kNaN}, {kNaN, kNaN}};

TEST_P(ArithRealTest, DivisionByZeroFollowsTheTableInEveryUnitOfWork) {
    const std::uint32_t nanBits = variant() == 0 ? kGenericDivisionNaN : kSseDivisionNaN;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> ordinary(0.5f, 4.0f);
    // Each zero divisor at every position of vectors long enough to reach the
    // passes of 8, the groups of 4, 2 and 1 and the unaligned path.
    for (int len : {1, 2, 3, 5, 12, 19, 24}) {
        for (int at = 0; at < len; ++at) {
            for (std::size_t offset : {0u, 2u, 4u, 8u, 12u}) {
                for (const float zero : {0.0f, -0.0f}) {
                    const ZeroDivisorRow& row = kZeroDivisorRows[(at + len) % 5];
                    std::vector<float> divisors(len), dividends(len);
                    for (int i = 0; i < len; ++i) {
                        divisors[i] = ordinary(rng);
                        dividends[i] = ordinary(rng);
                    }
                    divisors[at] = zero;
                    dividends[at] = row.dividend;
                    PlacedFloats s1(divisors, offset), s2(dividends, (offset + 4) % 16);
                    GuardedBuffer dst(len * 4u, offset);
                    ASSERT_EQ(dspsDiv_32f_table[variant()](s1.data(), s2.data(), dst.as<Dsp32f>(), len), dspStsDivByZero);
                    ASSERT_TRUE(dst.guardsIntact());
                    const float got = dst.get<float>(at);
                    if (std::isnan(row.expected)) {
                        EXPECT_EQ(bitsOf(got), nanBits) << len << "/" << at << "/" << offset;
                    } else {
                        EXPECT_EQ(got, row.expected) << len << "/" << at << "/" << offset;
                    }
                    for (int i = 0; i < len; ++i) {
                        if (i == at) continue;
                        const float exact = dividends[i] / divisors[i];
                        EXPECT_LE(ulpDistance(dst.get<float>(i), exact), variant() == 0 ? 0 : kSseDivisionUlps);
                    }
                }
            }
        }
    }
}

TEST_P(ArithRealTest, DivisionNaNDivisorBesideAZeroGivesTheDefaultNaN) {
    const Dsp32f divisors[2] = {0.0f, floatFromBits(0xFFC12345u)};
    const Dsp32f dividends[2] = {1.0f, 1.0f};
    Dsp32f out[2];
    ASSERT_EQ(dspsDiv_32f_table[variant()](divisors, dividends, out, 2), dspStsDivByZero);
    EXPECT_EQ(out[0], kInf);
    ASSERT_TRUE(std::isnan(out[1]));
    if (variant() != 0) {
        EXPECT_EQ(bitsOf(out[1]), kSseDivisionNaN);
    }
}

TEST_P(ArithRealTest, DivisionQuotientsAreExactInN0AndCloseInSse) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-30, 30), sign(0, 1);
    const auto ordinary = [&] { return (sign(rng) ? -1.0f : 1.0f) * std::ldexp(mantissa(rng), exponent(rng)); };
    std::int64_t worst = 0;
    for (int len : {1, 3, 7, 8, 9, 16, 31, 200, 4096}) {
        for (std::size_t offset : {0u, 2u, 4u, 8u}) {
            std::vector<float> divisors(len), dividends(len);
            for (int i = 0; i < len; ++i) {
                divisors[i] = ordinary();
                dividends[i] = ordinary();
            }
            PlacedFloats s1(divisors, offset), s2(dividends, 0);
            GuardedBuffer dst(len * 4u, (offset * 3) % 16);
            ASSERT_EQ(dspsDiv_32f_table[variant()](s1.data(), s2.data(), dst.as<Dsp32f>(), len), dspStsNoErr);
            for (int i = 0; i < len; ++i) {
                const std::int64_t ulps = ulpDistance(dst.get<float>(i), dividends[i] / divisors[i]);
                worst = std::max(worst, ulps);
            }
        }
    }
    EXPECT_LE(worst, variant() == 0 ? 0 : kSseDivisionUlps);
    RecordProperty("worst_ulps", static_cast<int>(worst));
}

// The four SSE bodies run one division kernel: the same bits, zero divisors
// and NaNs included, whatever the processor's reciprocal estimate gives.
TEST(ArithRealDivisionTest, SseVariantsAgreeBitForBit) {
    std::mt19937 rng(23);
    const std::vector<float> divisors = randomValues(301, rng), dividends = randomValues(301, rng);
    std::vector<std::vector<float>> results;
    for (int v : supportedVariants()) {
        if (v == 0) continue;
        std::vector<float> out(divisors.size());
        dspsDiv_32f_table[v](divisors.data() + 1, dividends.data(), out.data() + 1, 300);
        results.push_back(out);
    }
    for (std::size_t k = 1; k < results.size(); ++k)
        for (std::size_t i = 1; i < results[k].size(); ++i)
            ASSERT_EQ(bitsOf(results[k][i]), bitsOf(results[0][i])) << i;
}

// The entry points run the chosen variant: visible in AddProduct, whose n0
// keeps the exact product.
TEST(ArithRealDispatchTest, EntryPointsRunTheChosenVariant) {
    const float a = 1.0f + std::ldexp(1.0f, -12);
    for (int v : supportedVariants()) {
        ScopedVariant chosen(v);
        const Dsp32f s[1] = {a};
        Dsp32f d[1] = {-1.0f};
        ASSERT_EQ(dspsAddProduct_32f(s, s, d, 1), dspStsNoErr);
        const float expected = v == 0 ? std::ldexp(1.0f, -11) + std::ldexp(1.0f, -24) : std::ldexp(1.0f, -11);
        EXPECT_EQ(d[0], expected) << "n" << v;
        Dsp32f sum[1];
        EXPECT_EQ(dspsAdd_32f(s, s, sum, 0), dspStsSizeErr);
        EXPECT_EQ(dspsMul_32f(s, s, sum, 1), dspStsNoErr);
        EXPECT_EQ(dspsAdd_32f_I(s, sum, 1), dspStsNoErr);
        EXPECT_EQ(dspsMul_32f_I(s, sum, 1), dspStsNoErr);
        EXPECT_EQ(sum[0], (a * a + a) * a);
    }
}

INSTANTIATE_FOR_EACH_VARIANT(ArithRealTest);

}  // namespace
