#include "rigid_sphere.h"

#include <cmath>

namespace orvelan::design {

namespace {
// h_n'(x) for h_n = j_n - i y_n, from f_n' = f_{n-1} - (n+1)/x f_n
// (f_0' = -f_1).
Complex hankelDerivative(int n, double x)
{
    auto h = [x](int order) { return Complex(std::sph_bessel(order, x), -std::sph_neumann(order, x)); };
    if (n == 0) return -h(1);
    return h(n - 1) - (n + 1.0) / x * h(n);
}

Complex powerOfI(int n)
{
    static const Complex powers[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    return powers[((n % 4) + 4) % 4];
}
}  // namespace

Complex rigidSphereMode(int order, double kr)
{
    if (kr <= 0.0) return order == 0 ? Complex(1.0) : Complex(0.0);
    const Complex derivative = hankelDerivative(order, kr);
    if (!std::isfinite(derivative.real()) || !std::isfinite(derivative.imag())) return 0.0;
    return -powerOfI(order + 1) / (kr * kr * derivative);
}

std::vector<Complex> rigidSphereModes(int maxOrder, double kr)
{
    std::vector<Complex> modes(maxOrder + 1);
    for (int n = 0; n <= maxOrder; ++n) modes[n] = rigidSphereMode(n, kr);
    return modes;
}

int seriesOrderFor(double kr) { return static_cast<int>(std::ceil(kr + 4.0 * std::cbrt(kr) + 12.0)); }

}  // namespace orvelan::design

namespace orvelan::design {

Complex surfacePressure(double cosAngle, double kr)
{
    return surfacePressure(cosAngle, rigidSphereModes(seriesOrderFor(kr), kr));
}

Complex surfacePressure(double cosAngle, const std::vector<Complex>& modes)
{
    const int orders = static_cast<int>(modes.size()) - 1;
    double previous = 1.0, current = cosAngle;
    Complex sum = modes[0];
    for (int n = 1; n <= orders; ++n) {
        sum += (2.0 * n + 1.0) * modes[n] * current;
        const double next = ((2.0 * n + 1.0) * cosAngle * current - n * previous) / (n + 1.0);
        previous = current;
        current = next;
    }
    return sum;
}

}  // namespace orvelan::design
