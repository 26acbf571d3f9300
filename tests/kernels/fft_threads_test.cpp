// One real-FFT record shared by threads that each bring their own data and
// work buffer: the record is only read, so every thread gets the bits a
// lone call gives.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft_reference.h"
#include "fft_test_support.h"

namespace {

TEST(FftThreads, ConcurrentTransformsShareOneRecord) {
    constexpr int kOrder = 14;  // the generic plan's first cross stage: a work buffer is needed
    constexpr std::size_t kN = std::size_t{1} << kOrder;
    FftRecord record(0, kOrder, dspFftDivInvByN);
    const std::vector<float> x = randomSignal(kN, 14);
    std::vector<float> expected(kN);
    ASSERT_EQ(dspsFFTFwd_RToPerm_32f(x.data(), expected.data(), record.get(), nullptr), dspStsNoErr);

    constexpr int kThreads = 4;
    std::vector<std::vector<float>> spectra(kThreads, std::vector<float>(kN)), outputs(kThreads, std::vector<float>(kN));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::vector<Dsp8u> work(static_cast<std::size_t>(record.bufferSize()));
            for (int round = 0; round < 8; ++round) {
                dspsFFTFwd_RToPerm_32f(x.data(), spectra[t].data(), record.get(), work.data());
                // Every other thread lets the entry allocate its own buffer.
                dspsFFTInv_PermToR_32f(spectra[t].data(), outputs[t].data(), record.get(),
                                       t % 2 == 0 ? work.data() : nullptr);
            }
        });
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(spectra[t], expected) << t;
        EXPECT_LE(relativeL2Error(outputs[t], toDouble(x)), 1e-6) << t;
    }
}

}  // namespace
