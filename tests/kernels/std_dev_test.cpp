// Standard deviation: argument checks, the guards that give +0, the routing
// of the hint, exact agreement of all paths on integer data, and the
// accuracy of the fast kernel.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "float_bits.h"
#include "vector/std_dev.h"
#include "tail_buffer.h"
#include "variants.h"

namespace {

constexpr int kAccurateHint = 0;
constexpr int kHints[] = {kAccurateHint, kStdDevFastHint};
constexpr float kUntouched = -123.0f;

float stdDev(int variant, const std::vector<float>& x, int hint) {
    float result = kUntouched;
    EXPECT_EQ(dspsStdDev_32f_table[variant](x.data(), static_cast<int>(x.size()), &result, hint), dspStsNoErr);
    return result;
}

class StdDevTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

TEST_P(StdDevTest, RejectsNullPointersThenLengthsBelowTwoWithoutWriting) {
    struct Row {
        bool nullSrc, nullResult;
        int len;
        DspStatus expected;
    };
    const Row rows[] = {
        {true, false, 4, dspStsNullPtrErr}, {false, true, 4, dspStsNullPtrErr},
        {true, true, 4, dspStsNullPtrErr},  {true, false, 1, dspStsNullPtrErr},  // pointers first
        {false, false, 1, dspStsSizeErr},   {false, false, 0, dspStsSizeErr},
        {false, false, -3, dspStsSizeErr},  {false, false, INT_MIN, dspStsSizeErr},
    };
    const float src[4] = {1, 2, 3, 4};
    for (const Row& row : rows) {
        for (int hint : kHints) {
            float result = kUntouched;
            EXPECT_EQ(dspsStdDev_32f_table[variant()](row.nullSrc ? nullptr : src, row.len,
                                                      row.nullResult ? nullptr : &result, hint),
                      row.expected)
                << "len " << row.len << " hint " << hint;
            EXPECT_EQ(result, kUntouched);
        }
    }
}

// Fixtures with a fixed answer, every path and hint. The fast kernel sums up
// to 8 elements in double and longer vectors in its lanes, so the guard
// cases come both short and long.
TEST_P(StdDevTest, KnownResultsAndThePlusZeroGuards) {
    const float inf = std::numeric_limits<float>::infinity();
    const float sqrt2 = 1.41421354f;
    struct Row {
        const char* what;
        std::vector<float> x;
        float expected;
    };
    const Row rows[] = {
        {"(1, 3)", {1, 3}, sqrt2},
        {"(3, 1, 3, 1, 3, 1, 3, 1, 3, 1)", {3, 1, 3, 1, 3, 1, 3, 1, 3, 1}, 1.05409253f},  // sqrt(10/9)
        {"constant 2.0", {2, 2, 2, 2}, 0.0f},
        {"constant 2.0, long", std::vector<float>(40, 2.0f), 0.0f},
        {"+infinity", {1, inf, 3}, 0.0f},
        {"+infinity, long", [&] { std::vector<float> v(40, 1.0f); v[21] = inf; return v; }(), 0.0f},
        {"-infinity, long", [&] { std::vector<float> v(40, 1.0f); v[3] = -inf; return v; }(), 0.0f},
    };
    for (const Row& row : rows) {
        for (int hint : kHints) {
            const float result = stdDev(variant(), row.x, hint);
            EXPECT_EQ(bitsOf(result), bitsOf(row.expected)) << row.what << " hint " << hint << " gives " << result;
        }
    }
}

// 78 copies of this value: in double, rounding makes n*Q - S^2 negative.
// Without the guard the square root would give NaN.
TEST_P(StdDevTest, NegativeNumeratorFromRoundingGivesPlusZero) {
    const std::vector<float> x(78, 0x1.8f01d6p+0f);
    EXPECT_EQ(bitsOf(stdDev(variant(), x, kAccurateHint)), bitsOf(0.0f));
    EXPECT_FALSE(std::isnan(stdDev(variant(), x, kStdDevFastHint)));
}

// The guards differ for a NaN whose sign bit is clear: the generic variant
// gives +0, the SSE kernels take its square root and give NaN.
TEST_P(StdDevTest, PositiveNaNElementGivesZeroInGenericAndNaNInKernels) {
    std::vector<float> x(40, 1.0f);
    x[17] = std::numeric_limits<float>::quiet_NaN();
    ASSERT_FALSE(std::signbit(x[17]));
    for (int hint : kHints) {
        const float result = stdDev(variant(), x, hint);
        if (variant() == 0) {
            EXPECT_EQ(bitsOf(result), bitsOf(0.0f)) << "hint " << hint;
        } else {
            EXPECT_TRUE(std::isnan(result)) << "hint " << hint;
        }
    }
}

// Sample deviation of integers, exact up to the final division and root.
float exactIntegerStdDev(const std::vector<int>& values) {
    std::int64_t s = 0, q = 0;
    for (int v : values) {
        s += v;
        q += std::int64_t(v) * v;
    }
    const std::int64_t n = static_cast<std::int64_t>(values.size());
    const double variance = static_cast<double>(n * q - s * s) / static_cast<double>(n * (n - 1));
    return static_cast<float>(std::sqrt(variance));
}

// Small integers keep every partial sum exact even in single precision, so
// both kernels and the generic variant give the same bits at the fast
// kernel's switch from scalar sums to lanes (8, 9), at block edges (16, 17)
// and around its chunks of 1024, at every source offset. The source ends at
// its allocation's end, so the sanitizer build catches any overread.
TEST_P(StdDevTest, IntegerDataGivesIdenticalResultsOnEveryPath) {
    std::mt19937 random(77);
    std::uniform_int_distribution<int> value(-9, 9);
    for (int len : {2, 3, 8, 9, 15, 16, 17, 31, 33, 1023, 1024, 1025, 2048, 2053}) {
        std::vector<int> ints(len);
        for (int& v : ints) v = value(random);
        std::vector<float> floats(ints.begin(), ints.end());
        const float expected = exactIntegerStdDev(ints);
        for (std::size_t offset = 0; offset < 16; ++offset) {
            TailBuffer src(len * sizeof(float), offset);
            std::memcpy(src.bytes(), floats.data(), src.size());
            const auto* x = reinterpret_cast<const Dsp32f*>(src.bytes());  // passed on, never dereferenced
            for (int hint : kHints) {
                float result = kUntouched;
                ASSERT_EQ(dspsStdDev_32f_table[variant()](x, len, &result, hint), dspStsNoErr);
                ASSERT_EQ(bitsOf(result), bitsOf(expected))
                    << "len " << len << " offset " << offset << " hint " << hint << " gives " << result;
            }
        }
    }
}

INSTANTIATE_FOR_EACH_VARIANT(StdDevTest);

std::vector<float> randomVector(int len, float centre, float spread, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-spread, spread);
    std::vector<float> x(len);
    for (float& v : x) v = centre + noise(random);
    return x;
}

