// Table builders of the real-FFT record (see fft/fft_tables.h).
//
// Tables are built once per record and only read by the transforms, so the
// builders favour plain index arithmetic over speed: each value is one
// sine-table lookup.
#include "fft/fft_tables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "fft/fft_spec.h"

namespace {

unsigned char* bytes(void* p) { return static_cast<unsigned char*>(p); }
float* floats(unsigned char* p) { return reinterpret_cast<float*>(p); }

// The table sections the vector variants read four lanes at a time hold
// four real parts, then four imaginary parts.
float* storeQuad(float* out, const FftTwiddle (&w)[4]) {
    for (int lane = 0; lane < 4; ++lane) out[lane] = w[lane].re;
    for (int lane = 0; lane < 4; ++lane) out[4 + lane] = w[lane].im;
    return out + 8;
}

// One radix-4 record of the vector layouts: W^(jk), j = 1, 2, 3, for the
// four k from k0, of a stage of length 2^logL.
float* storeRadix4Record(FftLayout layout, FftSineSource sine, int logL, std::int64_t k0, float* out) {
    for (int j = 1; j <= 3; ++j) {
        FftTwiddle w[4];
        for (int lane = 0; lane < 4; ++lane) w[lane] = fftTwiddle(layout, sine, logL, j * (k0 + lane));
        out = storeQuad(out, w);
    }
    return out;
}

}  // namespace

std::uint32_t fftReverseBits(std::uint32_t i, int b) {
    if (b == 0) return 0;
    // Reverse all 32 bits by swapping ever smaller halves, then keep the top b.
    i = ((i >> 1) & 0x55555555u) | ((i & 0x55555555u) << 1);
    i = ((i >> 2) & 0x33333333u) | ((i & 0x33333333u) << 2);
    i = ((i >> 4) & 0x0F0F0F0Fu) | ((i & 0x0F0F0F0Fu) << 4);
    i = ((i >> 8) & 0x00FF00FFu) | ((i & 0x00FF00FFu) << 8);
    i = (i >> 16) | (i << 16);
    return i >> (32 - b);
}

FftSineSource fftConstantSine() { return {fftSineTable1024, 10}; }

// The quarter turn is split into its four octants' mirror images: cos and
// sin of any angle are table entries read forwards or backwards.
FftTwiddle fftTwiddle(FftLayout layout, FftSineSource sine, int logL, std::int64_t e) {
    const std::int64_t stride = std::int64_t{1} << (sine.order - logL);
    const std::int64_t q = (std::int64_t{1} << logL) / 4;
    const float* s = sine.table;
    const auto at = [&](std::int64_t k) { return s[k * stride]; };
    const auto negate = [layout](float x) { return layout == FftLayout::generic ? -x : 0.0f - x; };
    float c, sn;
    if (e <= q) {
        c = at(q - e);
        sn = at(e);
    } else if (e <= 2 * q) {
        c = negate(at(e - q));
        sn = at(2 * q - e);
    } else if (e <= 3 * q) {
        c = negate(at(3 * q - e));
        sn = negate(at(e - 2 * q));
    } else {
        c = at(e - 3 * q);
        sn = negate(at(4 * q - e));
    }
    return {c, negate(sn)};
}

unsigned char* fftSineTable(int n, float* dst) {
    const std::int64_t bigN = std::int64_t{1} << n;
    const double step = 6.283185307179586 / static_cast<double>(bigN);
    for (std::int64_t k = 0; k <= bigN / 8; ++k) dst[k] = static_cast<float>(std::sin(static_cast<double>(k) * step));
    for (std::int64_t k = bigN / 8 + 1; k <= bigN / 4; ++k)
        dst[k] = static_cast<float>(std::cos(static_cast<double>(bigN / 4 - k) * step));
    return fftAlignUp32(dst + bigN / 4 + 1);
}

namespace {

// The split twiddles of bin k: (A, B) forward, (cos, -sin) inverse.
using SplitPair = FftTwiddle (*)(FftLayout, FftSineSource, int, std::int64_t);

FftTwiddle forwardSplit(FftLayout, FftSineSource sine, int n, std::int64_t k) {
    const std::int64_t stride = std::int64_t{1} << (sine.order - n);
    const std::int64_t quarter = (std::int64_t{1} << n) / 4;
    const float cosine = sine.table[(quarter - k) * stride];
    const float sine_k = sine.table[k * stride];
    return {static_cast<float>(0.5 * static_cast<double>(cosine)),
            static_cast<float>(0.5 - 0.5 * static_cast<double>(sine_k))};
}

FftTwiddle inverseSplit(FftLayout layout, FftSineSource sine, int n, std::int64_t k) {
    const std::int64_t stride = std::int64_t{1} << (sine.order - n);
    const std::int64_t quarter = (std::int64_t{1} << n) / 4;
    const float sine_k = sine.table[k * stride];
    return {sine.table[(quarter - k) * stride], layout == FftLayout::generic ? -sine_k : 0.0f - sine_k};
}

unsigned char* splitTable(SplitPair pair, FftLayout layout, int n, FftSineSource sine, float* dst) {
    const std::int64_t bigN = std::int64_t{1} << n;
    if (layout == FftLayout::generic) {
        for (std::int64_t k = 0; k < bigN / 4; ++k) {
            const FftTwiddle t = pair(layout, sine, n, k);
            dst[2 * k] = t.re;
            dst[2 * k + 1] = t.im;
        }
    } else {
        // Bins 1..N/4 (index 0 is not stored), lanes in the order 2, 1, 4, 3
        // in which the recombination holds four bins.
        float* out = dst;
        for (std::int64_t k0 = 0; k0 < bigN / 4; k0 += 4) {
            const FftTwiddle w[4] = {pair(layout, sine, n, k0 + 2), pair(layout, sine, n, k0 + 1),
                                     pair(layout, sine, n, k0 + 4), pair(layout, sine, n, k0 + 3)};
            out = storeQuad(out, w);
        }
    }
    return fftAlignUp32(dst + bigN / 2);
}

}  // namespace

