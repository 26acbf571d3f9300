// One processor level of the inverse in-cache transform (see
// fft_incache_inverse.cpp).
//
// The first pass reads the source in bit-reversed order and leaves split
// blocks in the work area; radix-4 passes run there in place; the final pass
// writes the destination as interleaved pairs. SSE4.1 and SSSE3 (one
// routine) and SSE3 run the same stages, so their results agree bit for bit:
// SSE3 only blocks its early passes over 1024 values where SSE4.1 blocks
// over 2048 from 4096 values on, and reads its bases from the table where
// SSE4.1 reads them in four quarters from 2048 values on. SSE2 takes the
// odd factor of an odd order into its first pass (eight-point transforms)
// and, from 16384 values, the whole span-4 stage (sixteen-point
// transforms), and never blocks.
#include "simd_level_begin.inc"

#if DSP_LEVEL > 0

namespace {

#include "engines/fft_split_blocks.inl"

bool aligned16(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 15) == 0; }

// ---- pairs: two adjacent complex values in one vector ------------------------

template <bool Aligned>
__m128 loadPair(const float* p) {
    if constexpr (Aligned)
        return _mm_load_ps(p);
    else
        return _mm_loadu_ps(p);
}

// Two complex values from anywhere, one 8-byte half each.
__m128 loadHalves(const float* low, const float* high) {
    const __m128 l = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(low));
    return _mm_loadh_pi(l, reinterpret_cast<const __m64*>(high));
}

// -i*v of both values of a pair: the real parts negated by the block's
// lanes-0-and-2 mask, then each value's parts exchanged (exact).
__m128 minusIPairs(__m128 v) {
    const __m128 negated = _mm_xor_ps(v, _mm_load_ps(kInverseConstants.signLanes02));
    return _mm_shuffle_ps(negated, negated, _MM_SHUFFLE(2, 3, 0, 1));
}

// The four-point inverse DFTs of two bases at once: a_t holds both bases'
// values of quarter t, natural order in and out.
void inverseDft4Pairs(__m128 (&a)[4]) {
    const __m128 p = _mm_add_ps(a[0], a[2]), q = _mm_sub_ps(a[0], a[2]);
    const __m128 u = _mm_add_ps(a[1], a[3]), w = minusIPairs(_mm_sub_ps(a[1], a[3]));
    a[0] = _mm_add_ps(p, u);
    a[1] = _mm_sub_ps(q, w);  // q + i*v
    a[2] = _mm_sub_ps(p, u);
    a[3] = _mm_add_ps(q, w);  // q - i*v
}

// o*exp(+i*pi*k/4) of both values of a pair, as the products with both
// constants of the block's lane k.
__m128 eighthRootPairs(__m128 o, int k) {
    const __m128 c = _mm_set1_ps(kInverseConstants.cosine[k]), s = _mm_set1_ps(kInverseConstants.negSine[k]);
    return _mm_add_ps(_mm_mul_ps(o, c), _mm_mul_ps(minusIPairs(o), s));
}

// Four results y0..y3 of two bases (pairs) to the split block of each.
void storeSplitPairs(float* first, float* second, const __m128 (&y)[4]) {
    const __m128 a = _mm_unpacklo_ps(y[0], y[1]), b = _mm_unpacklo_ps(y[2], y[3]);
    const __m128 c = _mm_unpackhi_ps(y[0], y[1]), d = _mm_unpackhi_ps(y[2], y[3]);
    _mm_store_ps(first, _mm_movelh_ps(a, b));
    _mm_store_ps(first + 4, _mm_movehl_ps(b, a));
    _mm_store_ps(second, _mm_movelh_ps(c, d));
    _mm_store_ps(second + 4, _mm_movehl_ps(d, c));
}

// ---- first passes --------------------------------------------------------------
//
// Split block i ends up holding the four-point inverse DFT of the values
// rev(m, 4i) + t*n/4, t = 0..3 (the first passes that fold in more stages
// go on from there). The bit-reverse table holds T[k] = 2*rev(m-2, k) and a
// closing 0 at T[n/4]: T[4s] = rev(m, 8s) and 2*T[4s] = rev(m, 4s).

