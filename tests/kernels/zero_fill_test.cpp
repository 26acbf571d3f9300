// Zero and fill: exact bytes at every alignment, argument checks, the
// streaming path and the cache-size rule that selects it.
#include <bit>
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
#include "vector/zero_fill.h"
#include "variants.h"

namespace {

constexpr unsigned char kPrefill = 0x5C;

// A zero or fill seen as "write len elements at p", run in one variant.
using Writer = std::function<DspStatus(void* p, int len)>;

struct Function {
    std::string name;
    std::size_t elementSize;
    Writer write;
    std::vector<unsigned char> element;  // the bytes every element must hold
};

std::vector<unsigned char> bytesOf(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    return {b, b + n};
}

// Zeros through the entry points where there is one (the test forces the
// variant), and through the table otherwise.
std::vector<Function> zeroFunctions(int variant) {
    const std::vector<unsigned char> zero4(4, 0), zero8(8, 0);
    return {
        {"dspsZero_8u", 1, [](void* p, int len) { return dspsZero_8u(static_cast<Dsp8u*>(p), len); }, {0}},
        {"dspsZero_32f", 4, [](void* p, int len) { return dspsZero_32f(static_cast<Dsp32f*>(p), len); }, zero4},
        {"dspsZero_32s", 4, [](void* p, int len) { return dspsZero_32s(static_cast<Dsp32s*>(p), len); }, zero4},
        {"dspsZero_64f", 8,
         [variant](void* p, int len) { return dspsZero_64f_table[variant](static_cast<Dsp64f*>(p), len); }, zero8},
    };
}

// Fills with values whose bits arithmetic would change: quiet and signalling
// NaNs with payloads, -0.0, and all ones; complex values with unequal halves
// so a swapped pair shows.
std::vector<Function> fillFunctions(int variant) {
    std::vector<Function> functions;
    for (const Dsp32u bits : {0x7FC00001u, 0x7F800001u, 0x80000000u, 0xFFFFFFFFu, 0x01020304u}) {
        const auto hex = std::to_string(bits);
        functions.push_back({"dspsSet_32s(" + hex + ")", 4,
                             [variant, bits](void* p, int len) {
                                 return dspsSet_32s_table[variant](static_cast<Dsp32s>(bits), static_cast<Dsp32s*>(p),
                                                                   len);
                             },
                             bytesOf(&bits, 4)});
        functions.push_back({"dspsSet_32f(" + hex + ")", 4,
                             [variant, bits](void* p, int len) {
                                 return dspsSet_32f_table[variant](std::bit_cast<Dsp32f>(bits), static_cast<Dsp32f*>(p),
                                                                   len);
                             },
                             bytesOf(&bits, 4)});
    }
    const Dsp32fc pairs[] = {{std::bit_cast<Dsp32f>(0x80000000u), std::bit_cast<Dsp32f>(0x7FC00123u)},
                             {1.5f, -2.25f}};
    for (const Dsp32fc val : pairs) {
        functions.push_back({"dspsSet_32fc(" + std::to_string(val.im) + ")", 8,
                             [variant, val](void* p, int len) {
                                 return dspsSet_32fc_table[variant](val, static_cast<Dsp32fc*>(p), len);
                             },
                             bytesOf(&val, 8)});
    }
    return functions;
}

// Runs `f` on len elements at `offset` past a 64-byte boundary and checks the
// status, every written byte and the guards.
void expectWritesExactly(const Function& f, std::size_t offset, int len) {
    const std::size_t bytes = f.elementSize * static_cast<std::size_t>(len);
    GuardedBuffer buffer(bytes, offset);
    buffer.fill(kPrefill);
    ASSERT_EQ(f.write(buffer.bytes(), len), dspStsNoErr) << f.name << " len " << len << " offset " << offset;
    for (std::size_t i = 0; i < bytes; ++i) {
        ASSERT_EQ(buffer.bytes()[i], f.element[i % f.elementSize])
            << f.name << " len " << len << " offset " << offset << " byte " << i;
    }
    ASSERT_TRUE(buffer.guardsIntact()) << f.name << " len " << len << " offset " << offset;
}

class ZeroFillTest : public testing::TestWithParam<int> {};

TEST_P(ZeroFillTest, ZeroWritesExactlyTheBytesUpTo200AtEveryOffset) {
    ScopedVariant forced(GetParam());
    for (const Function& f : zeroFunctions(GetParam()))
        for (std::size_t offset = 0; offset < 16; ++offset)
            for (int len = 1; f.elementSize * static_cast<std::size_t>(len) <= 200; ++len)
                expectWritesExactly(f, offset, len);
}

TEST_P(ZeroFillTest, FillStoresTheValueBitsAtEveryOffset) {
    // Offsets 0..15 include odd addresses, 2 (mod 4) and 4 (mod 8), where the
    // SIMD fills take their element-by-element and half-element paths.
    for (const Function& f : fillFunctions(GetParam()))
        for (std::size_t offset = 0; offset < 16; ++offset)
            for (int len = 1; f.elementSize * static_cast<std::size_t>(len) <= 200; ++len)
                expectWritesExactly(f, offset, len);
}

TEST_P(ZeroFillTest, NullPointerIsReportedBeforeLengthAndNothingIsWritten) {
    ScopedVariant forced(GetParam());
    std::vector<Function> functions = zeroFunctions(GetParam());
    for (Function& f : fillFunctions(GetParam())) functions.push_back(std::move(f));
    struct Case {
        bool nullPointer;
        int len;
        DspStatus expected;
    };
    const Case cases[] = {
        {true, 4, dspStsNullPtrErr}, {true, 0, dspStsNullPtrErr}, {true, -3, dspStsNullPtrErr},
        {false, 0, dspStsSizeErr},   {false, -1, dspStsSizeErr},  {false, INT32_MIN, dspStsSizeErr},
    };
    for (const Function& f : functions) {
        for (const Case& c : cases) {
            GuardedBuffer buffer(64, 0);
            buffer.fill(kPrefill);
            EXPECT_EQ(f.write(c.nullPointer ? nullptr : buffer.bytes(), c.len), c.expected)
                << f.name << " null " << c.nullPointer << " len " << c.len;
            EXPECT_EQ(bytesOf(buffer.bytes(), 64), std::vector<unsigned char>(64, kPrefill)) << f.name;
            EXPECT_TRUE(buffer.guardsIntact());
        }
    }
}

// Sizes around the streaming thresholds (zero: more than 512 KiB; fills: more
// than 1 MiB) and up to 4 MiB, with a 512 KiB largest cache so every SIMD
// level streams the large ones.
TEST_P(ZeroFillTest, StreamingPathWritesExactlyTheBytes) {
    ScopedFakeCpu cpu(fakeCpuWithCache(cache_descriptor::k512KiB));
    ScopedVariant forced(GetParam());
    ASSERT_EQ(largestCacheSize(), std::optional<std::size_t>(524288));
    const int variant = GetParam();
    std::vector<Function> functions = zeroFunctions(variant);
    const std::vector<Function> fills = fillFunctions(variant);
    functions.push_back(fills[0]);      // dspsSet_32s with a NaN pattern
    functions.push_back(fills.back());  // dspsSet_32fc
    const std::size_t byteCounts[] = {524288, 524304, 1048576 + 8, 1048576 + 24, 3 * 1048576 + 40, 4 * 1048576};
    const std::size_t offsets[] = {0, 2, 4, 13};
    for (const Function& f : functions) {
        if (f.name != "dspsZero_8u" && f.name.rfind("dspsSet", 0) != 0) continue;
        for (const std::size_t bytes : byteCounts)
            for (const std::size_t offset : offsets)
                expectWritesExactly(f, offset, static_cast<int>(bytes / f.elementSize));
    }
}

INSTANTIATE_FOR_EACH_VARIANT(ZeroFillTest);

TEST(ZeroFillDispatchTest, Zero32sRunsTheZero32fBodies) {
    for (int v = 0; v < 5; ++v) EXPECT_EQ(dspsZero_32s_table[v], dspsZero_32f_table[v]) << "variant " << v;
}

// The cache-size rule: vendor, leaf-2 repeat count, registers marked empty
// by bit 31, and the descriptor table's order (largest first, whichever
// register holds it).
TEST(LargestCacheSizeTest, FollowsVendorCountAndDescriptorOrder) {
    struct Case {
        std::string name;
        std::string vendor;
        std::array<Dsp32u, 4> leaf2;
        std::optional<std::size_t> expected;
    };
    constexpr std::size_t KiB = 1024, MiB = 1024 * 1024;
    const std::string tuned = "GenuineIntel";
    const Case cases[] = {
        {"one descriptor in EBX", tuned, {0x01, 0x29, 0, 0}, 4 * MiB},
        {"descriptor in EAX bytes 1..3", tuned, {0x004D0001, 0, 0, 0}, 16 * MiB},
        {"descriptor in EDX", tuned, {0x01, 0, 0, 0x00004C00}, 12 * MiB},
        {"table order beats register order", tuned, {0x00220001, 0x43, 0x23, 0x47000000}, 8 * MiB},
        {"6 MiB code", tuned, {0x01, 0x4E, 0, 0}, 6 * MiB},
        {"3 MiB code", tuned, {0x01, 0x48, 0, 0}, 3 * MiB},
        {"2 MiB code", tuned, {0x01, 0x85, 0, 0}, 2 * MiB},
        {"1 MiB code", tuned, {0x01, 0x78, 0, 0}, 1 * MiB},
        {"512 KiB code", tuned, {0x01, 0x7F, 0, 0}, 512 * KiB},
        {"register with bit 31 set is ignored", tuned, {0x01, 0x8000004D, 0x22, 0}, 512 * KiB},
        {"all registers marked empty", tuned, {0x80000001, 0x8000004D, 0x80000000, 0x80000000}, std::nullopt},
        {"count byte is not a descriptor", tuned, {0x00000022, 0, 0, 0}, std::nullopt},
        {"repeat count 2", tuned, {0x00004D02, 0x4D, 0, 0}, std::nullopt},
        {"only small or unknown caches", tuned, {0x01, 0x2C, 0x0D, 0xFF}, std::nullopt},
        {"another vendor", "AuthenticAMD", {0x01, 0x4D, 0, 0}, std::nullopt},
    };
    for (const Case& c : cases) {
        FakeCpu fake = fakeCpuWithCache(0);
        fake.vendor = c.vendor;
        fake.otherLeaves[2] = c.leaf2;
        ScopedFakeCpu cpu(fake);
        EXPECT_EQ(largestCacheSize(), c.expected) << c.name;
    }
}

}  // namespace
