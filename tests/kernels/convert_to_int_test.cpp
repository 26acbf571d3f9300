// Float-to-integer conversion with scale factor, rounding mode and
// saturation (8u, 16s, packed 24s, 32s), in every processor variant.
//
// Variant classes: for finite inputs with scale factors -127..126 all five
// variants give identical results in rounding modes 0 and 1 and in the 24-bit
// conversion; the SIMD variants (n1..n4) are identical to each other
// everywhere. The generic variant differs in the documented places only: NaN
// results, the 8u/16s half-away case +-0.49999997, and the NaN products of
// extreme scale factors. The model below states those differences.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "caller_mxcsr.h"
#include "core/fp_env.h"
#include "float_bits.h"
#include "guarded_buffer.h"
#include "vector/convert_to_int.h"
#include "tail_buffer.h"
#include "variants.h"

namespace {

enum class Dst { k8u, k16s, k24s, k32s };

struct Format {
    Dst dst;
    const char* name;
    std::size_t bytes;
    std::int64_t low, high;
};

constexpr Format kFormats[] = {
    {Dst::k8u, "8u", 1, 0, 255},
    {Dst::k16s, "16s", 2, -32768, 32767},
    {Dst::k24s, "24s", 3, -8388608, 8388607},
    {Dst::k32s, "32s", 4, INT32_MIN, INT32_MAX},
};
const Format& format(Dst d) { return kFormats[static_cast<int>(d)]; }

constexpr int kOtherMode = 2;  // any value but 0 and 1: half away from zero
constexpr int kModes[] = {dspRndZero, dspRndNear, kOtherMode};

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kBelowHalf = std::nextafter(0.5f, 0.0f);  // 0.49999997

// Through the entry point; the 24-bit function has no rounding argument.
DspStatus convert(Dst d, const Dsp32f* src, Dsp8u* dst, int len, int rnd, int s) {
    switch (d) {
        case Dst::k8u: return dspsConvert_32f8u_Sfs(src, dst, len, rnd, s);
        case Dst::k16s: return dspsConvert_32f16s_Sfs(src, reinterpret_cast<Dsp16s*>(dst), len, rnd, s);
        case Dst::k24s: return dspsConvert_32f24s_Sfs(src, dst, len, s);
        case Dst::k32s: return dspsConvert_32f32s_Sfs(src, reinterpret_cast<Dsp32s*>(dst), len, rnd, s);
    }
    return dspStsBadArgErr;
}

// Element i of a destination, sign-extended (24-bit: little-endian 3 bytes).
std::int64_t decode(Dst d, const Dsp8u* p, std::size_t i) {
    const Dsp8u* e = p + i * format(d).bytes;
    switch (d) {
        case Dst::k8u: return e[0];
        case Dst::k16s: {
            Dsp16s v;
            std::memcpy(&v, e, 2);
            return v;
        }
        case Dst::k24s: return e[0] | (e[1] << 8) | (static_cast<std::int8_t>(e[2]) * 65536);
        case Dst::k32s: {
            Dsp32s v;
            std::memcpy(&v, e, 4);
            return v;
        }
    }
    return 0;
}

std::vector<std::int64_t> convertAll(Dst d, const std::vector<float>& src, int rnd, int s) {
    std::vector<Dsp8u> dst(src.size() * format(d).bytes);
    EXPECT_EQ(convert(d, src.data(), dst.data(), static_cast<int>(src.size()), rnd, s), dspStsNoErr);
    std::vector<std::int64_t> out(src.size());
    for (std::size_t i = 0; i < src.size(); ++i) out[i] = decode(d, dst.data(), i);
    return out;
}

// The documented result of one element, computed in double. `generic` selects
// the generic variant's behaviour, otherwise the SIMD variants'.
std::int64_t model(Dst d, int rnd, float x, int s, bool generic) {
    const Format& f = format(d);
    const bool is24 = d == Dst::k24s;
    const int mode = is24 ? dspRndNear : (rnd == dspRndZero || rnd == dspRndNear ? rnd : kOtherMode);
    double v;
    bool productIsNan = false;
    if (is24) {
        const int c = std::clamp(s, -127, 127);
        const float m = c == 127 ? 0.0f : std::ldexp(1.0f, -c);
        v = generic ? double(x) * m : double(x * m);
        productIsNan = std::isnan(v) && !std::isnan(x);
    } else if (generic) {
        v = s == 0 ? x : double(x) * std::ldexp(1.0, -std::clamp(s, -2000, 2000));
    } else {
        // Single-precision multiplier: infinite below -127, zero above 149.
        const float m = s <= -128 ? kInf : s >= 150 ? 0.0f : std::ldexp(1.0f, -s);
        v = s == 0 ? x : x * m;
        productIsNan = std::isnan(v) && !std::isnan(x);
    }
    if (std::isnan(v)) {
        if (generic) return (mode == kOtherMode && d == Dst::k32s) ? INT32_MIN : 0;
        if (is24) return f.low;
        if (mode != kOtherMode && !productIsNan) return 0;  // NaN sources in modes 0 and 1
        // 0 * inf and inf * 0 give the processor's default NaN, sign set.
        const bool negative = productIsNan || std::signbit(x);
        if (d == Dst::k32s) return negative ? INT32_MIN : INT32_MAX;
        return f.high;
    }
    if (!generic && mode == kOtherMode && (d == Dst::k8u || d == Dst::k16s) && std::fabs(v) == kBelowHalf) {
        // The 8u and 16s SIMD kernels add 0.5 in single precision.
        return v > 0 ? 1 : (d == Dst::k16s ? -1 : 0);
    }
    const double clamped = std::clamp(v, double(f.low), double(f.high));
    switch (mode) {
        case dspRndZero: return static_cast<std::int64_t>(std::trunc(clamped));
        case dspRndNear: return static_cast<std::int64_t>(std::nearbyint(clamped));
        default: return static_cast<std::int64_t>(std::round(clamped));
    }
}

// Finite, infinite, NaN and boundary inputs.
std::vector<float> specialValues() {
    std::vector<float> v;
    const float magnitudes[] = {0.0f,
                                floatFromBits(1),
                                floatFromBits(0x7FFFFF),
                                FLT_MIN,
                                0.25f,
                                kBelowHalf,
                                0.5f,
                                0.50000006f,
                                1.0f,
                                1.5f,
                                2.5f,
                                3.5f,
                                127.5f,
                                254.5f,
                                255.0f,
                                255.4f,
                                255.5f,
                                256.0f,
                                32767.5f,
                                32768.0f,
                                32768.6f,
                                65535.5f,
                                8388607.0f,
                                8388607.5f,
                                8388608.0f,
                                1.0e7f,
                                16777215.0f,
                                2147483520.0f,
                                2147483648.0f,
                                4.0e9f,
                                FLT_MAX,
                                kInf};
    for (float m : magnitudes) {
        v.push_back(m);
        v.push_back(-m);
    }
    for (std::uint32_t nan : {0x7FC00000u, 0xFFC00000u, 0x7F800001u, 0xFF800001u, 0x7FC12345u})
        v.push_back(floatFromBits(nan));
    return v;
}

void expectMatchesModel(Dst d, const std::vector<float>& src, int rnd, int s, int variant) {
    const std::vector<std::int64_t> got = convertAll(d, src, rnd, s);
    int failures = 0;
    for (std::size_t i = 0; i < src.size() && failures < 10; ++i) {
        const std::int64_t want = model(d, rnd, src[i], s, variant == 0);
        if (got[i] != want) {
            ++failures;
            ADD_FAILURE() << format(d).name << " n" << variant << " rnd " << rnd << " s " << s << " x " << std::hexfloat
                          << src[i] << std::defaultfloat << ": got " << got[i] << ", want " << want;
        }
    }
}

class ConvertToIntTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
    ScopedVariant scoped_{GetParam()};
};
INSTANTIATE_FOR_EACH_VARIANT(ConvertToIntTest);

