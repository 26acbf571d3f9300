// Directivity, on-axis response, latency and widths of beams formed with the
// generated tables from simulated capsule signals (frequency domain): the
// whole beam, low band and HF path joined by the crossover and equalised.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <numbers>
#include <vector>

#include "beamformer/design/array_geometry.h"
#include "support/beam_response.h"
#include "beamformer/tables/beamformer_tables.h"
#include "beamformer/design/modal_design.h"
#include "beamformer/design/pattern_catalogue.h"

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
    const PatternDesign& patternDesign = patternCatalogue()[pattern];
    const int referenceIndex = static_cast<int>(referenceAngleDegrees(patternDesign) / 5.0);
    const Complex reference = beamResponse(pattern, variant, look, offsetDirection(look, referenceIndex * 5.0, 0), hz);
    DirectivityError error;
    for (double roll : {0.0, 70.0, 135.0})
        for (int i = 0; i <= 36; ++i) {
            const double level =
                std::abs(beamResponse(pattern, variant, look, offsetDirection(look, i * 5.0, roll), hz) / reference);
            if (curve[i] >= 0.3)
                error.inLobeDb = std::max(error.inLobeDb, std::abs(decibels(level) - decibels(curve[i])));
            else
                error.outside = std::max(error.outside, level - curve[i]);
        }
    return error;
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
                    // The first-order patterns' 37-tap crossover lets the most of
                    // the HF path through at 2 kHz; what the modal filters cannot
                    // make up for (the HF path's orders above 3, and where the
                    // look falls in its cell) leaves them a little further off.
                    const bool widestCrossover = patternTable(p).crossoverLength == 37 && hz > 1500.0;
                    EXPECT_LE(e.inLobeDb, widestCrossover ? 1.75 : 1.5)
                        << patternTable(p).name << " v" << v << " at " << hz << " Hz";
                    EXPECT_LE(e.outside, widestCrossover ? 0.06 : 0.05)
                        << patternTable(p).name << " v" << v << " at " << hz << " Hz";
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

TEST(OnAxisResponse, TorusRingFlatWithTheLookAtACapsule)
{
    // The torus's reference is its ring; with the look at a capsule the HF
    // path hears the ring from the side alike all round.
    const int torus = tables::kPatternCount - 1;
    const Direction look = directionOf(capsuleVectors()[5]);
    double worst = 0;
    for (double roll : {0.0, 72.0})
        for (double hz = 200.0; hz <= 12000.0; hz *= 1.03) {
            const double level = decibels(std::abs(beamResponse(torus, 0, look, offsetDirection(look, 90.0, roll), hz)));
            EXPECT_NEAR(level, 0.0, 1.5) << "at " << hz << " Hz, roll " << roll;
            worst = std::max(worst, std::abs(level));
        }
    std::cout << "torus: worst deviation on its ring " << worst << " dB\n";
}

// Looks spread evenly over the sphere (a Fibonacci lattice), in the whole
// degrees the beamformer steers in.
std::vector<Direction> looksOverTheSphere(int count)
{
    std::vector<Direction> looks;
    for (int i = 0; i < count; ++i) {
        const double z = 1.0 - 2.0 * (i + 0.5) / count;
        looks.push_back({std::round(std::acos(z) * 180.0 / std::numbers::pi),
                         std::fmod(std::round(i * 137.50776405), 360.0)});
    }
    return looks;
}

TEST(OnAxisResponse, TorusRingFlatAllRoundAtEveryLook)
{
    // The torus's ring, at eight points around its axis, for looks spread
    // over the sphere, at a capsule and at a triangle's centre (farthest
    // from the capsules): flat within 0.5 dB from 200 Hz to 2 kHz. Its HF
    // path's nearest capsule, up to 22 degrees off the look, hears the ring's
    // points from 68 to 112 degrees, each differently, which nothing common
    // to the whole ring can make up for: the share of it that the crossover's
    // high-pass lets in below 2 kHz must stay small.
    const int torus = tables::kPatternCount - 1;
    std::vector<Direction> looks = looksOverTheSphere(12);
    const auto& capsules = capsuleVectors();
    Vec3 centre{};
    for (int c : capsuleTriangles()[0]) centre = {centre.x + capsules[c].x, centre.y + capsules[c].y, centre.z + capsules[c].z};
    looks.push_back(directionOf(capsules[5]));
    looks.push_back(directionOf(centre));
    constexpr double kFromHz = 200.0, kToHz = 2000.0;
    // About 24 steps an octave, both ends included.
    const int steps = static_cast<int>(std::ceil(24.0 * std::log2(kToHz / kFromHz)));
    double worst = 0;
    for (const Direction& look : looks)
        for (int step = 0; step <= steps; ++step)
            for (int point = 0; point < 8; ++point) {
                const double hz = kFromHz * std::pow(kToHz / kFromHz, double(step) / steps);
                const double level =
                    decibels(std::abs(beamResponse(torus, 0, look, offsetDirection(look, 90.0, 45.0 * point), hz)));
                EXPECT_NEAR(level, 0.0, 0.5) << "look (" << look.theta << ", " << look.phi << "), point " << point << ", "
                                             << hz << " Hz";
                worst = std::max(worst, std::abs(level));
            }
    std::printf("torus ring %.0f to %.0f Hz: worst %.2f dB\n", kFromHz, kToHz, worst);
}

