// The triangle HF path's correction. The equally weighted mean of a
// triangle's three capsules sums them in phase at the triangle's centre and
// partly out of phase towards its corners, so on the beam's axis it loses
// level at high frequencies as the look moves off the centre (about 4 dB at
// a corner at 12 kHz), more than one equaliser per pattern can make up for.
// How it loses level is almost the same shape everywhere on the triangle,
// only scaled: a short minimum-phase filter makes up for it at a corner, and
// the HF path adds the filter's difference from a unit impulse, times a
// weight that says where the look falls on its triangle (0 at the centre,
// about 1 at a corner), to the mean.
#pragma once

#include <complex>
#include <vector>

namespace orvelan::design {

inline constexpr int kTriangleCorrectionLength = 8;

// The corner correction less a unit impulse (kTriangleCorrectionLength taps).
const std::vector<double>& triangleCorrectionTaps();

// The weight for a look, given the cosines of the angles between it and the
// capsules of its triangle.
double triangleCorrectionWeight(const std::vector<double>& cosines);

// What the correction makes of the triangle mean at hz: 1 + weight x the
// taps' response.
std::complex<double> triangleCorrection(double weight, double hz);

// The weight for every direction of the HF grids, entry [theta * kGridColumns
// + phi], the look's triangle taken as the triangle grid takes it.
std::vector<double> triangleCorrectionWeightGrid();

}  // namespace orvelan::design
