// Float-to-integer conversion as the output and recording paths call it
// (round to nearest, scale factor 0) at 512..4096 elements: the dispatched
// entry point, the generic n0 body and a plain -O3 loop of lrintf and clamp.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "dsp.h"
#include "vector/convert_to_int.h"

namespace {

// The plain loop a caller would write without the library.
template <typename Int, long kLow, long kHigh>
__attribute__((noinline)) void plainConvert(const Dsp32f* src, Int* dst, int len) {
    for (int i = 0; i < len; ++i) dst[i] = static_cast<Int>(std::clamp(std::lrintf(src[i]), kLow, kHigh));
}

__attribute__((noinline)) void plainConvert24s(const Dsp32f* src, Dsp8u* dst, int len) {
    for (int i = 0; i < len; ++i) {
        const std::int32_t v = static_cast<std::int32_t>(std::clamp(std::lrintf(src[i]), -8388608L, 8388607L));
        std::memcpy(dst + 3 * i, &v, 3);
    }
}

enum class Path { Dispatched, Generic, PlainLoop };

// Source samples of a processed block: mostly within full scale, some beyond.
template <typename Run>
void runConversion(benchmark::State& state, float fullScale, int dstBytes, Run run) {
    dspStaticInit();
    const int len = static_cast<int>(state.range(0));
    Dsp32f* src = dspsMalloc_32f(len);
    Dsp8u* dst = dspsMalloc_8u(len * dstBytes);
    std::mt19937 random(5);
    std::uniform_real_distribution<float> sample(-1.1f * fullScale, 1.1f * fullScale);
    for (int i = 0; i < len; ++i) src[i] = sample(random);
    for (auto _ : state) {
        run(src, dst, len);
        benchmark::DoNotOptimize(dst);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(len));
    state.SetBytesProcessed(state.iterations() * std::int64_t(len) * std::int64_t(sizeof(Dsp32f)));
    dspsFree(src);
    dspsFree(dst);
}

void convert8u(benchmark::State& state, Path path) {
    runConversion(state, 255.0f, 1, [path](const Dsp32f* src, Dsp8u* dst, int len) {
        switch (path) {
            case Path::Dispatched: dspsConvert_32f8u_Sfs(src, dst, len, dspRndNear, 0); break;
            case Path::Generic: n0_dspsConvert_32f8u_Sfs(src, dst, len, dspRndNear, 0); break;
            case Path::PlainLoop: plainConvert<Dsp8u, 0L, 255L>(src, dst, len); break;
        }
    });
}

void convert16s(benchmark::State& state, Path path) {
    runConversion(state, 32768.0f, 2, [path](const Dsp32f* src, Dsp8u* bytes, int len) {
        auto* dst = reinterpret_cast<Dsp16s*>(bytes);
        switch (path) {
            case Path::Dispatched: dspsConvert_32f16s_Sfs(src, dst, len, dspRndNear, 0); break;
            case Path::Generic: n0_dspsConvert_32f16s_Sfs(src, dst, len, dspRndNear, 0); break;
            case Path::PlainLoop: plainConvert<Dsp16s, -32768L, 32767L>(src, dst, len); break;
        }
    });
}

void convert24s(benchmark::State& state, Path path) {
    runConversion(state, 8388608.0f, 3, [path](const Dsp32f* src, Dsp8u* dst, int len) {
        switch (path) {
            case Path::Dispatched: dspsConvert_32f24s_Sfs(src, dst, len, 0); break;
            case Path::Generic: n0_dspsConvert_32f24s_Sfs(src, dst, len, 0); break;
            case Path::PlainLoop: plainConvert24s(src, dst, len); break;
        }
    });
}

void convert32s(benchmark::State& state, Path path) {
    runConversion(state, 2147483648.0f, 4, [path](const Dsp32f* src, Dsp8u* bytes, int len) {
        auto* dst = reinterpret_cast<Dsp32s*>(bytes);
        switch (path) {
            case Path::Dispatched: dspsConvert_32f32s_Sfs(src, dst, len, dspRndNear, 0); break;
            case Path::Generic: n0_dspsConvert_32f32s_Sfs(src, dst, len, dspRndNear, 0); break;
            case Path::PlainLoop: plainConvert<Dsp32s, INT32_MIN, INT32_MAX>(src, dst, len); break;
        }
    });
}

}  // namespace

#define CONVERT_BENCHMARKS(function, name)                                                                  \
    BENCHMARK_CAPTURE(function, name##_Dispatched, Path::Dispatched)->RangeMultiplier(2)->Range(512, 4096); \
    BENCHMARK_CAPTURE(function, name##_N0, Path::Generic)->RangeMultiplier(2)->Range(512, 4096);            \
    BENCHMARK_CAPTURE(function, name##_LrintfLoop, Path::PlainLoop)->RangeMultiplier(2)->Range(512, 4096)

CONVERT_BENCHMARKS(convert8u, Convert32f8u);
CONVERT_BENCHMARKS(convert16s, Convert32f16s);
CONVERT_BENCHMARKS(convert24s, Convert32f24s);
CONVERT_BENCHMARKS(convert32s, Convert32f32s);
