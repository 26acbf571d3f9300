// Arithmetic with a constant: exact results against a scalar model at every
// length, alignment and variant; the special-constant shortcuts; argument
// checks; large vectors (prefetching and streaming paths).
//
// Classes: AddC, MulC, SubCRev and DivC are bit-identical in all variants
// (the generic variant rounds a double result once, which equals the float
// operation). AddProductC and MulC_32fc are identical across n1..n4, which
// round every product to float; n0 keeps the products exact, so it may differ
// in the last bit and is checked against its own double-precision model.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "float_bits.h"
#include "float_vectors.h"
#include "guarded_buffer.h"
#include "vector/arith_const.h"
#include "tail_buffer.h"
#include "variants.h"

namespace {

constexpr unsigned char kPrefill = 0x5C;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kSignallingNaN = floatFromBits(0x7F800001u);

// Deterministic inputs of mixed sign and magnitude, with a few specials.
float inputAt(std::size_t i) {
    switch (i % 23) {
        case 5: return -0.0f;
        case 11: return 1e-40f;  // subnormal
        case 17: return -kInf;
        default: break;
    }
    const auto mantissa = static_cast<float>((i * 2654435761u) % 100003) / 100003.0f;
    return (i % 2 ? -1.0f : 1.0f) * (0.5f + mantissa) * std::ldexp(1.0f, static_cast<int>(i % 13) - 6);
}

// A real function seen as dst[i] = f(src[i], dst[i]) in one variant; the
// in-place ones have src == dst.
struct RealFunction {
    std::string name;
    bool inPlace;
    std::function<DspStatus(int variant, const float* src, float val, float* dst, int len)> run;
    // The expected element for variant `variant`.
    std::function<float(int variant, float x, float acc, float c)> model;
};

std::vector<RealFunction> realFunctions() {
    return {
        {"dspsAddC_32f_I", true, [](int v, const float*, float c, float* d, int n) { return dspsAddC_32f_I_table[v](c, d, n); },
         [](int, float x, float, float c) { return x + c; }},
        {"dspsMulC_32f_I", true, [](int v, const float*, float c, float* d, int n) { return dspsMulC_32f_I_table[v](c, d, n); },
         [](int, float x, float, float c) { return x * c; }},
        {"dspsSubCRev_32f_I", true,
         [](int v, const float*, float c, float* d, int n) { return dspsSubCRev_32f_I_table[v](c, d, n); },
         [](int, float x, float, float c) { return c - x; }},
        {"dspsDivC_32f_I", true, [](int v, const float*, float c, float* d, int n) { return dspsDivC_32f_I_table[v](c, d, n); },
         [](int, float x, float, float c) { return x * (1.0f / c); }},
        {"dspsMulC_32f", false, [](int v, const float* s, float c, float* d, int n) { return dspsMulC_32f_table[v](s, c, d, n); },
         [](int, float x, float, float c) { return x * c; }},
        {"dspsSubCRev_32f", false,
         [](int v, const float* s, float c, float* d, int n) { return dspsSubCRev_32f_table[v](s, c, d, n); },
         [](int, float x, float, float c) { return c - x; }},
        {"dspsDivC_32f", false, [](int v, const float* s, float c, float* d, int n) { return dspsDivC_32f_table[v](s, c, d, n); },
         [](int, float x, float, float c) { return x * (1.0f / c); }},
        {"dspsAddProductC_32f", false,
         [](int v, const float* s, float c, float* d, int n) { return dspsAddProductC_32f_table[v](s, c, d, n); },
         [](int v, float x, float acc, float c) {
             if (v == 0) return static_cast<float>(double{acc} + double{x} * double{c});
             return acc + x * c;
         }},
    };
}

// Runs `f` over len elements with the source and destination at the given
// offsets from a 16-byte boundary (the source ending at its heap block's
// end) and compares every element and the guards.
void expectMatchesModel(const RealFunction& f, int variant, float c, int len, std::size_t srcOffset,
                        std::size_t dstOffset) {
    const std::size_t bytes = 4 * static_cast<std::size_t>(len);
    TailBuffer src(bytes, srcOffset);
    GuardedBuffer dst(bytes, dstOffset);
    for (int i = 0; i < len; ++i) {
        const float x = inputAt(static_cast<std::size_t>(i) + srcOffset);
        std::memcpy(src.bytes() + 4 * i, &x, 4);
        dst.set<float>(static_cast<std::size_t>(i), f.inPlace ? x : inputAt(static_cast<std::size_t>(i) * 3 + 7));
    }
    std::vector<float> expected(static_cast<std::size_t>(len));
    for (int i = 0; i < len; ++i) {
        float x;
        std::memcpy(&x, src.bytes() + 4 * i, 4);
        expected[static_cast<std::size_t>(i)] = f.model(variant, x, dst.get<float>(static_cast<std::size_t>(i)), c);
    }
    const auto* srcFloats = reinterpret_cast<const float*>(f.inPlace ? dst.bytes() : src.bytes());
    ASSERT_EQ(f.run(variant, srcFloats, c, dst.as<float>(), len), dspStsNoErr) << f.name;
    for (int i = 0; i < len; ++i) {
        const float got = dst.get<float>(static_cast<std::size_t>(i));
        ASSERT_TRUE(sameFloat(got, expected[static_cast<std::size_t>(i)]))
            << f.name << " len " << len << " offsets " << srcOffset << "/" << dstOffset << " element " << i << ": "
            << got << " expected " << expected[static_cast<std::size_t>(i)];
    }
    ASSERT_TRUE(dst.guardsIntact()) << f.name << " len " << len << " offsets " << srcOffset << "/" << dstOffset;
}

class ArithConstTest : public testing::TestWithParam<int> {};

TEST_P(ArithConstTest, RealFunctionsMatchTheModelAtEveryLengthAndOffset) {
    for (const RealFunction& f : realFunctions()) {
        for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
            for (std::size_t srcOffset = 0; srcOffset < (f.inPlace ? 1u : 16u); ++srcOffset) {
                for (int len = 1; len <= 100; ++len) {
                    expectMatchesModel(f, GetParam(), -0.7f, len, srcOffset, dstOffset);
                    if (testing::Test::HasFatalFailure()) return;
                }
            }
        }
    }
}

