// The processing chain with its two threads: an audio thread running cycles
// while a control thread changes gains, mutes, the high-pass and the
// monitor, reads the meters and records; and the chain as the device
// host's processor on the virtual device's free-running clock, stopped,
// set up for another format and started again.
#include "chain/audio_graph.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "asio/asio_host.h"
#include "audio/backends/virtual/virtual_device.h"
#include "support/chain_fixtures.h"
#include "support/wave_fixtures.h"

namespace orvelan::io {
namespace {

using namespace orvelan::io::testing;

// Every control the chain takes while running, varied by step i.
void changeControls(CAudioGraph& g, int i)
{
    const std::vector<float> gains(32, 0.5f + 0.01f * float(i % 50));
    g.setInputGains(gains.data(), 32);
    g.outputVolume().setChannelVolume(i % 4, 0.25f * float(i % 5));
    g.outputVolume().setChannelMute(i % 4, i % 3 == 0);
    g.outputVolume().setMasterVolume(i % 7 == 0 ? 0.5f : 1.0f);
    g.monitorVolume().setMasterVolume(0.5f);
    EXPECT_EQ(g.setHighpass(i % 4), 0);
    g.setMonitorSource(i % 2, i % 40);
    const int outputs[] = {i % 4, (i + 1) % 4};
    EXPECT_EQ(g.setMonitorOutputs(outputs, i % 3), 0);
    g.setMonitorEnabled(i % 2 == 0);
    EXPECT_EQ(g.beamformer().setTheta(i % 4, float((i * 7) % 181)), 0);
    EXPECT_EQ(g.beamformer().setPhi(i % 4, float((i * 13) % 360)), 0);
    EXPECT_EQ(g.beamformer().setPattern(i % 4, i % 12), 0);
    float peaks[32], levels[32];
    g.inputMeter().readLevels(peaks, levels, 32);
    g.outputMeter().readLevels(peaks, levels, 18);
}

// Back to unity gains, the high-pass off, the monitor off and every beam
// an omni looking the default way.
void restoreControls(CAudioGraph& g)
{
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(g.beamformer().setTheta(b, 90.0f), 0);
        EXPECT_EQ(g.beamformer().setPhi(b, 0.0f), 0);
        EXPECT_EQ(g.beamformer().setPattern(b, 0), 0);
    }
    const std::vector<float> ones(32, 1.0f);
    g.setInputGains(ones.data(), 32);
    g.outputVolume().setMasterVolume(1.0f);
    for (int c = 0; c < 18; ++c) {
        g.outputVolume().setChannelVolume(c, 1.0f);
        g.outputVolume().setChannelMute(c, false);
    }
    EXPECT_EQ(g.setHighpass(0), 0);
    g.setMonitorEnabled(false);
}

TEST(AudioGraphThreads, ControlsChangeWhileCyclesRunAndRecord)
{
    ScratchDir dir;
    CAudioGraph g;
    ASSERT_EQ(g.setup(chainFormat(32), chainFormat(4)), vxOK);
    ASSERT_EQ(g.setInputSource(CAudioGraph::kLiveInput), vxOK);
    ASSERT_EQ(g.setNumBeams(4), vxOK);
    ASSERT_EQ(g.inputRecorder().openFile(dir.path("capsules.wav"), CAudioFile::kRecord), 0);
    ASSERT_EQ(g.outputRecorder().openFile(dir.path("beams.wav"), CAudioFile::kRecord), 0);
    ASSERT_EQ(g.inputRecorder().startStreaming(true), 0);
    ASSERT_EQ(g.outputRecorder().startStreaming(true), 0);
    ASSERT_EQ(g.start(), vxOK);

    std::atomic<bool> controlling{true};
    std::atomic<int> failures{0}, cycles{0};
    std::thread audio([&] {
        ChannelSet in(32, kChainFrames, 0.25f), out(4, kChainFrames);
        while (controlling.load() || cycles.load() < 400) {
            if (g.process(in.pointers(), out.pointers(), kChainFrames) != vxOK) failures.fetch_add(1);
            for (int c = 0; c < 4; ++c)
                for (float v : out[c])
                    if (!std::isfinite(v)) failures.fetch_add(1);
            cycles.fetch_add(1);
        }
    });
    for (int i = 0; i < 2000; ++i) changeControls(g, i);
    restoreControls(g);
    const int settled = cycles.load();
    controlling.store(false);
    audio.join();
    EXPECT_GE(cycles.load(), settled);
    EXPECT_EQ(failures.load(), 0);

    // Once the controls rest and every fade has ended (a fade lasts 250 ms,
    // 47 blocks), the beams settle to
    // what a chain that never saw a change gives.
    constexpr int kSettleBlocks = 200;
    CAudioGraph calm;
    ASSERT_EQ(calm.setup(chainFormat(32), chainFormat(4)), vxOK);
    ASSERT_EQ(calm.setInputSource(CAudioGraph::kLiveInput), vxOK);
    ASSERT_EQ(calm.setNumBeams(4), vxOK);
    restoreControls(calm);
    ChannelSet in(32, kChainFrames, 0.25f), out(4, kChainFrames), calmOut(4, kChainFrames);
    for (int b = 0; b < kSettleBlocks; ++b) {
        ASSERT_EQ(g.process(in.pointers(), out.pointers(), kChainFrames), vxOK);
        ASSERT_EQ(calm.process(in.pointers(), calmOut.pointers(), kChainFrames), vxOK);
    }
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < kChainFrames; ++i) ASSERT_NEAR(out[c][i], calmOut[c][i], 1e-5f) << "beam " << c;

