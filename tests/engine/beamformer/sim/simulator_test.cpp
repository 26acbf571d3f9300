// The rigid-sphere array simulator.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "beamformer/sim/array_simulator.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/rigid_sphere.h"

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

TEST(ArraySimulator, ModesAgreeWithTheLibrarysBesselFunctions)
{
    // b_n(x) = i^n (j_n - j_n' h_n / h_n'), h_n = j_n - i y_n, from the
    // standard library's spherical Bessel functions and f_n' = n/x f_n -
    // f_{n+1}: an evaluation independent of the simulator's own recurrence.
    const auto derivative = [](auto f, int n, double x) { return n / x * f(n, x) - f(n + 1, x); };
    const auto j = [](int n, double x) { return std::sph_bessel(unsigned(n), x); };
    const auto y = [](int n, double x) { return std::sph_neumann(unsigned(n), x); };
    for (double x : {0.05, 0.3, 1.0, 4.0, 12.0, 30.0})
        for (int n = 0; n <= 10; ++n) {
            const std::complex<double> h(j(n, x), -y(n, x)), dh(derivative(j, n, x), -derivative(y, n, x));
            const std::complex<double> expected =
                std::pow(std::complex<double>(0, 1), n) * (j(n, x) - derivative(j, n, x) * h / dh);
            EXPECT_LT(std::abs(rigidSphereMode(n, x) - expected), 1e-9 * std::abs(expected) + 1e-300)
                << "order " << n << " at kr " << x;
        }
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
    // To 2e-5 of the wave: order 3 at 200 Hz lives in differences between
    // capsules of about 1e-4, so the band-limited responses must keep their
    // ringing before the main peak (without it every capsule was 3e-4 off).
    const double delay = 32.0;
    for (double hz : {200.0, 1000.0, 5000.0}) {
        std::vector<float> input(4096);
        for (std::size_t i = 0; i < input.size(); ++i)
            input[i] = float(std::sin(2 * std::numbers::pi * hz * double(i) / 44100.0));
        const CapsuleSignals out = simulateCapsuleSignals({70, 130}, input, delay);
        const CapsuleTransfer p = capsuleTransfer({70, 130}, hz);
        for (int c = 0; c < kCapsuleCount; ++c) {
            const double phase = std::arg(p[c]) - 2 * std::numbers::pi * hz / 44100.0 * delay;
            for (std::size_t i = 1000; i < 1100; ++i)
                ASSERT_NEAR(out[c][i], std::abs(p[c]) * std::sin(2 * std::numbers::pi * hz * double(i) / 44100.0 + phase),
                            2e-5)
                    << "capsule " << c << " at " << hz << " Hz, sample " << i;
        }
    }
}

}  // namespace
