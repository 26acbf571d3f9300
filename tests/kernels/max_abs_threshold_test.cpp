// Maximum, absolute value and thresholds: each variant against its model at
// every length and byte offset, with NaNs and tied zeros where the variants
// part, and the argument checks.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "float_bits.h"
#include "guarded_buffer.h"
#include "vector/max_abs_threshold.h"
#include "placed_floats.h"
#include "variants.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// The SSE merge step: a if a > b, else b (b for ties and NaNs).
float merge(float a, float b) { return a > b ? a : b; }

// The SSE variants' maximum, merge by merge in the kernel's order; `address`
// is where the vector lies, which picks the path.
float sseMaxModel(const std::vector<float>& v, std::uintptr_t address) {
    std::size_t i = 0, n = v.size();
    float lanes[4] = {v[0], v[0], v[0], v[0]};
    const auto group = [&] {
        for (int j = 0; j < 4; ++j) lanes[j] = merge(lanes[j], v[i + j]);
        i += 4;
        n -= 4;
    };
    const auto reduceThenSingles = [&] {
        float result = merge(merge(lanes[0], lanes[2]), merge(lanes[1], lanes[3]));
        for (; n > 0; --n, ++i) result = merge(result, v[i]);
        return result;
    };
    const auto at = [&] { return address + 4 * i; };
    if (address % 4 != 0) {
        while (n >= 4) group();
        return reduceThenSingles();
    }
    for (; n > 0 && at() % 16 != 0; --n, ++i) lanes[0] = merge(lanes[0], v[i]);
    if (n == 0) return lanes[0];
    if (at() % 32 != 0) {
        if (n < 4) {
            for (; n > 0; --n, ++i) lanes[0] = merge(lanes[0], v[i]);
            return lanes[0];
        }
        group();
    }
    if (n >= 16) {
        float sets[4][4];
        for (auto& set : sets) std::memcpy(set, lanes, sizeof lanes);
        for (; n >= 16; n -= 16, i += 16)
            for (int s = 0; s < 4; ++s)
                for (int j = 0; j < 4; ++j) sets[s][j] = merge(sets[s][j], v[i + 4 * s + j]);
        for (int j = 0; j < 4; ++j) lanes[j] = merge(merge(sets[0][j], sets[2][j]), merge(sets[1][j], sets[3][j]));
    }
    while (n >= 4) group();
    return reduceThenSingles();
}

// n0: only a strictly greater element replaces the running maximum.
float genericMaxModel(const std::vector<float>& v) {
    float running = v[0];
    for (float x : v)
        if (x > running) running = x;
    return running;
}

// Mostly small negative values, zeros of both signs and NaNs with distinct
// payloads, so that ties at zero and NaNs are often the deciding elements.
std::vector<float> tieAndNaNValues(std::size_t n, std::mt19937& rng) {
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<float> values(n);
    for (std::size_t i = 0; i < n; ++i) {
        switch (pick(rng)) {
            case 0: values[i] = floatFromBits(0x7FC00000u + static_cast<std::uint32_t>(i) + 1); break;
            case 1: case 2: values[i] = 0.0f; break;
            case 3: case 4: values[i] = -0.0f; break;
            default: values[i] = -1.0f - static_cast<float>(pick(rng)); break;
        }
    }
    return values;
}

std::vector<float> wideValues(std::size_t n, std::mt19937& rng) {
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    std::vector<float> values(n);
    for (float& x : values) x = value(rng);
    return values;
}

std::vector<int> lengths(std::mt19937& rng) {
    std::vector<int> result;
    for (int len = 1; len <= 70; ++len) result.push_back(len);
    std::uniform_int_distribution<int> upTo300(71, 300);
    for (int k = 0; k < 6; ++k) result.push_back(upTo300(rng));
    return result;
}

class MaxAbsThresholdTest : public testing::TestWithParam<int> {
protected:
    int variant() const { return GetParam(); }
};

