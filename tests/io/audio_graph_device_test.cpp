// The processing chain end to end: the device host drives it on the
// virtual device (manual clock, float samples, so what the chain writes is
// what the device captures), with the capsules of a simulated plane wave
// coming from a 32-channel WAV file, either as the device's live input or
// played by the chain's file reader. The recorders' files read back (with
// libsndfile) as exactly the 24-bit samples of what the chain produced.
#include "chain/audio_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "asio/asio_host.h"
#include "support/beam_response.h"
#include "beamformer/tables/beamformer_tables.h"
#include "audio/backends/virtual/virtual_device.h"
#include "support/chain_fixtures.h"
#include "support/wave_fixtures.h"

namespace orvelan::io {
namespace {

using namespace orvelan::io::testing;

constexpr int kRate = 44100;
constexpr int kDeviceOutputs = 4;

class ChainOnDevice : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (asioIsRunning()) asioStop();
        graph.stop();
        asioExitEngine();
    }

    // The virtual device with 32 inputs carrying `input` and four outputs,
    // the chain set up for it as the host's processor.
    void open(const audio::InputSource& input)
    {
        audio::VirtualDeviceConfig config;
        config.clock = audio::ClockMode::Manual;
        config.inputs = 32;
        config.outputs = kDeviceOutputs;
        config.sampleRate = kRate;
        config.sampleType = audio::SampleType::Float32LSB;
        config.input = input;
        asioUseCatalog(audio::catalogOf({"Chain Device"}, [this, config](const audio::CatalogEntry&) {
            auto made = std::make_unique<audio::VirtualAudioDevice>(config);
            device = made.get();
            return std::unique_ptr<audio::AudioDriver>(std::move(made));
        }));
        asioInitEngine();
        ASSERT_EQ(asioOpenDriver("Chain Device"), 0);
        std::vector<int> channels(32);
        for (int c = 0; c < 32; ++c) channels[std::size_t(c)] = c;
        ASSERT_EQ(asioSetInputChannels(channels.data(), 32), 0);
        ASSERT_EQ(asioSetOutputChannels(channels.data(), kDeviceOutputs), 0);
        ASSERT_EQ(asioSetSampleRate(kRate), 0);
        ASSERT_EQ(asioSetBufferSize(kChainFrames), 0);
        ASSERT_EQ(graph.setup(chainFormat(32, float(kRate)), chainFormat(kDeviceOutputs, float(kRate))), vxOK);
        asioSetProcessorObject(&graph);
        ASSERT_EQ(asioSelectProcessor(kProcessorObject), 0);
        ASSERT_EQ(asioCreateBuffers(), 0);
        // The host's first start after a rate change reopens the driver (a
        // new device): done here, so the device the test talks to stays.
        ASSERT_EQ(asioStart(), 1);
        ASSERT_EQ(asioStop(), 1);
    }

    // Streams `blocks` blocks, the file blocks' disk work done between
    // them on this thread; the device keeps every output.
    void stream(int blocks)
    {
        ASSERT_EQ(device->captureOutputs(std::int64_t{blocks} * kChainFrames), 0);
        for (CAudioFile* file : {&graph.fileReader(), &graph.inputRecorder(), &graph.outputRecorder()}) file->checkQueue();
        ASSERT_EQ(graph.start(), vxOK);
        ASSERT_EQ(asioStart(), 1);
        for (int b = 0; b < blocks; ++b) {
            ASSERT_EQ(device->pump(1), 1);
            for (CAudioFile* file : {&graph.fileReader(), &graph.inputRecorder(), &graph.outputRecorder()}) file->checkQueue();
        }
        ASSERT_EQ(asioStop(), 1);
        ASSERT_EQ(graph.stop(), vxOK);
        EXPECT_EQ(asioStatus(), kAsioStatusNone) << "a cycle failed";
        ASSERT_EQ(device->capturedFrames(), std::int64_t{blocks} * kChainFrames);
    }

    std::vector<float> captured(int output) const
    {
        const float* data = device->capturedOutput(output);
        return std::vector<float>(data, data + device->capturedFrames());
    }

    ScratchDir dir;
    CAudioGraph graph;
    audio::VirtualAudioDevice* device = nullptr;
};

TEST_F(ChainOnDevice, PassThroughOfATwoChannelFile)
{
    const int blocks = 12;
    std::vector<std::vector<float>> file(2, std::vector<float>(blocks * kChainFrames));
    for (std::size_t f = 0; f < file[0].size(); ++f) {
        file[0][f] = float(f % 509) / 1024.0f - 0.25f;
        file[1][f] = -float(f % 127) / 256.0f;
    }
    writeFloatWave(dir.path("two.wav"), file, kRate);
    open({});
    ASSERT_EQ(graph.setProcessingMode(CAudioGraph::kPassThrough), vxOK);
    ASSERT_EQ(graph.openInputFile(dir.path("two.wav").c_str()), 0);
    ASSERT_EQ(graph.fileReader().startStreaming(false), 0);
    stream(blocks);
    for (int c = 0; c < 2; ++c) {
        const std::vector<float> out = captured(c);
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], file[std::size_t(c)][i] + CAudioGraph::kDenormalOffset) << "output " << c << ", frame " << i;
    }
    for (int c = 2; c < kDeviceOutputs; ++c)
        for (float v : captured(c)) ASSERT_EQ(v, 0.0f) << "output " << c;
}

