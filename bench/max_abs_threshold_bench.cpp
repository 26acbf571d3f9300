// The level meter's job on one channel block (64 to 4096 samples): absolute
// values into a scratch vector, then their maximum. The dispatched entry
// points, the generic n0 bodies and a plain -O3 loop of the same job.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "dsp.h"
#include "vector/max_abs_threshold.h"

namespace {

using PeakFn = void (*)(const Dsp32f* src, Dsp32f* scratch, int len, Dsp32f* peak);

void peakDispatched(const Dsp32f* src, Dsp32f* scratch, int len, Dsp32f* peak) {
    dspsAbs_32f(src, scratch, len);
    dspsMax_32f(scratch, len, peak);
}

void peakGeneric(const Dsp32f* src, Dsp32f* scratch, int len, Dsp32f* peak) {
    n0_dspsAbs_32f(src, scratch, len);
    n0_dspsMax_32f(scratch, len, peak);
}

__attribute__((noinline)) void peakPlainLoop(const Dsp32f* src, Dsp32f* scratch, int len, Dsp32f* peak) {
    for (int i = 0; i < len; ++i) scratch[i] = std::fabs(src[i]);
    Dsp32f running = scratch[0];
    for (int i = 1; i < len; ++i) running = scratch[i] > running ? scratch[i] : running;
    *peak = running;
}

void runPeak(benchmark::State& state, PeakFn job) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0));
    Dsp32f* src = dspsMalloc_32f(len);
    Dsp32f* scratch = dspsMalloc_32f(len);
    std::mt19937 random(2);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int i = 0; i < len; ++i) src[i] = value(random);
    Dsp32f peak = 0.0f;
    for (auto _ : state) {
        job(src, scratch, len, &peak);
        benchmark::DoNotOptimize(peak);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(len));
    dspsFree(src);
    dspsFree(scratch);
}

}  // namespace

BENCHMARK_CAPTURE(runPeak, AbsMax_Dispatched, peakDispatched)->RangeMultiplier(4)->Range(64, 4096);
BENCHMARK_CAPTURE(runPeak, AbsMax_N0, peakGeneric)->RangeMultiplier(4)->Range(64, 4096);
BENCHMARK_CAPTURE(runPeak, AbsMax_PlainLoop, peakPlainLoop)->RangeMultiplier(4)->Range(64, 4096);
