// Directivity and on-axis response of beams formed with the generated
// tables from simulated capsule signals (frequency domain).
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

#include "array_geometry.h"
#include "beam_response.h"
#include "beamformer_tables.h"
#include "modal_design.h"
#include "pattern_catalogue.h"

namespace {

using namespace orvelan::design;
using namespace orvelan::testing;
namespace tables = orvelan::beamformer::tables;

struct DirectivityError {
    double inLobeDb = 0;   // largest |error| where the curve is at least 0.3
    double outside = -1;   // largest excess over curve + 0 elsewhere
};

DirectivityError measureDirectivity(int pattern, int variant, const Direction& look, double hz)
{
    const auto& t = patternTable(pattern);
    const float* curve = t.curves + variant * t.curvePoints;
    const PatternSpec& spec = patternCatalogue()[pattern];
    const int referenceIndex = static_cast<int>(referenceAngleDegrees(spec) / 5.0);
    const Complex reference = lowBandResponse(pattern, variant, look, offsetDirection(look, referenceIndex * 5.0, 0), hz);
    DirectivityError error;
    for (double roll : {0.0, 70.0, 135.0})
        for (int i = 0; i <= 36; ++i) {
            const double level =
                std::abs(lowBandResponse(pattern, variant, look, offsetDirection(look, i * 5.0, roll), hz) / reference);
            if (curve[i] >= 0.3)
                error.inLobeDb = std::max(error.inLobeDb, std::abs(decibels(level) - decibels(curve[i])));
            else
                error.outside = std::max(error.outside, level - curve[i]);
        }
    return error;
}

// The white-noise-gain limit reshapes the beam at hz (its pattern there is
// not the held one of its curve).
bool limitBindsAt(int pattern, int variant, double hz)
{
    const PatternSpec& spec = patternCatalogue()[pattern];
    if (spec.modalLength == 1) return false;
    const OrderWeights held = heldPatternWeights(spec, variant);
    return whiteNoiseGainDb(held, referenceAngleDegrees(spec), hz) < spec.variantValues[variant] - 0.1;
}

TEST(Directivity, SteeredBeamsFollowTheirPolarCurves)
{
    const Direction looks[] = {{90, 0}, {37, 125}, {128, 250}};
    double worstInLobe = 0, worstOutside = -1;
    int cases = 0, checked = 0;
    for (double hz : {1000.0, 2000.0})
        for (int p = 0; p < tables::kPatternCount; ++p)
            for (int v = 0; v < patternTable(p).variantCount; ++v) {
                ++cases;
                if (limitBindsAt(p, v, hz)) {
                    std::cout << "[ skipped  ] " << patternTable(p).name << " variant " << v << " at " << hz
                              << " Hz: its white-noise-gain limit broadens the beam there\n";
                    continue;
                }
                for (const Direction& look : looks) {
                    const DirectivityError e = measureDirectivity(p, v, look, hz);
                    EXPECT_LE(e.inLobeDb, 1.5) << patternTable(p).name << " v" << v << " at " << hz << " Hz";
                    EXPECT_LE(e.outside, 0.05) << patternTable(p).name << " v" << v << " at " << hz << " Hz";
                    worstInLobe = std::max(worstInLobe, e.inLobeDb);
                    worstOutside = std::max(worstOutside, e.outside);
                }
                ++checked;
            }
    std::cout << "worst in-lobe error " << worstInLobe << " dB, worst excess elsewhere " << worstOutside << "\n";
    std::cout << checked << " of " << cases << " pattern, variant and frequency cases checked\n";
    // The limit binds only for a few strongly directive variants at 1 kHz: a
    // rule that skipped most cases would leave the curves untested.
    EXPECT_GE(4 * checked, 3 * cases) << "only " << checked << " of " << cases << " cases checked";
}

TEST(OnAxisResponse, FlatFrom200HzTo12kHzThroughTheCrossover)
{
    // Look directions at the centre of an HF cell: a capsule (HF mode 1) or
    // a triangle's centre (mode 2); the torus is measured on its ring.
    const Vec3 capsule = capsuleVectors()[5];
    Vec3 centre{};
    for (int c : capsuleTriangles()[40]) centre = {centre.x + capsuleVectors()[c].x, centre.y + capsuleVectors()[c].y, centre.z + capsuleVectors()[c].z};
    double worst = 0;
    for (int p = 0; p < tables::kPatternCount; ++p) {
        const auto& t = patternTable(p);
        const Direction look = directionOf(t.hfMode == 1 ? capsule : centre);
        const double reference = referenceAngleDegrees(patternCatalogue()[p]);
        const Direction source = offsetDirection(look, reference, 0.0);
        for (int v = 0; v < t.variantCount; ++v)
            for (double hz = 200.0; hz <= 12000.0; hz *= 1.03) {
                const double level = decibels(std::abs(beamResponse(p, v, look, source, hz)));
                EXPECT_NEAR(level, 0.0, 1.5) << t.name << " v" << v << " at " << hz << " Hz";
                worst = std::max(worst, std::abs(level));
            }
    }
    std::cout << "worst on-axis deviation " << worst << " dB\n";
}

}  // namespace
