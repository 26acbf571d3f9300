// Inverse fixed-size codelets of the vector variants (n1..n4), orders 2..5,
// in single precision.
//
// One body per cell serves all four vector variants: they evaluate the same
// operations in the same association, so their results are the same bits,
// and nothing here needs more than SSE2.
//
// Real codelets (Perm spectrum to N samples): scalar float arithmetic, an
// explicit graph per order (orders 4 and 5 split the spectrum into its even
// bins, the order below, and its odd bins, small complex butterflies with
// fixed twiddles). The scaled forms multiply the N values of the first layer
// of sums and differences by the factor.
//
// Complex codelets (N interleaved values, natural order in and out): a
// radix-4 butterfly; 8 points as two 4-point butterflies joined by the
// eighth roots; 16 and 32 points as four-by-four and four-by-eight
// decimation in frequency, two adjacent complex values per register. Every
// twiddle is an explicit product (four rounded products, then a difference
// and a sum). The scaled forms multiply each result word just before it is
// stored.
//
// All inputs are read before the first store, so src may equal dst.
#include <emmintrin.h>

#include <cstdint>
#include <type_traits>

#include "fft/fft_codelets.h"
#include "shared/simd_memory.h"

namespace {

// cos(k*pi/16) for k = 0..8, each the float nearest its value (0 and 1
// exact); sin(k*pi/16) is entry 8 - k.
constexpr float kCos16[9] = {1.0f,         0.980785251f, 0.923879504f, 0.831469595f, 0.707106769f,
                             0.555570245f, 0.382683426f, 0.195090324f, 0.0f};
constexpr float kHalfSqrt2 = 0.707106769f;
constexpr float kSqrt2 = 1.41421354f;

struct Root {
    float re, im;
};

// -x, but a zero stays +0.0, so the constants hold no negative zero.
constexpr float negated(float x) { return x == 0.0f ? 0.0f : -x; }

// exp(+i*pi*e/16), any integer e >= 0.
constexpr Root rootOf32(int e) {
    e %= 32;
    const float c = kCos16[e % 8], s = kCos16[8 - e % 8];
    switch (e / 8) {
        case 0: return {c, s};
        case 1: return {negated(s), c};
        case 2: return {negated(c), negated(s)};
        default: return {s, negated(c)};
    }
}

// ---- real codelets ----------------------------------------------------------

struct Cf {
    float re, im;
};

constexpr Cf conj(Cf a) { return {a.re, -a.im}; }
Cf operator+(Cf a, Cf b) { return {a.re + b.re, a.im + b.im}; }
Cf operator-(Cf a, Cf b) { return {a.re - b.re, a.im - b.im}; }
Cf timesI(Cf d) { return {-d.im, d.re}; }

// The factor of the first layer: none, or the scaled forms' factor.
struct Unscaled {
    float operator()(float x) const { return x; }
};
struct Scaled {
    float factor;
    float operator()(float x) const { return x * factor; }
};

// a*w for w = exp(+i*theta) = (cos theta, sin theta).
Cf rotate(Cf a, Root w) { return {a.re * w.re - a.im * w.im, a.im * w.re + a.re * w.im}; }

// The Perm spectrum of 2^Order points as bins: bin(k) for k = 0..N/2 (bins 0
// and N/2 real), taken at every `stride`-th slot of `bins`, so the even bins
// of a larger spectrum are a spectrum of their own.
struct Bins {
    const Cf* slots;
    int stride;
    Cf operator[](int k) const { return slots[k * stride]; }
    Bins even() const { return {slots, 2 * stride}; }
};

// N = 4: y = A +- 2 Re X1, B -+ 2 Im X1.
template <class Scale>
void realInverse2(Bins X, float* y, Scale f) {
    const float a = f(X[0].re + X[2].re), b = f(X[0].re - X[2].re);
    const float re = f(X[1].re + X[1].re), im = f(X[1].im + X[1].im);
    y[0] = a + re;
    y[2] = a - re;
    y[1] = b - im;
    y[3] = b + im;
}

// N = 8: the 4-point part from X0, X4, X2; bins 1 and 3 through the eighth
// roots with the factor 2 folded into sqrt(2).
template <class Scale>
void realInverse3(Bins X, float* y, Scale f) {
    const float p = f(X[0].re + X[4].re), m = f(X[0].re - X[4].re);
    const float re2 = f(X[2].re + X[2].re), im2 = f(X[2].im + X[2].im);
    const float e0 = p + re2, e2 = p - re2, e1 = m - im2, e3 = m + im2;
    const float sumRe = f(X[1].re + X[3].re), diffIm = f(X[1].im - X[3].im);
    const float diffRe = f(X[1].re - X[3].re), sumIm = f(X[1].im + X[3].im);
    const float c = sumRe + sumRe, d = diffIm + diffIm;
    const float g = kSqrt2 * (diffRe - sumIm), h = -kSqrt2 * (diffRe + sumIm);
    y[0] = e0 + c;
    y[4] = e0 - c;
    y[2] = e2 - d;
    y[6] = e2 + d;
    y[1] = e1 + g;
    y[5] = e1 - g;
    y[3] = e3 + h;
    y[7] = e3 - h;
}

// The inverse radix-4 butterfly of four bins (first layer scaled):
// Z_m = sum_j x_j i^(jm).
template <class Scale>
void binButterfly(Cf x0, Cf x1, Cf x2, Cf x3, Cf (&z)[4], Scale f) {
    const Cf s0{f(x0.re + x2.re), f(x0.im + x2.im)}, d0{f(x0.re - x2.re), f(x0.im - x2.im)};
    const Cf s1{f(x1.re + x3.re), f(x1.im + x3.im)}, d1{f(x1.re - x3.re), f(x1.im - x3.im)};
    z[0] = {s0.re + s1.re, s0.im + s1.im};
    z[2] = {s0.re - s1.re, s0.im - s1.im};
    z[1] = {d0.re - d1.im, d0.im + d1.re};
    z[3] = {d0.re + d1.im, d0.im - d1.re};
}

// N = 16: even bins by the order-3 graph; the odd part from the 4-point
// inverse of X1, X5, X9 = conj X7, X13 = conj X3, twiddled by
// exp(+2*pi*i*m/16), gives o_m = 2 Re T_m and o_(m+4) = -2 Im T_m.
template <class Scale>
void realInverse4(Bins X, float* y, Scale f) {
    float a[8];
    realInverse3(X.even(), a, f);
    Cf t[4];
    binButterfly(X[1], X[5], conj(X[7]), conj(X[3]), t, f);
    t[1] = rotate(t[1], rootOf32(2));
    t[2] = {(t[2].re - t[2].im) * kHalfSqrt2, (t[2].re + t[2].im) * kHalfSqrt2};
    t[3] = rotate(t[3], rootOf32(6));
    for (int m = 0; m < 4; ++m) {
        const float re = t[m].re + t[m].re, im = t[m].im + t[m].im;
        y[m] = a[m] + re;
        y[m + 8] = a[m] - re;
        y[m + 4] = a[m + 4] - im;
        y[m + 12] = a[m + 4] + im;
    }
}

// N = 32: even bins by the order-4 graph; the odd bins as the groups
// k = 1 + 8j and k = 3 + 8j (bins above 16 conjugates of their mirrors),
// each a 4-point inverse twiddled by exp(+2*pi*i*k0*m/32). With TA, TB the
// two groups' values at m, the odd part at m + 4p is 2 Re of
// TA*w^p + TB*w^(3p), w = exp(+i*pi/4).
template <class Scale>
void realInverse5(Bins X, float* y, Scale f) {
    float a[16];
    realInverse4(X.even(), a, f);
    Cf ta[4], tb[4];
    binButterfly(X[1], X[9], conj(X[15]), conj(X[7]), ta, f);
    binButterfly(X[3], X[11], conj(X[13]), conj(X[5]), tb, f);
    for (int m = 1; m < 4; ++m) {
        ta[m] = rotate(ta[m], rootOf32(m));
        tb[m] = rotate(tb[m], rootOf32(3 * m));
    }
    for (int m = 0; m < 4; ++m) {
        const float ar = ta[m].re, ai = ta[m].im, br = tb[m].re, bi = tb[m].im;
        const float sumRe = ar + br, diffIm = bi - ai;
        const float o0 = sumRe + sumRe, o8 = diffIm + diffIm;
        const float o4 = kSqrt2 * ((ar - bi) - (ai + br));
        const float o12 = -kSqrt2 * ((ar + bi) + (ai - br));
        const float o[4] = {o0, o4, o8, o12};
        for (int p = 0; p < 4; ++p) {
            const int n = m + 4 * p;
            y[n] = a[n] + o[p];
            y[n + 16] = a[n] - o[p];
        }
    }
}

template <int Order, class Scale>
void realInverseCodelet(const float* src, float* dst, Scale f) {
    constexpr int n = 1 << Order;
    Cf bins[n / 2 + 1];
    bins[0] = {dspLoad<float>(src), 0.0f};
    bins[n / 2] = {dspLoad<float>(src + 1), 0.0f};
    for (int k = 1; k < n / 2; ++k) bins[k] = {dspLoad<float>(src + 2 * k), dspLoad<float>(src + 2 * k + 1)};
    float y[n];
    const Bins X{bins, 1};
    if constexpr (Order == 2)
        realInverse2(X, y, f);
    else if constexpr (Order == 3)
        realInverse3(X, y, f);
    else if constexpr (Order == 4)
        realInverse4(X, y, f);
    else
        realInverse5(X, y, f);
    for (int i = 0; i < n; ++i) dspStore(dst + i, y[i]);
}

// ---- complex codelets -------------------------------------------------------

// Two adjacent complex values (re0, im0, re1, im1).
struct Pair {
    __m128 v;
};

Pair operator+(Pair a, Pair b) { return {_mm_add_ps(a.v, b.v)}; }
Pair operator-(Pair a, Pair b) { return {_mm_sub_ps(a.v, b.v)}; }

// i*d = (-d.im, d.re), exactly: the parts swapped, the new real part negated.
Pair timesI(Pair d) {
    const __m128 negateReal = _mm_castsi128_ps(_mm_set_epi32(0, INT32_MIN, 0, INT32_MIN));
    return {_mm_xor_ps(_mm_shuffle_ps(d.v, d.v, _MM_SHUFFLE(2, 3, 0, 1)), negateReal)};
}

// The inverse radix-4 butterfly: y0 = s0 + s1, y2 = s0 - s1, y1 = d0 + i*d1,
// y3 = d0 - i*d1 with s0, d0 = x0 +- x2 and s1, d1 = x1 +- x3.
template <class T>
void radix4(T& x0, T& x1, T& x2, T& x3) {
    const T s0 = x0 + x2, d0 = x0 - x2, s1 = x1 + x3, d1 = timesI(x1 - x3);
    x0 = s0 + s1;
    x2 = s0 - s1;
    x1 = d0 + d1;
    x3 = d0 - d1;
}

// The constants of one product of a pair by (t0, t1): (Re t0, Re t0, Re t1,
// Re t1) and (Im t0, -Im t0, Im t1, -Im t1).
struct alignas(16) PairTwiddle {
    float re[4];
    float im[4];
};

constexpr PairTwiddle pairTwiddle(Root t0, Root t1) {
    return {{t0.re, t0.re, t1.re, t1.re}, {t0.im, negated(t0.im), t1.im, negated(t1.im)}};
}

// (a.re*t.re - a.im*t.im, a.im*t.re + a.re*t.im) for both values.
Pair product(Pair a, const PairTwiddle& t) {
    const __m128 swapped = _mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(2, 3, 0, 1));
    return {_mm_sub_ps(_mm_mul_ps(a.v, _mm_load_ps(t.re)), _mm_mul_ps(swapped, _mm_load_ps(t.im)))};
}

