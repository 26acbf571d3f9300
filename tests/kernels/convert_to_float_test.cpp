// Integer-to-float conversion: known values and roundings, argument checks,
// the rounding mode, and every variant against a scalar model at every
// length, source offset and destination offset.
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "core/fp_env.h"
#include "dsp_dispatch.h"
#include "float_bits.h"
#include "guarded_buffer.h"
#include "vector/convert_to_float.h"
#include "tail_buffer.h"
#include "variants.h"

namespace {

// The value a sample should have, computed independently of the kernels.
float model8u(const unsigned char* s) { return static_cast<float>(s[0]); }
float model16s(const unsigned char* s) {
    std::int16_t v;
    std::memcpy(&v, s, sizeof v);
    return static_cast<float>(v);
}
float model24s(const unsigned char* s) {
    std::int32_t v = s[0] | s[1] << 8 | s[2] << 16;
    if (v & 0x800000) v -= 0x1000000;
    return static_cast<float>(v);
}
float model32s(const unsigned char* s) {
    std::int32_t v;
    std::memcpy(&v, s, sizeof v);
    return static_cast<float>(v);
}

template <auto& kTable, typename Src>
DspStatus callBody(int variant, const void* src, Dsp32f* dst, int len) {
    return kTable[variant](static_cast<const Src*>(src), dst, len);
}

template <auto kEntry, typename Src>
DspStatus callEntry(const void* src, Dsp32f* dst, int len) {
    return kEntry(static_cast<const Src*>(src), dst, len);
}

struct Conversion {
    const char* name;
    int bytesPerSample;
    DspStatus (*body)(int variant, const void* src, Dsp32f* dst, int len);
    DspStatus (*entry)(const void* src, Dsp32f* dst, int len);
    float (*model)(const unsigned char* sample);
};

const Conversion kConvert8u{"8u", 1, callBody<dspsConvert_8u32f_table, Dsp8u>,
                            callEntry<dspsConvert_8u32f, Dsp8u>, model8u};
const Conversion kConvert16s{"16s", 2, callBody<dspsConvert_16s32f_table, Dsp16s>,
                             callEntry<dspsConvert_16s32f, Dsp16s>, model16s};
const Conversion kConvert24s{"24s", 3, callBody<dspsConvert_24s32f_table, Dsp8u>,
                             callEntry<dspsConvert_24s32f, Dsp8u>, model24s};
const Conversion kConvert32s{"32s", 4, callBody<dspsConvert_32s32f_table, Dsp32s>,
                             callEntry<dspsConvert_32s32f, Dsp32s>, model32s};
const Conversion kConversions[] = {kConvert8u, kConvert16s, kConvert24s, kConvert32s};

// Long enough for the SIMD passes and every tail step to meet the sample.
constexpr int kRepeats = 41;

std::vector<unsigned char> repeated(const std::vector<unsigned char>& sample, int times) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < times; ++i) bytes.insert(bytes.end(), sample.begin(), sample.end());
    return bytes;
}

struct KnownValue {
    const Conversion* conversion;
    std::vector<unsigned char> sample;  // little-endian bytes of one sample
    float expected;
};

