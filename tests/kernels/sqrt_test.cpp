// Square root in place: special values and the warning, which elements are
// exactly rounded and which come from the Newton-refined blocks, alignment
// and length boundaries, and the caller's MXCSR.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "caller_mxcsr.h"
#include "dsp.h"
#include "float_bits.h"
#include "float_vectors.h"
#include "vector/sqrt.h"
#include "placed_floats.h"
#include "variants.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// Largest distance of a Newton-refined element from the exactly rounded root,
// for any estimate within the architecture's 1.5·2^-12 relative: the step
// leaves -1.5·e² (up to 3.375·2^-24) and its roundings up to 1.75·2^-24 more.
// Trying every such estimate for every input of [1, 4) reaches 5; the
// development machine's estimate gives 3, so tests must not expect more of
// a block than this bound.
constexpr std::int64_t kSqrtBlockUlp = 5;

float sqrtReference(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }

VectorOutcome runSqrt(int variant, const std::vector<float>& x, std::size_t offset = 0) {
    PlacedFloats data(x, offset);
    const DspStatus status = dspsSqrt_32f_I_table[variant](data.data(), data.length());
    EXPECT_TRUE(data.prefixIntact());
    return {data.values(), status};
}

// The Newton block of each element (-1 for elements outside the blocks), for
// a vector that starts `offset` bytes past a 16-byte boundary: single
// elements first until address bits 2 and 3 are clear (so a vector that is
// not 4-byte aligned also peels up to three), then whole blocks of 16
// (n2..n4) or 8 (n1); n0 has none.
std::size_t headLength(std::size_t offset) { return (16 - (offset & 12)) % 16 / 4; }

std::vector<int> newtonBlocks(int variant, std::size_t offset, std::size_t len) {
    std::vector<int> blockOf(len, -1);
    if (variant == 0) return blockOf;
    const std::size_t head = std::min(len, headLength(offset));
    const std::size_t block = variant == 1 ? 8 : 16;
    const std::size_t end = head + (len - head) / block * block;
    for (std::size_t i = head; i < end; ++i) blockOf[i] = static_cast<int>((i - head) / block);
    return blockOf;
}

// Outside the Newton blocks exactly rounded, inside within kSqrtBlockUlp;
// n1's inputs below 1.0 exactly rounded everywhere.
testing::AssertionResult elementWithinClass(int variant, bool inBlock, float x, float got) {
    const float want = sqrtReference(x);
    const bool exact = !inBlock || (variant == 1 && x < 1.0f);
    if (exact ? bitsOf(got) == bitsOf(want) : ulpDistance(got, want) <= kSqrtBlockUlp)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << (exact ? "exact" : "block") << " element: sqrt(" << x << " = "
                                       << hexBits(bitsOf(x)) << ") gave " << got << ", want " << want;
}

testing::AssertionResult withinClass(int variant, std::size_t offset, const std::vector<float>& x,
                                     const std::vector<float>& got) {
    const std::vector<int> blockOf = newtonBlocks(variant, offset, x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        testing::AssertionResult result = elementWithinClass(variant, blockOf[i] >= 0, x[i], got[i]);
        if (!result) return result << " at index " << i << " of " << x.size();
    }
    return testing::AssertionSuccess();
}

// Positive normals of every binade, numbers below and above 1.0, and the
// inputs with the largest Newton error on the development machine.
std::vector<float> positiveInputs(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::uint32_t> anyNormal(0x00800000, 0x7F7FFFFF);
    std::uniform_real_distribution<float> nearOne(0.25f, 4.0f);
    std::vector<float> x = {floatFromBits(0x40476AFCu), floatFromBits(0x01476AFCu)};
    while (x.size() < count) x.push_back(x.size() % 2 ? floatFromBits(anyNormal(rng)) : nearOne(rng));
    x.resize(count);
    return x;
}

// A value at or above 1.0 whose Newton-refined root in a block of the variant
// differs from the exactly rounded one (the estimate is the processor's; on
// the development machine the first candidate), or 0 if none is found.
float newtonInexactValue(int variant) {
    std::vector<float> candidates = {floatFromBits(0x40476AFCu)};
    for (float c : positiveInputs(256, 9))
        if (c >= 1.0f) candidates.push_back(c);
    for (float c : candidates) {
        const VectorOutcome out = runSqrt(variant, std::vector<float>(variant == 1 ? 8 : 16, c));
        if (bitsOf(out.values[0]) != bitsOf(sqrtReference(c))) return c;
    }
    return 0.0f;
}

class SqrtTest : public testing::TestWithParam<int> {};

TEST(SqrtArguments, NullPointerComesBeforeLengthAndNothingIsWritten) {
    for (int v : supportedVariants()) {
        float data[3] = {4.0f, -4.0f, 9.0f};
        for (int len : {0, -1, 3}) EXPECT_EQ(dspsSqrt_32f_I_table[v](nullptr, len), dspStsNullPtrErr) << "n" << v;
        for (int len : {0, -1, -1000}) EXPECT_EQ(dspsSqrt_32f_I_table[v](data, len), dspStsSizeErr) << "n" << v;
        EXPECT_EQ(data[0], 4.0f);
        EXPECT_EQ(data[1], -4.0f);
        EXPECT_EQ(data[2], 9.0f);
    }
}

