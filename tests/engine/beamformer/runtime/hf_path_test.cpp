// The HF path CRoHf on the generated grids: the grids' telling entries, the
// triangle mean, and ramps (never an abrupt capsule switch) when the look
// moves into another cell or the mode changes under a running sine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "beamformer/runtime/hf_path.h"
#include "beamformer/tables/beamformer_tables.h"
#include "support/channel_set.h"

namespace {

namespace tables = orvelan::beamformer::tables;
constexpr float kRate = 44100.0f;
constexpr int kFrames = 256;

int gridAt(const std::int32_t* grid, int theta, int phi) { return grid[theta * tables::kGridColumns + phi]; }

TEST(HfGrids, TellingEntries) {
    EXPECT_EQ(gridAt(tables::kNearestCapsuleGrid, 0, 0), 12);
    EXPECT_EQ(gridAt(tables::kNearestCapsuleGrid, 90, 0), 0);
    EXPECT_EQ(gridAt(tables::kNearestCapsuleGrid, 180, 0), 15);
    const int triangle = gridAt(tables::kTriangleGrid, 90, 0);
    EXPECT_EQ(triangle, 16);
    std::vector<int> members;
    for (int c = 0; c < 3; ++c) members.push_back(tables::kTriangleTable[c * tables::kTriangleCount + triangle]);
    std::sort(members.begin(), members.end());
    EXPECT_EQ(members, (std::vector<int>{0, 1, 2}));
}

// An HF path with its own angle arrays standing in for the modal beamformer's.
struct Path {
    CRoHf hf;
    std::vector<int> theta = std::vector<int>(kFrames, 90), phi = std::vector<int>(kFrames, 0);
    explicit Path(int capsules = 32) {
        EXPECT_EQ(hf.configure(vxAudioInterface::timeDomain(capsules, kRate, kFrames),
                               vxAudioInterface::timeDomain(1, kRate, kFrames)),
                  vxOK);
        EXPECT_EQ(hf.setAngleSource(theta.data(), phi.data()), 0);
    }
    std::vector<float> block(ChannelSet& capsules) {
        std::vector<float> out(kFrames);
        float* o = out.data();
        EXPECT_EQ(hf.process(capsules.pointers(), &o, kFrames), vxOK);
        return out;
    }
};

// The triangle mean x with its correction at sample n: x[n] plus the
// look's weight times the correction FIR's output (x before its start
// taken as silence).
double correctedMean(const std::vector<double>& x, int n, float weight) {
    double filtered = 0;
    for (int k = 0; k < tables::kTriangleCorrectionLength && k <= n; ++k)
        filtered += double(tables::kTriangleCorrectionTaps[k]) * x[n - k];
    return x[n] + double(weight) * filtered;
}

TEST(HfPath, TriangleModeIsTheCorrectedMeanOfItsThreeCapsules) {
    // The look (90, 0) lies in triangle 16 (capsules 0, 1, 2) off its
    // centre, so the correction is at work; across the block boundary too.
    const float weight = tables::kTriangleCorrectionWeights[90 * tables::kGridColumns];
    ASSERT_GT(weight, 0.05f);
    Path path;
    ASSERT_EQ(path.hf.setHfMode(CRoHf::kTriangle), 0);
    ChannelSet capsules(32, kFrames);
    capsules.fill([](int c, int i) { return float(c + 1) * 0.01f + 0.001f * float(i % 7); });
    std::vector<double> mean;
    for (int b = 0; b < 2; ++b) {
        const std::vector<float> out = path.block(capsules);
        for (int i = 0; i < kFrames; ++i) {
            mean.push_back((double(capsules[0][i]) + capsules[1][i] + capsules[2][i]) / 3.0);
            EXPECT_NEAR(out[i], correctedMean(mean, b * kFrames + i, weight), 1e-6) << "block " << b << ", " << i;
        }
    }
    ASSERT_EQ(path.hf.setHfMode(CRoHf::kNearestCapsule), 0);
    Path narrow(16);
    EXPECT_EQ(narrow.hf.setHfMode(CRoHf::kNearestCapsule), 102);
    EXPECT_EQ(narrow.hf.setHfMode(3), 101);
}

// The slope check: a sine of amplitude 1 on every capsule with per-capsule
// phases; any abrupt switch between capsules shows as a step larger than
// the sine's own slope.
struct SineCapsules {
    double omega = 2 * std::numbers::pi * 1000.0 / kRate;
    ChannelSet set{32, kFrames};
    void fillBlock(int block) {
        set.fill([&](int c, int i) { return float(std::sin(omega * (block * kFrames + i) + 0.4 * c)); });
    }
};

double largestStep(const std::vector<float>& y) {
    double step = 0;
    for (std::size_t i = 1; i < y.size(); ++i) step = std::max(step, double(std::abs(y[i] - y[i - 1])));
    return step;
}

TEST(HfPath, CellChangesRampOverAQuarterSecond) {
    // Nearest-capsule mode steered from (90, 0) to (90, 40) in one jump of
    // the angle arrays: the capsules cross-fade over 11025 samples.
    Path path;
    ASSERT_EQ(path.hf.setHfMode(CRoHf::kNearestCapsule), 0);
    EXPECT_EQ(path.hf.rampLength(), 11025);
    SineCapsules sine;
    std::vector<float> out;
    for (int b = 0; b < 60; ++b) {
        if (b == 4) std::fill(path.phi.begin(), path.phi.end(), 40);
        sine.fillBlock(b);
        const std::vector<float> y = path.block(sine.set);
        out.insert(out.end(), y.begin(), y.end());
    }
    EXPECT_LE(largestStep(out), 1.05 * sine.omega * 1.0);
    // After the ramp the new capsule alone.
    const int capsule = gridAt(tables::kNearestCapsuleGrid, 90, 40);
    ASSERT_NE(capsule, 0);
    EXPECT_NEAR(out.back(), sine.set[capsule][kFrames - 1], 1e-6);
}

TEST(HfPath, AModeSwitchUnderASineIsClickFree) {
    // Triangle -> nearest capsule -> triangle while a sine runs: ramps, on
    // the audio thread, between the capsule sets, the triangle's correction
    // ramping with its set; no zero sample at block starts. Switches that
    // come while a ramp runs (blocks 12 and 14) wait for it to end.
    Path path;
    ASSERT_EQ(path.hf.setHfMode(CRoHf::kTriangle), 0);
    SineCapsules sine;
    std::vector<float> out;
    std::vector<double> mean, nearest;
    for (int b = 0; b < 200; ++b) {
        for (auto [at, mode] : {std::pair{10, CRoHf::kNearestCapsule}, {12, CRoHf::kTriangle},
                                {14, CRoHf::kNearestCapsule}, {100, CRoHf::kTriangle}})
            if (b == at) {
                ASSERT_EQ(path.hf.setHfMode(mode), 0);
            }
        sine.fillBlock(b);
        const std::vector<float> y = path.block(sine.set);
        out.insert(out.end(), y.begin(), y.end());
        for (int i = 0; i < kFrames; ++i) {
            mean.push_back((double(sine.set[0][i]) + sine.set[1][i] + sine.set[2][i]) / 3.0);
            nearest.push_back(sine.set[0][i]);
        }
    }
    EXPECT_LE(largestStep(out), 1.05 * sine.omega);
    // Nearest capsule between the two ramps, then settled back on the
    // triangle's corrected mean.
    for (int i = 90 * kFrames; i < 91 * kFrames; ++i) EXPECT_NEAR(out[i], nearest[i], 1e-6) << i;
    const float weight = tables::kTriangleCorrectionWeights[90 * tables::kGridColumns];
    const int last = static_cast<int>(out.size()) - 1;
    EXPECT_NEAR(out[last], correctedMean(mean, last, weight), 1e-5);
}

}  // namespace
