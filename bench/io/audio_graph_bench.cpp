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
// The files go to $TMPDIR (default /tmp) and are removed afterwards.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "support/allocation_counter.h"
#include "chain/audio_graph.h"

namespace {

using orvelan::io::CAudioFile;
using orvelan::io::CAudioGraph;

constexpr float kRate = 48000.0f;
constexpr int kFrames = 256;
constexpr int kBeams = 18;
constexpr int kHyper3 = 4;

std::string benchPath(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/orvelan-chain-" + name + "-" + std::to_string(getpid()) + ".wav";
}

// A running chain recording capsules and beams, with a block of noise on
// every capsule.
struct RecordingChain {
    RecordingChain()
        : capsulesPath(benchPath("capsules")), beamsPath(benchPath("beams")),
          capsules(32, std::vector<float>(kFrames)), beams(kBeams, std::vector<float>(kFrames))
    {
        dspStaticInit();
        std::mt19937 random(1);
        std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
        for (auto& c : capsules) {
            for (float& v : c) v = sample(random);
            in.push_back(c.data());
        }
        for (auto& b : beams) out.push_back(b.data());
        ok = graph.setup(vxAudioInterface::timeDomain(32, kRate, kFrames),
                         vxAudioInterface::timeDomain(kBeams, kRate, kFrames)) == vxOK &&
             graph.setInputSource(CAudioGraph::kLiveInput) == vxOK && graph.setNumBeams(kBeams) == vxOK;
        for (int b = 0; ok && b < kBeams; ++b)
            ok = graph.beamformer().setPattern(b, kHyper3) == 0 && graph.beamformer().setPhi(b, float(20 * b)) == 0;
        ok = ok && graph.inputRecorder().openFile(capsulesPath, CAudioFile::kRecord) == 0 &&
             graph.outputRecorder().openFile(beamsPath, CAudioFile::kRecord) == 0 &&
             graph.inputRecorder().startStreaming(true) == 0 && graph.outputRecorder().startStreaming(true) == 0 &&
             graph.start() == vxOK;
    }
    ~RecordingChain()
    {
        graph.stop();
        graph.inputRecorder().stopStreaming();
        graph.outputRecorder().stopStreaming();
        unlink(capsulesPath.c_str());
        unlink(beamsPath.c_str());
    }
    bool cycle() { return graph.process(in.data(), out.data(), kFrames) == vxOK; }
    std::uint64_t droppedBlocks()
    {
        return graph.inputRecorder().droppedBlocks() + graph.outputRecorder().droppedBlocks();
    }

    std::string capsulesPath, beamsPath;
    std::vector<std::vector<float>> capsules, beams;
    std::vector<float*> in, out;
    CAudioGraph graph;
    bool ok = false;
};

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