TEST_P(ConvertToIntTest, ArgumentErrorsWriteNothing) {
    const float src[4] = {1, 2, 3, 4};
    for (const Format& f : kFormats) {
        GuardedBuffer dst(4 * f.bytes, 0);
        dst.fill(0x5A);
        struct Case {
            const float* src;
            Dsp8u* dst;
            int len;
            DspStatus status;
        } cases[] = {
            {nullptr, dst.bytes(), 4, dspStsNullPtrErr}, {src, nullptr, 4, dspStsNullPtrErr},
            {nullptr, dst.bytes(), 0, dspStsNullPtrErr}, {src, dst.bytes(), 0, dspStsSizeErr},
            {src, dst.bytes(), -3, dspStsSizeErr},
        };
        for (const Case& c : cases) {
            EXPECT_EQ(convert(f.dst, c.src, c.dst, c.len, dspRndNear, 0), c.status) << f.name << " len " << c.len;
        }
        for (std::size_t i = 0; i < dst.size(); ++i) EXPECT_EQ(dst.bytes()[i], 0x5A) << f.name;
        EXPECT_TRUE(dst.guardsIntact());
    }
}

// Worked values per rounding mode (every other rnd value rounds half away
// from zero, like 2).
TEST_P(ConvertToIntTest, WorkedValuesPerRoundingMode) {
    struct Row {
        Dst dst;
        int scale;
        float x;
        std::int64_t zero, nearest, other;
    } rows[] = {
        {Dst::k16s, 0, 2.5f, 2, 2, 3},
        {Dst::k16s, 0, -2.5f, -2, -2, -3},
        {Dst::k16s, 0, 3.5f, 3, 4, 4},
        {Dst::k16s, 0, -0.5f, 0, 0, -1},
        {Dst::k32s, 0, 2.5f, 2, 2, 3},
        {Dst::k32s, 0, -2.5f, -2, -2, -3},
        {Dst::k32s, 0, 3.5f, 3, 4, 4},
        {Dst::k32s, 0, -0.5f, 0, 0, -1},
        {Dst::k8u, 0, -0.4f, 0, 0, 0},
        {Dst::k8u, 0, -3.0f, 0, 0, 0},
        {Dst::k8u, 0, 254.5f, 254, 254, 255},
        {Dst::k8u, 0, 255.4f, 255, 255, 255},
        {Dst::k8u, 0, 1000.0f, 255, 255, 255},
        {Dst::k16s, 0, 32767.5f, 32767, 32767, 32767},
        {Dst::k16s, 0, -32768.6f, -32768, -32768, -32768},
        {Dst::k32s, 0, 2147483520.0f, 2147483520, 2147483520, 2147483520},
        {Dst::k32s, 0, 2147483648.0f, INT32_MAX, INT32_MAX, INT32_MAX},
        {Dst::k32s, 0, -2147483648.0f, INT32_MIN, INT32_MIN, INT32_MIN},
        {Dst::k16s, 1, 3.0f, 1, 2, 2},
        {Dst::k16s, 1, 5.0f, 2, 2, 3},
        {Dst::k32s, -2, 1.25f, 5, 5, 5},
    };
    for (const Row& r : rows) {
        for (int rnd : std::initializer_list<int>{dspRndZero, dspRndNear, kOtherMode, -1, 7}) {
            const std::int64_t want = rnd == dspRndZero ? r.zero : rnd == dspRndNear ? r.nearest : r.other;
            EXPECT_EQ(convertAll(r.dst, {r.x}, rnd, r.scale)[0], want)
                << format(r.dst).name << " x " << r.x << " s " << r.scale << " rnd " << rnd;
        }
    }
}

