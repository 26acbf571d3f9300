// The beamformer block CRo32 as the chain runs it: 32 capsules to 18 beams
// at 48 kHz, 64-, 256- and 1024-frame blocks, with 0, 1, 4 or 18 beams
// enabled ("hyper3", steady), and with all 18 enabled and fading to a newly
// loaded variant (a load every 60 blocks, outside the timing; each stage's
// crossfade runs 250 ms). Time per block, real-time factor and heap
// allocations per block (must be 0).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/set_up_check.h"
#include "support/allocation_counter.h"
#include "support/noise_channels.h"
#include "beamformer/runtime/beamformer_block.h"

namespace {

constexpr float kRate = 48000.0f;
constexpr int kBeams = 18;
constexpr int kHyper3 = 4;

void BeamformerBlock(benchmark::State& state) {
    dspStaticInit();
    const int frames = static_cast<int>(state.range(0));
    const int active = static_cast<int>(state.range(1));
    const bool fading = state.range(2) != 0;
    CRo32 block;
    if (block.configure(vxAudioInterface::timeDomain(32, kRate, frames),
                        vxAudioInterface::timeDomain(kBeams, kRate, frames)) != vxOK) {
        state.SkipWithError("configure failed");
        return;
    }
    for (int b = 0; b < kBeams; ++b) {
        orvelan::bench::requireSetUp(block.setPattern(b, kHyper3), "setPattern");
        orvelan::bench::requireSetUp(block.setPatternParameter(b, 2), "setPatternParameter");
        orvelan::bench::requireSetUp(block.setPhi(b, float(20 * b)), "setPhi");
        orvelan::bench::requireSetUp(block.setBeamEnabled(b, b < active), "setBeamEnabled");
    }
    block.start();

    NoiseChannels in(32, frames);
    std::vector<std::vector<float>> beams(kBeams, std::vector<float>(frames));
    std::vector<float*> out;
    for (auto& b : beams) out.push_back(b.data());

    std::uint64_t allocations = 0;
    int blockCount = 0;
    const int loadEvery = std::max(1, int(kRate) / 4 / frames + 2);  // a little longer than a fade
    for (auto _ : state) {
        if (fading && blockCount % loadEvery == 0) {
            state.PauseTiming();
            for (int b = 0; b < kBeams; ++b) orvelan::bench::requireSetUp(block.setPatternParameter(b, blockCount / loadEvery % 2 == 0 ? 0 : 4), "setPatternParameter");
            state.ResumeTiming();
        }
        ++blockCount;
        const std::uint64_t before = allocationCount();
        block.process(in.data(), out.data(), frames);
        allocations += allocationCount() - before;
        benchmark::ClobberMemory();
    }
    block.stop();
    const double blocks = static_cast<double>(state.iterations());
    state.counters["allocations_per_block"] = benchmark::Counter(static_cast<double>(allocations) / blocks);
    state.counters["realtime_factor"] =
        benchmark::Counter(blocks * frames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BeamformerBlock)
    ->ArgNames({"frames", "active", "fading"})
    ->ArgsProduct({{64, 256, 1024}, {0, 1, 4, 18}, {0}})
    ->ArgsProduct({{64, 256, 1024}, {18}, {1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
