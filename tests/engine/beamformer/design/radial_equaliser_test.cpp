// Radial mode 1 as stored: biquads, radial FIRs and alignment delays that
// equalise every order in magnitude and phase behind 315 samples of latency.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "beamformer/sim/array_simulator.h"
#include "support/beam_response.h"
#include "beamformer/tables/beamformer_tables.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/radial_equaliser.h"

namespace {

using namespace orvelan::design;
using orvelan::testing::Complex;
using orvelan::testing::decibels;
using orvelan::testing::storedRadialResponse;
namespace tables = orvelan::beamformer::tables;

constexpr double kPi = std::numbers::pi;

TEST(RadialModeOneTables, HaveTheFixedShapesAndEndInTheSharedHighPass)
{
    const double highPass[6] = {1.0, -2.0, 1.0, 1.0, -1.993955, 0.993973};
    EXPECT_EQ(tables::kRadialFirLatency, 315);
    for (int n = 0; n < tables::kOrderCount; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(tables::kModeOneRadialSectionCounts[n], 3);
        EXPECT_EQ(tables::kRadialFirLengths[n], (std::array{1, 1, 631, 409})[n]);
        EXPECT_EQ(tables::kRadialAlignmentDelays[n], (std::array{315, 315, 0, 111})[n]);
        EXPECT_EQ(tables::kRadialAlignmentDelays[n], (631 - tables::kRadialFirLengths[n]) / 2);

        const double* sections = tables::kModeOneRadialSections[n];
        const double* last = sections + 6 * 2;
        const double* modeZeroLast = tables::kRadialSections[n] + 6 * (tables::kRadialSectionCounts[n] - 1);
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(last[i], modeZeroLast[i]) << "coefficient " << i;  // the very same numbers
            EXPECT_NEAR(last[i], highPass[i], 1e-6) << "coefficient " << i;
        }
        for (int s = 0; s < 3; ++s) {
            const double a0 = sections[6 * s + 3], a1 = sections[6 * s + 4], a2 = sections[6 * s + 5];
            EXPECT_EQ(a0, 1.0) << "section " << s;
            // Poles inside the unit circle (stability triangle of a biquad).
            EXPECT_TRUE(std::abs(a2) < 1.0 && std::abs(a1) < 1.0 + a2) << "section " << s;
        }
    }
}

struct Deviation {
    double magnitudeDb = 0;     // 100 Hz .. 10 kHz
    double phaseDegrees = 0;    // from the end of the gain limit to 10 kHz
};

// Worst deviation of a stored radial mode from the target, delayed by the
// mode's latency.
Deviation deviationFromTarget(int radialMode, int order)
{
    const int latency = radialMode == 1 ? tables::kRadialFirLatency : 0;
    Deviation worst;
    for (double hz = 100.0; hz <= 10000.0; hz *= 1.005) {
        const Complex ratio =
            storedRadialResponse(radialMode, order, hz) / (radialEqualiserTarget(order, hz) * delayResponse(latency, hz));
        worst.magnitudeDb = std::max(worst.magnitudeDb, std::abs(decibels(std::abs(ratio))));
        if (hz >= radialLimitEndHz(order))
            worst.phaseDegrees = std::max(worst.phaseDegrees, std::abs(std::arg(ratio)) * 180.0 / kPi);
    }
    return worst;
}

TEST(RadialModeOne, FollowsTheLimitedInverseInMagnitudeAndPhaseBetterThanModeZero)
{
    // Orders 0 and 1 keep the phase lead of their 30 Hz limit (minimum-phase
    // biquads, one-tap FIRs), a few degrees where the limit ends at about
    // 210 Hz; orders 2 and 3 have a FIR to undo it. Mode 0 is off by up to
    // 1.8 dB in magnitude and, on orders 2 and 3, 60 and 95 degrees in phase.
    struct Case {
        int order;
        double magnitudeDb;
        double phaseDegrees;
    };
    for (const Case c : {Case{0, 0.5, 7.0}, Case{1, 0.5, 7.5}, Case{2, 0.25, 1.0}, Case{3, 0.25, 1.0}}) {
        SCOPED_TRACE(c.order);
        const Deviation modeOne = deviationFromTarget(1, c.order);
        const Deviation modeZero = deviationFromTarget(0, c.order);
        EXPECT_LT(modeOne.magnitudeDb, c.magnitudeDb);
        EXPECT_LT(modeOne.phaseDegrees, c.phaseDegrees);
        EXPECT_LT(modeOne.magnitudeDb, modeZero.magnitudeDb);
        EXPECT_LE(modeOne.phaseDegrees, modeZero.phaseDegrees);
    }
}

