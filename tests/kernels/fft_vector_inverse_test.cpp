// The vector variants' inverse real FFT on both sides of every change of
// plan: the last in-cache order, the radix-pass order, the first recursive
// order, the first tiled bit reversal, each change of the split, the first
// second cross level. Each order against the double inverse DFT of the same
// Perm spectrum and by a round trip, and the variants that share a plan
// (n2, n3 and n4 from the same stages) bit for bit. And the spectra whose
// inverse is exact at every order.
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_plan.h"
#include "fft_test_support.h"
#include "variants.h"

namespace {

// Orders up to 21 here; the larger ones with the large tests
// (fft_vector_large_test.cpp).
TEST(FftVectorInverse, AroundEveryPlanChangeUpToOrder21) {
    for (const int order : inversePlanChangeOrders(15, 21)) checkInverseAtOrder(order);
}

class FftVectorInverseExact : public testing::TestWithParam<int> {};

// DC alone is Z[0] = (1, 1) after the entry's first step, Nyquist alone
// (1, -1), bin N/4 alone twice its conjugate in the middle slot: every
// later butterfly adds zeros or multiplies them, so the samples are exact at
// every order up to the first recursive ones (and 1/N of them with the 1/N
// flag).
TEST_P(FftVectorInverseExact, DcAndNyquistAloneAtEveryOrder) {
    const int variant = GetParam();
    for (int order = 0; order <= fftVariantPlan(variant).lastDirectM + 3; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        std::vector<float> dc(n, 0.0f), nyquist(n, 0.0f), ones(n, 1.0f), alternating(n, 1.0f);
        dc[0] = 1.0f;
        if (n > 1) nyquist[1] = 1.0f;
        for (std::size_t i = 1; i < n; i += 2) alternating[i] = -1.0f;
        FftRecord unscaled(variant, order, dspFftNoDiv);
        EXPECT_EQ(runFft(dspsFFTInv_PermToR_32f, unscaled, dc), ones);
        if (n > 1) {
            EXPECT_EQ(runFft(dspsFFTInv_PermToR_32f, unscaled, nyquist, {true, true, 8}), alternating);
        }
        // Bin N/4 alone, (u, w): the samples 2u, -2w, -2u, 2w, repeating.
        if (n >= 4) {
            std::vector<float> quarter(n, 0.0f), want(n);
            quarter[n / 2] = 0.75f;
            quarter[n / 2 + 1] = -1.5f;
            for (std::size_t i = 0; i < n; i += 4) {
                want[i] = 1.5f;
                want[i + 1] = 3.0f;
                want[i + 2] = -1.5f;
                want[i + 3] = -3.0f;
            }
            EXPECT_EQ(runFft(dspsFFTInv_PermToR_32f, unscaled, quarter), want);
        }
        FftRecord divInv(variant, order, dspFftDivInvByN);
        const std::vector<float> scaled = runFft(dspsFFTInv_PermToR_32f, divInv, dc);
        for (const float v : scaled) ASSERT_EQ(v, 1.0f / float(n));
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FftVectorInverseExact, testing::ValuesIn(fftVectorVariants()), variantName);

}  // namespace