TEST_P(ConvertToIntTest, TwentyFourBitBytes) {
    struct Row {
        float x;
        Dsp8u bytes[3];
    } rows[] = {
        {1.0f, {0x01, 0x00, 0x00}},    {-1.0f, {0xFF, 0xFF, 0xFF}},      {256.0f, {0x00, 0x01, 0x00}},
        {-256.0f, {0x00, 0xFF, 0xFF}}, {8388607.5f, {0xFF, 0xFF, 0x7F}}, {-1.0e7f, {0x00, 0x00, 0x80}},
        {2.5f, {0x02, 0x00, 0x00}},    {3.5f, {0x04, 0x00, 0x00}},
    };
    for (const Row& r : rows) {
        Dsp8u out[3] = {};
        ASSERT_EQ(dspsConvert_32f24s_Sfs(&r.x, out, 1, 0), dspStsNoErr);
        EXPECT_EQ(std::memcmp(out, r.bytes, 3), 0) << r.x;
    }
}

// NaN and infinity, per variant class.
TEST_P(ConvertToIntTest, NanAndInfinityTable) {
    const bool generic = variant() == 0;
    const float nanPositive = floatFromBits(0x7FC00000), nanNegative = floatFromBits(0xFFC00000);
    struct Row {
        Dst dst;
        int rnd;
        std::int64_t genericNan, simdNanPositive, simdNanNegative;
    } rows[] = {
        {Dst::k8u, dspRndZero, 0, 0, 0},
        {Dst::k8u, dspRndNear, 0, 0, 0},
        {Dst::k8u, kOtherMode, 0, 255, 255},
        {Dst::k16s, dspRndZero, 0, 0, 0},
        {Dst::k16s, dspRndNear, 0, 0, 0},
        {Dst::k16s, kOtherMode, 0, 32767, 32767},
        {Dst::k24s, dspRndNear, 0, -8388608, -8388608},
        {Dst::k32s, dspRndZero, 0, 0, 0},
        {Dst::k32s, dspRndNear, 0, 0, 0},
        {Dst::k32s, kOtherMode, INT32_MIN, INT32_MAX, INT32_MIN},
    };
    for (const Row& r : rows) {
        const Format& f = format(r.dst);
        const auto got = convertAll(r.dst, {nanPositive, nanNegative, kInf, -kInf}, r.rnd, 0);
        EXPECT_EQ(got[0], generic ? r.genericNan : r.simdNanPositive) << f.name << " rnd " << r.rnd;
        EXPECT_EQ(got[1], generic ? r.genericNan : r.simdNanNegative) << f.name << " rnd " << r.rnd;
        EXPECT_EQ(got[2], f.high) << f.name << " rnd " << r.rnd;
        EXPECT_EQ(got[3], f.low) << f.name << " rnd " << r.rnd;
    }
}

