// The mode-0 radial biquad cascades that the decomposition applies per order:
// the inverse radial response of the rigid sphere (advanced by about r/c),
// gain-limited at low frequencies and ended by a second-order high-pass.
// These coefficients are fixed data of the system; the design of everything
// downstream (modal FIRs, EQ) is made against their actual response. The
// section type and the responses serve the mode-1 set too (radial_equaliser.h).
#pragma once

#include <array>
#include <complex>

#include "beamformer/design/spherical_harmonics.h"

namespace orvelan::design {

struct BiquadSection {
    double b0, b1, b2, a0, a1, a2;
};

struct RadialBiquadSet {
    std::array<int, kMaxOrder + 1> sectionCounts;
    // [order][section]: up to four sections per order.
    std::array<std::array<BiquadSection, 4>, kMaxOrder + 1> sections;
};

const RadialBiquadSet& modeZeroRadialBiquads();
// The second-order high-pass that ends every order's cascade in both sets.
const BiquadSection& radialHighPass();

std::complex<double> biquadResponse(const BiquadSection& section, double hz, double sampleRate);
// Frequency response of one order's cascade at frequency hz and sample rate
// (the first form: the mode-0 set).
std::complex<double> radialBiquadResponse(int order, double hz, double sampleRate);
std::complex<double> radialBiquadResponse(const RadialBiquadSet& set, int order, double hz, double sampleRate);

// The ratio radius / speed of sound (seconds) of the sphere whose radial
// responses the biquads invert best in magnitude between 300 Hz and 4 kHz
// (orders 2 and 3 from 800 Hz, above their low-frequency gain limits).
// Only this ratio is determined: b_n depends on kr = 2 pi f r / c alone.
double fitSphereDelay(double sampleRate);

}  // namespace orvelan::design
