// Generic real-FFT engines (see fft/fft_generic.h). Forward and inverse run
// the same decimation-in-time graph; the inverse multiplies by conjugated
// twiddles and turns -i into +i.
#include <bit>
#include <cstdint>

#include "fft/fft_generic.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "fft/fft_tables.h"
#include "vector/arith_const.h"
#include "shared/simd_memory.h"

namespace dsp_n0 {
namespace {

struct Cx {
    double re, im;
};

inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator*(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline Cx conj(Cx a) { return {a.re, -a.im}; }
// i*a (inverse) or -i*a (forward).
inline Cx timesI(FftDirection dir, Cx a) { return dir == FftDirection::inverse ? Cx{-a.im, a.re} : Cx{a.im, -a.re}; }
inline double toFloat(double x) { return static_cast<float>(x); }
inline Cx toFloat(Cx a) { return {toFloat(a.re), toFloat(a.im)}; }

inline Cx load(const float* base, std::int64_t i) {
    return {dspLoad<float>(base + 2 * i), dspLoad<float>(base + 2 * i + 1)};
}
inline void store(float* base, std::int64_t i, Cx v) {
    dspStore(base + 2 * i, static_cast<float>(v.re));
    dspStore(base + 2 * i + 1, static_cast<float>(v.im));
}
inline void moveValue(const float* src, std::int64_t from, float* dst, std::int64_t to) {
    dspStore(dst + 2 * to, dspLoad<std::uint64_t>(src + 2 * from));
}

// A forward twiddle of the tables, conjugated for the inverse.
inline Cx twiddle(FftDirection dir, const float* pair) {
    const Cx w{pair[0], pair[1]};
    return dir == FftDirection::inverse ? conj(w) : w;
}

void scaleFloats(float factor, float* data, std::int64_t count) {
    n0_dspsMulC_32f_I(factor, data, static_cast<int>(count));
}

// Radix-4 butterfly on x0..x3 (the points j, j+Q, j+2Q, j+3Q of a group)
// with the twiddles of entry t already applied to x1 (by w^2t), x2 (w^t) and
// x3 (w^3t). The inverse parks the intermediates its caller names as floats.
struct Butterfly {
    bool roundDifference;  // x0 - x1 as a float
    bool roundU1;          // the twiddled x1 as a float
    bool roundReDiff;      // Re(x2' - x3') as a float
    bool roundReSum;       // Re(x2' + x3') as a float
};

void radix4(FftDirection dir, Cx& x0, Cx& x1, Cx& x2, Cx& x3, Butterfly rounding) {
    if (rounding.roundU1) x1 = toFloat(x1);
    Cx sum = x0 + x1, diff = x0 - x1;
    if (rounding.roundDifference) diff = toFloat(diff);
    Cx high = x2 + x3, low = x2 - x3;
    if (rounding.roundReDiff) low.re = toFloat(low.re);
    if (rounding.roundReSum) high.re = toFloat(high.re);
    x0 = sum + high;
    x2 = sum - high;
    x1 = diff + timesI(dir, low);
    x3 = diff - timesI(dir, low);
}

}  // namespace

void fftBitReverseCopy(const float* src, float* dst, std::int64_t n, const std::int32_t* table) {
    if (n < 8) {
        moveValue(src, 0, dst, 0);
        if (n > 1) moveValue(src, n - 1, dst, n - 1);
        if (n == 4) {
            moveValue(src, 1, dst, 2);
            moveValue(src, 2, dst, 1);
        }
        return;
    }
    // Position t*h + 2k + u goes to u*h + 2*rev(k) + t.
    const std::int64_t h = n / 2;
    const auto group = [&](std::int64_t k, std::int64_t kr) {
        moveValue(src, 2 * k, dst, 2 * kr);
        moveValue(src, h + 2 * k, dst, 2 * kr + 1);
        moveValue(src, 2 * k + 1, dst, h + 2 * kr);
        moveValue(src, h + 2 * k + 1, dst, h + 2 * kr + 1);
    };
    fftWalkBitReversePairs(
        table,
        [&](std::int64_t k, std::int64_t kr) {
            group(k, kr);
            group(kr, k);
        },
        [&](std::int64_t k) { group(k, k); });
}

void fftBitReverseInPlace(float* data, std::int64_t n, const std::int32_t* table) {
    if (n < 4) return;
    const std::int64_t h = n / 2;
    const auto swap = [data](std::int64_t a, std::int64_t b) {
        const auto va = dspLoad<std::uint64_t>(data + 2 * a);
        dspStore(data + 2 * a, dspLoad<std::uint64_t>(data + 2 * b));
        dspStore(data + 2 * b, va);
    };
    fftWalkBitReversePairs(
        table,
        [&](std::int64_t k, std::int64_t kr) {
            swap(2 * k, 2 * kr);
            swap(2 * k + 1, h + 2 * kr);
            swap(h + 2 * k, 2 * kr + 1);
            swap(h + 2 * k + 1, h + 2 * kr + 1);
        },
        [&](std::int64_t k) { swap(2 * k + 1, h + 2 * k); });
}

namespace {

// One radix-4 stage of length 4Q over the whole vector: for each group and
// j < Q the points j, j+Q, j+2Q, j+3Q, twiddled by entry j*n/(4Q) (w^2t on
// the second point, w^t on the third, w^3t on the fourth).
void radix4Stage(FftDirection dir, float* data, std::int64_t n, const float* twiddles, std::int64_t length) {
    const bool inverse = dir == FftDirection::inverse;
    const std::int64_t quarter = length / 4;
    for (std::int64_t g = 0; g < n; g += length)
        for (std::int64_t j = 0; j < quarter; ++j) {
            Cx x0 = load(data, g + j), x1 = load(data, g + j + quarter), x2 = load(data, g + j + 2 * quarter),
               x3 = load(data, g + j + 3 * quarter);
            Butterfly rounding{inverse, false, false, false};
            if (j > 0) {
                const float* entry = twiddles + 6 * (j * (n / length));
                x1 = x1 * twiddle(dir, entry + 2);
                x2 = x2 * twiddle(dir, entry);
                x3 = x3 * twiddle(dir, entry + 4);
                if (inverse)
                    rounding = length == 16 ? Butterfly{false, false, j == 2, false}
                                            : Butterfly{false, true, true, length == 32 && j == 7};
            }
            radix4(dir, x0, x1, x2, x3, rounding);
            store(data, g + j, x0);
            store(data, g + j + quarter, x1);
            store(data, g + j + 2 * quarter, x2);
            store(data, g + j + 3 * quarter, x3);
        }
}

// The radix-2 stage of odd orders, length 8, with W8 from entry n/8.
void radix2Stage8(FftDirection dir, float* data, std::int64_t n, const float* twiddles) {
    const Cx w1 = twiddle(dir, twiddles + 6 * (n / 8));
    const Cx w[4] = {{1.0, 0.0}, w1, timesI(dir, {1.0, 0.0}), timesI(dir, w1)};
    for (std::int64_t g = 0; g < n; g += 8)
        for (int j = 0; j < 4; ++j) {
            const Cx a = load(data, g + j), b = load(data, g + j + 4);
            const Cx t = j == 0 ? b : w[j] * b;
            store(data, g + j, a + t);
            store(data, g + j + 4, a - t);
        }
}

}  // namespace

void fftRadixPasses(FftDirection dir, float* data, std::int64_t n, const float* twiddles) {
    radix4Stage(dir, data, n, twiddles, 4);
    std::int64_t length = 16;
    if (std::countr_zero(static_cast<std::uint64_t>(n)) % 2 == 1) {
        radix2Stage8(dir, data, n, twiddles);
        length = 32;
    }
    for (; length <= n; length *= 4) radix4Stage(dir, data, n, twiddles, length);
}

void fftRadix2Pass(FftDirection dir, float* data, std::int64_t n, std::int64_t blockLen, const float* twiddles) {
    for (std::int64_t len = blockLen, blocks = n / blockLen; blocks >= 2; len *= 2, blocks /= 2)
        for (std::int64_t lo = 0; lo < n; lo += 2 * len)
            for (std::int64_t p = 0; p < len; ++p) {
                const std::int64_t half = p < len / 2 ? p : p - len / 2;
                Cx w = twiddle(dir, twiddles + 2 * (half * (blocks / 2)));
                if (p >= len / 2) w = timesI(dir, w);
                const Cx a = load(data, lo + p), t = w * load(data, lo + len + p);
                store(data, lo + p, a + t);
                store(data, lo + len + p, a - t);
            }
}

namespace {

struct Recursion {
    FftDirection dir;
    const DspsFFTSpec_R_32f* spec;
    const std::int8_t* splitOrders;
    unsigned char* work;

