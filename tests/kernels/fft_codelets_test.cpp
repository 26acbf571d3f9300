// The vector variants' forward codelets: every row and order against the
// double reference, the ways of calling that must not change a bit (in
// place, unaligned, scale 1), how the scaled rows scale, and the exact
// values their single-precision operation order gives (last-bit constants,
// signed zeros, infinities meeting the unit factors).
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "fft/fft_codelets.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "variants.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

const FftCodeletBlock& forwardBlock(int variant) { return *fftCodeletTable[variant][0]; }

enum class Row { real, realScaled, complex, complexScaled };

// Floats in and out of one codelet call.
int floatsOf(Row row, int order) { return (row == Row::real || row == Row::realScaled ? 1 : 2) << order; }

// Runs a codelet with src and dst `offset` bytes past a 16-byte boundary
// (the same array when inPlace), inside guard floats that must survive.
std::vector<float> runCodelet(const FftCodeletBlock& block, Row row, int order, const std::vector<float>& in,
                              float scale = 1.0f, bool inPlace = false, std::size_t offset = 0) {
    const int n = floatsOf(row, order);
    constexpr float kGuard = -12345.0f;
    alignas(16) float srcArea[80], dstArea[80];
    std::fill(std::begin(srcArea), std::end(srcArea), kGuard);
    std::fill(std::begin(dstArea), std::end(dstArea), kGuard);
    auto* const srcBytes = reinterpret_cast<unsigned char*>(srcArea) + 16 + offset;
    auto* const dstBytes = inPlace ? srcBytes : reinterpret_cast<unsigned char*>(dstArea) + 16 + offset;
    std::memcpy(srcBytes, in.data(), sizeof(float) * static_cast<std::size_t>(n));
    const auto* src = reinterpret_cast<const float*>(srcBytes);
    auto* dst = reinterpret_cast<float*>(dstBytes);
    switch (row) {
        case Row::real: block.real[order](src, dst); break;
        case Row::realScaled: block.realScaled[order](src, dst, scale); break;
        case Row::complex: block.complex[order](src, dst); break;
        case Row::complexScaled: block.complexScaled[order](src, dst, scale); break;
    }
    std::vector<float> out(static_cast<std::size_t>(n));
    std::memcpy(out.data(), dstBytes, sizeof(float) * out.size());
    const float* area = inPlace ? srcArea : dstArea;
    const std::size_t first = (16 + offset) / sizeof(float);
    for (std::size_t i = 0; i < 80; ++i) {
        if (i < first || i >= first + out.size()) {
            EXPECT_EQ(area[i], kGuard) << "guard float " << i;
        }
    }
    if (!inPlace) {
        EXPECT_EQ(std::memcmp(srcBytes, in.data(), sizeof(float) * in.size()), 0) << "source changed";
    }
    return out;
}

std::vector<std::uint32_t> bits(const std::vector<float>& v) {
    std::vector<std::uint32_t> b(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) b[i] = std::bit_cast<std::uint32_t>(v[i]);
    return b;
}

// The reference of a row: real rows the Perm spectrum, complex rows Z.
std::vector<double> reference(Row row, int order, const std::vector<float>& in) {
    if (row == Row::real || row == Row::realScaled) return binsToPerm(referenceRealSpectrum(toDouble(in)));
    std::vector<RefComplex> z(std::size_t{1} << order);
    for (std::size_t i = 0; i < z.size(); ++i) z[i] = {in[2 * i], in[2 * i + 1]};
    std::vector<double> out;
    for (const RefComplex& v : referenceDirectDft(z, -1)) {
        out.push_back(v.real());
        out.push_back(v.imag());
    }
    return out;
}

class FftVectorCodelets : public testing::TestWithParam<int> {
protected:
    const FftCodeletBlock& block() const { return forwardBlock(GetParam()); }
};

constexpr Row kRows[] = {Row::real, Row::realScaled, Row::complex, Row::complexScaled};

TEST_P(FftVectorCodelets, EveryRowAndOrderMatchesTheReferenceAndAnyWayOfCallingGivesTheSameBits) {
    for (const Row row : kRows) {
        const bool scaled = row == Row::realScaled || row == Row::complexScaled;
        for (int order = 0; order <= 5; ++order) {
            SCOPED_TRACE(testing::Message() << "row " << int(row) << " order " << order);
            const std::vector<float> x = randomSignal(std::size_t(floatsOf(row, order)), 900 + 10 * order + int(row));
            const float scale = scaled ? 0.37f : 1.0f;
            const std::vector<float> got = runCodelet(block(), row, order, x, scale);
            std::vector<double> want = reference(row, order, x);
            for (double& v : want) v *= scale;
            EXPECT_LE(relativeL2Error(got, want), 3e-7);
            for (const bool inPlace : {false, true})
                for (const std::size_t offset : {0, 4, 8, 12})
                    EXPECT_EQ(bits(runCodelet(block(), row, order, x, scale, inPlace, offset)), bits(got))
                        << "in place " << inPlace << " offset " << offset;
        }
    }
}