TEST(RadialModeOne, KeepsTheGainLimitOfModeZero)
{
    // The limit caps how much capsule noise each order amplifies at low
    // frequencies: mode 1 may not exceed mode 0's largest gain there.
    for (int n = 0; n < tables::kOrderCount; ++n) {
        double modeZeroPeak = 0, modeOnePeak = 0;
        for (double hz = 5.0; hz <= 1000.0; hz *= 1.01) {
            modeZeroPeak = std::max(modeZeroPeak, std::abs(storedRadialResponse(0, n, hz)));
            modeOnePeak = std::max(modeOnePeak, std::abs(storedRadialResponse(1, n, hz)));
        }
        EXPECT_LT(decibels(modeOnePeak / modeZeroPeak), 0.5) << "order " << n;
    }
}

// Radial mode 1 in the time domain: encoder row, biquads (double
// precision), FIR (float taps) and alignment delay.
std::vector<double> equaliseInModeOne(const orvelan::sim::CapsuleSignals& capsules, int k)
{
    const int order = componentOrder(k);
    const std::size_t frames = capsules[0].size();
    std::vector<double> x(frames, 0.0);
    for (int c = 0; c < tables::kCapsuleCount; ++c)
        for (std::size_t i = 0; i < frames; ++i) x[i] += double(tables::kEncoderMatrix[k][c]) * capsules[c][i];
    for (int s = 0; s < tables::kModeOneRadialSectionCounts[order]; ++s) {
        const double* q = tables::kModeOneRadialSections[order] + 6 * s;
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : x) {
            const double y = q[0] * v + q[1] * x1 + q[2] * x2 - q[4] * y1 - q[5] * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    const float* taps = tables::kRadialFirTaps[order];
    const int length = tables::kRadialFirLengths[order];
    const std::size_t shift = tables::kRadialAlignmentDelays[order];
    std::vector<double> out(frames, 0.0);
    for (std::size_t i = shift; i < frames; ++i)
        for (int t = 0; t < length && std::size_t(t) <= i - shift; ++t) out[i] += double(taps[t]) * x[i - shift - t];
    return out;
}

TEST(RadialModeOne, PlaneWaveGivesTheHarmonicsOfItsDirectionDelayedByTheLatency)
{
    // A 1 kHz wave (above every gain limit, below spatial aliasing), captured
    // by the simulated sphere 32 samples late. Mode 1 turns order n into
    // (2n+1)/sqrt(4 pi) harmonic_k(u) times the wave at the sphere's centre,
    // advanced by r/c (the inverse's reference) and delayed by 315 samples;
    // only the shared high-pass (2.3 degrees here) is left on top.
    // Tolerance, sample by sample and relative to the order's full scale: 3 %
    // on orders 0 and 1 (their biquads alone are within 0.4 dB), 1 % on
    // orders 2 and 3.
    const double hz = 1000.0, simulatorDelay = 32.0;
    const double w = 2.0 * kPi * hz / kDesignRate;
    std::vector<float> input(6000);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = float(std::sin(w * double(i)));
    const double* highPass = tables::kModeOneRadialSections[0] + 6 * 2;
    const Complex common = biquadResponse({highPass[0], highPass[1], highPass[2], highPass[3], highPass[4], highPass[5]},
                                          hz, kDesignRate) *
                           std::polar(1.0, w * kSphereDelay * kDesignRate) *
                           delayResponse(simulatorDelay + tables::kRadialFirLatency, hz);
    for (const Direction u : {Direction{90, 0}, Direction{33, 71}, Direction{121, 200}}) {
        const auto capsules = orvelan::sim::simulateCapsuleSignals(u, input, simulatorDelay);
        const ComponentVector h = directionHarmonics(u);
        for (int k = 0; k < kComponentCount; ++k) {
            const int n = componentOrder(k);
            const double scale = (2.0 * n + 1.0) / std::sqrt(4.0 * kPi);
            const std::vector<double> y = equaliseInModeOne(capsules, k);
            const Complex expected = scale * h[k] * common;
            double worst = 0;
            for (std::size_t i = 5000; i < input.size(); ++i)  // long after the high-pass has settled
                worst = std::max(worst, std::abs(y[i] - std::abs(expected) * std::sin(w * double(i) + std::arg(expected))));
            EXPECT_LT(worst / scale, n <= 1 ? 0.03 : 0.01) << "direction " << u.theta << "/" << u.phi << " component " << k;
        }
    }
}

}  // namespace