// The low value of `kept`, the high value of `high`.
Pair lowFrom(Pair kept, Pair high) {
    return {_mm_castpd_ps(_mm_move_sd(_mm_castps_pd(high.v), _mm_castps_pd(kept.v)))};
}

Pair loadPair(const float* p) { return {_mm_loadu_ps(p)}; }
template <class Scale>
void storePair(float* p, Pair a, Scale f) {
    if constexpr (std::is_same_v<Scale, Scaled>)
        _mm_storeu_ps(p, _mm_mul_ps(a.v, _mm_set1_ps(f.factor)));
    else
        _mm_storeu_ps(p, a.v);
}

// Twiddles of the 4-by-Q decimation: for each j = 1..Q-1 the pairs
// (W^0, W^j) and (W^2j, W^3j), W = exp(+2*pi*i/(4Q)).
template <int Q>
struct QuarterTwiddles {
    PairTwiddle pairs[Q][2];
};

template <int Q>
constexpr QuarterTwiddles<Q> quarterTwiddles() {
    constexpr int step = 8 / Q;  // 32 / N
    QuarterTwiddles<Q> t{};
    for (int j = 1; j < Q; ++j) {
        t.pairs[j][0] = pairTwiddle(rootOf32(0), rootOf32(step * j));
        t.pairs[j][1] = pairTwiddle(rootOf32(step * 2 * j), rootOf32(step * 3 * j));
    }
    return t;
}

