// The vector variants' inverse in-cache transform called directly, at every
// size it serves from 8 values up, including those the real FFT's entries
// never send it: against the double inverse DFT; in place, out of place and
// at 8 mod 16 bytes the same bits; a 16-byte-aligned distinct destination
// as its own work area; SSE3 and SSSE3 the SSE4.1 bits, SSE2 the SSE3 bits
// wherever it runs the same stages (even orders); the eight- and
// sixteen-point paths without tables or work area, and the eighth roots of
// the constant block.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_core.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "fft/fft_tables.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "guarded_buffer.h"
#include "variants.h"

namespace {

using InCacheInverse = void (*)(const float*, float*, std::int64_t, const float*, const std::int32_t*, float*);
constexpr InCacheInverse kInCacheInverse[5] = {nullptr, dsp_n1::fftInCacheInverse, dsp_n2::fftInCacheInverse,
                                               dsp_n3::fftInCacheInverse, dsp_n4::fftInCacheInverse};

// The largest half-length order each variant's entry sends here.
constexpr int kLargestM[5] = {0, 14, 15, 16, 16};

// cos(pi/4) of the constant block: one unit in the last place above the
// float nearest to it.
const float kBlockRootHalf = std::bit_cast<float>(0x3F3504F4u);

std::vector<double> interleaved(const std::vector<RefComplex>& z) {
    std::vector<double> v;
    for (const RefComplex& c : z) v.insert(v.end(), {c.real(), c.imag()});
    return v;
}

std::vector<RefComplex> complexValues(const std::vector<float>& x) {
    std::vector<RefComplex> z(x.size() / 2);
    for (std::size_t i = 0; i < z.size(); ++i) z[i] = {x[2 * i], x[2 * i + 1]};
    return z;
}

// The twiddle and bit-reverse tables a variant's set-up builds for the
// half-length order m, built here for every m from 3 (the records hold them
// only from m = 6).
class Tables {
public:
    Tables(int variant, int m)
        : twiddles_((std::size_t{2} << m) + 8), bitRev_((std::size_t{1} << m) / 4 + 1) {
        FftSineSource sine = fftConstantSine();
        if (m > 10) {
            sine_.resize((std::size_t{1} << m) / 4 + 1);
            fftSineTable(m, sine_.data());
            sine = {sine_.data(), m};
        }
        fftRadixTwiddles(fftVariantPlan(variant).layout, m, sine, twiddles());
        fftBitReverseIndexTable(m, bitRev_.data());
    }

