// The general blocks on the chain's widest shape, 32 channels x 256 frames:
// time per process call, and the heap allocations a call makes (must be 0).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "support/set_up_check.h"
#include "support/allocation_counter.h"
#include "blocks/filter_stage_bq.h"
#include "blocks/highpass_taps.h"
#include "blocks/max_value.h"
#include "blocks/volume_control.h"
#include "framework/audio_buffer.h"

namespace {

constexpr int kChannels = 32;
constexpr int kFrames = 256;

vxAudioInterface blockFormat(int channels) {
    return vxAudioInterface::timeDomain(channels, 48000.0f, kFrames);
}

// Input and output buffers of kernel storage, the input filled with noise.
struct Buffers {
    vxAudioBuffer in{blockFormat(kChannels)};
    vxAudioBuffer out{blockFormat(kChannels)};

    Buffers() {
        in.allocateStorage();
        out.allocateStorage();
        std::mt19937 random(1);
        std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
        for (int c = 0; c < kChannels; ++c)
            for (int i = 0; i < kFrames; ++i) in.channelData(c)[i] = sample(random);
    }
};

// Times `block.process` and reports the allocations per call.
void runProcess(benchmark::State& state, vxAudioClass& block, Buffers& buffers) {
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = allocationCount();
        block.process(buffers.in.channelArray(), buffers.out.channelArray(), kFrames);
        allocations += allocationCount() - before;
        benchmark::ClobberMemory();
    }
    state.counters["allocations_per_call"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
    state.SetItemsProcessed(state.iterations() * std::int64_t(kChannels) * kFrames);
}

void VolumeControl(benchmark::State& state) {
    dspStaticInit();
    Buffers buffers;
    CVolumeControl block;
    block.configure(blockFormat(kChannels), blockFormat(kChannels));
    for (int c = 0; c < kChannels; ++c) block.setChannelVolume(c, 0.5f + 0.01f * c);
    block.setMasterVolume(0.8f);
    runProcess(state, block, buffers);
}

void MaxValue(benchmark::State& state) {
    dspStaticInit();
    Buffers buffers;
    CMaxValue block;
    block.configure(blockFormat(kChannels), blockFormat(0));
    runProcess(state, block, buffers);
}


void FilterStageBq(benchmark::State& state) {
    dspStaticInit();
    Buffers buffers;
    CFilterStageBq block;
    block.configure(blockFormat(kChannels), blockFormat(kChannels));
    const std::vector<int> counts(kChannels, kHighpassSections);
    orvelan::bench::requireSetUp(block.setSections(counts.data(), kChannels), "setSections");
    for (int c = 0; c < kChannels; ++c) orvelan::bench::requireSetUp(block.setTaps(c, kHighpassTaps[1]), "setTaps");
    runProcess(state, block, buffers);
}

}  // namespace

BENCHMARK(VolumeControl)->Unit(benchmark::kMicrosecond);
BENCHMARK(MaxValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(FilterStageBq)->Unit(benchmark::kMicrosecond);
