// The whole processing chain as the device host runs it, for benchmarks: 32
// capsules in (live input), 18 "hyper3" beams, the capsule and the beam
// recorder both writing 24-bit files through their disk threads, 256-frame
// blocks at 48 kHz. The files go to $TMPDIR (default /tmp) and are removed
// afterwards.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "chain/audio_graph.h"

namespace chain_bench {

using orvelan::io::CAudioFile;
using orvelan::io::CAudioGraph;

constexpr float kRate = 48000.0f;
constexpr int kFrames = 256;
constexpr int kBeams = 18;
constexpr int kHyper3 = 4;

inline std::string benchPath(const char* name)
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

}  // namespace chain_bench