    float* twiddles() { return reinterpret_cast<float*>(fftAlignUp32(twiddles_.data())); }
    const std::int32_t* bitRev() const { return bitRev_.data(); }

private:
    std::vector<float> sine_, twiddles_;
    std::vector<std::int32_t> bitRev_;
};

// One call with the source and destination `offset` bytes past a 64-byte
// boundary (the same array when in place) and a guarded work area filled
// with a pattern; fails on a write outside the destination or the work area,
// or into the work area where the destination is the work area.
std::vector<float> run(int variant, Tables& tables, const std::vector<float>& x, std::size_t offset, bool inPlace) {
    const std::size_t bytes = x.size() * sizeof(float);
    GuardedBuffer src(bytes, offset), dst(bytes, offset), work(bytes, 0);
    std::memcpy(src.bytes(), x.data(), bytes);
    work.fill(0x5A);
    float* out = inPlace ? src.as<float>() : dst.as<float>();
    kInCacheInverse[variant](src.as<float>(), out, static_cast<std::int64_t>(x.size() / 2), tables.twiddles(),
                             tables.bitRev(), work.as<float>());
    EXPECT_TRUE(src.guardsIntact() && dst.guardsIntact()) << "write outside the destination";
    EXPECT_TRUE(work.guardsIntact()) << "write outside the work area";
    if (!inPlace && offset % 16 == 0) {
        bool untouched = true;
        for (std::size_t i = 0; i < bytes; ++i) untouched = untouched && work.bytes()[i] == 0x5A;
        EXPECT_TRUE(untouched) << "an aligned distinct destination is the work area";
    }
    if (!inPlace) {
        EXPECT_EQ(std::memcmp(src.bytes(), x.data(), bytes), 0) << "source changed";
    }
    std::vector<float> result(x.size());
    std::memcpy(result.data(), out, bytes);
    return result;
}

class FftInCacheInverseSizes : public testing::TestWithParam<int> {};

// Every size from 8 to the entry's largest, which walks every first pass
// (two-step and four-quarter gathers, eight- and sixteen-point gathers, the
// eight- and sixteen-point paths), the blocked early passes and both final
// passes.
TEST_P(FftInCacheInverseSizes, MatchTheInverseDftWhereverAndHoweverCalled) {
    const int variant = GetParam();
    for (int m = 3; m <= kLargestM[variant]; ++m) {
        SCOPED_TRACE(testing::Message() << "m " << m);
        const std::size_t n = std::size_t{1} << m;
        Tables tables(variant, m);
        const std::vector<float> x = randomSignal(2 * n, 300 + m);
        const std::vector<float> out = run(variant, tables, x, 0, false);
        EXPECT_LE(relativeL2Error(out, interleaved(referenceDft(complexValues(x), +1))), 1e-6);
        EXPECT_EQ(run(variant, tables, x, 0, true), out);
        EXPECT_EQ(run(variant, tables, x, 8, true), out);
        EXPECT_EQ(run(variant, tables, x, 8, false), out);
        EXPECT_EQ(run(variant, tables, x, 4, false), out);
        // A value v at position 0 reaches every output through sums alone,
        // exactly; one at position 1 gives exp(+2*pi*i*k/n), the inverse sign.
        std::vector<float> impulse(2 * n, 0.0f);
        impulse[0] = 0.75f;
        impulse[1] = -1.25f;
        const std::vector<float> flat = run(variant, tables, impulse, 0, true);
        for (std::size_t k = 0; k < n; ++k) {
            ASSERT_EQ(flat[2 * k], 0.75f) << k;
            ASSERT_EQ(flat[2 * k + 1], -1.25f) << k;
        }
        std::fill(impulse.begin(), impulse.end(), 0.0f);
        impulse[2] = 1.0f;
        const std::vector<float> turn = run(variant, tables, impulse, 0, true);
        for (std::size_t k = 0; k < n; ++k) {
            const double angle = 2 * std::numbers::pi * double(k) / double(n);
            ASSERT_NEAR(turn[2 * k], std::cos(angle), 2e-7) << k;
            ASSERT_NEAR(turn[2 * k + 1], std::sin(angle), 2e-7) << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FftInCacheInverseSizes, testing::ValuesIn(fftVectorVariants()), variantName);

// SSE3 runs SSE4.1's stages (blocked over 1024 values instead of 2048, its
// bases always from the table) and SSSE3 is SSE4.1's routine: the same bits
// at every size, aligned or not. SSE2 runs the same stages for even m (the
// sixteen-point path at 16 values, the sixteen-point gather from 16384 folding
// the span-4 pass into the first) and other ones for odd m: the same bits,
// or agreement within single-precision rounding.
TEST(FftInCacheInverse, VariantsAgreeWhereTheyRunTheSameStages) {
    const std::vector<int> variants = fftVectorVariants();
    if (variants.size() < 2) GTEST_SKIP() << "SSE2 alone on this processor";
    for (int m = 3; m <= kLargestM[2]; ++m) {
        SCOPED_TRACE(testing::Message() << "m " << m);
        const std::size_t n = std::size_t{1} << m;
        const std::vector<float> x = randomSignal(2 * n, 500 + m);
        Tables sseTables(2, m);
        for (const std::size_t offset : {0u, 8u}) {
            const std::vector<float> sse3 = run(2, sseTables, x, offset, true);
            for (const int variant : variants)
                if (variant >= 3) {
                    EXPECT_EQ(run(variant, sseTables, x, offset, true), sse3) << "n" << variant;
                }
            if (m > kLargestM[1]) continue;
            Tables sse2Tables(1, m);
            const std::vector<float> sse2 = run(1, sse2Tables, x, offset, true);
            if (m % 2 == 0) {
                EXPECT_EQ(sse2, sse3) << "n1, offset " << offset;
            } else {
                EXPECT_LE(relativeL2Error(sse2, toDouble(sse3)), 3e-7) << "n1, offset " << offset;
            }
        }
    }
}

TEST(FftInCacheInverse, EightPointsWithoutTablesOrWorkArea) {
    for (const int variant : fftVectorVariants()) {
        SCOPED_TRACE(testing::Message() << "n" << variant);
        const std::vector<float> x = randomSignal(16, 40 + variant);
        std::vector<float> out(16, 9.0f);
        kInCacheInverse[variant](x.data(), out.data(), 8, nullptr, nullptr, nullptr);
        EXPECT_LE(relativeL2Error(out, interleaved(referenceDirectDft(complexValues(x), +1))), 3e-7);
        std::vector<float> inPlace = x;
        kInCacheInverse[variant](inPlace.data(), inPlace.data(), 8, nullptr, nullptr, nullptr);
        EXPECT_EQ(inPlace, out);
        // Value 1 alone: exp(+2*pi*i*k/8), the eighth roots of the block.
        std::vector<float> impulse(16, 0.0f);
        impulse[2] = 1.0f;
        kInCacheInverse[variant](impulse.data(), out.data(), 8, nullptr, nullptr, nullptr);
        EXPECT_EQ(out[2], kBlockRootHalf);
        EXPECT_EQ(out[3], kBlockRootHalf);
        EXPECT_EQ(out[6], -kBlockRootHalf);
        EXPECT_EQ(out[7], kBlockRootHalf);
    }
}

// SSE2 at 16 values: straight from source to destination through the
// twiddle table's first row alone (no bit-reverse table, no work area, no
// further row: the row is all the table this call gets), at any alignment;
// the numbers of the first pass and the span-4 pass that SSE3 runs.
TEST(FftInCacheInverse, SseTwoSixteenPointPathReadsOneRowAndNothingElse) {
    if (fftVectorVariants().size() < 2) GTEST_SKIP() << "SSE2 alone on this processor";
    Tables tables(2, 4);
    const std::vector<float> firstRow(tables.twiddles(), tables.twiddles() + 24);
    for (const std::size_t offset : {0u, 4u, 8u}) {
        SCOPED_TRACE(testing::Message() << "offset " << offset);
        const std::vector<float> x = randomSignal(32, 70 + offset);
        const std::vector<float> sse3 = run(2, tables, x, offset, true);
        GuardedBuffer data(x.size() * sizeof(float), offset);
        std::memcpy(data.bytes(), x.data(), x.size() * sizeof(float));
        dsp_n1::fftInCacheInverse(data.as<float>(), data.as<float>(), 16, firstRow.data(), nullptr, nullptr);
        EXPECT_TRUE(data.guardsIntact());
        std::vector<float> out(x.size());
        std::memcpy(out.data(), data.bytes(), x.size() * sizeof(float));
        EXPECT_EQ(out, sse3);
    }
}

// The SSE2 variant's odd orders start with eight-point transforms of the
// values M/8 apart: a value at M/8 alone reaches output 1 through the
// block's root alone, (c, c) exactly; the other variants take it from the
// record's twiddles.
TEST(FftInCacheInverse, SseTwoOddOrdersJoinByTheBlocksEighthRoots) {
    for (const int m : {5, 7, 9, 11}) {
        SCOPED_TRACE(testing::Message() << "m " << m);
        const std::int64_t n = std::int64_t{1} << m;
        Tables tables(1, m);
        std::vector<float> x(static_cast<std::size_t>(2 * n), 0.0f);
        x[static_cast<std::size_t>(2 * (n / 8))] = 1.0f;
        const std::vector<float> out = run(1, tables, x, 0, false);
        EXPECT_EQ(out[2], kBlockRootHalf);
        EXPECT_EQ(out[3], kBlockRootHalf);
        std::vector<RefComplex> z(static_cast<std::size_t>(n));
        z[static_cast<std::size_t>(n / 8)] = 1.0;
        EXPECT_LE(relativeL2Error(out, interleaved(referenceDirectDft(z, +1))), 3e-7);
    }
}

}  // namespace
