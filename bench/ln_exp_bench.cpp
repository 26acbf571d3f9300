// Logarithm and exponential of 1024 elements: the dispatched entry point, the
// generic n0 body, the SSE2 n1 body and a plain -O3 loop of logf / expf.
// The in-place exponential gets fresh input every iteration (a 4 KB copy,
// timed alone as Exp/CopyOnly) so that it never runs on its own results.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "dsp.h"
#include "vector/ln_exp.h"

namespace {

constexpr int kLength = 1024;

std::vector<float> uniformInputs(float lo, float hi) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> dist(lo, hi);
    std::vector<float> x(kLength);
    for (float& v : x) v = dist(rng);
    return x;
}

__attribute__((noinline)) void plainLog(const float* src, float* dst, int len) {
    for (int i = 0; i < len; ++i) dst[i] = std::log(src[i]);
}

__attribute__((noinline)) void plainExp(float* data, int len) {
    for (int i = 0; i < len; ++i) data[i] = std::exp(data[i]);
}

using LnBody = DspStatus (*)(const Dsp32f*, Dsp32f*, int);
using ExpBody = DspStatus (*)(Dsp32f*, int);

// Level meter inputs: detector levels over six decades.
void runLn(benchmark::State& state, LnBody body) {
    dspStaticInit();
    const std::vector<float> src = uniformInputs(1e-3f, 1e3f);
    std::vector<float> dst(kLength);
    for (auto _ : state) {
        if (body != nullptr) {
            benchmark::DoNotOptimize(body(src.data(), dst.data(), kLength));
        } else {
            plainLog(src.data(), dst.data(), kLength);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLength);
}

// Crossfade gain curves: exponents of a few units either side of zero.
void runExp(benchmark::State& state, ExpBody body, bool compute = true) {
    dspStaticInit();
    const std::vector<float> src = uniformInputs(-10.0f, 10.0f);
    std::vector<float> data(kLength);
    for (auto _ : state) {
        std::memcpy(data.data(), src.data(), sizeof(float) * kLength);
        if (!compute) {
            benchmark::DoNotOptimize(data.data());
        } else if (body != nullptr) {
            benchmark::DoNotOptimize(body(data.data(), kLength));
        } else {
            plainExp(data.data(), kLength);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLength);
}

void BM_Ln_Dispatched(benchmark::State& s) { runLn(s, dspsLn_32f); }
void BM_Ln_n0(benchmark::State& s) { runLn(s, n0_dspsLn_32f); }
void BM_Ln_n1(benchmark::State& s) { runLn(s, n1_dspsLn_32f); }
void BM_Ln_PlainLogf(benchmark::State& s) { runLn(s, nullptr); }
void BM_Exp_Dispatched(benchmark::State& s) { runExp(s, dspsExp_32f_I); }
void BM_Exp_n0(benchmark::State& s) { runExp(s, n0_dspsExp_32f_I); }
void BM_Exp_n1(benchmark::State& s) { runExp(s, n1_dspsExp_32f_I); }
void BM_Exp_PlainExpf(benchmark::State& s) { runExp(s, nullptr); }
void BM_Exp_CopyOnly(benchmark::State& s) { runExp(s, nullptr, false); }

}  // namespace

BENCHMARK(BM_Ln_Dispatched);
BENCHMARK(BM_Ln_n0);
BENCHMARK(BM_Ln_n1);
BENCHMARK(BM_Ln_PlainLogf);
BENCHMARK(BM_Exp_Dispatched);
BENCHMARK(BM_Exp_n0);
BENCHMARK(BM_Exp_n1);
BENCHMARK(BM_Exp_PlainExpf);
BENCHMARK(BM_Exp_CopyOnly);
