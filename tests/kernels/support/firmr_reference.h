// The multirate FIR tests' arguments, state maker and brute-force model.
#pragma once

#include <cfloat>
#include <cmath>
#include <vector>

#include "dsp.h"
#include "fir_reference.h"

struct MrArgs {
    int tapsLen, up, upPhase, down, downPhase;
};

inline FirStatePtr makeMrState(const std::vector<float>& taps, const MrArgs& a, const float* dlyLine = nullptr) {
    DspsFIRState_32f* s = nullptr;
    if (dspsFIRMRInitAlloc_32f(&s, taps.data(), a.tapsLen, a.up, a.upPhase, a.down, a.downPhase, dlyLine) !=
        dspStsNoErr)
        return nullptr;
    return FirStatePtr(s);
}

// Brute force: upsample by inserting zeros (input m at m * up + upPhase),
// filter in double, keep every down-th sample from downPhase:
// y[n] = sum over i of h[i] * u[n * down + downPhase - i], with x[-1 - i] =
// history[i] (most recent first, as a delay line is handed in; missing
// entries are zeros). Sums run over the taps that meet input samples only,
// so a NaN reaches exactly the outputs it belongs to. bound[n] is how far a
// single-precision sum of those products may stray.
inline FirReference mrReference(const std::vector<float>& h, const MrArgs& a, const std::vector<float>& x,
                                const std::vector<float>& history = {}) {
    const long long outputs = static_cast<long long>(x.size()) / a.down * a.up;
    FirReference ref{std::vector<float>(static_cast<std::size_t>(outputs)),
                     std::vector<double>(static_cast<std::size_t>(outputs))};
    for (long long n = 0; n < outputs; ++n) {
        double sum = 0.0, magnitude = 0.0;
        long long terms = 0;
        for (long long i = 0; i < static_cast<long long>(h.size()); ++i) {
            const long long u = n * a.down + a.downPhase - i - a.upPhase;
            if (((u % a.up) + a.up) % a.up != 0) continue;
            const long long m = (u - (((u % a.up) + a.up) % a.up)) / a.up;
            double sample = 0.0;
            if (m >= 0)
                sample = x[static_cast<std::size_t>(m)];
            else if (static_cast<std::size_t>(-m - 1) < history.size())
                sample = history[static_cast<std::size_t>(-m - 1)];
            const double product = static_cast<double>(h[static_cast<std::size_t>(i)]) * sample;
            sum += product;
            magnitude += std::fabs(product);
            ++terms;
        }
        ref.out[static_cast<std::size_t>(n)] = static_cast<float>(sum);
        ref.bound[static_cast<std::size_t>(n)] = static_cast<double>(terms + 2) * FLT_EPSILON * magnitude;
    }
    return ref;
}
