// Complex-vector arithmetic and the Perm-spectrum product: each variant
// against a complex-product model at every length and offset, the complex
// division's zero-divisor rules and precision, and the check order of the
// complex additions.
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "float_bits.h"
#include "guarded_buffer.h"
#include "vector/arith_complex.h"
#include "shared/division_nan.h"
#include "placed_floats.h"
#include "variants.h"

namespace {

using MulPermKernel = void (*)(const Dsp32f*, Dsp32f*, int);
constexpr MulPermKernel kMulPermKernels[5] = {nullptr, dsp_n1::mulPermKernel, dsp_n2::mulPermKernel,
                                              dsp_n3::mulPermKernel, dsp_n4::mulPermKernel};

// The complex product a * b as a variant forms it: n0 with exact products
// and the sum in double, rounded once; SSE with every product rounded first.
Dsp32fc productModel(Dsp32fc a, Dsp32fc b, int variant) {
    if (variant == 0) {
        return {static_cast<float>(double{a.re} * b.re - double{a.im} * b.im),
                static_cast<float>(double{a.re} * b.im + double{a.im} * b.re)};
    }
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// Values of moderate size whose products round: enough to tell a product
// rounded to float from an exact one.
std::vector<float> randomFloats(std::size_t n, std::mt19937& rng) {
    std::uniform_real_distribution<float> value(-8.0f, 8.0f);
    std::vector<float> values(n);
    for (float& x : values) x = value(rng);
    return values;
}

// The floats of a placed vector as interleaved complex values.
const Dsp32fc* complexOf(PlacedFloats& floats) { return reinterpret_cast<const Dsp32fc*>(floats.data()); }

Dsp32fc complexAt(const std::vector<float>& v, std::size_t i) { return {v[2 * i], v[2 * i + 1]}; }

testing::AssertionResult sameComplex(const GuardedBuffer& out, std::size_t i, Dsp32fc expected) {
    const float re = out.get<float>(2 * i), im = out.get<float>(2 * i + 1);
    if (sameFloat(re, expected.re) && sameFloat(im, expected.im)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "element " << i << ": (" << re << ", " << im << ") expected ("
                                       << expected.re << ", " << expected.im << ")";
}

class ArithComplexTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

TEST_P(ArithComplexTest, OnePlusTwoITimesThreePlusFourI) {
    const Dsp32fc a[1] = {{1, 2}}, b[1] = {{3, 4}};
    Dsp32fc d[1] = {{3, 4}};
    ASSERT_EQ(dspsMul_32fc_table[variant()](a, b, d, 1), dspStsNoErr);
    EXPECT_EQ(d[0].re, -5.0f);
    EXPECT_EQ(d[0].im, 10.0f);
    d[0] = {3, 4};
    ASSERT_EQ(dspsMul_32fc_I_table[variant()](a, d, 1), dspStsNoErr);
    EXPECT_EQ(d[0].re, -5.0f);
    EXPECT_EQ(d[0].im, 10.0f);
}

TEST_P(ArithComplexTest, ProductsMatchTheModelAtEveryLengthAndOffset) {
    std::mt19937 rng(31 + variant());
    for (int len = 1; len <= 40; ++len) {
        for (std::size_t off1 : {0u, 2u, 4u, 8u, 12u}) {
            for (std::size_t off2 : {0u, 4u, 6u, 8u}) {
                for (std::size_t offDst : {0u, 2u, 4u, 8u, 12u}) {
                    const std::vector<float> v1 = randomFloats(2 * len, rng), v2 = randomFloats(2 * len, rng);
                    PlacedFloats s1(v1, off1), s2(v2, off2);
                    GuardedBuffer product(8u * len, offDst), inPlace(8u * len, offDst), scaled(8u * len, offDst);
                    std::memcpy(inPlace.bytes(), v2.data(), 8u * len);
                    ASSERT_EQ(dspsMul_32fc_table[variant()](complexOf(s1), complexOf(s2), product.as<Dsp32fc>(), len),
                              dspStsNoErr);
                    ASSERT_EQ(dspsMul_32fc_I_table[variant()](complexOf(s1), inPlace.as<Dsp32fc>(), len), dspStsNoErr);
                    ASSERT_EQ(dspsMul_32f32fc_table[variant()](s1.data(), complexOf(s2), scaled.as<Dsp32fc>(), len),
                              dspStsNoErr);
                    ASSERT_TRUE(product.guardsIntact() && inPlace.guardsIntact() && scaled.guardsIntact());
                    for (int i = 0; i < len; ++i) {
                        const Dsp32fc expected = productModel(complexAt(v1, i), complexAt(v2, i), variant());
                        ASSERT_TRUE(sameComplex(product, i, expected)) << "len " << len;
                        ASSERT_TRUE(sameComplex(inPlace, i, expected)) << "in place, len " << len;
                        const Dsp32fc c = complexAt(v2, i);
                        ASSERT_TRUE(sameComplex(scaled, i, {v1[i] * c.re, v1[i] * c.im})) << "real, len " << len;
                    }
                }
            }
        }
    }
}

TEST_P(ArithComplexTest, AdditionsRunTheRealAdditionOnTwiceTheFloats) {
    std::mt19937 rng(4);
    for (int len : {1, 2, 5, 6, 9, 33}) {
        for (std::size_t offset : {0u, 2u, 8u}) {
            const std::vector<float> v1 = randomFloats(2 * len, rng), v2 = randomFloats(2 * len, rng);
            PlacedFloats s1(v1, offset), s2(v2, 4);
            GuardedBuffer sum(8u * len, offset), inPlace(8u * len, 4);
            std::memcpy(inPlace.bytes(), v2.data(), 8u * len);
            ASSERT_EQ(dspsAdd_32fc_table[variant()](complexOf(s1), complexOf(s2), sum.as<Dsp32fc>(), len), dspStsNoErr);
            ASSERT_EQ(dspsAdd_32fc_I_table[variant()](complexOf(s1), inPlace.as<Dsp32fc>(), len), dspStsNoErr);
            ASSERT_TRUE(sum.guardsIntact() && inPlace.guardsIntact());
            for (int i = 0; i < 2 * len; ++i) {
                ASSERT_EQ(sum.get<float>(i), v1[i] + v2[i]);
                ASSERT_EQ(inPlace.get<float>(i), v2[i] + v1[i]);
            }
        }
    }
}

// The length is checked before the float count is formed; a count that
// does not fit an int is refused as a size, never wrapped.
TEST_P(ArithComplexTest, AdditionsCheckTheLengthFirstAndNeverOverflowIt) {
    const int k = variant();
    Dsp32fc v[3] = {};
    EXPECT_EQ(dspsAdd_32fc_table[k](nullptr, nullptr, nullptr, 0), dspStsSizeErr);
    EXPECT_EQ(dspsAdd_32fc_I_table[k](nullptr, nullptr, -1), dspStsSizeErr);
    EXPECT_EQ(dspsAdd_32fc_table[k](v, nullptr, v, 3), dspStsNullPtrErr);
    EXPECT_EQ(dspsAdd_32fc_I_table[k](nullptr, v, 3), dspStsNullPtrErr);
    for (int huge : {1 << 30, INT_MAX}) {
        EXPECT_EQ(dspsAdd_32fc_table[k](v, v, v, huge), dspStsSizeErr) << huge;
        EXPECT_EQ(dspsAdd_32fc_I_table[k](v, v, huge), dspStsSizeErr) << huge;
        EXPECT_EQ(dspsAdd_32fc_table[k](v, v, nullptr, huge), dspStsNullPtrErr) << huge;
    }
    for (const Dsp32fc& c : v) EXPECT_TRUE(c.re == 0.0f && c.im == 0.0f);
}

TEST_P(ArithComplexTest, OtherFunctionsCheckPointersThenLength) {
    const int k = variant();
    Dsp32fc v[1] = {{1, 1}};
    const Dsp32f r[1] = {1};
    EXPECT_EQ(dspsMul_32fc_table[k](v, nullptr, v, 0), dspStsNullPtrErr);
    EXPECT_EQ(dspsMul_32fc_table[k](v, v, v, 0), dspStsSizeErr);
    EXPECT_EQ(dspsMul_32fc_I_table[k](nullptr, v, 1), dspStsNullPtrErr);
    EXPECT_EQ(dspsMul_32fc_I_table[k](v, v, -2), dspStsSizeErr);
    EXPECT_EQ(dspsMul_32f32fc_table[k](nullptr, v, v, 1), dspStsNullPtrErr);
    EXPECT_EQ(dspsMul_32f32fc_table[k](r, v, v, 0), dspStsSizeErr);
    EXPECT_EQ(dspsDiv_32fc_table[k](v, v, nullptr, 1), dspStsNullPtrErr);
    EXPECT_EQ(dspsDiv_32fc_table[k](v, v, v, 0), dspStsSizeErr);
    EXPECT_EQ(dspsMulPerm_32f_I_table[k](nullptr, &v[0].re, 0), dspStsNullPtrErr);
    EXPECT_EQ(dspsMulPerm_32f_I_table[k](r, nullptr, 4), dspStsNullPtrErr);
    EXPECT_EQ(dspsMulPerm_32f_I_table[k](r, &v[0].re, 0), dspStsSizeErr);
    EXPECT_TRUE(v[0].re == 1.0f && v[0].im == 1.0f);
}

// --- Complex division --------------------------------------------------------------

// Per part, |error| <= kSseComplexDivisionError * |b| / |a| for the SSE
// variants (single-precision sums, a reciprocal estimate and one Newton step)
// whatever estimate within the architecture's 1.5·2^-12 the processor gives:
// the numerator's roundings 2·2^-24, |a|^2's 2·2^-24, the refined reciprocal's
// up to 4.74·2^-24 and the final product's 2^-24.
constexpr double kSseComplexDivisionError = 10.0 / (1 << 24);

testing::AssertionResult quotientClose(Dsp32fc got, Dsp32fc a, Dsp32fc b, int variant) {
    const double d = double{a.re} * a.re + double{a.im} * a.im;
    const double re = (double{a.re} * b.re + double{a.im} * b.im) / d;
    const double im = (double{a.re} * b.im - double{a.im} * b.re) / d;
    if (variant == 0) {
        // n0 computes 1/d then multiplies, in double, and rounds once.
        const double inv = 1.0 / d;
        const float exactRe = static_cast<float>((double{a.re} * b.re + double{a.im} * b.im) * inv);
        const float exactIm = static_cast<float>((double{a.re} * b.im - double{a.im} * b.re) * inv);
        if (bitsOf(got.re) == bitsOf(exactRe) && bitsOf(got.im) == bitsOf(exactIm)) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "n0 quotient (" << got.re << ", " << got.im << ")";
    }
    const double scale = std::hypot(double{b.re}, double{b.im}) / std::sqrt(d);
    const double limit = kSseComplexDivisionError * scale;
    if (std::abs(got.re - re) <= limit && std::abs(got.im - im) <= limit) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "quotient (" << got.re << ", " << got.im << ") expected (" << re << ", "
                                       << im << ")";
}

TEST_P(ArithComplexTest, DivisionCases) {
    const std::uint32_t nanBits = variant() == 0 ? kGenericDivisionNaN : kSseDivisionNaN;
    {
        const Dsp32fc a[1] = {{0.0f, -0.0f}}, b[1] = {{1.0f, 2.0f}};
        Dsp32fc q[1];
        ASSERT_EQ(dspsDiv_32fc_table[variant()](a, b, q, 1), dspStsDivByZero);
        EXPECT_EQ(bitsOf(q[0].re), nanBits);
        EXPECT_EQ(bitsOf(q[0].im), nanBits);
    }
    {
        const Dsp32fc a[1] = {{2.0f, 0.0f}}, b[1] = {{4.0f, 6.0f}};
        Dsp32fc q[1];
        ASSERT_EQ(dspsDiv_32fc_table[variant()](a, b, q, 1), dspStsNoErr);
        EXPECT_LE(ulpDistance(q[0].re, 2.0f), variant() == 0 ? 0 : 4);
        EXPECT_LE(ulpDistance(q[0].im, 3.0f), variant() == 0 ? 0 : 4);
    }
    {
        // |a|^2 underflows single precision: a zero divisor for SSE only.
        const Dsp32fc a[1] = {{1e-30f, 1e-30f}}, b[1] = {{1.0f, 0.0f}};
        Dsp32fc q[1];
        const DspStatus status = dspsDiv_32fc_table[variant()](a, b, q, 1);
        if (variant() == 0) {
            EXPECT_EQ(status, dspStsNoErr);
            EXPECT_TRUE(quotientClose(q[0], a[0], b[0], 0));
        } else {
            EXPECT_EQ(status, dspStsDivByZero);
            EXPECT_EQ(bitsOf(q[0].re), kSseDivisionNaN);
            EXPECT_EQ(bitsOf(q[0].im), kSseDivisionNaN);
        }
    }
}

TEST_P(ArithComplexTest, DivisionMatchesTheModelAtEveryLengthAndOffset) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> mantissa(0.5f, 1.0f);
    std::uniform_int_distribution<int> exponent(-10, 10), sign(0, 1);
    const auto ordinary = [&] { return (sign(rng) ? -1.0f : 1.0f) * std::ldexp(mantissa(rng), exponent(rng)); };
    for (int len = 1; len <= 13; ++len) {
        for (std::size_t offset : {0u, 2u, 4u, 8u, 12u}) {
            for (int zeroAt = -1; zeroAt < len; ++zeroAt) {  // -1: no zero divisor
                std::vector<float> divisors(2 * len), dividends(2 * len);
                for (float& x : divisors) x = ordinary();
                for (float& x : dividends) x = ordinary();
                if (zeroAt >= 0) divisors[2 * zeroAt] = divisors[2 * zeroAt + 1] = 0.0f;
                PlacedFloats a(divisors, offset), b(dividends, (offset + 8) % 16);
                GuardedBuffer q(8u * len, offset);
                const DspStatus status = dspsDiv_32fc_table[variant()](complexOf(a), complexOf(b), q.as<Dsp32fc>(), len);
                ASSERT_EQ(status, zeroAt >= 0 ? dspStsDivByZero : dspStsNoErr);
                ASSERT_TRUE(q.guardsIntact());
                for (int i = 0; i < len; ++i) {
                    const Dsp32fc got{q.get<float>(2 * i), q.get<float>(2 * i + 1)};
                    if (i == zeroAt) {
                        ASSERT_TRUE(std::isnan(got.re) && std::isnan(got.im));
                    } else {
                        ASSERT_TRUE(quotientClose(got, complexAt(divisors, i), complexAt(dividends, i), variant()))
                            << "len " << len << " offset " << offset << " element " << i;
                    }
                }
            }
        }
    }
}

// The four SSE bodies run one kernel: the same bits whatever the
// processor's reciprocal estimate gives.
TEST(ArithComplexDivisionTest, SseVariantsAgreeBitForBit) {
    std::mt19937 rng(29);
    std::vector<float> divisors = randomFloats(2 * 101, rng), dividends = randomFloats(2 * 101, rng);
    divisors[7] = divisors[8] = 0.0f;  // element 3 of the vector that starts at float 1
    std::vector<std::vector<float>> results;
    for (int v : supportedVariants()) {
        if (v == 0) continue;
        std::vector<float> out(divisors.size());
        const auto* a = reinterpret_cast<const Dsp32fc*>(divisors.data() + 1);
        const auto* b = reinterpret_cast<const Dsp32fc*>(dividends.data());
        EXPECT_EQ(dspsDiv_32fc_table[v](a, b, reinterpret_cast<Dsp32fc*>(out.data()), 100), dspStsDivByZero);
        results.push_back(out);
    }
    for (std::size_t k = 1; k < results.size(); ++k)
        for (std::size_t i = 0; i < results[k].size(); ++i)
            ASSERT_EQ(bitsOf(results[k][i]), bitsOf(results[0][i])) << i;
}

// --- Perm-spectrum product ----------------------------------------------------------

TEST(MulPermKernelTest, PairsMatchTheComplexProductAtEveryOffset) {
    std::mt19937 rng(77);
    for (int k : supportedVariants()) {
        if (k == 0) continue;  // n0 has no kernel
        for (int nPairs = 1; nPairs <= 9; ++nPairs) {
            for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
                for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
                    const std::vector<float> s = randomFloats(2 * nPairs, rng), d = randomFloats(2 * nPairs, rng);
                    PlacedFloats src(s, srcOffset);
                    GuardedBuffer dst(8u * nPairs, dstOffset);
                    std::memcpy(dst.bytes(), d.data(), 8u * nPairs);
                    kMulPermKernels[k](src.data(), dst.as<Dsp32f>(), nPairs);
                    ASSERT_TRUE(dst.guardsIntact());
                    for (int i = 0; i < nPairs; ++i)
                        ASSERT_TRUE(sameComplex(dst, i, productModel(complexAt(s, i), complexAt(d, i), k)))
                            << "n" << k << " pairs " << nPairs << " offsets " << srcOffset << "/" << dstOffset;
                }
            }
        }
    }
}

