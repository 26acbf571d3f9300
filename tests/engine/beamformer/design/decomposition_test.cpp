// Encoder matrix and radial biquads: the decomposition delivers the
// harmonics of a plane wave's direction.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "beamformer/design/array_geometry.h"
#include "support/beam_response.h"
#include "beamformer/tables/beamformer_tables.h"
#include "beamformer/design/radial_biquads.h"

namespace {

using namespace orvelan::design;
using orvelan::testing::equalisedComponents;
namespace tables = orvelan::beamformer::tables;

TEST(EncoderMatrix, RowZeroWeighsEveryCapsuleAlike)
{
    const double expected = 1.0 / (32.0 * std::sqrt(4.0 * std::numbers::pi));
    EXPECT_NEAR(expected, 0.008815, 1e-6);
    for (int c = 0; c < tables::kCapsuleCount; ++c) EXPECT_NEAR(tables::kEncoderMatrix[0][c], expected, 1e-8);
}

TEST(EncoderMatrix, EqualSignalsReachOnlyComponentZero)
{
    for (int k = 0; k < tables::kComponentCount; ++k) {
        double sum = 0;
        for (int c = 0; c < tables::kCapsuleCount; ++c) sum += tables::kEncoderMatrix[k][c];
        EXPECT_NEAR(sum, k == 0 ? 32 * 0.0088152 : 0.0, 1e-5) << "component " << k;
    }
}

TEST(EncoderMatrix, InvertsTheCapsuleHarmonics)
{
    // E W = identity / sqrt(4 pi): harmonics up to order 3 are recovered.
    for (int k = 0; k < tables::kComponentCount; ++k)
        for (int l = 0; l < tables::kComponentCount; ++l) {
            double sum = 0;
            for (int c = 0; c < tables::kCapsuleCount; ++c)
                sum += tables::kEncoderMatrix[k][c] * steeringWeights(capsuleDirections()[c])[l];
            EXPECT_NEAR(sum * std::sqrt(4.0 * std::numbers::pi), k == l ? 1.0 : 0.0, 1e-5) << k << ", " << l;
        }
}

TEST(RadialBiquads, FitTheStatedSphere)
{
    const double delay = fitSphereDelay(44100.0);
    EXPECT_NEAR(delay * kSpeedOfSound, kSphereRadius, 0.0002);
    EXPECT_NEAR(kSphereRadius, 0.042, 0.001);
}

TEST(Decomposition, PlaneWaveAt500HzGivesTheHarmonicsOfItsDirection)
{
    // Within order n, the components are (2n+1)/sqrt(4 pi) harmonic_k(u) times
    // one unit phase factor: the biquads equalise the magnitude; their phase
    // (up to about 100 degrees at order 3 here) is left to the modal FIRs.
    // Tolerance: 3 % of the order's full scale.
    const double hz = 500.0;
    for (const Direction u : {Direction{90, 0}, Direction{0, 0}, Direction{33, 71}, Direction{121, 200}, Direction{160, 305}}) {
        const auto components = equalisedComponents(orvelan::sim::capsuleTransfer(u, hz), hz);
        const ComponentVector h = directionHarmonics(u);
        for (int n = 0; n <= kMaxOrder; ++n) {
            const double scale = (2.0 * n + 1.0) / std::sqrt(4.0 * std::numbers::pi);
            std::complex<double> projection = 0.0;  // least-squares common factor
            double norm = 0.0;
            for (int m = -n; m <= n; ++m) {
                projection += components[componentIndex(n, m)] * h[componentIndex(n, m)];
                norm += h[componentIndex(n, m)] * h[componentIndex(n, m)];
            }
            const std::complex<double> phase = projection / std::abs(projection);
            for (int m = -n; m <= n; ++m) {
                const int k = componentIndex(n, m);
                EXPECT_LT(std::abs(components[k] / phase / scale - h[k]), 0.03)
                    << "direction " << u.theta << "/" << u.phi << " component " << k;
            }
        }
    }
}

TEST(Decomposition, OrdersZeroAndOneKeepTheSpheresAdvance)
{
    // Orders 0 and 1 are equalised in phase too: advanced by r/c.
    for (double hz : {500.0, 1000.0, 2000.0}) {
        const Direction u{90, 0};
        const auto components = equalisedComponents(orvelan::sim::capsuleTransfer(u, hz), hz);
        const ComponentVector h = directionHarmonics(u);
        const double advance = 2.0 * std::numbers::pi * hz * kSphereDelay;
        for (int k : {0, componentIndex(1, 1)}) EXPECT_NEAR(std::arg(components[k] / h[k]), advance, 0.16) << hz;
    }
}

}  // namespace