// A complex scaled codelet multiplies the finished transform; a real scaled
// one its first-stage sums, so only scale 1 reproduces the plain bits there.
TEST_P(FftVectorCodelets, ScaledRowsScaleWhereTheirContractSays) {
    for (int order = 0; order <= 5; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::vector<float> z = randomSignal(std::size_t(2) << order, 950 + order);
        const std::vector<float> plain = runCodelet(block(), Row::complex, order, z);
        for (const float scale : {1.0f, 1.0f / 64.0f, 0.3f}) {
            std::vector<float> want = plain;
            for (float& v : want) v *= scale;
            EXPECT_EQ(bits(runCodelet(block(), Row::complexScaled, order, z, scale)), bits(want)) << scale;
        }
        const std::vector<float> x = randomSignal(std::size_t(1) << order, 960 + order);
        EXPECT_EQ(bits(runCodelet(block(), Row::realScaled, order, x, 1.0f)),
                  bits(runCodelet(block(), Row::real, order, x)));
    }
    EXPECT_EQ(runCodelet(block(), Row::realScaled, 2, {1, 2, 3, 4}, 0.5f), (std::vector<float>{5, -1, -1, 1}));
}

TEST_P(FftVectorCodelets, SmallCasesOfTheContract) {
    EXPECT_EQ(runCodelet(block(), Row::real, 2, {1, 2, 3, 4}), (std::vector<float>{10, -2, -2, 2}));
    EXPECT_EQ(runCodelet(block(), Row::real, 1, {3, 5}), (std::vector<float>{8, -2}));
    EXPECT_EQ(runCodelet(block(), Row::complex, 1, {1, 2, 3, 4}), (std::vector<float>{4, 6, -2, -2}));
    // Order 0 moves the bits, NaN payload included; its scaled form multiplies.
    const float nan = std::bit_cast<float>(0x7FC00123u);
    EXPECT_EQ(bits(runCodelet(block(), Row::real, 0, {nan})), bits({nan}));
    EXPECT_EQ(bits(runCodelet(block(), Row::complex, 0, {nan, -0.0f})), bits({nan, -0.0f}));
    EXPECT_EQ(runCodelet(block(), Row::complexScaled, 0, {3, -2}, 0.5f), (std::vector<float>{1.5f, -1}));
}

// Impulse, constant and alternating samples give exact spectra in every real
// codelet: the real values 1 (impulse), N at DC, N at Nyquist.
TEST_P(FftVectorCodelets, RealCodeletsOfImpulseConstantAndAlternatingSamplesAreExact) {
    for (int order = 1; order <= 5; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        std::vector<float> impulse(n, 0.0f), ones(n, 1.0f), alternating(n, 1.0f);
        impulse[0] = 1.0f;
        for (std::size_t i = 1; i < n; i += 2) alternating[i] = -1.0f;
        std::vector<float> impulseWant(n, 1.0f), dcWant(n, 0.0f), nyquistWant(n, 0.0f);
        for (std::size_t k = 3; k < n; k += 2) impulseWant[k] = 0.0f;
        dcWant[0] = float(n);
        nyquistWant[1] = float(n);
        EXPECT_EQ(runCodelet(block(), Row::real, order, impulse), impulseWant);
        EXPECT_EQ(runCodelet(block(), Row::real, order, ones), dcWant);
        EXPECT_EQ(runCodelet(block(), Row::real, order, alternating), nyquistWant);
    }
}

// x[1] = 1: the spectrum is the table of unit roots, each the float nearest
// its exact value, except where a value passes through two factor products
// (the 32-point codelets' sin(3*pi/16) and cos(5*pi/16) parts).
TEST_P(FftVectorCodelets, UnitRootsToTheLastBit) {
    const auto root = [](int k, int n) {
        const double a = 2.0 * std::numbers::pi * k / n;
        const auto exact = [](double v) { return std::abs(v) < 1e-12 ? 0.0f : float(v); };
        return std::vector<float>{exact(std::cos(a)), exact(-std::sin(a))};
    };
    const float below = std::bit_cast<float>(0x3F0E39D9u);  // one unit below sin(3*pi/16)
    for (const int order : {4, 5}) {
        const int n = 1 << order;
        std::vector<float> x(std::size_t(n), 0.0f);
        x[1] = 1.0f;
        const std::vector<float> perm = runCodelet(block(), Row::real, order, x);
        for (int k = 1; k < n / 2; ++k) {
            std::vector<float> want = root(k, n);
            if (order == 5 && (k == 3 || k == 5 || k == 11 || k == 13))
                for (float& v : want)
                    if (std::abs(v) == std::bit_cast<float>(0x3F0E39DAu)) v = std::copysign(below, v);
            EXPECT_EQ(perm[2 * k], want[0]) << "real, N " << n << " bin " << k;
            EXPECT_EQ(perm[2 * k + 1], want[1]) << "real, N " << n << " bin " << k;
        }
    }
    std::vector<float> z16(32, 0.0f);
    z16[2] = 1.0f;
    const std::vector<float> x16 = runCodelet(block(), Row::complex, 4, z16);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(x16[2 * k], root(k, 16)[0]) << "complex 16, bin " << k;
        EXPECT_EQ(x16[2 * k + 1], root(k, 16)[1]) << "complex 16, bin " << k;
    }
    std::vector<float> z32(64, 0.0f);
    z32[2] = 1.0f;
    const std::vector<float> x32 = runCodelet(block(), Row::complex, 5, z32);
    // Within one unit in the last place (6e-8 at these magnitudes).
    for (int k = 0; k < 32; ++k) {
        EXPECT_NEAR(x32[2 * k], root(k, 32)[0], 6e-8) << "complex 32, bin " << k;
        EXPECT_NEAR(x32[2 * k + 1], root(k, 32)[1], 6e-8) << "complex 32, bin " << k;
    }
    for (const int k : {1, 2, 3, 4, 8, 12, 16, 24})
        EXPECT_EQ((std::vector<float>{x32[2 * k], x32[2 * k + 1]}), root(k, 32)) << "complex 32, bin " << k;
    EXPECT_EQ(x32[10], std::bit_cast<float>(0x3F0E39D9u)) << "X[5] real part, one unit below cos(5*pi/16)";
    EXPECT_EQ(x32[11], -std::bit_cast<float>(0x3F54DB31u));
}

