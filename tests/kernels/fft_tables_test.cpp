// Real-FFT tables: every stored twiddle is a correctly rounded sine-table
// value in the layout its readers walk, the bit-reverse tables list the
// permutation in their three forms, and the recursion tables hold the
// cross-stage factors of each level in the order the cross stage reads them.
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "fft/fft_tables.h"

namespace {

// cos and -sin of 2*pi*e/L in double.
struct Exact {
    double re, im;
};
Exact exactTwiddle(std::int64_t e, std::int64_t length) {
    const double a = 2.0 * std::numbers::pi * static_cast<double>(e) / static_cast<double>(length);
    return {std::cos(a), -std::sin(a)};
}

// Within half an ulp of float (plus the sine source's own double error):
// the value is the exact one rounded to float, up to a tie.
// An exact zero stands for the double's rounding residue at a multiple of a
// quarter turn.
bool nearestFloat(float got, double want) {
    if (std::abs(want) < 1e-12) return got == 0.0f;
    const float rounded = static_cast<float>(want);
    const double ulp = std::nextafter(std::abs(rounded), INFINITY) - std::abs(rounded);
    return std::abs(static_cast<double>(got) - want) <= 0.5 * ulp * (1 + 1e-6) + 1e-300;
}

// A record's tables live in its block; the builders are exercised on
// records so the sine source is the one Init hands them.
struct Record {
    std::vector<unsigned char> spec, init;
    DspsFFTSpec_R_32f* r = nullptr;
    Record(int variant, int order) {
        int specSize = 0, initSize = 0, work = 0;
        EXPECT_EQ(dspsFFTGetSize_R_32f_table[variant](order, dspFftNoDiv, 0, &specSize, &initSize, &work), 0);
        spec.resize(static_cast<std::size_t>(specSize));
        init.resize(static_cast<std::size_t>(initSize) + 1);
        EXPECT_EQ(dspsFFTInit_R_32f_table[variant](&r, order, dspFftNoDiv, 0, spec.data(), init.data()), 0);
    }
};

TEST(FftSineTables, ConstantAndOwnTablesAreRoundedSines) {
    for (int k = 0; k <= 256; ++k)
        EXPECT_TRUE(nearestFloat(fftSineTable1024[k], std::sin(2.0 * std::numbers::pi * k / 1024))) << k;
    EXPECT_EQ(fftSineTable1024[256], 1.0f);
    EXPECT_EQ(fftSineTable1024[0], 0.0f);

    std::vector<float> own(1025 + 8, -7.0f);
    const unsigned char* end = fftSineTable(12, own.data());
    for (int k = 0; k <= 1024; ++k)
        EXPECT_TRUE(nearestFloat(own[k], std::sin(2.0 * std::numbers::pi * k / 4096))) << k;
    EXPECT_EQ(own[1024], 1.0f);
    // S[512] is the sine branch's sin(pi/4), S[513] the first cosine-branch value.
    EXPECT_EQ(own[512], static_cast<float>(std::sin(512 * (6.283185307179586 / 4096))));
    EXPECT_EQ(own[513], static_cast<float>(std::cos(511 * (6.283185307179586 / 4096))));
    EXPECT_EQ(end, reinterpret_cast<unsigned char*>(fftAlignUp32(own.data() + 1025)));
    EXPECT_EQ(own[1025], -7.0f);
}

TEST(FftTwiddles, QuarterWaveSymmetryAndSignsOfZero) {
    const FftSineSource sine = fftConstantSine();
    for (const FftLayout layout : {FftLayout::generic, FftLayout::sse}) {
        for (int logL = 2; logL <= 10; ++logL) {
            const std::int64_t length = std::int64_t{1} << logL;
            for (std::int64_t e = 0; e < length; ++e) {
                const FftTwiddle w = fftTwiddle(layout, sine, logL, e);
                const Exact x = exactTwiddle(e, length);
                ASSERT_TRUE(nearestFloat(w.re, x.re) && nearestFloat(w.im, x.im)) << logL << " " << e;
            }
            const FftTwiddle quarter = fftTwiddle(layout, sine, logL, length / 4);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(quarter.re), 0u);
            EXPECT_EQ(quarter.im, -1.0f);
        }
        // W^0 = (1, -sin 0): the generic layout negates to -0.0, the vector
        // layouts subtract from zero and keep +0.0.
        const FftTwiddle one = fftTwiddle(layout, sine, 8, 0);
        EXPECT_EQ(one.re, 1.0f);
        EXPECT_EQ(std::signbit(one.im), layout == FftLayout::generic);
        const FftTwiddle half = fftTwiddle(layout, sine, 8, 128);
        EXPECT_EQ(half.re, -1.0f);
        EXPECT_EQ(std::signbit(half.im), layout == FftLayout::generic);
    }
}

