// The vector variants' inverse codelets of orders 2..5 (single precision):
// the complex ones against the double inverse DFT and their exact cases, the
// real ones against the double inverse real DFT and theirs; scaling, in
// place and unaligned data. They are plain SSE2 code, so every variant's
// cells run on any x86-64 processor.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "fft/fft_codelets.h"
#include "fft_reference.h"

namespace {

constexpr int kVectorVariants[] = {1, 2, 3, 4};
constexpr float kH = 0.707106769f;  // cos(pi/4) as a float

const FftCodeletBlock& inverseBlock(int variant) { return *fftCodeletTable[variant][1]; }

// Runs a codelet on `in` placed `offset` bytes past a 64-byte boundary,
// out of place or in place, and returns the n floats it stored.
template <typename Call>
std::vector<float> placed(const std::vector<float>& in, std::size_t offset, bool inPlace, Call call) {
    alignas(64) unsigned char src[512 + 64], dst[512 + 64];
    std::memcpy(src + offset, in.data(), in.size() * sizeof(float));
    auto* s = reinterpret_cast<float*>(src + offset);
    auto* d = inPlace ? s : reinterpret_cast<float*>(dst + offset);
    call(s, d);
    std::vector<float> out(in.size());
    std::memcpy(out.data(), d, out.size() * sizeof(float));
    return out;
}

std::vector<float> complexInverse(int variant, int order, const std::vector<float>& in, std::size_t offset = 0,
                                  bool inPlace = false) {
    return placed(in, offset, inPlace, [&](float* s, float* d) { inverseBlock(variant).complex[order](s, d); });
}

std::vector<float> complexInverseScaled(int variant, int order, const std::vector<float>& in, float factor) {
    return placed(in, 0, false,
                  [&](float* s, float* d) { inverseBlock(variant).complexScaled[order](s, d, factor); });
}

std::vector<float> realInverse(int variant, int order, const std::vector<float>& in, std::size_t offset = 0,
                               bool inPlace = false) {
    return placed(in, offset, inPlace, [&](float* s, float* d) { inverseBlock(variant).real[order](s, d); });
}

std::vector<float> realInverseScaled(int variant, int order, const std::vector<float>& in, float factor) {
    return placed(in, 0, false, [&](float* s, float* d) { inverseBlock(variant).realScaled[order](s, d, factor); });
}

std::vector<float> unitAt(int n, int position) {
    std::vector<float> v(2 * n, 0.0f);
    v[2 * position] = 1.0f;
    return v;
}

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

TEST(FftInverseComplexCodelets, MatchTheInverseDftWhereverAndHoweverCalled) {
    for (const int variant : kVectorVariants)
        for (int order = 2; order <= 5; ++order) {
            SCOPED_TRACE(testing::Message() << "n" << variant << " order " << order);
            const int n = 1 << order;
            const std::vector<float> x = randomSignal(2 * n, 600 + order);
            std::vector<RefComplex> z(n);
            for (int i = 0; i < n; ++i) z[i] = {x[2 * i], x[2 * i + 1]};
            std::vector<double> want;
            for (const RefComplex& v : referenceDirectDft(z, +1)) want.insert(want.end(), {v.real(), v.imag()});
            const std::vector<float> out = complexInverse(variant, order, x);
            EXPECT_LE(relativeL2Error(out, want), 3e-7);
            // Unaligned (8 mod 16) and in place: the same bits.
            for (const std::size_t offset : {4u, 8u, 12u}) EXPECT_EQ(complexInverse(variant, order, x, offset), out);
            EXPECT_EQ(complexInverse(variant, order, x, 8, true), out);
            EXPECT_EQ(complexInverse(variant, order, x, 0, true), out);
            // Scaled: each stored word is the plain result times the factor.
            EXPECT_EQ(complexInverseScaled(variant, order, x, 1.0f), out);
            const std::vector<float> scaled = complexInverseScaled(variant, order, x, 0.3f);
            for (int i = 0; i < 2 * n; ++i) ASSERT_EQ(scaled[i], out[i] * 0.3f) << i;
        }
}

TEST(FftInverseComplexCodelets, ImpulsesAndConstants) {
    for (const int variant : kVectorVariants)
        for (int order = 2; order <= 5; ++order) {
            SCOPED_TRACE(testing::Message() << "n" << variant << " order " << order);
            const int n = 1 << order;
            const std::vector<float> first = complexInverse(variant, order, unitAt(n, 0));
            const std::vector<float> half = complexInverseScaled(variant, order, unitAt(n, 0), 0.5f);
            for (int k = 0; k < n; ++k) {
                ASSERT_EQ(first[2 * k], 1.0f) << k;
                ASSERT_EQ(first[2 * k + 1], 0.0f) << k;
                ASSERT_EQ(half[2 * k], 0.5f) << k;
            }
            // A constant: N at position 0, +0 (not -0) everywhere else.
            std::vector<float> ones(2 * n, 0.0f);
            for (int k = 0; k < n; ++k) ones[2 * k] = 1.0f;
            const std::vector<float> constant = complexInverse(variant, order, ones);
            EXPECT_EQ(constant[0], float(n));
            for (int i = 1; i < 2 * n; ++i) ASSERT_EQ(bits(constant[i]), 0u) << i;
            // Position 1: exp(+2*pi*i*k/N), the inverse sign.
            const std::vector<float> second = complexInverse(variant, order, unitAt(n, 1));
            for (int k = 0; k < n; ++k) {
                ASSERT_NEAR(second[2 * k], std::cos(2 * M_PI * k / n), 1e-7) << k;
                ASSERT_NEAR(second[2 * k + 1], std::sin(2 * M_PI * k / n), 1e-7) << k;
            }
            if (order == 2) {
                EXPECT_EQ(second, (std::vector<float>{1, 0, 0, 1, -1, 0, 0, -1}));
            }
            if (order == 3) {
                EXPECT_EQ(second[2], kH);
                EXPECT_EQ(second[3], kH);
                EXPECT_EQ(second[6], -kH);
                EXPECT_EQ(second[7], kH);
            }
        }
}

TEST(FftInverseComplexCodelets, AnInfinityMakesTheSumInfiniteWithoutANan) {
    // Output 0 is the plain sum of the inputs: an infinity at any position
    // reaches it as (inf, 0), since a twiddle of 1 is no product (inf * 0
    // would be a NaN).
    for (const int variant : kVectorVariants)
        for (int order = 2; order <= 5; ++order) {
            const int n = 1 << order;
            for (int position = 0; position < n; ++position) {
                std::vector<float> x(2 * n, 0.0f);
                x[2 * position] = INFINITY;
                const std::vector<float> out = complexInverse(variant, order, x);
                ASSERT_EQ(out[0], INFINITY) << "n" << variant << " order " << order << " position " << position;
                ASSERT_EQ(out[1], 0.0f) << "n" << variant << " order " << order << " position " << position;
            }
        }
}

// The Perm spectrum of N samples from bins 0..N/2.
std::vector<float> permOf(const std::vector<RefComplex>& bins) {
    const std::vector<double> perm = binsToPerm(bins);
    return std::vector<float>(perm.begin(), perm.end());
}

TEST(FftInverseRealCodelets, MatchTheInverseRealDftWhereverAndHoweverCalled) {
    for (const int variant : kVectorVariants)
        for (int order = 2; order <= 5; ++order) {
            SCOPED_TRACE(testing::Message() << "n" << variant << " order " << order);
            const int n = 1 << order;
            const std::vector<float> spectrum = randomSignal(n, 700 + order);
            std::vector<double> want = referenceRealInverse(permToBins(spectrum));
            const std::vector<float> out = realInverse(variant, order, spectrum);
            EXPECT_LE(relativeL2Error(out, want), 3e-7);
            for (const std::size_t offset : {4u, 8u}) EXPECT_EQ(realInverse(variant, order, spectrum, offset), out);
            EXPECT_EQ(realInverse(variant, order, spectrum, 4, true), out);
            EXPECT_EQ(realInverseScaled(variant, order, spectrum, 1.0f), out);
            for (double& v : want) v *= 0.3;
            EXPECT_LE(relativeL2Error(realInverseScaled(variant, order, spectrum, 0.3f), want), 3e-7);
            // The forward transform of a signal, then this inverse: N times
            // the signal.
            const std::vector<float> x = randomSignal(n, 800 + order);
            std::vector<double> xd(x.begin(), x.end());
            const std::vector<float> back = realInverse(variant, order, permOf(referenceRealSpectrum(xd)));
            for (double& v : xd) v *= n;
            EXPECT_LE(relativeL2Error(back, xd), 3e-7);
        }
}

TEST(FftInverseRealCodelets, TheCasesOfOrderThree) {
    const float s2 = 1.41421354f;  // sqrt(2) as a float
    for (const int variant : kVectorVariants) {
        SCOPED_TRACE(testing::Message() << "n" << variant);
        EXPECT_EQ(realInverse(variant, 3, {1, 0, 0, 0, 0, 0, 0, 0}), std::vector<float>(8, 1.0f));
        EXPECT_EQ(realInverse(variant, 3, {0, 1, 0, 0, 0, 0, 0, 0}),
                  (std::vector<float>{1, -1, 1, -1, 1, -1, 1, -1}));
        EXPECT_EQ(realInverse(variant, 3, {0, 0, 1, 0, 0, 0, 0, 0}),
                  (std::vector<float>{2, s2, 0, -s2, -2, -s2, 0, s2}));
        EXPECT_EQ(realInverseScaled(variant, 3, {1, 0, 0, 0, 0, 0, 0, 0}, 0.125f), std::vector<float>(8, 0.125f));
    }
}

// Orders 0 and 1: unnormalised, one and two points are their own inverse,
// so the inverse blocks hold the forward blocks' bodies, and the copies of
// order 0 are one body in every block. Those bodies round each sum before
// the factor multiplies it: 1 + 2^-24 is 1 in single precision, so three
// times it is 3 (and not the 3 + 2^-22 of a sum kept exact in double).
TEST(FftInverseSmallCodelets, OrdersZeroAndOneAreTheForwardBodiesInSinglePrecision) {
    for (const int variant : kVectorVariants) {
        SCOPED_TRACE(testing::Message() << "n" << variant);
        const FftCodeletBlock& forward = *fftCodeletTable[variant][0];
        const FftCodeletBlock& inverse = inverseBlock(variant);
        for (int order = 0; order <= 1; ++order) {
            EXPECT_EQ(inverse.real[order], forward.real[order]) << order;
            EXPECT_EQ(inverse.realScaled[order], forward.realScaled[order]) << order;
            EXPECT_EQ(inverse.complex[order], forward.complex[order]) << order;
            EXPECT_EQ(inverse.complexScaled[order], forward.complexScaled[order]) << order;
        }
        for (const int other : {0, 1, 2, 3, 4})
            for (const int direction : {0, 1}) {
                EXPECT_EQ(fftCodeletTable[other][direction]->real[0], inverse.real[0]);
                EXPECT_EQ(fftCodeletTable[other][direction]->complex[0], inverse.complex[0]);
            }
        const float tiny = std::ldexp(1.0f, -24), below = (1.0f - tiny) * 3.0f;  // 1 - 2^-24 is a float
        EXPECT_EQ(realInverseScaled(variant, 1, {1.0f, tiny}, 3.0f), (std::vector<float>{3.0f, below}));
        EXPECT_EQ(realInverse(variant, 1, {1.0f, tiny}), (std::vector<float>{1.0f, 1.0f - tiny}));
        EXPECT_EQ(complexInverseScaled(variant, 1, {1.0f, 1.0f, tiny, -tiny}, 3.0f),
                  (std::vector<float>{3.0f, below, below, 3.0f}));
        EXPECT_EQ(complexInverse(variant, 1, {1.0f, 2.0f, 3.0f, -4.0f}),
                  (std::vector<float>{4.0f, -2.0f, -2.0f, 6.0f}));
        EXPECT_EQ(complexInverseScaled(variant, 0, {1.5f, -2.0f}, 0.5f), (std::vector<float>{0.75f, -1.0f}));
        EXPECT_EQ(realInverseScaled(variant, 0, {1.5f}, 0.5f), (std::vector<float>{0.75f}));
    }
}

}  // namespace