TEST_P(ConvertToIntTest, HalfAwayJustBelowOneHalf) {
    const bool generic = variant() == 0;
    for (int rnd : {kOtherMode, -1}) {
        EXPECT_EQ(convertAll(Dst::k8u, {kBelowHalf}, rnd, 0)[0], generic ? 0 : 1);
        EXPECT_EQ(convertAll(Dst::k16s, {kBelowHalf, -kBelowHalf}, rnd, 0),
                  (std::vector<std::int64_t>{generic ? 0 : 1, generic ? 0 : -1}));
        EXPECT_EQ(convertAll(Dst::k32s, {kBelowHalf, -kBelowHalf}, rnd, 0), (std::vector<std::int64_t>{0, 0}));
    }
}

// Scale factors from ordinary to absurd; INT_MIN must return at once (the
// multiplier stops changing long before 2^31 steps).
TEST_P(ConvertToIntTest, ScaleFactorsAgainstModel) {
    const std::vector<float> src = specialValues();
    for (int s : {1, -2, 127, 149, 150, -128, 200, -200, INT_MIN, INT_MAX, 1100, -1100}) {
        for (const Format& f : kFormats) {
            for (int rnd : kModes) expectMatchesModel(f.dst, src, rnd, s, variant());
        }
    }
}

TEST_P(ConvertToIntTest, TwentyFourBitScaleFactorIsClamped) {
    const std::vector<float> finite = {1.0f, -1.0f, FLT_MAX, -FLT_MAX, 8388607.0f, 1.0e-30f};
    for (std::int64_t v : convertAll(Dst::k24s, finite, dspRndNear, 200)) EXPECT_EQ(v, 0);
    EXPECT_EQ(convertAll(Dst::k24s, finite, dspRndNear, 200), convertAll(Dst::k24s, finite, dspRndNear, 127));
    const float tiny = std::ldexp(1.0f, -104);
    EXPECT_EQ(convertAll(Dst::k24s, {tiny, -tiny, std::nextafter(tiny, 0.0f)}, dspRndNear, -200),
              (std::vector<std::int64_t>{8388607, -8388608, 8388607}));
    EXPECT_EQ(convertAll(Dst::k24s, {std::ldexp(1.0f, -105)}, dspRndNear, -200)[0], 4194304);
}