TEST_P(MaxAbsThresholdTest, MaxFollowsTheMergeOrderAtEveryOffset) {
    std::mt19937 rng(21 + variant());
    for (int len : lengths(rng)) {
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (bool ties : {true, false}) {
                const std::vector<float> values = ties ? tieAndNaNValues(len, rng) : wideValues(len, rng);
                PlacedFloats src(values, offset);
                Dsp32f result = 1234.0f;
                ASSERT_EQ(dspsMax_32f_table[variant()](src.data(), len, &result), dspStsNoErr);
                const float expected = variant() == 0
                                           ? genericMaxModel(values)
                                           : sseMaxModel(values, reinterpret_cast<std::uintptr_t>(src.data()));
                ASSERT_EQ(bitsOf(result), bitsOf(expected)) << "len " << len << " offset " << offset;
            }
        }
    }
}

TEST_P(MaxAbsThresholdTest, MaxSpecialCases) {
    struct Row {
        std::vector<float> values;
        float generic;  // n0; the SSE variants as their model
    };
    const Row rows[] = {{{-0.0f, 0.0f}, -0.0f}, {{kNaN, 1.0f, 2.0f}, kNaN}, {{1.0f, kNaN, 2.0f}, 2.0f},
                        {{-7.5f}, -7.5f}, {{-kInf, -1e30f}, -1e30f}};
    for (const Row& row : rows) {
        for (std::size_t offset : {0u, 4u, 8u, 12u}) {
            PlacedFloats src(row.values, offset);
            Dsp32f result;
            ASSERT_EQ(dspsMax_32f_table[variant()](src.data(), static_cast<int>(row.values.size()), &result),
                      dspStsNoErr);
            const float expected = variant() == 0
                                       ? row.generic
                                       : sseMaxModel(row.values, reinterpret_cast<std::uintptr_t>(src.data()));
            EXPECT_TRUE(bitsOf(result) == bitsOf(expected) || (std::isnan(result) && std::isnan(expected)))
                << row.values.size() << " values, offset " << offset;
        }
    }
}

std::uint32_t absBits(float x, int variant) {
    std::uint32_t bits = bitsOf(x) & 0x7FFFFFFFu;
    if (variant == 0 && bits > 0x7F800000u) bits |= 0x00400000u;  // the x87 quietens signalling NaNs
    return bits;
}

TEST_P(MaxAbsThresholdTest, AbsClearsTheSignAtEveryOffset) {
    std::mt19937 rng(3);
    const std::vector<float> specials = {-0.0f, -kInf, floatFromBits(0xFFC01234u), floatFromBits(0xFF812345u),
                                         floatFromBits(0x80000001u), -1e-40f, kInf, 3.5f};
    for (int len : {1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 31, 33, 47, 64, 100}) {
        for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
            for (std::size_t dstOffset = 0; dstOffset < 16; dstOffset += 2) {
                std::vector<float> values = wideValues(len, rng);
                for (int i = 0; i < len; i += 5) values[i] = specials[(i / 5) % specials.size()];
                PlacedFloats src(values, srcOffset);
                GuardedBuffer dst(len * 4u, dstOffset);
                ASSERT_EQ(dspsAbs_32f_table[variant()](src.data(), dst.as<Dsp32f>(), len), dspStsNoErr);
                ASSERT_TRUE(dst.guardsIntact());
                for (int i = 0; i < len; ++i)
                    ASSERT_EQ(bitsOf(dst.get<float>(i)), absBits(values[i], variant())) << len << "/" << i;
            }
        }
        // In place.
        std::vector<float> values = wideValues(len, rng);
        values[0] = specials[len % specials.size()];
        GuardedBuffer inPlace(len * 4u, 4);
        std::memcpy(inPlace.bytes(), values.data(), len * 4u);
        ASSERT_EQ(dspsAbs_32f_table[variant()](inPlace.as<Dsp32f>(), inPlace.as<Dsp32f>(), len), dspStsNoErr);
        for (int i = 0; i < len; ++i) ASSERT_EQ(bitsOf(inPlace.get<float>(i)), absBits(values[i], variant()));
    }
}

// --- Thresholds ------------------------------------------------------------------

enum class Form { OutOfPlace, InPlace };