constexpr QuarterTwiddles<4> kTwiddles16 = quarterTwiddles<4>();
constexpr QuarterTwiddles<8> kTwiddles32 = quarterTwiddles<8>();
constexpr PairTwiddle kEighth1 = pairTwiddle(rootOf32(4), rootOf32(4));    // (h, h)
constexpr PairTwiddle kEighth3 = pairTwiddle(rootOf32(12), rootOf32(12));  // (-h, h)

// The 8-point inverse over z[0..7]: E = radix-4 of the even, O of the odd
// values; X[k] = E[k] + T[k], X[k+4] = E[k] - T[k] with T = O * w^k.
void eightPoint(Pair (&z)[8]) {
    Pair e[4] = {z[0], z[2], z[4], z[6]}, o[4] = {z[1], z[3], z[5], z[7]};
    radix4(e[0], e[1], e[2], e[3]);
    radix4(o[0], o[1], o[2], o[3]);
    const Pair t[4] = {o[0], product(o[1], kEighth1), timesI(o[2]), product(o[3], kEighth3)};
    for (int k = 0; k < 4; ++k) {
        z[k] = e[k] + t[k];
        z[k + 4] = e[k] - t[k];
    }
}

// N = 4Q points (Q = 4 or 8): Y[j] = radix-4 of x[j + Q*r]; Z[j][q] =
// Y[j][q] * W^(jq); then the Q-point transform over j for each q gives
// X[q + 4k]. Registers hold (Z[j][q], Z[j][q+1]), q even, so the results
// are adjacent pairs stored in place.
template <int Q, class Scale>
void complexQuarters(const float* src, float* dst, Scale f) {
    Pair z[2][Q];  // z[h][j] = (Z[j][2h], Z[j][2h+1])
    for (int j = 0; j < Q; j += 2) {
        Pair y[4];
        for (int r = 0; r < 4; ++r) y[r] = loadPair(src + 2 * (j + Q * r));
        radix4(y[0], y[1], y[2], y[3]);
        for (int h = 0; h < 2; ++h) {
            z[h][j] = {_mm_movelh_ps(y[2 * h].v, y[2 * h + 1].v)};
            z[h][j + 1] = {_mm_movehl_ps(y[2 * h + 1].v, y[2 * h].v)};
        }
    }
    const auto& twiddles = Q == 4 ? kTwiddles16.pairs : kTwiddles32.pairs;
    for (int j = 1; j < Q; ++j) {
        z[0][j] = lowFrom(z[0][j], product(z[0][j], twiddles[j][0]));  // W^0 leaves Z[j][0] as it is
        z[1][j] = product(z[1][j], twiddles[j][1]);
    }
    for (int h = 0; h < 2; ++h) {
        if constexpr (Q == 4)
            radix4(z[h][0], z[h][1], z[h][2], z[h][3]);
        else
            eightPoint(z[h]);
        for (int k = 0; k < Q; ++k) storePair(dst + 2 * (2 * h + 4 * k), z[h][k], f);
    }
}

