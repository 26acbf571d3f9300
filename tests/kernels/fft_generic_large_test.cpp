// Generic real FFT at the largest orders: the second recursion level
// (orders 24..27) and the blocked leaves inside the recursion (22, 23).
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft_reference.h"
#include "fft_test_support.h"

namespace {

constexpr int kGeneric = 0;

class FftGenericLargeOrders : public testing::TestWithParam<int> {};

TEST_P(FftGenericLargeOrders, ForwardAndRoundTripMatchTheReference) {
    const int order = GetParam();
    const std::vector<float> x = randomSignal(std::size_t{1} << order, 3000 + order);
    FftRecord record(kGeneric, order, dspFftDivInvByN);
    const std::vector<float> spectrum = runFft(dspsFFTFwd_RToPerm_32f, record, x, {true, false, 0});
    EXPECT_LE(relativeL2Error(spectrum, binsToPerm(referenceRealSpectrum(toDouble(x)))), 1e-6);
    EXPECT_LE(relativeL2Error(runFft(dspsFFTInv_PermToR_32f, record, spectrum), toDouble(x)), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Orders, FftGenericLargeOrders, testing::Values(21, 22, 23, 24));

TEST(FftGenericLargest, Order27) { checkHugeOrder(kGeneric, 27); }

}  // namespace
