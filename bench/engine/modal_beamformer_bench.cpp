// The modal beamformer CMbf on the chain's shapes: 1, 8 and 18 beams (one
// CMbf each) on the 16 components, 256-frame blocks, 251-tap modal FIRs of
// the "hyper3" record, steady and during a crossfade to a newly loaded bank,
// each with the look held or gliding all the time, and each with the beams
// transforming their own order sums or, as in the chain, sharing the
// components' spectra (their windows pushed and transformed in the timing).
// Time per block for all beams, real-time factor at 48 kHz and heap
// allocations per block (must be 0).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "support/set_up_check.h"
#include "support/allocation_counter.h"
#include "support/noise_channels.h"
#include "beamformer/runtime/component_spectra.h"
#include "beamformer/runtime/modal_beamformer.h"
#include "beamformer/tables/beamformer_tables.h"

namespace {

namespace tables = orvelan::beamformer::tables;

constexpr int kFrames = 256;
constexpr float kRate = 48000.0f;
constexpr int kHyper3 = 4;

void loadVariant(CMbf& mbf, int variant) {
    const tables::PatternTable& p = tables::kPatterns[kHyper3];
    const float* taps[4];
    for (int k = 0; k < 4; ++k) taps[k] = p.modalTaps + (variant * 4 + k) * p.modalLength;
    mbf.loadFilters(p.tapCounts + variant * 4, taps);
}

void ModalBeamformer(benchmark::State& state) {
    dspStaticInit();
    const int beams = static_cast<int>(state.range(0));
    const bool fading = state.range(1) != 0;
    const bool gliding = state.range(2) != 0;
    const bool shared = state.range(3) != 0;
    vxComponentSpectra spectra;
    if (shared && !spectra.configure(16, kFrames, 251)) {
        state.SkipWithError("no memory for the spectra");
        return;
    }
    std::vector<std::unique_ptr<CMbf>> mbfs;
    for (int b = 0; b < beams; ++b) {
        auto mbf = std::make_unique<CMbf>();
        mbf->configure(vxAudioInterface::timeDomain(16, kRate, kFrames), vxAudioInterface::timeDomain(1, kRate, kFrames));
        orvelan::bench::requireSetUp(mbf->setLatency(125.0f), "setLatency");
        loadVariant(*mbf, 2);
        mbf->setTheta(90.0f);
        mbf->setPhi(float(20 * b));
        mbf->start();
        mbfs.push_back(std::move(mbf));
    }
    NoiseChannels in(16, kFrames);
    std::vector<float> out(kFrames);
    float* o = out.data();

    std::uint64_t allocations = 0;
    int blocksSinceLoad = 0;
    int blocksSinceTurn = 29;
    for (auto _ : state) {
        if (fading && blocksSinceLoad == 0) {
            // Load a new bank outside the timing; the fade then runs ~47 blocks.
            state.PauseTiming();
            for (auto& mbf : mbfs) loadVariant(*mbf, mbf->currentBank() % 2 == 0 ? 0 : 4);
            state.ResumeTiming();
        }
        blocksSinceLoad = (blocksSinceLoad + 1) % 40;
        // 90 degrees take 35 blocks: a new target every 30 keeps the look moving.
        if (gliding && ++blocksSinceTurn == 30) {
            blocksSinceTurn = 0;
            for (auto& mbf : mbfs) mbf->setPhi(float(mbf->phiTarget() + 90));
        }
        const std::uint64_t before = allocationCount();
        if (shared) {
            spectra.push(in.data(), kFrames, true);
            for (auto& mbf : mbfs) mbf->process(in.data(), spectra, o, kFrames);
        } else {
            for (auto& mbf : mbfs) mbf->process(in.data(), &o, kFrames);
        }
        allocations += allocationCount() - before;
        benchmark::ClobberMemory();
    }
    const double blocks = static_cast<double>(state.iterations());
    state.counters["allocations_per_block"] = benchmark::Counter(static_cast<double>(allocations) / blocks);
    state.counters["realtime_factor"] = benchmark::Counter(blocks * kFrames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(ModalBeamformer)
    ->ArgNames({"beams", "fading", "gliding", "shared"})
    ->ArgsProduct({{1, 8, 18}, {0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