// Two steps per table entry: bases r = rev(m, 8s) and r + n/8 each with
// their neighbour, filling blocks 2s, 2s + n/8 and 2s + 1, 2s + 1 + n/8.
// SSE4.1 adds n/8, SSE3 and SSE2 read the second base from T[4s + 2].
template <bool AlignedSrc>
void gatherTwoStep(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev) {
    const std::int64_t quarter = n / 4, eighth = n / 8;
    std::int64_t s = 0, r = 0;
    do {
        const std::int64_t second = kLevel >= 3 ? r + eighth : bitRev[4 * s + 2];
        const std::int64_t bases[2] = {r, second};
        for (int h = 0; h < 2; ++h) {
            __m128 a[4];
            for (int t = 0; t < 4; ++t) a[t] = loadPair<AlignedSrc>(src + 2 * (bases[h] + t * quarter));
            inverseDft4Pairs(a);
            storeSplitPairs(work + 8 * (2 * s + h), work + 8 * (2 * s + h + eighth), a);
        }
        r = bitRev[4 * ++s];
    } while (r != 0);
}

// Four quarters (SSE4.1 and SSSE3, from 2048 values with an aligned
// source): 32 contiguous bytes of each quarter from r = rev(m, 4s), the
// bases r..r+3 filling blocks s, s + n/8, s + n/16 and s + 3n/16.
void gatherFourQuarters(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev) {
    const std::int64_t quarter = n / 4, eighth = n / 8, sixteenth = n / 16;
    std::int64_t s = 0, r = 0;
    do {
        __m128 a[4], b[4];
        for (int t = 0; t < 4; ++t) {
            a[t] = _mm_load_ps(src + 2 * (r + t * quarter));
            b[t] = _mm_load_ps(src + 2 * (r + t * quarter) + 4);
        }
        inverseDft4Pairs(a);
        inverseDft4Pairs(b);
        storeSplitPairs(work + 8 * s, work + 8 * (s + eighth), a);
        storeSplitPairs(work + 8 * (s + sixteenth), work + 8 * (s + 3 * sixteenth), b);
        r = 2 * std::int64_t{bitRev[4 * ++s]};
    } while (r != 0);
}

// Eight points (SSE2, odd m): positions 8s..8s+7 (two blocks) take the
// eight-point inverse DFT of the values r + t*n/8, t = 0..7, with r =
// rev(m-3, s) = T[4s], and positions 8s + n/2..8s + n/2 + 7 that of r + 1:
// the four-point DFTs of the even and of the odd t, joined by the block's
// eighth roots. The steps walk the source in order (r = 2i, s = T[4i]/2 =
// rev(m-4, i)), so consecutive steps read on along the same lines and each
// writes its blocks whole; walking the blocks in order would read every
// source line in four far-apart steps, which costs a tenth of the transform
// from 8192 values on.
template <bool AlignedSrc>
void gatherRadix8(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev) {
    const std::int64_t quarter = n / 4, eighth = n / 8;
    for (std::int64_t i = 0; i < n / 16; ++i) {
        const std::int64_t r = 2 * i, odd = r + eighth, s = bitRev[4 * i] / 2;
        __m128 e[4], o[4];
        for (int t = 0; t < 4; ++t) {
            e[t] = loadPair<AlignedSrc>(src + 2 * (r + t * quarter));
            o[t] = loadPair<AlignedSrc>(src + 2 * (odd + t * quarter));
        }
        inverseDft4Pairs(e);
        inverseDft4Pairs(o);
        __m128 low[4], high[4];
        for (int k = 0; k < 4; ++k) {
            const __m128 z = eighthRootPairs(o[k], k);
            low[k] = _mm_add_ps(e[k], z);
            high[k] = _mm_sub_ps(e[k], z);
        }
        storeSplitPairs(work + 16 * s, work + 16 * s + 8 * eighth, low);
        storeSplitPairs(work + 16 * s + 8, work + 16 * s + 8 * eighth + 8, high);
    }
}