// The layouts, rebuilt here from the description of their readers.
std::vector<double> expectedRadixTable(FftLayout layout, int b) {
    const std::int64_t length = std::int64_t{1} << b;
    std::vector<double> t;
    auto quad = [&](int logL, std::int64_t k0, std::int64_t mult) {
        for (int part = 0; part < 2; ++part)
            for (int lane = 0; lane < 4; ++lane) {
                const Exact w = exactTwiddle(mult * (k0 + lane), std::int64_t{1} << logL);
                t.push_back(part == 0 ? w.re : w.im);
            }
    };
    if (layout == FftLayout::generic) {
        for (std::int64_t k = 0; k <= length / 4; ++k)
            for (int j = 1; j <= 3; ++j) {
                const Exact w = exactTwiddle(j * k, length);
                t.push_back(w.re);
                t.push_back(w.im);
            }
        return t;
    }
    for (int l = layout == FftLayout::sse2 ? 4 + b % 2 : 4; l <= b; l += 2)
        for (std::int64_t r = 0; r < (std::int64_t{1} << l) / 16; ++r)
            for (int j = 1; j <= 3; ++j) quad(l, 4 * r, j);
    if (layout == FftLayout::sse && b % 2 == 1)
        for (std::int64_t r = 0; r < length / 8; ++r) quad(b, 4 * r, 1);
    return t;
}

TEST(FftTwiddles, RadixTablesHoldTheStagesTheirReadersWalk) {
    const FftSineSource sine = fftConstantSine();
    for (const FftLayout layout : {FftLayout::generic, FftLayout::sse2, FftLayout::sse})
        for (int b = 4; b <= 10; ++b) {
            SCOPED_TRACE(testing::Message() << "layout " << static_cast<int>(layout) << " b " << b);
            const std::int64_t length = std::int64_t{1} << b;
            std::unique_ptr<float, void (*)(void*)> block(dspsMalloc_32f(static_cast<int>(2 * length + 64)), dspsFree);
            float* const table = block.get();
            std::fill(table, table + 2 * length + 64, NAN);
            float* dst = table;
            const unsigned char* end = fftRadixTwiddles(layout, b, sine, dst);
            const std::vector<double> want = expectedRadixTable(layout, b);
            for (std::size_t i = 0; i < want.size(); ++i) ASSERT_TRUE(nearestFloat(table[i], want[i])) << i;
            EXPECT_TRUE(std::isnan(table[want.size()])) << "written past the table";
            if (layout == FftLayout::generic) {
                EXPECT_EQ(want.size(), static_cast<std::size_t>(6 * (length / 4 + 1)));
                continue;
            }
            // 2M - 8 floats, n1 odd orders 2M - 16; 8M bytes reserved.
            const bool n1Odd = layout == FftLayout::sse2 && b % 2 == 1;
            EXPECT_EQ(want.size(), static_cast<std::size_t>(2 * length - (n1Odd ? 16 : 8)));
            EXPECT_EQ(end, reinterpret_cast<const unsigned char*>(dst + 2 * length));
            for (std::size_t i = 0; i < want.size(); ++i)
                if (table[i] == 0.0f) {
                    ASSERT_FALSE(std::signbit(table[i])) << "vector layouts store +0.0";
                }
        }
    // b = 7: stages 16 and 64 then a 128-float radix-2 section (n2..n4);
    // stages 32 and 128 in n1.
    EXPECT_EQ(expectedRadixTable(FftLayout::sse, 7).size(), 24u + 96u + 128u);
    EXPECT_EQ(expectedRadixTable(FftLayout::sse2, 7).size(), 48u + 192u);
}