    ASSERT_EQ(g.stop(), vxOK);
    g.inputRecorder().stopStreaming();
    g.outputRecorder().stopStreaming();
    EXPECT_EQ(g.inputRecorder().ioStatus(), 0);
    EXPECT_EQ(g.outputRecorder().ioStatus(), 0);
    const auto capsules = readWaveFloats(dir.path("capsules.wav"));
    ASSERT_EQ(capsules.size(), 32u);
    EXPECT_EQ(std::int64_t(capsules[0].size()),
              std::int64_t(cycles.load() + kSettleBlocks - std::int64_t(g.inputRecorder().droppedBlocks())) * kChainFrames);
}

// The chain as the host's processor: the device's clock thread runs the
// cycles; the control thread changes the controls, then stops the stream,
// sets the chain up for another block size and starts again.
TEST(AudioGraphThreads, HostedChainSurvivesControlChangesAndReconfiguration)
{
    audio::VirtualDeviceConfig config;
    config.clock = audio::ClockMode::FreeRunning;
    config.inputs = 32;
    config.outputs = 4;
    config.sampleRate = 44100.0;
    config.sampleType = audio::SampleType::Float32LSB;
    config.input.kind = audio::InputSource::Kind::Sine;
    config.input.frequency = 440.0;
    asioUseCatalog(audio::catalogOf({"Chain Device"}, [config](const audio::CatalogEntry&) -> std::unique_ptr<audio::AudioDriver> {
        return std::make_unique<audio::VirtualAudioDevice>(config);
    }));
    asioInitEngine();
    ASSERT_EQ(asioOpenDriver("Chain Device"), 0);
    std::vector<int> inputs(32), outputs(4);
    for (int c = 0; c < 32; ++c) inputs[std::size_t(c)] = c;
    for (int c = 0; c < 4; ++c) outputs[std::size_t(c)] = c;
    ASSERT_EQ(asioSetInputChannels(inputs.data(), 32), 0);
    ASSERT_EQ(asioSetOutputChannels(outputs.data(), 4), 0);
    ASSERT_EQ(asioSetSampleRate(44100.0), 0);

    CAudioGraph g;
    ASSERT_EQ(g.setInputSource(CAudioGraph::kLiveInput), vxOK);
    for (const int block : {256, 64, 512}) {
        SCOPED_TRACE(block);
        ASSERT_EQ(asioSetBufferSize(block), 0);
        ASSERT_EQ(g.setup(chainFormat(32, 44100.0f, block), chainFormat(4, 44100.0f, block)), vxOK);
        ASSERT_EQ(g.setNumBeams(4), vxOK);
        asioSetProcessorObject(&g);
        ASSERT_EQ(asioSelectProcessor(kProcessorObject), 0);
        ASSERT_EQ(asioCreateBuffers(), 0);
        ASSERT_EQ(g.start(), vxOK);
        ASSERT_EQ(asioStart(), 1);
        for (int i = 0; i < 500; ++i) changeControls(g, i);
        restoreControls(g);
        EXPECT_EQ(asioStop(), 1);
        ASSERT_EQ(g.stop(), vxOK);
        EXPECT_EQ(asioStatus(), kAsioStatusNone) << "no cycle failed";
        ASSERT_EQ(asioDisposeBuffers(), 0);
    }
    asioExitEngine();
}

}  // namespace
}  // namespace orvelan::io
