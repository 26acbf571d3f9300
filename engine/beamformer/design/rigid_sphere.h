// Sound field on the surface of a rigid sphere hit by a plane wave.
//
// Transfer functions use the e^{+i omega t} convention of digital filters
// (a delay of tau seconds is e^{-i omega tau}). A unit plane wave arriving
// from direction u gives, at the surface point of direction v,
//   p = sum_n (2n+1) b_n(kr) P_n(u . v),
//   b_n(x) = i^n (j_n(x) - j_n'(x) h_n(x) / h_n'(x)) = -i^{n+1} / (x^2 h_n'(x)),
// with h_n = j_n - i y_n the outgoing spherical Hankel function. (This b_n is
// the radial response 4 pi i^n (...) divided by 4 pi.) The right-hand form
// follows from the Wronskian and stays finite where y_n overflows.
#pragma once

#include <complex>
#include <vector>

namespace orvelan::design {

using Complex = std::complex<double>;

// Radial response b_n(kr) for one order.
Complex rigidSphereMode(int order, double kr);
// b_0 .. b_maxOrder at once.
std::vector<Complex> rigidSphereModes(int maxOrder, double kr);
// Orders needed for the series to converge at kr (error far below -100 dB).
int seriesOrderFor(double kr);

// Pressure on the surface at the angle whose cosine is given, away from the
// direction the wave comes from: sum_n (2n+1) b_n(kr) P_n(cosAngle).
Complex surfacePressure(double cosAngle, double kr);
// The same from modes computed once (rigidSphereModes(seriesOrderFor(kr), kr)).
Complex surfacePressure(double cosAngle, const std::vector<Complex>& modes);

}  // namespace orvelan::design
