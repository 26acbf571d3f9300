// Integer-to-float conversion of one device input buffer (32 channels x 512
// frames, interleaved), for 16-, 24- and 32-bit samples: the conversion
// alone, and the device host's input path (convert, then scale to full
// scale 1.0 in place with dspsMulC_32f_I). Each job runs through the
// dispatched entry points, through the generic n0 bodies and as a plain -O3
// loop.
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