// Complex product: n1..n4 round every product to float; n0 rounds only the
// sums (its example in the contract: 1 + 2^-12 squared minus 1).
Dsp32fc complexModel(int variant, Dsp32fc x, Dsp32fc c) {
    if (variant == 0) {
        return {static_cast<float>(double{c.re} * x.re - double{c.im} * x.im),
                static_cast<float>(double{c.re} * x.im + double{c.im} * x.re)};
    }
    return {c.re * x.re - c.im * x.im, c.re * x.im + c.im * x.re};
}

TEST_P(ArithConstTest, ComplexMultiplyMatchesTheModelAtEveryLengthAndOffset) {
    const Dsp32fc c{0.8125f, -1.3f};
    for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
        for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
            for (int len = 1; len <= 40; ++len) {
                const std::size_t bytes = 8 * static_cast<std::size_t>(len);
                TailBuffer src(bytes, srcOffset);
                for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(len); ++i) {
                    const float x = inputAt(i + 1);
                    std::memcpy(src.bytes() + 4 * i, &x, 4);
                }
                GuardedBuffer dst(bytes, dstOffset);
                dst.fill(kPrefill);
                ASSERT_EQ(dspsMulC_32fc_table[GetParam()](reinterpret_cast<const Dsp32fc*>(src.bytes()), c,
                                                          dst.as<Dsp32fc>(), len),
                          dspStsNoErr);
                for (int i = 0; i < len; ++i) {
                    Dsp32fc x;
                    std::memcpy(&x, src.bytes() + 8 * i, 8);
                    const Dsp32fc want = complexModel(GetParam(), x, c);
                    const auto got = dst.get<Dsp32fc>(static_cast<std::size_t>(i));
                    ASSERT_TRUE(sameFloat(got.re, want.re) && sameFloat(got.im, want.im))
                        << "len " << len << " offsets " << srcOffset << "/" << dstOffset << " element " << i;
                }
                ASSERT_TRUE(dst.guardsIntact()) << "len " << len << " offsets " << srcOffset << "/" << dstOffset;
            }
        }
    }
}

// A vector of 19 elements (blocks and single elements) holding -0.0, a
// signalling NaN with a payload, infinities and ordinary numbers.
std::vector<float> specialVector() {
    std::vector<float> v;
    for (int i = 0; i < 19; ++i) v.push_back(inputAt(static_cast<std::size_t>(i)));
    v[1] = -0.0f;
    v[2] = kSignallingNaN;
    v[3] = floatFromBits(0xFFC12345u);  // negative quiet NaN with a payload
    v[4] = kInf;
    v[9] = -kInf;
    return v;
}