TEST_P(ConvertToIntTest, MillionRandomValuesAgainstModel) {
    std::mt19937 rng(20261209u + variant());
    std::vector<float> src(1000000);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::uniform_real_distribution<float> audio(-1.5f, 1.5f);
    std::uniform_int_distribution<int> halves(-70000, 70000);
    for (std::size_t i = 0; i < src.size(); ++i) {
        switch (i % 4) {
            case 0: src[i] = floatFromBits(bits(rng)); break;                // every class, NaNs included
            case 1: src[i] = audio(rng) * 32768.0f; break;                   // 16-bit full scale and beyond
            case 2: src[i] = static_cast<float>(halves(rng)) * 0.5f; break;  // exact ties
            default: src[i] = audio(rng) * 3.0e9f; break;                    // around the 32-bit range
        }
    }
    for (const Format& f : kFormats) {
        for (int rnd : kModes) {
            expectMatchesModel(f.dst, src, rnd, 0, variant());
            if (f.dst == Dst::k24s) break;  // no rounding argument
        }
    }
    const std::vector<float> special = specialValues();
    for (const Format& f : kFormats)
        for (int rnd : kModes) expectMatchesModel(f.dst, special, rnd, 0, variant());
}

// Heads, blocks and tails at every length up to 40 and every source and
// destination offset: the model's values, nothing written outside the
// destination, nothing read past the source (the AddressSanitizer build
// reports that).
TEST_P(ConvertToIntTest, LengthsAndOffsets) {
    std::vector<float> pattern = specialValues();
    std::mt19937 rng(7);
    std::shuffle(pattern.begin(), pattern.end(), rng);
    for (const Format& f : kFormats) {
        for (int len = 1; len <= 40; ++len) {
            const int rnd = kModes[len % 3];
            const int s = len % 5 == 0 ? 3 : 0;
            for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
                TailBuffer src(len * sizeof(float), srcOffset);
                src.assign(pattern.data());
                for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
                    GuardedBuffer dst(len * f.bytes, dstOffset);
                    ASSERT_EQ(convert(f.dst, reinterpret_cast<const Dsp32f*>(src.bytes()), dst.bytes(), len, rnd, s),
                              dspStsNoErr);
                    ASSERT_TRUE(dst.guardsIntact())
                        << f.name << " len " << len << " offsets " << srcOffset << "/" << dstOffset;
                    for (int i = 0; i < len; ++i) {
                        ASSERT_EQ(decode(f.dst, dst.bytes(), i), model(f.dst, rnd, pattern[i], s, variant() == 0))
                            << f.name << " len " << len << " element " << i << " offsets " << srcOffset << "/"
                            << dstOffset;
                    }
                }
            }
        }
    }
}

TEST_P(ConvertToIntTest, TwentyFourBitLengthNineWritesExactly27Bytes) {
    const std::vector<float> src(9, -1.0f);
    for (std::size_t offset = 0; offset < 16; ++offset) {
        GuardedBuffer dst(27, offset);
        ASSERT_EQ(dspsConvert_32f24s_Sfs(src.data(), dst.bytes(), 9, 0), dspStsNoErr);
        EXPECT_TRUE(dst.guardsIntact()) << offset;
        for (std::size_t i = 0; i < 27; ++i) EXPECT_EQ(dst.bytes()[i], 0xFF) << offset;
    }
}

