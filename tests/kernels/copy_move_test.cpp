// Copy and move: every byte count up to 200 at every pair of alignments
// against memcpy/memmove, overlapping moves, argument checks, aligned copies
// in both directions and the streaming path.
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cache_fake.h"
#include "dsp.h"
#include "cache_size.h"
#include "dsp_dispatch.h"
#include "guarded_buffer.h"
#include "vector/copy_move.h"
#include "tail_buffer.h"
#include "variants.h"

namespace {

constexpr unsigned char kPrefill = 0x5C;

// A copy seen as "copy len elements from src to dst", run in one variant.
struct Copier {
    std::string name;
    std::size_t elementSize;
    std::function<DspStatus(const void* src, void* dst, int len)> copy;
};

// Copies through their entry points (the test forces the variant); the move
// has none and runs through its table.
std::vector<Copier> copiers(int variant) {
    return {
        {"dspsCopy_32f", 4,
         [](const void* s, void* d, int len) {
             return dspsCopy_32f(static_cast<const Dsp32f*>(s), static_cast<Dsp32f*>(d), len);
         }},
        {"dspsCopy_64f", 8,
         [](const void* s, void* d, int len) {
             return dspsCopy_64f(static_cast<const Dsp64f*>(s), static_cast<Dsp64f*>(d), len);
         }},
        {"dspsCopy_32fc", 8,
         [](const void* s, void* d, int len) {
             return dspsCopy_32fc(static_cast<const Dsp32fc*>(s), static_cast<Dsp32fc*>(d), len);
         }},
        {"dspsMove_32f", 4,
         [variant](const void* s, void* d, int len) {
             return dspsMove_32f_table[variant](static_cast<const Dsp32f*>(s), static_cast<Dsp32f*>(d), len);
         }},
    };
}

// Copies `bytes` from a source ending exactly at its heap block's end (reads
// past it fault under AddressSanitizer) into a guarded destination and
// compares with memcpy.
void expectCopiesExactly(const Copier& c, std::size_t bytes, std::size_t srcOffset, std::size_t dstOffset) {
    TailBuffer src(bytes, srcOffset);
    src.fillCounting(static_cast<unsigned>(bytes + srcOffset));
    GuardedBuffer dst(bytes, dstOffset);
    dst.fill(kPrefill);
    const int len = static_cast<int>(bytes / c.elementSize);
    ASSERT_EQ(c.copy(src.bytes(), dst.bytes(), len), dspStsNoErr) << c.name;
    ASSERT_EQ(std::memcmp(dst.bytes(), src.bytes(), bytes), 0)
        << c.name << " bytes " << bytes << " offsets " << srcOffset << "/" << dstOffset;
    ASSERT_TRUE(dst.guardsIntact()) << c.name << " bytes " << bytes << " offsets " << srcOffset << "/" << dstOffset;
}

class CopyMoveTest : public testing::TestWithParam<int> {};

TEST_P(CopyMoveTest, CopiesEveryLengthUpTo200AtEveryPairOfOffsets) {
    ScopedVariant forced(GetParam());
    for (const Copier& c : copiers(GetParam()))
        for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset)
            for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset)
                for (std::size_t bytes = c.elementSize; bytes <= 200; bytes += c.elementSize)
                    expectCopiesExactly(c, bytes, srcOffset, dstOffset);
}

TEST_P(CopyMoveTest, CopyOntoItselfLeavesTheDataUnchanged) {
    ScopedVariant forced(GetParam());
    for (const Copier& c : copiers(GetParam())) {
        for (const std::size_t offset : {0, 3, 4, 8}) {
            for (const std::size_t bytes : {8, 64, 200, 4096}) {
                TailBuffer data(bytes, offset);
                data.fillCounting(11);
                const std::vector<unsigned char> before(data.bytes(), data.bytes() + bytes);
                ASSERT_EQ(c.copy(data.bytes(), data.bytes(), static_cast<int>(bytes / c.elementSize)), dspStsNoErr);
                EXPECT_EQ(std::vector<unsigned char>(data.bytes(), data.bytes() + bytes), before)
                    << c.name << " bytes " << bytes << " offset " << offset;
            }
        }
    }
}

// Overlapping moves against memmove: the destination one element or one byte
// above or below the source, equal pointers, and a few wider shifts that
// reach the 16- and 64-byte steps.
TEST_P(CopyMoveTest, MoveOfOverlappingRangesMatchesMemmove) {
    const auto move = dspsMove_32f_table[GetParam()];
    constexpr std::ptrdiff_t kSlack = 128;
    for (const std::ptrdiff_t shift : {-4, 4, -1, 1, 0, -16, 16, -17, 17, -36, 36, -100, 100}) {
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (std::size_t bytes = 4; bytes <= 200; bytes += 4) {
                GuardedBuffer region(bytes + 2 * kSlack, offset);
                for (std::size_t i = 0; i < region.size(); ++i) region.bytes()[i] = static_cast<unsigned char>(i * 13 + 1);
                std::vector<unsigned char> expected(region.bytes(), region.bytes() + region.size());
                std::memmove(expected.data() + kSlack + shift, expected.data() + kSlack, bytes);

                unsigned char* src = region.bytes() + kSlack;
                ASSERT_EQ(move(reinterpret_cast<const Dsp32f*>(src), reinterpret_cast<Dsp32f*>(src + shift),
                               static_cast<int>(bytes / 4)),
                          dspStsNoErr);
                ASSERT_EQ(std::vector<unsigned char>(region.bytes(), region.bytes() + region.size()), expected)
                    << "shift " << shift << " offset " << offset << " bytes " << bytes;
                ASSERT_TRUE(region.guardsIntact());
            }
        }
    }
}

