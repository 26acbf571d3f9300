// The radial equaliser of radial mode 1: per order three biquad sections
// (two designed here, then the mode-0 high-pass), a FIR and an alignment
// delay that brings every order to the same latency of 315 samples.
//
// Both radial modes aim at one target, the gain-limited inverse of the rigid
// sphere's radial response,
//   T_n(f) = HP(f) L_n(f) e^{i kr} / b_n(kr),
// with HP the shared high-pass, e^{i kr} / b_n the inverse advanced by r/c
// (minimum-phase: n integrators and zeros in the left half-plane), and L_n a
// real, zero-phase gain limit
//   L_n(f) = (1 + (f_n / f)^(2 p_n))^(-1/2)
// whose steepness p_n and corner f_n are those of the mode-0 biquads (f_n is
// fitted to their magnitude). Minimum-phase biquads can follow |T_n|, but a
// steep limit leaves a phase lead far above its corner (about 45 degrees at
// 1 kHz for order 3 in mode 0). Mode 1 spends its latency on removing it:
//  - orders 0 and 1 (one-tap FIRs, whose limit sits at 30 Hz): two sections
//    fitted to T_n in magnitude and phase;
//  - orders 2 and 3: two sections fitted to |T_n| only, and a linear-phase
//    FIR that turns what they leave into T_n delayed by its centre tap.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "beamformer/design/radial_biquads.h"

namespace orvelan::design {

inline constexpr int kRadialFirLatency = 315;
inline constexpr std::array<int, kMaxOrder + 1> kRadialFirLengths{1, 1, 631, 409};

// Samples that follow an order's FIR so that every order has kRadialFirLatency.
constexpr int radialAlignmentDelay(int order) { return (2 * kRadialFirLatency + 1 - kRadialFirLengths[order]) / 2; }

// L_n(f): 1 where the target is the plain (advanced) inverse.
double radialGainLimit(int order, double hz);
// Where L_n reaches 0.99: above it the target's phase is the inverse's.
double radialLimitEndHz(int order);
// T_n(f) as above, without latency.
std::complex<double> radialEqualiserTarget(int order, double hz);

struct RadialEqualiser {
    RadialBiquadSet biquads;                                 // three sections per order
    std::array<std::vector<double>, kMaxOrder + 1> firTaps;  // kRadialFirLengths
};
const RadialEqualiser& modeOneRadialEqualiser();

}  // namespace orvelan::design
