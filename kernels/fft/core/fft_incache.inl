// One processor level of the vector variants' complex FFT (see
// fft_incache.cpp).
#include "simd_level_begin.inc"

#if DSP_LEVEL > 0

namespace {

// Four complex values as their four real and four imaginary parts.
struct Quad {
    __m128 re, im;
};

Quad operator+(Quad a, Quad b) { return {_mm_add_ps(a.re, b.re), _mm_add_ps(a.im, b.im)}; }
Quad operator-(Quad a, Quad b) { return {_mm_sub_ps(a.re, b.re), _mm_sub_ps(a.im, b.im)}; }

// -i*a in the forward direction, +i*a in the inverse one.
template <bool Inverse>
Quad rotateQuarter(Quad a) {
    const __m128 zero = _mm_setzero_ps();
    if constexpr (Inverse)
        return {_mm_sub_ps(zero, a.im), a.re};
    else
        return {a.im, _mm_sub_ps(zero, a.re)};
}

// a*w forward, a*conj(w) inverse; the tables hold the forward twiddles.
template <bool Inverse>
Quad twiddle(Quad a, const float* w) {
    const __m128 wr = _mm_load_ps(w), wi = _mm_load_ps(w + 4);
    if constexpr (Inverse)
        return {_mm_add_ps(_mm_mul_ps(a.re, wr), _mm_mul_ps(a.im, wi)),
                _mm_sub_ps(_mm_mul_ps(a.im, wr), _mm_mul_ps(a.re, wi))};
    else
        return {_mm_sub_ps(_mm_mul_ps(a.re, wr), _mm_mul_ps(a.im, wi)),
                _mm_add_ps(_mm_mul_ps(a.re, wi), _mm_mul_ps(a.im, wr))};
}

// Quad-split blocks in the 32-byte-aligned work area.
Quad loadBlock(const float* p) { return {_mm_load_ps(p), _mm_load_ps(p + 4)}; }
void storeBlock(float* p, Quad q) {
    _mm_store_ps(p, q.re);
    _mm_store_ps(p + 4, q.im);
}

// Four consecutive interleaved values from anywhere.
Quad loadInterleaved(const float* p) {
    const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);
    return {_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)), _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))};
}
void storeInterleaved(float* p, Quad q) {
    _mm_storeu_ps(p, _mm_unpacklo_ps(q.re, q.im));
    _mm_storeu_ps(p + 4, _mm_unpackhi_ps(q.re, q.im));
}

// The four-point DFT of (x0, x1, x2, x3), natural order in and out.
template <bool Inverse>
void dft4(Quad& x0, Quad& x1, Quad& x2, Quad& x3) {
    const Quad a0 = x0 + x2, a1 = x0 - x2, a2 = x1 + x3, a3 = rotateQuarter<Inverse>(x1 - x3);
    x0 = a0 + a2;
    x1 = a1 + a3;
    x2 = a0 - a2;
    x3 = a1 - a3;
}

// Lane j of the four quads y[0..3] becomes the block at `dst` + offsets[j]:
// the four values of one short transform side by side.
void storeTransposed(float* dst, const std::int64_t (&offsets)[4], const Quad (&y)[4]) {
    __m128 re0 = y[0].re, re1 = y[1].re, re2 = y[2].re, re3 = y[3].re;
    __m128 im0 = y[0].im, im1 = y[1].im, im2 = y[2].im, im3 = y[3].im;
    _MM_TRANSPOSE4_PS(re0, re1, re2, re3);
    _MM_TRANSPOSE4_PS(im0, im1, im2, im3);
    storeBlock(dst + offsets[0], {re0, im0});
    storeBlock(dst + offsets[1], {re1, im1});
    storeBlock(dst + offsets[2], {re2, im2});
    storeBlock(dst + offsets[3], {re3, im3});
}

// First pass, four points: in bit-reversed order block q holds the values
// r, r + M/4, r + M/2, r + 3M/4 of the source (r = rev(q) over m-2 bits), so
// its four-point DFT reads four strided quads for the four r from r0 and
// writes four blocks. bitRev[r] = 2*rev(r).
template <bool Inverse>
void firstPassRadix4(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev) {
    const std::int64_t quarter = n / 4;
    for (std::int64_t r0 = 0; r0 < quarter; r0 += 4) {
        Quad y[4];
        for (int t = 0; t < 4; ++t) y[t] = loadInterleaved(src + 2 * (r0 + t * quarter));
        dft4<Inverse>(y[0], y[1], y[2], y[3]);
        const std::int64_t offsets[4] = {4 * std::int64_t{bitRev[r0]}, 4 * std::int64_t{bitRev[r0 + 1]},
                                         4 * std::int64_t{bitRev[r0 + 2]}, 4 * std::int64_t{bitRev[r0 + 3]}};
        storeTransposed(work, offsets, y);
    }
}

