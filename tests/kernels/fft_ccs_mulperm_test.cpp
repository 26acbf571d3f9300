// Real FFT with the CCS layout, and the Perm product: CCS against Perm for
// every variant, the words the inverse ignores, in place on N + 2 floats;
// the product's checks and a circular convolution through forward
// transform, product and inverse.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_spec.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "variants.h"

namespace {

class FftCcs : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

TEST_P(FftCcs, ForwardIsThePermSpectrumWithTheNyquistBinMoved) {
    for (const int order : {0, 1, 2, 4, 5, 6, 9, 12}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        const std::vector<float> x = randomSignal(n, 6000 + order);
        FftRecord record(variant(), order, dspFftDivFwdByN);
        const std::vector<float> perm = runFft(dspsFFTFwd_RToPerm_32f, record, x);

        std::vector<float> ccs(n + 2, 9.0f);
        ASSERT_EQ(dspsFFTFwd_RToCCS_32f(x.data(), ccs.data(), record.get(), nullptr), dspStsNoErr);
        EXPECT_EQ(ccs[0], perm[0]);
        EXPECT_EQ(ccs[1], 0.0f);
        if (n > 1) {
            EXPECT_EQ(ccs[n], perm[1]);
            EXPECT_EQ(ccs[n + 1], 0.0f);
        }
        for (std::size_t w = 2; w < n; ++w) ASSERT_EQ(ccs[w], perm[w]) << w;

        // In place on N + 2 floats gives the same words.
        std::vector<float> inPlace = x;
        inPlace.resize(n + (n > 1 ? 2 : 1), 5.0f);
        ASSERT_EQ(dspsFFTFwd_RToCCS_32f(inPlace.data(), inPlace.data(), record.get(), nullptr), dspStsNoErr);
        EXPECT_EQ(std::vector<float>(inPlace.begin(), inPlace.begin() + static_cast<std::ptrdiff_t>(n)),
                  std::vector<float>(ccs.begin(), ccs.begin() + static_cast<std::ptrdiff_t>(n)));
    }
}

TEST_P(FftCcs, InverseIgnoresTheZeroImaginaryWordsAndRestoresTheSignal) {
    for (const int order : {1, 2, 4, 5, 6, 9, 12}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        const std::vector<float> x = randomSignal(n, 7000 + order);
        FftRecord record(variant(), order, dspFftDivInvByN);
        std::vector<float> ccs(n + 2);
        ASSERT_EQ(dspsFFTFwd_RToCCS_32f(x.data(), ccs.data(), record.get(), nullptr), dspStsNoErr);
        const std::vector<float> viaPerm =
            runFft(dspsFFTInv_PermToR_32f, record, runFft(dspsFFTFwd_RToPerm_32f, record, x));

        ccs[1] = ccs[n + 1] = std::numeric_limits<float>::quiet_NaN();
        std::vector<float> out(n, 7.0f);
        ASSERT_EQ(dspsFFTInv_CCSToR_32f(ccs.data(), out.data(), record.get(), nullptr), dspStsNoErr);
        EXPECT_EQ(out, viaPerm);
        EXPECT_LE(relativeL2Error(out, toDouble(x)), 1e-6);

        // In place: words 0..N-1 become the signal, N and N + 1 stay.
        std::vector<float> inPlace = ccs;
        ASSERT_EQ(dspsFFTInv_CCSToR_32f(inPlace.data(), inPlace.data(), record.get(), nullptr), dspStsNoErr);
        EXPECT_EQ(std::vector<float>(inPlace.begin(), inPlace.begin() + static_cast<std::ptrdiff_t>(n)), viaPerm);
        EXPECT_EQ(inPlace[n], ccs[n]);
        EXPECT_TRUE(std::isnan(inPlace[n + 1]));
    }
    // Order 0: (X0, anything) gives X0.
    FftRecord one(variant(), 0, dspFftNoDiv);
    const float ccs[2] = {3.5f, std::numeric_limits<float>::quiet_NaN()};
    float out = 0.0f;
    ASSERT_EQ(dspsFFTInv_CCSToR_32f(ccs, &out, one.get(), nullptr), dspStsNoErr);
    EXPECT_EQ(out, 3.5f);
}

INSTANTIATE_FOR_EACH_VARIANT(FftCcs);

TEST(FftCcsChecks, RecordThenIdentityThenPointersWithNothingWritten) {
    FftRecord record(0, 6, dspFftNoDiv);
    std::vector<float> a(66, 1.0f), b(66, 7.0f);
    alignas(32) unsigned char foreign[256] = {};
    for (const FftEntry entry : {dspsFFTFwd_RToCCS_32f, dspsFFTInv_CCSToR_32f}) {
        EXPECT_EQ(entry(a.data(), b.data(), nullptr, nullptr), dspStsNullPtrErr);
        EXPECT_EQ(entry(nullptr, nullptr, reinterpret_cast<DspsFFTSpec_R_32f*>(foreign), nullptr),
                  dspStsContextMatchErr);
        EXPECT_EQ(entry(nullptr, b.data(), record.get(), nullptr), dspStsNullPtrErr);
        EXPECT_EQ(entry(a.data(), nullptr, record.get(), nullptr), dspStsNullPtrErr);
    }
    EXPECT_EQ(b, std::vector<float>(66, 7.0f));
}

// ---- the Perm product ------------------------------------------------------

TEST(FftMulPerm, ChecksNullBeforeSizeAndMultipliesEveryLength) {
    float s[4] = {1, 2, 3, 4}, d[4] = {5, 6, 7, 8};
    EXPECT_EQ(dspsMulPerm_32f_I(nullptr, d, 0), dspStsNullPtrErr);
    EXPECT_EQ(dspsMulPerm_32f_I(s, nullptr, -1), dspStsNullPtrErr);
    EXPECT_EQ(dspsMulPerm_32f_I(s, d, 0), dspStsSizeErr);
    EXPECT_EQ(d[0], 5.0f);
    for (const int len : {1, 2, 3, 4, 10, 12, 1000}) {
        SCOPED_TRACE(len);
        const std::vector<float> a = randomSignal(static_cast<std::size_t>(len), 8000 + len);
        const std::vector<float> b = randomSignal(static_cast<std::size_t>(len), 9000 + len);
        std::vector<float> product = b, squared = a;
        ASSERT_EQ(dspsMulPerm_32f_I(a.data(), product.data(), len), dspStsNoErr);
        ASSERT_EQ(dspsMulPerm_32f_I(squared.data(), squared.data(), len), dspStsNoErr);
        const int firstPair = len % 2 == 0 ? 2 : 1;
        for (int w = 0; w < firstPair && w < len; ++w) {
            EXPECT_EQ(product[w], a[w] * b[w]);
            EXPECT_EQ(squared[w], a[w] * a[w]);
        }
        for (int w = firstPair; w + 1 < len; w += 2) {
            const RefComplex p = RefComplex(a[w], a[w + 1]) * RefComplex(b[w], b[w + 1]);
            const RefComplex q = RefComplex(a[w], a[w + 1]) * RefComplex(a[w], a[w + 1]);
            ASSERT_NEAR(product[w], p.real(), 1e-6);
            ASSERT_NEAR(product[w + 1], p.imag(), 1e-6);
            ASSERT_NEAR(squared[w], q.real(), 1e-6);
            ASSERT_NEAR(squared[w + 1], q.imag(), 1e-6);
        }
    }
}

class FftConvolution : public testing::TestWithParam<int> {};

// The FIR filters' fast path: forward both, multiply, inverse with 1/N.
TEST_P(FftConvolution, ProductOfSpectraIsTheCircularConvolution) {
    ScopedVariant selected(GetParam());
    for (const int order : {3, 6, 8, 11}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const std::size_t n = std::size_t{1} << order;
        const std::vector<float> x = randomSignal(n, 10000 + order), h = randomSignal(n, 11000 + order);
        DspsFFTSpec_R_32f* spec = nullptr;
        ASSERT_EQ(dspsFFTInitAlloc_R_32f(&spec, order, dspFftDivInvByN, 0), dspStsNoErr);
        std::vector<float> xs(n), hs(n), y(n);
        ASSERT_EQ(dspsFFTFwd_RToPerm_32f(x.data(), xs.data(), spec, nullptr), dspStsNoErr);
        ASSERT_EQ(dspsFFTFwd_RToPerm_32f(h.data(), hs.data(), spec, nullptr), dspStsNoErr);
        ASSERT_EQ(dspsMulPerm_32f_I(hs.data(), xs.data(), static_cast<int>(n)), dspStsNoErr);
        ASSERT_EQ(dspsFFTInv_PermToR_32f(xs.data(), y.data(), spec, nullptr), dspStsNoErr);
        dspsFFTFree_R_32f(spec);

        std::vector<double> direct(n, 0.0);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) direct[(i + j) % n] += double(x[i]) * double(h[j]);
        EXPECT_LE(relativeL2Error(y, direct), 2e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FftConvolution, testing::ValuesIn(supportedVariants()), variantName);

}  // namespace
