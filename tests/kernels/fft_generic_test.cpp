// Real FFT, generic variant: forward to Perm and inverse from Perm against
// the double reference on every rung (codelets, radix passes, blocked
// leaves, recursion), scaling, the argument checks and the work buffer.
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "dsp_memory.h"
#include "fft/fft_codelets.h"
#include "fft/fft_generic.h"
#include "fft/fft_spec.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "variants.h"

namespace {

constexpr int kGeneric = 0;

double tolerance(int order) { return order <= 17 ? 6e-7 : 1e-6; }

std::vector<double> scaledBy(std::vector<double> v, double f) {
    for (double& x : v) x *= f;
    return v;
}

// ---- accuracy ------------------------------------------------------------

class FftGenericOrders : public testing::TestWithParam<int> {};

TEST_P(FftGenericOrders, ForwardInverseAndRoundTripMatchTheReference) {
    const int order = GetParam();
    const std::size_t n = std::size_t{1} << order;
    const std::vector<float> x = randomSignal(n, 1000 + order);
    const std::vector<RefComplex> bins = referenceRealSpectrum(toDouble(x));

    FftRecord unscaled(kGeneric, order, dspFftNoDiv);
    const std::vector<float> spectrum = runFft(dspsFFTFwd_RToPerm_32f, unscaled, x);
    EXPECT_LE(relativeL2Error(spectrum, binsToPerm(bins)), tolerance(order));

    // The inverse of the float spectrum against the reference inverse of
    // that same spectrum, then the round trip under the 1/N flag.
    const std::vector<float> back = runFft(dspsFFTInv_PermToR_32f, unscaled, spectrum);
    EXPECT_LE(relativeL2Error(back, referenceRealInverse(permToBins(spectrum))), tolerance(order));

    FftRecord divInv(kGeneric, order, dspFftDivInvByN);
    const std::vector<float> roundTrip =
        runFft(dspsFFTInv_PermToR_32f, divInv, runFft(dspsFFTFwd_RToPerm_32f, divInv, x));
    EXPECT_LE(relativeL2Error(roundTrip, toDouble(x)), 1e-6);
}

TEST_P(FftGenericOrders, ScaledDirectionsAndEveryCallFormAgree) {
    const int order = GetParam();
    const std::size_t n = std::size_t{1} << order;
    const std::vector<float> x = randomSignal(n, 2000 + order);
    const std::vector<double> perm = binsToPerm(referenceRealSpectrum(toDouble(x)));

    FftRecord divFwd(kGeneric, order, dspFftDivFwdByN);
    EXPECT_LE(relativeL2Error(runFft(dspsFFTFwd_RToPerm_32f, divFwd, x), scaledBy(perm, 1.0 / n)),
              tolerance(order));
    FftRecord bySqrt(kGeneric, order, dspFftDivBySqrtN);
    const std::vector<float> sqrtSpectrum = runFft(dspsFFTFwd_RToPerm_32f, bySqrt, x);
    EXPECT_LE(relativeL2Error(sqrtSpectrum, scaledBy(perm, 1.0 / std::sqrt(double(n)))), tolerance(order));
    EXPECT_LE(relativeL2Error(runFft(dspsFFTInv_PermToR_32f, bySqrt, sqrtSpectrum), toDouble(x)), 1e-6);

    // In place, with the entry's own buffer, and at unaligned addresses:
    // the same bits as the plain call.
    for (const FftEntry entry : {dspsFFTFwd_RToPerm_32f, dspsFFTInv_PermToR_32f}) {
        const std::vector<float> plain = runFft(entry, divFwd, x);
        for (const FftCallOptions options : {FftCallOptions{true, true, 0}, FftCallOptions{false, false, 0},
                                             FftCallOptions{true, false, 1}, FftCallOptions{false, true, 2},
                                             FftCallOptions{false, true, 12}})
            EXPECT_EQ(runFft(entry, divFwd, x, options), plain)
                << "in place " << options.inPlace << " caller's buffer " << options.callersBuffer << " offset "
                << options.offset;
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, FftGenericOrders, testing::Range(0, 21));

// ---- exact cases ---------------------------------------------------------

std::vector<float> forwardNoDiv(const std::vector<float>& x) {
    int order = 0;
    while ((std::size_t{1} << order) < x.size()) ++order;
    FftRecord record(kGeneric, order, dspFftNoDiv);
    return runFft(dspsFFTFwd_RToPerm_32f, record, x);
}

std::vector<float> inverseNoDiv(const std::vector<float>& perm) {
    int order = 0;
    while ((std::size_t{1} << order) < perm.size()) ++order;
    FftRecord record(kGeneric, order, dspFftNoDiv);
    return runFft(dspsFFTInv_PermToR_32f, record, perm);
}

TEST(FftGenericExact, SmallOrdersAndSpecialSignals) {
    EXPECT_EQ(forwardNoDiv({-0.0f}), std::vector<float>{-0.0f});
    EXPECT_EQ(forwardNoDiv({3.0f, 5.0f}), (std::vector<float>{8.0f, -2.0f}));
    EXPECT_EQ(forwardNoDiv({1, 2, 3, 4}), (std::vector<float>{10, -2, -2, 2}));
    EXPECT_EQ(forwardNoDiv({1, 0, 0, 0, 0, 0, 0, 0}), (std::vector<float>{1, 1, 1, 0, 1, 0, 1, 0}));
    // Order 2 inverse: (X0 + X2 + 2 Re X1, X0 - X2 - 2 Im X1, ...).
    EXPECT_EQ(inverseNoDiv({1, 2, 3, 4}), (std::vector<float>{9, -9, -3, 7}));
    EXPECT_EQ(inverseNoDiv({0, 0, 0, 1}), (std::vector<float>{0, -2, 0, 2}));
    for (const int order : {3, 5, 6, 7, 11, 12, 14}) {
        SCOPED_TRACE(order);
        const std::size_t n = std::size_t{1} << order;
        std::vector<float> impulse(n, 0.0f), ones(n, 1.0f), alternating(n), cosine(n), sine(n);
        impulse[0] = 1.0f;
        for (std::size_t j = 0; j < n; ++j) {
            alternating[j] = j % 2 == 0 ? 1.0f : -1.0f;
            cosine[j] = static_cast<float>(std::cos(2 * M_PI * double(j) / double(n)));
            sine[j] = static_cast<float>(std::sin(2 * M_PI * double(j) / double(n)));
        }
        const std::vector<float> impulseSpectrum = forwardNoDiv(impulse);
        for (std::size_t k = 0; k < n; ++k) EXPECT_NEAR(impulseSpectrum[k], k < 2 || k % 2 == 0 ? 1.0 : 0.0, 1e-6) << k;
        const std::vector<float> constant = forwardNoDiv(ones);
        EXPECT_EQ(constant[0], float(n));
        for (std::size_t k = 1; k < n; ++k) EXPECT_NEAR(constant[k], 0.0, 1e-6 * n) << k;
        const std::vector<float> nyquist = forwardNoDiv(alternating);
        EXPECT_EQ(nyquist[1], float(n));
        EXPECT_NEAR(nyquist[0], 0.0, 1e-6 * n);
        const std::vector<float> c = forwardNoDiv(cosine), s = forwardNoDiv(sine);
        EXPECT_NEAR(c[2], n / 2.0, 1e-5 * n);
        EXPECT_NEAR(s[3], -(n / 2.0), 1e-5 * n);
        // The inverse of a lone Nyquist bin alternates, of a lone DC bin is flat.
        std::vector<float> lone(n, 0.0f);
        lone[1] = 1.0f;
        const std::vector<float> alt = inverseNoDiv(lone);
        for (std::size_t j = 0; j < n; ++j) EXPECT_NEAR(alt[j], j % 2 == 0 ? 1.0 : -1.0, 1e-6) << j;
    }
}

TEST(FftGenericExact, FlatSpectrumUnderEachFlag) {
    const int order = 8;
    const float n = 256;
    std::vector<float> dcOnly(256, 0.0f);
    dcOnly[0] = n;
    struct Case {
        int flag;
        float value;
    };
    for (const Case c : {Case{dspFftDivInvByN, 1.0f}, Case{dspFftDivFwdByN, n}, Case{dspFftNoDiv, n},
                         Case{dspFftDivBySqrtN, 16.0f}}) {
        FftRecord record(kGeneric, order, c.flag);
        for (const float v : runFft(dspsFFTInv_PermToR_32f, record, dcOnly)) ASSERT_EQ(v, c.value) << c.flag;
    }
}

TEST(FftGenericCodelets, TheCasesTheirContractNames) {
    const FftCodeletBlock& fwd = *fftCodeletTable[kGeneric][0];
    const FftCodeletBlock& inv = *fftCodeletTable[kGeneric][1];
    float out[64];
    const float impulse8[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    fwd.realScaled[3](impulse8, out, 0.5f);
    EXPECT_EQ(std::vector<float>(out, out + 8), (std::vector<float>{0.5f, 0.5f, 0.5f, 0, 0.5f, 0, 0.5f, 0}));
    const float z1[8] = {0, 0, 1, 0, 0, 0, 0, 0};
    fwd.complex[2](z1, out);
    EXPECT_EQ(std::vector<float>(out, out + 8), (std::vector<float>{1, 0, 0, -1, -1, 0, 0, 1}));
    inv.complex[2](z1, out);
    EXPECT_EQ(std::vector<float>(out, out + 8), (std::vector<float>{1, 0, 0, 1, -1, 0, 0, -1}));
    // Order 0 moves the bits (NaN payload, -0.0); the scaled one multiplies.
    const float nan = std::bit_cast<float>(0x7FC00123u);
    inv.real[0](&nan, out);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(out[0]), 0x7FC00123u);
    const float three = 3.0f;
    fwd.realScaled[0](&three, out, 0.25f);
    EXPECT_EQ(out[0], 0.75f);
    // Each complex codelet against the reference, both directions, in place.
    for (int order = 0; order <= 5; ++order) {
        const int n = 1 << order;
        const std::vector<float> v = randomSignal(2 * n, 77 + order);
        std::vector<RefComplex> z(n);
        for (int i = 0; i < n; ++i) z[i] = {v[2 * i], v[2 * i + 1]};
        for (const int direction : {0, 1}) {
            const std::vector<RefComplex> want = referenceDirectDft(z, direction == 0 ? -1 : 1);
            std::vector<float> data = v;
            fftCodeletTable[kGeneric][direction]->complexScaled[order](data.data(), data.data(), 0.5f);
            for (int k = 0; k < n; ++k) {
                EXPECT_NEAR(data[2 * k], 0.5 * want[k].real(), 2e-6 * n) << order << " " << direction;
                EXPECT_NEAR(data[2 * k + 1], 0.5 * want[k].imag(), 2e-6 * n) << order << " " << direction;
            }
        }
    }
}

// ---- checks, buffers, variants -------------------------------------------

TEST(FftGenericChecks, RecordFirstThenIdentityThenPointers) {
    FftRecord record(kGeneric, 8, dspFftDivInvByN);
    std::vector<float> a(256, 1.0f), b(256, 7.0f);
    for (const FftEntry entry : {dspsFFTFwd_RToPerm_32f, dspsFFTInv_PermToR_32f, n0_dspsFFTFwd_RToPerm_32f,
                                 n0_dspsFFTInv_PermToR_32f}) {
        EXPECT_EQ(entry(a.data(), b.data(), nullptr, nullptr), dspStsNullPtrErr);
        EXPECT_EQ(entry(nullptr, b.data(), record.get(), nullptr), dspStsNullPtrErr);
        EXPECT_EQ(entry(a.data(), nullptr, record.get(), nullptr), dspStsNullPtrErr);
        alignas(32) unsigned char foreign[256] = {'F', 'I', '0', '1'};
        EXPECT_EQ(entry(nullptr, nullptr, reinterpret_cast<DspsFFTSpec_R_32f*>(foreign), nullptr),
                  dspStsContextMatchErr);
    }
    // A record released in caller memory is dead.
    int specSize = 0, initSize = 0, work = 0;
    ASSERT_EQ(n0_dspsFFTGetSize_R_32f(8, dspFftNoDiv, 0, &specSize, &initSize, &work), dspStsNoErr);
    std::vector<Dsp8u> memory(static_cast<std::size_t>(specSize));
    DspsFFTSpec_R_32f* spec = nullptr;
    ASSERT_EQ(n0_dspsFFTInit_R_32f(&spec, 8, dspFftNoDiv, 0, memory.data(), nullptr), dspStsNoErr);
    ASSERT_EQ(dspsFFTFree_R_32f(spec), dspStsNoErr);
    EXPECT_EQ(dspsFFTFwd_RToPerm_32f(a.data(), b.data(), spec, nullptr), dspStsContextMatchErr);
    EXPECT_EQ(b, std::vector<float>(256, 7.0f));
}

TEST(FftGenericBuffers, WorkSizeZeroUntilTheFirstCrossStage) {
    for (int order = 0; order <= 13; ++order) EXPECT_EQ(FftRecord(kGeneric, order, dspFftNoDiv).bufferSize(), 0) << order;
    EXPECT_EQ(FftRecord(kGeneric, 14, dspFftNoDiv).bufferSize(), 32 * 32 + 32);
    EXPECT_EQ(FftRecord(kGeneric, 17, dspFftNoDiv).bufferSize(), 32 * 256 + 32);
}

class FftAllocationFailure : public testing::Test {
protected:
    static void* refuse(std::size_t) { return nullptr; }
    void SetUp() override { saved_ = dspMemHooks; }
    void TearDown() override { dspMemHooks = saved_; }
    DspMemHooks saved_{};
};

TEST_F(FftAllocationFailure, NoBufferAndNoMemoryLeavesTheDestinationUntouched) {
    FftRecord record(kGeneric, 15, dspFftDivInvByN);
    ASSERT_GT(record.bufferSize(), 0);
    std::vector<float> x = randomSignal(1 << 15, 5), out(1 << 15, 9.0f);
    dspMemHooks.allocate = refuse;
    EXPECT_EQ(dspsFFTFwd_RToPerm_32f(x.data(), out.data(), record.get(), nullptr), dspStsMemAllocErr);
    EXPECT_EQ(dspsFFTInv_PermToR_32f(x.data(), out.data(), record.get(), nullptr), dspStsMemAllocErr);
    EXPECT_EQ(out, std::vector<float>(1 << 15, 9.0f));
}

TEST(FftGenericVariant, ARecordBuiltBeforeStartUpTransformsAfterIt) {
    std::vector<float> x = randomSignal(1 << 12, 11);
    DspsFFTSpec_R_32f* spec = nullptr;
    {
        ScopedVariant beforeStartUp(0);
        ASSERT_EQ(dspsFFTInitAlloc_R_32f(&spec, 12, dspFftDivInvByN, 0), dspStsNoErr);
    }
    dspStaticInit();
    for (const int variant : supportedVariants()) {
        ScopedVariant selected(variant);
        std::vector<float> y(x.size()), back(x.size());
        ASSERT_EQ(dspsFFTFwd_RToPerm_32f(x.data(), y.data(), spec, nullptr), dspStsNoErr);
        EXPECT_LE(relativeL2Error(y, binsToPerm(referenceRealSpectrum(toDouble(x)))), 6e-7);
        ASSERT_EQ(dspsFFTInv_PermToR_32f(y.data(), back.data(), spec, nullptr), dspStsNoErr);
        EXPECT_LE(relativeL2Error(back, toDouble(x)), 1e-6);
    }
    dspsFFTFree_R_32f(spec);
}

}  // namespace