TEST(ConvertToFloatTest, KnownValuesThroughTheEntryPointOfEveryVariant) {
    const KnownValue rows[] = {
        {&kConvert8u, {0x00}, 0.0f},
        {&kConvert8u, {0x80}, 128.0f},  // no offset removed
        {&kConvert8u, {0xFF}, 255.0f},
        {&kConvert16s, {0x00, 0x80}, -32768.0f},
        {&kConvert16s, {0xFF, 0x7F}, 32767.0f},
        {&kConvert16s, {0xFF, 0xFF}, -1.0f},
        {&kConvert24s, {0x00, 0x00, 0x80}, -8388608.0f},
        {&kConvert24s, {0xFF, 0xFF, 0x7F}, 8388607.0f},
        {&kConvert24s, {0xFF, 0xFF, 0xFF}, -1.0f},
        {&kConvert24s, {0x01, 0x00, 0x00}, 1.0f},
        {&kConvert24s, {0x80, 0x80, 0x00}, 32896.0f},  // only the third byte carries the sign
        {&kConvert32s, {0x01, 0x00, 0x00, 0x01}, 16777216.0f},      // 2^24 + 1, tie to even
        {&kConvert32s, {0x03, 0x00, 0x00, 0x01}, 16777220.0f},      // 2^24 + 3, tie to even
        {&kConvert32s, {0xFF, 0xFF, 0xFF, 0x7F}, 2147483648.0f},    // 2^31 - 1
        {&kConvert32s, {0x00, 0x00, 0x00, 0x80}, -2147483648.0f},   // -2^31, exact
        {&kConvert32s, {0xFF, 0xFF, 0xFF, 0xFE}, -16777216.0f},     // -(2^24 + 1)
    };
    for (int variant : supportedVariants()) {
        ScopedVariant forced(variant);
        for (const KnownValue& row : rows) {
            const std::vector<unsigned char> src = repeated(row.sample, kRepeats);
            std::vector<Dsp32f> dst(kRepeats, -7.0f);
            ASSERT_EQ(row.conversion->entry(src.data(), dst.data(), kRepeats), dspStsNoErr);
            for (int i = 0; i < kRepeats; ++i)
                ASSERT_EQ(bitsOf(dst[i]), bitsOf(row.expected))
                    << row.conversion->name << " n" << variant << " sample " << i << " gives " << dst[i];
        }
    }
}

TEST(ConvertToFloatTest, LargeThirtyTwoBitValuesFollowTheCurrentRoundingModeAndLeaveIt) {
    constexpr Dsp32u kRoundDown = 0x3F80u;
    const std::int32_t src[] = {(1 << 24) + 3, INT32_MAX, -(1 << 24) - 1, 7};
    const float expected[] = {16777218.0f, 2147483520.0f, -16777218.0f, 7.0f};
    constexpr int kCount = 4;
    std::vector<std::int32_t> input;
    for (int i = 0; i < kRepeats; ++i) input.push_back(src[i % kCount]);

    const Dsp32u saved = fpGetMxcsr();
    for (int variant : supportedVariants()) {
        std::vector<Dsp32f> dst(kRepeats);
        fpLoadMxcsr(kRoundDown);
        const DspStatus status = kConvert32s.body(variant, input.data(), dst.data(), kRepeats);
        const Dsp32u after = fpGetMxcsr() & ~0x3Fu;  // ignore the sticky exception flags
        fpLoadMxcsr(saved);
        ASSERT_EQ(status, dspStsNoErr);
        EXPECT_EQ(after, kRoundDown) << "n" << variant;
        for (int i = 0; i < kRepeats; ++i)
            ASSERT_EQ(dst[i], expected[i % kCount]) << "n" << variant << " sample " << i;
    }
}

class ConvertToFloatVariantTest : public testing::TestWithParam<std::tuple<const Conversion*, int>> {
protected:
    const Conversion& conversion() const { return *std::get<0>(GetParam()); }
    int variant() const { return std::get<1>(GetParam()); }
};

TEST_P(ConvertToFloatVariantTest, RejectsNullPointersThenBadLengthsWithoutWriting) {
    struct Row {
        bool nullSrc, nullDst;
        int len;
        DspStatus expected;
    };
    const Row rows[] = {
        {true, false, 4, dspStsNullPtrErr},  {false, true, 4, dspStsNullPtrErr},
        {true, true, 4, dspStsNullPtrErr},   {true, false, 0, dspStsNullPtrErr},  // pointers first
        {false, false, 0, dspStsSizeErr},    {false, false, -1, dspStsSizeErr},
        {false, false, INT_MIN, dspStsSizeErr},
    };
    const std::vector<unsigned char> src(4 * conversion().bytesPerSample, 0x11);
    for (const Row& row : rows) {
        GuardedBuffer dst(4 * sizeof(Dsp32f), 0);
        dst.fill(0x5A);
        const DspStatus status = conversion().body(variant(), row.nullSrc ? nullptr : src.data(),
                                                   row.nullDst ? nullptr : dst.as<Dsp32f>(), row.len);
        EXPECT_EQ(status, row.expected) << "len " << row.len;
        for (std::size_t i = 0; i < dst.size(); ++i) ASSERT_EQ(dst.bytes()[i], 0x5A);
        EXPECT_TRUE(dst.guardsIntact());
    }
}

