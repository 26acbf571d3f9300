#include "array_simulator.h"

#include <cmath>
#include <numbers>

#include "fft.h"
#include "fir_design.h"
#include "rigid_sphere.h"

namespace orvelan::sim {

using design::Complex;

CapsuleTransfer capsuleTransfer(const Direction& source, double hz)
{
    const double kr = design::sphereKr(hz);
    const std::vector<Complex> modes = design::rigidSphereModes(design::seriesOrderFor(kr), kr);
    const design::Vec3 u = design::unitVector(source);
    CapsuleTransfer p{};
    for (int c = 0; c < design::kCapsuleCount; ++c)
        p[c] = design::surfacePressure(design::dot(u, design::capsuleVectors()[c]), modes);
    return p;
}

std::vector<std::vector<double>> capsuleImpulseResponses(const Direction& source, int length, double delay,
                                                         double sampleRate)
{
    std::size_t n = 1024;
    while (n < 4 * std::size_t(length)) n *= 2;
    std::vector<std::vector<Complex>> spectra(design::kCapsuleCount, std::vector<Complex>(n));
    for (std::size_t k = 0; k <= n / 2; ++k) {
        const double hz = sampleRate * double(k) / double(n);
        const double fraction = hz / (0.5 * sampleRate);
        const double taper = fraction < 0.8 ? 1.0 : 0.5 * (1.0 + std::cos(std::numbers::pi * (fraction - 0.8) / 0.2));
        const Complex shift = taper * design::delayResponse(delay, hz, sampleRate);
        const CapsuleTransfer p = capsuleTransfer(source, hz);
        for (int c = 0; c < design::kCapsuleCount; ++c) {
            spectra[c][k] = p[c] * shift;
            if (k > 0 && k < n / 2) spectra[c][n - k] = std::conj(spectra[c][k]);
        }
    }
    std::vector<std::vector<double>> responses(design::kCapsuleCount, std::vector<double>(length));
    for (int c = 0; c < design::kCapsuleCount; ++c) {
        spectra[c][n / 2] = spectra[c][n / 2].real();
        design::fft(spectra[c], true);
        for (int t = 0; t < length; ++t) responses[c][t] = spectra[c][t].real();
    }
    return responses;
}

CapsuleSignals simulateCapsuleSignals(const Direction& source, const std::vector<float>& input, double delay,
                                      double sampleRate)
{
    const int irLength = 256 + static_cast<int>(std::ceil(delay));
    const auto responses = capsuleImpulseResponses(source, irLength, delay, sampleRate);
    CapsuleSignals out(design::kCapsuleCount, std::vector<float>(input.size(), 0.0f));
    for (int c = 0; c < design::kCapsuleCount; ++c)
        for (std::size_t i = 0; i < input.size(); ++i) {
            double sum = 0;
            const std::size_t taps = std::min<std::size_t>(responses[c].size(), i + 1);
            for (std::size_t t = 0; t < taps; ++t) sum += responses[c][t] * input[i - t];
            out[c][i] = static_cast<float>(sum);
        }
    return out;
}

}  // namespace orvelan::sim
