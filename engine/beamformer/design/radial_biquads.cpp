#include "beamformer/design/radial_biquads.h"

#include <cmath>
#include <numbers>

#include "beamformer/design/rigid_sphere.h"
#include "beamformer/design/unimodal_search.h"

namespace orvelan::design {

namespace {
// Each value is the single-precision number of the system's table, widened.
constexpr BiquadSection kHighPass{1.0, -2.0, 1.0, 1.0, double(-1.9939553f), double(0.9939735f)};
constexpr BiquadSection section(float b0, float b1, float b2, float a1, float a2)
{
    return {double(b0), double(b1), double(b2), 1.0, double(a1), double(a2)};
}
}  // namespace

const RadialBiquadSet& modeZeroRadialBiquads()
{
    static const RadialBiquadSet set{
        {2, 2, 4, 4},
        {{
            {section(10.5653715f, -19.340002f, 8.774631f, -0.19573483f, -0.7965879f), kHighPass},
            {section(11.626551f, -19.008383f, 8.04507f, -0.19573483f, -0.7965879f), kHighPass},
            {section(6.8019613e-06f, -1.0424528e-05f, 4.565501e-06f, -1.9784043f, 0.97885615f),
             section(14572.734f, -29145.469f, 14572.734f, -1.9745886f, 0.9746788f),
             section(138.91072f, -99.53905f, 0.0f, 0.8f, 0.0f), kHighPass},
            {section(0.00018848675f, -0.00024182882f, 7.991477e-05f, -1.966025f, 0.96782225f),
             section(0.07853165f, -0.109973684f, 0.051790576f, -1.922287f, 0.92404425f),
             section(1193378.0f, -2386756.0f, 1193378.0f, -0.19573483f, -0.7965879f), kHighPass},
        }}};
    return set;
}

const BiquadSection& radialHighPass() { return kHighPass; }

std::complex<double> biquadResponse(const BiquadSection& q, double hz, double sampleRate)
{
    const std::complex<double> zInv = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate);
    return (q.b0 + zInv * (q.b1 + zInv * q.b2)) / (q.a0 + zInv * (q.a1 + zInv * q.a2));
}

std::complex<double> radialBiquadResponse(int order, double hz, double sampleRate)
{
    return radialBiquadResponse(modeZeroRadialBiquads(), order, hz, sampleRate);
}

std::complex<double> radialBiquadResponse(const RadialBiquadSet& set, int order, double hz, double sampleRate)
{
    std::complex<double> response = 1.0;
    for (int s = 0; s < set.sectionCounts[order]; ++s) response *= biquadResponse(set.sections[order][s], hz, sampleRate);
    return response;
}

double fitSphereDelay(double sampleRate)
{
    // Mean squared log-magnitude error of biquads x b_n against 1.
    auto misfit = [sampleRate](double delay) {
        double sum = 0;
        int count = 0;
        for (double hz = 300.0; hz <= 4000.0; hz *= 1.02)
            for (int n = 0; n <= kMaxOrder; ++n) {
                if (n >= 2 && hz < 800.0) continue;
                const double kr = 2.0 * std::numbers::pi * hz * delay;
                const double error = std::log(std::abs(radialBiquadResponse(n, hz, sampleRate) * rigidSphereMode(n, kr)));
                sum += error * error;
                ++count;
            }
        return sum / count;
    };
    return minimiseUnimodal(misfit, 80e-6, 180e-6);  // the misfit is unimodal there
}

}  // namespace orvelan::design
