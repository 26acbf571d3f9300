// Polar-to-Cartesian conversion and the vector ramp, in every processor
// variant.
//
// Variant classes: the SIMD variants (n1..n4) run one kernel and are
// bit-identical; their sine/cosine is an approximation within 2.5 ulp
// (absolute error 1.5e-7) for |phase| <= 1000, outside the documented
// half-integer cases. The generic variant is within 1 ulp of double-precision
// sine and cosine. The ramp gives exact integers in every variant; otherwise
// n0 rounds offset + slope * i once and the SIMD variants accumulate.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "float_bits.h"
#include "guarded_buffer.h"
#include "vector/polar_ramp.h"
#include "tail_buffer.h"
#include "variants.h"

namespace {

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// |got - want| in units of the float spacing at want.
double ulpError(float got, double want) {
    int exponent;
    std::frexp(want, &exponent);
    const double ulp = std::ldexp(1.0, std::max(exponent - 24, -149));
    return std::fabs(got - want) / ulp;
}

struct Cartesian {
    std::vector<float> re, im;
};

Cartesian polarToCart(int variant, const std::vector<float>& mag, const std::vector<float>& phase) {
    Cartesian out{std::vector<float>(mag.size()), std::vector<float>(mag.size())};
    EXPECT_EQ(dspsPolarToCart_32f_table[variant](mag.data(), phase.data(), out.re.data(), out.im.data(),
                                                 static_cast<int>(mag.size())),
              dspStsNoErr);
    return out;
}

std::vector<float> uniformPhases(std::size_t n, float range, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> phase(-range, range);
    std::vector<float> v(n);
    for (float& p : v) p = phase(rng);
    return v;
}

class PolarRampTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
    bool generic() const { return GetParam() == 0; }
};
INSTANTIATE_FOR_EACH_VARIANT(PolarRampTest);

TEST_P(PolarRampTest, ArgumentErrorsWriteNothing) {
    ScopedVariant scoped(variant());
    float mag[2] = {1, 1}, phase[2] = {0, 0}, re[2] = {7, 7}, im[2] = {7, 7};
    EXPECT_EQ(dspsPolarToCart_32f(nullptr, phase, re, im, 2), dspStsNullPtrErr);
    EXPECT_EQ(dspsPolarToCart_32f(mag, nullptr, re, im, 2), dspStsNullPtrErr);
    EXPECT_EQ(dspsPolarToCart_32f(mag, phase, nullptr, im, 2), dspStsNullPtrErr);
    EXPECT_EQ(dspsPolarToCart_32f(mag, phase, re, nullptr, 2), dspStsNullPtrErr);
    EXPECT_EQ(dspsPolarToCart_32f(nullptr, phase, re, im, 0), dspStsNullPtrErr);
    EXPECT_EQ(dspsPolarToCart_32f(mag, phase, re, im, 0), dspStsSizeErr);
    EXPECT_EQ(dspsPolarToCart_32f(mag, phase, re, im, -1), dspStsSizeErr);
    EXPECT_EQ(dspsVectorRamp_32f(nullptr, 2, 0, 1), dspStsNullPtrErr);
    EXPECT_EQ(dspsVectorRamp_32f(nullptr, -1, 0, 1), dspStsNullPtrErr);
    EXPECT_EQ(dspsVectorRamp_32f(re, 0, 0, 1), dspStsSizeErr);
    EXPECT_EQ(dspsVectorRamp_32f(re, -5, 0, 1), dspStsSizeErr);
    for (float v : {re[0], re[1], im[0], im[1]}) EXPECT_EQ(v, 7.0f);
}

// Magnitude 1 at phase 0, through the single-element, pair and block paths.
TEST_P(PolarRampTest, PhaseZeroGivesExactBits) {
    for (std::size_t len : {1, 2, 3, 4, 5, 8}) {
        const Cartesian out = polarToCart(variant(), std::vector<float>(len, 1.0f), std::vector<float>(len, 0.0f));
        for (std::size_t i = 0; i < len; ++i) {
            EXPECT_EQ(std::bit_cast<std::uint32_t>(out.re[i]), generic() ? 0x3F800000u : 0x3F7FFFFFu)
                << "len " << len << " element " << i;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(out.im[i]), 0u) << "len " << len << " element " << i;
        }
    }
}

