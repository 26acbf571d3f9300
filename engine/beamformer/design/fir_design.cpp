#include "beamformer/design/fir_design.h"

#include <algorithm>
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

std::vector<std::vector<double>> LeastSquaresFir::fitJointly(
    const std::vector<std::vector<std::complex<double>>>& targets,
    const std::vector<std::vector<std::complex<double>>>& paths, const std::vector<std::complex<double>>& sumTarget,
    const std::vector<double>& sumWeight) const
{
    const int filters = static_cast<int>(targets.size());
    const int size = filters * length_;
    // Filters j and k are coupled by c_jk(t - u) = Re sum_f q_jk e^{i w (t - u)}
    // with q_jk = sumWeight conj(p_j) p_k, plus the fitter's weight when j = k.
    Matrix<double> normal(size, size);
    Matrix<double> b(size, 1);
    std::vector<std::complex<double>> coupling(2 * length_ - 1);
    for (int j = 0; j < filters; ++j) {
        for (int k = j; k < filters; ++k) {
            std::fill(coupling.begin(), coupling.end(), 0.0);
            for (std::size_t i = 0; i < gridHz_.size(); ++i) {
                std::complex<double> q = sumWeight[i] * std::conj(paths[j][i]) * paths[k][i];
                if (j == k) q += gridWeight_[i];
                if (q == 0.0) continue;
                const double w = 2.0 * kPi * gridHz_[i] / sampleRate_;
                const std::complex<double> step = std::polar(1.0, w);
                std::complex<double> rot = std::polar(1.0, -w * (length_ - 1));
                for (std::complex<double>& c : coupling) {
                    c += q * rot;
                    rot *= step;
                }
            }
            for (int t = 0; t < length_; ++t)
                for (int u = 0; u < length_; ++u) {
                    double v = coupling[t - u + length_ - 1].real();
                    if (j == k && t == u) v *= 1.0 + 1e-9;  // a ridge, as in the single fit
                    normal(j * length_ + t, k * length_ + u) = v;
                    normal(k * length_ + u, j * length_ + t) = v;
                }
        }
        for (std::size_t i = 0; i < gridHz_.size(); ++i) {
            const std::complex<double> d = gridWeight_[i] * targets[j][i] +
                                           sumWeight[i] * std::conj(paths[j][i]) * sumTarget[i];
            const std::complex<double> step = std::polar(1.0, 2.0 * kPi * gridHz_[i] / sampleRate_);
            std::complex<double> rot = 1.0;
            for (int t = 0; t < length_; ++t) {
                b(j * length_ + t, 0) += (d * rot).real();
                rot *= step;
            }
        }
    }
    const Matrix<double> x = choleskySolve(normal, b);
    std::vector<std::vector<double>> taps(filters, std::vector<double>(length_));
    for (int j = 0; j < filters; ++j)
        for (int t = 0; t < length_; ++t) taps[j][t] = x(j * length_ + t, 0);
    return taps;
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
