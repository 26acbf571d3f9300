// The device host's resamplers: 32 channels, factor pairs (2,3), (3,2),
// (1,4) and (6,1), prototype filters of 85 to 251 taps, 256 iterations a
// buffer, each channel its own multirate state filtered out of place. The
// generic and SSE4.1 variants against a plain polyphase loop compiled -O3.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "dsp.h"
#include "fir_bench_support.h"

namespace {

constexpr int kChannels = 32;
constexpr int kIterations = 256;

struct Channels {
    std::vector<std::vector<float>> in, out;
    Channels(int up, int down) {
        for (int c = 0; c < kChannels; ++c) {
            in.push_back(randomSignal(static_cast<std::size_t>(kIterations * down), 100u + c));
            out.emplace_back(static_cast<std::size_t>(kIterations * up));
        }
    }
};

// Arguments: up factor, down factor, taps.
void libraryResampler(benchmark::State& state, int variant) {
    const BenchVariant forced(state, variant);
    if (!forced.ok()) return;
    const int up = static_cast<int>(state.range(0)), down = static_cast<int>(state.range(1));
    const int tapsLen = static_cast<int>(state.range(2));
    const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 1);
    std::vector<DspsFIRState_32f*> states(kChannels);
    for (DspsFIRState_32f*& s : states) dspsFIRMRInitAlloc_32f(&s, taps.data(), tapsLen, up, 0, down, 0, nullptr);
    Channels ch(up, down);
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c) dspsFIR_32f(ch.in[c].data(), ch.out[c].data(), kIterations, states[c]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kIterations * up);
    for (DspsFIRState_32f* s : states) dspsFIRFree_32f(s);
}

// What a caller would write without the library: the taps split into
// upFactor phases, the history in front of the buffer, one float dot
// product per output over its phase's taps.
struct PlainPolyphase {
    int up, down, past;
    std::vector<std::vector<float>> phases;  // phase r: h[r], h[r + up], ...
    std::vector<float> buffer;               // past inputs, then the buffer's inputs
    PlainPolyphase(const std::vector<float>& h, int u, int d)
        : up(u), down(d), past((static_cast<int>(h.size()) + u - 1) / u), phases(static_cast<std::size_t>(u)),
          buffer(static_cast<std::size_t>(past + kIterations * d), 0.0f) {
        for (std::size_t i = 0; i < h.size(); ++i) phases[i % static_cast<std::size_t>(u)].push_back(h[i]);
    }
};

__attribute__((noinline)) void plainPolyphase(PlainPolyphase& f, const float* in, float* out) {
    const int inputs = kIterations * f.down;
    float* x = f.buffer.data() + f.past;  // x[m] is input m, x[-1 - i] history
    std::memcpy(x, in, sizeof(float) * static_cast<std::size_t>(inputs));
    for (int n = 0; n < kIterations * f.up; ++n) {
        const int t = n * f.down;  // upsampled index of the output
        const std::vector<float>& h = f.phases[static_cast<std::size_t>(t % f.up)];
        const float* newest = x + t / f.up;
        float sum = 0.0f;
        for (std::size_t k = 0; k < h.size(); ++k) sum += h[k] * newest[-static_cast<std::ptrdiff_t>(k)];
        out[n] = sum;
    }
    std::memmove(f.buffer.data(), f.buffer.data() + inputs, sizeof(float) * static_cast<std::size_t>(f.past));
}

void plainLoop(benchmark::State& state) {
    const int up = static_cast<int>(state.range(0)), down = static_cast<int>(state.range(1));
    const std::vector<float> taps = randomSignal(static_cast<std::size_t>(state.range(2)), 1);
    std::vector<PlainPolyphase> filters(kChannels, PlainPolyphase(taps, up, down));
    Channels ch(up, down);
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c) plainPolyphase(filters[c], ch.in[c].data(), ch.out[c].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kIterations * up);
}

void resamplerArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"up", "down", "taps"});
    for (const auto& [up, down] : {std::pair{2, 3}, std::pair{3, 2}, std::pair{1, 4}, std::pair{6, 1}})
        for (int taps : {85, 127, 169, 251}) b->Args({up, down, taps});
}

}  // namespace

BENCHMARK(plainLoop)->Apply(resamplerArgs);
BENCHMARK_CAPTURE(libraryResampler, n0, 0)->Apply(resamplerArgs);
BENCHMARK_CAPTURE(libraryResampler, n4, 4)->Apply(resamplerArgs);