TEST_P(CopyMoveTest, NullPointersAreReportedBeforeLengthAndNothingIsWritten) {
    ScopedVariant forced(GetParam());
    struct Case {
        bool nullSrc, nullDst;
        int len;
        DspStatus expected;
    };
    const Case cases[] = {
        {true, false, 4, dspStsNullPtrErr}, {false, true, 4, dspStsNullPtrErr}, {true, true, 4, dspStsNullPtrErr},
        {true, false, 0, dspStsNullPtrErr}, {false, true, -1, dspStsNullPtrErr}, {false, false, 0, dspStsSizeErr},
        {false, false, -5, dspStsSizeErr},
    };
    for (const Copier& c : copiers(GetParam())) {
        for (const Case& k : cases) {
            TailBuffer src(64, 0);
            src.fillCounting(1);
            GuardedBuffer dst(64, 0);
            dst.fill(kPrefill);
            EXPECT_EQ(c.copy(k.nullSrc ? nullptr : src.bytes(), k.nullDst ? nullptr : dst.bytes(), k.len), k.expected)
                << c.name << " null " << k.nullSrc << "/" << k.nullDst << " len " << k.len;
            EXPECT_EQ(std::vector<unsigned char>(dst.bytes(), dst.bytes() + 64), std::vector<unsigned char>(64, kPrefill));
        }
    }
}

// Aligned copies go forward or backward by the pointers' offsets within a
// 4 KiB page; both directions, and both sides of every boundary of the rule.
TEST_P(CopyMoveTest, AlignedCopiesInBothDirectionsByPageOffset) {
    const auto copy = dspsCopy_32f_table[GetParam()];
    constexpr std::size_t kBytes = 1000;  // 64-byte blocks plus an odd tail
    std::vector<unsigned char> pages(4 * 4096 + 4096);
    auto* base = reinterpret_cast<unsigned char*>((reinterpret_cast<std::uintptr_t>(pages.data()) + 4095) &
                                                  ~std::uintptr_t{4095});
    // (source page offset, destination page offset), both in separate pages.
    const std::pair<std::size_t, std::size_t> cases[] = {
        {0, 0}, {16, 0}, {160, 0}, {176, 0}, {0, 160}, {0, 3936}, {0, 3952}, {2048, 2048 + 16}, {512, 256},
    };
    for (const auto& [srcPageOffset, dstPageOffset] : cases) {
        unsigned char* src = base + srcPageOffset;
        unsigned char* dst = base + 2 * 4096 + dstPageOffset;
        for (std::size_t i = 0; i < kBytes; ++i) src[i] = static_cast<unsigned char>(i * 7 + 3);
        std::memset(dst - 16, kPrefill, kBytes + 32);
        const std::size_t len = kBytes / 4;
        ASSERT_EQ(copy(reinterpret_cast<const Dsp32f*>(src), reinterpret_cast<Dsp32f*>(dst), static_cast<int>(len)),
                  dspStsNoErr);
        EXPECT_EQ(std::memcmp(dst, src, kBytes), 0) << "page offsets " << srcPageOffset << "/" << dstPageOffset;
        EXPECT_EQ(dst[-1], kPrefill);
        EXPECT_EQ(dst[kBytes], kPrefill);
    }
}

// With a 512 KiB largest cache every SIMD level streams the copies of 1 MiB
// and more (touching the source 256 KiB at a time); sizes leave odd tails,
// offsets take the aligned, joined-block and unaligned-source paths.
TEST_P(CopyMoveTest, StreamingCopyWritesExactlyTheBytes) {
    ScopedFakeCpu cpu(fakeCpuWithCache(cache_descriptor::k512KiB));
    ScopedVariant forced(GetParam());
    ASSERT_EQ(largestCacheSize(), std::optional<std::size_t>(524288));
    const int variant = GetParam();
    const Copier copy32f = copiers(variant)[0];
    const std::size_t byteCounts[] = {131072 + 64, 524288 + 4, 1048576, 1048576 + 262144 + 36, 4 * 1048576 - 12};
    const std::pair<std::size_t, std::size_t> offsets[] = {{0, 0}, {4, 0}, {3, 0}, {0, 12}, {8, 4}, {5, 9}};
    for (const std::size_t bytes : byteCounts)
        for (const auto& [srcOffset, dstOffset] : offsets) expectCopiesExactly(copy32f, bytes, srcOffset, dstOffset);
}

// A 4 MiB largest cache: 2 MiB streams (half the cache), 1 MiB does not;
// both must copy exactly.
TEST_P(CopyMoveTest, CopiesAroundHalfTheLargestCache) {
    ScopedFakeCpu cpu(fakeCpuWithCache(cache_descriptor::k4MiB));
    ScopedVariant forced(GetParam());
    const Copier copy64f = copiers(GetParam())[1];
    for (const std::size_t bytes : {1048576, 2 * 1048576}) expectCopiesExactly(copy64f, bytes, 0, 0);
}

INSTANTIATE_FOR_EACH_VARIANT(CopyMoveTest);

TEST(CopyMoveDispatchTest, Copy32fcRunsTheCopy64fBodies) {
    for (int v = 0; v < 5; ++v) EXPECT_EQ(dspsCopy_32fc_table[v], dspsCopy_64f_table[v]) << "variant " << v;
}

}  // namespace