// The SIMD factors against double-precision sine and cosine. Where x * (1/pi)
// rounds across a half-integer the reduction picks the neighbouring multiple
// of pi and the cosine takes the wrong sign; it is small there, and has its
// own bound: 1e-5 below |phase| 100, 2e-4 below 1000.
TEST_P(PolarRampTest, AccuracyAgainstDouble) {
    std::vector<float> phase;
    for (float range : {4.0f, 100.0f, 1000.0f}) {
        const std::vector<float> part = uniformPhases(200000, range, 11u + static_cast<unsigned>(range));
        phase.insert(phase.end(), part.begin(), part.end());
    }
    if (generic()) {
        const std::vector<float> far = uniformPhases(100000, 1.0e4f, 5);
        phase.insert(phase.end(), far.begin(), far.end());
    }
    std::vector<float> mag(phase.size(), 1.0f);
    const Cartesian out = polarToCart(variant(), mag, phase);
    const float invPi = std::bit_cast<float>(0x3EA2F983u);
    int failures = 0;
    for (std::size_t i = 0; i < phase.size() && failures < 10; ++i) {
        const double x = phase[i];
        const double wantCos = std::cos(x), wantSin = std::sin(x);
        const double reUlps = ulpError(out.re[i], wantCos), imUlps = ulpError(out.im[i], wantSin);
        bool ok;
        if (generic()) {
            ok = ulpDistance(out.re[i], static_cast<float>(wantCos)) <= 1 &&
                 ulpDistance(out.im[i], static_cast<float>(wantSin)) <= 1;
        } else {
            // The kernel's multiple of pi, round(x * (1/pi)) in single
            // precision with ties to even, against the true nearest one.
            const float t = phase[i] * invPi;
            const bool acrossHalf = std::nearbyint(t) != std::nearbyint(x / M_PI);
            const double cosBound = std::fabs(x) < 100 ? 1.0e-5 : 2.0e-4;
            const bool cosOk = acrossHalf ? std::fabs(out.re[i] - wantCos) <= cosBound
                                          : reUlps <= 2.5 && std::fabs(out.re[i] - wantCos) <= 1.5e-7;
            ok = cosOk && imUlps <= 2.5 && std::fabs(out.im[i] - wantSin) <= 1.5e-7;
        }
        if (!ok) {
            ++failures;
            ADD_FAILURE() << "phase " << phase[i] << ": re " << out.re[i] << " (" << reUlps << " ulp), im " << out.im[i]
                          << " (" << imUlps << " ulp)";
        }
    }
    if (!generic()) {
        const Cartesian reference = polarToCart(1, mag, phase);
        EXPECT_EQ(out.re, reference.re);
        EXPECT_EQ(out.im, reference.im);
    }
}

// The odd last element of the generic variant goes through the runtime's
// sine and cosine; the magnitude scales both factors.
TEST_P(PolarRampTest, MagnitudeAndOddLastElement) {
    const std::vector<float> mag = {2.0f, -0.5f, 3.0f};
    const std::vector<float> phase = {0.75f, -2.0f, 1.0e6f};
    const Cartesian out = polarToCart(variant(), mag, phase);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_LE(ulpError(out.re[i], mag[i] * std::cos(double(phase[i]))), 2.5) << i;
        EXPECT_LE(ulpError(out.im[i], mag[i] * std::sin(double(phase[i]))), 2.5) << i;
    }
    if (generic()) {
        EXPECT_EQ(out.re[2], static_cast<float>(3.0 * std::cos(1.0e6)));
        EXPECT_EQ(out.im[2], static_cast<float>(3.0 * std::sin(1.0e6)));
    }
}