// Group delay in samples of the low band at hz, for a wave from the
// pattern's reference direction.
double lowBandGroupDelay(int pattern, int variant, double hz)
{
    const Direction look{90, 0};
    const Direction source = offsetDirection(look, referenceAngleDegrees(patternCatalogue()[pattern]), 0.0);
    const double step = 5.0;
    const Complex below = lowBandResponse(pattern, variant, look, source, hz - step);
    const Complex above = lowBandResponse(pattern, variant, look, source, hz + step);
    return -std::arg(above / below) / (2.0 * std::numbers::pi * 2.0 * step) * 44100.0;
}

TEST(LowBand, EveryPatternSharesOneLatency)
{
    // Mixed beams of different patterns must not comb-filter: the low bands
    // keep one latency, within half a sample across every pattern and variant.
    for (double hz : {500.0, 2000.0}) {
        double lowest = 1e9, highest = -1e9;
        for (int p = 0; p < tables::kPatternCount; ++p)
            for (int v = 0; v < patternTable(p).variantCount; ++v) {
                const double delay = lowBandGroupDelay(p, v, hz);
                lowest = std::min(lowest, delay);
                highest = std::max(highest, delay);
            }
        EXPECT_LE(highest - lowest, 0.5) << "at " << hz << " Hz";
        std::printf("low-band group delay at %.0f Hz: %.2f to %.2f samples\n", hz, lowest, highest);
    }
}

TEST(OnAxisResponse, HoldsAtEveryLookDirection)
{
    // The beam's level on its axis as the look moves across the HF path's
    // cells: within 0.5 dB below the crossover (the low band) and within
    // 1 dB from 3 to 12 kHz (the HF path: a nearest capsule, or a
    // triangle's mean with its correction for where the look falls on the
    // triangle). The torus is left out: its axis is where it is quietest.
    const std::vector<Direction> looks = looksOverTheSphere(200);
    std::vector<double> frequencies;
    for (double hz = 200.0; hz <= 12000.0; hz *= 1.08) frequencies.push_back(hz);
    struct Range {
        double low = 1e9, high = -1e9;
        void add(double v) { low = std::min(low, v), high = std::max(high, v); }
    };
    Range below[tables::kPatternCount], above[tables::kPatternCount];
    for (const Direction& look : looks)
        for (double hz : frequencies) {
            const auto p = orvelan::sim::capsuleTransfer(look, hz);
            for (int pattern = 0; pattern < tables::kPatternCount - 1; ++pattern) {
                const int variant = patternTable(pattern).variantCount / 2;
                const double level = decibels(std::abs(beamResponse(pattern, variant, look, p, hz)));
                (hz < 3000.0 ? below : above)[pattern].add(level);
            }
        }
    for (int pattern = 0; pattern < tables::kPatternCount - 1; ++pattern) {
        const auto& t = patternTable(pattern);
        EXPECT_GE(below[pattern].low, -0.5) << t.name;
        EXPECT_LE(below[pattern].high, 0.5) << t.name;
        EXPECT_GE(above[pattern].low, -1.0) << t.name;
        EXPECT_LE(above[pattern].high, 1.0) << t.name;
        std::printf("%-8s on axis below 3 kHz %+.2f..%+.2f dB, 3-12 kHz %+.2f..%+.2f dB\n", t.name, below[pattern].low,
                    below[pattern].high, above[pattern].low, above[pattern].high);
    }
}

// Full -3 dB width of the whole beam at hz (two planes through the axis).
double beamWidthAt(int pattern, int variant, double hz)
{
    const Direction look{90, 0};
    const double level = std::abs(beamResponse(pattern, variant, look, look, hz)) / std::sqrt(2.0);
    double width = 0;
    for (double roll : {0.0, 90.0}) {
        double half = 180.0;
        for (double gamma = 0.25; gamma < 180.0; gamma += 0.25)
            if (std::abs(beamResponse(pattern, variant, look, offsetDirection(look, gamma, roll), hz)) < level) {
                half = gamma;
                break;
            }
        width += half;
    }
    return width;
}

TEST(BeamWidth, HeldUpToTheCrossoverWhereTheWhiteNoiseGainAllows)
{
    // Through the crossover's high-pass the broad HF path leaks into the low
    // band's range; the modal filters make up for it, so at 2 kHz a beam
    // keeps the width its record gives.
    std::printf("pattern  variant  record    1 kHz   2 kHz   4 kHz\n");
    for (int p = 1; p < tables::kPatternCount - 1; ++p)
        for (int v = 0; v < patternTable(p).variantCount; ++v) {
            const double record = patternTable(p).beamWidths[v];
            const double at2k = beamWidthAt(p, v, 2000.0);
            std::printf("%-8s %4d %9.0f %8.1f %7.1f %7.1f\n", patternTable(p).name, patternTable(p).variantValues[v],
                        record, beamWidthAt(p, v, 1000.0), at2k, beamWidthAt(p, v, 4000.0));
            if (!limitBindsAt(p, v, 2000.0)) {
                EXPECT_NEAR(at2k, record, std::max(3.0, 0.1 * record)) << patternTable(p).name << " variant " << v;
            }
        }
}

}  // namespace
