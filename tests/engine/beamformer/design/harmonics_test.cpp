// Spherical harmonics in the steering convention and the steering tables.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "beamformer/tables/beamformer_tables.h"
#include "beamformer/design/spherical_harmonics.h"

namespace {

using namespace orvelan::design;
namespace tables = orvelan::beamformer::tables;

TEST(SphericalHarmonics, AssociatedLegendreCarriesCondonShortleyPhase)
{
    struct Case {
        int n, m;
        double (*closedForm)(double x);
    };
    const Case cases[] = {
        {1, 1, [](double x) { return -std::sqrt(1 - x * x); }},
        {2, 1, [](double x) { return -3 * x * std::sqrt(1 - x * x); }},
        {2, 2, [](double x) { return 3 * (1 - x * x); }},
        {3, 0, [](double x) { return 0.5 * (5 * x * x * x - 3 * x); }},
        {3, 1, [](double x) { return -1.5 * (5 * x * x - 1) * std::sqrt(1 - x * x); }},
        {3, 2, [](double x) { return 15 * x * (1 - x * x); }},
        {3, 3, [](double x) { return -15 * std::pow(1 - x * x, 1.5); }},
    };
    for (const Case& c : cases)
        for (double x : {-0.9, -0.3, 0.0, 0.4, 0.8})
            EXPECT_NEAR(associatedLegendre(c.n, c.m, x), c.closedForm(x), 1e-12) << c.n << "," << c.m << " at " << x;
}

TEST(SphericalHarmonics, SteeringHarmonicsAddUpToLegendrePolynomials)
{
    // sum_m harmonic(u) * steering(v) = P_n(u . v): what makes a steered beam
    // keep its pattern in every direction.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> theta(0, 180), phi(0, 360);
    for (int trial = 0; trial < 50; ++trial) {
        const Direction u{theta(rng), phi(rng)}, v{theta(rng), phi(rng)};
        const ComponentVector h = directionHarmonics(u), w = steeringWeights(v);
        const double x = dot(unitVector(u), unitVector(v));
        for (int n = 0; n <= kMaxOrder; ++n) {
            double sum = 0;
            for (int m = -n; m <= n; ++m) sum += h[componentIndex(n, m)] * w[componentIndex(n, m)];
            EXPECT_NEAR(sum, legendre(n, x), 1e-12);
        }
    }
}

TEST(SteeringTables, FollowTheirDefinition)
{
    for (int t = 0; t <= 180; ++t) {
        const double c = std::cos(t * std::numbers::pi / 180.0);
        EXPECT_FLOAT_EQ(tables::kElevationTable[0][t], 1.0f);
        EXPECT_NEAR(tables::kElevationTable[2][t], c, 1e-7);
        for (int n = 1; n <= kMaxOrder; ++n)
            for (int m = 1; m <= n; ++m)
                EXPECT_EQ(tables::kElevationTable[componentIndex(n, m)][t], tables::kElevationTable[componentIndex(n, -m)][t]);
    }
    // n = 3, |m| = 3 at 90 degrees: sqrt(0!/6!) * (-15) = -15/sqrt(720).
    EXPECT_NEAR(tables::kElevationTable[componentIndex(3, 3)][90], -15.0 / std::sqrt(720.0), 1e-6);
    for (int p = 0; p < 360; ++p)
        for (int j = 1; j <= 3; ++j) {
            const double a = j * p * std::numbers::pi / 180.0;
            EXPECT_NEAR(tables::kAzimuthTable[2 * j - 2][p], 2 * std::sin(a), 1e-6);
            EXPECT_NEAR(tables::kAzimuthTable[2 * j - 1][p], 2 * std::cos(a), 1e-6);
        }
}

}  // namespace
