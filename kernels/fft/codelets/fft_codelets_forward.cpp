// The vector variants' forward codelets of orders 0..5 (see fft/fft_codelets.h).
//
// Single precision, every addition, subtraction and multiplication rounded
// on its own in the grouping written (the library is built without
// contraction into fused multiply-adds), so the four vector variants share
// one set and agree bit for bit, signs of zero included. Two conventions keep
// the signs of zero fixed: where a formula needs the negative of a difference
// it forms the difference the other way round (conjDiff, minusIDiff), and a
// product with a negative constant multiplies by the negated constant. The
// 16- and 32-point transforms apply even their unit factors by
// multiplication, so an infinity meeting a zero factor gives NaN there as it
// would through any other factor. Every input is read before the first output
// is written, so src may equal dst.
#include <bit>
#include <cstdint>

#include "fft/fft_codelets.h"
#include "shared/simd_memory.h"

namespace {

struct Cf {
    float re, im;
};

Cf operator+(Cf a, Cf b) { return {a.re + b.re, a.im + b.im}; }
Cf operator-(Cf a, Cf b) { return {a.re - b.re, a.im - b.im}; }
// -i*a: the parts exchanged and a sign bit flipped, no arithmetic.
Cf minusI(Cf a) { return {a.im, -a.re}; }
// -i*(a - b) and conj(a - b), each part a difference of its own.
Cf minusIDiff(Cf a, Cf b) { return {a.im - b.im, b.re - a.re}; }
Cf conjDiff(Cf a, Cf b) { return {a.re - b.re, b.im - a.im}; }

// Factor product with the constants (a, b, d): (x*a + y*b, y*a + x*d). A
// factor (cr, ci) is the triple (cr, -ci, ci).
struct Factor {
    float a, b, d;
};
Cf operator*(Cf v, Factor f) { return {v.re * f.a + v.im * f.b, v.im * f.a + v.re * f.d}; }

// cos(k*pi/16) for k = 0..8, each the float nearest the exact value.
constexpr float kCos16[9] = {1.0f,
                             std::bit_cast<float>(0x3F7B14BEu),
                             std::bit_cast<float>(0x3F6C835Eu),
                             std::bit_cast<float>(0x3F54DB31u),
                             std::bit_cast<float>(0x3F3504F3u),
                             std::bit_cast<float>(0x3F0E39DAu),
                             std::bit_cast<float>(0x3EC3EF15u),
                             std::bit_cast<float>(0x3E47C5C2u),
                             0.0f};
constexpr float kR = kCos16[4];   // sqrt(1/2)
constexpr float kC8 = kCos16[2];  // cos(pi/8)
constexpr float kS8 = kCos16[6];  // sin(pi/8)
constexpr float kC16 = kCos16[1], kS16 = kCos16[7], kC316 = kCos16[3], kS316 = kCos16[5];

// A zero constant is +0 whatever sign the angle gives it.
constexpr float positiveZero(float v) { return v == 0.0f ? 0.0f : v; }

// cos(k*pi/16) for any k >= 0, from the first quadrant's values.
constexpr float cos16(int k) {
    k %= 32;
    if (k <= 8) return kCos16[k];
    if (k <= 16) return -kCos16[16 - k];
    if (k <= 24) return -kCos16[k - 16];
    return kCos16[32 - k];
}

// The factor exp(-2*pi*i*e/32) = (cos, -sin) of the angle e*pi/16.
constexpr Factor factor32(int e) {
    const float c = cos16(e), s = cos16(e + 24);  // sin(x) = cos(x - pi/2)
    return {positiveZero(c), positiveZero(s), positiveZero(-s)};
}

Cf loadComplex(const float* p, int i) { return {dspLoad<float>(p + 2 * i), dspLoad<float>(p + 2 * i + 1)}; }
void storeComplex(float* p, int i, Cf v) {
    dspStore(p + 2 * i, v.re);
    dspStore(p + 2 * i + 1, v.im);
}

// The scaled forms multiply where their codelet says; the plain ones do not
// touch the value at all.
template <bool Scaled>
float scaledBy(float v, float scale) {
    if constexpr (Scaled)
        return v * scale;
    else
        return v;
}

// ---- real codelets -----------------------------------------------------------

// The Perm spectrum X[0], X[N/2], X[1..N/2-1] of N real samples.
template <int N>
void storePerm(float* dst, float dc, float nyquist, const Cf (&bins)[N / 2]) {
    dspStore(dst, dc);
    dspStore(dst + 1, nyquist);
    for (int k = 1; k < N / 2; ++k) storeComplex(dst, k, bins[k]);
}

// The 4-point real DFT of x[j], x[j+q], x[j+2q], x[j+3q], scaled at once in
// the scaled codelets: bins 0 and 2 are p0 and p2, bin 1 is (d1, d2). The
// 8-point codelet takes the difference the other way round (e = b - d).
struct FirstStage {
    float s1, d1, s2, d2;
    float p0() const { return s1 + s2; }
    float p2() const { return s1 - s2; }
    float p2Reversed() const { return s2 - s1; }
    Cf p1() const { return {d1, d2}; }
};

template <bool Scaled, bool BMinusD = false>
FirstStage firstStage(const float* x, int j, int q, float scale) {
    const float a = x[j], b = x[j + q], c = x[j + 2 * q], d = x[j + 3 * q];
    return {scaledBy<Scaled>(a + c, scale), scaledBy<Scaled>(a - c, scale), scaledBy<Scaled>(d + b, scale),
            scaledBy<Scaled>(BMinusD ? b - d : d - b, scale)};
}

template <int N>
void loadSamples(const float* src, float (&x)[N]) {
    for (int i = 0; i < N; ++i) x[i] = dspLoad<float>(src + i);
}

template <bool Scaled>
void real1(const float* src, float* dst, float scale) {
    const float x0 = dspLoad<float>(src), x1 = dspLoad<float>(src + 1);
    dspStore(dst, scaledBy<Scaled>(x0 + x1, scale));
    dspStore(dst + 1, scaledBy<Scaled>(x0 - x1, scale));
}

template <bool Scaled>
void real2(const float* src, float* dst, float scale) {
    float x[4];
    loadSamples(src, x);
    const FirstStage f = firstStage<Scaled>(x, 0, 1, scale);
    const float out[4] = {f.p0(), f.p2(), f.d1, f.d2};
    for (int i = 0; i < 4; ++i) dspStore(dst + i, out[i]);
}

template <bool Scaled>
void real3(const float* src, float* dst, float scale) {
    float x[8];
    loadSamples(src, x);
    const FirstStage f0 = firstStage<Scaled, true>(x, 0, 2, scale), f1 = firstStage<Scaled, true>(x, 1, 2, scale);
    const float t = kR * (f1.d1 - f1.d2), u = -kR * (f1.d1 + f1.d2);
    const Cf bins[4] = {{}, {f0.d1 + t, u - f0.d2}, {f0.p2(), f1.p2Reversed()}, {f0.d1 - t, f0.d2 + u}};
    storePerm<8>(dst, f0.p0() + f1.p0(), f0.p0() - f1.p0(), bins);
}

template <bool Scaled>
void real4(const float* src, float* dst, float scale) {
    float x[16];
    loadSamples(src, x);
    FirstStage f[4];
    for (int j = 0; j < 4; ++j) f[j] = firstStage<Scaled>(x, j, 4, scale);
    const Cf q1 = {kC8 * f[1].d1 + kS8 * f[1].d2, kC8 * f[1].d2 - kS8 * f[1].d1};
    const Cf q2 = {kR * (f[2].d1 + f[2].d2), kR * (f[2].d2 - f[2].d1)};
    const Cf q3 = {kS8 * f[3].d1 + kC8 * f[3].d2, kS8 * f[3].d2 - kC8 * f[3].d1};
    const float y1 = kR * f[1].p2(), y3 = -kR * f[3].p2();
    const float even = f[0].p0() + f[2].p0(), odd = f[1].p0() + f[3].p0();
    const Cf a = f[0].p1() + q2, b = f[0].p1() - q2, e = q1 + q3, g = minusIDiff(q1, q3);
    const Cf s = {y1 + y3, y3 - y1};
    Cf bins[8];
    bins[1] = a + e;
    bins[7] = conjDiff(a, e);
    bins[5] = b + g;
    bins[3] = conjDiff(b, g);
    bins[2] = {f[0].p2() + s.re, s.im - f[2].p2()};
    bins[6] = {f[0].p2() - s.re, f[2].p2() + s.im};
    bins[4] = {f[0].p0() - f[2].p0(), f[3].p0() - f[1].p0()};
    storePerm<16>(dst, even + odd, even - odd, bins);
}

template <bool Scaled>
void real5(const float* src, float* dst, float scale) {
    float x[32];
    loadSamples(src, x);
    FirstStage f[8];
    for (int j = 0; j < 8; ++j) f[j] = firstStage<Scaled>(x, j, 8, scale);
    // Bin 1 of each column times W32^j.
    const auto rotate1 = [&](int j, float cr, float sn) {
        return Cf{cr * f[j].d1 + sn * f[j].d2, cr * f[j].d2 - sn * f[j].d1};
    };
    const Cf q10 = f[0].p1(), q11 = rotate1(1, kC16, kS16), q12 = rotate1(2, kC8, kS8),
             q13 = rotate1(3, kC316, kS316), q14 = {kR * (f[4].d1 + f[4].d2), kR * (f[4].d2 - f[4].d1)},
             q15 = rotate1(5, kS316, kC316), q16 = rotate1(6, kS8, kC8), q17 = rotate1(7, kS16, kC16);
    // Bin 2 of each column times W16^j.
    const Cf q21 = {kC8 * f[1].p2(), -kS8 * f[1].p2()}, q22 = {kR * f[2].p2(), -kR * f[2].p2()},
             q23 = {kS8 * f[3].p2(), -kC8 * f[3].p2()}, q25 = {-kS8 * f[5].p2(), -kC8 * f[5].p2()},
             q26 = {-kR * f[6].p2(), -kR * f[6].p2()}, q27 = {-kC8 * f[7].p2(), -kS8 * f[7].p2()};
    Cf bins[16];
    // Bins 0, 4, 8, 12, 16.
    const float es = f[0].p0() + f[4].p0(), ed = f[0].p0() - f[4].p0();
    const float fs = f[2].p0() + f[6].p0(), fd = f[6].p0() - f[2].p0();
    const float gs = f[1].p0() + f[5].p0(), gd = kR * (f[1].p0() - f[5].p0());
    const float hs = f[3].p0() + f[7].p0(), hd = kR * (f[7].p0() - f[3].p0());
    bins[8] = {es - fs, hs - gs};
    bins[4] = {ed + (gd + hd), fd + (hd - gd)};
    bins[12] = {ed - (gd + hd), (hd - gd) - fd};
    // Odd bins.
    const Cf u = q10 + q14, v = q10 - q14, u2 = q12 + q16, v2 = q12 - q16;
    const Cf a = u + u2, b = u - u2;
    const Cf k = {v.re + v2.im, v.im - v2.re}, l = {v.re - v2.im, v.im + v2.re};
    const Cf u1 = q11 + q15, v1 = q11 - q15, u3 = q13 + q17, v3 = q13 - q17;
    const Cf e = u1 + u3, g = minusIDiff(u1, u3);
    const float x1 = v1.re + v3.im, y1 = v1.im - v3.re;
    const Cf gg = {kR * x1 + kR * y1, kR * y1 - kR * x1};
    const float x2 = v1.re - v3.im, y2 = v1.im + v3.re;
    const float p = -kR * x2, p2 = -kR * y2;
    const Cf h = {p - p2, p + p2};
    bins[1] = a + e;
    bins[15] = conjDiff(a, e);
    bins[9] = b + g;
    bins[7] = conjDiff(b, g);
    bins[5] = k + gg;
    bins[11] = conjDiff(k, gg);
    bins[13] = l + h;
    bins[3] = conjDiff(l, h);
    // Bins 2, 6, 10, 14.
    const Cf s0 = {f[0].p2(), f[4].p2Reversed()}, s2 = q22 + q26, s1 = q21 + q25, s3 = q23 + q27;
    const Cf a2 = s0 + s2, b2 = s0 - s2, e2 = s1 + s3, g2 = minusIDiff(s1, s3);
    bins[2] = a2 + e2;
    bins[14] = conjDiff(a2, e2);
    bins[10] = b2 + g2;
    bins[6] = conjDiff(b2, g2);
    storePerm<32>(dst, (es + fs) + (gs + hs), (es + fs) - (gs + hs), bins);
}

// ---- complex codelets --------------------------------------------------------

// The complex codelets compute the plain transform; the scaled forms then
// multiply every output float by the factor.
template <int M, bool Scaled>
void storeSpectrum(float* dst, const Cf (&z)[M], float scale) {
    for (int k = 0; k < M; ++k) storeComplex(dst, k, {scaledBy<Scaled>(z[k].re, scale), scaledBy<Scaled>(z[k].im, scale)});
}

template <int M>
void loadValues(const float* src, Cf (&z)[M]) {
    for (int i = 0; i < M; ++i) z[i] = loadComplex(src, i);
}

template <bool Scaled>
void complex1(const float* src, float* dst, float scale) {
    Cf z[2];
    loadValues(src, z);
    const Cf out[2] = {z[0] + z[1], z[0] - z[1]};
    storeSpectrum<2, Scaled>(dst, out, scale);
}

template <bool Scaled>
void complex2(const float* src, float* dst, float scale) {
    Cf z[4];
    loadValues(src, z);
    const Cf a = z[0] + z[2], b = z[0] - z[2], c = z[1] + z[3], d = z[1] - z[3];
    const Cf out[4] = {a + c, {b.re + d.im, b.im - d.re}, a - c, {b.re - d.im, b.im + d.re}};
    storeSpectrum<4, Scaled>(dst, out, scale);
}

template <bool Scaled>
void complex3(const float* src, float* dst, float scale) {
    Cf z[8];
    loadValues(src, z);
    Cf a[4], b[4];
    for (int n = 0; n < 4; ++n) {
        a[n] = z[n] + z[n + 4];
        b[n] = z[n] - z[n + 4];
    }
    const Cf s = a[0] + a[2], t = a[1] + a[3], g = a[0] - a[2], h = a[1] - a[3];
    const Cf p = {b[0].re + b[2].im, b[0].im - b[2].re}, w = {b[1].re + b[3].im, b[1].im - b[3].re};
    const Cf u = {b[0].re - b[2].im, b[0].im + b[2].re}, v = {b[1].re - b[3].im, b[1].im + b[3].re};
    const Cf w1 = {kR * (w.re + w.im), kR * (w.im - w.re)};     // w * exp(-i*pi/4)
    const Cf v1 = {-kR * (v.re - v.im), -kR * (v.re + v.im)};  // v * exp(-3i*pi/4)
    const Cf out[8] = {s + t,  p + w1, {g.re + h.im, g.im - h.re}, u + v1,
                       s - t,  p - w1, {g.re - h.im, g.im + h.re}, u - v1};
    storeSpectrum<8, Scaled>(dst, out, scale);
}

// The four-point DFT with kernel exp(-2*pi*i/4), natural order in and out.
struct Four {
    Cf b[4];
};
Four butterfly(Cf u0, Cf u1, Cf u2, Cf u3) {
    const Cf p = u0 + u2, q = u0 - u2, t = u1 + u3, v = minusI(u1 - u3);
    return {{p + t, q + v, p - t, q - v}};
}

// 16 points as 4 x 4: a butterfly down each column nl (values nl + 4*nh),
// the factors W16^(nl*kl) on every value of columns 1..3, then a butterfly
// along each row kl gives X[kl + 4*kh].
template <bool Scaled>
void complex4(const float* src, float* dst, float scale) {
    Cf z[16];
    loadValues(src, z);
    Cf t[4][4];
    for (int nl = 0; nl < 4; ++nl) {
        const Four y = butterfly(z[nl], z[nl + 4], z[nl + 8], z[nl + 12]);
        for (int kl = 0; kl < 4; ++kl) t[kl][nl] = nl == 0 ? y.b[kl] : y.b[kl] * factor32(2 * nl * kl);
    }
    Cf out[16];
    for (int kl = 0; kl < 4; ++kl) {
        const Four x = butterfly(t[kl][0], t[kl][1], t[kl][2], t[kl][3]);
        for (int kh = 0; kh < 4; ++kh) out[kl + 4 * kh] = x.b[kh];
    }
    storeSpectrum<16, Scaled>(dst, out, scale);
}

// 32 points as 4 x 8: a butterfly down each column n (values n + 8*j), the
// factors W32^(n*k1) (row 0 only at column 1), then per row an eight-point
// transform from the butterflies of its even and odd columns, joined by
// V^k2 = exp(-2*pi*i*k2/8), gives X[k1 + 4*k2].
template <bool Scaled>
void complex5(const float* src, float* dst, float scale) {
    Cf z[32];
    loadValues(src, z);
    Cf t[4][8];
    for (int n = 0; n < 8; ++n) {
        const Four y = butterfly(z[n], z[n + 8], z[n + 16], z[n + 24]);
        for (int k1 = 0; k1 < 4; ++k1) {
            const bool noFactor = n == 0 || (k1 == 0 && n >= 2);
            t[k1][n] = noFactor ? y.b[k1] : y.b[k1] * factor32(n * k1);
        }
    }
    constexpr Factor kV1 = {kR, kR, -kR}, kV3 = {-kR, kR, -kR};
    Cf out[32];
    for (int k1 = 0; k1 < 4; ++k1) {
        const Four e = butterfly(t[k1][0], t[k1][2], t[k1][4], t[k1][6]);
        const Four o = butterfly(t[k1][1], t[k1][3], t[k1][5], t[k1][7]);
        const Cf p[4] = {o.b[0], o.b[1] * kV1, minusI(o.b[2]), o.b[3] * kV3};
        for (int k2 = 0; k2 < 4; ++k2) {
            out[k1 + 4 * k2] = e.b[k2] + p[k2];
            out[k1 + 4 * k2 + 16] = e.b[k2] - p[k2];
        }
    }
    storeSpectrum<32, Scaled>(dst, out, scale);
}

// ---- the block -----------------------------------------------------------------

template <void (*Body)(const float*, float*, float)>
void plain(const float* src, float* dst) {
    Body(src, dst, 1.0f);
}

}  // namespace