TEST_P(ArithConstTest, ShortcutsLeaveBitsAloneOrWritePositiveZero) {
    ScopedVariant forced(GetParam());
    const std::vector<float> original = specialVector();
    const int len = static_cast<int>(original.size());
    const std::vector<std::uint32_t> originalBits = bitsOfAll(original);
    const std::vector<std::uint32_t> positiveZeros(original.size(), 0u);

    for (const float zero : {0.0f, -0.0f}) {
        std::vector<float> v = original;
        EXPECT_EQ(dspsAddC_32f_I(zero, v.data(), len), dspStsNoErr);
        EXPECT_EQ(bitsOfAll(v), originalBits) << "AddC " << zero;

        EXPECT_EQ(dspsMulC_32f_I(zero, v.data(), len), dspStsNoErr);
        EXPECT_EQ(bitsOfAll(v), positiveZeros) << "MulC_I " << zero;

        std::vector<float> out(original.size(), 7.0f);
        EXPECT_EQ(dspsMulC_32f(original.data(), zero, out.data(), len), dspStsNoErr);
        EXPECT_EQ(bitsOfAll(out), positiveZeros) << "MulC " << zero;

        v = original;
        EXPECT_EQ(dspsDivC_32f_I(zero, v.data(), len), dspStsDivByZeroErr);
        EXPECT_EQ(bitsOfAll(v), originalBits) << "DivC_I " << zero;
    }

    std::vector<float> v = original;
    EXPECT_EQ(dspsMulC_32f_I(1.0f, v.data(), len), dspStsNoErr);
    EXPECT_EQ(bitsOfAll(v), originalBits) << "MulC_I by 1 keeps NaN payloads";
    EXPECT_EQ(dspsDivC_32f_I(1.0f, v.data(), len), dspStsNoErr);
    EXPECT_EQ(bitsOfAll(v), originalBits) << "DivC_I by 1";
    std::vector<float> out(original.size(), 7.0f);
    EXPECT_EQ(dspsMulC_32f(original.data(), 1.0f, out.data(), len), dspStsNoErr);
    EXPECT_EQ(bitsOfAll(out), originalBits) << "MulC by 1 copies";

    std::vector<float> finite(19, 3.0f);
    finite[0] = -5.0f;
    EXPECT_EQ(dspsDivC_32f_I(kInf, finite.data(), 19), dspStsNoErr);
    EXPECT_EQ(bitsOfAll(finite), positiveZeros) << "DivC_I by +infinity";
}

TEST_P(ArithConstTest, DivisionIsMultiplicationByTheRoundedReciprocal) {
    ScopedVariant forced(GetParam());
    std::vector<float> v(13, 5.0f);
    ASSERT_EQ(dspsDivC_32f_I(3.0f, v.data(), 13), dspStsNoErr);
    const float quotient = 5.0f / 3.0f;  // correctly rounded: just below 5/3
    for (const float x : v) EXPECT_EQ(x, std::nextafter(quotient, 2.0f));
}

TEST_P(ArithConstTest, ReverseSubtractionIsConstantMinusElement) {
    ScopedVariant forced(GetParam());
    std::vector<float> v(17, 3.0f);
    v[0] = v[8] = v[16] = 10.0f;
    ASSERT_EQ(dspsSubCRev_32f_I(10.0f, v.data(), 17), dspStsNoErr);
    for (int i = 0; i < 17; ++i) {
        const float want = (i % 8 == 0) ? 0.0f : 7.0f;
        EXPECT_EQ(bitsOf(v[static_cast<std::size_t>(i)]), bitsOf(want))
            << i;
    }
}

TEST_P(ArithConstTest, NaNConstantGivesNaNEverywhere) {
    const int variant = GetParam();
    const std::vector<float> original = specialVector();
    const int len = static_cast<int>(original.size());
    for (const RealFunction& f : realFunctions()) {
        std::vector<float> dst = original;
        ASSERT_EQ(f.run(variant, original.data(), kNaN, dst.data(), len), dspStsNoErr) << f.name;
        for (const float x : dst) EXPECT_TRUE(std::isnan(x)) << f.name;
    }
    std::vector<Dsp32fc> src(9, Dsp32fc{1.0f, 2.0f}), dst(9);
    ASSERT_EQ(dspsMulC_32fc_table[variant](src.data(), Dsp32fc{kNaN, kNaN}, dst.data(), 9), dspStsNoErr);
    for (const Dsp32fc& x : dst) EXPECT_TRUE(std::isnan(x.re) && std::isnan(x.im));
}

