// Generic real FFT at the largest orders: the second recursion level
// (orders 24..27) and the blocked leaves inside the recursion (22, 23).
#include <algorithm>
#include <cmath>
#include <numbers>
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

// Order 27: a full double reference would take gigabytes, so the spectrum of
// a random signal is checked by its energy (Parseval) and the round trip,
// and the placement of the bins by a cosine, whose spectrum is one bin.
TEST(FftGenericLargest, Order27) {
    const int order = 27;
    const std::size_t n = std::size_t{1} << order;
    std::vector<float> x = randomSignal(n, 27);
    FftRecord record(kGeneric, order, dspFftDivInvByN);
    std::vector<float> y(n), back(n);
    ASSERT_EQ(dspsFFTFwd_RToPerm_32f(x.data(), y.data(), record.get(), nullptr), dspStsNoErr);
    double timeEnergy = 0.0, spectrumEnergy = double(y[0]) * y[0] + double(y[1]) * y[1];
    for (const float v : x) timeEnergy += double(v) * v;
    for (std::size_t i = 2; i < n; ++i) spectrumEnergy += 2.0 * double(y[i]) * y[i];
    EXPECT_NEAR(spectrumEnergy / double(n) / timeEnergy, 1.0, 2e-6);
    ASSERT_EQ(dspsFFTInv_PermToR_32f(y.data(), back.data(), record.get(), nullptr), dspStsNoErr);
    EXPECT_LE(relativeL2Error(back, toDouble(x)), 1e-6);

    const std::size_t k0 = 12345;
    for (std::size_t j = 0; j < n; ++j)
        x[j] = static_cast<float>(std::cos(2.0 * std::numbers::pi * double((j * k0) % n) / double(n)));
    ASSERT_EQ(dspsFFTFwd_RToPerm_32f(x.data(), y.data(), record.get(), nullptr), dspStsNoErr);
    EXPECT_NEAR(y[2 * k0], double(n) / 2, 1e-6 * double(n));
    double elsewhere = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        if (i != 2 * k0) elsewhere = std::max(elsewhere, double(std::abs(y[i])));
    EXPECT_LT(elsewhere, 1e-5 * double(n));
}

}  // namespace