TEST(FftTwiddles, SplitTablesInLaneOrder) {
    Record n4(4, 8);
    const float* fwd = n4.r->splitFwdTable;
    const auto a = [](int k) { return 0.5 * std::cos(2 * std::numbers::pi * k / 256); };
    const auto b = [](int k) { return 0.5 - 0.5 * std::sin(2 * std::numbers::pi * k / 256); };
    const int lanes[4] = {2, 1, 4, 3};
    for (int g = 0; g < 16; ++g)
        for (int lane = 0; lane < 4; ++lane) {
            const int k = 4 * g + lanes[lane];
            ASSERT_NEAR(fwd[8 * g + lane], a(k), 4e-8) << k;
            ASSERT_NEAR(fwd[8 * g + 4 + lane], b(k), 4e-8) << k;
            ASSERT_NEAR(n4.r->splitInvTable[8 * g + lane], 2 * a(k), 6e-8) << k;
            ASSERT_NEAR(n4.r->splitInvTable[8 * g + 4 + lane], -std::sin(2 * std::numbers::pi * k / 256), 6e-8);
        }
    // The last group carries A(64) = B(64) = 0 in its third and seventh places.
    EXPECT_EQ(fwd[8 * 15 + 2], 0.0f);
    EXPECT_EQ(fwd[8 * 15 + 6], 0.0f);

    Record n0(0, 8);
    for (int k = 0; k < 64; ++k) {
        ASSERT_NEAR(n0.r->splitFwdTable[2 * k], a(k), 4e-8);
        ASSERT_NEAR(n0.r->splitFwdTable[2 * k + 1], b(k), 4e-8);
        ASSERT_NEAR(n0.r->splitInvTable[2 * k + 1], -std::sin(2 * std::numbers::pi * k / 256), 6e-8);
    }
    // The split of order 5 exists in the vector variants only.
    EXPECT_NE(Record(1, 5).r->splitFwdTable, nullptr);
    EXPECT_EQ(Record(0, 5).r->splitFwdTable, nullptr);
}

// ---- bit reversal --------------------------------------------------------

TEST(FftBitReverseTables, IndexForm) {
    std::vector<std::int32_t> t(64 + 8, -1);
    EXPECT_EQ(fftBitReverseIndexTable(1, t.data()), reinterpret_cast<unsigned char*>(t.data()));
    fftBitReverseIndexTable(8, t.data());
    for (std::uint32_t i = 0; i < 64; ++i) EXPECT_EQ(t[i], static_cast<std::int32_t>(2 * fftReverseBits(i, 6)));
    EXPECT_EQ(t[64], 0);
}

TEST(FftBitReverseTables, PairsForm) {
    alignas(32) std::int32_t t[72];
    std::fill(std::begin(t), std::end(t), -1);
    fftBitReverseTable(8, t);
    EXPECT_EQ((std::vector<std::int32_t>(t, t + 14)),
              (std::vector<std::int32_t>{4, 128, 8, 64, 12, 192, 16, 32, 20, 160, 24, 96, 28, 224}));
    EXPECT_EQ(t[14], 36);
    EXPECT_EQ(t[15], 144);
    EXPECT_EQ(t[56], 0);
    EXPECT_EQ((std::vector<std::int32_t>(t + 57, t + 65)), (std::vector<std::int32_t>{252, 204, 180, 132, 120, 72, 48, 0}));
    // Every i < 64 appears exactly once as a pair member, a self entry or the 0.
    std::vector<int> seen(64, 0);
    for (int p = 0; p < 56; ++p) ++seen[t[p] / 4];
    for (int p = 56; p < 64; ++p) ++seen[t[p] / 4];
    for (int i = 0; i < 64; ++i) EXPECT_EQ(seen[i], 1) << i;

    std::int32_t tiny[4] = {-1, -1, -1, -1};
    fftBitReverseTable(2, tiny);
    EXPECT_EQ(tiny[0], 0);
    EXPECT_EQ(tiny[1], 0);
}

TEST(FftBitReverseTables, TiledForm) {
    Record rec(4, 20);  // m = 19, tiled
    const std::int32_t* t = rec.r->bitRevTable;
    for (std::uint32_t k = 0; k < 128; ++k) EXPECT_EQ(t[k], static_cast<std::int32_t>(64 * fftReverseBits(k, 7)));
    std::vector<std::int32_t> tile(1025 + 8);
    fftBitReverseTable(12, tile.data());
    EXPECT_EQ((std::vector<std::int32_t>(t + 128, t + 128 + 1025)),
              (std::vector<std::int32_t>(tile.begin(), tile.begin() + 1025)));
    // One order below the threshold keeps the index form.
    Record below(4, 19);
    EXPECT_EQ(below.r->bitRevTable[1], static_cast<std::int32_t>(2 * fftReverseBits(1, 16)));
}

// ---- recursion tables ----------------------------------------------------