unsigned char* fftSplitTwiddlesForward(FftLayout layout, int n, FftSineSource sine, float* dst) {
    return splitTable(forwardSplit, layout, n, sine, dst);
}

unsigned char* fftSplitTwiddlesInverse(FftLayout layout, int n, FftSineSource sine, float* dst) {
    return splitTable(inverseSplit, layout, n, sine, dst);
}

unsigned char* fftRadixTwiddles(FftLayout layout, int b, FftSineSource sine, float* dst) {
    const std::int64_t length = std::int64_t{1} << b;
    if (layout == FftLayout::generic) {
        float* out = dst;
        for (std::int64_t k = 0; k <= length / 4; ++k)
            for (int j = 1; j <= 3; ++j) {
                const FftTwiddle w = fftTwiddle(layout, sine, b, j * k);
                *out++ = w.re;
                *out++ = w.im;
            }
        return fftAlignUp32(dst + 6 * (length / 4 + 1));
    }
    if (b <= 3) return bytes(dst);
    // Radix-4 stages of length 2^l. n1 takes the odd factor first, where it
    // needs no twiddles (stages from 32 up); the others finish odd orders
    // with a radix-2 stage over the whole length.
    const int firstStage = layout == FftLayout::sse2 ? 4 + b % 2 : 4;
    float* out = dst;
    for (int l = firstStage; l <= b; l += 2)
        for (std::int64_t k0 = 0; k0 < (std::int64_t{1} << l) / 4; k0 += 4)
            out = storeRadix4Record(layout, sine, l, k0, out);
    if (layout == FftLayout::sse && b % 2 == 1)
        for (std::int64_t k0 = 0; k0 < length / 2; k0 += 4) {
            FftTwiddle w[4];
            for (int lane = 0; lane < 4; ++lane) w[lane] = fftTwiddle(layout, sine, b, k0 + lane);
            out = storeQuad(out, w);
        }
    return fftAlignUp32(dst + 2 * length);
}

unsigned char* fftBitReverseIndexTable(int m, std::int32_t* table) {
    if (m < 2) return bytes(table);
    const int b = m - 2;
    const std::int32_t count = std::int32_t{1} << b;
    for (std::int32_t i = 0; i < count; ++i) table[i] = static_cast<std::int32_t>(2 * fftReverseBits(i, b));
    table[count] = 0;
    return fftAlignUp32(table + count + 1);
}

unsigned char* fftBitReverseTable(int m, std::int32_t* table) {
    if (m < 2) return bytes(table);
    const int b = m - 2;
    const std::int32_t count = std::int32_t{1} << b;
    std::int32_t front = 0, back = count - 1;
    for (std::int32_t i = 1; i < count; ++i) {
        const auto j = static_cast<std::int32_t>(fftReverseBits(i, b));
        if (i < j) {
            table[front++] = 4 * i;
            table[front++] = 4 * j;
        } else if (i == j) {
            table[back--] = 4 * i;
        }
    }
    table[front] = 0;  // ends the pairs and stands for the self-reversed 0
    table[count] = 0;
    return fftAlignUp32(table + count + 1);
}

unsigned char* fftBitReverseTableTiled(int m, int t, std::int32_t* table) {
    const int b = m - 2 * t;
    const std::int32_t tiles = std::int32_t{1} << b;
    for (std::int32_t k = 0; k < tiles; ++k) table[k] = static_cast<std::int32_t>(fftReverseBits(k, b) << t);
    return fftBitReverseTable(2 * t, table + tiles);
}

namespace {

struct RecursionBuilder {
    const FftVariantPlan& plan;
    DspsFFTSpec_R_32f* spec;
    FftSineSource sine;

    void raiseBufSize(std::int64_t bytes) {
        spec->bufSize = std::max(spec->bufSize, static_cast<std::int32_t>(bytes));
    }

    unsigned char* leafTwiddles(int r, unsigned char* dst) {
        spec->twiddleTable = floats(dst);
        return fftRadixTwiddles(plan.layout, r, sine, floats(dst));
    }

