// The Perm-spectrum product of the FIR filters' fast-convolution path at
// transform sizes 256 to 8192: the SSE body of this processor's level against
// the generic n0 body (the function has no entry point: its callers call the
// body of their own level, as here through the table slot), and a plain -O3
// loop of the same product.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "dsp.h"
#include "dsp_dispatch.h"
#include "vector/arith_complex.h"

namespace {

enum class Path { Level, Generic, PlainLoop };

// The product a caller would write without the library: the real words, then
// (re, im) pairs.
__attribute__((noinline)) void plainMulPerm(const Dsp32f* t, Dsp32f* d, int len) {
    d[0] *= t[0];
    int i = 1;
    if (len % 2 == 0) {
        d[1] *= t[1];
        i = 2;
    }
    for (; i + 1 < len; i += 2) {
        const Dsp32f re = d[i] * t[i] - d[i + 1] * t[i + 1];
        const Dsp32f im = d[i] * t[i + 1] + d[i + 1] * t[i];
        d[i] = re;
        d[i + 1] = im;
    }
}

void runMulPerm(benchmark::State& state, Path path) {
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
    const dspsMulPerm_32f_I_fn body = dspsMulPerm_32f_I_table[path == Path::Generic ? 0 : dspCurrentVariant()];
    for (auto _ : state) {
        if (path == Path::PlainLoop)
            plainMulPerm(taps, block, len);
        else
            body(taps, block, len);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(len));
    dspsFree(taps);
    dspsFree(block);
}

}  // namespace

BENCHMARK_CAPTURE(runMulPerm, MulPerm_Dispatched, Path::Level)->RangeMultiplier(2)->Range(256, 8192);
BENCHMARK_CAPTURE(runMulPerm, MulPerm_N0, Path::Generic)->RangeMultiplier(2)->Range(256, 8192);
BENCHMARK_CAPTURE(runMulPerm, MulPerm_PlainLoop, Path::PlainLoop)->RangeMultiplier(2)->Range(256, 8192);