// z[0] = 1 and all-ones inputs: exact values with positive zeros.
TEST_P(FftVectorCodelets, ComplexImpulseAndConstantGivePositiveZeros) {
    for (const int order : {2, 3, 4, 5}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t m = std::size_t{1} << order;
        std::vector<float> impulse(2 * m, 0.0f), ones(2 * m, 0.0f), impulseWant(2 * m, 0.0f), onesWant(2 * m, 0.0f);
        impulse[0] = 1.0f;
        for (std::size_t k = 0; k < m; ++k) {
            ones[2 * k] = 1.0f;
            impulseWant[2 * k] = 1.0f;
        }
        onesWant[0] = float(m);
        EXPECT_EQ(bits(runCodelet(block(), Row::complex, order, impulse)), bits(impulseWant));
        EXPECT_EQ(bits(runCodelet(block(), Row::complex, order, ones)), bits(onesWant));
    }
}

struct InfinityCase {
    int order;
    int position;  // of the value (+inf, 0)
    // Bins whose values are given exactly, as (bin, re, im); NaN stands for any NaN.
    std::vector<std::array<float, 3>> bins;
    bool noNaNAnywhere;
};

// An infinity meets the zero constants of the multiplied unit factors and
// gives NaN there; where no factor lies on its way, it only moves.
TEST_P(FftVectorCodelets, InfinitiesThroughTheUnitFactors) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<InfinityCase> cases = {
        {4, 1, {{0, kInf, nan}, {4, nan, -kInf}, {8, -kInf, nan}, {12, nan, kInf}}, false},
        {4, 4, {{0, kInf, 0}, {1, 0, -kInf}, {2, -kInf, 0}, {3, 0, kInf}, {4, kInf, 0}, {13, 0, -kInf}}, true},
        {5, 1, {{0, kInf, nan}, {1, kInf, -kInf}, {4, nan, nan}, {8, nan, -kInf}, {16, -kInf, nan}}, false},
        {5, 2, {{0, kInf, 0}, {4, 0, -kInf}, {8, -kInf, 0}, {12, 0, kInf}, {16, kInf, 0}, {28, 0, kInf}}, true},
    };
    for (const InfinityCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "order " << c.order << " z[" << c.position << "] = inf");
        std::vector<float> z(std::size_t(2) << c.order, 0.0f);
        z[2 * std::size_t(c.position)] = kInf;
        const std::vector<float> out = runCodelet(block(), Row::complex, c.order, z);
        for (const auto& [bin, re, im] : c.bins) {
            const float got[2] = {out[2 * std::size_t(bin)], out[2 * std::size_t(bin) + 1]};
            const float want[2] = {re, im};
            for (int part = 0; part < 2; ++part) {
                if (std::isnan(want[part])) {
                    EXPECT_TRUE(std::isnan(got[part])) << "bin " << bin << " part " << part;
                } else {
                    EXPECT_EQ(bits({got[part]}), bits({want[part]})) << "bin " << bin << " part " << part;
                }
            }
        }
        if (c.noNaNAnywhere) {
            for (std::size_t i = 0; i < out.size(); ++i) EXPECT_FALSE(std::isnan(out[i])) << i;
        }
        if (c.order == 5 && c.position == 2) {
            for (std::size_t k = 1; k < 32; ++k) {
                if (k % 4 == 0) continue;
                EXPECT_TRUE(std::isinf(out[2 * k]) && std::isinf(out[2 * k + 1])) << k;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FftVectorCodelets, testing::ValuesIn(fftVectorVariants()), variantName);

}  // namespace