// Word 0 (and word 1 for an even length) real, then (re, im) pairs.
std::vector<float> permProductModel(const std::vector<float>& s, std::vector<float> d, int variant) {
    const std::size_t len = d.size(), firstPair = len % 2 == 0 ? 2 : 1;
    for (std::size_t w = 0; w < firstPair; ++w) d[w] *= s[w];
    for (std::size_t w = firstPair; w + 1 < len; w += 2) {
        const Dsp32fc p = productModel({s[w], s[w + 1]}, {d[w], d[w + 1]}, variant);
        d[w] = p.re;
        d[w + 1] = p.im;
    }
    return d;
}

TEST_P(ArithComplexTest, MulPermMultipliesRealWordsAndPairs) {
    std::mt19937 rng(5);
    for (int len : {1, 2, 3, 4, 5, 10, 12, 33, 64, 1026}) {
        for (std::size_t offset : {0u, 4u, 8u, 2u}) {
            const std::vector<float> s = randomFloats(len, rng), d = randomFloats(len, rng);
            PlacedFloats src(s, offset);
            GuardedBuffer dst(4u * len, (offset + 4) % 16);
            std::memcpy(dst.bytes(), d.data(), 4u * len);
            ASSERT_EQ(dspsMulPerm_32f_I_table[variant()](src.data(), dst.as<Dsp32f>(), len), dspStsNoErr);
            ASSERT_TRUE(dst.guardsIntact());
            const std::vector<float> expected = permProductModel(s, d, variant());
            for (int w = 0; w < len; ++w) ASSERT_EQ(bitsOf(dst.get<float>(w)), bitsOf(expected[w])) << len << "/" << w;
        }
    }
    // One spectrum squared in place: every pair read before it is written.
    const std::vector<float> s = randomFloats(12, rng);
    std::vector<float> d = s;
    ASSERT_EQ(dspsMulPerm_32f_I_table[variant()](d.data(), d.data(), 12), dspStsNoErr);
    const std::vector<float> expected = permProductModel(s, s, variant());
    for (int w = 0; w < 12; ++w) EXPECT_EQ(bitsOf(d[w]), bitsOf(expected[w])) << w;
}

INSTANTIATE_FOR_EACH_VARIANT(ArithComplexTest);

}  // namespace