// First pass, eight points (the SSE2 plan for odd orders): the blocks 2q'
// and 2q'+1 hold the values r + t*M/8, t = 0..7, in bit-reversed order, with
// r = rev(q') over m-3 bits; bitRev[2r] = 2*rev(r) over m-3 bits.
template <bool Inverse>
void firstPassRadix8(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev) {
    const std::int64_t eighth = n / 8;
    const __m128 c = _mm_set1_ps(fftSineTable1024[128]);  // sqrt(1/2)
    for (std::int64_t r0 = 0; r0 < eighth; r0 += 4) {
        Quad e[4], o[4];
        for (int t = 0; t < 4; ++t) {
            e[t] = loadInterleaved(src + 2 * (r0 + 2 * t * eighth));
            o[t] = loadInterleaved(src + 2 * (r0 + (2 * t + 1) * eighth));
        }
        dft4<Inverse>(e[0], e[1], e[2], e[3]);
        dft4<Inverse>(o[0], o[1], o[2], o[3]);
        // W8^1, W8^2, W8^3 on the odd half (conjugated inverse).
        const __m128 s1 = _mm_mul_ps(_mm_add_ps(o[1].re, o[1].im), c);
        const __m128 d1 = _mm_mul_ps(_mm_sub_ps(o[1].im, o[1].re), c);
        const __m128 s3 = _mm_mul_ps(_mm_add_ps(o[3].re, o[3].im), c);
        const __m128 d3 = _mm_mul_ps(_mm_sub_ps(o[3].im, o[3].re), c);
        const __m128 zero = _mm_setzero_ps();
        if constexpr (Inverse) {
            o[1] = {_mm_sub_ps(zero, d1), s1};          // (1+i)/sqrt2 * o1
            o[3] = {_mm_sub_ps(zero, s3), _mm_sub_ps(zero, d3)};  // (-1+i)/sqrt2 * o3
        } else {
            o[1] = {s1, d1};                            // (1-i)/sqrt2 * o1
            o[3] = {d3, _mm_sub_ps(zero, s3)};          // (-1-i)/sqrt2 * o3
        }
        o[2] = rotateQuarter<Inverse>(o[2]);
        const Quad lo[4] = {e[0] + o[0], e[1] + o[1], e[2] + o[2], e[3] + o[3]};
        const Quad hi[4] = {e[0] - o[0], e[1] - o[1], e[2] - o[2], e[3] - o[3]};
        std::int64_t offsets[4];
        for (int lane = 0; lane < 4; ++lane) offsets[lane] = 8 * std::int64_t{bitRev[2 * (r0 + lane)]};
        storeTransposed(work, offsets, lo);
        for (std::int64_t& offset : offsets) offset += 8;
        storeTransposed(work, offsets, hi);
    }
}

// One radix-4 stage of length len over the quad-split data: the quarters
// hold the transforms of the values 0, 2, 1, 3 mod 4 of each group. The
// twiddle records (W^k, W^2k, W^3k for four k, 24 floats) are shared by
// every group. The last stage writes interleaved values to `out`.
template <bool Inverse, bool Last>
void radix4Stage(float* work, float* out, std::int64_t n, std::int64_t len, const float* twiddles) {
    const std::int64_t quarter = len / 4;
    for (std::int64_t g = 0; g < n; g += len) {
        const float* w = twiddles;
        for (std::int64_t k = g; k < g + quarter; k += 4, w += 24) {
            const Quad x0 = loadBlock(work + 2 * k);
            const Quad b1 = twiddle<Inverse>(loadBlock(work + 2 * (k + quarter)), w + 8);
            const Quad b2 = twiddle<Inverse>(loadBlock(work + 2 * (k + 2 * quarter)), w);
            const Quad b3 = twiddle<Inverse>(loadBlock(work + 2 * (k + 3 * quarter)), w + 16);
            const Quad sum = x0 + b1, diff = x0 - b1, outer = b2 + b3;
            const Quad inner = rotateQuarter<Inverse>(b2 - b3);
            const Quad y[4] = {sum + outer, diff + inner, sum - outer, diff - inner};
            for (int j = 0; j < 4; ++j) {
                if constexpr (Last)
                    storeInterleaved(out + 2 * (k + j * quarter), y[j]);
                else
                    storeBlock(work + 2 * (k + j * quarter), y[j]);
            }
        }
    }
}

// The closing radix-2 stage over the whole length (odd orders, SSE3 and
// above): twiddles W^k for k < n/2, eight floats per four k.
template <bool Inverse>
void radix2LastStage(const float* work, float* out, std::int64_t n, const float* twiddles) {
    const std::int64_t half = n / 2;
    for (std::int64_t k = 0; k < half; k += 4, twiddles += 8) {
        const Quad x0 = loadBlock(work + 2 * k);
        const Quad b = twiddle<Inverse>(loadBlock(work + 2 * (k + half)), twiddles);
        storeInterleaved(out + 2 * k, x0 + b);
        storeInterleaved(out + 2 * (k + half), x0 - b);
    }
}

template <bool Inverse>
void transform(const float* src, float* dst, std::int64_t n, const float* twiddles, const std::int32_t* bitRev,
               float* work) {
    int m = 0;
    while ((std::int64_t{1} << m) < n) ++m;
    // SSE2 takes the odd factor first, the others last (the twiddle tables
    // are laid out in this order).
    const bool eightFirst = kLevel == 1 && m % 2 == 1;
    const bool twoLast = kLevel > 1 && m % 2 == 1;
    std::int64_t len;
    if (eightFirst) {
        firstPassRadix8<Inverse>(src, work, n, bitRev);
        len = 32;
    } else {
        firstPassRadix4<Inverse>(src, work, n, bitRev);
        len = 16;
    }
    const std::int64_t lastRadix4 = twoLast ? n / 2 : n;
    for (; len <= lastRadix4; len *= 4) {
        if (len == n)
            radix4Stage<Inverse, true>(work, dst, n, len, twiddles);
        else
            radix4Stage<Inverse, false>(work, dst, n, len, twiddles);
        twiddles += 6 * (len / 4);
    }
    if (twoLast) radix2LastStage<Inverse>(work, dst, n, twiddles);
}

}  // namespace

void fftInCacheForward(const float* src, float* dst, std::int64_t n, const float* twiddles,
                       const std::int32_t* bitRev, float* work) {
    transform<false>(src, dst, n, twiddles, bitRev, work);
}

void fftInCacheInverse(const float* src, float* dst, std::int64_t n, const float* twiddles,
                       const std::int32_t* bitRev, float* work) {
    transform<true>(src, dst, n, twiddles, bitRev, work);
}

#endif

#include "simd_level_end.inc"