// The contract's example: (1 + 2^-12)^2 - 1 is 2^-11 with the product
// rounded to float first (SSE levels), 2^-11 + 2^-24 without (generic).
TEST_P(ArithConstTest, AddProductRoundsTheProductOnlyInTheSseVariants) {
    const float a = 1.0f + std::ldexp(1.0f, -12);
    std::vector<float> src(21, a), acc(21, -1.0f);
    ASSERT_EQ(dspsAddProductC_32f_table[GetParam()](src.data(), a, acc.data(), 21), dspStsNoErr);
    const float want = GetParam() == 0 ? std::ldexp(1.0f, -11) + std::ldexp(1.0f, -24) : std::ldexp(1.0f, -11);
    for (const float x : acc) EXPECT_EQ(x, want);
}

TEST_P(ArithConstTest, NullPointerBeforeLengthBeforeDivisionByZeroAndNothingWritten) {
    const int variant = GetParam();
    struct Case {
        bool nullSrc, nullDst;
        int len;
        float val;
        DspStatus expected;
    };
    const Case cases[] = {
        {false, true, 0, 2.0f, dspStsNullPtrErr}, {true, false, -1, 0.0f, dspStsNullPtrErr},
        {false, false, 0, 2.0f, dspStsSizeErr},   {false, false, -4, 0.0f, dspStsSizeErr},
        {false, false, 0, 1.0f, dspStsSizeErr},
    };
    for (const RealFunction& f : realFunctions()) {
        for (const Case& c : cases) {
            if (f.inPlace && c.nullSrc) continue;
            std::vector<float> src(8, 1.0f), dst(8, 9.0f);
            const DspStatus status =
                f.run(variant, c.nullSrc ? nullptr : src.data(), c.val, c.nullDst ? nullptr : dst.data(), c.len);
            EXPECT_EQ(status, c.expected) << f.name << " len " << c.len << " val " << c.val;
            EXPECT_EQ(dst, std::vector<float>(8, 9.0f)) << f.name;
        }
    }
    std::vector<Dsp32fc> src(4), dst(4);
    EXPECT_EQ(dspsMulC_32fc_table[variant](nullptr, Dsp32fc{1, 1}, dst.data(), 0), dspStsNullPtrErr);
    EXPECT_EQ(dspsMulC_32fc_table[variant](src.data(), Dsp32fc{1, 1}, nullptr, 4), dspStsNullPtrErr);
    EXPECT_EQ(dspsMulC_32fc_table[variant](src.data(), Dsp32fc{1, 1}, dst.data(), 0), dspStsSizeErr);
}

// Past the size switches the kernels prefetch past the caches (in place) or
// store non-temporally (two vectors, AddProductC always): the results must
// not change.
TEST_P(ArithConstTest, LargeVectorsMatchTheModel) {
    const std::pair<std::size_t, std::size_t> offsets[] = {{0, 0}, {4, 0}, {0, 8}, {3, 1}};
    for (const RealFunction& f : realFunctions())
        for (const auto& [srcOffset, dstOffset] : offsets) {
            expectMatchesModel(f, GetParam(), 1.75f, 300001, srcOffset, dstOffset);
            if (testing::Test::HasFatalFailure()) return;
        }
}

INSTANTIATE_FOR_EACH_VARIANT(ArithConstTest);

TEST(ArithConstDispatchTest, SharedBodiesFillTheSse41Slot) {
    EXPECT_EQ(dspsAddC_32f_I_table[4], n3_dspsAddC_32f_I);
    EXPECT_EQ(dspsSubCRev_32f_I_table[4], n3_dspsSubCRev_32f_I);
    EXPECT_EQ(dspsSubCRev_32f_table[4], n3_dspsSubCRev_32f);
    EXPECT_EQ(dspsAddProductC_32f_table[4], n3_dspsAddProductC_32f);
    EXPECT_EQ(dspsMulC_32fc_table[4], n3_dspsMulC_32fc);
    EXPECT_EQ(dspsMulC_32f_I_table[4], n4_dspsMulC_32f_I);
}

}  // namespace
