#include "beamformer/design/spherical_harmonics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvelan::design {

namespace {
constexpr double kDegree = std::numbers::pi / 180.0;

double factorial(int n)
{
    double f = 1.0;
    for (int i = 2; i <= n; ++i) f *= i;
    return f;
}
}  // namespace

int componentOrder(int k) { return static_cast<int>(std::floor(std::sqrt(static_cast<double>(k)) + 1e-9)); }
int componentDegree(int k)
{
    const int n = componentOrder(k);
    return k - n * n - n;
}

Vec3 unitVector(const Direction& d)
{
    const double t = d.theta * kDegree, p = d.phi * kDegree;
    return {std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)};
}

Direction directionOf(const Vec3& v)
{
    const double norm = std::sqrt(dot(v, v));
    double phi = std::atan2(v.y, v.x) / kDegree;
    if (phi < 0) phi += 360.0;
    return {std::acos(std::clamp(v.z / norm, -1.0, 1.0)) / kDegree, phi};
}

double legendre(int order, double x) { return associatedLegendre(order, 0, x); }

double associatedLegendre(int order, int degree, double x)
{
    // Standard recurrence: P_m^m = (-1)^m (2m-1)!! (1-x^2)^(m/2), then upward in n.
    const double s = std::sqrt(std::max(0.0, 1.0 - x * x));
    double pmm = 1.0;
    for (int i = 1; i <= degree; ++i) pmm *= -(2.0 * i - 1.0) * s;
    if (order == degree) return pmm;
    double pnm1 = pmm;
    double pn = x * (2.0 * degree + 1.0) * pmm;
    for (int n = degree + 2; n <= order; ++n) {
        const double next = ((2.0 * n - 1.0) * x * pn - (n + degree - 1.0) * pnm1) / (n - degree);
        pnm1 = pn;
        pn = next;
    }
    return pn;
}

double elevationFactor(int k, double thetaDegrees)
{
    const int n = componentOrder(k);
    const int m = std::abs(componentDegree(k));
    const double norm = std::sqrt(factorial(n - m) / factorial(n + m));
    return norm * associatedLegendre(n, m, std::cos(thetaDegrees * kDegree));
}

namespace {
ComponentVector harmonics(const Direction& d, double azimuthScale)
{
    ComponentVector h{};
    for (int k = 0; k < kComponentCount; ++k) {
        const int m = componentDegree(k);
        double azimuth = 1.0;
        if (m > 0) azimuth = azimuthScale * std::cos(m * d.phi * kDegree);
        if (m < 0) azimuth = azimuthScale * std::sin(-m * d.phi * kDegree);
        h[k] = elevationFactor(k, d.theta) * azimuth;
    }
    return h;
}
}  // namespace

ComponentVector steeringWeights(const Direction& d) { return harmonics(d, 2.0); }
ComponentVector directionHarmonics(const Direction& d) { return harmonics(d, 1.0); }

}  // namespace orvelan::design
