// The vector variants' inverse complex transform called directly where the
// real FFT's entries do not show it: the eight-point path (no tables, no
// work area) and the eighth roots of the inverse constant block, which the
// SSE2 variant's first pass of an odd order multiplies by.
#include <bit>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_core.h"
#include "fft/fft_spec.h"
#include "fft_reference.h"
#include "fft_test_support.h"

namespace {

using InCacheInverse = void (*)(const float*, float*, std::int64_t, const float*, const std::int32_t*, float*);
constexpr InCacheInverse kInCacheInverse[5] = {nullptr, dsp_n1::fftInCacheInverse, dsp_n2::fftInCacheInverse,
                                               dsp_n3::fftInCacheInverse, dsp_n4::fftInCacheInverse};

// cos(pi/4) of the constant block: one unit in the last place above the
// float nearest to it.
const float kBlockRootHalf = std::bit_cast<float>(0x3F3504F4u);

std::vector<double> interleaved(const std::vector<RefComplex>& z) {
    std::vector<double> v;
    for (const RefComplex& c : z) v.insert(v.end(), {c.real(), c.imag()});
    return v;
}

TEST(FftInCacheInverse, EightPointsWithoutTablesOrWorkArea) {
    for (const int variant : fftVectorVariants()) {
        SCOPED_TRACE(testing::Message() << "n" << variant);
        const std::vector<float> x = randomSignal(16, 40 + variant);
        std::vector<RefComplex> z(8);
        for (int i = 0; i < 8; ++i) z[i] = {x[2 * i], x[2 * i + 1]};
        std::vector<float> out(16, 9.0f);
        kInCacheInverse[variant](x.data(), out.data(), 8, nullptr, nullptr, nullptr);
        EXPECT_LE(relativeL2Error(out, interleaved(referenceDirectDft(z, +1))), 3e-7);
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

// The SSE2 variant's odd orders start with eight-point transforms of the
// values M/8 apart: a value at M/8 alone reaches output 1 through the
// block's root alone, (c, c) exactly; the other variants take it from the
// record's twiddles.
TEST(FftInCacheInverse, SseTwoOddOrdersJoinByTheBlocksEighthRoots) {
    for (const int m : {7, 9, 11}) {
        SCOPED_TRACE(testing::Message() << "m " << m);
        const std::int64_t n = std::int64_t{1} << m;
        FftRecord record(1, m + 1, dspFftNoDiv);
        std::vector<float> x(static_cast<std::size_t>(2 * n), 0.0f), out(x.size());
        x[static_cast<std::size_t>(2 * (n / 8))] = 1.0f;
        std::vector<float> work(static_cast<std::size_t>(2 * n + 8));
        float* aligned = reinterpret_cast<float*>(fftAlignUp32(work.data()));
        dsp_n1::fftInCacheInverse(x.data(), out.data(), n, record.get()->twiddleTable, record.get()->bitRevTable,
                                  aligned);
        EXPECT_EQ(out[2], kBlockRootHalf);
        EXPECT_EQ(out[3], kBlockRootHalf);
        std::vector<RefComplex> z(static_cast<std::size_t>(n));
        z[static_cast<std::size_t>(n / 8)] = 1.0;
        EXPECT_LE(relativeL2Error(out, interleaved(referenceDirectDft(z, +1))), 3e-7);
    }
}

}  // namespace
