// One beam's HF path CRoHf on 32 capsules, 256-frame blocks at 48 kHz: the
// nearest capsule (mode 1) and the corrected triangle mean (mode 2), the look
// held or moving a degree every 100 samples across the cells (so that the
// capsule sets ramp now and then). Time per block, real-time factor and heap
// allocations per block (must be 0).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "support/allocation_counter.h"
#include "support/noise_channels.h"
#include "beamformer/runtime/hf_path.h"

namespace {

constexpr int kFrames = 256;
constexpr float kRate = 48000.0f;

void HfPath(benchmark::State& state) {
    dspStaticInit();
    const int mode = static_cast<int>(state.range(0));
    const bool moving = state.range(1) != 0;
    CRoHf hf;
    std::vector<int> theta(kFrames, 90), phi(kFrames, 10);
    if (hf.configure(vxAudioInterface::timeDomain(32, kRate, kFrames), vxAudioInterface::timeDomain(1, kRate, kFrames)) !=
            vxOK ||
        hf.setAngleSource(theta.data(), phi.data()) != 0 || hf.setHfMode(mode) != 0) {
        state.SkipWithError("set-up failed");
        return;
    }
    NoiseChannels in(32, kFrames);
    std::vector<float> out(kFrames);
    float* o = out.data();

    std::uint64_t allocations = 0;
    long long position = 0;
    for (auto _ : state) {
        if (moving) {
            state.PauseTiming();
            for (int i = 0; i < kFrames; ++i) phi[i] = static_cast<int>((position + i) / 100 % 360);
            position += kFrames;
            state.ResumeTiming();
        }
        const std::uint64_t before = allocationCount();
        hf.process(in.data(), &o, kFrames);
        allocations += allocationCount() - before;
        benchmark::ClobberMemory();
    }
    const double blocks = static_cast<double>(state.iterations());
    state.counters["allocations_per_block"] = benchmark::Counter(static_cast<double>(allocations) / blocks);
    state.counters["realtime_factor"] = benchmark::Counter(blocks * kFrames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(HfPath)->ArgNames({"mode", "moving"})->ArgsProduct({{1, 2}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace
