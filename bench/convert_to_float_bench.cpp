// Integer-to-float conversion of one device input buffer (32 channels x 512
// frames, interleaved), for 16-, 24- and 32-bit samples: the conversion
// alone, and the device host's input path (convert, then scale to full
// scale 1.0 in place with dspsMulC_32f_I). Each job runs through the
// dispatched entry points, through the generic n0 bodies and as a plain -O3
// loop. Then the 16-bit conversion alone at the engine's short lengths, in
// every variant against a plain loop built for x86-64-v2.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "dsp.h"
#include "vector/arith_const.h"
#include "vector/convert_to_float.h"

namespace {

constexpr int kChannels = 32;
constexpr int kFrames = 512;
constexpr int kSamples = kChannels * kFrames;

Dsp32f sample16s(const Dsp16s* src, int i) { return static_cast<Dsp32f>(src[i]); }
Dsp32f sample24s(const Dsp8u* src, int i) {
    const Dsp8u* s = src + 3 * i;
    return static_cast<Dsp32f>(s[0] + 256 * s[1] + 65536 * static_cast<signed char>(s[2]));
}
Dsp32f sample32s(const Dsp32s* src, int i) { return static_cast<Dsp32f>(src[i]); }

// The loop a caller would write without the library (conversion and scaling
// fused into one pass when scaled).
template <typename Src, Dsp32f (*kSample)(const Src*, int), bool kScaled>
__attribute__((noinline)) void plainLoop(const Src* src, Dsp32f* dst, int len, Dsp32f scale) {
    for (int i = 0; i < len; ++i) {
        const Dsp32f value = kSample(src, i);
        dst[i] = kScaled ? value * scale : value;
    }
}

template <typename Src>
struct Format {
    using Convert = DspStatus (*)(const Src*, Dsp32f*, int);
    using Plain = void (*)(const Src*, Dsp32f*, int, Dsp32f);
    int bytesPerSample;
    Dsp32f fullScale;  // multiplier that maps the sample range onto +-1.0
    Convert entry;
    Convert generic;
    Plain plainConvert;
    Plain plainConvertAndScale;
};

const Format<Dsp16s> k16s{2, 0x1p-15f, dspsConvert_16s32f, n0_dspsConvert_16s32f,
                          plainLoop<Dsp16s, sample16s, false>, plainLoop<Dsp16s, sample16s, true>};
const Format<Dsp8u> k24s{3, 0x1p-23f, dspsConvert_24s32f, n0_dspsConvert_24s32f,
                         plainLoop<Dsp8u, sample24s, false>, plainLoop<Dsp8u, sample24s, true>};
const Format<Dsp32s> k32s{4, 0x1p-31f, dspsConvert_32s32f, n0_dspsConvert_32s32f,
                          plainLoop<Dsp32s, sample32s, false>, plainLoop<Dsp32s, sample32s, true>};

enum class Path { Dispatched, Generic, PlainLoop };

// Source and destination as the device host has them: library blocks.
template <typename Src>
void runInputPath(benchmark::State& state, const Format<Src>& format, Path path, bool scaled) {
    dspStaticInit();
    const int srcBytes = kSamples * format.bytesPerSample;
    Dsp8u* srcBlock = dspsMalloc_8u(srcBytes);
    Dsp32f* dst = dspsMalloc_32f(kSamples);
    std::mt19937 random(3);
    for (int i = 0; i < srcBytes; ++i) srcBlock[i] = static_cast<Dsp8u>(random());
    const Src* src = reinterpret_cast<const Src*>(srcBlock);
    const Dsp32f scale = format.fullScale;

    for (auto _ : state) {
        switch (path) {
            case Path::Dispatched:
                format.entry(src, dst, kSamples);
                if (scaled) dspsMulC_32f_I(scale, dst, kSamples);
                break;
            case Path::Generic:
                format.generic(src, dst, kSamples);
                if (scaled) n0_dspsMulC_32f_I(scale, dst, kSamples);
                break;
            case Path::PlainLoop:
                (scaled ? format.plainConvertAndScale : format.plainConvert)(src, dst, kSamples, scale);
                break;
        }
        benchmark::DoNotOptimize(dst);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(kSamples) * std::int64_t(sizeof(Dsp32f)));
    dspsFree(srcBlock);
    dspsFree(dst);
}


// The plain 16-bit loop as built -O3 -march=x86-64-v2 (SSE4.1 sign-extending
// moves available to the compiler).
__attribute__((noinline, target("arch=x86-64-v2"))) DspStatus plainConvert16sV2(const Dsp16s* src, Dsp32f* dst,
                                                                                 int len) {
    for (int i = 0; i < len; ++i) dst[i] = static_cast<Dsp32f>(src[i]);
    return dspStsNoErr;
}

bool variantSupported(int variant) {
    switch (variant) {
        case 2: return __builtin_cpu_supports("sse3");
        case 3: return __builtin_cpu_supports("ssse3");
        case 4: return __builtin_cpu_supports("sse4.1");
        default: return true;
    }
}

// variant -1: the plain loop; 0..4: that variant's body.
void shortConvert16s(benchmark::State& state, int variant) {
    if (variant >= 0 && !variantSupported(variant)) {
        state.SkipWithError("variant not supported here");
        return;
    }
    if (variant < 0 && !__builtin_cpu_supports("sse4.2")) {
        state.SkipWithError("x86-64-v2 not supported here");
        return;
    }
    const auto convert = variant < 0 ? plainConvert16sV2 : dspsConvert_16s32f_table[variant];
    const int len = static_cast<int>(state.range(0));
    Dsp16s* src = reinterpret_cast<Dsp16s*>(dspsMalloc_8u(2 * len));
    Dsp32f* dst = dspsMalloc_32f(len);
    std::mt19937 random(5);
    for (int i = 0; i < len; ++i) src[i] = static_cast<Dsp16s>(random());
    for (auto _ : state) {
        convert(src, dst, len);
        benchmark::DoNotOptimize(dst);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(len));
    dspsFree(src);
    dspsFree(dst);
}

}  // namespace

