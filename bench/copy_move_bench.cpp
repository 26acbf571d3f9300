// Copy: the dispatched entry point, the generic n0 body, a plain -O3 loop
// and the C library's memcpy, at 256 B .. 16 MiB.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstring>

#include "dsp.h"
#include "vector/copy_move.h"
#include "vector_bench_support.h"

namespace {

PLAIN_LOOP void plainCopy(const float* __restrict pSrc, float* __restrict pDst, int len) {
    for (int i = 0; i < len; ++i) pDst[i] = pSrc[i];
}

template <typename Copy>
void runCopy(benchmark::State& state, Copy copy) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0) / 4);
    Dsp32f* src = dspsMalloc_32f(len);
    Dsp32f* dst = dspsMalloc_32f(len);
    std::memset(src, 1, static_cast<std::size_t>(len) * 4);
    for (auto _ : state) {
        copy(src, dst, len);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    dspsFree(src);
    dspsFree(dst);
}

void BM_Copy_Entry(benchmark::State& state) { runCopy(state, dspsCopy_32f); }
void BM_Copy_N0Body(benchmark::State& state) { runCopy(state, n0_dspsCopy_32f); }
void BM_Copy_PlainLoop(benchmark::State& state) { runCopy(state, plainCopy); }
void BM_Copy_Memcpy(benchmark::State& state) {
    runCopy(state, [](const Dsp32f* s, Dsp32f* d, int len) { std::memcpy(d, s, static_cast<std::size_t>(len) * 4); });
}

}  // namespace

BENCHMARK(BM_Copy_Entry)->Apply(byteCounts256To16M);
BENCHMARK(BM_Copy_N0Body)->Apply(byteCounts256To16M);
BENCHMARK(BM_Copy_PlainLoop)->Apply(byteCounts256To16M);
BENCHMARK(BM_Copy_Memcpy)->Apply(byteCounts256To16M);
