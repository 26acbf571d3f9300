// Element-wise real arithmetic on the engine's per-buffer vector lengths
// (64 to 4096 samples): the dispatched entry point, the generic n0 body and a
// plain -O3 loop of the same job, for Add, Mul and AddProduct.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "dsp.h"
#include "vector/arith_real.h"

namespace {

using TwoSourceFn = DspStatus (*)(const Dsp32f*, const Dsp32f*, Dsp32f*, int);

// The plain loops a caller would write without the library.
__attribute__((noinline)) DspStatus plainAdd(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, int len) {
    for (int i = 0; i < len; ++i) d[i] = a[i] + b[i];
    return dspStsNoErr;
}
__attribute__((noinline)) DspStatus plainMul(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, int len) {
    for (int i = 0; i < len; ++i) d[i] = a[i] * b[i];
    return dspStsNoErr;
}
__attribute__((noinline)) DspStatus plainAddProduct(const Dsp32f* a, const Dsp32f* b, Dsp32f* d, int len) {
    for (int i = 0; i < len; ++i) d[i] += a[i] * b[i];
    return dspStsNoErr;
}

// 32-byte-aligned library blocks, as the engine allocates its buffers.
void runJob(benchmark::State& state, TwoSourceFn job) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0));
    Dsp32f* a = dspsMalloc_32f(len);
    Dsp32f* b = dspsMalloc_32f(len);
    Dsp32f* d = dspsMalloc_32f(len);
    std::mt19937 random(1);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int i = 0; i < len; ++i) {
        a[i] = value(random);
        b[i] = value(random);
        d[i] = 0.0f;
    }
    for (auto _ : state) {
        job(a, b, d, len);
        benchmark::DoNotOptimize(d);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(len));
    dspsFree(a);
    dspsFree(b);
    dspsFree(d);
}

}  // namespace

#define ARITH_BENCH(name, job) BENCHMARK_CAPTURE(runJob, name, job)->RangeMultiplier(4)->Range(64, 4096)

ARITH_BENCH(Add_Dispatched, dspsAdd_32f);
ARITH_BENCH(Add_N0, dspsAdd_32f_table[0]);
ARITH_BENCH(Add_PlainLoop, plainAdd);
ARITH_BENCH(Mul_Dispatched, dspsMul_32f);
ARITH_BENCH(Mul_N0, dspsMul_32f_table[0]);
ARITH_BENCH(Mul_PlainLoop, plainMul);
ARITH_BENCH(AddProduct_Dispatched, dspsAddProduct_32f);
ARITH_BENCH(AddProduct_N0, dspsAddProduct_32f_table[0]);
ARITH_BENCH(AddProduct_PlainLoop, plainAddProduct);
