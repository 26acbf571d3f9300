#include "demo/offline_chain.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "chain/audio_graph.h"

namespace orvelan::demo {

using io::CAudioGraph;

namespace {

// Plays the file already open in the chain's reader through to its end.
int play(CAudioGraph& graph, const OfflineChainOptions& options, std::size_t beams, OfflineChainRun& run)
{
    io::CAudioFile& reader = graph.fileReader();
    const auto total = static_cast<std::size_t>(reader.numFrames());
    const auto frames = static_cast<std::size_t>(options.frames);
    std::vector<std::vector<float>> in(CAudioGraph::kMaxInputs, std::vector<float>(frames));
    std::vector<std::vector<float>> out(static_cast<std::size_t>(options.outputs), std::vector<float>(frames));
    std::vector<float*> inPointers, outPointers;
    for (auto& c : in) inPointers.push_back(c.data());
    for (auto& c : out) outPointers.push_back(c.data());
    run.beams.assign(beams, std::vector<float>(total));

    if (const int r = reader.setStartSample(0); r != 0) return r;
    if (const int r = reader.startStreaming(false); r != 0) return r;
    if (const int r = graph.start(); r != vxOK) return r;
    int result = 0;
    for (std::size_t done = 0; done < total && result == 0; done += frames) {
        reader.checkQueue();
        result = graph.process(inPointers.data(), outPointers.data(), options.frames);
        const std::size_t count = std::min(frames, total - done);
        for (std::size_t b = 0; b < beams; ++b) std::copy_n(out[b].begin(), count, run.beams[b].begin() + done);
    }
    graph.stop();
    reader.stopStreaming();
    return result;
}

}  // namespace

int patternIndex(const char* name)
{
    // The records never change once made, so one set serves every caller.
    static const CRo32Factory factory;
    for (int p = 0; p < factory.count(); ++p)
        if (std::strncmp(factory.pattern(p)->name(), name, CRoPattern::kTextLength) == 0) return p;
    return -1;
}

OfflineChainRun runChainOffline(const std::string& file, const std::vector<BeamSetting>& beams,
                                const OfflineChainOptions& options)
{
    OfflineChainRun run;
    if (beams.size() > static_cast<std::size_t>(options.outputs)) {
        run.result = vxErrFormat;
        return run;
    }
    // The chain is large: on the heap, not the caller's stack.
    auto graph = std::make_unique<CAudioGraph>();
    const auto format = [&](int channels) {
        return vxAudioInterface::timeDomain(channels, options.sampleRate, options.frames);
    };
    const int count = static_cast<int>(beams.size());
    int& r = run.result;
    r = graph->setup(format(CAudioGraph::kMaxInputs), format(options.outputs));
    if (r == 0) r = graph->setInputSource(CAudioGraph::kFileInput);
    if (r == 0) r = graph->setNumBeams(count);
    if (r != 0) return run;
    graph->outputVolume().setMasterVolume(options.masterGain);
    for (int b = 0; b < count && r == 0; ++b) {
        const BeamSetting& beam = beams[static_cast<std::size_t>(b)];
        CRo32& beamformer = graph->beamformer();
        r = beamformer.setPattern(b, beam.pattern);
        if (r == 0) r = beamformer.setPatternParameter(b, beam.variant);
        if (r == 0) r = beamformer.setTheta(b, beam.theta);
        if (r == 0) r = beamformer.setPhi(b, beam.phi);
        graph->outputVolume().setChannelVolume(b, beam.gain);
        graph->outputVolume().setChannelMute(b, beam.mute);
    }
    if (r == 0) r = graph->setHighpass(options.highpass);
    if (r == 0) r = graph->openInputFile(file.c_str());
    if (r == 0) r = graph->setProcessingMode(CAudioGraph::kBeamforming);
    if (r == 0) r = play(*graph, options, beams.size(), run);
    return run;
}

}  // namespace orvelan::demo