TEST_P(PolarRampTest, NanAndInfinityPropagate) {
    for (std::size_t len : {1, 2, 4, 7}) {
        for (int which : {0, 1, 2}) {
            std::vector<float> mag(len, 1.0f), phase(len, 0.5f);
            if (which == 0) phase.back() = kNan;
            if (which == 1) mag.back() = kNan;
            if (which == 2) phase.back() = kInf;
            const Cartesian out = polarToCart(variant(), mag, phase);
            if (which == 2) {
                EXPECT_FALSE(std::isfinite(out.re.back()) && std::isfinite(out.im.back())) << "len " << len;
            } else {
                EXPECT_TRUE(std::isnan(out.re.back()) && std::isnan(out.im.back())) << "len " << len << " " << which;
            }
            for (std::size_t i = 0; i + 1 < len; ++i) EXPECT_TRUE(std::isfinite(out.re[i])) << "len " << len;
        }
    }
}

// Every length to 40 with every array at each byte offset: each element's
// result is the one it has in a 16-byte-aligned call (the generic variant's
// odd last element excepted, which uses the runtime's functions); nothing
// read past the sources or written outside the destinations.
TEST_P(PolarRampTest, PolarToCartLengthsAndOffsets) {
    constexpr std::size_t kMaxLen = 40;
    const std::vector<float> phase = uniformPhases(kMaxLen, 50.0f, 3);
    std::vector<float> mag = uniformPhases(kMaxLen, 4.0f, 4);
    const Cartesian aligned = polarToCart(variant(), mag, phase);
    for (std::size_t len = 1; len <= kMaxLen; ++len) {
        for (std::size_t offset = 0; offset < 16; ++offset) {
            const std::size_t bytes = len * sizeof(float);
            TailBuffer magSrc(bytes, offset), phaseSrc(bytes, (offset * 5) % 16);
            magSrc.assign(mag.data());
            phaseSrc.assign(phase.data());
            GuardedBuffer re(bytes, (offset * 3) % 16), im(bytes, offset);
            ASSERT_EQ(dspsPolarToCart_32f_table[variant()](reinterpret_cast<const Dsp32f*>(magSrc.bytes()),
                                                           reinterpret_cast<const Dsp32f*>(phaseSrc.bytes()),
                                                           re.as<Dsp32f>(), im.as<Dsp32f>(), static_cast<int>(len)),
                      dspStsNoErr);
            ASSERT_TRUE(re.guardsIntact() && im.guardsIntact()) << "len " << len << " offset " << offset;
            for (std::size_t i = 0; i < len; ++i) {
                float wantRe = aligned.re[i], wantIm = aligned.im[i];
                if (generic() && len % 2 == 1 && i == len - 1) {
                    wantRe = static_cast<float>(double(mag[i]) * std::cos(double(phase[i])));
                    wantIm = static_cast<float>(double(mag[i]) * std::sin(double(phase[i])));
                }
                ASSERT_EQ(re.get<float>(i), wantRe) << "len " << len << " offset " << offset << " element " << i;
                ASSERT_EQ(im.get<float>(i), wantIm) << "len " << len << " offset " << offset << " element " << i;
            }
        }
    }
}

