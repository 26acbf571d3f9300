// Real FFT: building a record per variant layout; the forward transform and
// the forward + inverse pair of the generic and the SSE4.1 variant against
// FFTW's single-precision real-to-complex and complex-to-real plans
// (FFTW_MEASURE) and KissFFT's real transform, in the same run.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <kiss_fftr.h>

#include <vector>

#include "dsp.h"
#include "fft/fft_spec.h"

namespace {

constexpr int kGeneric = 0;
constexpr int kSse41 = 4;

// state.range(0): order; range(1): variant index (0 generic, 1 SSE2, 4 SSE4.1 layout).
void BM_FftInitAlloc(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const auto initAlloc = dspsFFTInitAlloc_R_32f_table[state.range(1)];
    for (auto _ : state) {
        DspsFFTSpec_R_32f* spec = nullptr;
        if (initAlloc(&spec, order, dspFftDivInvByN, 0) != dspStsNoErr) state.SkipWithError("InitAlloc failed");
        benchmark::DoNotOptimize(spec);
        dspsFFTFree_R_32f(spec);
    }
}

std::vector<float> signal(std::size_t n) {
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<float>((i * 7919) % 1000) / 500.0f - 1.0f;
    return x;
}

// One record of a variant, the caller's work buffer and a 32-byte-aligned
// signal.
class Transforms {
public:
    Transforms(int variant, int order) : n_(std::size_t{1} << order) {
        dspsFFTInitAlloc_R_32f_table[variant](&spec_, order, dspFftDivInvByN, 0);
        int bufSize = 0;
        dspsFFTGetBufSize_R_32f(spec_, &bufSize);
        buffer_ = bufSize > 0 ? dspsMalloc_8u(bufSize) : nullptr;
        data_ = dspsMalloc_32f(static_cast<int>(n_));
        const std::vector<float> x = signal(n_);
        std::copy(x.begin(), x.end(), data_);
    }
    ~Transforms() {
        dspsFree(data_);
        dspsFree(buffer_);
        dspsFFTFree_R_32f(spec_);
    }
    Transforms(const Transforms&) = delete;
    Transforms& operator=(const Transforms&) = delete;

    void forward() { dspsFFTFwd_RToPerm_32f(data_, data_, spec_, buffer_); }
    void inverse() { dspsFFTInv_PermToR_32f(data_, data_, spec_, buffer_); }
    std::size_t length() const { return n_; }
    // Bytes the record takes (its memory, as the size query reports it), and
    // the work buffer a caller passes beside it.
    int recordBytes() const {
        int spec = 0, init = 0, work = 0;
        dspsFFTGetSize_R_32f_table[spec_->variant](spec_->order, dspFftDivInvByN, 0, &spec, &init, &work);
        return spec;
    }
    int workBytes() const {
        int bytes = 0;
        dspsFFTGetBufSize_R_32f(spec_, &bytes);
        return bytes;
    }

private:
    std::size_t n_;
    DspsFFTSpec_R_32f* spec_ = nullptr;
    Dsp8u* buffer_ = nullptr;
    Dsp32f* data_ = nullptr;
};

// In place with the caller's work buffer, as the FIR filters' fast
// convolution runs them.
void runForward(benchmark::State& state, int variant) {
    Transforms t(variant, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        t.forward();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.length()));
    state.counters["record_bytes"] = t.recordBytes();
    state.counters["work_bytes"] = t.workBytes();
}

void runPair(benchmark::State& state, int variant) {
    Transforms t(variant, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        t.forward();
        t.inverse();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.length()));
    state.counters["record_bytes"] = t.recordBytes();
}

void BM_FftForward_N4(benchmark::State& state) {
    dspStaticInit();
    runForward(state, kSse41);
}
void BM_FftPair_N4(benchmark::State& state) {
    dspStaticInit();
    runPair(state, kSse41);
}
void BM_FftPair_Generic(benchmark::State& state) { runPair(state, kGeneric); }

// FFTW's plans between a real array and its n/2+1 bins; the pair scales by
// 1/N as the record does.
class FftwPlans {
public:
    explicit FftwPlans(int n) : n_(n) {
        data_ = fftwf_alloc_real(static_cast<std::size_t>(n));
        spectrum_ = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
        forward_ = fftwf_plan_dft_r2c_1d(n, data_, spectrum_, FFTW_MEASURE);
        inverse_ = fftwf_plan_dft_c2r_1d(n, spectrum_, data_, FFTW_MEASURE);
        const std::vector<float> x = signal(static_cast<std::size_t>(n));
        std::copy(x.begin(), x.end(), data_);
    }
    ~FftwPlans() {
        fftwf_destroy_plan(forward_);
        fftwf_destroy_plan(inverse_);
        fftwf_free(spectrum_);
        fftwf_free(data_);
    }
    FftwPlans(const FftwPlans&) = delete;
    FftwPlans& operator=(const FftwPlans&) = delete;

    void forward() { fftwf_execute(forward_); }
    void pair() {
        fftwf_execute(forward_);
        fftwf_execute(inverse_);
        const float scale = 1.0f / static_cast<float>(n_);
        for (int i = 0; i < n_; ++i) data_[i] *= scale;
    }

private:
    int n_;
    float* data_;
    fftwf_complex* spectrum_;
    fftwf_plan forward_, inverse_;
};

void BM_FftForward_Fftw(benchmark::State& state) {
    FftwPlans plans(1 << state.range(0));
    for (auto _ : state) {
        plans.forward();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (std::int64_t{1} << state.range(0)));
}

void BM_FftPair_Fftw(benchmark::State& state) {
    FftwPlans plans(1 << state.range(0));
    for (auto _ : state) {
        plans.pair();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * (std::int64_t{1} << state.range(0)));
}

void BM_FftPair_KissFft(benchmark::State& state) {
    const int n = 1 << state.range(0);
    kiss_fftr_cfg forward = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    kiss_fftr_cfg inverse = kiss_fftr_alloc(n, 1, nullptr, nullptr);
    std::vector<float> data = signal(static_cast<std::size_t>(n));
    std::vector<kiss_fft_cpx> spectrum(static_cast<std::size_t>(n / 2 + 1));
    const float scale = 1.0f / static_cast<float>(n);
    for (auto _ : state) {
        kiss_fftr(forward, data.data(), spectrum.data());
        kiss_fftri(inverse, spectrum.data(), data.data());
        for (float& v : data) v *= scale;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    kiss_fftr_free(forward);
    kiss_fftr_free(inverse);
}

}  // namespace

BENCHMARK(BM_FftInitAlloc)
    ->ArgsProduct({{10, 16, 20}, {0, 1, 4}})
    ->ArgNames({"order", "variant"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftForward_N4)->DenseRange(6, 22)->ArgName("order")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftForward_Fftw)->DenseRange(6, 22)->ArgName("order")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftPair_N4)->DenseRange(6, 22)->ArgName("order")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftPair_Generic)->DenseRange(6, 22)->ArgName("order")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftPair_Fftw)->DenseRange(6, 22)->ArgName("order")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftPair_KissFft)->DenseRange(6, 16)->ArgName("order")->Unit(benchmark::kMicrosecond);
