// Directivity patterns as weights on the Legendre orders: a beam with weights
// d_n has the rotationally symmetric pattern D(gamma) = sum_n d_n P_n(cos gamma)
// around its look direction.
#pragma once

#include <array>
#include <vector>

#include "beamformer/design/spherical_harmonics.h"

namespace orvelan::design {

using OrderWeights = std::array<double, kMaxOrder + 1>;

enum class PatternFamily { Omni, Cardioid, Hypercardioid, Supercardioid, Dipole, Torus };

// Cardioid ((1 + cos)/2)^N; hypercardioid: largest directivity factor;
// supercardioid: largest front-to-back energy ratio; dipole: cos;
// torus: sin^2, the ring around the look axis, on an omni floor that keeps
// its poles at kTorusPoleLevel of the ring. All but the torus are
// normalised to 1 on the look direction; the torus to 1 at 90 degrees.
inline constexpr double kTorusPoleLevel = 0.119;
OrderWeights patternWeights(PatternFamily family, int order);

double patternValue(const OrderWeights& d, double gammaDegrees);

// Polar curve: |D| at 0, 5, ..., 360 degrees.
inline constexpr int kCurvePoints = 73;
inline constexpr double kCurveStepDegrees = 5.0;

// Full -3 dB width in degrees of a polar curve: the angle around the look
// direction (index 0) over which the curve stays within 3 dB of its value
// there (linear interpolation between points); 360 when it never falls 3 dB
// below it, as for the omni and the torus.
double beamWidthDegrees(const std::vector<float>& curve);

}  // namespace orvelan::design
