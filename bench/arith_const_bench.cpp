// Gain and offset: dspsMulC_32f_I and dspsAddC_32f_I through the dispatched
// entry point, the generic n0 body and a plain -O3 loop, on one channel block
// of 512 frames, on 32 channels x 512 frames, and at 4 MiB (past the size
// where the in-place kernels switch to non-temporal prefetching).
#include <benchmark/benchmark.h>

#include <cstddef>

#include "dsp.h"
#include "vector/arith_const.h"
#include "vector_bench_support.h"

namespace {

PLAIN_LOOP void plainMulC(float val, float* p, int len) {
    for (int i = 0; i < len; ++i) p[i] *= val;
}

PLAIN_LOOP void plainAddC(float val, float* p, int len) {
    for (int i = 0; i < len; ++i) p[i] += val;
}

// Each iteration applies `forward` then `back`, which undoes it (up to
// rounding), so repeated passes over the same block stay in the normal range.
template <typename Op>
void runInPlace(benchmark::State& state, Op op, float forward, float back) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0));
    Dsp32f* buffer = dspsMalloc_32f(len);
    for (int i = 0; i < len; ++i) buffer[i] = 1.0f + static_cast<float>(i % 7);
    for (auto _ : state) {
        op(forward, buffer, len);
        op(back, buffer, len);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * len);
    state.SetBytesProcessed(state.iterations() * 2 * len * static_cast<std::int64_t>(sizeof(float)));
    dspsFree(buffer);
}

void elementCounts(benchmark::internal::Benchmark* b) {
    b->Arg(512)->Arg(32 * 512)->Arg(1 << 20);
}

constexpr float kGain = 1.25f, kOffset = 2.0f;

void BM_MulC_I_Entry(benchmark::State& state) { runInPlace(state, dspsMulC_32f_I, kGain, 1.0f / kGain); }
void BM_MulC_I_N0Body(benchmark::State& state) { runInPlace(state, n0_dspsMulC_32f_I, kGain, 1.0f / kGain); }
void BM_MulC_I_PlainLoop(benchmark::State& state) { runInPlace(state, plainMulC, kGain, 1.0f / kGain); }
void BM_AddC_I_Entry(benchmark::State& state) { runInPlace(state, dspsAddC_32f_I, kOffset, -kOffset); }
void BM_AddC_I_N0Body(benchmark::State& state) { runInPlace(state, n0_dspsAddC_32f_I, kOffset, -kOffset); }
void BM_AddC_I_PlainLoop(benchmark::State& state) { runInPlace(state, plainAddC, kOffset, -kOffset); }

}  // namespace

BENCHMARK(BM_MulC_I_Entry)->Apply(elementCounts);
BENCHMARK(BM_MulC_I_N0Body)->Apply(elementCounts);
BENCHMARK(BM_MulC_I_PlainLoop)->Apply(elementCounts);
BENCHMARK(BM_AddC_I_Entry)->Apply(elementCounts);
BENCHMARK(BM_AddC_I_N0Body)->Apply(elementCounts);
BENCHMARK(BM_AddC_I_PlainLoop)->Apply(elementCounts);
