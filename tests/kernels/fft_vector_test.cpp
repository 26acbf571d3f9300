// Real FFT, vector variants (n1..n4): forward to Perm and inverse from Perm
// against the double reference for every flag up to the in-cache and radix
// orders and around the recursive rung's thresholds, the bit identities
// between the variants and between the ways of calling, and the exact cases.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "variants.h"

namespace {

// The last order of a variant's direct plan (codelets, in-cache and radix
// passes).
int lastVectorOrder(int variant) { return fftVariantPlan(variant).lastDirectM + 1; }

std::vector<double> scaledBy(std::vector<double> v, double f) {
    for (double& x : v) x *= f;
    return v;
}

struct FlagCase {
    int flag;
    double forward;  // factor of the forward result for N points, as a function of N
    double inverse;
};

FlagCase flagCase(int flag, double n) {
    switch (flag) {
        case dspFftDivFwdByN: return {flag, 1.0 / n, 1.0};
        case dspFftDivInvByN: return {flag, 1.0, 1.0 / n};
        case dspFftDivBySqrtN: return {flag, 1.0 / std::sqrt(n), 1.0 / std::sqrt(n)};
        default: return {flag, 1.0, 1.0};
    }
}

class FftVectorOrders : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

TEST_P(FftVectorOrders, EveryFlagAndOrderMatchesTheReference) {
    for (int order = 0; order <= lastVectorOrder(variant()); ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        const std::vector<float> x = randomSignal(n, 3000 + order);
        const std::vector<double> xd = toDouble(x);
        const double peak = std::abs(*std::max_element(xd.begin(), xd.end(), [](double a, double b) {
            return std::abs(a) < std::abs(b);
        }));
        const std::vector<double> perm = binsToPerm(referenceRealSpectrum(xd));
        for (const int flag : {dspFftNoDiv, dspFftDivFwdByN, dspFftDivInvByN, dspFftDivBySqrtN}) {
            const FlagCase scale = flagCase(flag, double(n));
            FftRecord record(variant(), order, flag);
            ASSERT_EQ(record.get()->variant, variant());
            const std::vector<float> spectrum = runFft(dspsFFTFwd_RToPerm_32f, record, x);
            const std::vector<double> want = scaledBy(perm, scale.forward);
            EXPECT_LE(relativeL2Error(spectrum, want), 6e-7) << "flag " << flag;
            EXPECT_LE(maxAbsError(spectrum, want), 4e-6 * std::sqrt(double(n)) * peak * scale.forward)
                << "flag " << flag;
            const std::vector<float> back = runFft(dspsFFTInv_PermToR_32f, record, spectrum);
            EXPECT_LE(relativeL2Error(back, scaledBy(referenceRealInverse(permToBins(spectrum)), scale.inverse)),
                      6e-7)
                << "flag " << flag;
            EXPECT_LE(relativeL2Error(back, scaledBy(xd, scale.forward * scale.inverse * double(n))), 1e-6)
                << "round trip, flag " << flag;
        }
    }
}

TEST_P(FftVectorOrders, InPlaceUnalignedAndOwnBufferGiveTheSameBits) {
    for (int order = 0; order <= lastVectorOrder(variant()); ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::vector<float> x = randomSignal(std::size_t{1} << order, 4000 + order);
        FftRecord record(variant(), order, dspFftDivBySqrtN);
        for (const FftEntry entry : {dspsFFTFwd_RToPerm_32f, dspsFFTInv_PermToR_32f}) {
            const std::vector<float> plain = runFft(entry, record, x);
            for (const FftCallOptions options :
                 {FftCallOptions{true, true, 0}, FftCallOptions{false, false, 0}, FftCallOptions{false, true, 4},
                  FftCallOptions{false, true, 8}, FftCallOptions{true, false, 12}})
                EXPECT_EQ(runFft(entry, record, x, options), plain)
                    << "in place " << options.inPlace << " caller's buffer " << options.callersBuffer
                    << " offset " << options.offset;
        }
    }
}

TEST_P(FftVectorOrders, ExactCases) {
    const auto forward = [&](const std::vector<float>& x, int order) {
        FftRecord record(variant(), order, dspFftNoDiv);
        return runFft(dspsFFTFwd_RToPerm_32f, record, x);
    };
    EXPECT_EQ(forward({1, 2, 3, 4}, 2), (std::vector<float>{10, -2, -2, 2}));
    for (int order = 0; order <= lastVectorOrder(variant()); ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        std::vector<float> impulse(n, 0.0f), ones(n, 1.0f);
        impulse[0] = 1.0f;
        std::vector<float> allOnes(n, 1.0f);  // Perm of an impulse: DC, Nyquist, (1, 0) pairs
        for (std::size_t k = 3; k < n; k += 2) allOnes[k] = 0.0f;
        EXPECT_EQ(forward(impulse, order), allOnes);
        const std::vector<float> constant = forward(ones, order);
        EXPECT_EQ(constant[0], float(n));
        for (std::size_t k = 1; k < n; ++k) ASSERT_EQ(constant[k], 0.0f) << k;
    }
    // An infinity in sample 1 reaches DC and Nyquist with its sign; a NaN
    // reaches every bin whose sum weighs sample 1 by +-1.
    for (const int order : {2, 6, 10}) {
        const std::size_t n = std::size_t{1} << order;
        std::vector<float> x(n, 0.0f);
        x[1] = std::numeric_limits<float>::infinity();
        const std::vector<float> inf = forward(x, order);
        EXPECT_EQ(inf[0], x[1]) << order;
        EXPECT_EQ(inf[1], -x[1]) << order;
        x[1] = std::numeric_limits<float>::quiet_NaN();
        const std::vector<float> nan = forward(x, order);
        EXPECT_TRUE(std::isnan(nan[0]) && std::isnan(nan[1])) << order;
        EXPECT_TRUE(std::isnan(nan[n / 2 + 1])) << "Im X[N/4] = -x1, order " << order;
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FftVectorOrders, testing::ValuesIn(fftVectorVariants()), variantName);

// n2, n3 and n4 run the same operations in the same order; n1 joins them
// where its plan does (even half-length orders, and the codelets).
TEST(FftVectorIdentity, TheSseVariantsAgreeBitForBit) {
    const std::vector<int> variants = fftVectorVariants();
    if (variants.size() < 2) GTEST_SKIP() << "one vector variant on this processor";
    for (int order = 0; order <= lastVectorOrder(2); ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::vector<float> x = randomSignal(std::size_t{1} << order, 5000 + order);
        std::vector<float> forward[5], inverse[5];
        for (const int variant : variants) {
            if (order > lastVectorOrder(variant)) continue;
            FftRecord record(variant, order, dspFftDivInvByN);
            forward[variant] = runFft(dspsFFTFwd_RToPerm_32f, record, x);
            inverse[variant] = runFft(dspsFFTInv_PermToR_32f, record, x);
        }
        const int m = order - 1;
        for (const int variant : variants) {
            if (variant == 2 || forward[variant].empty()) continue;
            if (variant == 1 && m >= 6 && m % 2 == 1) continue;
            EXPECT_EQ(forward[variant], forward[2]) << "n" << variant;
            EXPECT_EQ(inverse[variant], inverse[2]) << "n" << variant;
        }
    }
}

// SSSE3 and SSE4.1 share their whole ladder: the same bits also on the
// orders above SSE3's, the bit-reversal rung and the recursive rung with
// and without tiles, in place and out of place.
TEST(FftVectorIdentity, Ssse3AndSse41AgreeAboveTheSse3Orders) {
    const std::vector<int> variants = fftVectorVariants();
    if (variants.back() != 4) GTEST_SKIP() << "no SSE4.1";
    for (int order = lastVectorOrder(2) + 1; order <= fftVariantPlan(4).tiledFromM + 1; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::vector<float> x = randomSignal(std::size_t{1} << order, 5500 + order);
        FftRecord n3(3, order, dspFftDivFwdByN), n4(4, order, dspFftDivFwdByN);
        for (const bool inPlace : {false, true})
            EXPECT_EQ(runFft(dspsFFTFwd_RToPerm_32f, n3, x, {inPlace, true, 0}),
                      runFft(dspsFFTFwd_RToPerm_32f, n4, x, {inPlace, true, 0}))
                << "in place " << inPlace;
    }
}

// The recursive rung: its first order, the first with the tiled bit
// reversal, and an odd split (a closing radix-2 cross pass), per variant.
std::vector<int> recursiveOrders(int variant) {
    const FftVariantPlan& plan = fftVariantPlan(variant);
    std::vector<int> orders = {plan.lastDirectM + 2, plan.tiledFromM + 1};
    for (int m = plan.lastDirectM + 1; m <= 21; ++m)
        if (plan.splitOrders[m] % 2 == 1) {
            orders.push_back(m + 1);
            break;
        }
    std::sort(orders.begin(), orders.end());
    orders.erase(std::unique(orders.begin(), orders.end()), orders.end());
    return orders;
}

TEST_P(FftVectorOrders, RecursiveRungAroundItsThresholds) {
    for (const int order : recursiveOrders(variant())) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        const std::vector<float> x = randomSignal(n, 12000 + order);
        FftRecord unscaled(variant(), order, dspFftNoDiv);
        ASSERT_EQ(unscaled.get()->variant, variant());
        const std::vector<float> spectrum = runFft(dspsFFTFwd_RToPerm_32f, unscaled, x);
        EXPECT_LE(relativeL2Error(spectrum, binsToPerm(referenceRealSpectrum(toDouble(x)))), 1e-6);
        const std::vector<float> back = runFft(dspsFFTInv_PermToR_32f, unscaled, spectrum);
        EXPECT_LE(relativeL2Error(back, referenceRealInverse(permToBins(spectrum))), 1e-6);
        // In place and with the entry's own buffer: the same bits; the
        // out-of-place source is left as it was (runFft checks it).
        EXPECT_EQ(runFft(dspsFFTFwd_RToPerm_32f, unscaled, x, {true, false, 4}), spectrum);
        EXPECT_EQ(runFft(dspsFFTInv_PermToR_32f, unscaled, spectrum, {false, false, 8}), back);

        FftRecord divFwd(variant(), order, dspFftDivFwdByN), divInv(variant(), order, dspFftDivInvByN);
        const std::vector<float> scaled = runFft(dspsFFTFwd_RToPerm_32f, divFwd, x);
        EXPECT_LE(relativeL2Error(scaled, scaledBy(toDouble(spectrum), 1.0 / double(n))), 1e-6);
        EXPECT_LE(relativeL2Error(runFft(dspsFFTInv_PermToR_32f, divInv, spectrum), toDouble(x)), 1e-6);
    }
}

}  // namespace