// The SIMD ramp's accumulation rule, element by element in single precision:
// a head up to the 16-byte boundary, blocks of 16 in four lanes of four, and
// a tail that keeps adding the slope to lane 0.
std::vector<float> accumulatedRamp(std::size_t len, std::size_t headCount, float offset, float slope) {
    std::vector<float> out;
    float lanes[4] = {0 * slope, 1 * slope, 2 * slope, 3 * slope};
    auto addToAll = [](float* v, float x) {
        for (int j = 0; j < 4; ++j) v[j] += x;
    };
    for (; out.size() < len && out.size() < headCount; addToAll(lanes, slope)) out.push_back(lanes[0] + offset);
    float blocks[4][4];
    for (int j = 0; j < 4; ++j) blocks[0][j] = lanes[j] + offset;
    if (len - out.size() >= 16) {
        const float step4 = (slope + slope) + (slope + slope);
        float w[4] = {lanes[0], lanes[1], lanes[2], lanes[3]};
        for (int b = 1; b < 4; ++b) {
            addToAll(w, step4);
            for (int j = 0; j < 4; ++j) blocks[b][j] = w[j] + offset;
        }
        const float step16 = (step4 + step4) + (step4 + step4);
        for (; len - out.size() >= 16;) {
            for (auto& block : blocks) {
                out.insert(out.end(), block, block + 4);
                addToAll(block, step16);
            }
        }
    }
    for (float next = blocks[0][0]; out.size() < len; next += slope) out.push_back(next);
    return out;
}

TEST_P(PolarRampTest, RampAccumulatesFromFourBytesPastABoundary) {
    const float offset = 0.1f, slope = 0.0123f;
    for (std::size_t len : {1, 3, 4, 18, 19, 40, 53, 100}) {
        GuardedBuffer dst(len * sizeof(float), 4);
        ASSERT_EQ(dspsVectorRamp_32f_table[variant()](dst.as<Dsp32f>(), static_cast<int>(len), offset, slope),
                  dspStsNoErr);
        ASSERT_TRUE(dst.guardsIntact()) << len;
        const std::vector<float> accumulated = accumulatedRamp(len, 3, offset, slope);
        bool differsFromPerIndex = false;
        for (std::size_t i = 0; i < len; ++i) {
            const float perIndex = static_cast<float>(static_cast<double>(i) * slope + offset);
            differsFromPerIndex |= accumulated[i] != perIndex;
            EXPECT_EQ(dst.get<float>(i), generic() ? perIndex : accumulated[i]) << "len " << len << " element " << i;
        }
        if (len >= 40) {
            EXPECT_TRUE(differsFromPerIndex) << "the fixture no longer tells the two rules apart";
        }
    }
}

TEST_P(PolarRampTest, RampSpecialCases) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t len : {1, 2, 17, 40, 1000}) {
            GuardedBuffer dst(len * sizeof(float), offset);
            auto* p = dst.as<Dsp32f>();
            const int n = static_cast<int>(len);
            ASSERT_EQ(dspsVectorRamp_32f_table[variant()](p, n, 0.0f, 1.0f), dspStsNoErr);
            for (std::size_t i = 0; i < len; ++i) ASSERT_EQ(dst.get<float>(i), float(i)) << offset << " " << len;
            ASSERT_EQ(dspsVectorRamp_32f_table[variant()](p, n, -2.5f, 0.0f), dspStsNoErr);
            for (std::size_t i = 0; i < len; ++i) ASSERT_EQ(dst.get<float>(i), -2.5f) << offset << " " << len;
            ASSERT_TRUE(dst.guardsIntact()) << offset << " " << len;
        }
    }
    // The beam-pattern plot's phase ramp starts at exactly 0 and len 1 writes the offset.
    float one = 0;
    ASSERT_EQ(dspsVectorRamp_32f_table[variant()](&one, 1, 0.75f, 6.2831855f), dspStsNoErr);
    EXPECT_EQ(one, 0.75f);
}

TEST(PolarRampDispatchTest, EntryPointsRunTheChosenVariant) {
    const std::vector<float> mag(5, 1.0f), phase(5, 0.0f);
    for (int v : supportedVariants()) {
        ScopedVariant scoped(v);
        float re[5], im[5], ramp[5];
        ASSERT_EQ(dspsPolarToCart_32f(mag.data(), phase.data(), re, im, 5), dspStsNoErr);
        EXPECT_EQ(re[0], v == 0 ? 1.0f : 0.99999994f);
        ASSERT_EQ(dspsVectorRamp_32f(ramp, 5, 1.0f, 2.0f), dspStsNoErr);
        EXPECT_EQ(ramp[4], 9.0f);
    }
}

}  // namespace