// x = element, L = level. Out of place every variant keeps x only when it is
// strictly inside; in place the SSE variants do the same, while n0 replaces x
// only when it is strictly beyond (so a NaN, or x equal to L, stays).
float thresholdModel(float x, float level, int relOp, Form form, int variant) {
    const bool above = relOp == kThresholdAbove;
    if (form == Form::InPlace && variant == 0) return (above ? x > level : x < level) ? level : x;
    return (above ? x < level : x > level) ? x : level;
}

TEST_P(MaxAbsThresholdTest, ThresholdsMatchTheirModelsAtEveryOffset) {
    std::mt19937 rng(8);
    const float levels[] = {1.0f, 0.0f, -0.0f, -3.0f, kNaN};
    for (float level : levels) {
        for (int relOp : {kThresholdBelow, kThresholdAbove}) {
            for (int len : {1, 2, 3, 4, 7, 8, 15, 16, 17, 31, 33, 90}) {
                for (std::size_t srcOffset = 0; srcOffset < 16; srcOffset += 2) {
                    for (std::size_t dstOffset = 0; dstOffset < 16; dstOffset += 2) {
                        std::vector<float> values = tieAndNaNValues(len, rng);
                        for (int i = 1; i < len; i += 3) values[i] = -values[i] + level;
                        PlacedFloats src(values, srcOffset);
                        GuardedBuffer dst(len * 4u, dstOffset);
                        GuardedBuffer inPlace(len * 4u, dstOffset);
                        std::memcpy(inPlace.bytes(), values.data(), len * 4u);
                        ASSERT_EQ(thresholdGeneric_table[variant()](src.data(), dst.as<Dsp32f>(), len, level, relOp),
                                  dspStsNoErr);
                        ASSERT_EQ(thresholdGenericInPlace_table[variant()](inPlace.as<Dsp32f>(), len, level, relOp),
                                  dspStsNoErr);
                        ASSERT_TRUE(dst.guardsIntact() && inPlace.guardsIntact());
                        for (int i = 0; i < len; ++i) {
                            const float out = thresholdModel(values[i], level, relOp, Form::OutOfPlace, variant());
                            const float in = thresholdModel(values[i], level, relOp, Form::InPlace, variant());
                            ASSERT_EQ(bitsOf(dst.get<float>(i)), bitsOf(out)) << level << "/" << relOp << "/" << len;
                            ASSERT_EQ(bitsOf(inPlace.get<float>(i)), bitsOf(in)) << level << "/" << relOp << "/" << len;
                        }
                    }
                }
            }
        }
    }
}

TEST_P(MaxAbsThresholdTest, PublicThresholdsUseTheirRelation) {
    const bool sse = variant() != 0;
    {
        const Dsp32f src[4] = {0.5f, 1.0f, 2.0f, kNaN};
        Dsp32f dst[4];
        ASSERT_EQ(dspsThreshold_LT_32f_table[variant()](src, dst, 4, 1.0f), dspStsNoErr);
        const float expected[4] = {1.0f, 1.0f, 2.0f, 1.0f};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(dst[i], expected[i]) << i;
    }
    {
        Dsp32f v[3] = {0.5f, 2.0f, kNaN};
        ASSERT_EQ(dspsThreshold_GT_32f_I_table[variant()](v, 3, 1.0f), dspStsNoErr);
        EXPECT_EQ(v[0], 0.5f);
        EXPECT_EQ(v[1], 1.0f);
        EXPECT_TRUE(sse ? v[2] == 1.0f : std::isnan(v[2]));
    }
    {
        Dsp32f v[3] = {0.5f, 2.0f, kNaN};
        ASSERT_EQ(dspsThreshold_LT_32f_I_table[variant()](v, 3, 1.0f), dspStsNoErr);
        EXPECT_EQ(v[0], 1.0f);
        EXPECT_EQ(v[1], 2.0f);
        EXPECT_TRUE(sse ? v[2] == 1.0f : std::isnan(v[2]));
    }
    {
        // A NaN level: every element in the SSE variants, none in n0 in place.
        Dsp32f v[2] = {-5.0f, 5.0f};
        ASSERT_EQ(dspsThreshold_LT_32f_I_table[variant()](v, 2, kNaN), dspStsNoErr);
        EXPECT_EQ(std::isnan(v[0]), sse);
        EXPECT_EQ(std::isnan(v[1]), sse);
    }
}

