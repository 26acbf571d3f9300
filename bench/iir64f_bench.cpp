// Biquad cascades with double taps, as the engine runs them: the output
// high-pass (18 channels x 3 sections) and the radial equaliser (16
// channels x 4 sections), one block of every channel per iteration, in
// place. The n4 body (SSE4.1, where the processor has it), the generic n0
// body and a plain double transposed-direct-form-II loop.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp.h"
#include "filters/iir64f.h"

namespace {

// High-pass-like sections: poles of radius 0.99 near z = 1.
std::vector<double> benchTaps(int sections) {
    std::vector<double> taps;
    for (int s = 0; s < sections; ++s) {
        const double r = 0.99, theta = 0.02 * (s + 1);
        for (double v : {1.0, -2.0, 1.0, 1.0, -2 * r * std::cos(theta), r * r}) taps.push_back(v);
    }
    return taps;
}

// One channel of the plain loop: normalised taps (a0 = 1) and its delay line.
struct PlainCascade {
    std::vector<double> taps;   // b0, b1, b2, a1, a2 per section
    std::vector<double> delay;  // d0, d1 per section
};

__attribute__((noinline)) void plainBiquadLoop(float* x, int len, PlainCascade& c) {
    const int sections = static_cast<int>(c.delay.size() / 2);
    double* d = c.delay.data();
    const double* t = c.taps.data();
    for (int i = 0; i < len; ++i) {
        double v = x[i];
        for (int s = 0; s < sections; ++s) {
            const double* ts = t + 5 * s;
            double* ds = d + 2 * s;
            const double y = ts[0] * v + ds[0];
            ds[0] = ts[1] * v + ds[1] - ts[3] * y;
            ds[1] = ts[2] * v - ts[4] * y;
            v = y;
        }
        x[i] = static_cast<float>(v);
    }
}

enum class Path { N4, N0, PlainLoop };

void runCascades(benchmark::State& state, Path path) {
    dspStaticInit();
    const int channels = static_cast<int>(state.range(0));
    const int sections = static_cast<int>(state.range(1));
    const int block = static_cast<int>(state.range(2));
    const int variant = path == Path::N0 ? 0 : 4;
    if (path == Path::N4 && dspCurrentVariant() < 4) {
        state.SkipWithError("the processor has no SSE4.1");
        return;
    }
    const std::vector<double> taps = benchTaps(sections);
    std::vector<std::vector<float>> buffers(channels);
    std::vector<DspsIIRState64f_32f*> states(channels, nullptr);
    std::vector<PlainCascade> plain(channels);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (int c = 0; c < channels; ++c) {
        buffers[c].resize(block);
        for (float& v : buffers[c]) v = sample(random);
        dspsIIRInitAlloc64f_BiQuad_32f_table[variant](&states[c], taps.data(), sections, nullptr);
        for (int s = 0; s < sections; ++s)
            for (int i : {0, 1, 2, 4, 5}) plain[c].taps.push_back(taps[6 * s + i]);
        plain[c].delay.assign(2 * sections, 0.0);
    }
    const auto filter = dspsIIR64f_32f_I_table[variant];
    for (auto _ : state) {
        for (int c = 0; c < channels; ++c) {
            if (path == Path::PlainLoop) {
                plainBiquadLoop(buffers[c].data(), block, plain[c]);
            } else {
                filter(buffers[c].data(), block, states[c]);
            }
            benchmark::DoNotOptimize(buffers[c].data());
        }
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(channels) * block);
    for (DspsIIRState64f_32f* s : states) dspsIIRFree64f_32f(s);
}

void engineShapes(benchmark::internal::Benchmark* b) {
    for (int block : {512, 1024}) {
        b->Args({18, 3, block});
        b->Args({16, 4, block});
    }
    b->ArgNames({"channels", "sections", "block"});
}

}  // namespace

BENCHMARK_CAPTURE(runCascades, N4, Path::N4)->Apply(engineShapes);
BENCHMARK_CAPTURE(runCascades, N0, Path::N0)->Apply(engineShapes);
BENCHMARK_CAPTURE(runCascades, PlainLoop, Path::PlainLoop)->Apply(engineShapes);
