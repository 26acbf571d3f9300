#include "asio/resampler_taps.h"

#include <array>
#include <cmath>
#include <numbers>

namespace orvelan::io {

namespace {

constexpr int kFactors[kResamplerRows] = {2, 3, 4, 6};
constexpr int kTapCounts[kResamplerRows] = {85, 127, 169, kResamplerMaxTaps};
// About 80 dB of stopband attenuation.
constexpr double kKaiserBeta = 8.0;
// The cutoff sits below the lower rate's Nyquist frequency by this share,
// so the transition band ends near it and little aliases back.
constexpr double kCutoffShare = 0.9;

// The modified Bessel function of the first kind, order 0, by its series.
double besselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 50 && term > 1e-12 * sum; ++k) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
  }
  return sum;
}

using TapsTable = std::array<std::array<float, kResamplerMaxTaps>, kResamplerRows>;

TapsTable designTable() {
  TapsTable table{};
  for (int row = 0; row < kResamplerRows; ++row) {
    const int taps = resamplerTapCount(row);
    const double cutoff = kCutoffShare * 0.5 / kFactors[row];  // in cycles per sample
    const double middle = (taps - 1) / 2.0;
    std::array<double, kResamplerMaxTaps> h{};
    double sum = 0.0;
    for (int n = 0; n < taps; ++n) {
      const double t = n - middle;
      const double sinc = t == 0.0 ? 2.0 * cutoff : std::sin(2.0 * std::numbers::pi * cutoff * t) / (std::numbers::pi * t);
      const double r = t / middle;
      h[std::size_t(n)] = sinc * besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / besselI0(kKaiserBeta);
      sum += h[std::size_t(n)];
    }
    for (int n = 0; n < taps; ++n) table[std::size_t(row)][std::size_t(n)] = float(h[std::size_t(n)] / sum);
  }
  return table;
}

}  // namespace

int resamplerRow(int factor) {
  for (int row = 0; row < kResamplerRows; ++row)
    if (kFactors[row] == factor) return row;
  return -1;
}

int resamplerTapCount(int row) { return kTapCounts[row]; }

const float* resamplerTaps(int row) {
  static const TapsTable table = designTable();
  return table[std::size_t(row)].data();
}

}  // namespace orvelan::io