TEST_P(MaxAbsThresholdTest, ChecksPointersThenLengthThenRelation) {
    Dsp32f v[2] = {1.0f, 2.0f};
    Dsp32f out = 9.0f;
    const int k = variant();
    EXPECT_EQ(dspsMax_32f_table[k](nullptr, 0, &out), dspStsNullPtrErr);
    EXPECT_EQ(dspsMax_32f_table[k](v, 2, nullptr), dspStsNullPtrErr);
    EXPECT_EQ(dspsMax_32f_table[k](v, 0, &out), dspStsSizeErr);
    EXPECT_EQ(dspsAbs_32f_table[k](v, nullptr, -1), dspStsNullPtrErr);
    EXPECT_EQ(dspsAbs_32f_table[k](v, v, -1), dspStsSizeErr);
    EXPECT_EQ(dspsThreshold_LT_32f_table[k](nullptr, v, 2, 0.0f), dspStsNullPtrErr);
    EXPECT_EQ(dspsThreshold_LT_32f_table[k](v, v, 0, 0.0f), dspStsSizeErr);
    EXPECT_EQ(dspsThreshold_LT_32f_I_table[k](nullptr, 0, 0.0f), dspStsNullPtrErr);
    EXPECT_EQ(dspsThreshold_GT_32f_I_table[k](v, -3, 0.0f), dspStsSizeErr);
    for (int relOp : {1, 2, 3, 5, -1}) {
        EXPECT_EQ(thresholdGeneric_table[k](v, nullptr, 0, 0.0f, relOp), dspStsNullPtrErr);
        EXPECT_EQ(thresholdGeneric_table[k](v, v, 0, 0.0f, relOp), dspStsSizeErr);
        EXPECT_EQ(thresholdGeneric_table[k](v, v, 2, 0.0f, relOp), dspStsBadArgErr);
        EXPECT_EQ(thresholdGenericInPlace_table[k](nullptr, 2, 0.0f, relOp), dspStsNullPtrErr);
        EXPECT_EQ(thresholdGenericInPlace_table[k](v, 0, 0.0f, relOp), dspStsSizeErr);
        EXPECT_EQ(thresholdGenericInPlace_table[k](v, 2, 0.0f, relOp), dspStsBadArgErr);
    }
    EXPECT_EQ(out, 9.0f);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[1], 2.0f);
}

TEST(MaxAbsThresholdDispatchTest, EntryPointsRunTheChosenVariant) {
    for (int k : supportedVariants()) {
        ScopedVariant chosen(k);
        const Dsp32f zeros[2] = {-0.0f, 0.0f};
        Dsp32f peak;
        ASSERT_EQ(dspsMax_32f(zeros, 2, &peak), dspStsNoErr);
        Dsp32f bodyPeak;
        ASSERT_EQ(dspsMax_32f_table[k](zeros, 2, &bodyPeak), dspStsNoErr);
        EXPECT_EQ(bitsOf(peak), bitsOf(bodyPeak));
        Dsp32f absolute[2];
        EXPECT_EQ(dspsAbs_32f(zeros, absolute, 2), dspStsNoErr);
        EXPECT_EQ(bitsOf(absolute[0]), 0u);
        Dsp32f v[1] = {kNaN};
        EXPECT_EQ(dspsThreshold_GT_32f_I(v, 1, 1.0f), dspStsNoErr);
        EXPECT_EQ(std::isnan(v[0]), k == 0);
        EXPECT_EQ(dspsThreshold_LT_32f_I(v, 0, 1.0f), dspStsSizeErr);
        EXPECT_EQ(dspsThreshold_LT_32f(v, nullptr, 1, 1.0f), dspStsNullPtrErr);
    }
}

INSTANTIATE_FOR_EACH_VARIANT(MaxAbsThresholdTest);

}  // namespace
