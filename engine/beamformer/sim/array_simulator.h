// Rigid-sphere simulation of the 32-capsule array: what each capsule picks up
// from a plane wave (a source far away) arriving from a given direction.
// Shared by every test of the beamformer that needs capsule signals.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "beamformer/design/array_geometry.h"

namespace orvelan::sim {

using design::Direction;
using CapsuleTransfer = std::array<std::complex<double>, design::kCapsuleCount>;
using CapsuleSignals = std::vector<std::vector<float>>;  // [capsule][sample]

// Pressure at each capsule, relative to the free-field pressure the wave
// would have at the sphere's centre, at frequency hz (series to convergence).
CapsuleTransfer capsuleTransfer(const Direction& source, double hz);

// Impulse responses at sampleRate, delayed by `delay` samples (which must
// exceed the sphere's radius / c so that the front capsules stay causal),
// band-limited by a raised-cosine taper over the top 20 % of the band.
std::vector<std::vector<double>> capsuleImpulseResponses(const Direction& source, int length, double delay,
                                                         double sampleRate = 44100.0);

// The capsule signals for an input signal arriving from `source`, delayed by
// `delay` samples: the input convolved with each capsule's band-limited
// response (same length as the input), the response's ringing before its
// main peak included, so that capsules differ from their transfer functions
// by about 1e-6 at any frequency. So an output sample also takes inputs up
// to 224 samples after it: over the last 224 the input has ended (zeros).
CapsuleSignals simulateCapsuleSignals(const Direction& source, const std::vector<float>& input,
                                      double delay = 32.0, double sampleRate = 44100.0);

}  // namespace orvelan::sim
