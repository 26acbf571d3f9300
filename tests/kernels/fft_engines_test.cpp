// The vector variants' FFT engines piece by piece: the cache-blocked stage
// order gives the unblocked bits, the bit reversals (scatter, gather, in
// place, in-tile from the pair list, tiled) are the permutation and their own
// inverse, the tile gather and scatter are strided copies (interleaving on
// request), the radix passes are the DFT in both directions and layouts,
// and the cross passes of the recursive rung are twiddled DFTs down the
// columns.
#include <algorithm>
#include <complex>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "fft/fft_core.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "fft/fft_tables.h"
#include "fft_reference.h"
#include "fft_test_support.h"
#include "variants.h"

namespace {

using InCacheBlocked = void (*)(const float*, float*, std::int64_t, const float*, const std::int32_t*, float*,
                                std::int64_t);
using BitReverseCopy = void (*)(const float*, float*, std::int64_t, const std::int32_t*);
using BitReverseInPlace = void (*)(float*, std::int64_t, const std::int32_t*);
using RecursiveBitReverse = void (*)(const DspsFFTSpec_R_32f*, const float*, float*, int, float*);
using CrossPass = void (*)(float*, std::int64_t, std::int64_t, const float*);
using GatherTile = void (*)(const float*, float*, std::int64_t, std::int64_t, std::int64_t);
using ScatterTile = void (*)(float*, const float*, std::int64_t, std::int64_t, std::int64_t, int);
using TileBitReverse = void (*)(float*, std::int64_t, const std::int32_t*);
using RadixPasses = void (*)(float*, std::int64_t, const float*, float*, int);

// One SSE level's engine pieces.
struct Engines {
    InCacheBlocked inCacheBlocked;
    BitReverseCopy scatter, gather;
    BitReverseInPlace inPlace;
    RecursiveBitReverse recursiveBitReverse;
    CrossPass crossRadix4, crossRadix2;
    GatherTile gatherTile;
    ScatterTile scatterTile;
    TileBitReverse tileBitReverse;
    RadixPasses radixPasses, radixPassesInverse;
};

#define ORVELAN_ENGINES(ns)                                                                                  \
    Engines {                                                                                                \
        ns::fftInCacheForwardBlocked, ns::fftBitReverseScatter, ns::fftBitReverseGather,                     \
            ns::fftBitReverseInPlace, ns::fftRecursiveBitReverse, ns::fftCrossRadix4, ns::fftCrossRadix2, \
            ns::fftGatherTile, ns::fftScatterTile, ns::fftTileBitReverse, ns::fftRadixPasses,             \
            ns::fftRadixPassesInverse                                                                      \
    }

Engines enginesOf(int variant) {
    switch (variant) {
        case 1: return ORVELAN_ENGINES(dsp_n1);
        case 2: return ORVELAN_ENGINES(dsp_n2);
        case 3: return ORVELAN_ENGINES(dsp_n3);
        default: return ORVELAN_ENGINES(dsp_n4);
    }
}
#undef ORVELAN_ENGINES

class FftEngines : public testing::TestWithParam<int> {
protected:
    const Engines engines = enginesOf(GetParam());
    const FftVariantPlan& plan = fftVariantPlan(GetParam());
};

// A 32-byte-aligned float array (the work areas' alignment).
struct Floats {
    explicit Floats(std::size_t n) : data(n + 8) {}
    float* get() { return data.data() + (8 - reinterpret_cast<std::uintptr_t>(data.data()) / 4 % 8) % 8; }
    std::vector<float> data;
};

// SSE4.1 and SSSE3 block their early stages over 2048 values, SSE3 over
// 1024; the blocked runs start one order above a block and end at the rung's
// last order.
TEST_P(FftEngines, BlockedInCacheStagesGiveTheUnblockedBits) {
    const std::int64_t block = GetParam() >= 3 ? 2048 : GetParam() == 2 ? 1024 : 0;
    if (block == 0) GTEST_SKIP() << "SSE2 does not block";
    for (int m = 10; m <= plan.lastDirectM; ++m) {
        SCOPED_TRACE(testing::Message() << "m " << m);
        const std::int64_t n = std::int64_t{1} << m;
        FftRecord record(GetParam(), m + 1, dspFftNoDiv);
        const std::vector<float> z = randomSignal(std::size_t(2 * n), 7000 + m);
        std::vector<float> blocked(z.size()), unblocked(z.size());
        Floats work(z.size());
        const DspsFFTSpec_R_32f* spec = record.get();
        engines.inCacheBlocked(z.data(), blocked.data(), n, spec->twiddleTable, spec->bitRevTable, work.get(), block);
        engines.inCacheBlocked(z.data(), unblocked.data(), n, spec->twiddleTable, spec->bitRevTable, work.get(), 0);
        ASSERT_EQ(std::memcmp(blocked.data(), unblocked.data(), sizeof(float) * z.size()), 0);
    }
}

// Values whose bits tell them apart, NaN payloads and denormals among them:
// the permutations move bits, never values.
std::vector<std::uint32_t> markedValues(std::int64_t n) {
    std::vector<std::uint32_t> v(std::size_t(2 * n));
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = (i % 3 == 0 ? 0x7FC00000u : i % 3 == 1 ? 0x00000000u : 0x80000000u) | std::uint32_t(i + 1);
    return v;
}

std::vector<std::uint32_t> reversedCopy(const std::vector<std::uint32_t>& v, int m) {
    std::vector<std::uint32_t> r(v.size());
    for (std::uint32_t i = 0; i < v.size() / 2; ++i) {
        const std::uint32_t j = fftReverseBits(i, m);
        r[2 * j] = v[2 * i];
        r[2 * j + 1] = v[2 * i + 1];
    }
    return r;
}

// Scatter (the copy up to its threshold), gather (above it) and the in-place
// form: the same permutation at every length, around the scatter threshold
// included, and twice is no change.
TEST_P(FftEngines, IndexBitReversalsArePermutationAndInvolution) {
    for (const int m : {3, 4, 5, 8, 15, 16, 17}) {
        SCOPED_TRACE(testing::Message() << "m " << m);
        const std::int64_t n = std::int64_t{1} << m;
        std::vector<std::int32_t> table(std::size_t(n / 4 + 16));
        if (m >= 4) fftBitReverseIndexTable(m, table.data());
        const std::vector<std::uint32_t> source = markedValues(n);
        const std::vector<std::uint32_t> want = reversedCopy(source, m);
        const auto* src = reinterpret_cast<const float*>(source.data());
        for (const BitReverseCopy copy : {engines.scatter, engines.gather}) {
            std::vector<std::uint32_t> got(source.size());
            copy(src, reinterpret_cast<float*>(got.data()), n, table.data());
            EXPECT_EQ(got, want) << (copy == engines.scatter ? "scatter" : "gather");
        }
        std::vector<std::uint32_t> data = source;
        engines.inPlace(reinterpret_cast<float*>(data.data()), n, table.data());
        EXPECT_EQ(data, want) << "in place";
        engines.inPlace(reinterpret_cast<float*>(data.data()), n, table.data());
        EXPECT_EQ(data, source) << "in place twice";
    }
}

// The in-tile reversal from a pairs-form list, at the tile's 12 bits and at
// smaller orders, on data 16-, 8- and 4-byte aligned: the bit reversal, and
// twice is no change.
TEST_P(FftEngines, TileBitReversalFromThePairListIsPermutationAndInvolution) {
    for (const int m : {2, 3, 4, 7, 12}) {
        const std::int64_t n = std::int64_t{1} << m;
        std::vector<std::int32_t> list(std::size_t(n / 4 + 16));
        fftBitReverseTable(m, list.data());
        const std::vector<std::uint32_t> source = markedValues(n);
        const std::vector<std::uint32_t> want = reversedCopy(source, m);
        for (const std::size_t offset : {0, 2, 1}) {
            SCOPED_TRACE(testing::Message() << "m " << m << ", " << 4 * offset << " bytes past a 16-byte boundary");
            Floats buffer(source.size() + 4);
            float* const data = buffer.get() + offset;
            std::memcpy(data, source.data(), sizeof(float) * source.size());
            engines.tileBitReverse(data, n, list.data());
            EXPECT_EQ(std::memcmp(data, want.data(), sizeof(float) * want.size()), 0) << "not the bit reversal";
            engines.tileBitReverse(data, n, list.data());
            EXPECT_EQ(std::memcmp(data, source.data(), sizeof(float) * source.size()), 0) << "twice";
        }
    }
}

// Gather and scatter against plain loops over a table of geometries (the
// smallest run, tiles, cross-stage groups), the vector at unaligned
// addresses: the gather moves rows into the block one after the other, the
// scatter back unchanged, or with interleaving each run of four quad-split
// values as (re, im) pairs; nothing outside the rows is written.
TEST_P(FftEngines, TileGatherAndScatterAreTheStridedCopies) {
    struct Geometry {
        std::int64_t rowStride, rows, cols;
    };
    for (const Geometry geometry : {Geometry{8, 1, 8}, Geometry{72, 3, 8}, Geometry{1024, 64, 64}, Geometry{160, 16, 32}}) {
        const auto [rowStride, rows, cols] = geometry;
        const std::size_t vectorFloats = std::size_t(2 * rowStride * rows);
        const std::vector<std::uint32_t> vector = markedValues(rowStride * rows);
        for (const std::size_t offset : {0, 1, 2, 3}) {
            SCOPED_TRACE(testing::Message() << "stride " << rowStride << ", " << rows << " x " << cols << ", offset "
                                            << offset);
            Floats base(vectorFloats + 4);
            std::memcpy(base.get() + offset, vector.data(), sizeof(float) * vectorFloats);
            Floats block(std::size_t(2 * rows * cols));
            engines.gatherTile(base.get() + offset, block.get(), rowStride, rows, cols);
            std::vector<std::uint32_t> want(std::size_t(2 * rows * cols));
            for (std::int64_t r = 0; r < rows; ++r)
                for (std::int64_t f = 0; f < 2 * cols; ++f) want[std::size_t(r * 2 * cols + f)] = vector[std::size_t(2 * r * rowStride + f)];
            ASSERT_EQ(std::memcmp(block.get(), want.data(), sizeof(float) * want.size()), 0) << "gather";

            const std::vector<std::uint32_t> blockBits = markedValues(rows * cols + 7);
            std::memcpy(block.get(), blockBits.data() + 14, sizeof(float) * want.size());
            for (const int interleave : {0, 1, 2}) {
                std::vector<std::uint32_t> out(vector.size() + 4, 0xDEADBEEFu), expected = out;
                for (std::int64_t r = 0; r < rows; ++r)
                    for (std::int64_t f = 0; f < 2 * cols; ++f) {
                        // Float f of a row: quad-split run f/8, value (f%8)/2, real or imaginary part.
                        const std::int64_t from = interleave == 1 ? f / 8 * 8 + (f % 2) * 4 + f % 8 / 2 : f;
                        expected[std::size_t(offset + 2 * r * rowStride + f)] = blockBits[std::size_t(14 + r * 2 * cols + from)];
                    }
                engines.scatterTile(reinterpret_cast<float*>(out.data()) + offset, block.get(), rowStride, rows, cols,
                                    interleave);
                EXPECT_EQ(out, expected) << "scatter, interleave " << interleave;
            }
        }
    }
}

// The recursive rung's whole-vector reversal at the last order with the index
// table, the first with tiles and, where the plan reverses out of place tile
// by tile from the source, the first order that copies first: out of place
// the permutation (the source untouched), in place its own inverse.
TEST_P(FftEngines, RecursiveRungBitReversalIsPermutationAndInvolution) {
    std::vector<int> orders = {plan.tiledFromM - 1, plan.tiledFromM};
    if (plan.tiledGatherUpToM > 0) orders.push_back(plan.tiledGatherUpToM + 1);
    for (const int m : orders) {
        SCOPED_TRACE(testing::Message() << "m " << m);
        const std::int64_t n = std::int64_t{1} << m;
        FftRecord record(GetParam(), m + 1, dspFftNoDiv);
        Floats work(std::size_t(record.bufferSize()) / sizeof(float));
        const std::vector<std::uint32_t> source = markedValues(n);
        std::vector<std::uint32_t> data(source.size()), copyOfSource = source;
        engines.recursiveBitReverse(record.get(), reinterpret_cast<const float*>(copyOfSource.data()),
                                    reinterpret_cast<float*>(data.data()), m, work.get());
        EXPECT_TRUE(copyOfSource == source) << "source changed";
        EXPECT_TRUE(data == reversedCopy(source, m)) << "not the bit reversal";
        engines.recursiveBitReverse(record.get(), reinterpret_cast<float*>(data.data()),
                                    reinterpret_cast<float*>(data.data()), m, work.get());
        EXPECT_TRUE(data == source) << "in place twice";
    }
}

// ---- radix passes ---------------------------------------------------------

// The variant's radix twiddles of order m, from the constant sine table up
// to order 10 and from a table of order m above.
std::vector<float> radixTwiddles(const FftVariantPlan& plan, int m) {
    std::vector<float> sine(m > 10 ? (std::size_t{1} << m) / 4 + 16 : 0);
    const FftSineSource source = m > 10 ? FftSineSource{sine.data(), m} : fftConstantSine();
    if (m > 10) fftSineTable(m, sine.data());
    Floats table((std::size_t{2} << m) + 16);
    fftRadixTwiddles(plan.layout, m, source, table.get());
    return {table.get(), table.get() + (std::size_t{2} << m)};
}

// Quad-split (four real parts, four imaginary parts per four values) to
// interleaved pairs.
std::vector<float> interleavedFromQuads(const float* quads, std::int64_t n) {
    std::vector<float> v(std::size_t(2 * n));
    for (std::int64_t k = 0; k < n; ++k) {
        v[std::size_t(2 * k)] = quads[8 * (k / 4) + k % 4];
        v[std::size_t(2 * k + 1)] = quads[8 * (k / 4) + 4 + k % 4];
    }
    return v;
}

// Forward and inverse, from the first orders (n = 32: a closing radix-2 or,
// in SSE2, an eight-point first pass; n = 64) over the first blocked ones to
// the bit-reversal rung's order: bit-reversed input, the unnormalised DFT
// of the double reference; quad-split output (interleave flag 0, or any
// value but 1) the same bits; the vector 4 and 8 bytes past a 16-byte
// boundary the same bits through the work area, which an aligned vector
// leaves untouched.
TEST_P(FftEngines, RadixPassesAreTheDftInEitherLayoutAtAnyAlignment) {
    for (const int m : {5, 6, 11, 12, 13, plan.lastDirectM})
        for (const bool inverse : {false, true}) {
            SCOPED_TRACE(testing::Message() << "m " << m << (inverse ? " inverse" : " forward"));
            const RadixPasses passes = inverse ? engines.radixPassesInverse : engines.radixPasses;
            const std::int64_t n = std::int64_t{1} << m;
            const std::vector<float> twiddles = radixTwiddles(plan, m);
            Floats twiddleCopy(twiddles.size());
            std::copy(twiddles.begin(), twiddles.end(), twiddleCopy.get());
            const std::vector<float> z = randomSignal(std::size_t(2 * n), 8100 + m);
            std::vector<RefComplex> natural(static_cast<std::size_t>(n));
            std::vector<float> reversed(z.size());
            for (std::int64_t j = 0; j < n; ++j) {
                natural[std::size_t(j)] = {z[std::size_t(2 * j)], z[std::size_t(2 * j + 1)]};
                const std::uint32_t r = fftReverseBits(std::uint32_t(j), m);
                reversed[2 * r] = z[std::size_t(2 * j)];
                reversed[2 * r + 1] = z[std::size_t(2 * j + 1)];
            }
            std::vector<double> want;
            for (const RefComplex& c : referenceDft(natural, inverse ? +1 : -1)) want.insert(want.end(), {c.real(), c.imag()});

            const auto run = [&](std::size_t offsetFloats, int interleave, bool* bufTouched) {
                Floats data(reversed.size() + 4), buf(reversed.size());
                std::fill(buf.data.begin(), buf.data.end(), 1234.5f);
                float* const at = data.get() + offsetFloats;
                std::copy(reversed.begin(), reversed.end(), at);
                passes(at, n, twiddleCopy.get(), buf.get(), interleave);
                if (bufTouched)
                    *bufTouched = std::any_of(buf.data.begin(), buf.data.end(), [](float v) { return v != 1234.5f; });
                return interleave == 1 ? std::vector<float>(at, at + 2 * n) : interleavedFromQuads(at, n);
            };
            bool bufTouched = true;
            const std::vector<float> got = run(0, 1, &bufTouched);
            EXPECT_LE(relativeL2Error(got, want), 1e-6);
            EXPECT_FALSE(bufTouched) << "an aligned vector uses the work area";
            EXPECT_EQ(run(0, 0, nullptr), got) << "quad-split";
            EXPECT_EQ(run(0, 2, nullptr), got) << "flag 2 quad-split";
            EXPECT_EQ(run(1, 1, nullptr), got) << "4 bytes off";
            EXPECT_EQ(run(2, 0, nullptr), got) << "8 bytes off, quad-split";
        }
}

// ---- cross passes ---------------------------------------------------------

using Cd = std::complex<double>;

// Value v of quad-split data: block v/4, lane v%4, real parts then imaginary.
Cd quadValue(const std::vector<float>& d, std::int64_t v) {
    return {d[std::size_t(8 * (v / 4) + v % 4)], d[std::size_t(8 * (v / 4) + 4 + v % 4)]};
}

// Twiddles W_L^(p*e) for the powers `powers` of each position e < span, in
// the passes' layout (per four positions, per power, four real parts then
// four imaginary parts), rounded to float.
std::vector<float> passTwiddles(std::int64_t span, std::int64_t length, int powers) {
    std::vector<float> t;
    for (std::int64_t e0 = 0; e0 < span; e0 += 4)
        for (int p = 1; p <= powers; ++p)
            for (int part = 0; part < 2; ++part)
                for (std::int64_t e = e0; e < e0 + 4; ++e) {
                    const double a = -2.0 * std::numbers::pi * double(p * e) / double(length);
                    t.push_back(float(part == 0 ? std::cos(a) : std::sin(a)));
                }
    return t;
}

// A cross pass of radix R over count groups of R blocks of span values: in
// every group and column e, block rev(q) holds Y_q[e], the e-th value of the
// q-th of R interleaved span-point transforms; the pass leaves in block k
// the column DFT X_k[e] = sum over q of W_(R*span)^(q*e) W_R^(q*k) Y_q[e],
// computed here in double from the same float twiddles.
void checkCrossPass(CrossPass pass, int radix, std::int64_t span, std::int64_t count) {
    const std::vector<float> in = randomSignal(std::size_t(2 * radix * span * count), 8000 + radix);
    const std::vector<float> twiddles = passTwiddles(span, radix * span, radix == 4 ? 3 : 1);
    std::vector<float> out = in;
    pass(out.data(), span, count, twiddles.data());
    const int blockOf[4] = {0, radix == 4 ? 2 : 1, 1, 3};  // bit-reversed blocks
    double worst = 0.0;
    for (std::int64_t g = 0; g < count; ++g)
        for (std::int64_t e = 0; e < span; ++e)
            for (int k = 0; k < radix; ++k) {
                Cd want = 0.0;
                for (int q = 0; q < radix; ++q) {
                    const Cd y = quadValue(in, g * radix * span + blockOf[q] * span + e);
                    const std::int64_t tw = 8 * (radix == 4 ? 3 : 1) * (e / 4) + e % 4;
                    const std::int64_t perPower = 8;
                    const Cd w = q == 0 ? Cd(1.0) : Cd(twiddles[std::size_t(tw + (q - 1) * perPower)],
                                                       twiddles[std::size_t(tw + (q - 1) * perPower + 4)]);
                    want += w * std::polar(1.0, -2.0 * std::numbers::pi * q * k / radix) * y;
                }
                worst = std::max(worst, std::abs(quadValue(out, g * radix * span + k * span + e) - want));
            }
    EXPECT_LE(worst, 4e-6) << "radix " << radix << " span " << span;
}

TEST_P(FftEngines, CrossPassesAreTwiddledColumnDfts) {
    for (const std::int64_t span : {4, 64}) {
        checkCrossPass(engines.crossRadix4, 4, span, 3);
        checkCrossPass(engines.crossRadix2, 2, span, 3);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FftEngines, testing::ValuesIn(fftVectorVariants()), variantName);

}  // namespace