// Every length up to 100 at every source and destination offset modulo 16,
// destinations that are not 4-byte aligned included. The source ends at the
// end of its allocation, so the sanitizer build catches any overread.
TEST_P(ConvertToFloatVariantTest, MatchesTheScalarModelAtEveryLengthAndOffset) {
    constexpr int kMaxLen = 100;
    const int bytesPerSample = conversion().bytesPerSample;
    std::mt19937 random(1234);
    std::vector<unsigned char> samples(kMaxLen * bytesPerSample);
    for (unsigned char& b : samples) b = static_cast<unsigned char>(random());

    for (int len = 1; len <= kMaxLen; ++len) {
        const std::size_t srcBytes = std::size_t(len) * bytesPerSample;
        for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
            TailBuffer src(srcBytes, srcOffset);
            std::memcpy(src.bytes(), samples.data(), srcBytes);
            for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
                GuardedBuffer dst(len * sizeof(Dsp32f), dstOffset);
                ASSERT_EQ(conversion().body(variant(), src.bytes(), dst.as<Dsp32f>(), len), dspStsNoErr);
                for (int i = 0; i < len; ++i) {
                    const float expected = conversion().model(&samples[std::size_t(i) * bytesPerSample]);
                    ASSERT_EQ(bitsOf(dst.get<Dsp32f>(i)), bitsOf(expected))
                        << "len " << len << " src offset " << srcOffset << " dst offset " << dstOffset
                        << " sample " << i;
                }
                ASSERT_TRUE(dst.guardsIntact())
                    << "len " << len << " src offset " << srcOffset << " dst offset " << dstOffset;
            }
        }
    }
}

// Every 16-bit value, through each variant's widening (SSE4.1 sign-extends
// by moves, SSSE3 by compare and unpack, SSE2 by shift): the same floats as
// the scalar conversion, aligned and not.
TEST(ConvertToFloatTest, EverySixteenBitValueInEveryVariant) {
    std::vector<Dsp16s> all(65536 + 1);
    for (int v = 0; v < 65536; ++v) all[std::size_t(v) + 1] = static_cast<Dsp16s>(v - 32768);
    for (int variant : supportedVariants()) {
        for (std::size_t first : {std::size_t{0}, std::size_t{1}}) {
            std::vector<Dsp32f> out(65536, NAN);
            ASSERT_EQ(dspsConvert_16s32f_table[variant](all.data() + first, out.data(), 65536), dspStsNoErr);
            for (std::size_t i = 0; i < out.size(); ++i)
                ASSERT_EQ(bitsOf(out[i]), bitsOf(static_cast<float>(all[first + i])))
                    << "n" << variant << ", source offset " << first << ", sample " << i;
        }
    }
}

std::vector<const Conversion*> allConversions() {
    std::vector<const Conversion*> all;
    for (const Conversion& c : kConversions) all.push_back(&c);
    return all;
}

INSTANTIATE_TEST_SUITE_P(Variants, ConvertToFloatVariantTest,
                         testing::Combine(testing::ValuesIn(allConversions()), testing::ValuesIn(supportedVariants())),
                         [](const testing::TestParamInfo<std::tuple<const Conversion*, int>>& info) {
                             return std::string(std::get<0>(info.param)->name) + "_n" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace
