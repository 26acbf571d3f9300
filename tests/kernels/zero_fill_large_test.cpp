// Zero of more than 2 GiB: a test of its own, labelled "large" and run
// alone, as it maps and writes 2 GiB.
#include <sys/mman.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "variants.h"
#include "vector/zero_fill.h"

namespace {

// 4 * len passes 2^31 here: a 32-bit byte count would wrap and clear only the
// first few bytes (or run wild). Every level forms the count in the same
// wrapper, so the best level stands for all (each run writes 2 GiB).
TEST(ZeroFillLargeTest, ByteCountOfMoreThan2GiBDoesNotWrap) {
    const int len = (1 << 29) + 4;
    const std::size_t bytes = std::size_t{4} * static_cast<std::size_t>(len);
    const std::size_t mapped = bytes + 4096;
    const int variant = supportedVariants().back();
    void* map = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(map, MAP_FAILED);
    madvise(map, mapped, MADV_HUGEPAGE);  // far fewer page faults
    auto* p = static_cast<unsigned char*>(map);
    std::memset(p + bytes - 64, 0xEE, 128);
    EXPECT_EQ(dspsZero_32f_table[variant](reinterpret_cast<Dsp32f*>(p), len), dspStsNoErr);
    EXPECT_EQ(std::vector<unsigned char>(p + bytes - 64, p + bytes), std::vector<unsigned char>(64, 0));
    EXPECT_EQ(std::vector<unsigned char>(p + bytes, p + bytes + 64), std::vector<unsigned char>(64, 0xEE));
    munmap(map, mapped);
}

}  // namespace
