// FIR helpers of the design: frequency responses and weighted least-squares
// fits of a complex target response.
#pragma once

#include <complex>
#include <functional>
#include <vector>

#include "beamformer/design/small_linalg.h"

namespace orvelan::design {

inline constexpr double kDesignRate = 44100.0;

std::complex<double> firResponse(const std::vector<double>& taps, double hz, double sampleRate = kDesignRate);
// Response of a delay of `samples` samples.
std::complex<double> delayResponse(double samples, double hz, double sampleRate = kDesignRate);

// Least-squares fit of `length` taps to target(hz) on a uniform grid from 0 to
// Nyquist, weighted by weight(hz). The fits for one length and weight share
// one factorisation, so the fitter is built once and reused.
class LeastSquaresFir {
public:
    LeastSquaresFir(int length, const std::function<double(double)>& weight, int gridPoints = 2048,
                    double sampleRate = kDesignRate);
    std::vector<double> fit(const std::function<std::complex<double>(double)>& target) const;
    // The same with the target given at every point of gridHz().
    std::vector<double> fit(const std::vector<std::complex<double>>& targetOnGrid) const;
    // Several filters fitted at once: filter j to targets[j] as fit() does,
    // and, weighted by sumWeight, the sum of the filters each through its
    // path (paths[j]) to sumTarget; all given at every point of gridHz().
    // What the filters cannot each reach exactly they then share out so
    // that their sum holds.
    std::vector<std::vector<double>> fitJointly(const std::vector<std::vector<std::complex<double>>>& targets,
                                                const std::vector<std::vector<std::complex<double>>>& paths,
                                                const std::vector<std::complex<double>>& sumTarget,
                                                const std::vector<double>& sumWeight) const;
    const std::vector<double>& gridHz() const { return gridHz_; }

private:
    int length_;
    double sampleRate_;
    std::vector<double> gridHz_;
    std::vector<double> gridWeight_;
    Matrix<double> normalFactor_;  // Cholesky factor of the normal matrix
};

// Linear-phase windowed-sinc low-pass (Hann window), unit gain at 0 Hz.
std::vector<double> windowedLowPass(int length, double cutoffHz, double sampleRate = kDesignRate);

}  // namespace orvelan::design
