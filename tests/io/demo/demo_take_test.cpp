// The demo take: the file a new user plays, that the same length always
// gives the same samples, and the proof that it is useful: a beam steered
// onto each of its sources, run through the processing chain offline as
// the window sets it up, hears that source at least 10 dB louder in the
// source's band than the same beam turned 180 degrees away.
#include "demo/demo_take.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "demo/offline_chain.h"
#include "support/chain_fixtures.h"
#include "support/demo_band.h"
#include "support/wave_fixtures.h"

namespace orvelan::demo {
namespace {

using io::testing::ScratchDir;

const float kPeak = float(std::pow(10.0, kDemoPeakDbfs / 20.0));

TEST(DemoTake, IsA32ChannelFloatFileOfTheTakeAtMinus12Dbfs)
{
    ScratchDir dir;
    const std::string path = dir.path("take.wav");
    ASSERT_EQ(writeDemoTake(path, 2.0), 0);
    EXPECT_FALSE(io::testing::fileExists(path + ".partial"));

    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_close(file);
    EXPECT_EQ(info.channels, 32);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.frames, 88200);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAVEX);
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);

    // The file holds the generated samples exactly.
    const auto written = io::testing::readWaveFloats(path);
    const auto capsules = demoTakeCapsules(2.0);
    ASSERT_EQ(written.size(), 32u);
    float peak = 0;
    for (int c = 0; c < 32; ++c) {
        ASSERT_EQ(written[c], capsules[c]) << "capsule " << c;
        peak = std::max(peak, io::testing::peakFrom(capsules[c], 0));
        // Faded at both ends, so it loops without a click.
        EXPECT_LT(std::abs(capsules[c].front()), 1e-3f * kPeak) << "capsule " << c;
        EXPECT_LT(std::abs(capsules[c].back()), 1e-3f * kPeak) << "capsule " << c;
    }
    EXPECT_NEAR(peak, kPeak, 1e-6f);
}

TEST(DemoTake, TheSameLengthGivesTheSameSamples)
{
    EXPECT_EQ(demoTakeCapsules(1.5), demoTakeCapsules(1.5));
    EXPECT_EQ(demoTakeCapsules(1.5)[0].size(), 66150u);
}

// The proof below measures each source in its own band; that is the
// source alone only if no two bands share a frequency.
TEST(DemoTake, NoTwoSourcesShareAFrequency)
{
    for (double hz = 0; hz <= 22050; hz += 0.5) {
        int sources = 0;
        for (int s = 0; s < kDemoSourceCount; ++s) sources += demoSourceWeight(s, hz) > 0;
        ASSERT_LE(sources, 1) << hz << " Hz";
    }
}

TEST(DemoTake, ABeamOnEachSourceIsTenDbLouderInItsBandThanTurnedAway)
{
    ScratchDir dir;
    const std::string path = dir.path("take.wav");
    ASSERT_EQ(writeDemoTake(path), 0);

    const char* const patterns[] = {"card2", "card3", "super2"};
    std::vector<BeamSetting> beams;
    for (const char* name : patterns) {
        const int pattern = patternIndex(name);
        ASSERT_GE(pattern, 0) << name;
        for (const DemoSource& source : kDemoSources)
            for (const double turn : {0.0, 180.0}) {
                BeamSetting beam;
                beam.pattern = pattern;
                beam.variant = 0;
                beam.theta = float(source.direction.theta);
                beam.phi = float(std::fmod(source.direction.phi + turn, 360.0));
                beams.push_back(beam);
            }
    }
    const OfflineChainRun run = runChainOffline(path, beams);
    ASSERT_EQ(run.result, 0);
    ASSERT_EQ(run.beams.size(), beams.size());

    // Past the fade-in and the beamformer's latency.
    const std::size_t from = kDemoSampleRate / 2;
    std::size_t b = 0;
    for (const char* name : patterns)
        for (int s = 0; s < kDemoSourceCount; ++s, b += 2) {
            const double on = io::testing::demoBandEnergy(run.beams[b], from, s);
            const double away = io::testing::demoBandEnergy(run.beams[b + 1], from, s);
            const double db = 10 * std::log10(on / away);
            std::printf("%-6s %-5s: %5.1f dB above the beam turned away\n", name, kDemoSources[s].name, db);
            EXPECT_GE(db, 10.0) << name << " on the " << kDemoSources[s].name;
        }
}

}  // namespace
}  // namespace orvelan::demo