// In place (destination = source), with a NaN earlier in the vector and the
// caller's invalid flag set: an output whose bits look like a NaN must stay.
TEST_P(ConvertToIntTest, InPlaceKeepsResultsThatLookLikeNan) {
    const float nanLooking = 2139095168.0f;  // converts to 0x7F800080
    for (int len : {2, 5, 11, 19}) {
        for (Dsp32u callerMxcsr : {0x1F80u, 0x1F81u}) {
            std::vector<float> buffer(len, nanLooking);
            buffer[0] = floatFromBits(0x7FC00000);
            DspStatus status = dspStsBadArgErr;
            mxcsrAfterCall(callerMxcsr, [&] {
                status =
                    dspsConvert_32f32s_Sfs(buffer.data(), reinterpret_cast<Dsp32s*>(buffer.data()), len, dspRndNear, 0);
            });
            ASSERT_EQ(status, dspStsNoErr);
            Dsp32s out[19];
            std::memcpy(out, buffer.data(), len * sizeof(Dsp32s));
            EXPECT_EQ(out[0], 0);
            for (int i = 1; i < len; ++i) EXPECT_EQ(out[i], 0x7F800080) << "len " << len << " element " << i;
        }
    }
    // Every format: in place gives the out-of-place result.
    const std::vector<float> src = specialValues();
    for (const Format& f : kFormats) {
        std::vector<float> buffer = src;
        auto* bytes = reinterpret_cast<Dsp8u*>(buffer.data());
        ASSERT_EQ(convert(f.dst, buffer.data(), bytes, static_cast<int>(buffer.size()), dspRndNear, 0), dspStsNoErr);
        const std::vector<std::int64_t> outOfPlace = convertAll(f.dst, src, dspRndNear, 0);
        for (std::size_t i = 0; i < src.size(); ++i)
            EXPECT_EQ(decode(f.dst, bytes, i), outOfPlace[i]) << f.name << " " << i;
    }
}

// The caller's MXCSR changes nothing in the results and is put back exactly.
TEST_P(ConvertToIntTest, CallerMxcsrNeitherMattersNorChanges) {
    const std::vector<float> src = specialValues();
    std::vector<Dsp32u> callerStates(std::begin(kCallerMxcsrStates), std::end(kCallerMxcsrStates));
    callerStates.push_back(0x5F80);  // round up
    const Dsp32u x87Before = fpGetX87Control();
    // Scale factors whose multiplier or products are subnormal expose FTZ/DAZ.
    for (int s : {0, 140, -140}) {
        for (const Format& f : kFormats) {
            for (int rnd : kModes) {
                const std::vector<std::int64_t> reference = convertAll(f.dst, src, rnd, s);
                for (Dsp32u state : callerStates) {
                    std::vector<Dsp8u> dst(src.size() * f.bytes);
                    DspStatus status = dspStsBadArgErr;
                    const Dsp32u after = mxcsrAfterCall(state, [&] {
                        status = convert(f.dst, src.data(), dst.data(), static_cast<int>(src.size()), rnd, s);
                    });
                    ASSERT_EQ(status, dspStsNoErr);
                    EXPECT_EQ(after, state) << std::hex << f.name << " caller MXCSR " << state;
                    for (std::size_t i = 0; i < src.size(); ++i) {
                        EXPECT_EQ(decode(f.dst, dst.data(), i), reference[i])
                            << f.name << " caller MXCSR " << std::hex << state << std::dec << " s " << s << " rnd "
                            << rnd << " x " << src[i];
                    }
                }
            }
        }
    }
    EXPECT_EQ(fpGetX87Control(), x87Before);
}

TEST(FloatToIntTruncTest, TruncatesTowardZeroOrGivesIndefinite) {
    struct Row {
        double v;
        Dsp32s want;
    } rows[] = {
        {2.9, 2},
        {-2.9, -2},
        {-0.0, 0},
        {2147483647.9, INT32_MAX},
        {-2147483648.9, INT32_MIN},
        {2147483648.0, INT32_MIN},
        {-2147483649.0, INT32_MIN},
        {std::numeric_limits<double>::infinity(), INT32_MIN},
        {-std::numeric_limits<double>::infinity(), INT32_MIN},
        {std::numeric_limits<double>::quiet_NaN(), INT32_MIN},
    };
    for (const Row& r : rows) EXPECT_EQ(dspFloatToIntTrunc(r.v), r.want) << r.v;
}

}  // namespace
