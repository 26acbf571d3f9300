// The engine's short FIR filters: 32 channels, 31, 55 and 63 taps, blocks of
// 512 samples, each in its own state built in a caller's buffer and filtered
// out of place, as the modal beamformer and the crossfading FIR banks run
// them. Every variant this processor has, against a plain float FIR loop
// compiled -O3. Then the direct form alone, variant by tap count from 8 to
// 256 (past the length where the entry points switch to the FFT), so that a
// variant slower than a lower one at any length shows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "dsp.h"
#include "filters/fir_state.h"
#include "fir_bench_support.h"

namespace {

constexpr int kChannels = 32;
constexpr int kBlock = 512;

struct Channels {
    std::vector<std::vector<float>> in, out;
    explicit Channels(int) {
        for (int c = 0; c < kChannels; ++c) {
            in.push_back(randomSignal(kBlock, 100u + c));
            out.emplace_back(kBlock);
        }
    }
};

void libraryFir(benchmark::State& state, int variant) {
    const BenchVariant forced(state, variant);
    if (!forced.ok()) return;
    const int tapsLen = static_cast<int>(state.range(0));
    const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 1);
    int size = 0;
    dspsFIRGetStateSize_32f(tapsLen, &size);
    std::vector<Dsp8u*> buffers;
    std::vector<DspsFIRState_32f*> states;
    for (int c = 0; c < kChannels; ++c) {
        buffers.push_back(dspsMalloc_8u(size));
        DspsFIRState_32f* s = nullptr;
        dspsFIRInit_32f(&s, taps.data(), tapsLen, nullptr, buffers.back());
        states.push_back(s);
    }
    Channels ch(0);
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c) dspsFIR_32f(ch.in[c].data(), ch.out[c].data(), kBlock, states[c]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kBlock);
    for (Dsp8u* b : buffers) dspsFree(b);
}

// What a caller would write without the library: history and block in one
// buffer, a dot product per output, the history moved on.
struct PlainFir {
    std::vector<float> taps, buffer;
    explicit PlainFir(const std::vector<float>& h) : taps(h), buffer(h.size() - 1 + kBlock, 0.0f) {}
};

__attribute__((noinline)) void plainFir(PlainFir& f, const float* in, float* out) {
    const int t = static_cast<int>(f.taps.size());
    float* buf = f.buffer.data();
    const float* h = f.taps.data();
    std::memcpy(buf + t - 1, in, sizeof(float) * kBlock);
    for (int n = 0; n < kBlock; ++n) {
        float sum = 0.0f;
        for (int k = 0; k < t; ++k) sum += h[k] * buf[n + t - 1 - k];
        out[n] = sum;
    }
    std::memmove(buf, buf + kBlock, sizeof(float) * static_cast<std::size_t>(t - 1));
}

void plainLoop(benchmark::State& state) {
    const std::vector<float> taps = randomSignal(static_cast<std::size_t>(state.range(0)), 1);
    std::vector<PlainFir> filters(kChannels, PlainFir(taps));
    Channels ch(0);
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c) plainFir(filters[c], ch.in[c].data(), ch.out[c].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kBlock);
}


// The direct path of each level on its own states, whatever mode the entry
// points would choose for the length.
void directForm(benchmark::State& state, int variant) {
    using DirectFilter = void (*)(DspsFIRState_32f*, const Dsp32f*, Dsp32f*, int);
    static constexpr DirectFilter kDirect[5] = {dsp_n0::firDirectFilter32f, dsp_n1::firDirectFilter32f,
                                                dsp_n2::firDirectFilter32f, dsp_n3::firDirectFilter32f,
                                                dsp_n4::firDirectFilter32f};
    const BenchVariant forced(state, variant);
    if (!forced.ok()) return;
    const int tapsLen = static_cast<int>(state.range(0));
    const std::vector<float> taps = randomSignal(static_cast<std::size_t>(tapsLen), 1);
    std::vector<DspsFIRState_32f*> states;
    for (int c = 0; c < kChannels; ++c) {
        DspsFIRState_32f* s = nullptr;
        dspsFIRInitAlloc_32f(&s, taps.data(), tapsLen, nullptr);
        states.push_back(s);
    }
    Channels ch(0);
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c) kDirect[variant](states[c], ch.in[c].data(), ch.out[c].data(), kBlock);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kBlock);
    for (DspsFIRState_32f* s : states) dspsFIRFree_32f(s);
}

}  // namespace

#define FIR_TAPS ->Arg(31)->Arg(55)->Arg(63)
BENCHMARK(plainLoop) FIR_TAPS;
BENCHMARK_CAPTURE(libraryFir, n0, 0) FIR_TAPS;
BENCHMARK_CAPTURE(libraryFir, n1, 1) FIR_TAPS;
BENCHMARK_CAPTURE(libraryFir, n2, 2) FIR_TAPS;
BENCHMARK_CAPTURE(libraryFir, n3, 3) FIR_TAPS;
BENCHMARK_CAPTURE(libraryFir, n4, 4) FIR_TAPS;

#define FIR_DIRECT_TAPS ->Arg(8)->Arg(16)->Arg(24)->Arg(31)->Arg(32)->Arg(41)->Arg(48)->Arg(64)->Arg(96)->Arg(128)->Arg(192)->Arg(256)
BENCHMARK(plainLoop)->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Arg(41)->Arg(48)->Arg(64)->Arg(96)->Arg(128)->Arg(192)->Arg(256);
BENCHMARK_CAPTURE(directForm, n0, 0) FIR_DIRECT_TAPS;
BENCHMARK_CAPTURE(directForm, n1, 1) FIR_DIRECT_TAPS;
BENCHMARK_CAPTURE(directForm, n2, 2) FIR_DIRECT_TAPS;
BENCHMARK_CAPTURE(directForm, n3, 3) FIR_DIRECT_TAPS;
BENCHMARK_CAPTURE(directForm, n4, 4) FIR_DIRECT_TAPS;
