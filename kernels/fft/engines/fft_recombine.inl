// One processor level of the real split and pre-split (see fft_recombine.cpp).
#include "simd_level_begin.inc"

#if DSP_LEVEL > 0

namespace {

// Four bins k0+1..k0+4 and their partners n-k0-1..n-k0-4, in the lane order
// 2, 1, 4, 3 of the split tables (a partner in the lane of its bin).
struct BinGroup {
    __m128 ar, ai, br, bi;
};

BinGroup loadGroup(const float* front, const float* partner) {
    const __m128 f0 = _mm_loadu_ps(front), f1 = _mm_loadu_ps(front + 4);
    const __m128 p0 = _mm_loadu_ps(partner), p1 = _mm_loadu_ps(partner + 4);
    return {_mm_shuffle_ps(f0, f1, _MM_SHUFFLE(0, 2, 0, 2)), _mm_shuffle_ps(f0, f1, _MM_SHUFFLE(1, 3, 1, 3)),
            _mm_shuffle_ps(p1, p0, _MM_SHUFFLE(2, 0, 2, 0)), _mm_shuffle_ps(p1, p0, _MM_SHUFFLE(3, 1, 3, 1))};
}

// (xr, xi) to the bins, (yr, yi) to the partners, back in slot order.
void storeGroup(float* front, float* partner, __m128 xr, __m128 xi, __m128 yr, __m128 yi) {
    const __m128 lo = _mm_unpacklo_ps(xr, xi), hi = _mm_unpackhi_ps(xr, xi);
    _mm_storeu_ps(front, _mm_shuffle_ps(lo, lo, _MM_SHUFFLE(1, 0, 3, 2)));
    _mm_storeu_ps(front + 4, _mm_shuffle_ps(hi, hi, _MM_SHUFFLE(1, 0, 3, 2)));
    _mm_storeu_ps(partner, _mm_unpackhi_ps(yr, yi));
    _mm_storeu_ps(partner + 4, _mm_unpacklo_ps(yr, yi));
}

}  // namespace

// For bin k and its partner k' = n - k, with Z[k] = (ar, ai), Z[k'] = (br,
// bi) and the table's A(k) = cos/2, B(k) = (1 - sin)/2, every operation
// rounded to float:
//   D = ar - br, E = ai + bi, T = E*A + D*B, U = B*E - A*D,
//   X[k] = (br + T, U - bi), X[k'] = (ar - T, U - ai).
void realFftRecombine(float* data, std::int64_t n, const float* splitFwd) {
    // The middle bin is its own partner: it only changes the sign of its
    // imaginary part. Its lane in the last group is computed like the others
    // (the loads are shared) but it is stored again below.
    const float middleRe = dspLoad<float>(data + n), middleIm = dspLoad<float>(data + n + 1);
    for (std::int64_t k0 = 0; k0 < n / 2; k0 += 4, splitFwd += 8) {
        float* front = data + 2 * (k0 + 1);
        float* partner = data + 2 * (n - k0 - 4);
        const BinGroup z = loadGroup(front, partner);
        const __m128 a = _mm_load_ps(splitFwd), b = _mm_load_ps(splitFwd + 4);
        const __m128 d = _mm_sub_ps(z.ar, z.br), e = _mm_add_ps(z.ai, z.bi);
        const __m128 t = _mm_add_ps(_mm_mul_ps(e, a), _mm_mul_ps(d, b));
        const __m128 u = _mm_sub_ps(_mm_mul_ps(b, e), _mm_mul_ps(a, d));
        storeGroup(front, partner, _mm_add_ps(z.br, t), _mm_sub_ps(u, z.bi), _mm_sub_ps(z.ar, t),
                   _mm_sub_ps(u, z.ai));
    }
    dspStore(data + n, middleRe);
    dspStore(data + n + 1, -middleIm);
}

// For bin k and its partner, with X[k] = (ar, ai), X[k'] = (br, bi) and the
// table's (c, s) = (cos, -sin) of pi*k/n:
//   S = (ar + br, ai - bi), D = (ar - br, ai + bi),
//   T = s*Dr - c*Di, U = c*Dr + s*Di,
//   Z[k] = (Sr + T, Si + U), Z[k'] = (Sr - T, U - Si).
void realFftRecombineInverse(const float* src, float* dst, std::int64_t n, const float* splitInv) {
    const float middleRe = dspLoad<float>(src + n), middleIm = dspLoad<float>(src + n + 1);
    for (std::int64_t k0 = 0; k0 < n / 2; k0 += 4, splitInv += 8) {
        const BinGroup x = loadGroup(src + 2 * (k0 + 1), src + 2 * (n - k0 - 4));
        const __m128 c = _mm_load_ps(splitInv), s = _mm_load_ps(splitInv + 4);
        const __m128 sr = _mm_add_ps(x.ar, x.br), si = _mm_sub_ps(x.ai, x.bi);
        const __m128 dr = _mm_sub_ps(x.ar, x.br), di = _mm_add_ps(x.ai, x.bi);
        const __m128 t = _mm_sub_ps(_mm_mul_ps(s, dr), _mm_mul_ps(c, di));
        const __m128 u = _mm_add_ps(_mm_mul_ps(c, dr), _mm_mul_ps(s, di));
        storeGroup(dst + 2 * (k0 + 1), dst + 2 * (n - k0 - 4), _mm_add_ps(sr, t), _mm_add_ps(si, u),
                   _mm_sub_ps(sr, t), _mm_sub_ps(u, si));
    }
    // The middle bin is its own partner: twice the bin, conjugated.
    dspStore(dst + n, middleRe + middleRe);
    dspStore(dst + n + 1, -(middleIm + middleIm));
}

#endif

#include "simd_level_end.inc"
