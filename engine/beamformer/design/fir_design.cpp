#include "fir_design.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace orvelan::design {

namespace {
constexpr double kPi = std::numbers::pi;
}

std::complex<double> firResponse(const std::vector<double>& taps, double hz, double sampleRate)
{
    const double w = 2.0 * kPi * hz / sampleRate;
    std::complex<double> sum = 0.0;
    for (std::size_t t = 0; t < taps.size(); ++t) sum += taps[t] * std::polar(1.0, -w * double(t));
    return sum;
}

std::complex<double> delayResponse(double samples, double hz, double sampleRate)
{
    return std::polar(1.0, -2.0 * kPi * hz / sampleRate * samples);
}

LeastSquaresFir::LeastSquaresFir(int length, const std::function<double(double)>& weight, int gridPoints,
                                 double sampleRate)
    : length_(length), sampleRate_(sampleRate)
{
    for (int i = 0; i <= gridPoints; ++i) {
        const double hz = 0.5 * sampleRate * i / gridPoints;
        gridHz_.push_back(hz);
        gridWeight_.push_back(weight(hz));
    }
    // Normal matrix A(t, u) = sum_f W(f) cos(w (t - u)): Toeplitz, built from
    // its first row, then factorised A = L L^T.
    std::vector<double> row(length, 0.0);
    for (int lag = 0; lag < length; ++lag)
        for (std::size_t i = 0; i < gridHz_.size(); ++i)
            row[lag] += gridWeight_[i] * std::cos(2.0 * kPi * gridHz_[i] / sampleRate * lag);
    const double ridge = 1e-9 * row[0];  // keeps the factorisation defined where weights vanish
    Matrix<double> normal(length, length);
    for (int r = 0; r < length; ++r)
        for (int c = 0; c < length; ++c) normal(r, c) = row[std::abs(r - c)] + (r == c ? ridge : 0.0);
    normalFactor_ = choleskyFactor(normal);
}

std::vector<double> LeastSquaresFir::fit(const std::function<std::complex<double>(double)>& target) const
{
    std::vector<std::complex<double>> onGrid;
    for (double hz : gridHz_) onGrid.push_back(target(hz));
    return fit(onGrid);
}

std::vector<double> LeastSquaresFir::fit(const std::vector<std::complex<double>>& targetOnGrid) const
{
    // Right-hand side b(t) = sum_f W(f) Re(D(f) e^{i w t}).
    Matrix<double> b(length_, 1);
    for (std::size_t i = 0; i < gridHz_.size(); ++i) {
        if (gridWeight_[i] == 0.0) continue;
        const std::complex<double> d = targetOnGrid[i] * gridWeight_[i];
        const double w = 2.0 * kPi * gridHz_[i] / sampleRate_;
        const std::complex<double> step = std::polar(1.0, w);
        std::complex<double> rot = 1.0;
        for (int t = 0; t < length_; ++t) {
            b(t, 0) += (d * rot).real();
            rot *= step;
        }
    }
    const Matrix<double> x = solveLowerAdjoint(normalFactor_, solveLower(normalFactor_, b));
    std::vector<double> taps(length_);
    for (int t = 0; t < length_; ++t) taps[t] = x(t, 0);
    return taps;
}

std::vector<double> windowedLowPass(int length, double cutoffHz, double sampleRate)
{
    if (length < 1) throw std::invalid_argument("windowedLowPass: length below 1");
    std::vector<double> taps(length);
    const double centre = 0.5 * (length - 1);
    const double fc = cutoffHz / sampleRate;
    double sum = 0;
    for (int t = 0; t < length; ++t) {
        const double x = t - centre;
        const double sinc = x == 0.0 ? 2.0 * fc : std::sin(2.0 * kPi * fc * x) / (kPi * x);
        const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * (t + 1) / (length + 1));  // zero just outside
        taps[t] = sinc * window;
        sum += taps[t];
    }
    for (double& v : taps) v /= sum;
    return taps;
}

}  // namespace orvelan::design
