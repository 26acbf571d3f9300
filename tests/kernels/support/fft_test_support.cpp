#include "fft_test_support.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include <gtest/gtest.h>

#include "fft_reference.h"
#include "variants.h"

#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "guarded_buffer.h"

FftRecord::FftRecord(int variant, int order, int flag) : order_(order) {
    EXPECT_EQ(dspsFFTInitAlloc_R_32f_table[variant](&spec_, order, flag, 0), dspStsNoErr)
        << "variant " << variant << " order " << order;
}

FftRecord::~FftRecord() {
    if (spec_ != nullptr) dspsFFTFree_R_32f(spec_);
}

int FftRecord::bufferSize() const {
    int size = -1;
    EXPECT_EQ(dspsFFTGetBufSize_R_32f(spec_, &size), dspStsNoErr);
    return size;
}

std::vector<float> runFft(FftEntry entry, const FftRecord& record, const std::vector<float>& input,
                          FftCallOptions options) {
    const std::size_t bytes = input.size() * sizeof(float);
    GuardedBuffer src(bytes, options.offset), dst(bytes, options.offset);
    std::memcpy(src.bytes(), input.data(), bytes);
    GuardedBuffer* out = options.inPlace ? &src : &dst;
    const int workBytes = record.bufferSize();
    // The caller's buffer at an odd address: the entry must align it itself.
    GuardedBuffer work(static_cast<std::size_t>(workBytes), 3);
    Dsp8u* buffer = options.callersBuffer && workBytes > 0 ? work.bytes() : nullptr;
    EXPECT_EQ(entry(src.as<Dsp32f>(), out->as<Dsp32f>(), record.get(), buffer), dspStsNoErr);
    EXPECT_TRUE(src.guardsIntact() && dst.guardsIntact()) << "write outside the destination";
    EXPECT_TRUE(work.guardsIntact()) << "write outside the work buffer";
    if (!options.inPlace) {
        EXPECT_EQ(std::memcmp(src.bytes(), input.data(), bytes), 0) << "source changed";
    }
    std::vector<float> result(input.size());
    std::memcpy(result.data(), out->bytes(), bytes);
    return result;
}

void checkHugeOrder(int variant, int order) {
    SCOPED_TRACE(testing::Message() << "variant " << variant << " order " << order);
    const std::size_t n = std::size_t{1} << order;
    std::vector<float> x = randomSignal(n, static_cast<unsigned>(order));
    FftRecord record(variant, order, dspFftDivInvByN);
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

std::vector<int> fftVectorVariants() {
    std::vector<int> v;
    for (const int variant : supportedVariants())
        if (variant > 0) v.push_back(variant);
    return v;
}

std::vector<int> inversePlanChangeOrders(int lowest, int highest) {
    std::set<int> halfOrders;
    const auto bothSides = [&](int m) { halfOrders.insert({m - 1, m}); };
    for (const int variant : {1, 2, 3, 4}) {
        const FftVariantPlan& plan = fftVariantPlan(variant);
        bothSides(plan.lastDirectM);      // in-cache, then the radix passes
        bothSides(plan.lastDirectM + 1);  // the recursive rung
        bothSides(plan.tiledFromM);
        for (int m = plan.lastDirectM + 2; m <= 26; ++m) {
            if (plan.splitOrders[m] != plan.splitOrders[m - 1]) bothSides(m);
        }
        int m = plan.lastDirectM + 1;
        while (m - plan.splitOrders[m] <= plan.lastDirectM) ++m;
        bothSides(m);
    }
    std::vector<int> orders;
    for (const int m : halfOrders)
        if (m + 1 >= lowest && m + 1 <= highest) orders.push_back(m + 1);
    return orders;
}

void checkInverseAtOrder(int order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const std::size_t n = std::size_t{1} << order;
    const std::vector<float> spectrum = randomSignal(n, 9100 + order);
    const std::vector<double> want = referenceRealInverse(permToBins(spectrum));
    const std::vector<float> x = randomSignal(n, 9200 + order);
    std::vector<float> inverse[5];
    for (const int variant : fftVectorVariants()) {
        SCOPED_TRACE(testing::Message() << "n" << variant);
        FftRecord unscaled(variant, order, dspFftNoDiv);
        inverse[variant] = runFft(dspsFFTInv_PermToR_32f, unscaled, spectrum);
        EXPECT_LE(relativeL2Error(inverse[variant], want), 1e-6);
        EXPECT_EQ(runFft(dspsFFTInv_PermToR_32f, unscaled, spectrum, {true, false, 8}), inverse[variant]);
        FftRecord divInv(variant, order, dspFftDivInvByN);
        const std::vector<float> back =
            runFft(dspsFFTInv_PermToR_32f, divInv, runFft(dspsFFTFwd_RToPerm_32f, divInv, x), {false, true, 4});
        EXPECT_LE(relativeL2Error(back, toDouble(x)), 1e-6);
    }
    for (const int variant : {2, 3})
        if (!inverse[variant].empty() && !inverse[4].empty()) {
            EXPECT_EQ(inverse[variant], inverse[4]) << "n" << variant << " and n4";
        }
}

void checkForwardAtOrder(int order) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const std::size_t n = std::size_t{1} << order;
    const std::vector<float> x = randomSignal(n, 9300 + order);
    const std::vector<double> want = binsToPerm(referenceRealSpectrum(toDouble(x)));
    std::vector<float> forward[5];
    for (const int variant : fftVectorVariants()) {
        SCOPED_TRACE(testing::Message() << "n" << variant);
        FftRecord unscaled(variant, order, dspFftNoDiv);
        forward[variant] = runFft(dspsFFTFwd_RToPerm_32f, unscaled, x);
        EXPECT_LE(relativeL2Error(forward[variant], want), 1e-6);
        EXPECT_EQ(runFft(dspsFFTFwd_RToPerm_32f, unscaled, x, {true, false, 8}), forward[variant]);
        EXPECT_EQ(runFft(dspsFFTFwd_RToPerm_32f, unscaled, x, {false, true, 12}), forward[variant]);
        FftRecord divFwd(variant, order, dspFftDivFwdByN);
        std::vector<double> scaled = toDouble(forward[variant]);
        for (double& v : scaled) v /= double(n);
        EXPECT_LE(relativeL2Error(runFft(dspsFFTFwd_RToPerm_32f, divFwd, x, {false, true, 4}), scaled), 1e-6);
    }
    // SSSE3 runs the SSE4.1 plan; SSE3 the same operations wherever it takes
    // the same kind of rung (its direct plan ends one order earlier).
    const int m = order - 1;
    const bool sameRung = (m <= fftVariantPlan(2).lastDirectM) == (m <= fftVariantPlan(4).lastDirectM);
    for (const int variant : {2, 3}) {
        if (forward[variant].empty() || forward[4].empty() || (variant == 2 && !sameRung)) continue;
        EXPECT_EQ(forward[variant], forward[4]) << "n" << variant << " and n4";
    }
}
