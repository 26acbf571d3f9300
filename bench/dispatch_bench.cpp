// Cost of the dispatch step: an entry point (index load + indirect tail call
// through the constant table) against a direct call of the same body.
#include <benchmark/benchmark.h>

#include "dsp_dispatch.h"

namespace {

extern "C" __attribute__((noinline)) DspStatus n0_benchProbe(Dsp32f* pDst, int len) {
    benchmark::DoNotOptimize(pDst);
    return len > 0 ? dspStsNoErr : dspStsSizeErr;
}

}  // namespace

// A one-body function built the way every library function is.
#define BENCH_PROBE_SLOTS(ENTRY, INTERNAL) \
    ENTRY(DspStatus, benchProbe, (0, 0, 0, 0, 0), (Dsp32f * pDst, int len), (pDst, len))
DSP_DECLARE_FAMILY(BENCH_PROBE_SLOTS)
// Kept out of line so the benchmark loop pays for a real call, as callers do.
extern "C" __attribute__((noinline)) DspStatus benchProbe(Dsp32f* pDst, int len);
DSP_DEFINE_FAMILY(BENCH_PROBE_SLOTS)

static void BM_DirectBodyCall(benchmark::State& state) {
    Dsp32f x = 0;
    for (auto _ : state) benchmark::DoNotOptimize(n0_benchProbe(&x, 1));
}
BENCHMARK(BM_DirectBodyCall);

static void BM_DispatchedEntryPoint(benchmark::State& state) {
    dspStaticInit();
    Dsp32f x = 0;
    for (auto _ : state) benchmark::DoNotOptimize(benchProbe(&x, 1));
}
BENCHMARK(BM_DispatchedEntryPoint);
