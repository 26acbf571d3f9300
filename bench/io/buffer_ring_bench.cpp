// The buffer ring's audio side alone: one block of 32 channels x 256 frames
// converted and interleaved into the ring (recording) or taken out of it
// (playback), for each integer sample width. The disk side is played by
// hand: every buffer handed over comes straight back.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "wavefile/buffer_ring.h"

namespace {

using orvelan::io::BufferJob;
using orvelan::io::CAudioBuffer;

constexpr int kChannels = 32;
constexpr int kFrames = 256;

struct Ring {
    explicit Ring(int bytes) : data(kChannels, std::vector<float>(kFrames))
    {
        const float scale = std::ldexp(1.0f, 8 * bytes - 1);
        ring.setBytesPerSample(bytes);
        ring.setScales(scale, 1.0f / scale);
        ring.setFramesPerBlock(kFrames);
        ring.setChannels(kChannels);
        ring.setSampleRate(48000);
        std::mt19937 random(1);
        std::uniform_real_distribution<float> sample(-0.9f, 0.9f);
        for (auto& c : data) {
            for (float& v : c) v = sample(random);
            pointers.push_back(c.data());
        }
    }
    void returnBuffers()
    {
        BufferJob job;
        while (ring.takeJob(job)) ring.completeJob(job);
    }
    CAudioBuffer ring;
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
};

void BM_RingWriteBlock(benchmark::State& state)
{
    Ring r(static_cast<int>(state.range(0)));
    r.ring.setStreaming(true);
    for (auto _ : state) {
        r.ring.writeBlock(r.pointers.data());
        r.returnBuffers();
    }
    if (r.ring.droppedBlocks() != 0) state.SkipWithError("blocks dropped");
    state.SetItemsProcessed(state.iterations() * kChannels * kFrames);
}
BENCHMARK(BM_RingWriteBlock)->ArgName("bytes")->DenseRange(2, 4);

void BM_RingReadBlock(benchmark::State& state)
{
    Ring r(static_cast<int>(state.range(0)));
    r.ring.prefill();
    r.returnBuffers();
    r.ring.setStreaming(true);
    for (auto _ : state) {
        if (!r.ring.readBlock(r.pointers.data())) state.SkipWithError("a block played silence");
        r.returnBuffers();
    }
    state.SetItemsProcessed(state.iterations() * kChannels * kFrames);
}
BENCHMARK(BM_RingReadBlock)->ArgName("bytes")->DenseRange(2, 4);

}  // namespace

BENCHMARK_MAIN();
