// The real FFT's fixed-size codelets of orders 0..5 and the table the
// entries select them from.
#pragma once

// Real codelets go between N = 2^order samples and a Perm spectrum, complex
// ones between 2^order interleaved values in natural order; the scaled forms
// multiply by the factor. Unnormalised; src may equal dst; no alignment.
using FftCodelet = void (*)(const float* src, float* dst);
using FftScaledCodelet = void (*)(const float* src, float* dst, float factor);

// One variant's codelets of one direction, indexed by order (real rows) or
// by half-length order (complex rows).
struct FftCodeletBlock {
    FftCodelet real[6];
    FftScaledCodelet realScaled[6];
    FftCodelet complex[6];
    FftScaledCodelet complexScaled[6];
};

// The generic codelets (double arithmetic, every output rounded once).
extern const FftCodeletBlock fftGenericForwardCodelets;
extern const FftCodeletBlock fftGenericInverseCodelets;
// The vector variants' forward codelets, in single precision with every
// operation rounded on its own in a fixed order, so that n1..n4 share them
// and agree bit for bit.
extern const FftCodeletBlock fftVectorForwardCodelets;

// The vector variants' inverse block (its one- and two-point codelets the
// generic ones), and the single-precision inverse codelets of orders 2..5
// it holds, one body for n1..n4 (fft_codelets_inverse.cpp).
extern const FftCodeletBlock fftVectorInverseCodelets;
template <int Order>
void fftInverseRealCodelet(const float* src, float* dst);
template <int Order>
void fftInverseRealCodeletScaled(const float* src, float* dst, float factor);
template <int Order>
void fftInverseComplexCodelet(const float* src, float* dst);
template <int Order>
void fftInverseComplexCodeletScaled(const float* src, float* dst, float factor);

// fftCodeletTable[variant][direction]: direction 0 forward, 1 inverse.
extern const FftCodeletBlock* const fftCodeletTable[5][2];
