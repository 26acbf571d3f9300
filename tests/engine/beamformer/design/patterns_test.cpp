// Pattern records: shapes, anchors, beam widths borne out by the designed
// filters, and the white-noise gain of every variant.
#include <gtest/gtest.h>

#include <cmath>

#include "beamformer/design/beam_patterns.h"
#include "support/beam_response.h"
#include "beamformer/tables/beamformer_tables.h"
#include "beamformer/design/modal_design.h"
#include "beamformer/design/pattern_catalogue.h"

namespace {

using namespace orvelan::design;
using orvelan::testing::patternTable;
using orvelan::testing::storedModalFilters;
namespace tables = orvelan::beamformer::tables;

std::vector<float> storedCurve(int pattern, int variant)
{
    const auto& t = patternTable(pattern);
    return std::vector<float>(t.curves + variant * t.curvePoints, t.curves + (variant + 1) * t.curvePoints);
}

TEST(PatternFamilies, ClassicFirstOrderPatterns)
{
    struct Case {
        PatternFamily family;
        double d0, d1;
    };
    const Case cases[] = {{PatternFamily::Cardioid, 0.5, 0.5},
                          {PatternFamily::Hypercardioid, 0.25, 0.75},
                          {PatternFamily::Supercardioid, (std::sqrt(3.0) - 1) / 2, (3 - std::sqrt(3.0)) / 2},
                          {PatternFamily::Dipole, 0.0, 1.0}};
    for (const Case& c : cases) {
        const OrderWeights d = patternWeights(c.family, 1);
        EXPECT_NEAR(d[0], c.d0, 1e-6);
        EXPECT_NEAR(d[1], c.d1, 1e-6);
    }
}

TEST(PatternFamilies, HypercardioidMaximisesDirectivityAndSupercardioidFrontToBack)
{
    auto directivity = [](const OrderWeights& d) {
        double sum = 0, power = 0;
        for (int n = 0; n <= kMaxOrder; ++n) {
            sum += d[n];
            power += d[n] * d[n] / (2 * n + 1);
        }
        return sum * sum / power;
    };
    auto frontToBack = [](const OrderWeights& d) {
        double front = 0, back = 0;
        for (int i = 0; i < 2000; ++i) {
            const double x = (i + 0.5) / 2000, gamma = std::acos(x) * 180 / 3.141592653589793;
            front += std::pow(patternValue(d, gamma), 2);
            back += std::pow(patternValue(d, 180 - gamma), 2);
        }
        return front / back;
    };
    for (int order = 2; order <= 3; ++order) {
        const OrderWeights hyper = patternWeights(PatternFamily::Hypercardioid, order);
        const OrderWeights super = patternWeights(PatternFamily::Supercardioid, order);
        for (int n = 0; n <= order; ++n) {
            OrderWeights h = hyper, s = super;
            h[n] += 0.02;
            s[n] += 0.02;
            EXPECT_LT(directivity(h), directivity(hyper));
            EXPECT_LT(frontToBack(s), frontToBack(super));
        }
    }
}

TEST(PatternRecords, MatchTheCatalogueAndHaveTheirShapes)
{
    const char* names[] = {"omni", "super3", "super2", "super1", "hyper3", "hyper2",
                           "hyper1", "card3", "card2", "card1", "dipole1", "torus"};
    for (int p = 0; p < tables::kPatternCount; ++p) {
        const auto& t = patternTable(p);
        const PatternDesign& patternDesign = patternCatalogue()[p];
        EXPECT_STREQ(t.name, names[p]);
        EXPECT_EQ(t.code, patternDesign.code);
        EXPECT_EQ(t.variantCount, int(patternDesign.variantValues.size()));
        EXPECT_STREQ(t.description, t.variantCount == 5 ? "WNG" : "");
        EXPECT_EQ(t.curvePoints, 73);
        EXPECT_EQ(t.eqLength, 31);
        EXPECT_EQ(t.modalLength, p == 0 ? 1 : 251);
        for (int v = 0; v < t.variantCount; ++v) {
            EXPECT_EQ(t.variantValues[v], patternDesign.variantValues[v]);
            EXPECT_EQ(t.beamWidths[v], patternDesign.beamWidths[v]);
            EXPECT_EQ(t.eqLengths[v], 31);
            for (int n = 0; n < 4; ++n)
                EXPECT_EQ(t.tapCounts[v * 4 + n], p == 0 ? (n == 0 ? 1 : 0) : 251) << t.name << " order " << n;
        }
        // Complementary crossover: high-pass = delayed impulse - low-pass.
        for (int i = 0; i < t.crossoverLength; ++i)
            EXPECT_NEAR(t.crossoverLowPass[i] + t.crossoverHighPass[i], i == (t.crossoverLength - 1) / 2 ? 1.0 : 0.0, 1e-6);
    }
    EXPECT_EQ(patternTable(0).crossoverLength, 55);
    EXPECT_EQ(patternTable(9).crossoverLength, 37);
    EXPECT_EQ(patternTable(4).crossoverLength, 41);
}

TEST(PatternCurves, AnchorsOfThePatternSet)
{
    const auto card1 = storedCurve(9, 0), torus = storedCurve(11, 0), dipole = storedCurve(10, 0), omni = storedCurve(0, 0);
    EXPECT_NEAR(card1[0], 1.0, 1e-6);
    EXPECT_NEAR(card1[18], 0.5, 0.02);
    EXPECT_NEAR(card1[36], 0.0, 0.02);
    EXPECT_NEAR(torus[0], 0.119, 0.01);
    EXPECT_NEAR(torus[36], 0.119, 0.01);
    EXPECT_NEAR(torus[18], 1.0, 1e-6);
    EXPECT_NEAR(dipole[0], 1.0, 1e-6);
    EXPECT_NEAR(dipole[18], 0.0, 0.02);
    for (float v : omni) EXPECT_NEAR(v, 1.0, 1e-6);
    for (int p = 0; p < tables::kPatternCount; ++p)
        for (int v = 0; v < patternTable(p).variantCount; ++v) {
            const auto c = storedCurve(p, v);
            EXPECT_EQ(c.front(), c.back()) << "the last point repeats the first";
        }
}

TEST(PatternCurves, WidthsOfTheDesignedCurvesMatchTheRecords)
{
    for (int p = 0; p < tables::kPatternCount; ++p)
        for (int v = 0; v < patternTable(p).variantCount; ++v)
            EXPECT_NEAR(beamWidthDegrees(storedCurve(p, v)), patternTable(p).beamWidths[v], 2.0)
                << patternTable(p).name << " variant " << v;
}

TEST(PatternCurves, ComeOutOfTheStoredFilters)
{
    for (int p = 0; p < tables::kPatternCount; ++p)
        for (int v = 0; v < patternTable(p).variantCount; ++v) {
            const auto recomputed = designedPolarCurve(patternCatalogue()[p], storedModalFilters(p, v));
            const auto stored = storedCurve(p, v);
            for (int i = 0; i < 73; ++i) EXPECT_NEAR(recomputed[i], stored[i], 1e-4) << patternTable(p).name << " " << i;
        }
}

TEST(WhiteNoiseGain, EveryVariantMeetsItsLimitWhereItsPatternCanReachIt)
{
    // Exact white-noise gain of the low band (simulated capsules, stored
    // encoder, biquads and FIRs) from 150 Hz to 1.6 kHz; above it the
    // crossover's high-pass brings in the HF path, whose share the low band
    // makes up for, and the low band alone is no longer the beam. Single-order patterns
    // (the dipole) cannot trade directivity for robustness; for them, and
    // wherever the design model shows the limit out of reach, the check is
    // skipped. A limit the held pattern breaks above 300 Hz must also bind
    // there (come within 1 dB).
    const Direction look{70, 40};
    for (int p = 1; p < tables::kPatternCount; ++p) {
        const PatternDesign& patternDesign = patternCatalogue()[p];
        for (int v = 0; v < patternTable(p).variantCount; ++v) {
            const double limit = patternDesign.variantValues[v];
            const OrderWeights held = heldPatternWeights(patternDesign, v);
            double closest = 1e9;
            for (double hz = 150.0; hz <= 1600.0; hz *= 1.15) {
                const OrderWeights d = wngLimitedWeights(held, referenceAngleDegrees(patternDesign), hz, limit);
                if (whiteNoiseGainDb(d, referenceAngleDegrees(patternDesign), hz) < limit - 0.01) continue;
                const double wng = orvelan::testing::lowBandWhiteNoiseGainDb(p, v, look, hz);
                EXPECT_GE(wng, limit - 0.75) << patternDesign.name << " variant " << v << " at " << hz << " Hz";
                closest = std::min(closest, std::abs(wng - limit));
            }
            const int orders = int(held[0] != 0) + int(held[1] != 0) + int(held[2] != 0) + int(held[3] != 0);
            const bool bindsInBand = orders > 1 && whiteNoiseGainDb(held, referenceAngleDegrees(patternDesign), 300.0) < limit;
            if (bindsInBand) {
                EXPECT_LT(closest, 1.0) << patternDesign.name << " variant " << v;
            }
        }
    }
}

}  // namespace
