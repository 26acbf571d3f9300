#include "beam_patterns.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "small_linalg.h"

namespace orvelan::design {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// Integral of P_n(x) P_m(x) over [lo, hi]: the integrands are polynomials
// of degree <= 6, so a fine composite Simpson rule is exact to rounding.
Matrix<double> legendreGram(double lo, double hi)
{
    Matrix<double> g(kMaxOrder + 1, kMaxOrder + 1);
    const int steps = 2000;
    const double h = (hi - lo) / steps;
    for (int i = 0; i <= steps; ++i) {
        const double x = lo + i * h;
        const double w = (i == 0 || i == steps) ? 1.0 : (i % 2 ? 4.0 : 2.0);
        for (int n = 0; n <= kMaxOrder; ++n)
            for (int m = 0; m <= kMaxOrder; ++m) g(n, m) += w * h / 3.0 * legendre(n, x) * legendre(m, x);
    }
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
    const Matrix<double> front = legendreGram(0.0, 1.0), back = legendreGram(-1.0, 0.0);
    // B = L L^T; C = L^-1 A L^-T; d = L^-T y for the top eigenvector y of C.
    Matrix<double> l(n, n);
    for (std::size_t j = 0; j < n; ++j) {
        double diag = back(j, j);
        for (std::size_t k = 0; k < j; ++k) diag -= l(j, k) * l(j, k);
        l(j, j) = std::sqrt(diag);
        for (std::size_t i = j + 1; i < n; ++i) {
            double s = back(i, j);
            for (std::size_t k = 0; k < j; ++k) s -= l(i, k) * l(j, k);
            l(i, j) = s / l(j, j);
        }
    }
    Matrix<double> lInv(n, n);
    for (std::size_t c = 0; c < n; ++c)
        for (std::size_t i = 0; i < n; ++i) {
            double s = (i == c) ? 1.0 : 0.0;
            for (std::size_t k = 0; k < i; ++k) s -= l(i, k) * lInv(k, c);
            lInv(i, c) = s / l(i, i);
        }
    Matrix<double> a(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) a(i, j) = front(i, j);
    const Matrix<double> c = lInv * a * adjoint(lInv);
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
            const int steps = 2000;
            const double h = 2.0 / steps;
            double s = 0;
            for (int i = 0; i <= steps; ++i) {
                const double x = -1.0 + i * h;
                const double w = (i == 0 || i == steps) ? 1.0 : (i % 2 ? 4.0 : 2.0);
                s += w * h / 3.0 * std::pow((1.0 + x) / 2.0, order) * legendre(n, x);
            }
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
