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

// The direct convolution with the rounding an FFT of fftLen points adds: its
// error is spread over the block, so besides the direct bound an output may
// stray by log2(fftLen) * eps * |h| * |x| (Euclidean norms of the taps and
// of the fftLen samples up to the output).
inline FirReference firFftReference(const std::vector<float>& taps, const std::vector<float>& input, int fftLen,
                          const std::vector<float>& history = {}) {
    FirReference ref = firReference(taps, input, history);
    double tapsNorm = 0.0;
    for (float h : taps) tapsNorm += static_cast<double>(h) * h;
    tapsNorm = std::sqrt(tapsNorm);
    std::vector<double> energy(input.size() + 1, 0.0);  // prefix sums of squares
    for (std::size_t i = 0; i < input.size(); ++i) energy[i + 1] = energy[i] + static_cast<double>(input[i]) * input[i];
    double historyEnergy = 0.0;
    for (float x : history) historyEnergy += static_cast<double>(x) * x;
    for (std::size_t n = 0; n < input.size(); ++n) {
        const std::size_t from = n + 1 >= static_cast<std::size_t>(fftLen) ? n + 1 - static_cast<std::size_t>(fftLen) : 0;
        const double window = energy[n + 1] - energy[from] + historyEnergy;
        ref.bound[n] += std::log2(fftLen) * FLT_EPSILON * tapsNorm * std::sqrt(window);
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
