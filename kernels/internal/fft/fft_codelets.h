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
// The vector variants' codelets, in single precision with every operation
// rounded on its own in a fixed order, so that n1..n4 share them and agree
// bit for bit: forward (fft_codelets_forward.cpp) and inverse
// (fft_codelets_inverse.cpp).
extern const FftCodeletBlock fftVectorForwardCodelets;
extern const FftCodeletBlock fftVectorInverseCodelets;

// Bodies that fill cells of several blocks. The one-point copies serve real
// and complex order 0 of every block. Unnormalised, the one- and two-point
// transforms are their own inverses, so the vector variants' bodies of
// orders 0 and 1 (two-point butterflies, scaled forms) serve both their
// blocks; the generic blocks share theirs likewise.
void fftCodeletCopy(const float* src, float* dst);
void fftCodeletCopyComplex(const float* src, float* dst);
void fftVectorScaleOne(const float* src, float* dst, float factor);
void fftVectorTwoPoint(const float* src, float* dst);
void fftVectorTwoPointScaled(const float* src, float* dst, float factor);
void fftVectorScaleComplexOne(const float* src, float* dst, float factor);
void fftVectorComplexTwoPoint(const float* src, float* dst);
void fftVectorComplexTwoPointScaled(const float* src, float* dst, float factor);

// fftCodeletTable[variant][direction]: direction 0 forward, 1 inverse.
extern const FftCodeletBlock* const fftCodeletTable[5][2];