// The capsules of a plane wave, played by the device (live input: both
// recorders run) or by the chain's file reader (file input: the beam
// recorder runs). Each recording holds exactly the 24-bit samples of the
// capsules the chain took in or of the beams it wrote to the device.
TEST_F(ChainOnDevice, RecordingsDuringPlaybackReadBackBitExact)
{
    const int blocks = 60;
    const std::string wave = dir.path("wave.wav");
    const auto capsules = writePlaneWaveFile(wave, {60.0, 30.0}, 1000.0, 0.5f, 0.5, kRate);
    for (const int mode : {CAudioGraph::kLiveInput, CAudioGraph::kFileInput}) {
        SCOPED_TRACE(mode == CAudioGraph::kLiveInput ? "live input" : "file input");
        audio::InputSource input;
        if (mode == CAudioGraph::kLiveInput) {
            input.kind = audio::InputSource::Kind::File;
            input.path = wave;
        }
        open(input);
        ASSERT_EQ(graph.setInputSource(mode), vxOK);
        ASSERT_EQ(graph.setNumBeams(kDeviceOutputs), vxOK);
        if (mode == CAudioGraph::kFileInput) {
            ASSERT_EQ(graph.openInputFile(wave.c_str()), 0);
            ASSERT_EQ(graph.fileReader().startStreaming(false), 0);
        } else {
            ASSERT_EQ(graph.inputRecorder().openFile(dir.path("capsules.wav"), CAudioFile::kRecord), 0);
            ASSERT_EQ(graph.inputRecorder().startStreaming(false), 0);
        }
        ASSERT_EQ(graph.outputRecorder().openFile(dir.path("beams.wav"), CAudioFile::kRecord), 0);
        ASSERT_EQ(graph.outputRecorder().startStreaming(false), 0);
        stream(blocks);
        graph.inputRecorder().stopStreaming();
        graph.outputRecorder().stopStreaming();
        graph.fileReader().stopStreaming();

        const auto beams = readWave24(dir.path("beams.wav"));
        ASSERT_EQ(beams.size(), std::size_t(kDeviceOutputs));
        for (int c = 0; c < kDeviceOutputs; ++c) EXPECT_EQ(beams[std::size_t(c)], to24Bit(captured(c))) << "beam " << c;
        if (mode == CAudioGraph::kLiveInput) {
            const auto recorded = readWave24(dir.path("capsules.wav"));
            ASSERT_EQ(recorded.size(), 32u);
            for (std::size_t c = 0; c < 32; ++c) {
                const std::vector<float> taken(capsules[c].begin(), capsules[c].begin() + blocks * kChainFrames);
                EXPECT_EQ(recorded[c], to24Bit(taken)) << "capsule " << c;
            }
        }
        asioExitEngine();
    }
}


int patternIndex(const char* name)
{
    for (int p = 0; p < beamformer::tables::kPatternCount; ++p)
        if (std::strcmp(beamformer::tables::kPatterns[p].name, name) == 0) return p;
    return -1;
}

// Beams formed by the chain from a file of a simulated plane wave: each
// beam's steady level is the level the rigid-sphere model of the array and
// the beam's own filters predict for that source.
TEST_F(ChainOnDevice, BeamLevelsOfAPlaneWaveMatchTheSimulatedArray)
{
    const sim::Direction source{60.0, 30.0};
    const sim::Direction away{120.0, 210.0};
    const double hz = 1000.0;
    const float amplitude = 0.5f;
    const std::string wave = dir.path("wave.wav");
    writePlaneWaveFile(wave, {source.theta, source.phi}, hz, amplitude, 0.6, kRate);
    open({});
    struct BeamChoice {
        const char* pattern;
        int variant;
        sim::Direction look;
    };
    const BeamChoice beams[kDeviceOutputs] = {
        {"omni", 0, {90.0, 0.0}}, {"card1", 0, source}, {"hyper3", 2, source}, {"card1", 0, away}};
    ASSERT_EQ(graph.setNumBeams(kDeviceOutputs), vxOK);
    for (int b = 0; b < kDeviceOutputs; ++b) {
        CRo32& beamformer = graph.beamformer();
        ASSERT_EQ(beamformer.setPattern(b, patternIndex(beams[b].pattern)), 0);
        ASSERT_EQ(beamformer.setPatternParameter(b, beams[b].variant), 0);
        ASSERT_EQ(beamformer.setTheta(b, float(beams[b].look.theta)), 0);
        ASSERT_EQ(beamformer.setPhi(b, float(beams[b].look.phi)), 0);
    }
    ASSERT_EQ(graph.openInputFile(wave.c_str()), 0);
    ASSERT_EQ(graph.fileReader().startStreaming(false), 0);
    const int blocks = int(0.55 * kRate) / kChainFrames;
    stream(blocks);
    graph.fileReader().stopStreaming();

    // Past the glide from the default look, the pattern fades and the
    // beamformer's latency.
    const std::size_t settled = std::size_t(0.35 * kRate);
    for (int b = 0; b < kDeviceOutputs; ++b) {
        const double expected = amplitude * std::abs(orvelan::testing::beamResponse(
                                                patternIndex(beams[b].pattern), beams[b].variant,
                                                orvelan::testing::Direction{beams[b].look.theta, beams[b].look.phi},
                                                orvelan::testing::Direction{source.theta, source.phi}, hz));
        const double level = peakFrom(captured(b), settled);
        EXPECT_NEAR(20.0 * std::log10(level / expected), 0.0, 0.1)
            << beams[b].pattern << " beam " << b << ": " << level << " against " << expected;
    }
}

}  // namespace
}  // namespace orvelan::io
