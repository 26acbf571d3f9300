// Vector variants' real FFT at the largest orders: orders 23 and 24 against
// the double reference, and the first order whose sub-transforms are split
// again (a second cross level), through energy, round trip and a cosine.
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_plan.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "variants.h"

namespace {

class FftVectorLargeOrders : public testing::TestWithParam<int> {};

// Orders 23 and 24 once, in the last variant (the reference takes a while).
TEST_P(FftVectorLargeOrders, Orders23And24MatchTheReference) {
    if (GetParam() != fftVectorVariants().back()) GTEST_SKIP() << "run in the last variant";
    for (const int order : {23, 24}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::vector<float> x = randomSignal(std::size_t{1} << order, 3100 + order);
        FftRecord record(GetParam(), order, dspFftDivInvByN);
        const std::vector<float> spectrum = runFft(dspsFFTFwd_RToPerm_32f, record, x);
        EXPECT_LE(relativeL2Error(spectrum, binsToPerm(referenceRealSpectrum(toDouble(x)))), 1e-6);
        EXPECT_LE(relativeL2Error(runFft(dspsFFTInv_PermToR_32f, record, spectrum, {true, false, 0}), toDouble(x)),
                  1e-6);
    }
}

// SSSE3 shares the SSE4.1 plan: its order 27 is left to SSE4.1.
TEST_P(FftVectorLargeOrders, FirstOrderWithASecondCrossLevel) {
    if (GetParam() == 3 && fftVectorVariants().back() == 4) GTEST_SKIP() << "the SSE4.1 plan";
    const FftVariantPlan& plan = fftVariantPlan(GetParam());
    int m = plan.lastDirectM + 1;
    while (m - plan.splitOrders[m] <= plan.lastDirectM) ++m;
    checkHugeOrder(GetParam(), m + 1);
}

INSTANTIATE_TEST_SUITE_P(Variants, FftVectorLargeOrders, testing::ValuesIn(fftVectorVariants()), variantName);

// The inverse's plan changes above order 21 (the smaller ones run with the
// kernel tests), every variant against one reference per order.
TEST(FftVectorInverseLarge, AroundEveryPlanChangeFromOrder22To24) {
    for (const int order : inversePlanChangeOrders(22, 24)) checkInverseAtOrder(order);
}

// The same orders forward.
TEST(FftVectorForwardLarge, AroundEveryPlanChangeFromOrder22To24) {
    for (const int order : inversePlanChangeOrders(22, 24)) checkForwardAtOrder(order);
}

}  // namespace