// The 4- and 8-point members on scalar complex values.
Cf loadCf(const float* p, int i) { return {dspLoad<float>(p + 2 * i), dspLoad<float>(p + 2 * i + 1)}; }
template <class Scale>
void storeCf(float* p, int i, Cf a, Scale f) {
    dspStore(p + 2 * i, f(a.re));
    dspStore(p + 2 * i + 1, f(a.im));
}

template <class Scale>
void complexFour(const float* src, float* dst, Scale f) {
    Cf x[4];
    for (int i = 0; i < 4; ++i) x[i] = loadCf(src, i);
    radix4(x[0], x[1], x[2], x[3]);
    for (int i = 0; i < 4; ++i) storeCf(dst, i, x[i], f);
}

// The eighth roots as one difference or sum, then one product, per part.
template <class Scale>
void complexEight(const float* src, float* dst, Scale f) {
    Cf e[4], o[4];
    for (int i = 0; i < 4; ++i) {
        e[i] = loadCf(src, 2 * i);
        o[i] = loadCf(src, 2 * i + 1);
    }
    radix4(e[0], e[1], e[2], e[3]);
    radix4(o[0], o[1], o[2], o[3]);
    const Cf t[4] = {o[0],
                     {(o[1].re - o[1].im) * kHalfSqrt2, (o[1].im + o[1].re) * kHalfSqrt2},
                     timesI(o[2]),
                     {(o[3].re + o[3].im) * -kHalfSqrt2, (o[3].im - o[3].re) * -kHalfSqrt2}};
    for (int k = 0; k < 4; ++k) {
        storeCf(dst, k, e[k] + t[k], f);
        storeCf(dst, k + 4, e[k] - t[k], f);
    }
}

