// Square root of 1024 elements in place: the dispatched entry point, the
// generic n0 body, the SSE2 n1 body and plain -O3 loops of sqrtf, one with
// the default errno-setting sqrtf and one as -fno-math-errno compiles it
// (vectorised). Every iteration gets fresh input (a 4 KB
// copy, timed alone as Sqrt/CopyOnly).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "dsp.h"
#include "vector/sqrt.h"

// The plain loop compiled with -fno-math-errno (sqrt_no_errno_loop.cpp).
void plainSqrtNoErrno(float* data, int len);

namespace {

constexpr int kLength = 1024;

__attribute__((noinline)) void plainSqrt(float* data, int len) {
    for (int i = 0; i < len; ++i) data[i] = std::sqrt(data[i]);
}

enum class Job { Body, Plain, PlainNoErrno, CopyOnly };

// Level-meter values: positive, over several decades.
void runSqrt(benchmark::State& state, Job job, DspStatus (*body)(Dsp32f*, int) = nullptr) {
    dspStaticInit();
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> dist(1e-2f, 1e4f);
    std::vector<float> src(kLength);
    for (float& v : src) v = dist(rng);
    std::vector<float> data(kLength);
    for (auto _ : state) {
        std::memcpy(data.data(), src.data(), sizeof(float) * kLength);
        switch (job) {
            case Job::Body: benchmark::DoNotOptimize(body(data.data(), kLength)); break;
            case Job::Plain: plainSqrt(data.data(), kLength); break;
            case Job::PlainNoErrno: plainSqrtNoErrno(data.data(), kLength); break;
            case Job::CopyOnly: benchmark::DoNotOptimize(data.data()); break;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLength);
}

void BM_Sqrt_Dispatched(benchmark::State& s) { runSqrt(s, Job::Body, dspsSqrt_32f_I); }
void BM_Sqrt_n0(benchmark::State& s) { runSqrt(s, Job::Body, n0_dspsSqrt_32f_I); }
void BM_Sqrt_n1(benchmark::State& s) { runSqrt(s, Job::Body, n1_dspsSqrt_32f_I); }
void BM_Sqrt_PlainSqrtf(benchmark::State& s) { runSqrt(s, Job::Plain); }
void BM_Sqrt_PlainSqrtfNoMathErrno(benchmark::State& s) { runSqrt(s, Job::PlainNoErrno); }
void BM_Sqrt_CopyOnly(benchmark::State& s) { runSqrt(s, Job::CopyOnly); }

}  // namespace

BENCHMARK(BM_Sqrt_Dispatched);
BENCHMARK(BM_Sqrt_n0);
BENCHMARK(BM_Sqrt_n1);
BENCHMARK(BM_Sqrt_PlainSqrtf);
BENCHMARK(BM_Sqrt_PlainSqrtfNoMathErrno);
BENCHMARK(BM_Sqrt_CopyOnly);