// The one- and two-point bodies, shared with the inverse block.
void fftVectorScaleOne(const float* src, float* dst, float factor) { dspStore(dst, dspLoad<float>(src) * factor); }
void fftVectorTwoPoint(const float* src, float* dst) { real1<false>(src, dst, 1.0f); }
void fftVectorTwoPointScaled(const float* src, float* dst, float factor) { real1<true>(src, dst, factor); }
void fftVectorScaleComplexOne(const float* src, float* dst, float factor) {
    const Cf z = loadComplex(src, 0);
    storeComplex(dst, 0, {z.re * factor, z.im * factor});
}
void fftVectorComplexTwoPoint(const float* src, float* dst) { complex1<false>(src, dst, 1.0f); }
void fftVectorComplexTwoPointScaled(const float* src, float* dst, float factor) {
    complex1<true>(src, dst, factor);
}

const FftCodeletBlock fftVectorForwardCodelets{
    {fftCodeletCopy, fftVectorTwoPoint, plain<real2<false>>, plain<real3<false>>, plain<real4<false>>,
     plain<real5<false>>},
    {fftVectorScaleOne, fftVectorTwoPointScaled, real2<true>, real3<true>, real4<true>, real5<true>},
    {fftCodeletCopyComplex, fftVectorComplexTwoPoint, plain<complex2<false>>, plain<complex3<false>>,
     plain<complex4<false>>, plain<complex5<false>>},
    {fftVectorScaleComplexOne, fftVectorComplexTwoPointScaled, complex2<true>, complex3<true>, complex4<true>,
     complex5<true>},
};
