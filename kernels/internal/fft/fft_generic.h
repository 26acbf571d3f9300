// The generic (n0) engines of the real FFT: bit reversal, radix passes, the
// cache-blocked recursion, the real split and pre-split (its codelets are in
// fft_codelets.h). Arithmetic in double, each stored value rounded once to
// float (the inverse radix passes round the few intermediates their
// butterflies park as floats). Data pointers need no alignment.
#pragma once

#include <cstdint>

struct DspsFFTSpec_R_32f;

// Sign of the exponent: forward exp(-2*pi*i*k*n/N), inverse exp(+...).
enum class FftDirection { forward = -1, inverse = +1 };

namespace dsp_n0 {

// n complex values into bit-reversed order (value j to position rev(j)),
// through the pairs-form table of order log2(n).
void fftBitReverseCopy(const float* src, float* dst, std::int64_t n, const std::int32_t* table);
void fftBitReverseInPlace(float* data, std::int64_t n, const std::int32_t* table);

// Unnormalised DFT of n = 2^m bit-reversed values (4 <= n <= 4096), natural
// order out, in place, with the radix table built for n.
void fftRadixPasses(FftDirection dir, float* data, std::int64_t n, const float* twiddles);

// Unnormalised DFT of 2^m values (m >= 11) from src to dst (may be equal),
// each leaf scaled when the record asks for it in this direction; work holds
// the cross stage's four columns.
void fftRecursive(FftDirection dir, const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m,
                  unsigned char* work);

// Joins the n/blockLen transformed blocks of a bit-reversed vector by radix-2
// stages; twiddles: W_n^k pairs for k < n/4.
void fftRadix2Pass(FftDirection dir, float* data, std::int64_t n, std::int64_t blockLen, const float* twiddles);

// Forward split: slots 1..n-1 of Z (n complex values) become the Perm bins
// 1..n-1; slot 0 is the caller's.
void realFftRecombine(float* data, std::int64_t n, const float* splitFwd);
// Inverse pre-split: Perm words 2..2n-1 of src into Z[1..n-1] of dst (src may
// equal dst); words 0 and 1 are the caller's.
void realFftRecombineInverse(const float* src, float* dst, std::int64_t n, const float* splitInv);

}  // namespace dsp_n0