template <int Order, class Scale>
void complexInverseCodelet(const float* src, float* dst, Scale f) {
    if constexpr (Order == 2)
        complexFour(src, dst, f);
    else if constexpr (Order == 3)
        complexEight(src, dst, f);
    else
        complexQuarters<(1 << Order) / 4>(src, dst, f);
}

template <int Order>
void realPlain(const float* src, float* dst) {
    realInverseCodelet<Order>(src, dst, Unscaled{});
}
template <int Order>
void realScaled(const float* src, float* dst, float factor) {
    realInverseCodelet<Order>(src, dst, Scaled{factor});
}
template <int Order>
void complexPlain(const float* src, float* dst) {
    complexInverseCodelet<Order>(src, dst, Unscaled{});
}
template <int Order>
void complexScaled(const float* src, float* dst, float factor) {
    complexInverseCodelet<Order>(src, dst, Scaled{factor});
}

}  // namespace

// Orders 0 and 1: the forward block's bodies.
const FftCodeletBlock fftVectorInverseCodelets{
    {fftCodeletCopy, fftVectorTwoPoint, realPlain<2>, realPlain<3>, realPlain<4>, realPlain<5>},
    {fftVectorScaleOne, fftVectorTwoPointScaled, realScaled<2>, realScaled<3>, realScaled<4>, realScaled<5>},
    {fftCodeletCopyComplex, fftVectorComplexTwoPoint, complexPlain<2>, complexPlain<3>, complexPlain<4>,
     complexPlain<5>},
    {fftVectorScaleComplexOne, fftVectorComplexTwoPointScaled, complexScaled<2>, complexScaled<3>, complexScaled<4>,
     complexScaled<5>},
};
