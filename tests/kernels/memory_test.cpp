// Aligned allocation: alignment, the hidden system pointer, hook calls and
// refusal of requests that cannot be met.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "dsp_memory.h"

namespace {

// Records every hook call and forwards to the runtime (or fails on demand).
struct HookRecorder {
    static inline std::vector<std::size_t> allocations;
    static inline std::vector<void*> allocatedBlocks;
    static inline std::vector<void*> releases;
    static inline bool failAllocations = false;

    static void* allocate(std::size_t n) {
        allocations.push_back(n);
        void* p = failAllocations ? nullptr : std::malloc(n);
        if (p != nullptr) allocatedBlocks.push_back(p);
        return p;
    }
    static void release(void* p) {
        releases.push_back(p);
        std::free(p);
    }
};

class MemoryTest : public testing::Test {
protected:
    void SetUp() override {
        saved_ = dspMemHooks;
        HookRecorder::allocations.clear();
        HookRecorder::allocatedBlocks.clear();
        HookRecorder::releases.clear();
        HookRecorder::failAllocations = false;
        dspMemHooks.allocate = HookRecorder::allocate;
        dspMemHooks.release = HookRecorder::release;
    }
    void TearDown() override { dspMemHooks = saved_; }

    static void* hiddenSystemPointer(const void* block) {
        void* system;
        std::memcpy(&system, static_cast<const unsigned char*>(block) - sizeof(void*), sizeof system);
        return system;
    }

    DspMemHooks saved_{};
};

TEST_F(MemoryTest, BlocksAreAlignedAndKeepTheirSystemAddress) {
    std::vector<int> sizes;
    for (int n = 1; n <= 4096; ++n) sizes.push_back(n);
    for (int n : {4097, 9999, 65537, 1 << 20}) sizes.push_back(n);
    for (int n : sizes) {
        HookRecorder::allocatedBlocks.clear();
        auto* p = dspsMalloc_8u(n);
        ASSERT_NE(p, nullptr) << n;
        const auto address = reinterpret_cast<std::uintptr_t>(p);
        EXPECT_EQ(address % 32, 0u) << n;
        void* system = hiddenSystemPointer(p);
        ASSERT_EQ(HookRecorder::allocatedBlocks.size(), 1u);
        EXPECT_EQ(system, HookRecorder::allocatedBlocks[0]);
        const auto systemAddress = reinterpret_cast<std::uintptr_t>(system);
        EXPECT_GE(address - systemAddress, sizeof(void*));
        EXPECT_LE(address - systemAddress, kDspBlockOverhead - 1);
        // The whole request lies inside the system block.
        EXPECT_LE(address + n, systemAddress + HookRecorder::allocations.back());
        std::memset(p, 0x5A, n);  // the sanitizer build checks the bounds
        dspsFree(p);
        EXPECT_EQ(HookRecorder::releases.back(), system);
    }
}

TEST_F(MemoryTest, TypedAllocatorsAskForElementBytesPlusOverhead) {
    dspsFree(dspsMalloc_8u(7));
    dspsFree(dspsMalloc_32f(7));
    dspsFree(dspsMalloc_64f_table[0](7));
    ASSERT_EQ(HookRecorder::allocations.size(), 3u);
    EXPECT_EQ(HookRecorder::allocations[0], 7 + kDspBlockOverhead);
    EXPECT_EQ(HookRecorder::allocations[1], 28 + kDspBlockOverhead);
    EXPECT_EQ(HookRecorder::allocations[2], 56 + kDspBlockOverhead);
    EXPECT_EQ(HookRecorder::releases.size(), 3u);
}

TEST_F(MemoryTest, NonPositiveRequestsCallNoHook) {
    EXPECT_EQ(dspsMalloc_8u(0), nullptr);
    EXPECT_EQ(dspsMalloc_8u(-5), nullptr);
    EXPECT_EQ(dspsMalloc_32f(0), nullptr);
    EXPECT_EQ(dspsMalloc_32f(std::numeric_limits<int>::min()), nullptr);
    EXPECT_EQ(dspsMalloc_64f_table[0](-1), nullptr);
    EXPECT_EQ(dspAlignedMalloc(0), nullptr);
    EXPECT_TRUE(HookRecorder::allocations.empty());
    dspsFree(nullptr);
    dspAlignedFree(nullptr);
    EXPECT_TRUE(HookRecorder::releases.empty());
}

TEST_F(MemoryTest, HugeLengthsNeverGiveAShortBlock) {
    HookRecorder::failAllocations = true;  // ask, but never hand out gigabytes
    const int huge = std::numeric_limits<int>::max();
    EXPECT_EQ(dspsMalloc_8u(huge), nullptr);
    EXPECT_EQ(dspsMalloc_32f(huge), nullptr);
    EXPECT_EQ(dspsMalloc_64f_table[0](huge), nullptr);
    EXPECT_EQ(dspAlignedMalloc(huge), nullptr);
    ASSERT_EQ(HookRecorder::allocations.size(), 4u);
    EXPECT_GE(HookRecorder::allocations[0], std::size_t{2147483647} + kDspBlockOverhead);
    EXPECT_GE(HookRecorder::allocations[1], std::size_t{2147483647} * 4 + kDspBlockOverhead);
    EXPECT_GE(HookRecorder::allocations[2], std::size_t{2147483647} * 8 + kDspBlockOverhead);
    EXPECT_GE(HookRecorder::allocations[3], std::size_t{2147483647} + kDspBlockOverhead);
    // A byte count that cannot carry the overhead is refused before any hook.
    HookRecorder::allocations.clear();
    EXPECT_EQ(dspAlignedMallocBytes(std::numeric_limits<std::size_t>::max() - 8), nullptr);
    EXPECT_TRUE(HookRecorder::allocations.empty());
}

TEST_F(MemoryTest, FailingHookGivesNull) {
    HookRecorder::failAllocations = true;
    EXPECT_EQ(dspsMalloc_32f(16), nullptr);
    EXPECT_EQ(HookRecorder::allocations.size(), 1u);
}

TEST_F(MemoryTest, EveryVariantSlotHoldsTheOneBody) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(dspsMalloc_8u_table[i], &n0_dspsMalloc_8u);
        EXPECT_EQ(dspsMalloc_32f_table[i], &n0_dspsMalloc_32f);
        EXPECT_EQ(dspsMalloc_64f_table[i], &n0_dspsMalloc_64f);
        EXPECT_EQ(dspsFree_table[i], &n0_dspsFree);
    }
}

TEST(MemoryDefaultsTest, HooksAreTheRuntimeAllocator) {
    EXPECT_EQ(dspMemHooks.allocate, &std::malloc);
    EXPECT_EQ(dspMemHooks.allocateZeroed, &std::calloc);
    EXPECT_EQ(dspMemHooks.reallocate, &std::realloc);
    EXPECT_EQ(dspMemHooks.release, &std::free);
}

}  // namespace
