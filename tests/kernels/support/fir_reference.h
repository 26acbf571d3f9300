// The FIR tests' reference model and state holder.
#pragma once

#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "dsp.h"
#include "random_signal.h"

// Direct convolution in double: y[n] = sum over k of h[k] * x[n - k], where
// samples before the stream come from history (most recent first, as a
// delay line is handed in; missing entries are zeros). The sum runs from the
// oldest sample to the newest, starting at 0.0, and is rounded once - the
// generic variant's exact result. bound[n] = tapsLen * eps * sum |h[k] * x[n-k]|
// is how far a single-precision sum may stray.
struct FirReference {
    std::vector<float> out;
    std::vector<double> bound;
};

inline FirReference firReference(const std::vector<float>& taps, const std::vector<float>& input,
                                 const std::vector<float>& history = {}) {
    const auto sample = [&](long long i) -> double {
        if (i >= 0) return input[static_cast<std::size_t>(i)];
        const auto back = static_cast<std::size_t>(-i - 1);
        return back < history.size() ? history[back] : 0.0;
    };
    const auto t = static_cast<long long>(taps.size());
    FirReference ref{std::vector<float>(input.size()), std::vector<double>(input.size())};
    for (long long n = 0; n < static_cast<long long>(input.size()); ++n) {
        double sum = 0.0, magnitude = 0.0;
        for (long long k = t - 1; k >= 0; --k) {
            const double product = static_cast<double>(taps[static_cast<std::size_t>(k)]) * sample(n - k);
            sum += product;
            magnitude += std::fabs(product);
        }
        ref.out[static_cast<std::size_t>(n)] = static_cast<float>(sum);
        ref.bound[static_cast<std::size_t>(n)] = static_cast<double>(t) * FLT_EPSILON * magnitude;
    }
    return ref;
}


// A library-allocated state, released when the holder goes.
struct FirStateDeleter {
    void operator()(DspsFIRState_32f* s) const { dspsFIRFree_32f(s); }
};
using FirStatePtr = std::unique_ptr<DspsFIRState_32f, FirStateDeleter>;

inline FirStatePtr makeFirState(const std::vector<float>& taps, const float* dlyLine = nullptr) {
    DspsFIRState_32f* s = nullptr;
    if (dspsFIRInitAlloc_32f(&s, taps.data(), static_cast<int>(taps.size()), dlyLine) != dspStsNoErr) return nullptr;
    return FirStatePtr(s);
}
