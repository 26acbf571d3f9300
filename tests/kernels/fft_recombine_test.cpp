// Forward real split of the vector variants: the same bits as a scalar
// single-precision model of its formulas at every length and address, the
// middle bin exactly conj Z[n/2], and the generic double split to rounding.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_core.h"
#include "fft/fft_generic.h"
#include "fft/fft_spec.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "guarded_buffer.h"
#include "variants.h"

namespace {

using Recombine = void (*)(float*, std::int64_t, const float*);

Recombine recombineOf(int variant) {
    switch (variant) {
        case 1: return dsp_n1::realFftRecombine;
        case 2: return dsp_n2::realFftRecombine;
        case 3: return dsp_n3::realFftRecombine;
        default: return dsp_n4::realFftRecombine;
    }
}

// (A(k), B(k)) pairs for k = 0..n/2 read out of the grouped table, whose
// groups hold bins 4g+1..4g+4 in lanes 2, 1, 4, 3.
std::vector<float> ungroup(const float* grouped, std::int64_t n) {
    std::vector<float> pairs(static_cast<std::size_t>(n + 2));
    const int lanes[4] = {2, 1, 4, 3};
    for (std::int64_t g = 0; g < n / 8; ++g)
        for (int lane = 0; lane < 4; ++lane) {
            const std::int64_t k = 4 * g + lanes[lane];
            pairs[2 * k] = grouped[8 * g + lane];
            pairs[2 * k + 1] = grouped[8 * g + 4 + lane];
        }
    return pairs;
}

// Every operation rounded to float, in the order the split gives.
std::vector<float> floatModel(std::vector<float> z, std::int64_t n, const float* pairs) {
    for (std::int64_t k = 1; k < n / 2; ++k) {
        const float a = pairs[2 * k], b = pairs[2 * k + 1];
        const float ar = z[2 * k], ai = z[2 * k + 1], br = z[2 * (n - k)], bi = z[2 * (n - k) + 1];
        const float d = ar - br, e = ai + bi;
        const float ea = e * a, db = d * b, be = b * e, ad = a * d;
        const float t = ea + db, u = be - ad;
        z[2 * k] = br + t;
        z[2 * k + 1] = u - bi;
        z[2 * (n - k)] = ar - t;
        z[2 * (n - k) + 1] = u - ai;
    }
    z[n + 1] = -z[n + 1];
    return z;
}

class FftRecombineTest : public testing::TestWithParam<int> {};

TEST_P(FftRecombineTest, MatchesTheFloatModelAtEveryLengthAndAddress) {
    const Recombine recombine = recombineOf(GetParam());
    for (int order = 5; order <= 13; ++order) {
        const std::int64_t n = std::int64_t{1} << (order - 1);
        FftRecord grouped(4, order, dspFftNoDiv);
        const std::vector<float> z = randomSignal(static_cast<std::size_t>(2 * n), 40 + order);
        const std::vector<float> want = floatModel(z, n, ungroup(grouped.get()->splitFwdTable, n).data());
        for (const std::size_t offset : {0u, 4u, 8u, 12u, 2u}) {
            GuardedBuffer data(z.size() * 4, offset);
            std::memcpy(data.bytes(), z.data(), z.size() * 4);
            recombine(data.as<float>(), n, grouped.get()->splitFwdTable);
            ASSERT_TRUE(data.guardsIntact()) << order << " " << offset;
            std::vector<float> got(z.size());
            std::memcpy(got.data(), data.bytes(), got.size() * 4);
            ASSERT_EQ(std::memcmp(got.data(), want.data(), got.size() * 4), 0) << "order " << order << " offset " << offset;
        }
    }
}

TEST_P(FftRecombineTest, MiddleBinIsTheConjugateAndSlotZeroIsTheCallers) {
    const Recombine recombine = recombineOf(GetParam());
    FftRecord grouped(4, 6, dspFftNoDiv);
    std::vector<float> z(64, 0.0f);
    z[0] = 11.0f;
    z[1] = -7.0f;
    recombine(z.data(), 32, grouped.get()->splitFwdTable);
    EXPECT_EQ(z[0], 11.0f);
    EXPECT_EQ(z[1], -7.0f);
    for (std::size_t i = 2; i < z.size(); ++i) EXPECT_EQ(z[i], 0.0f) << i;
    EXPECT_TRUE(std::signbit(z[33])) << "zero input: the middle imaginary part is -0.0";
    // The middle bin is never run through the formulas: a value there
    // comes out exactly conjugated, whatever its neighbours.
    std::vector<float> v = randomSignal(64, 9);
    const float re = v[32], im = v[33];
    recombine(v.data(), 32, grouped.get()->splitFwdTable);
    EXPECT_EQ(v[32], re);
    EXPECT_EQ(v[33], -im);
}

TEST_P(FftRecombineTest, AgreesWithTheGenericSplit) {
    const Recombine recombine = recombineOf(GetParam());
    for (const int order : {6, 9, 12}) {
        const std::int64_t n = std::int64_t{1} << (order - 1);
        FftRecord grouped(4, order, dspFftNoDiv), pairs(0, order, dspFftNoDiv);
        std::vector<float> vector = randomSignal(static_cast<std::size_t>(2 * n), order), generic = vector;
        recombine(vector.data(), n, grouped.get()->splitFwdTable);
        dsp_n0::realFftRecombine(generic.data(), n, pairs.get()->splitFwdTable);
        EXPECT_LE(relativeL2Error(vector, toDouble(generic)), 2e-7) << order;
    }
}

std::vector<int> vectorVariants() {
    std::vector<int> v;
    for (const int variant : supportedVariants())
        if (variant > 0) v.push_back(variant);
    return v;
}

INSTANTIATE_TEST_SUITE_P(Variants, FftRecombineTest, testing::ValuesIn(vectorVariants()), variantName);

}  // namespace