#define CONVERT_BENCHMARKS(bits, format)                                                             \
    BENCHMARK_CAPTURE(runInputPath, Convert##bits##_Dispatched, format, Path::Dispatched, false);    \
    BENCHMARK_CAPTURE(runInputPath, Convert##bits##_N0, format, Path::Generic, false);               \
    BENCHMARK_CAPTURE(runInputPath, Convert##bits##_PlainLoop, format, Path::PlainLoop, false);      \
    BENCHMARK_CAPTURE(runInputPath, ConvertMulC##bits##_Dispatched, format, Path::Dispatched, true); \
    BENCHMARK_CAPTURE(runInputPath, ConvertMulC##bits##_N0, format, Path::Generic, true);            \
    BENCHMARK_CAPTURE(runInputPath, ConvertMulC##bits##_PlainLoop, format, Path::PlainLoop, true)

CONVERT_BENCHMARKS(16s, k16s);
CONVERT_BENCHMARKS(24s, k24s);
CONVERT_BENCHMARKS(32s, k32s);

#define SHORT_LENGTHS ->Arg(64)->Arg(256)->Arg(4096)
BENCHMARK_CAPTURE(shortConvert16s, PlainLoopV2, -1) SHORT_LENGTHS;
BENCHMARK_CAPTURE(shortConvert16s, n1, 1) SHORT_LENGTHS;
BENCHMARK_CAPTURE(shortConvert16s, n2, 2) SHORT_LENGTHS;
BENCHMARK_CAPTURE(shortConvert16s, n3, 3) SHORT_LENGTHS;
BENCHMARK_CAPTURE(shortConvert16s, n4, 4) SHORT_LENGTHS;
