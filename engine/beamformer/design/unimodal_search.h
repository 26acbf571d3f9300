// Golden-section search for the minimum of a function that is unimodal on
// an interval: the one-parameter fits of the design (sphere size, gain
// limits) are all of this kind.
#pragma once

#include <cmath>

namespace orvelan::design {

template <typename Function>
double minimiseUnimodal(Function f, double lo, double hi, int iterations = 60)
{
    const double ratio = 0.5 * (std::sqrt(5.0) - 1.0);
    double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
    double fa = f(a), fb = f(b);
    for (int i = 0; i < iterations; ++i) {
        if (fa < fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - ratio * (hi - lo);
            fa = f(a);
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + ratio * (hi - lo);
            fb = f(b);
        }
    }
    return 0.5 * (lo + hi);
}

}  // namespace orvelan::design