// Cross twiddles of a vector-variant level, as the cross stage reads them:
// per column group, per radix-4 pass p the span g*4^(p-1) of elements
// e = l*g + j with c' = c + j + Ms*l, quad by quad W^(c'), W^(2c'), W^(3c')
// of Lp = 4^p*Ms; for odd s a radix-2 pass of W_Mt^(c').
std::vector<double> expectedCrossTwiddles(int m, int s, int groupOrder) {
    const std::int64_t ms = std::int64_t{1} << (m - s), g = std::int64_t{1} << (groupOrder - s);
    std::vector<double> t;
    for (std::int64_t c = 0; c < ms; c += g) {
        std::int64_t span = g, lp = 4 * ms;
        for (int p = 1; p <= s / 2; ++p, span *= 4, lp *= 4)
            for (std::int64_t e0 = 0; e0 < span; e0 += 4)
                for (int power = 1; power <= 3; ++power)
                    for (int part = 0; part < 2; ++part)
                        for (int lane = 0; lane < 4; ++lane) {
                            const std::int64_t e = e0 + lane, cc = c + e % g + ms * (e / g);
                            const Exact w = exactTwiddle(power * cc, lp);
                            t.push_back(part == 0 ? w.re : w.im);
                        }
        if (s % 2 == 1)
            for (std::int64_t e0 = 0; e0 < span; e0 += 4)
                for (int part = 0; part < 2; ++part)
                    for (int lane = 0; lane < 4; ++lane) {
                        const std::int64_t e = e0 + lane, cc = c + e % g + ms * (e / g);
                        const Exact w = exactTwiddle(cc, std::int64_t{1} << m);
                        t.push_back(part == 0 ? w.re : w.im);
                    }
    }
    return t;
}

void expectTableNear(const float* got, const std::vector<double>& want) {
    for (std::size_t i = 0; i < want.size(); ++i) ASSERT_TRUE(nearestFloat(got[i], want[i])) << i;
}

TEST(FftRecursionTables, VectorVariantLevels) {
    struct Case {
        int variant, order, s, groupOrder, leafOrder;
        int bufSize;
    };
    const Case cases[] = {
        {4, 19, 4, 10, 14, 131072},  // even split, tiled threshold
        {2, 18, 3, 9, 14, 131072},   // odd split: the radix-2 cross pass
        {1, 20, 5, 13, 14, 131072},  // n1 m = 19
        {4, 22, 5, 13, 16, 524288},  // m = 21
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "variant " << c.variant << " order " << c.order);
        Record rec(c.variant, c.order);
        const DspsFFTSpec_R_32f& r = *rec.r;
        EXPECT_EQ(r.bufSize, c.bufSize);
        EXPECT_EQ(r.crossTwiddles[1], nullptr);
        const FftLayout layout = c.variant == 1 ? FftLayout::sse2 : FftLayout::sse;
        expectTableNear(r.twiddleTable, expectedRadixTable(layout, c.leafOrder));
        expectTableNear(r.crossTwiddles[0], expectedCrossTwiddles(c.order - 1, c.s, c.groupOrder));
        EXPECT_EQ(reinterpret_cast<const unsigned char*>(r.crossTwiddles[0]),
                  reinterpret_cast<const unsigned char*>(r.twiddleTable) + 8 * (std::int64_t{1} << c.leafOrder));
    }
}

TEST(FftRecursionTables, GenericBlockedLeafAndLevels) {
    Record blocked(0, 12);  // m = 11: 1024-point pieces joined by radix-2 stages
    EXPECT_EQ(blocked.r->bufSize, 0);
    expectTableNear(blocked.r->twiddleTable, expectedRadixTable(FftLayout::generic, 10));
    for (int k = 0; k < 512; ++k) {
        const Exact w = exactTwiddle(k, 2048);
        ASSERT_TRUE(nearestFloat(blocked.r->joinTable[2 * k], w.re) && nearestFloat(blocked.r->joinTable[2 * k + 1], w.im));
    }

    Record level(0, 14);  // m = 13: s = 5, rows of 2^8
    const DspsFFTSpec_R_32f& r = *level.r;
    EXPECT_EQ(r.bufSize, 32 * 32);
    expectTableNear(r.twiddleTable, expectedRadixTable(FftLayout::generic, 8));
    expectTableNear(r.levelTwiddles[0], expectedRadixTable(FftLayout::generic, 5));
    std::vector<double> cross;
    for (int c0 = 0; c0 < 256; c0 += 4)
        for (std::uint32_t i = 0; i < 32; ++i)
            for (int q = 0; q < 4; ++q) {
                const Exact w = exactTwiddle(fftReverseBits(i, 5) * (c0 + q), 8192);
                cross.push_back(w.re);
                cross.push_back(w.im);
            }
    expectTableNear(r.crossTwiddles[0], cross);

    Record deep(0, 22);  // m = 21: s = 10, rows of order 11 are blocked leaves
    EXPECT_NE(deep.r->joinTable, nullptr);
    EXPECT_NE(deep.r->crossTwiddles[0], nullptr);
    EXPECT_EQ(deep.r->crossTwiddles[1], nullptr);
}

}  // namespace
