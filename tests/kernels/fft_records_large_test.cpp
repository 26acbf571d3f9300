// Records of the largest orders (a record of order 27 takes about 1.1 GB).
#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_spec.h"

namespace {

struct Exact {
    double re, im;
};
Exact exactTwiddle(std::int64_t e, std::int64_t length) {
    const double a = 2.0 * 3.141592653589793 * static_cast<double>(e) / static_cast<double>(length);
    return {std::cos(a), -std::sin(a)};
}

// The largest order: accepted, scaled by 1/sqrt(2^27) rounded once, and its
// half-length transform split on two recursion levels.
TEST(FftLargeRecords, Order27) {
    DspsFFTSpec_R_32f* spec = nullptr;
    ASSERT_EQ(dspsFFTInitAlloc_R_32f_table[4](&spec, 27, dspFftDivBySqrtN, 0), dspStsNoErr);
    const DspsFFTSpec_R_32f& r = *spec;
    EXPECT_EQ(r.scaleFactor, static_cast<float>(1.0 / std::sqrt(std::ldexp(1.0, 27))));
    EXPECT_EQ(r.scaleFwd, 1);
    EXPECT_EQ(r.scaleInv, 1);
    // m = 26 takes 8 levels off; its rows of order 18 are split again (4 + 14).
    ASSERT_NE(r.crossTwiddles[1], nullptr);
    EXPECT_EQ(r.crossTwiddles[2], nullptr);
    EXPECT_EQ(r.bufSize, 8 << 15);
    // Spot checks of the level-1 table (order 18, s = 4, groups of 64):
    // the first group's first radix-4 pass, columns 0..3, then W^(2c'), W^(3c').
    for (int lane = 0; lane < 4; ++lane)
        for (int power = 1; power <= 3; ++power) {
            const Exact w = exactTwiddle(power * lane, std::int64_t{1} << 16);
            EXPECT_NEAR(r.crossTwiddles[1][24 * 0 + 8 * (power - 1) + lane], w.re, 1e-7);
            EXPECT_NEAR(r.crossTwiddles[1][24 * 0 + 8 * (power - 1) + 4 + lane], w.im, 1e-7);
        }
    EXPECT_EQ(dspsFFTFree_R_32f(spec), dspStsNoErr);
}

}  // namespace
