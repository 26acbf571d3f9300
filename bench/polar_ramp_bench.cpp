// Polar-to-Cartesian conversion of a 1024-point curve (the beam-pattern
// plot's size class) and the index ramp: the dispatched entry point, the
// generic n0 body and a plain -O3 loop of the same job.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "dsp.h"
#include "vector/polar_ramp.h"

namespace {

constexpr int kLen = 1024;

__attribute__((noinline)) void plainPolarToCart(const Dsp32f* mag, const Dsp32f* phase, Dsp32f* re, Dsp32f* im,
                                                int len) {
    for (int i = 0; i < len; ++i) {
        re[i] = mag[i] * std::cos(phase[i]);
        im[i] = mag[i] * std::sin(phase[i]);
    }
}

__attribute__((noinline)) void plainRamp(Dsp32f* dst, int len, Dsp32f offset, Dsp32f slope) {
    for (int i = 0; i < len; ++i) dst[i] = offset + slope * static_cast<Dsp32f>(i);
}

enum class Path { Dispatched, Generic, PlainLoop };

void polarToCart(benchmark::State& state, Path path) {
    dspStaticInit();
    Dsp32f* mag = dspsMalloc_32f(kLen);
    Dsp32f* phase = dspsMalloc_32f(kLen);
    Dsp32f* re = dspsMalloc_32f(kLen);
    Dsp32f* im = dspsMalloc_32f(kLen);
    std::mt19937 random(9);
    std::uniform_real_distribution<float> m(0.0f, 1.0f);
    for (int i = 0; i < kLen; ++i) {
        mag[i] = m(random);
        phase[i] = 6.2831855f * static_cast<float>(i) / (kLen - 1);
    }
    for (auto _ : state) {
        switch (path) {
            case Path::Dispatched: dspsPolarToCart_32f(mag, phase, re, im, kLen); break;
            case Path::Generic: n0_dspsPolarToCart_32f(mag, phase, re, im, kLen); break;
            case Path::PlainLoop: plainPolarToCart(mag, phase, re, im, kLen); break;
        }
        benchmark::DoNotOptimize(re);
        benchmark::DoNotOptimize(im);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kLen));
    for (Dsp32f* p : {mag, phase, re, im}) dspsFree(p);
}

void vectorRamp(benchmark::State& state, Path path) {
    dspStaticInit();
    Dsp32f* dst = dspsMalloc_32f(kLen);
    for (auto _ : state) {
        switch (path) {
            case Path::Dispatched: dspsVectorRamp_32f(dst, kLen, 0.0f, 1.0f); break;
            case Path::Generic: n0_dspsVectorRamp_32f(dst, kLen, 0.0f, 1.0f); break;
            case Path::PlainLoop: plainRamp(dst, kLen, 0.0f, 1.0f); break;
        }
        benchmark::DoNotOptimize(dst);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kLen));
    dspsFree(dst);
}

}  // namespace

BENCHMARK_CAPTURE(polarToCart, PolarToCart1024_Dispatched, Path::Dispatched);
BENCHMARK_CAPTURE(polarToCart, PolarToCart1024_N0, Path::Generic);
BENCHMARK_CAPTURE(polarToCart, PolarToCart1024_PlainLoop, Path::PlainLoop);
BENCHMARK_CAPTURE(vectorRamp, VectorRamp1024_Dispatched, Path::Dispatched);
BENCHMARK_CAPTURE(vectorRamp, VectorRamp1024_N0, Path::Generic);
BENCHMARK_CAPTURE(vectorRamp, VectorRamp1024_PlainLoop, Path::PlainLoop);
