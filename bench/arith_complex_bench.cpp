// The Perm-spectrum product of the FIR filters' fast-convolution path at
// transform sizes 256 to 8192: the SSE body of this processor's level against
// the generic n0 body (the function has no entry point: its callers call the
// body of their own level, as here through the table slot).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "dsp.h"
#include "dsp_dispatch.h"
#include "vector/arith_complex.h"

namespace {

void runMulPerm(benchmark::State& state, bool generic) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0));
    Dsp32f* taps = dspsMalloc_32f(len);
    Dsp32f* block = dspsMalloc_32f(len);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    // Taps of magnitude 1 keep the repeatedly multiplied block at its size,
    // away from denormals and overflow.
    for (int i = 0; i < len; ++i) {
        taps[i] = i < 2 ? 1.0f : (i % 2 == 0 ? std::cos(i * 0.1f) : std::sin((i - 1) * 0.1f));
        block[i] = value(random);
    }
    const dspsMulPerm_32f_I_fn body = dspsMulPerm_32f_I_table[generic ? 0 : dspCurrentVariant()];
    for (auto _ : state) {
        body(taps, block, len);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(len));
    dspsFree(taps);
    dspsFree(block);
}

}  // namespace

BENCHMARK_CAPTURE(runMulPerm, MulPerm_Dispatched, false)->RangeMultiplier(2)->Range(256, 8192);
BENCHMARK_CAPTURE(runMulPerm, MulPerm_N0, true)->RangeMultiplier(2)->Range(256, 8192);