// Sixteen points: the four-point inverse DFTs of x[b_t + u*stride], u =
// 0..3, for the four bases b_t side by side, then the span-4 radix-4
// butterfly across them with the table's first row; quad t holds outputs
// 4t..4t+3. The same operations as a first pass followed by a span-4 pass.
void sixteenPoints(const float* src, const std::int64_t (&bases)[4], std::int64_t stride, const TwiddleRow& row,
                   Quad (&out)[4]) {
    Quad x[4];
    for (int u = 0; u < 4; ++u) {
        const float* at = src + 2 * u * stride;
        const __m128 lo = loadHalves(at + 2 * bases[0], at + 2 * bases[1]);
        const __m128 hi = loadHalves(at + 2 * bases[2], at + 2 * bases[3]);
        x[u] = {_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0)), _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))};
    }
    dft4<true>(x[0], x[1], x[2], x[3]);
    _MM_TRANSPOSE4_PS(x[0].re, x[1].re, x[2].re, x[3].re);
    _MM_TRANSPOSE4_PS(x[0].im, x[1].im, x[2].im, x[3].im);
    radix4Butterfly<true>(x[0], x[1], x[2], x[3], row);
    for (int t = 0; t < 4; ++t) out[t] = x[t];
}

// Sixteen points (SSE2, even m from 16384 values): the first pass and the
// span-4 stage in one. Positions 16s..16s+15 take the sixteen-point inverse
// DFT of the values j + t*n/16, t = 0..15 (j = rev(m-4, s)): bases j, j +
// n/8, j + n/16 and j + 3n/16 (T[4s + t]/2) with their quarters. Walked in
// source order, j = 0, 1, .. with s = T[4j]/2, for the same reason as the
// eight-point pass: in block order each source line is read in eight
// far-apart steps, a fifth slower at 16384 values.
void gatherRadix16(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev, const float* row0) {
    const TwiddleRow row = loadRow(row0);
    for (std::int64_t j = 0; j < n / 16; ++j) {
        const std::int64_t s = bitRev[4 * j] / 2;
        const std::int64_t bases[4] = {j, j + n / 8, j + n / 16, j + 3 * n / 16};
        Quad y[4];
        sixteenPoints(src, bases, n / 4, row, y);
        for (int t = 0; t < 4; ++t) storeBlock(work + 32 * s + 8 * t, y[t]);
    }
}

// ---- radix-4 passes on the work area -------------------------------------------

// `groups` groups of 4L positions in place, L = span; every group reads the
// same L/4 rows.
void radix4Pass(float* work, std::int64_t groups, std::int64_t span, const float* rows) {
    const auto butterfly = [span](float* at, const TwiddleRow& row) {
        Quad a[4];
        for (int t = 0; t < 4; ++t) a[t] = loadBlock(at + 2 * t * span);
        radix4Butterfly<true>(a[0], a[1], a[2], a[3], row);
        for (int t = 0; t < 4; ++t) storeBlock(at + 2 * t * span, a[t]);
    };
    if (span == 4) {
        // One row for the whole pass, two groups a step.
        const TwiddleRow row = loadRow(rows);
        for (std::int64_t g = 0; g < groups; g += 2) {
            butterfly(work + 32 * g, row);
            butterfly(work + 32 * g + 32, row);
        }
        return;
    }
    // Eight positions (two rows) a step.
    for (std::int64_t g = 0; g < groups; ++g) {
        float* const group = work + 8 * span * g;
        for (std::int64_t k = 0; k < span; k += 8) {
            butterfly(group + 2 * k, loadRow(rows + 6 * k));
            butterfly(group + 2 * k + 8, loadRow(rows + 6 * k + 24));
        }
    }
}

// The passes of spans 4, 16, 64 and 256 on one block of `length` values;
// returns the rows after the span-256 stage.
const float* earlyPasses(float* block, std::int64_t length, const float* rows) {
    for (std::int64_t span = 4; span <= 256; span *= 4) {
        radix4Pass(block, length / (4 * span), span, rows);
        rows += 6 * span;
    }
    return rows;
}

// ---- final passes into the destination ----------------------------------------

