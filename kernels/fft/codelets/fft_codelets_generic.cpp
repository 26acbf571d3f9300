// Generic fixed-size codelets of orders 0..5.
//
// Complex codelets: radix-4 decimation in frequency down to a 4- or 2-point
// butterfly, natural order in and out, twiddles from the constant sine table
// (each the float nearest its exact value). Real codelets run the complex
// graph of their own length on the real samples (forward) or on the
// conjugate-symmetric extension of the Perm spectrum (inverse). Everything
// in double, every output rounded once; the scaled forms multiply the first
// layer of sums and differences by the factor. Inputs are read before any
// output is stored, so src may equal dst.
#include <cstdint>

#include "fft/fft_codelets.h"
#include "fft/fft_generic.h"
#include "fft/fft_tables.h"
#include "shared/simd_memory.h"

namespace {

struct Cx {
    double re, im;
};

Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
Cx scaled(Cx a, double f) { return {a.re * f, a.im * f}; }
// -i*a forward, i*a inverse.
Cx timesI(FftDirection dir, Cx a) { return dir == FftDirection::inverse ? Cx{-a.im, a.re} : Cx{a.im, -a.re}; }

// a * exp(sign*2*pi*i*e/n): quarter turns by exchanging parts, any other
// angle through the sine table's constants.
Cx rotate(FftDirection dir, Cx a, int e, int n) {
    if (e == 0) return a;
    if (e % (n / 4) == 0) {
        for (int q = 0; q < e / (n / 4); ++q) a = timesI(dir, a);
        return a;
    }
    int logN = 0;
    while ((1 << logN) < n) ++logN;
    const FftTwiddle w = fftTwiddle(FftLayout::generic, fftConstantSine(), logN, e);
    const double wr = w.re, wi = dir == FftDirection::inverse ? -w.im : w.im;
    return {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
}

// Out-of-place complex transform of n <= 32 values; factor multiplies the
// first layer of additions.
void transform(FftDirection dir, const Cx* z, Cx* out, int n, double factor) {
    if (n == 1) {
        out[0] = scaled(z[0], factor);
        return;
    }
    if (n == 2) {
        out[0] = scaled(z[0] + z[1], factor);
        out[1] = scaled(z[0] - z[1], factor);
        return;
    }
    const int quarter = n / 4;
    Cx columns[4][8];
    for (int j = 0; j < quarter; ++j) {
        const Cx s = scaled(z[j] + z[j + 2 * quarter], factor), d = scaled(z[j] - z[j + 2 * quarter], factor);
        const Cx s2 = scaled(z[j + quarter] + z[j + 3 * quarter], factor);
        const Cx d2 = scaled(z[j + quarter] - z[j + 3 * quarter], factor);
        const Cx q[4] = {s + s2, d + timesI(dir, d2), s - s2, d - timesI(dir, d2)};
        for (int k1 = 0; k1 < 4; ++k1) columns[k1][j] = rotate(dir, q[k1], j * k1, n);
    }
    for (int k1 = 0; k1 < 4; ++k1) {
        Cx part[8];
        transform(dir, columns[k1], part, quarter, 1.0);
        for (int k2 = 0; k2 < quarter; ++k2) out[4 * k2 + k1] = part[k2];
    }
}

Cx loadPair(const float* p, int i) { return {dspLoad<float>(p + 2 * i), dspLoad<float>(p + 2 * i + 1)}; }
void storePair(float* p, int i, Cx v) {
    dspStore(p + 2 * i, static_cast<float>(v.re));
    dspStore(p + 2 * i + 1, static_cast<float>(v.im));
}

template <FftDirection Dir, int Order>
void complexCodelet(const float* src, float* dst, double factor) {
    constexpr int n = 1 << Order;
    Cx z[n], out[n];
    for (int i = 0; i < n; ++i) z[i] = loadPair(src, i);
    transform(Dir, z, out, n, factor);
    for (int i = 0; i < n; ++i) storePair(dst, i, out[i]);
}

// Forward: N real samples to the Perm spectrum.
template <int Order>
void realForwardCodelet(const float* src, float* dst, double factor) {
    constexpr int n = 1 << Order;
    Cx z[n], bins[n];
    for (int i = 0; i < n; ++i) z[i] = {dspLoad<float>(src + i), 0.0};
    transform(FftDirection::forward, z, bins, n, factor);
    dspStore(dst, static_cast<float>(bins[0].re));
    dspStore(dst + 1, static_cast<float>(bins[n / 2].re));
    for (int k = 1; k < n / 2; ++k) storePair(dst, k, bins[k]);
}

// Inverse: the Perm spectrum, extended by conjugate symmetry, to N samples.
template <int Order>
void realInverseCodelet(const float* src, float* dst, double factor) {
    constexpr int n = 1 << Order;
    Cx spectrum[n], out[n];
    spectrum[0] = {dspLoad<float>(src), 0.0};
    spectrum[n / 2] = {dspLoad<float>(src + 1), 0.0};
    for (int k = 1; k < n / 2; ++k) {
        spectrum[k] = loadPair(src, k);
        spectrum[n - k] = {spectrum[k].re, -spectrum[k].im};
    }
    transform(FftDirection::inverse, spectrum, out, n, factor);
    for (int i = 0; i < n; ++i) dspStore(dst + i, static_cast<float>(out[i].re));
}

// Orders 0 and 1 are their own inverses (no normalisation): one body each
// serves both directions.
void scaleOne(const float* src, float* dst, float f) {
    dspStore(dst, static_cast<float>(static_cast<double>(dspLoad<float>(src)) * f));
}

constexpr FftDirection kFwd = FftDirection::forward;
constexpr FftDirection kInv = FftDirection::inverse;

// The plain and scaled forms of one codelet body (factor 1 for the plain).
template <void (*Body)(const float*, float*, double)>
void plain(const float* src, float* dst) {
    Body(src, dst, 1.0);
}
template <void (*Body)(const float*, float*, double)>
void withFactor(const float* src, float* dst, float f) {
    Body(src, dst, f);
}

}  // namespace

// The one-word and one-value copies of every block.
void fftCodeletCopy(const float* src, float* dst) { dspStore(dst, dspLoad<std::uint32_t>(src)); }
void fftCodeletCopyComplex(const float* src, float* dst) { dspStore(dst, dspLoad<std::uint64_t>(src)); }

const FftCodeletBlock fftGenericForwardCodelets{
    {fftCodeletCopy, plain<realForwardCodelet<1>>, plain<realForwardCodelet<2>>, plain<realForwardCodelet<3>>,
     plain<realForwardCodelet<4>>, plain<realForwardCodelet<5>>},
    {scaleOne, withFactor<realForwardCodelet<1>>, withFactor<realForwardCodelet<2>>, withFactor<realForwardCodelet<3>>,
     withFactor<realForwardCodelet<4>>, withFactor<realForwardCodelet<5>>},
    {fftCodeletCopyComplex, plain<complexCodelet<kFwd, 1>>, plain<complexCodelet<kFwd, 2>>,
     plain<complexCodelet<kFwd, 3>>, plain<complexCodelet<kFwd, 4>>, plain<complexCodelet<kFwd, 5>>},
    {withFactor<complexCodelet<kFwd, 0>>, withFactor<complexCodelet<kFwd, 1>>, withFactor<complexCodelet<kFwd, 2>>,
     withFactor<complexCodelet<kFwd, 3>>, withFactor<complexCodelet<kFwd, 4>>, withFactor<complexCodelet<kFwd, 5>>},
};

const FftCodeletBlock fftGenericInverseCodelets{
    {fftCodeletCopy, plain<realForwardCodelet<1>>, plain<realInverseCodelet<2>>, plain<realInverseCodelet<3>>,
     plain<realInverseCodelet<4>>, plain<realInverseCodelet<5>>},
    {scaleOne, withFactor<realForwardCodelet<1>>, withFactor<realInverseCodelet<2>>, withFactor<realInverseCodelet<3>>,
     withFactor<realInverseCodelet<4>>, withFactor<realInverseCodelet<5>>},
    {fftCodeletCopyComplex, plain<complexCodelet<kFwd, 1>>, plain<complexCodelet<kInv, 2>>,
     plain<complexCodelet<kInv, 3>>, plain<complexCodelet<kInv, 4>>, plain<complexCodelet<kInv, 5>>},
    {withFactor<complexCodelet<kFwd, 0>>, withFactor<complexCodelet<kFwd, 1>>, withFactor<complexCodelet<kInv, 2>>,
     withFactor<complexCodelet<kInv, 3>>, withFactor<complexCodelet<kInv, 4>>, withFactor<complexCodelet<kInv, 5>>},
};
