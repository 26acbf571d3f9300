#include "beamformer/design/beam_patterns.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "beamformer/design/small_linalg.h"

namespace orvelan::design {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// Composite Simpson rule on [lo, hi]: visit(weight, x) for each node. The
// integrands here are polynomials of degree <= 6, for which 2000 steps are
// exact to rounding.
template <typename Visit>
void simpsonNodes(double lo, double hi, Visit visit)
{
    const int steps = 2000;
    const double h = (hi - lo) / steps;
    for (int i = 0; i <= steps; ++i) {
        const double w = (i == 0 || i == steps) ? 1.0 : (i % 2 ? 4.0 : 2.0);
        visit(w * h / 3.0, lo + i * h);
    }
}

// Integrals of P_n(x) P_m(x) over [lo, hi], orders 0..size-1.
Matrix<double> legendreGram(double lo, double hi, std::size_t size)
{
    Matrix<double> g(size, size);
    simpsonNodes(lo, hi, [&](double weight, double x) {
        for (std::size_t n = 0; n < size; ++n)
            for (std::size_t m = 0; m < size; ++m) g(n, m) += weight * legendre(int(n), x) * legendre(int(m), x);
    });
    return g;
}

OrderWeights normalisedOnAxis(OrderWeights d)
{
    double sum = 0;
    for (double v : d) sum += v;
    for (double& v : d) v /= sum;
    return d;
}

// Weights that maximise front energy over back energy (x = cos gamma), by
// the generalised symmetric eigenproblem A d = mu B d on orders 0..order.
OrderWeights largestFrontToBack(int order)
{
    const std::size_t n = order + 1;
    // B = L L^T; C = L^-1 A L^-T; d = L^-T y for the top eigenvector y of C.
    const Matrix<double> lInv = solveLower(choleskyFactor(legendreGram(-1.0, 0.0, n)), Matrix<double>::identity(n));
    const Matrix<double> c = lInv * legendreGram(0.0, 1.0, n) * adjoint(lInv);
    const SymmetricEigen eigen = symmetricEigen(c);
    OrderWeights d{};
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < n; ++k) d[i] += lInv(k, i) * eigen.vectors(k, n - 1);
    return normalisedOnAxis(d);
}

}  // namespace

OrderWeights patternWeights(PatternFamily family, int order)
{
    OrderWeights d{};
    switch (family) {
    case PatternFamily::Omni:
        d[0] = 1.0;
        return d;
    case PatternFamily::Dipole:
        d[1] = 1.0;
        return d;
    case PatternFamily::Torus: {
        // sin^2 = 2/3 (P_0 - P_2), lifted by an omni floor so that its poles
        // sit at kTorusPoleLevel of its ring: floor / (1 + floor) = level.
        const double floor = kTorusPoleLevel / (1.0 - kTorusPoleLevel);
        d[0] = (2.0 / 3.0 + floor) / (1.0 + floor);
        d[2] = -2.0 / 3.0 / (1.0 + floor);
        return d;
    }
    case PatternFamily::Hypercardioid:
        // Directivity factor (sum d_n)^2 / sum d_n^2/(2n+1) is largest for d_n ~ 2n+1.
        for (int n = 0; n <= order; ++n) d[n] = 2.0 * n + 1.0;
        return normalisedOnAxis(d);
    case PatternFamily::Supercardioid:
        return largestFrontToBack(order);
    case PatternFamily::Cardioid: {
        // ((1 + x)/2)^N projected on P_n: d_n = (2n+1)/2 * integral of (...) P_n.
        for (int n = 0; n <= order; ++n) {
            double s = 0;
            simpsonNodes(-1.0, 1.0, [&](double weight, double x) {
                s += weight * std::pow((1.0 + x) / 2.0, order) * legendre(n, x);
            });
            d[n] = (2.0 * n + 1.0) / 2.0 * s;
        }
        return normalisedOnAxis(d);
    }
    }
    throw std::invalid_argument("patternWeights: unknown family");
}

double patternValue(const OrderWeights& d, double gammaDegrees)
{
    const double x = std::cos(gammaDegrees * kDegree);
    double v = 0;
    for (int n = 0; n <= kMaxOrder; ++n) v += d[n] * legendre(n, x);
    return v;
}

double beamWidthDegrees(const std::vector<float>& curve)
{
    if (curve.size() < 2) return 0.0;
    const double level = curve[0] / std::sqrt(2.0);
    const int last = static_cast<int>(curve.size()) - 1;  // the last point repeats the first
    // Walk from the look direction each way until the curve falls below -3 dB.
    auto walk = [&](int direction) -> double {
        for (int step = 1; step <= last / 2; ++step) {
            const int i0 = ((step - 1) * direction + last) % last;
            const int i1 = (step * direction + last) % last;
            if (curve[i1] < level) {
                const double fraction = (curve[i0] - level) / (curve[i0] - curve[i1]);
                return (step - 1 + fraction) * kCurveStepDegrees;
            }
        }
        return 180.0;
    };
    return walk(+1) + walk(-1);
}

}  // namespace orvelan::design