// Four results as interleaved pairs at dst + 2*k: whole vectors when dst is
// aligned, 8-byte halves when not (whole unaligned vectors where Wide).
template <bool AlignedDst, bool Wide = false>
void storeResults(float* p, Quad q) {
    const __m128 low = _mm_unpacklo_ps(q.re, q.im), high = _mm_unpackhi_ps(q.re, q.im);
    if constexpr (AlignedDst) {
        _mm_store_ps(p, low);
        _mm_store_ps(p + 4, high);
    } else if constexpr (Wide) {
        _mm_storeu_ps(p, low);
        _mm_storeu_ps(p + 4, high);
    } else {
        _mm_storel_pi(reinterpret_cast<__m64*>(p), low);
        _mm_storeh_pi(reinterpret_cast<__m64*>(p + 2), low);
        _mm_storel_pi(reinterpret_cast<__m64*>(p + 4), high);
        _mm_storeh_pi(reinterpret_cast<__m64*>(p + 6), high);
    }
}

// One group of span L = n/4 from the work area into dst, four positions a
// step, each step reading all its legs before it writes (dst may be the
// work area).
template <bool AlignedDst>
void finalRadix4(const float* work, float* dst, std::int64_t span, const float* rows) {
    for (std::int64_t k = 0; k < span; k += 4, rows += 24) {
        Quad a[4];
        for (int t = 0; t < 4; ++t) a[t] = loadBlock(work + 2 * (k + t * span));
        radix4Butterfly<true>(a[0], a[1], a[2], a[3], loadRow(rows));
        for (int t = 0; t < 4; ++t) storeResults<AlignedDst>(dst + 2 * (k + t * span), a[t]);
    }
}

// The radix-2 stage of span L = n/2 (odd m, SSE4.1 to SSE3): b =
// A[k + L]*conj(W^k), A[k] + b and A[k] - b; eight positions a step. SSE3
// writes an unaligned destination in whole vectors, the others in halves.
template <bool AlignedDst>
void finalRadix2(const float* work, float* dst, std::int64_t span, const float* rows) {
    for (std::int64_t k = 0; k < span; k += 8, rows += 16) {
        Quad a[2], b[2];
        for (int h = 0; h < 2; ++h) {
            a[h] = loadBlock(work + 2 * (k + 4 * h));
            b[h] = twiddle<true>(loadBlock(work + 2 * (k + 4 * h + span)), loadBlock(rows + 8 * h));
        }
        for (int h = 0; h < 2; ++h) {
            storeResults<AlignedDst, kLevel == 2>(dst + 2 * (k + 4 * h), b[h] + a[h]);
            storeResults<AlignedDst, kLevel == 2>(dst + 2 * (k + 4 * h + span), a[h] - b[h]);
        }
    }
}

void finalPassRadix4(const float* work, float* dst, std::int64_t n, const float* rows) {
    if (aligned16(dst))
        finalRadix4<true>(work, dst, n / 4, rows);
    else
        finalRadix4<false>(work, dst, n / 4, rows);
}

void finalPassRadix2(const float* work, float* dst, std::int64_t n, const float* rows) {
    if (aligned16(dst))
        finalRadix2<true>(work, dst, n / 2, rows);
    else
        finalRadix2<false>(work, dst, n / 2, rows);
}

// ---- the small sizes without work area -------------------------------------------

// Eight values: the four-point inverse DFTs of the even (lanes 0-1) and the
// odd values (lanes 2-3) side by side, joined by the block's eighth roots.
void eightPoints(const float* src, float* dst) {
    __m128 v[4];
    for (int j = 0; j < 4; ++j) v[j] = loadHalves(src + 4 * j, src + 4 * j + 2);
    inverseDft4Pairs(v);
    __m128 low[4], high[4];
    for (int k = 0; k < 4; ++k) {
        const __m128 z = eighthRootPairs(_mm_movehl_ps(v[k], v[k]), k);
        low[k] = _mm_add_ps(v[k], z);
        high[k] = _mm_sub_ps(v[k], z);
    }
    for (int k = 0; k < 4; ++k) {
        _mm_storel_pi(reinterpret_cast<__m64*>(dst + 2 * k), low[k]);
        _mm_storel_pi(reinterpret_cast<__m64*>(dst + 2 * k + 8), high[k]);
    }
}

