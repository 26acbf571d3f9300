// The spherical-harmonic decomposition CEbf on the chain's shape, 32
// capsules x 256 frames into 16 components with the mode-0 radial biquads:
// time per block, share of real time at 48 kHz, heap allocations per block
// (must be 0).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "support/set_up_check.h"
#include "support/allocation_counter.h"
#include "support/noise_channels.h"
#include "beamformer/runtime/decomposition.h"
#include "beamformer/tables/beamformer_tables.h"

namespace {

namespace tables = orvelan::beamformer::tables;

constexpr int kFrames = 256;
constexpr float kRate = 48000.0f;

void Decomposition(benchmark::State& state) {
    dspStaticInit();
    CEbf ebf;
    ebf.configure(vxAudioInterface::timeDomain(32, kRate, kFrames), vxAudioInterface::timeDomain(16, kRate, kFrames));
    const float* rows[tables::kComponentCount];
    for (int k = 0; k < tables::kComponentCount; ++k) rows[k] = tables::kEncoderMatrix[k];
    orvelan::bench::requireSetUp(ebf.setEncoderMatrix(rows), "setEncoderMatrix");
    orvelan::bench::requireSetUp(ebf.setRadialBiquads(tables::kRadialSections, tables::kRadialSectionCounts), "setRadialBiquads");
    orvelan::bench::requireSetUp(ebf.setRadialMode(CEbf::kRadialBiquads), "setRadialMode");
    ebf.start();

    NoiseChannels in(32, kFrames);
    std::vector<std::vector<float>> components(16, std::vector<float>(kFrames));
    std::vector<float*> out;
    for (auto& c : components) out.push_back(c.data());

    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = allocationCount();
        ebf.process(in.data(), out.data(), kFrames);
        allocations += allocationCount() - before;
        benchmark::ClobberMemory();
    }
    const double blocks = static_cast<double>(state.iterations());
    state.counters["allocations_per_block"] = benchmark::Counter(static_cast<double>(allocations) / blocks);
    // Seconds of audio per block over seconds spent: the real-time factor.
    state.counters["realtime_factor"] =
        benchmark::Counter(blocks * kFrames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(Decomposition)->Unit(benchmark::kMicrosecond);

}  // namespace
