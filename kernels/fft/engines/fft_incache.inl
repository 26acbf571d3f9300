// One processor level of the vector variants' complex FFT (see
// fft_incache.cpp).
#include "simd_level_begin.inc"

#if DSP_LEVEL > 0

namespace {

#include "engines/fft_split_blocks.inl"

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

// The eight-point DFT from the four-point DFTs of its even (e) and odd (o)
// values: lo = values 0..3, hi = values 4..7.
template <bool Inverse>
void joinEight(const Quad (&e)[4], Quad (&o)[4], Quad (&lo)[4], Quad (&hi)[4]) {
    if constexpr (Inverse) {
        for (int k = 0; k < 4; ++k) {
            const Quad z = eighthRootInverse(o[k], k);
            lo[k] = e[k] + z;
            hi[k] = e[k] - z;
        }
        return;
    }
    const __m128 c = _mm_set1_ps(fftSineTable1024[128]);  // sqrt(1/2)
    // W8^1, W8^2, W8^3 on the odd half.
    const __m128 s1 = _mm_mul_ps(_mm_add_ps(o[1].re, o[1].im), c);
    const __m128 d1 = _mm_mul_ps(_mm_sub_ps(o[1].im, o[1].re), c);
    const __m128 s3 = _mm_mul_ps(_mm_add_ps(o[3].re, o[3].im), c);
    const __m128 d3 = _mm_mul_ps(_mm_sub_ps(o[3].im, o[3].re), c);
    const __m128 zero = _mm_setzero_ps();
    o[1] = {s1, d1};                    // (1-i)/sqrt2 * o1
    o[3] = {d3, _mm_sub_ps(zero, s3)};  // (-1-i)/sqrt2 * o3
    o[2] = rotateQuarter<false>(o[2]);
    for (int j = 0; j < 4; ++j) {
        lo[j] = e[j] + o[j];
        hi[j] = e[j] - o[j];
    }
}

// First pass, eight points (the SSE2 plan for odd orders): the blocks 2q'
// and 2q'+1 hold the values r + t*M/8, t = 0..7, in bit-reversed order, with
// r = rev(q') over m-3 bits; bitRev[2r] = 2*rev(r) over m-3 bits.
template <bool Inverse>
void firstPassRadix8(const float* src, float* work, std::int64_t n, const std::int32_t* bitRev) {
    const std::int64_t eighth = n / 8;
    for (std::int64_t r0 = 0; r0 < eighth; r0 += 4) {
        Quad e[4], o[4];
        for (int t = 0; t < 4; ++t) {
            e[t] = loadInterleaved(src + 2 * (r0 + 2 * t * eighth));
            o[t] = loadInterleaved(src + 2 * (r0 + (2 * t + 1) * eighth));
        }
        dft4<Inverse>(e[0], e[1], e[2], e[3]);
        dft4<Inverse>(o[0], o[1], o[2], o[3]);
        Quad lo[4], hi[4];
        joinEight<Inverse>(e, o, lo, hi);
        std::int64_t offsets[4];
        for (int lane = 0; lane < 4; ++lane) offsets[lane] = 8 * std::int64_t{bitRev[2 * (r0 + lane)]};
        storeTransposed(work, offsets, lo);
        for (std::int64_t& offset : offsets) offset += 8;
        storeTransposed(work, offsets, hi);
    }
}

// Four interleaved groups of four values, `stride` floats apart, as four
// quads: quad j holds value j of each group.
void loadTransposed(const float* src, std::int64_t stride, Quad (&p)[4]) {
    Quad g[4];
    for (int b = 0; b < 4; ++b) g[b] = loadInterleaved(src + stride * b);
    _MM_TRANSPOSE4_PS(g[0].re, g[1].re, g[2].re, g[3].re);
    _MM_TRANSPOSE4_PS(g[0].im, g[1].im, g[2].im, g[3].im);
    for (int j = 0; j < 4; ++j) p[j] = g[j];
}

// Sixteen points: the four-point DFTs of four groups, transposed so that
// each group's outputs form a block, joined by the radix-4 butterfly of the
// sixteen-point stage (the table's first row, the same for every group):
// the first pass and the first stage in one sweep, the same operations.
template <bool Inverse>
void firstPassRadix16Reversed(const float* src, float* work, std::int64_t n, const float* twiddles) {
    const TwiddleRow row = loadRow(twiddles);
    for (std::int64_t q0 = 0; q0 < n / 4; q0 += 4) {
        Quad p[4];
        loadTransposed(src + 8 * q0, 8, p);
        std::swap(p[1], p[2]);
        dft4<Inverse>(p[0], p[1], p[2], p[3]);
        _MM_TRANSPOSE4_PS(p[0].re, p[1].re, p[2].re, p[3].re);
        _MM_TRANSPOSE4_PS(p[0].im, p[1].im, p[2].im, p[3].im);
        radix4Butterfly<Inverse>(p[0], p[1], p[2], p[3], row);
        for (int t = 0; t < 4; ++t) storeBlock(work + 8 * (q0 + t), p[t]);
    }
}

template <bool Inverse>
void firstPassRadix8Reversed(const float* src, float* work, std::int64_t n) {
    for (std::int64_t q0 = 0; q0 < n / 8; q0 += 4) {
        // Positions 0..7 of a group hold its values 0, 4, 2, 6, 1, 5, 3, 7.
        Quad front[4], back[4];
        loadTransposed(src + 16 * q0, 16, front);
        loadTransposed(src + 16 * q0 + 8, 16, back);
        Quad e[4] = {front[0], front[2], front[1], front[3]};
        Quad o[4] = {back[0], back[2], back[1], back[3]};
        dft4<Inverse>(e[0], e[1], e[2], e[3]);
        dft4<Inverse>(o[0], o[1], o[2], o[3]);
        Quad lo[4], hi[4];
        joinEight<Inverse>(e, o, lo, hi);
        std::int64_t offsets[4];
        for (int b = 0; b < 4; ++b) offsets[b] = 16 * (q0 + b);
        storeTransposed(work, offsets, lo);
        for (std::int64_t& offset : offsets) offset += 8;
        storeTransposed(work, offsets, hi);
    }
}

// Where a stage's results go: back into the work area, or, from the last
// stage, to the caller's array interleaved or quad-split.
enum class StageOut { work, interleaved, quadSplit };

template <StageOut Out>
void storeStage(float* work, float* out, std::int64_t k, Quad q) {
    if constexpr (Out == StageOut::work)
        storeBlock(work + 2 * k, q);
    else if constexpr (Out == StageOut::interleaved)
        storeInterleaved(out + 2 * k, q);
    else {
        _mm_storeu_ps(out + 2 * k, q.re);
        _mm_storeu_ps(out + 2 * k + 4, q.im);
    }
}

// One radix-4 stage of length len over the quad-split data: the quarters
// hold the transforms of the values 0, 2, 1, 3 mod 4 of each group. The
// twiddle records (W^k, W^2k, W^3k for four k, 24 floats) are shared by
// every group.
template <bool Inverse, StageOut Out>
void radix4Stage(float* work, float* out, std::int64_t n, std::int64_t len, const float* twiddles) {
    const std::int64_t quarter = len / 4;
    for (std::int64_t g = 0; g < n; g += len) {
        const float* w = twiddles;
        for (std::int64_t k = g; k < g + quarter; k += 4, w += 24) {
            Quad a0 = loadBlock(work + 2 * k), a1 = loadBlock(work + 2 * (k + quarter));
            Quad a2 = loadBlock(work + 2 * (k + 2 * quarter)), a3 = loadBlock(work + 2 * (k + 3 * quarter));
            radix4Butterfly<Inverse>(a0, a1, a2, a3, loadRow(w));
            storeStage<Out>(work, out, k, a0);
            storeStage<Out>(work, out, k + quarter, a1);
            storeStage<Out>(work, out, k + 2 * quarter, a2);
            storeStage<Out>(work, out, k + 3 * quarter, a3);
        }
    }
}

// A radix-2 stage joining the two halves of n values: twiddles W^k for
// k < n/2, eight floats per four k.
template <bool Inverse, StageOut Out>
void radix2Stage(float* work, float* out, std::int64_t n, const float* twiddles) {
    const std::int64_t half = n / 2;
    for (std::int64_t k = 0; k < half; k += 4, twiddles += 8) {
        const Quad x0 = loadBlock(work + 2 * k);
        const Quad b = twiddle<Inverse>(loadBlock(work + 2 * (k + half)), loadBlock(twiddles));
        storeStage<Out>(work, out, k, x0 + b);
        storeStage<Out>(work, out, k + half, x0 - b);
    }
}

// Radix-4 stages of lengths first, 4*first, .. up to last over n values of
// the work area, in place; returns the twiddles after their sections.
template <bool Inverse>
const float* radix4Stages(float* work, std::int64_t n, std::int64_t first, std::int64_t last, const float* twiddles) {
    for (std::int64_t len = first; len <= last; len *= 4) {
        radix4Stage<Inverse, StageOut::work>(work, work, n, len, twiddles);
        twiddles += 6 * (len / 4);
    }
    return twiddles;
}

// Stages up to this length run block by block when the level blocks.
constexpr std::int64_t kBlockedStagesUpTo = 1024;

// Cache blocking: SSE4.1 and SSSE3 run their early stages over blocks of
// 2048 values, SSE3 over 1024; SSE2 does not block.
constexpr std::int64_t blockLength() { return kLevel >= 3 ? 2048 : kLevel == 2 ? 1024 : 0; }

// The stages after the first pass, on the work area, the last one storing
// to `out`. SSE2 takes the odd factor of an odd order first (an eight-point
// first pass), the others last (a closing radix-2 stage); the twiddle
// tables are laid out in this order; the first radix-4 stage is of length
// firstLen (twiddles at its section). With a block length below n, the
// stages up to 1024-point transforms run on each block in turn (each block
// reading the same first sections), the rest over the whole vector: the
// same operations on the same values as without blocks. firstPass(from,
// count) runs before the stages of the values it names (each block, or the
// whole vector), so a first pass that stays within its values runs on a
// block while that is in cache.
template <bool Inverse, StageOut Out, typename FirstPass>
void runStages(float* work, float* out, std::int64_t n, const float* twiddles, std::int64_t firstLen, bool twoLast,
               std::int64_t blockLen, FirstPass firstPass) {
    // The last radix-4 stage before the closing one.
    const std::int64_t lastInner = twoLast ? n / 2 : n / 4;
    std::int64_t len = firstLen;
    if (blockLen > 0 && blockLen < n) {
        const float* after = twiddles;
        for (std::int64_t block = 0; block < n; block += blockLen) {
            firstPass(block, blockLen);
            after = radix4Stages<Inverse>(work + 2 * block, blockLen, len, kBlockedStagesUpTo, twiddles);
        }
        twiddles = after;
        len = 4 * kBlockedStagesUpTo;
    } else {
        firstPass(0, n);
    }
    twiddles = radix4Stages<Inverse>(work, n, len, lastInner, twiddles);
    if (twoLast)
        radix2Stage<Inverse, Out>(work, out, n, twiddles);
    else
        radix4Stage<Inverse, Out>(work, out, n, n, twiddles);
}

int log2Of(std::int64_t n) {
    int m = 0;
    while ((std::int64_t{1} << m) < n) ++m;
    return m;
}

template <bool Inverse>
void transform(const float* src, float* dst, std::int64_t n, const float* twiddles, const std::int32_t* bitRev,
               float* work, std::int64_t blockLen) {
    const int m = log2Of(n);
    const bool eightFirst = kLevel == 1 && m % 2 == 1;
    if (eightFirst)
        firstPassRadix8<Inverse>(src, work, n, bitRev);
    else
        firstPassRadix4<Inverse>(src, work, n, bitRev);
    runStages<Inverse, StageOut::interleaved>(work, dst, n, twiddles, eightFirst ? 32 : 16, kLevel > 1 && m % 2 == 1,
                                              blockLen, [](std::int64_t, std::int64_t) {});
}

// ---- the recursive rung ----------------------------------------------------

// One complex value, moved as its 8 bytes.
using Element = std::uint64_t;

// Blocks of the work area: rows x cols values (cols a multiple of 8) that
// lie rowStride values apart in the vector, one row after the other in the
// 16-byte-aligned block. Raw floats move, so quad-split data stay
// quad-split; the vector side may have any alignment.
void gatherTile(const float* base, float* block, std::int64_t rowStride, std::int64_t rows, std::int64_t cols) {
    for (std::int64_t row = 0; row < rows; ++row) {
        const float* in = base + 2 * row * rowStride;
        float* const out = block + 2 * row * cols;
        for (std::int64_t f = 0; f < 2 * cols; f += 16) {
            const __m128 a = _mm_loadu_ps(in + f), b = _mm_loadu_ps(in + f + 4), c = _mm_loadu_ps(in + f + 8),
                         d = _mm_loadu_ps(in + f + 12);
            _mm_store_ps(out + f, a);
            _mm_store_ps(out + f + 4, b);
            _mm_store_ps(out + f + 8, c);
            _mm_store_ps(out + f + 12, d);
        }
    }
}

// The reverse of gatherTile; with `interleave` 1 every quad-split block of
// four values goes back to (re, im) pairs on the way, so the top level of
// the recursion needs no pass of its own for that.
void scatterTile(float* base, const float* block, std::int64_t rowStride, std::int64_t rows, std::int64_t cols,
                 int interleave) {
    for (std::int64_t row = 0; row < rows; ++row) {
        float* const out = base + 2 * row * rowStride;
        const float* in = block + 2 * row * cols;
        for (std::int64_t f = 0; f < 2 * cols; f += 16) {
            const Quad lo = loadBlock(in + f), hi = loadBlock(in + f + 8);
            if (interleave == 1) {
                storeInterleaved(out + f, lo);
                storeInterleaved(out + f + 8, hi);
            } else {
                _mm_storeu_ps(out + f, lo.re);
                _mm_storeu_ps(out + f + 4, lo.im);
                _mm_storeu_ps(out + f + 8, hi.re);
                _mm_storeu_ps(out + f + 12, hi.im);
            }
        }
    }
}

// In place, value i to rev(i) over log2(len) bits, from a pairs-form list
// (fftWalkBitReversePairs). Group k is the 16 bytes of values 2k, 2k+1 and
// those of h+2k, h+2k+1 (h = len/2); value (t, k, u) of a group goes to
// (u, rev(k), t), so a pair of groups is two 2 x 2 transposes of 8-byte
// values, exchanged, and a self-reversed group one transpose. All four
// units are read before any is written.
void tileBitReverse(float* data, std::int64_t len, const std::int32_t* list) {
    if (len < 4) return;
    const std::int64_t half = len / 2;
    const auto exchange = [data, half](std::int64_t a, std::int64_t b) {
        float* const pa = data + 4 * a;
        float* const pb = data + 4 * b;
        const __m128 lowA = _mm_loadu_ps(pa), highA = _mm_loadu_ps(pa + 2 * half);
        const __m128 lowB = _mm_loadu_ps(pb), highB = _mm_loadu_ps(pb + 2 * half);
        _mm_storeu_ps(pa, _mm_movelh_ps(lowB, highB));
        _mm_storeu_ps(pa + 2 * half, _mm_movehl_ps(highB, lowB));
        _mm_storeu_ps(pb, _mm_movelh_ps(lowA, highA));
        _mm_storeu_ps(pb + 2 * half, _mm_movehl_ps(highA, lowA));
    };
    fftWalkBitReversePairs(list, exchange, [&](std::int64_t k) { exchange(k, k); });
}

// ---- bit reversal through the index table ----------------------------------
//
// For n >= 16 an index i = q*n/4 + 4k + r (quarter q, group k, position r)
// reverses to rev2(r)*n/4 + 4*rev(k) + rev2(q), and table[k]/2 = 4*rev(k):
// the 16 values of group k, one run of four per quarter, go transposed to
// the mirror group. Values move whole (no arithmetic), NaN payloads included.

// The four runs of a group (base + q*quarter, taken in the order q = 0, 2,
// 1, 3) transposed: run r of the result goes to quarter rev2(r).
struct Group {
    Quad runs[4];
};

Group loadGroup(const float* src, std::int64_t base, std::int64_t quarter) {
    Group g;
    const std::int64_t order[4] = {0, 2, 1, 3};
    for (int j = 0; j < 4; ++j) g.runs[j] = loadInterleaved(src + 2 * (base + order[j] * quarter));
    _MM_TRANSPOSE4_PS(g.runs[0].re, g.runs[1].re, g.runs[2].re, g.runs[3].re);
    _MM_TRANSPOSE4_PS(g.runs[0].im, g.runs[1].im, g.runs[2].im, g.runs[3].im);
    return g;
}

void storeGroup(float* dst, std::int64_t base, std::int64_t quarter, const Group& g) {
    const std::int64_t order[4] = {0, 2, 1, 3};
    for (int r = 0; r < 4; ++r) storeInterleaved(dst + 2 * (base + order[r] * quarter), g.runs[r]);
}

constexpr int kEightReversed[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// Scatter: source groups in falling order, each written to its mirror.
void bitReverseScatter(const float* src, float* dst, std::int64_t n, const std::int32_t* table) {
    if (n == 8) {
        for (int i = 0; i < 8; ++i) dspStore(dst + 2 * i, dspLoad<Element>(src + 2 * kEightReversed[i]));
        return;
    }
    for (std::int64_t k = n / 16 - 1; k >= 0; --k) storeGroup(dst, table[k] / 2, n / 4, loadGroup(src, 4 * k, n / 4));
}

// Gather: destination groups in rising order, each read from its mirror, so
// the writes run through the destination once.
void bitReverseGather(const float* src, float* dst, std::int64_t n, const std::int32_t* table) {
    if (n == 8) {
        bitReverseScatter(src, dst, n, table);
        return;
    }
    for (std::int64_t k = 0; k < n / 16; ++k) storeGroup(dst, 4 * k, n / 4, loadGroup(src, table[k] / 2, n / 4));
}

// Scatter up to 32768 values (65536 in SSE3), gather above.
constexpr std::int64_t kScatterUpTo = kLevel == 2 ? 65536 : 32768;

void bitReverseCopy(const float* src, float* dst, std::int64_t n, const std::int32_t* table) {
    if (n <= kScatterUpTo)
        bitReverseScatter(src, dst, n, table);
    else
        bitReverseGather(src, dst, n, table);
}

// In place: each pair of mirror groups once, from the lower group (both
// read before either is written); a group that mirrors itself is transposed.
void bitReverseInPlace(float* data, std::int64_t n, const std::int32_t* table) {
    if (n == 8) {
        for (const auto& [a, b] : {std::pair{1, 4}, std::pair{3, 6}}) {
            const auto x = dspLoad<Element>(data + 2 * a), y = dspLoad<Element>(data + 2 * b);
            dspStore(data + 2 * a, y);
            dspStore(data + 2 * b, x);
        }
        return;
    }
    const std::int64_t groups = n / 16, quarter = n / 4;
    if (groups < 4) {
        for (std::int64_t k = groups - 1; k >= 0; --k) {
            const std::int64_t a = 4 * k, b = table[k] / 2;
            if (b < a) continue;
            const Group ga = loadGroup(data, a, quarter);
            if (b != a) {
                const Group gb = loadGroup(data, b, quarter);
                storeGroup(data, a, quarter, gb);
            }
            storeGroup(data, b, quarter, ga);
        }
        return;
    }
    // Four groups at a time, k, k+1, k+h and k+h+1 (k even, below h = half
    // the groups), so both sides move whole 64-byte lines of every quarter:
    // their mirrors are r, r+h, r+1 and r+h+1 with r = rev(k), again such a
    // set, so each pair of sets is exchanged once, from the lower one (all
    // eight groups read before any is written).
    const std::int64_t h = groups / 2;
    for (std::int64_t k = h - 2; k >= 0; k -= 2) {
        const std::int64_t r = table[k] / 8;
        if (r < k) continue;
        const std::int64_t own[4] = {k, k + 1, k + h, k + h + 1};
        const std::int64_t mirror[4] = {r, r + h, r + 1, r + h + 1};
        Group ownGroups[4], mirrorGroups[4];
        for (int i = 0; i < 4; ++i) {
            ownGroups[i] = loadGroup(data, 4 * own[i], quarter);
            mirrorGroups[i] = loadGroup(data, 4 * mirror[i], quarter);
        }
        for (int i = 0; i < 4; ++i) {
            storeGroup(data, 4 * own[i], quarter, mirrorGroups[i]);
            storeGroup(data, 4 * mirror[i], quarter, ownGroups[i]);
        }
    }
}

// ---- the tiled bit reversal ---------------------------------------------------

// dst[rev_m(i)] = src[i] for the 2^m values (src may equal dst). Below the
// tiled threshold through the index table; from it tile by tile: the vector
// as 64 rows of 2^(m-12) tiles of 64 values, value (r, k, c) going to
// (rev6(c), rev(k), rev6(r)). The table's first entries are the mirror
// tiles' offsets, 64 * rev(k); a tile gathered into the work area row by
// row and reversed over 12 bits (the list after them) is its mirror's
// content. In place each pair once, from the lower tile (two tiles in the
// work area); out of place up to the plan's order tile by tile from the
// source, above it a copy first (the mirror reads then stay within one
// array).
void bitReverse(const FftVariantPlan& plan, const std::int32_t* table, const float* src, float* dst, int m,
                float* work) {
    const std::int64_t n = std::int64_t{1} << m;
    if (m < plan.tiledFromM) {
        if (src == dst)
            bitReverseInPlace(dst, n, table);
        else
            bitReverseCopy(src, dst, n, table);
        return;
    }
    constexpr std::int64_t kSide = 64, kTile = kSide * kSide;
    const std::int64_t tiles = n / kTile, rowStride = n / kSide;
    const std::int32_t* const inTile = table + tiles;
    float* const first = work;
    float* const second = work + 2 * kTile;
    const auto reversedTile = [&](const float* tile, float* into) {
        gatherTile(tile, into, rowStride, kSide, kSide);
        tileBitReverse(into, kTile, inTile);
    };
    if (src != dst && m <= plan.tiledGatherUpToM) {
        for (std::int64_t k = 0; k < tiles; ++k) {
            reversedTile(src + 2 * std::int64_t{table[k]}, first);
            scatterTile(dst + 2 * kSide * k, first, rowStride, kSide, kSide, 0);
        }
        return;
    }
    if (src != dst) std::memcpy(dst, src, static_cast<std::size_t>(n) * sizeof(Element));
    for (std::int64_t k = 0; k < tiles; ++k) {
        const std::int64_t a = kSide * k, b = table[k];
        if (b < a) continue;
        reversedTile(dst + 2 * a, first);
        if (b == a) {
            scatterTile(dst + 2 * a, first, rowStride, kSide, kSide, 0);
            continue;
        }
        reversedTile(dst + 2 * b, second);
        scatterTile(dst + 2 * b, first, rowStride, kSide, kSide, 0);
        scatterTile(dst + 2 * a, second, rowStride, kSide, kSide, 0);
    }
}

// The radix passes: n values (n >= 32) in bit-reversed order turned, in
// place, into their transform: the first pass (sixteen-point DFTs,
// eight-point in SSE2 for odd orders) and the stages of the in-cache
// transform, in the quad-split layout, the last stage storing interleaved when `interleaved`
// is 1 and quad-split otherwise. They run in the data themselves when those
// are 16-byte aligned (each step reads what it writes first), else in buf
// (8n bytes, 16-byte aligned): the same operations either way.
template <bool Inverse>
void radixPasses(float* data, std::int64_t n, const float* twiddles, float* buf, int interleaved) {
    float* const work = reinterpret_cast<std::uintptr_t>(data) % 16 == 0 ? data : buf;
    const int m = log2Of(n);
    const bool eightFirst = kLevel == 1 && m % 2 == 1;
    const bool twoLast = kLevel > 1 && m % 2 == 1;
    // The first pass works on groups of sixteen (eight) values, so it runs
    // block by block with the stages. Sixteen-point groups take the
    // table's first section (one row).
    const auto firstPass = [=](std::int64_t from, std::int64_t count) {
        if (eightFirst)
            firstPassRadix8Reversed<Inverse>(data + 2 * from, work + 2 * from, count);
        else
            firstPassRadix16Reversed<Inverse>(data + 2 * from, work + 2 * from, count, twiddles);
    };
    const std::int64_t firstLen = eightFirst ? 32 : 64;
    const float* const stageTwiddles = eightFirst ? twiddles : twiddles + 24;
    if (interleaved == 1)
        runStages<Inverse, StageOut::interleaved>(work, data, n, stageTwiddles, firstLen, twoLast, blockLength(),
                                                  firstPass);
    else
        runStages<Inverse, StageOut::quadSplit>(work, data, n, stageTwiddles, firstLen, twoLast, blockLength(),
                                                firstPass);
}

// A leaf: 2^r values in bit-reversed order, interleaved, left transformed
// and quad-split in place, scaled when asked.
template <bool Inverse>
void leaf(const DspsFFTSpec_R_32f* spec, float* block, int r, float* work, bool scale) {
    const std::int64_t n = std::int64_t{1} << r;
    radixPasses<Inverse>(block, n, spec->twiddleTable, work, 0);
    if (scale) dspsMulC_32f_I_table[kLevel](spec->scaleFactor, block, static_cast<int>(2 * n));
}

// The cross passes, in place on quad-split data: count groups of four (two)
// consecutive blocks of span values, the blocks of a group holding their
// transforms in bit-reversed order; every group reads the same twiddles
// (W^k, W^2k, W^3k of each position k, or W^k for the radix-2 pass).
template <bool Inverse>
void crossRadix4(float* data, std::int64_t span, std::int64_t count, const float* twiddles) {
    radix4Stage<Inverse, StageOut::work>(data, data, 4 * span * count, 4 * span, twiddles);
}

template <bool Inverse>
void crossRadix2(float* data, std::int64_t span, std::int64_t count, const float* twiddles) {
    for (std::int64_t group = 0; group < count; ++group)
        radix2Stage<Inverse, StageOut::work>(data + 4 * span * group, data, 2 * span, twiddles);
}

// One level of order k on bit-reversed data: 2^s sub-transforms (leaves,
// or levels of their own), then the cross stage, a 2^s-point transform down
// every column, g columns at a time in the work area, with the level's cross
// twiddles read in one sweep. The top level stores interleaved, inner
// levels quad-split for their parent.
// Depth: the record's cross tables per level (the plans reach depth 1).
constexpr int kLevelTables = 3;

template <bool Inverse, int Depth>
void level(const DspsFFTSpec_R_32f* spec, const FftVariantPlan& plan, float* data, int k, float* work, bool scale) {
    const int s = plan.splitOrders[k];
    const int r = k - s;
    const std::int64_t rows = std::int64_t{1} << s, columns = std::int64_t{1} << r;
    for (std::int64_t row = 0; row < rows; ++row) {
        float* const block = data + 2 * row * columns;
        if constexpr (Depth + 1 < kLevelTables) {
            if (r > plan.lastDirectM) {
                level<Inverse, Depth + 1>(spec, plan, block, r, work, scale);
                continue;
            }
        }
        leaf<Inverse>(spec, block, r, work, scale);
    }
    const std::int64_t g = std::int64_t{1} << (plan.groupOrders[k] - s);
    const std::int64_t n = rows * g;
    const float* twiddles = spec->crossTwiddles[Depth];
    for (std::int64_t c = 0; c < columns; c += g) {
        gatherTile(data + 2 * c, work, columns, rows, g);
        std::int64_t span = g;
        for (int pass = 1; pass <= s / 2; ++pass, span *= 4) {
            crossRadix4<Inverse>(work, span, n / (4 * span), twiddles);
            twiddles += 6 * span;
        }
        if (s % 2 == 1) {
            crossRadix2<Inverse>(work, span, n / (2 * span), twiddles);
            twiddles += 2 * span;
        }
        scatterTile(data + 2 * c, work, columns, rows, g, Depth == 0 ? 1 : 0);
    }
}

template <bool Inverse>
void recursive(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work, bool scale) {
    const FftVariantPlan& plan = fftVariantPlan(kLevel);
    bitReverse(plan, spec->bitRevTable, src, dst, m, work);
    level<Inverse, 0>(spec, plan, dst, m, work, scale);
}

}  // namespace

void fftInCacheForward(const float* src, float* dst, std::int64_t n, const float* twiddles,
                       const std::int32_t* bitRev, float* work) {
    transform<false>(src, dst, n, twiddles, bitRev, work, blockLength());
}

void fftInCacheForwardBlocked(const float* src, float* dst, std::int64_t n, const float* twiddles,
                              const std::int32_t* bitRev, float* work, std::int64_t blockLen) {
    transform<false>(src, dst, n, twiddles, bitRev, work, blockLen);
}

void fftBitReverseScatter(const float* src, float* dst, std::int64_t n, const std::int32_t* table) {
    bitReverseScatter(src, dst, n, table);
}

void fftBitReverseGather(const float* src, float* dst, std::int64_t n, const std::int32_t* table) {
    bitReverseGather(src, dst, n, table);
}

void fftBitReverseCopy(const float* src, float* dst, std::int64_t n, const std::int32_t* table) {
    bitReverseCopy(src, dst, n, table);
}

void fftBitReverseInPlace(float* data, std::int64_t n, const std::int32_t* table) {
    bitReverseInPlace(data, n, table);
}

void fftRadixPasses(float* data, std::int64_t n, const float* twiddles, float* buf, int interleaved) {
    radixPasses<false>(data, n, twiddles, buf, interleaved);
}

void fftRadixPassesInverse(float* data, std::int64_t n, const float* twiddles, float* buf, int interleaved) {
    radixPasses<true>(data, n, twiddles, buf, interleaved);
}

void fftRecursiveBitReverse(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work) {
    bitReverse(fftVariantPlan(kLevel), spec->bitRevTable, src, dst, m, work);
}

void fftGatherTile(const float* base, float* block, std::int64_t rowStride, std::int64_t rows, std::int64_t cols) {
    gatherTile(base, block, rowStride, rows, cols);
}

void fftScatterTile(float* base, const float* block, std::int64_t rowStride, std::int64_t rows, std::int64_t cols,
                    int interleave) {
    scatterTile(base, block, rowStride, rows, cols, interleave);
}

void fftTileBitReverse(float* data, std::int64_t len, const std::int32_t* list) { tileBitReverse(data, len, list); }

void fftCrossRadix4(float* data, std::int64_t span, std::int64_t count, const float* twiddles) {
    crossRadix4<false>(data, span, count, twiddles);
}

void fftCrossRadix2(float* data, std::int64_t span, std::int64_t count, const float* twiddles) {
    crossRadix2<false>(data, span, count, twiddles);
}

void fftRecursiveForward(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work,
                         bool scale) {
    recursive<false>(spec, src, dst, m, work, scale);
}

void fftRecursiveInverse(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work,
                         bool scale) {
    recursive<true>(spec, src, dst, m, work, scale);
}

#endif

#include "simd_level_end.inc"
