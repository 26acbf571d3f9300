// Zero: the dispatched entry point, the generic n0 body, a plain -O3 loop
// and the C library's memset, at 256 B .. 16 MiB.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstring>

#include "dsp.h"
#include "vector/zero_fill.h"
#include "vector_bench_support.h"

namespace {

PLAIN_LOOP void plainZero(float* p, int len) {
    for (int i = 0; i < len; ++i) p[i] = 0.0f;
}

template <typename Zero>
void runZero(benchmark::State& state, Zero zero) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0) / 4);
    Dsp32f* buffer = dspsMalloc_32f(len);
    for (auto _ : state) {
        zero(buffer, len);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    dspsFree(buffer);
}

void BM_Zero_Entry(benchmark::State& state) { runZero(state, dspsZero_32f); }
void BM_Zero_N0Body(benchmark::State& state) { runZero(state, n0_dspsZero_32f); }
void BM_Zero_PlainLoop(benchmark::State& state) { runZero(state, plainZero); }
void BM_Zero_Memset(benchmark::State& state) {
    runZero(state, [](Dsp32f* p, int len) { std::memset(p, 0, static_cast<std::size_t>(len) * 4); });
}

}  // namespace

BENCHMARK(BM_Zero_Entry)->Apply(byteCounts256To16M);
BENCHMARK(BM_Zero_N0Body)->Apply(byteCounts256To16M);
BENCHMARK(BM_Zero_PlainLoop)->Apply(byteCounts256To16M);
BENCHMARK(BM_Zero_Memset)->Apply(byteCounts256To16M);