// Each special input alone and at every position of a vector of ordinary
// values: its own result and warning, the whole Newton block around it
// exactly rounded, everything else within its class.
TEST_P(SqrtTest, SpecialValuesGiveTheirResultAndWarningWherever) {
    const int v = GetParam();
    struct Row {
        std::uint32_t input;
        std::uint32_t generic;  // n0 leaves zeros and NaNs untouched
        std::uint32_t simd;     // the SIMD square root quietens a signalling NaN
        DspStatus status;
        bool exactBlock = true;  // sends its Newton block to the exact root
    };
    const Row rows[] = {
        {0x40800000u, 0x40000000u, 0x40000000u, dspStsNoErr, false},  // 4 -> 2 (in a block: near 2)
        {0xC0800000u, 0xFFC00000u, 0xFFC00000u, dspStsSqrtNegArg},  // -4
        {0x80000001u, 0xFFC00000u, 0xFFC00000u, dspStsSqrtNegArg},  // negative subnormal
        {0xFF800000u, 0xFFC00000u, 0xFFC00000u, dspStsSqrtNegArg},  // -inf
        {0x80000000u, 0x80000000u, 0x80000000u, dspStsNoErr},       // -0 stays -0
        {0x00000000u, 0x00000000u, 0x00000000u, dspStsNoErr},
        {0x7F800000u, 0x7F800000u, 0x7F800000u, dspStsNoErr},
        {0x7FC01234u, 0x7FC01234u, 0x7FC01234u, dspStsNoErr},
        {0x7F800001u, 0x7F800001u, 0x7FC00001u, dspStsNoErr},
        {0xFF801234u, 0xFF801234u, 0xFFC01234u, dspStsNoErr},       // a negative NaN does not warn
        {0x00000001u, 0x1A3504F3u, 0x1A3504F3u, dspStsNoErr},       // smallest subnormal: 2^-74.5
        {0x007FFFFFu, 0x1FFFFFFFu, 0x1FFFFFFFu, dspStsNoErr},
    };
    const std::vector<float> filler = positiveInputs(64, 5);
    for (const Row& row : rows) {
        const std::uint32_t want = v == 0 ? row.generic : row.simd;
        for (std::size_t offset : {0u, 8u, 2u}) {
            for (int at = -1; at < 64; ++at) {
                std::vector<float> x = at < 0 ? std::vector<float>{0.0f} : filler;
                const std::size_t index = at < 0 ? 0 : static_cast<std::size_t>(at);
                x[index] = floatFromBits(row.input);
                const VectorOutcome out = runSqrt(v, x, offset);
                SCOPED_TRACE(testing::Message()
                             << "input " << hexBits(row.input) << " at " << at << " offset " << offset);
                ASSERT_EQ(out.status, row.status);
                const std::vector<int> blockOf = newtonBlocks(v, offset, x.size());
                // An ordinary value in a Newton block gets the processor's
                // estimate refined, not exact bits.
                if (!row.exactBlock && blockOf[index] >= 0) {
                    ASSERT_TRUE(elementWithinClass(v, true, x[index], out.values[index]));
                } else {
                    ASSERT_EQ(hexBits(bitsOf(out.values[index])), hexBits(want));
                }
                // The whole block holding the special value takes the exact root.
                for (std::size_t i = 0; i < x.size(); ++i) {
                    if (i == index) continue;
                    if (row.exactBlock && blockOf[i] >= 0 && blockOf[i] == blockOf[index]) {
                        ASSERT_EQ(bitsOf(out.values[i]), bitsOf(sqrtReference(x[i]))) << "element " << i;
                    } else {
                        ASSERT_TRUE(elementWithinClass(v, blockOf[i] >= 0, x[i], out.values[i])) << "element " << i;
                    }
                }
            }
        }
    }
}

// Lengths around both block sizes and the vector width at every offset:
// exactly rounded outside the blocks, within kSqrtBlockUlp inside, n2..n4 alike.
TEST_P(SqrtTest, BlockAndAlignmentBoundaries) {
    const int v = GetParam();
    std::vector<int> lengths;
    for (int n = 1; n <= 40; ++n) lengths.push_back(n);
    for (int n : {255, 256, 257, 258, 1023, 1024, 1025}) lengths.push_back(n);
    for (int len : lengths) {
        const std::vector<float> x = positiveInputs(static_cast<std::size_t>(len), static_cast<unsigned>(len));
        for (std::size_t offset = 0; offset < 16; ++offset) {
            const VectorOutcome out = runSqrt(v, x, offset);
            SCOPED_TRACE(testing::Message() << "length " << len << " offset " << offset);
            ASSERT_EQ(out.status, dspStsNoErr);
            ASSERT_TRUE(withinClass(v, offset, x, out.values));
            if (v >= 3) {
                ASSERT_EQ(bitsOfAll(runSqrt(2, x, offset).values), bitsOfAll(out.values));
            }
        }
    }
}