// On general data: the accurate kernel sums exactly as the generic variant
// does, so they agree to the bit; the fast kernel stays close on
// well-scaled data; the four SSE variants agree to the bit with each other.
TEST(StdDevAgreementTest, AccurateKernelMatchesGenericAndFastKernelStaysClose) {
    for (int len : {2, 7, 9, 100, 1000, 1030, 5000}) {
        const std::vector<float> x = randomVector(len, 0.0f, 1.0f, static_cast<unsigned>(len));
        const float generic = stdDev(0, x, kAccurateHint);
        for (int variant : supportedVariants()) {
            if (variant == 0) continue;
            EXPECT_EQ(bitsOf(stdDev(variant, x, kAccurateHint)), bitsOf(generic)) << "len " << len << " n" << variant;
            const float fast = stdDev(variant, x, kStdDevFastHint);
            EXPECT_NEAR(fast, generic, 1e-5 * generic) << "len " << len << " n" << variant;
            EXPECT_EQ(bitsOf(fast), bitsOf(stdDev(1, x, kStdDevFastHint))) << "len " << len << " n" << variant;
        }
    }
}

// Data on a large offset, where single-precision lane sums lose digits:
// hint 1 alone selects the fast kernel; every other hint, the accurate one.
// The generic variant ignores the hint.
TEST(StdDevAgreementTest, OnlyHintOneSelectsTheFastKernel) {
    const std::vector<float> x = randomVector(3000, 4096.0f, 1.0f, 5);
    const int otherHints[] = {0, 2, -1, INT_MAX, INT_MIN};
    for (int variant : supportedVariants()) {
        const float accurate = stdDev(variant, x, kAccurateHint);
        for (int hint : otherHints)
            EXPECT_EQ(bitsOf(stdDev(variant, x, hint)), bitsOf(accurate)) << "n" << variant << " hint " << hint;
        const float fast = stdDev(variant, x, kStdDevFastHint);
        if (variant == 0) {
            EXPECT_EQ(bitsOf(fast), bitsOf(accurate));
        } else {
            EXPECT_NE(bitsOf(fast), bitsOf(accurate)) << "n" << variant;
        }
    }
}

}  // namespace
