#include "support/beam_response.h"

#include <algorithm>
#include <cmath>

#include "beamformer/design/fir_design.h"
#include "beamformer/design/radial_biquads.h"

namespace orvelan::testing {

namespace tables = beamformer::tables;
using namespace design;

namespace {

std::vector<double> widened(const float* taps, int length) { return std::vector<double>(taps, taps + length); }

// Capsule weights of the low band (modal FIRs, biquads, encoder, steering).
std::array<Complex, kCapsuleCount> lowBandCapsuleWeights(int pattern, int variant, const Direction& look, double hz)
{
    const ModalFilters filters = storedModalFilters(pattern, variant);
    const ComponentVector w = steeringWeights(look);
    std::array<Complex, kCapsuleCount> g{};
    for (int k = 0; k < kComponentCount; ++k) {
        const int n = componentOrder(k);
        if (filters.taps[n].empty()) continue;
        const int alignment = kModalLatency - (static_cast<int>(filters.taps[n].size()) - 1) / 2;
        const Complex gain = firResponse(filters.taps[n], hz) * delayResponse(alignment, hz) *
                             radialBiquadResponse(n, hz, kDesignRate) * w[k];
        for (int c = 0; c < kCapsuleCount; ++c) g[c] += gain * double(tables::kEncoderMatrix[k][c]);
    }
    return g;
}
}  // namespace

const tables::PatternTable& patternTable(int pattern) { return tables::kPatterns[pattern]; }

float triangleCorrectionWeight(const Direction& look)
{
    const int theta = std::clamp(static_cast<int>(std::lround(look.theta)), 0, tables::kGridRows - 1);
    const int phi = static_cast<int>(std::lround(look.phi)) % 360;
    return tables::kTriangleCorrectionWeights[theta * tables::kGridColumns + (phi < 0 ? phi + 360 : phi)];
}

ModalFilters storedModalFilters(int pattern, int variant)
{
    const tables::PatternTable& t = patternTable(pattern);
    ModalFilters filters;
    for (int n = 0; n < tables::kOrderCount; ++n) {
        const int count = t.tapCounts[variant * tables::kOrderCount + n];
        if (count > 0)
            filters.taps[n] = widened(t.modalTaps + (variant * tables::kOrderCount + n) * t.modalLength, count);
    }
    return filters;
}

Complex storedRadialResponse(int radialMode, int order, double hz)
{
    const double* sections = radialMode == 0 ? tables::kRadialSections[order] : tables::kModeOneRadialSections[order];
    const int count = radialMode == 0 ? tables::kRadialSectionCounts[order] : tables::kModeOneRadialSectionCounts[order];
    Complex response = 1.0;
    for (int s = 0; s < count; ++s) {
        const double* q = sections + 6 * s;
        response *= biquadResponse({q[0], q[1], q[2], q[3], q[4], q[5]}, hz, kDesignRate);
    }
    if (radialMode == 1)
        response *= firResponse(widened(tables::kRadialFirTaps[order], tables::kRadialFirLengths[order]), hz) *
                    delayResponse(tables::kRadialAlignmentDelays[order], hz);
    return response;
}

std::array<Complex, kComponentCount> equalisedComponents(const sim::CapsuleTransfer& p, double hz)
{
    std::array<Complex, kComponentCount> components{};
    for (int k = 0; k < kComponentCount; ++k) {
        for (int c = 0; c < kCapsuleCount; ++c) components[k] += double(tables::kEncoderMatrix[k][c]) * p[c];
        components[k] *= storedRadialResponse(0, componentOrder(k), hz);
    }
    return components;
}

Complex lowBandResponse(int pattern, int variant, const Direction& look, const sim::CapsuleTransfer& p, double hz)
{
    const auto g = lowBandCapsuleWeights(pattern, variant, look, hz);
    Complex y = 0.0;
    for (int c = 0; c < kCapsuleCount; ++c) y += g[c] * p[c];
    return y;
}

Complex lowBandResponse(int pattern, int variant, const Direction& look, const Direction& source, double hz)
{
    return lowBandResponse(pattern, variant, look, sim::capsuleTransfer(source, hz), hz);
}

Complex beamResponse(int pattern, int variant, const Direction& look, const Direction& source, double hz)
{
    return beamResponse(pattern, variant, look, sim::capsuleTransfer(source, hz), hz);
}

Complex beamResponse(int pattern, int variant, const Direction& look, const sim::CapsuleTransfer& p, double hz)
{
    const tables::PatternTable& t = patternTable(pattern);
    const Vec3 lookVector = unitVector(look);
    Complex high = 0.0;
    if (t.hfMode == 1) {
        high = p[nearestCapsule(lookVector)];
    } else {
        for (int c : capsuleTriangles()[containingTriangle(lookVector)]) high += p[c] / 3.0;
        high *= 1.0 + double(triangleCorrectionWeight(look)) *
                          firResponse(widened(tables::kTriangleCorrectionTaps, tables::kTriangleCorrectionLength), hz);
    }
    high *= delayResponse(kModalLatency, hz);
    const Complex low = lowBandResponse(pattern, variant, look, p, hz);
    const Complex lowPass = firResponse(widened(t.crossoverLowPass, t.crossoverLength), hz);
    const Complex highPass = firResponse(widened(t.crossoverHighPass, t.crossoverLength), hz);
    const Complex eq = firResponse(widened(t.eqTaps + variant * t.eqLength, t.eqLengths[variant]), hz);
    return (low * lowPass + high * highPass) * eq;
}

double lowBandWhiteNoiseGainDb(int pattern, int variant, const Direction& look, double hz)
{
    const auto g = lowBandCapsuleWeights(pattern, variant, look, hz);
    const PatternDesign& patternDesign = patternCatalogue()[pattern];
    const Direction source = offsetDirection(look, referenceAngleDegrees(patternDesign), 0.0);
    const sim::CapsuleTransfer p = sim::capsuleTransfer(source, hz);
    Complex y = 0.0;
    double noise = 0.0;
    for (int c = 0; c < kCapsuleCount; ++c) {
        y += g[c] * p[c];
        noise += std::norm(g[c]);
    }
    return 10.0 * std::log10(std::norm(y) / noise);
}

bool limitBindsAt(int pattern, int variant, double hz)
{
    const PatternDesign& patternDesign = patternCatalogue()[pattern];
    if (patternDesign.modalLength == 1) return false;
    const OrderWeights held = heldPatternWeights(patternDesign, variant);
    return whiteNoiseGainDb(held, referenceAngleDegrees(patternDesign), hz) < patternDesign.variantValues[variant] - 0.1;
}

Direction offsetDirection(const Direction& look, double gammaDegrees, double rollDegrees)
{
    return directionOf(offsetVector(unitVector(look), gammaDegrees, rollDegrees));
}

double decibels(double magnitude) { return 20.0 * std::log10(magnitude); }

}  // namespace orvelan::testing
