// The processing chain on one thread, driven block by block: the formats
// set-up takes, the codes of its setters, live and file input, pass-through,
// the copy to the device outputs and the zeroing of the rest, the monitor
// routing, the high-pass choices measured through the chain, and set-up
// repeated with other formats and modes.
#include "chain/audio_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <vector>

#include "support/chain_fixtures.h"
#include "support/wave_fixtures.h"

namespace orvelan::io {
namespace {

using namespace orvelan::io::testing;

constexpr float kOffset = CAudioGraph::kDenormalOffset;

// A chain set up for `inputs` device inputs and `outputs` device outputs.
struct Chain {
    explicit Chain(int inputs = 32, int outputs = 24, float rate = kChainRate, int frames = kChainFrames)
        : frames(frames), in(inputs, frames), out(outputs, frames)
    {
        result = graph.setup(chainFormat(inputs, rate, frames), chainFormat(outputs, rate, frames));
    }
    vxResult cycle() { return graph.process(in.pointers(), out.pointers(), frames); }
    // Live input in the given processing mode, with `beams` beams.
    void live(int processing, int beams)
    {
        ASSERT_EQ(result, vxOK);
        ASSERT_EQ(graph.setInputSource(CAudioGraph::kLiveInput), vxOK);
        ASSERT_EQ(graph.setProcessingMode(processing), vxOK);
        ASSERT_EQ(graph.setNumBeams(beams), vxOK);
    }

