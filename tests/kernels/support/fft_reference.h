// Reference transforms for the real-FFT tests, in double: a direct DFT
// (exact index reduction, one table of 2^order unit roots) for orders up to
// 12, a plain radix-2 FFT above, and the Perm/CCS spectrum layouts.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include "random_signal.h"

using RefComplex = std::complex<double>;

// Direct complex DFT: Z[k] = sum z[j] exp(sign*2*pi*i*j*k/n). n a power of two.
std::vector<RefComplex> referenceDirectDft(const std::vector<RefComplex>& z, int sign);
// Iterative radix-2 decimation in time, every twiddle evaluated on its own.
std::vector<RefComplex> referencePlainFft(const std::vector<RefComplex>& z, int sign);
// Direct up to 2^12 points, the plain FFT above.
std::vector<RefComplex> referenceDft(const std::vector<RefComplex>& z, int sign);

// Bins 0..N/2 of the forward transform of N = 2^order real samples.
std::vector<RefComplex> referenceRealSpectrum(const std::vector<double>& x);
// x[j] = sum over all N bins of X[k] exp(+2*pi*i*j*k/N), the bins above N/2
// the conjugates of bins 1..N/2-1 (bins 0 and N/2 taken as real).
std::vector<double> referenceRealInverse(const std::vector<RefComplex>& bins);

// The Perm layout of N floats: X[0], X[N/2], then Re, Im of bins 1..N/2-1.
std::vector<double> binsToPerm(const std::vector<RefComplex>& bins);
std::vector<RefComplex> permToBins(const std::vector<float>& perm);
// The CCS layout of N + 2 floats: Re, Im of bins 0..N/2.
std::vector<double> binsToCcs(const std::vector<RefComplex>& bins);

// ||got - want|| / ||want|| (2-norm; want must not be all zeros).
double relativeL2Error(const std::vector<float>& got, const std::vector<double>& want);
// max |got[i] - want[i]|.
double maxAbsError(const std::vector<float>& got, const std::vector<double>& want);

std::vector<double> toDouble(const std::vector<float>& v);
