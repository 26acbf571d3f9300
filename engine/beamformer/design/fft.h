// In-place radix-2 complex FFT for the design and simulation code (not for
// the audio path, which has its own kernels).
#pragma once

#include <complex>
#include <vector>

namespace orvelan::design {

// Forward: X[k] = sum x[n] e^{-2 pi i k n / N}; inverse includes the 1/N.
// The length must be a power of two.
void fft(std::vector<std::complex<double>>& data, bool inverse);

}  // namespace orvelan::design
