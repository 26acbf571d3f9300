// The level of one demo source in a signal: the energy in that source's
// band alone, for the checks that a beam steered onto a source hears it
// louder than the same beam turned away (offline and in what the program
// records).
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <vector>

#include "beamformer/design/fft.h"
#include "demo/demo_take.h"

namespace orvelan::io::testing {

// Samples the band energy is taken over.
inline constexpr std::size_t kDemoBandWindow = std::size_t(1) << 16;

// Energy of the signal's samples [from, from + kDemoBandWindow) in the
// source's band, weighted by the source's own spectral weights (Hann
// window).
inline double demoBandEnergy(const std::vector<float>& signal, std::size_t from, int source)
{
    const std::size_t n = kDemoBandWindow;
    std::vector<std::complex<double>> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = signal.at(from + i) * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n)));
    design::fft(x, false);
    double energy = 0;
    for (std::size_t k = 1; k < n / 2; ++k)
        energy += demo::demoSourceWeight(source, demo::kDemoSampleRate * double(k) / double(n)) * std::norm(x[k]);
    return energy;
}

}  // namespace orvelan::io::testing
