#include "beamformer/sim/array_simulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "beamformer/design/fft.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/rigid_sphere.h"

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
    // The band-limited responses ring before their main peak as well as
    // after it (the taper's side lobes). Cut off `delay` samples before it
    // (32 by default), each capsule misses about 3e-4 of the wave at every
    // frequency, and the differences between capsules that carry order 3
    // at 200 Hz are of that size. So the responses are made kLead samples
    // longer in front and applied kLead samples early: every output sample
    // is the band-limited wave from the whole input (zeros past its end).
    constexpr int kLead = 224;
    const int irLength = kLead + 256 + static_cast<int>(std::ceil(delay));
    const auto responses = capsuleImpulseResponses(source, irLength, delay + kLead, sampleRate);
    const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(input.size());
    CapsuleSignals out(design::kCapsuleCount, std::vector<float>(input.size(), 0.0f));
    for (int c = 0; c < design::kCapsuleCount; ++c)
        for (std::ptrdiff_t i = 0; i < size; ++i) {
            // out[i] = sum over t of response[t] x input[i + kLead - t].
            const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, i + kLead - (size - 1));
            const std::ptrdiff_t last = std::min<std::ptrdiff_t>(irLength - 1, i + kLead);
            double sum = 0;
            for (std::ptrdiff_t t = first; t <= last; ++t) sum += responses[c][t] * input[i + kLead - t];
            out[c][i] = static_cast<float>(sum);
        }
    return out;
}

}  // namespace orvelan::sim