    CAudioGraph graph;
    int frames;
    ChannelSet in, out;
    vxResult result;
};

// Input channel c carries c + 1 hundredths at every sample.
void fillConstantPerChannel(ChannelSet& in)
{
    in.fill([](int c, int) { return 0.01f * float(c + 1); });
}

// Every capsule carries one 1 kHz tone, block after block.
void fillTone(ChannelSet& in, int block)
{
    in.fill([block](int, int i) {
        return float(0.5 * std::sin(2 * std::numbers::pi * 1000.0 * double(block * kChainFrames + i) / kChainRate));
    });
}

void expectChannel(const ChannelSet& set, int c, float value, const char* what)
{
    for (float v : set[c]) ASSERT_EQ(v, value) << what << ", channel " << c;
}

TEST(AudioGraph, SetupTakesOnlyFormatsTheChainCanRun)
{
    struct Case {
        const char* what;
        vxAudioInterface in, out;
        vxResult expected;
    };
    auto frequencyDomain = chainFormat(32);
    frequencyDomain.setDomain(vxAudioInterface::kFrequencyDomain);
    auto complex = chainFormat(32);
    complex.setReal(false);
    const Case cases[] = {
        {"32 in, 18 out", chainFormat(32), chainFormat(18), vxOK},
        {"no inputs", chainFormat(0), chainFormat(2), vxOK},
        {"33 inputs", chainFormat(33), chainFormat(18), vxErrFormat},
        {"no outputs", chainFormat(32), chainFormat(0), vxErrFormat},
        {"frequency domain", frequencyDomain, chainFormat(18), vxErrFormat},
        {"complex", complex, chainFormat(18), vxErrFormat},
        {"39690 Hz", chainFormat(32, 39690.0f), chainFormat(18, 39690.0f), vxOK},
        {"48510 Hz", chainFormat(32, 48510.0f), chainFormat(18, 48510.0f), vxOK},
        {"39689 Hz", chainFormat(32, 39689.0f), chainFormat(18, 39689.0f), vxErrFormat},
        {"48511 Hz", chainFormat(32, 48511.0f), chainFormat(18, 48511.0f), vxErrFormat},
        {"rates differ", chainFormat(32, 44100.0f), chainFormat(18, 48000.0f), vxErrFormat},
        {"frames differ", chainFormat(32, kChainRate, 256), chainFormat(18, kChainRate, 512), vxErrFormat},
    };
    for (const Case& c : cases) {
        CAudioGraph graph;
        EXPECT_EQ(graph.setup(c.in, c.out), c.expected) << c.what;
        if (c.expected != vxOK) {
            // A refused chain runs no cycle.
            ChannelSet in(32, kChainFrames), out(18, kChainFrames);
            EXPECT_EQ(graph.process(in.pointers(), out.pointers(), kChainFrames), vxErrNotConfigured) << c.what;
        }
    }
}

TEST(AudioGraph, ReconfigurationIsRefusedWhileRunningAndTheOtherSettersWork)
{
    Chain chain;
    ASSERT_EQ(chain.result, vxOK);
    ASSERT_EQ(chain.graph.start(), vxOK);
    EXPECT_TRUE(chain.graph.isRunning());
    EXPECT_EQ(chain.graph.setup(chainFormat(32), chainFormat(24)), vxErrRunning);
    EXPECT_EQ(chain.graph.setInputSource(CAudioGraph::kLiveInput), vxErrRunning);
    EXPECT_EQ(chain.graph.setProcessingMode(CAudioGraph::kPassThrough), vxErrRunning);
    EXPECT_EQ(chain.graph.setNumBeams(4), vxErrRunning);
    EXPECT_EQ(chain.graph.inputMode(), CAudioGraph::kFileInput);
    EXPECT_EQ(chain.graph.numBeams(), 2);
    EXPECT_EQ(chain.graph.setHighpass(2), vxOK);
    const int monitor[] = {3};
    EXPECT_EQ(chain.graph.setMonitorOutputs(monitor, 1), vxOK);
    EXPECT_EQ(chain.graph.stop(), vxOK);
    EXPECT_EQ(chain.graph.setNumBeams(25), vxOK);
    EXPECT_EQ(chain.graph.numBeams(), 18);
    EXPECT_EQ(chain.graph.setNumBeams(-1), vxOK);
    EXPECT_EQ(chain.graph.numBeams(), 0);
}

TEST(AudioGraph, CodesOfTheSmallerSetters)
{
    Chain chain;
    CAudioGraph& g = chain.graph;
    int corners[6];
    EXPECT_EQ(g.highpassFrequencies(corners, 6), 0);
    EXPECT_EQ(std::vector<int>(corners, corners + 6), (std::vector<int>{0, 80, 160, 320, -1, -1}));
    int two[2];
    g.highpassFrequencies(two, 2);
    EXPECT_EQ(std::vector<int>(two, two + 2), (std::vector<int>{0, 80}));
    EXPECT_EQ(CAudioGraph::numHighpassChoices(), 4);
    for (const int bad : {4, -1}) EXPECT_EQ(g.setHighpass(bad), vxErrBadArgument) << bad;

    EXPECT_EQ(CAudioGraph::recorderBlockIndex(0), CAudioGraph::kInputRecorder);
    EXPECT_EQ(CAudioGraph::recorderBlockIndex(1), CAudioGraph::kOutputRecorder);
    EXPECT_EQ(CAudioGraph::recorderBlockIndex(7), 7);

    ScratchDir dir;
    const std::vector<std::vector<float>> second(2, std::vector<float>(64, 0.25f));
    writeFloatWave(dir.path("44k.wav"), second, 44100);
    writeFloatWave(dir.path("32k.wav"), second, 32000);
    EXPECT_EQ(g.openInputFile(dir.path("32k.wav").c_str()), kChainFileRateRefused);
    EXPECT_EQ(g.openInputFile(dir.path("none.wav").c_str()), kFileCannotPlay);
    EXPECT_EQ(g.openInputFile(dir.path("44k.wav").c_str()), 0);
    ASSERT_EQ(g.setInputSource(CAudioGraph::kLiveInput), vxOK);
    EXPECT_EQ(g.openInputFile(dir.path("44k.wav").c_str()), kChainNotFileInput);
}

// The monitor's settings: the clamped source channel and the outputs it may
// take (device outputs of the chain, at most two).
TEST(AudioGraph, MonitorSettingsAreClampedOrRefused)
{
    Chain chain(32, 4);
    CAudioGraph& g = chain.graph;
    struct Source {
        int source, channel, storedChannel;
    };
    for (const Source s : {Source{0, 40, 31}, Source{1, -3, 0}, Source{1, 30, 17}, Source{0, 5, 5}}) {
        g.setMonitorSource(s.source, s.channel);
        EXPECT_EQ(g.monitorSource(), s.source);
        EXPECT_EQ(g.monitorChannel(), s.storedChannel) << s.source << ", " << s.channel;
    }
    const int three[] = {0, 1, 2};
    const int outside[] = {0, 4};
    const int negative[] = {-1};
    EXPECT_EQ(g.setMonitorOutputs(three, 3), vxErrBadArgument);
    EXPECT_EQ(g.setMonitorOutputs(outside, 2), vxErrBadArgument);
    EXPECT_EQ(g.setMonitorOutputs(negative, 1), vxErrBadArgument);
    EXPECT_EQ(g.numMonitorOutputs(), 0) << "a refused list changes nothing";
    const int last[] = {3, 2};
    EXPECT_EQ(g.setMonitorOutputs(last, 2), vxOK);
    EXPECT_EQ(g.numMonitorOutputs(), 2);
    EXPECT_EQ(g.monitorOutput(0), 3);
    EXPECT_EQ(g.monitorOutput(1), 2);
}

// Pass-through on live input: the first beams' worth of inputs reach the
// device outputs with the input gains and the offset; the rest of the
// outputs are silent, and the beam side never runs.
TEST(AudioGraph, PassThroughCopiesTheInputsWithTheOffsetAndZeroesTheRest)
{
    Chain chain(32, 24);
    CAudioGraph& g = chain.graph;
    chain.live(CAudioGraph::kPassThrough, 4);
    const std::vector<float> gains = {2.0f, 1.0f, 0.5f};
    g.setInputGains(gains.data(), 3);
    fillConstantPerChannel(chain.in);
    chain.out.fill([](int, int) { return 9.0f; });
    ASSERT_EQ(chain.cycle(), vxOK);
    for (int c = 0; c < 4; ++c) expectChannel(chain.out, c, 0.01f * float(c + 1) * (c < 3 ? gains[c] : 1.0f) + kOffset, "beam");
    for (int c = 4; c < 24; ++c) expectChannel(chain.out, c, 0.0f, "beyond the beams");

    float peaks[32], levels[32];
    g.inputMeter().readLevels(peaks, levels, 32);
    EXPECT_EQ(peaks[0], 0.0f) << "the input meter does not run in pass-through";
    g.outputMeter().readLevels(peaks, levels, 18);
    EXPECT_FLOAT_EQ(peaks[3], 0.04f + kOffset) << "the output meter runs";
}

// File input: the reader plays a 2-channel file into the first capsules,
// the others stay silent (plus the offset).
TEST(AudioGraph, PassThroughOfATwoChannelFile)
{
    ScratchDir dir;
    const int frames = 4 * kChainFrames;
    std::vector<std::vector<float>> file(2, std::vector<float>(frames));
    for (int f = 0; f < frames; ++f) {
        file[0][f] = 0.5f * float(std::sin(0.01 * f));
        file[1][f] = -0.25f * float(std::cos(0.03 * f));
    }
    writeFloatWave(dir.path("two.wav"), file, 44100);

    Chain chain(32, 4);
    CAudioGraph& g = chain.graph;
    ASSERT_EQ(g.setProcessingMode(CAudioGraph::kPassThrough), vxOK);
    ASSERT_EQ(g.setNumBeams(3), vxOK);
    ASSERT_EQ(g.openInputFile(dir.path("two.wav").c_str()), 0);
    ASSERT_EQ(g.fileReader().startStreaming(false), 0);
    for (int b = 0; b < 4; ++b) {
        g.fileReader().checkQueue();  // the disk's part, on this thread
        ASSERT_EQ(chain.cycle(), vxOK);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < kChainFrames; ++i)
                ASSERT_EQ(chain.out[c][i], file[c][b * kChainFrames + i] + kOffset) << "block " << b << ", channel " << c;
        expectChannel(chain.out, 2, kOffset, "a capsule the file lacks");
        expectChannel(chain.out, 3, 0.0f, "beyond the beams");
    }
    g.fileReader().stopStreaming();
}

// Step 7 writes min(device outputs, beams) channels and zeroes the rest of
// the device outputs; no device output beyond the chain's is touched.
TEST(AudioGraph, DeviceOutputsCarryTheBeamsAndSilenceBeyondThem)
{
    struct Case {
        int deviceOutputs, beams;
    };
    for (const Case c : {Case{24, 4}, Case{2, 4}, Case{18, 18}, Case{30, 18}, Case{4, 0}}) {
        SCOPED_TRACE(::testing::Message() << c.deviceOutputs << " outputs, " << c.beams << " beams");
        Chain chain(32, c.deviceOutputs);
        chain.live(CAudioGraph::kBeamforming, c.beams);
        // Past the beamformer's latency, so every beam carries the tone.
        for (int block = 0; block < 3; ++block) {
            fillTone(chain.in, block);
            chain.out.fill([](int, int) { return 9.0f; });
            ASSERT_EQ(chain.cycle(), vxOK);
        }
        for (int o = 0; o < c.deviceOutputs; ++o) {
            const bool beam = o < c.beams;
            for (float v : chain.out[o]) {
                if (beam) {
                    ASSERT_NE(v, 0.0f) << "output " << o;
                    ASSERT_NE(v, 9.0f) << "output " << o;
                } else {
                    ASSERT_EQ(v, 0.0f) << "output " << o;
                }
            }
        }
    }
}

// The monitor routing table: source, channel and outputs decide which
// device outputs carry which signal, with the monitor gain. With fewer than
// two monitor outputs every cycle still succeeds.
TEST(AudioGraph, MonitorRoutingTable)
{
    struct Case {
        const char* what;
        int source, channel;
        std::vector<int> outputs;
        bool enabled;
        // Expected signal per device output: -1 the beam copy (or silence),
        // otherwise the input channel the monitor carries.
        std::vector<int> carries;
    };
    // Pass-through with 4 beams on 6 device outputs: beam b is input b.
    const Case cases[] = {
        {"off", 0, 9, {0, 1}, false, {-1, -1, -1, -1, -1, -1}},
        {"input 9 to 0 and 1", 0, 9, {0, 1}, true, {9, 9, -1, -1, -1, -1}},
        {"input 20 to output 5 only", 0, 20, {5}, true, {-1, -1, -1, -1, -1, 20}},
        {"beam 2 to outputs 4 and 0", 1, 2, {4, 0}, true, {2, -1, -1, -1, 2, -1}},
        {"no monitor outputs", 1, 3, {}, true, {-1, -1, -1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Chain chain(32, 6);
        CAudioGraph& g = chain.graph;
        chain.live(CAudioGraph::kPassThrough, 4);
        g.setMonitorSource(c.source, c.channel);
        ASSERT_EQ(g.setMonitorOutputs(c.outputs.data(), int(c.outputs.size())), vxOK);
        g.setMonitorEnabled(c.enabled);
        g.monitorVolume().setMasterVolume(0.5f);
        fillConstantPerChannel(chain.in);
        ASSERT_EQ(chain.cycle(), vxOK);
        for (int o = 0; o < 6; ++o) {
            const int carried = c.carries[o];
            const float beam = o < 4 ? 0.01f * float(o + 1) + kOffset : 0.0f;
            const float expected = carried < 0 ? beam : 0.5f * (0.01f * float(carried + 1) + kOffset);
            expectChannel(chain.out, o, expected, "device output");
        }
    }
}

// Beamforming: the output volume and the high-pass act on the beams, and a
// muted beam reaches its device output silent.
TEST(AudioGraph, OutputGainsAndMuteActOnTheBeams)
{
    Chain unity(32, 4), chain(32, 4);
    unity.live(CAudioGraph::kBeamforming, 3);
    chain.live(CAudioGraph::kBeamforming, 3);
    chain.graph.outputVolume().setChannelVolume(0, 0.5f);
    chain.graph.outputVolume().setChannelMute(1, true);
    for (int block = 0; block < 3; ++block) {
        fillTone(unity.in, block);
        fillTone(chain.in, block);
        ASSERT_EQ(unity.cycle(), vxOK);
        ASSERT_EQ(chain.cycle(), vxOK);
    }
    for (int i = 0; i < kChainFrames; ++i) {
        ASSERT_NE(unity.out[0][i], 0.0f);
        ASSERT_FLOAT_EQ(chain.out[0][i], 0.5f * unity.out[0][i]);
        ASSERT_EQ(chain.out[1][i], 0.0f);
        ASSERT_EQ(chain.out[2][i], unity.out[2][i]);
    }
}

// Each high-pass choice, selected through the chain, lets a sine at its
// corner through 3 dB down against the high-pass off, and one at 1 kHz
// unchanged.
TEST(AudioGraph, HighpassChoicesAreThreeDecibelsDownAtTheirCorner)
{
    int corners[4];
    CAudioGraph().highpassFrequencies(corners, 4);
    const auto steadyPeak = [](int choice, double hz) {
        Chain chain(32, 2);
        CAudioGraph& g = chain.graph;
        chain.live(CAudioGraph::kBeamforming, 2);
        EXPECT_EQ(g.setHighpass(choice), vxOK);
        std::vector<float> beam;
        const int blocks = int(kChainRate) / kChainFrames;  // one second
        for (int b = 0; b < blocks; ++b) {
            chain.in.fill([&](int, int i) {
                return float(0.5 * std::sin(2 * std::numbers::pi * hz * double(b * kChainFrames + i) / kChainRate));
            });
            EXPECT_EQ(chain.cycle(), vxOK);
            beam.insert(beam.end(), chain.out[0].begin(), chain.out[0].end());
        }
        return peakFrom(beam, beam.size() / 2);
    };
    for (int choice = 1; choice < 4; ++choice) {
        SCOPED_TRACE(::testing::Message() << corners[choice] << " Hz");
        const double atCorner = 20 * std::log10(steadyPeak(choice, corners[choice]) / steadyPeak(0, corners[choice]));
        EXPECT_NEAR(atCorner, -3.0, 0.1);
        const double at1k = 20 * std::log10(steadyPeak(choice, 1000.0) / steadyPeak(0, 1000.0));
        EXPECT_NEAR(at1k, 0.0, 0.05);
    }
}

// One NaN or infinity in one capsule's sample, live or in the played file,
// becomes silence where it enters: every beam, the high-pass after them,
// the monitor and the meters stay finite, and the chain runs exactly as
// though the sample had been 0 (so, once the filters' memory has passed, as
// though it had never been bad).
TEST(AudioGraph, ANonFiniteInputSampleIsSilencedWhereItEnters)
{
    constexpr int kBlocks = 48;
    constexpr int kBadCapsule = 5, kBadSample = 10 * kChainFrames + 100;
    constexpr int kBeams = 18, kMonitorOutput = 23;
    // A 1 kHz tone, each capsule a little later than the one before.
    std::vector<std::vector<float>> clean(32, std::vector<float>(kBlocks * kChainFrames));
    for (int c = 0; c < 32; ++c)
        for (std::size_t i = 0; i < clean[c].size(); ++i)
            clean[c][i] = float(0.5 * std::sin(2 * std::numbers::pi * 1000.0 * double(i) / kChainRate + 0.02 * c));

    struct Run {
        std::vector<std::vector<float>> outputs;  // every device output, all blocks
        bool metersFinite = true;
    };
    const auto run = [](const std::vector<std::vector<float>>& capsules, bool fromFile) {
        ScratchDir dir;
        Chain chain(32, 24);
        CAudioGraph& g = chain.graph;
        EXPECT_EQ(chain.result, vxOK);
        EXPECT_EQ(g.setInputSource(fromFile ? CAudioGraph::kFileInput : CAudioGraph::kLiveInput), vxOK);
        EXPECT_EQ(g.setNumBeams(kBeams), vxOK);
        EXPECT_EQ(g.setHighpass(1), vxOK);
        g.setMonitorSource(CAudioGraph::kMonitorMainInput, kBadCapsule);
        const int monitor[] = {kMonitorOutput};
        EXPECT_EQ(g.setMonitorOutputs(monitor, 1), vxOK);
        g.setMonitorEnabled(true);
        if (fromFile) {
            writeFloatWave(dir.path("take.wav"), capsules, int(kChainRate));
            EXPECT_EQ(g.openInputFile(dir.path("take.wav").c_str()), 0);
            EXPECT_EQ(g.fileReader().startStreaming(false), 0);
        }
        EXPECT_EQ(g.start(), vxOK);
        Run r;
        r.outputs.assign(24, {});
        for (int b = 0; b < kBlocks; ++b) {
            if (fromFile) g.fileReader().checkQueue();
            else chain.in.fill([&](int c, int i) { return capsules[c][b * kChainFrames + i]; });
            EXPECT_EQ(chain.cycle(), vxOK);
            for (int o = 0; o < 24; ++o) r.outputs[o].insert(r.outputs[o].end(), chain.out[o].begin(), chain.out[o].end());
            float peaks[32], levels[32];
            for (CMaxValue* meter : {&g.inputMeter(), &g.outputMeter()}) {
                meter->readLevels(peaks, levels, 18);
                for (int c = 0; c < 18; ++c) r.metersFinite = r.metersFinite && std::isfinite(peaks[c]) && std::isfinite(levels[c]);
            }
        }
        if (fromFile) g.fileReader().stopStreaming();
        EXPECT_EQ(g.stop(), vxOK);
        return r;
    };

    for (const bool fromFile : {false, true}) {
        std::vector<std::vector<float>> zeroed = clean;
        zeroed[kBadCapsule][kBadSample] = 0.0f;
        const Run reference = run(zeroed, fromFile), untouched = run(clean, fromFile);
        for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity()}) {
            SCOPED_TRACE(::testing::Message() << (fromFile ? "file input, " : "live input, ") << bad);
            std::vector<std::vector<float>> capsules = clean;
            capsules[kBadCapsule][kBadSample] = bad;
            const Run r = run(capsules, fromFile);
            EXPECT_TRUE(r.metersFinite);
            for (int o = 0; o < 24; ++o)
                for (std::size_t i = 0; i < r.outputs[o].size(); ++i) {
                    ASSERT_TRUE(std::isfinite(r.outputs[o][i])) << "output " << o << ", sample " << i;
                    ASSERT_EQ(r.outputs[o][i], reference.outputs[o][i]) << "output " << o << ", sample " << i;
                }
            // The zeroed sample's trace has died away in the filters.
            const std::size_t settled = std::size_t(kBlocks - 4) * kChainFrames;
            float peak = 0, worst = 0;
            for (int o = 0; o < kBeams; ++o)
                for (std::size_t i = settled; i < r.outputs[o].size(); ++i) {
                    peak = std::max(peak, std::abs(untouched.outputs[o][i]));
                    worst = std::max(worst, std::abs(r.outputs[o][i] - untouched.outputs[o][i]));
                }
            EXPECT_GT(peak, 0.1f);
            EXPECT_LE(worst, 1e-6f * peak);
            std::printf("%s: %.3g of the beams' peak %.3f\n", fromFile ? "file" : "live", worst / peak, peak);
        }
    }
}

// Live input from a device with fewer inputs than capsules: the missing
// capsules are silent, rather than read past the caller's channel array.
TEST(AudioGraph, LiveInputFromFewerDeviceInputsLeavesTheOtherCapsulesSilent)
{
    Chain chain(2, 2);
    CAudioGraph& g = chain.graph;
    chain.live(CAudioGraph::kPassThrough, 2);
    g.setMonitorSource(CAudioGraph::kMonitorMainInput, 31);
    const int both[] = {0, 1};
    ASSERT_EQ(g.setMonitorOutputs(both, 2), vxOK);
    fillConstantPerChannel(chain.in);
    ASSERT_EQ(chain.cycle(), vxOK);
    expectChannel(chain.out, 0, 0.01f + kOffset, "device input 0");
    g.setMonitorEnabled(true);
    ASSERT_EQ(chain.cycle(), vxOK);
    expectChannel(chain.out, 1, kOffset, "capsule 31 has no device input");
}

// Set-up again while stopped, with other formats and in every mode: each
// cycle afterwards runs on the new buffers only (ASan sees any stale one).
TEST(AudioGraph, SetupAgainWithNewFormatsRunsOnTheNewBuffers)
{
    CAudioGraph g;
    struct Format {
        int inputs, outputs, frames;
        float rate;
    };
    const Format formats[] = {{32, 24, 256, 48000.0f}, {32, 2, 64, 44100.0f}, {4, 30, 512, 48000.0f}, {32, 18, 128, 44100.0f}};
    int round = 0;
    for (const Format& f : formats)
        for (const int input : {CAudioGraph::kLiveInput, CAudioGraph::kFileInput})
            for (const int processing : {CAudioGraph::kPassThrough, CAudioGraph::kBeamforming}) {
                SCOPED_TRACE(::testing::Message() << "round " << round++);
                ASSERT_EQ(g.stop(), vxOK);
                ASSERT_EQ(g.setup(chainFormat(f.inputs, f.rate, f.frames), chainFormat(f.outputs, f.rate, f.frames)), vxOK);
                ASSERT_EQ(g.setInputSource(input), vxOK);
                ASSERT_EQ(g.setProcessingMode(processing), vxOK);
                ASSERT_EQ(g.setNumBeams(round % 5), vxOK);
                const int monitor[] = {f.outputs - 1};
                ASSERT_EQ(g.setMonitorOutputs(monitor, 1), vxOK);
                g.setMonitorEnabled(round % 2 == 0);
                ASSERT_EQ(g.start(), vxOK);
                ChannelSet in(f.inputs, f.frames, 0.125f), out(f.outputs, f.frames);
                for (int b = 0; b < 3; ++b) ASSERT_EQ(g.process(in.pointers(), out.pointers(), f.frames), vxOK);
                if (input == CAudioGraph::kLiveInput && processing == CAudioGraph::kPassThrough && g.numBeams() > 0)
                    expectChannel(out, 0, 0.125f + kOffset, "input 0 passed through");
            }
    ASSERT_EQ(g.stop(), vxOK);
}

}  // namespace
}  // namespace orvelan::io
