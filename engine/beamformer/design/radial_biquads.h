// The mode-0 radial biquad cascades that the decomposition applies per order:
// the inverse radial response of the rigid sphere (advanced by about r/c),
// gain-limited at low frequencies and ended by a second-order high-pass.
// These coefficients are fixed data of the system; the design of everything
// downstream (modal FIRs, EQ) is made against their actual response.
#pragma once

#include <array>
#include <complex>

#include "spherical_harmonics.h"

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

// Frequency response of one order's cascade at frequency hz and sample rate.
std::complex<double> radialBiquadResponse(int order, double hz, double sampleRate);

// The ratio radius / speed of sound (seconds) of the sphere whose radial
// responses the biquads invert best in magnitude between 300 Hz and 4 kHz
// (orders 2 and 3 from 800 Hz, above their low-frequency gain limits).
// Only this ratio is determined: b_n depends on kr = 2 pi f r / c alone.
double fitSphereDelay(double sampleRate);

}  // namespace orvelan::design
