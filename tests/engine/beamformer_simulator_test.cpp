// The rigid-sphere array simulator.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "array_simulator.h"
#include "fir_design.h"
#include "rigid_sphere.h"

namespace {

using namespace orvelan::design;
using namespace orvelan::sim;

TEST(ArraySimulator, LowFrequenciesReachEveryCapsuleAlike)
{
    // At kr -> 0 the sphere is transparent in magnitude; the phase leads by
    // 1.5 kr cos(angle) (the rigid sphere's low-frequency limit).
    const Direction source{40, 100};
    const double hz = 10.0, kr = 2 * std::numbers::pi * hz * kSphereDelay;
    const CapsuleTransfer p = capsuleTransfer(source, hz);
    for (int c = 0; c < kCapsuleCount; ++c) {
        EXPECT_NEAR(std::abs(p[c]), 1.0, 1e-3);
        EXPECT_NEAR(std::arg(p[c]), 1.5 * kr * dot(unitVector(source), capsuleVectors()[c]), 1e-4);
    }
}

TEST(ArraySimulator, FacingCapsuleHearsPressureDoublingAndTheRearIsShadowed)
{
    // Capsule 12 looks up, capsule 15 down; at kr >> 1 the facing side
    // approaches +6 dB.
    const CapsuleTransfer p = capsuleTransfer({0, 0}, 16000.0);
    EXPECT_NEAR(20 * std::log10(std::abs(p[12])), 6.0, 1.5);
    EXPECT_LT(std::abs(p[15]), 0.7 * std::abs(p[12]));
}

TEST(ArraySimulator, SeriesHasConverged)
{
    const double kr = 2 * std::numbers::pi * 20000.0 * kSphereDelay;
    const auto more = rigidSphereModes(seriesOrderFor(kr) + 15, kr);
    for (double x : {1.0, 0.3, -0.7}) EXPECT_NEAR(std::abs(surfacePressure(x, kr) - surfacePressure(x, more)), 0.0, 1e-9);
}

TEST(ArraySimulator, ImpulseResponsesMatchTheTransferFunctions)
{
    const Direction source{70, 30};
    const double delay = 40.0;
    const auto responses = capsuleImpulseResponses(source, 512, delay);
    for (double hz : {250.0, 3000.0, 12000.0}) {
        const CapsuleTransfer p = capsuleTransfer(source, hz);
        for (int c : {0, 12, 15, 27}) {
            const auto expected = p[c] * std::polar(1.0, -2 * std::numbers::pi * hz / 44100.0 * delay);
            EXPECT_LT(std::abs(firResponse(responses[c], hz) - expected), 0.01) << c << " at " << hz;
        }
    }
}

TEST(ArraySimulator, SignalsAreTheInputThroughEachCapsule)
{
    const double hz = 1000.0, delay = 32.0;
    std::vector<float> input(4096);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = float(std::sin(2 * std::numbers::pi * hz * i / 44100.0));
    const CapsuleSignals out = simulateCapsuleSignals({90, 0}, input, delay);
    const CapsuleTransfer p = capsuleTransfer({90, 0}, hz);
    for (int c : {0, 5, 15}) {
        const double phase = std::arg(p[c]) - 2 * std::numbers::pi * hz / 44100.0 * delay;
        for (std::size_t i = 1000; i < 1100; ++i)
            EXPECT_NEAR(out[c][i], std::abs(p[c]) * std::sin(2 * std::numbers::pi * hz * i / 44100.0 + phase), 2e-3);
    }
}

}  // namespace
