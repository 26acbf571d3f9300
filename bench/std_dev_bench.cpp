// Standard deviation: the variant chosen at start-up (through its table, as
// the function has no entry point) with the accurate and the fast hint, the
// generic n0 body and a plain -O3 loop summing in double.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp.h"
#include "vector/std_dev.h"

namespace {

__attribute__((noinline)) float plainStdDev(const float* x, int len) {
    double s = 0.0, q = 0.0;
    for (int i = 0; i < len; ++i) {
        s += x[i];
        q += double(x[i]) * x[i];
    }
    const double n = len;
    return static_cast<float>(std::sqrt((n * q - s * s) / (n * (n - 1.0))));
}

enum class Path { ChosenAccurate, ChosenFast, Generic, PlainLoop };

void runStdDev(benchmark::State& state, Path path) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0));
    Dsp32f* x = dspsMalloc_32f(len);
    std::mt19937 random(9);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int i = 0; i < len; ++i) x[i] = value(random);
    const auto chosen = dspsStdDev_32f_table[dspCurrentVariant()];

    for (auto _ : state) {
        float result = 0.0f;
        switch (path) {
            case Path::ChosenAccurate: chosen(x, len, &result, 0); break;
            case Path::ChosenFast: chosen(x, len, &result, kStdDevFastHint); break;
            case Path::Generic: n0_dspsStdDev_32f(x, len, &result, 0); break;
            case Path::PlainLoop: result = plainStdDev(x, len); break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(len) * std::int64_t(sizeof(Dsp32f)));
    dspsFree(x);
}

}  // namespace

BENCHMARK_CAPTURE(runStdDev, Accurate, Path::ChosenAccurate)->Arg(1024)->Arg(16384);
BENCHMARK_CAPTURE(runStdDev, Fast, Path::ChosenFast)->Arg(1024)->Arg(16384);
BENCHMARK_CAPTURE(runStdDev, N0, Path::Generic)->Arg(1024)->Arg(16384);
BENCHMARK_CAPTURE(runStdDev, PlainLoop, Path::PlainLoop)->Arg(1024)->Arg(16384);
