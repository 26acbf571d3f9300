// The whole processing chain as the device host runs it: 32 capsules in
// (live input), 18 "hyper3" beams, the capsule and the beam recorder both
// writing 24-bit files through their disk threads, 256-frame blocks at
// 48 kHz.
// - Cycle: time per block, share of real time, and heap allocations per
//   block on the audio thread (must be 0).
// - Recording: a long take unpaced, as fast as the chain and the disk go,
//   the length from ORVELAN_CHAIN_SECONDS (default 60; 3600 for the hour).
//   Reports the dropped blocks (must be 0) and how many times faster than
//   real time the take ran.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>

#include "support/allocation_counter.h"
#include "io/recording_chain.h"

namespace {

using namespace chain_bench;

void BM_ChainCycle(benchmark::State& state)
{
    RecordingChain chain;
    if (!chain.ok) {
        state.SkipWithError("the chain did not start");
        return;
    }
    for (int b = 0; b < 200; ++b) chain.cycle();  // past every fade
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = allocationCount();
        if (!chain.cycle()) state.SkipWithError("a cycle failed");
        allocations += allocationCount() - before;
    }
    const double blocks = double(state.iterations());
    state.counters["allocations_per_block"] = double(allocations) / blocks;
    state.counters["realtime_share"] =
        benchmark::Counter(blocks * kFrames / kRate, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["dropped_blocks"] = double(chain.droppedBlocks());
}
BENCHMARK(BM_ChainCycle)->Unit(benchmark::kMicrosecond);

void BM_ChainRecording(benchmark::State& state)
{
    const char* asked = std::getenv("ORVELAN_CHAIN_SECONDS");
    const double seconds = asked && *asked ? std::atof(asked) : 60.0;
    const auto blocks = static_cast<std::int64_t>(seconds * kRate / kFrames);
    for (auto _ : state) {
        RecordingChain chain;
        if (!chain.ok) {
            state.SkipWithError("the chain did not start");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        for (std::int64_t b = 0; b < blocks; ++b)
            if (!chain.cycle()) state.SkipWithError("a cycle failed");
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(elapsed);
        state.counters["audio_seconds"] = seconds;
        state.counters["times_realtime"] = seconds / elapsed;
        state.counters["dropped_blocks"] = double(chain.droppedBlocks());
    }
}
BENCHMARK(BM_ChainRecording)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