    // Vector variants: the cross stage of a level of order k walks its
    // columns in groups; for each group every radix-4 pass (and a final
    // radix-2 pass for odd s) reads its twiddles quad by quad.
    unsigned char* vectorLevel(int k, int depth, unsigned char* dst) {
        const int s = plan.splitOrders[k];
        const int r = k - s;
        if (r <= plan.lastDirectM) {
            dst = leafTwiddles(r, dst);
            raiseBufSize(8 * (std::int64_t{1} << r));
        } else {
            dst = vectorLevel(r, depth + 1, dst);
        }
        spec->crossTwiddles[depth] = floats(dst);
        const std::int64_t rows = std::int64_t{1} << r;
        const std::int64_t groupWidth = std::int64_t{1} << (plan.groupOrders[k] - s);
        float* out = floats(dst);
        for (std::int64_t c0 = 0; c0 < rows; c0 += groupWidth) {
            std::int64_t blocks = 1;
            for (int l = r + 2; l <= k; l += 2, blocks *= 4)
                for (std::int64_t t = 0; t < blocks; ++t)
                    for (std::int64_t j0 = 0; j0 < groupWidth; j0 += 4)
                        out = storeRadix4Record(plan.layout, sine, l, rows * t + c0 + j0, out);
            if (s % 2 == 1)
                for (std::int64_t t = 0; t < blocks; ++t)
                    for (std::int64_t j0 = 0; j0 < groupWidth; j0 += 4) {
                        FftTwiddle w[4];
                        for (int lane = 0; lane < 4; ++lane)
                            w[lane] = fftTwiddle(plan.layout, sine, k, rows * t + c0 + j0 + lane);
                        out = storeQuad(out, w);
                    }
        }
        raiseBufSize(8 * (std::int64_t{1} << plan.groupOrders[k]));
        return dst + 8 * (std::int64_t{1} << k);
    }

    // Generic blocked leaf of order k: the 1024-point radix twiddles and the
    // join table W_K^j, j < K/4, for the radix-2 stages above them.
    unsigned char* blockedLeaf(int k, unsigned char* dst) {
        dst = leafTwiddles(10, dst);
        spec->joinTable = floats(dst);
        const std::int64_t count = (std::int64_t{1} << k) / 4;
        for (std::int64_t j = 0; j < count; ++j) {
            const FftTwiddle w = fftTwiddle(plan.layout, sine, k, j);
            spec->joinTable[2 * j] = w.re;
            spec->joinTable[2 * j + 1] = w.im;
        }
        return fftAlignUp32(spec->joinTable + 2 * count);
    }

    // Generic level of order k: rows of order r = k - s, then 2^s-point
    // column transforms (levelTwiddles) after the cross twiddles. The cross
    // table holds, column quad by column quad and row by row, the four
    // columns' W_K^(rev_s(i)*c) as (re, im) pairs: the rows arrive in
    // bit-reversed order.
    unsigned char* genericLevel(int k, int depth, unsigned char* dst) {
        const int s = plan.splitOrders[k];
        const int r = k - s;
        if (r <= plan.lastDirectM)
            dst = leafTwiddles(r, dst);
        else if (plan.splitOrders[r] == 0)
            dst = blockedLeaf(r, dst);
        else
            dst = genericLevel(r, depth + 1, dst);
        spec->levelTwiddles[depth] = floats(dst);
        dst = fftRadixTwiddles(plan.layout, s, sine, floats(dst));
        spec->crossTwiddles[depth] = floats(dst);
        const std::int64_t columns = std::int64_t{1} << r;
        const std::int64_t rowCount = std::int64_t{1} << s;
        float* out = floats(dst);
        for (std::int64_t c0 = 0; c0 < columns; c0 += 4)
            for (std::int64_t i = 0; i < rowCount; ++i)
                for (std::int64_t q = 0; q < 4; ++q) {
                    const FftTwiddle w =
                        fftTwiddle(plan.layout, sine, k, fftReverseBits(static_cast<std::uint32_t>(i), s) * (c0 + q));
                    *out++ = w.re;
                    *out++ = w.im;
                }
        raiseBufSize(32 * rowCount);
        return dst + 8 * (std::int64_t{1} << k);
    }
};

}  // namespace

unsigned char* fftRecursionTables(const FftVariantPlan& plan, DspsFFTSpec_R_32f* spec, int m, FftSineSource sine,
                                  unsigned char* dst) {
    RecursionBuilder builder{plan, spec, sine};
    if (plan.layout == FftLayout::generic) {
        fftBitReverseTable(m, spec->bitRevTable);
        return plan.splitOrders[m] == 0 ? builder.blockedLeaf(m, dst) : builder.genericLevel(m, 0, dst);
    }
    if (m >= plan.tiledFromM)
        fftBitReverseTableTiled(m, 6, spec->bitRevTable);
    else
        fftBitReverseIndexTable(m, spec->bitRevTable);
    dst = builder.vectorLevel(m, 0, dst);
    if (m >= plan.tiledFromM) builder.raiseBufSize(65536);
    return dst;
}