    bool scaled() const { return (dir == FftDirection::forward ? spec->scaleFwd : spec->scaleInv) == 1; }

    // A leaf of 2^r values (r <= 10) through the radix passes, scaled at once.
    void leaf(float* data, std::int64_t count) {
        fftRadixPasses(dir, data, count, spec->twiddleTable);
        if (scaled()) scaleFloats(spec->scaleFactor, data, 2 * count);
    }

    // 2^11 or 2^12 values: 1024-point pieces joined by radix-2 stages.
    void blockedLeaf(float* data, int m) {
        const std::int64_t count = std::int64_t{1} << m;
        for (std::int64_t c = count - 1024; c >= 0; c -= 1024) leaf(data + 2 * c, 1024);
        fftRadix2Pass(dir, data, count, 1024, spec->joinTable);
    }

    // Rows of 2^(m-s) values transformed on their own, then the 2^s-point
    // column transforms four columns at a time in the work buffer, after the
    // cross twiddles W^(rev(i)*c).
    void step(float* data, int m, int level) {
        // The step tables never nest deeper than the record's three levels.
        if (level >= 3) return;
        const int s = splitOrders[m];
        const int r = m - s;
        const std::int64_t rows = std::int64_t{1} << s, columns = std::int64_t{1} << r;
        for (std::int64_t i = 0; i < rows; ++i) {
            float* row = data + 2 * i * columns;
            if (r <= 10)
                leaf(row, columns);
            else if (splitOrders[r] == 0)
                blockedLeaf(row, r);
            else
                step(row, r, level + 1);
        }
        auto* scratch = reinterpret_cast<float*>(work);
        const float* cross = spec->crossTwiddles[level];
        for (std::int64_t c0 = 0; c0 < columns; c0 += 4) {
            for (std::int64_t i = 0; i < rows; ++i)
                for (int q = 0; q < 4; ++q, cross += 2)
                    store(scratch + 2 * q * rows, i, load(data, i * columns + c0 + q) * twiddle(dir, cross));
            for (int q = 0; q < 4; ++q) fftRadixPasses(dir, scratch + 2 * q * rows, rows, spec->levelTwiddles[level]);
            for (std::int64_t i = 0; i < rows; ++i)
                for (int q = 0; q < 4; ++q) moveValue(scratch + 2 * q * rows, i, data, i * columns + c0 + q);
        }
    }
};

}  // namespace

void fftRecursive(FftDirection dir, const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m,
                  unsigned char* work) {
    const std::int64_t count = std::int64_t{1} << m;
    if (src == dst)
        fftBitReverseInPlace(dst, count, spec->bitRevTable);
    else
        fftBitReverseCopy(src, dst, count, spec->bitRevTable);
    Recursion recursion{dir, spec, fftVariantPlan(0).splitOrders, work};
    if (recursion.splitOrders[m] != 0)
        recursion.step(dst, m, 0);
    else
        recursion.blockedLeaf(dst, m);
}

void realFftRecombine(float* data, std::int64_t n, const float* splitFwd) {
    for (std::int64_t k = 1; k < n / 2; ++k) {
        const double t0 = splitFwd[2 * k], t1 = splitFwd[2 * k + 1];
        const Cx z = load(data, k), zr = load(data, n - k);
        const double t = t1 * (z.re - zr.re) + t0 * (z.im + zr.im);
        const double u = t1 * (z.im + zr.im) - t0 * (z.re - zr.re);
        store(data, k, {zr.re + t, u - zr.im});
        store(data, n - k, {z.re - t, u - z.im});
    }
    if (n >= 2) dspStore(data + n + 1, -dspLoad<float>(data + n + 1));
}

void realFftRecombineInverse(const float* src, float* dst, std::int64_t n, const float* splitInv) {
    if (n < 2) return;
    for (std::int64_t k = 1; k < n / 2; ++k) {
        const double t0 = splitInv[2 * k], t1 = splitInv[2 * k + 1];
        const Cx x = load(src, k), xr = load(src, n - k);
        const double p = t1 * (x.re - xr.re) - t0 * (x.im + xr.im);
        const double q = t0 * (x.re - xr.re) + t1 * (x.im + xr.im);
        store(dst, k, {(x.re + xr.re) + p, (x.im - xr.im) + q});
        store(dst, n - k, {(x.re + xr.re) - p, q - (x.im - xr.im)});
    }
    const Cx middle = load(src, n / 2);
    store(dst, n / 2, {2.0 * middle.re, -2.0 * middle.im});
}

}  // namespace dsp_n0
