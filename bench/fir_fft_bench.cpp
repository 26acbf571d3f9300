// Long FIR filters. The headline: 32 channels, 1024 taps, blocks of 4096
// samples out of place (FFT mode), the generic and SSE4.1 variants against a
// plain float loop and an overlap-save filter on FFTW, all in one run. Then
// the engine's spherical-harmonic filters: 16 channels of 631 and 409 taps
// filtered in place in 512-frame blocks, with the share of real time one
// block takes at 48 kHz.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <complex>
#include <memory>
#include <cstring>
#include <vector>

#include "dsp.h"
#include "fir_bench_support.h"

namespace {

struct Channels {
    std::vector<std::vector<float>> in, out;
    Channels(int channels, int block) {
        for (int c = 0; c < channels; ++c) {
            in.push_back(randomSignal(static_cast<std::size_t>(block), 200u + c));
            out.emplace_back(static_cast<std::size_t>(block));
        }
    }
};

constexpr int kHeadlineChannels = 32, kHeadlineTaps = 1024, kHeadlineBlock = 4096;

void libraryHeadline(benchmark::State& state, int variant) {
    const BenchVariant forced(state, variant);
    if (!forced.ok()) return;
    const std::vector<float> taps = randomSignal(kHeadlineTaps, 1);
    std::vector<DspsFIRState_32f*> states(kHeadlineChannels);
    for (DspsFIRState_32f*& s : states) dspsFIRInitAlloc_32f(&s, taps.data(), kHeadlineTaps, nullptr);
    Channels ch(kHeadlineChannels, kHeadlineBlock);
    for (auto _ : state) {
        for (int c = 0; c < kHeadlineChannels; ++c)
            dspsFIR_32f(ch.in[c].data(), ch.out[c].data(), kHeadlineBlock, states[c]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kHeadlineChannels * kHeadlineBlock);
    for (DspsFIRState_32f* s : states) dspsFIRFree_32f(s);
}

// What a caller would write without the library: history and block in one
// buffer, a dot product per output, the history moved on.
__attribute__((noinline)) void plainFir(const std::vector<float>& h, std::vector<float>& buffer, const float* in,
                                        float* out, int block) {
    const int t = static_cast<int>(h.size());
    std::memcpy(buffer.data() + t - 1, in, sizeof(float) * static_cast<std::size_t>(block));
    for (int n = 0; n < block; ++n) {
        float sum = 0.0f;
        for (int k = 0; k < t; ++k) sum += h[static_cast<std::size_t>(k)] * buffer[static_cast<std::size_t>(n + t - 1 - k)];
        out[n] = sum;
    }
    std::memmove(buffer.data(), buffer.data() + block, sizeof(float) * static_cast<std::size_t>(t - 1));
}

void plainHeadline(benchmark::State& state) {
    const std::vector<float> taps = randomSignal(kHeadlineTaps, 1);
    std::vector<std::vector<float>> buffers(kHeadlineChannels,
                                            std::vector<float>(kHeadlineTaps - 1 + kHeadlineBlock, 0.0f));
    Channels ch(kHeadlineChannels, kHeadlineBlock);
    for (auto _ : state) {
        for (int c = 0; c < kHeadlineChannels; ++c)
            plainFir(taps, buffers[c], ch.in[c].data(), ch.out[c].data(), kHeadlineBlock);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kHeadlineChannels * kHeadlineBlock);
}

// Overlap-save on FFTW's single-precision real plans, with the same block
// length as the library (twice the power of two above the tap count).
class FftwOverlapSave {
public:
    explicit FftwOverlapSave(const std::vector<float>& h)
        : m_(static_cast<int>(h.size())), n_(4096), step_(n_ - m_ + 1),
          time_(fftwf_alloc_real(static_cast<std::size_t>(n_))),
          spectrum_(fftwf_alloc_complex(static_cast<std::size_t>(n_ / 2 + 1))),
          taps_(static_cast<std::size_t>(n_ / 2 + 1)),
          history_(static_cast<std::size_t>(m_ - 1), 0.0f) {
        forward_ = fftwf_plan_dft_r2c_1d(n_, time_, spectrum_, FFTW_MEASURE);
        inverse_ = fftwf_plan_dft_c2r_1d(n_, spectrum_, time_, FFTW_MEASURE);
        std::fill(time_, time_ + n_, 0.0f);
        std::copy(h.begin(), h.end(), time_);
        fftwf_execute(forward_);
        const float scale = 1.0f / static_cast<float>(n_);
        for (int k = 0; k <= n_ / 2; ++k)
            taps_[static_cast<std::size_t>(k)] = std::complex<float>(spectrum_[k][0], spectrum_[k][1]) * scale;
    }
    ~FftwOverlapSave() {
        fftwf_destroy_plan(forward_);
        fftwf_destroy_plan(inverse_);
        fftwf_free(time_);
        fftwf_free(spectrum_);
    }
    FftwOverlapSave(const FftwOverlapSave&) = delete;
    FftwOverlapSave& operator=(const FftwOverlapSave&) = delete;

    void run(const float* in, float* out, int len) {
        for (int done = 0; done < len; done += step_) {
            const int count = std::min(step_, len - done);
            std::copy(history_.begin(), history_.end(), time_);
            std::copy(in + done, in + done + count, time_ + m_ - 1);
            std::fill(time_ + m_ - 1 + count, time_ + n_, 0.0f);
            // The newest m - 1 samples of this window are the next history.
            std::copy(time_ + count, time_ + count + m_ - 1, history_.begin());
            fftwf_execute(forward_);
            for (int k = 0; k <= n_ / 2; ++k) {
                const std::complex<float> y =
                    std::complex<float>(spectrum_[k][0], spectrum_[k][1]) * taps_[static_cast<std::size_t>(k)];
                spectrum_[k][0] = y.real();
                spectrum_[k][1] = y.imag();
            }
            fftwf_execute(inverse_);
            std::copy(time_ + m_ - 1, time_ + m_ - 1 + count, out + done);
        }
    }

private:
    int m_, n_, step_;
    float* time_;
    fftwf_complex* spectrum_;
    std::vector<std::complex<float>> taps_;
    std::vector<float> history_;
    fftwf_plan forward_, inverse_;
};

void fftwHeadline(benchmark::State& state) {
    const std::vector<float> taps = randomSignal(kHeadlineTaps, 1);
    std::vector<std::unique_ptr<FftwOverlapSave>> filters;
    for (int c = 0; c < kHeadlineChannels; ++c) filters.push_back(std::make_unique<FftwOverlapSave>(taps));
    Channels ch(kHeadlineChannels, kHeadlineBlock);
    for (auto _ : state) {
        for (int c = 0; c < kHeadlineChannels; ++c) filters[c]->run(ch.in[c].data(), ch.out[c].data(), kHeadlineBlock);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kHeadlineChannels * kHeadlineBlock);
}

// The radial filters: argument = taps; in place, 512 frames a block.
constexpr int kRadialChannels = 16, kRadialBlock = 512;
constexpr double kSampleRate = 48000.0;

void libraryRadialInPlace(benchmark::State& state, int variant) {
    const BenchVariant forced(state, variant);
    if (!forced.ok()) return;
    const int tapsLen = static_cast<int>(state.range(0));
    const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 2);
    std::vector<DspsFIRState_32f*> states(kRadialChannels);
    for (DspsFIRState_32f*& s : states) dspsFIRInitAlloc_32f(&s, taps.data(), tapsLen, nullptr);
    Channels ch(kRadialChannels, kRadialBlock);
    for (auto _ : state) {
        for (int c = 0; c < kRadialChannels; ++c) dspsFIR_32f_I(ch.in[c].data(), kRadialBlock, states[c]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRadialChannels * kRadialBlock);
    // Seconds of processing per second of audio: a block's time over its
    // duration at 48 kHz.
    state.counters["realTimeShare"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kRadialBlock / kSampleRate,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    for (DspsFIRState_32f* s : states) dspsFIRFree_32f(s);
}

}  // namespace

BENCHMARK(plainHeadline)->Unit(benchmark::kMillisecond);
BENCHMARK(fftwHeadline)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(libraryHeadline, n0, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(libraryHeadline, n4, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(libraryRadialInPlace, n0, 0)->Arg(631)->Arg(409);
BENCHMARK_CAPTURE(libraryRadialInPlace, n4, 4)->Arg(631)->Arg(409);