// Sixteen values (SSE2): the first pass's bases 0, 2, 1, 3 with the span-4
// stage, straight into dst.
void sixteenPointPath(const float* src, float* dst, const float* rows) {
    static constexpr std::int64_t kBases[4] = {0, 2, 1, 3};
    Quad y[4];
    sixteenPoints(src, kBases, 4, loadRow(rows), y);
    for (int t = 0; t < 4; ++t) storeResults<false>(dst + 8 * t, y[t]);
}

// ---- the members ------------------------------------------------------------------

float* workArea(const float* src, float* dst, float* work) { return src != dst && aligned16(dst) ? dst : work; }

// The first pass every variant shares with SSE3's: two steps per table entry.
void gatherTwoStepAny(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev) {
    if (aligned16(src))
        gatherTwoStep<true>(src, work, n, bitRev);
    else
        gatherTwoStep<false>(src, work, n, bitRev);
}

// SSE4.1, SSSE3 and SSE3: radix-4 passes while at least two groups remain
// (the early ones block by block above the level's block length), then a
// final radix-4 pass (even m) or radix-2 pass (odd m).
void inCacheSse(const float* src, float* dst, std::int64_t n, const float* twiddles, const std::int32_t* bitRev,
                float* work) {
    constexpr std::int64_t kBlock = kLevel >= 3 ? 2048 : 1024;
    if (kLevel >= 3 && n >= 2048 && aligned16(src))
        gatherFourQuarters(src, work, n, bitRev);
    else
        gatherTwoStepAny(src, work, n, bitRev);
    const float* rows = twiddles;
    std::int64_t span = 4;
    if (n > kBlock) {
        for (std::int64_t block = 0; block < n; block += kBlock) rows = earlyPasses(work + 2 * block, kBlock, twiddles);
        span = 1024;
    }
    for (; n / (4 * span) >= 2; span *= 4) {
        radix4Pass(work, n / (4 * span), span, rows);
        rows += 6 * span;
    }
    if (n / (4 * span) == 1)
        finalPassRadix4(work, dst, n, rows);
    else
        finalPassRadix2(work, dst, n, rows);
}

// SSE2: the first pass by the parity of m (n & 0x55555555 is non-zero for
// even m) and by size, radix-4 passes over the whole work area until one
// group is left, always the final radix-4 pass.
void inCacheSse2(const float* src, float* dst, std::int64_t n, const float* twiddles, const std::int32_t* bitRev,
                 float* work) {
    const float* rows = twiddles;
    std::int64_t span;
    if ((n & 0x55555555) == 0) {
        if (aligned16(src))
            gatherRadix8<true>(src, work, n, bitRev);
        else
            gatherRadix8<false>(src, work, n, bitRev);
        span = 8;
    } else if (n < 16384) {
        gatherTwoStepAny(src, work, n, bitRev);
        span = 4;
    } else {
        gatherRadix16(src, work, n, bitRev, twiddles);
        rows += 24;
        span = 16;
    }
    for (std::int64_t groups = n / (4 * span); groups != 1; groups /= 4, span *= 4) {
        radix4Pass(work, groups, span, rows);
        rows += 6 * span;
    }
    finalPassRadix4(work, dst, n, rows);
}

}  // namespace

void fftInCacheInverse(const float* src, float* dst, std::int64_t n, const float* twiddles,
                       const std::int32_t* bitRev, float* work) {
    if (n == 8) {
        eightPoints(src, dst);
        return;
    }
    if constexpr (kLevel == 1) {
        if (n == 16) {
            sixteenPointPath(src, dst, twiddles);
            return;
        }
        inCacheSse2(src, dst, n, twiddles, bitRev, workArea(src, dst, work));
    } else {
        inCacheSse(src, dst, n, twiddles, bitRev, workArea(src, dst, work));
    }
}

#endif

#include "simd_level_end.inc"
