// The chain run offline on a file: one beam signal per setting, as long as
// the file whatever the block length, with the settings' gains, mutes and
// master gain applied as the output volume applies them; and the codes of
// what it refuses.
#include "demo/offline_chain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain/audio_graph.h"
#include "support/chain_fixtures.h"
#include "support/wave_fixtures.h"

namespace orvelan::demo {
namespace {

using namespace orvelan::io::testing;

// A 500 Hz plane wave from the left, 10.5 blocks of 256 frames long.
struct ToneFile {
    ToneFile() { writePlaneWaveFile(path, {.theta = 90.0, .phi = 90.0}, 500.0, 0.5f, 2688.0 / 44100.0, 44100); }
    ScratchDir dir;
    std::string path = dir.path("tone.wav");
};

BeamSetting omni(float gain = 1.0f, bool mute = false)
{
    BeamSetting beam;
    beam.pattern = patternIndex("omni");
    beam.gain = gain;
    beam.mute = mute;
    return beam;
}

TEST(OfflineChain, GivesEachBeamAsLongAsTheFileWithItsGainAndMute)
{
    ToneFile file;
    ASSERT_GE(patternIndex("omni"), 0);
    const OfflineChainRun unity = runChainOffline(file.path, {omni(), omni(0.5f), omni(1.0f, true)});
    ASSERT_EQ(unity.result, 0);
    ASSERT_EQ(unity.beams.size(), 3u);
    for (const auto& beam : unity.beams) EXPECT_EQ(beam.size(), 2688u);
    EXPECT_GT(peakFrom(unity.beams[0], 1024), 0.2f) << "the omni beam carries the tone";
    for (std::size_t i = 0; i < 2688; ++i) {
        ASSERT_EQ(unity.beams[1][i], 0.5f * unity.beams[0][i]) << i;
        ASSERT_EQ(unity.beams[2][i], 0.0f) << i;
    }

    OfflineChainOptions halved;
    halved.masterGain = 0.5f;
    const OfflineChainRun master = runChainOffline(file.path, {omni()}, halved);
    ASSERT_EQ(master.result, 0);
    EXPECT_EQ(master.beams[0], unity.beams[1]);
}

TEST(OfflineChain, RefusesWhatTheChainRefuses)
{
    ToneFile file;
    BeamSetting noPattern = omni();
    noPattern.pattern = 12;
    OfflineChainOptions twoOutputs;
    twoOutputs.outputs = 2;
    struct Case {
        const char* what;
        std::string path;
        std::vector<BeamSetting> beams;
        OfflineChainOptions options;
        int expected;
    };
    const Case cases[] = {
        {"no such file", file.dir.path("none.wav"), {omni()}, {}, io::kFileCannotPlay},
        {"more beams than outputs", file.path, {omni(), omni(), omni()}, twoOutputs, vxErrFormat},
        {"a pattern the beamformer lacks", file.path, {noPattern}, {}, vxErrBadArgument},
    };
    for (const Case& c : cases) {
        const OfflineChainRun run = runChainOffline(c.path, c.beams, c.options);
        EXPECT_EQ(run.result, c.expected) << c.what;
    }
}

}  // namespace
}  // namespace orvelan::demo
