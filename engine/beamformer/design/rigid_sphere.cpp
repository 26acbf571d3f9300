#include "beamformer/design/rigid_sphere.h"

#include <algorithm>
#include <cmath>

namespace orvelan::design {

namespace {
// Outgoing spherical Hankel functions h_0 .. h_maxOrder (h_n = j_n - i y_n)
// by upward recurrence, f_{n+1} = (2n+1)/x f_n - f_{n-1}, from
// h_0 = i e^{-ix} / x and h_1 = e^{-ix} (i/x^2 - 1/x). Upward recurrence
// loses j_n's relative accuracy once n > x, but there y_n dominates h_n by
// far, so h_n and the b_n formed from it keep full precision. It is many
// times faster than evaluating each order with the library's Bessel
// functions, which dominated the table design time.
std::vector<Complex> outgoingHankel(int maxOrder, double x)
{
    std::vector<Complex> h(std::max(maxOrder, 1) + 1);
    const Complex phase = std::polar(1.0, -x);
    h[0] = Complex(0.0, 1.0) * phase / x;
    h[1] = phase * Complex(-1.0 / x, 1.0 / (x * x));
    for (int n = 1; n + 1 < static_cast<int>(h.size()); ++n) h[n + 1] = (2.0 * n + 1.0) / x * h[n] - h[n - 1];
    return h;
}

// h_n'(x) from f_n' = f_{n-1} - (n+1)/x f_n (f_0' = -f_1).
Complex hankelDerivative(const std::vector<Complex>& h, int n, double x)
{
    if (n == 0) return -h[1];
    return h[n - 1] - (n + 1.0) / x * h[n];
}

Complex powerOfI(int n)
{
    static const Complex powers[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    return powers[((n % 4) + 4) % 4];
}

Complex modeFromDerivative(int order, double kr, Complex derivative)
{
    if (!std::isfinite(derivative.real()) || !std::isfinite(derivative.imag())) return 0.0;
    return -powerOfI(order + 1) / (kr * kr * derivative);
}
}  // namespace

Complex rigidSphereMode(int order, double kr)
{
    if (kr <= 0.0) return order == 0 ? Complex(1.0) : Complex(0.0);
    return modeFromDerivative(order, kr, hankelDerivative(outgoingHankel(order, kr), order, kr));
}

std::vector<Complex> rigidSphereModes(int maxOrder, double kr)
{
    std::vector<Complex> modes(maxOrder + 1);
    if (kr <= 0.0) {
        modes[0] = 1.0;
        return modes;
    }
    const std::vector<Complex> h = outgoingHankel(maxOrder, kr);
    for (int n = 0; n <= maxOrder; ++n) modes[n] = modeFromDerivative(n, kr, hankelDerivative(h, n, kr));
    return modes;
}

int seriesOrderFor(double kr) { return static_cast<int>(std::ceil(kr + 4.0 * std::cbrt(kr) + 12.0)); }

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