// A vector shorter than one block after the alignment head is exactly
// rounded in every variant, as is any vector in n0. The second fixture holds
// only values at or above 1.0 whose Newton estimate is off, so that a block
// wrongly formed (n1 included) shows in the results.
TEST_P(SqrtTest, ShortVectorsAreExactlyRounded) {
    const int v = GetParam();
    const std::size_t shortest = v == 1 ? 8 : 16;
    for (std::size_t offset : {0u, 4u, 12u, 1u, 6u, 13u}) {
        const std::size_t head = headLength(offset);
        const float inexact = v == 0 ? 4.0f : newtonInexactValue(v);
        const std::vector<float> fixtures[] = {positiveInputs(head + shortest - 1, 17),
                                               std::vector<float>(head + shortest - 1, inexact)};
        for (const std::vector<float>& x : fixtures) {
            const VectorOutcome out = runSqrt(v, x, offset);
            for (std::size_t i = 0; i < x.size(); ++i)
                ASSERT_EQ(bitsOf(out.values[i]), bitsOf(sqrtReference(x[i])))
                    << "offset " << offset << " element " << i;
        }
    }
}

// Head, blocks and tail at every offset, on values whose Newton estimate is
// off: the head (up to three elements, also when the array is not 4-byte
// aligned) and the tail are exactly rounded, each block is not.
TEST_P(SqrtTest, HeadPeelsUpToThreeElementsAtAnyOffset) {
    const int v = GetParam();
    if (v == 0) GTEST_SKIP() << "n0 has no blocks";
    const float x = newtonInexactValue(v);
    if (x == 0.0f) GTEST_SKIP() << "no input found whose Newton root is off";
    const float exact = sqrtReference(x);
    const std::size_t block = v == 1 ? 8 : 16;
    for (std::size_t offset = 0; offset < 16; ++offset) {
        const std::size_t head = headLength(offset);
        const std::vector<float> data(head + block + 1, x);
        const VectorOutcome out = runSqrt(v, data, offset);
        for (std::size_t i = 0; i < data.size(); ++i) {
            const bool inBlock = i >= head && i < head + block;
            ASSERT_NE(bitsOf(out.values[i]) == bitsOf(exact), inBlock) << "offset " << offset << " element " << i;
        }
    }
}

TEST_P(SqrtTest, FourAndMinusFour) {
    const VectorOutcome out = runSqrt(GetParam(), {4.0f, -4.0f});
    EXPECT_EQ(out.status, dspStsSqrtNegArg);
    EXPECT_EQ(out.values[0], 2.0f);
    EXPECT_EQ(bitsOf(out.values[1]), 0xFFC00000u);
}

// The caller's MXCSR changes no result (a denormals-are-zero bit would turn
// subnormal inputs into zeros) and is exactly as before after the call.
TEST(SqrtEnvironment, CallerMxcsrNeitherMattersNorChanges) {
    std::vector<float> x = positiveInputs(70, 23);
    const float specials[] = {-1.0f, 0.0f, floatFromBits(0x7F800001u), floatFromBits(0xFFC00000u),
                              floatFromBits(0x00000005u), floatFromBits(0x00400000u), kInf, -kInf};
    for (std::size_t i = 0; i < std::size(specials); ++i) x[9 * i + 4] = specials[i];
    x[40] = floatFromBits(0x00000003u);  // a subnormal in a block with no other special value
    for (int v : supportedVariants()) {
        std::vector<float> reference = x;
        const DspStatus referenceStatus = dspsSqrt_32f_I_table[v](reference.data(), static_cast<int>(x.size()));
        EXPECT_EQ(bitsOf(reference[40]), bitsOf(sqrtReference(x[40])));
        for (Dsp32u state : kCallerMxcsrStates) {
            std::vector<float> data = x;
            DspStatus status = 0;
            const Dsp32u after = mxcsrAfterCall(
                state, [&] { status = dspsSqrt_32f_I_table[v](data.data(), static_cast<int>(data.size())); });
            SCOPED_TRACE(testing::Message() << "n" << v << " caller MXCSR " << hexBits(state));
            EXPECT_EQ(after, state);
            EXPECT_EQ(status, referenceStatus);
            EXPECT_EQ(bitsOfAll(data), bitsOfAll(reference));
        }
    }
}

// The entry point runs the variant start-up chose and returns its warning
// unchanged; n0 leaves a signalling NaN as it is, the SIMD variants quieten it.
TEST_P(SqrtTest, EntryPointRunsTheChosenVariant) {
    const int v = GetParam();
    const ScopedVariant chosen(v);
    std::vector<float> x = {floatFromBits(0x7F800001u), -1.0f, 9.0f};
    EXPECT_EQ(dspsSqrt_32f_I(x.data(), 3), dspStsSqrtNegArg);
    EXPECT_EQ(bitsOf(x[0]), v == 0 ? 0x7F800001u : 0x7FC00001u);
    EXPECT_EQ(bitsOf(x[1]), 0xFFC00000u);
    EXPECT_EQ(x[2], 3.0f);
}

INSTANTIATE_FOR_EACH_VARIANT(SqrtTest);

}  // namespace
