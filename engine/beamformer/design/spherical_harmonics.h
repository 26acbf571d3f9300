// Real spherical harmonics of orders 0..3 in the convention of the modal
// beamformer's steering tables.
//
// Component k = n*n + n + m (order n, degree m = -n..n). Its elevation factor
// is sqrt((n-|m|)!/(n+|m|)!) P_n^|m|(cos theta), where P includes the
// Condon-Shortley phase (-1)^|m|. Two azimuth factors are used:
//  - steering weights (what the beamformer multiplies components by):
//    1, 2 cos(m phi) for m > 0, 2 sin(|m| phi) for m < 0;
//  - direction harmonics (what the encoder delivers for a wave from a
//    direction): the same without the factor 2.
// With these, sum over m of harmonic(u) * steering(v) = P_n(u . v), so
// steering the encoded components of a plane wave yields the Legendre
// polynomial of the angle between wave and look direction.
#pragma once

#include <array>

namespace orvelan::design {

inline constexpr int kMaxOrder = 3;
inline constexpr int kComponentCount = (kMaxOrder + 1) * (kMaxOrder + 1);

constexpr int componentIndex(int order, int degree) { return order * order + order + degree; }
int componentOrder(int k);
int componentDegree(int k);

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Elevation theta from +z (0..180) and azimuth phi from +x towards +y, degrees.
struct Direction {
    double theta = 0;
    double phi = 0;
};
Vec3 unitVector(const Direction& d);
Direction directionOf(const Vec3& v);

double legendre(int order, double x);
// P_n^m(x) for m >= 0, including the Condon-Shortley phase (-1)^m.
double associatedLegendre(int order, int degree, double x);
// sqrt((n-|m|)!/(n+|m|)!) P_n^|m|(cos theta): the elevation table entry.
double elevationFactor(int k, double thetaDegrees);

using ComponentVector = std::array<double, kComponentCount>;
ComponentVector steeringWeights(const Direction& d);
ComponentVector directionHarmonics(const Direction& d);

}  // namespace orvelan::design
