// Every vector kernel that reads memory, in the SSE3, SSSE3 and SSE4.1
// variants, with each vector it reads ending exactly at a page the process
// may not touch: a read past the end faults here even where the sanitizers
// are blind (lddqu, movlps/movhps loads). The length fixes where such a
// vector starts; the destination takes four offsets, so the kernels' paths
// for every pairing of source and destination alignment run. The results
// must equal those of the same variant on ordinary memory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "guard_page.h"
#include "guarded_buffer.h"
#include "variants.h"
#include "vector/arith_complex.h"
#include "vector/arith_const.h"
#include "vector/arith_real.h"
#include "vector/convert_to_float.h"
#include "vector/convert_to_int.h"
#include "vector/copy_move.h"
#include "vector/ln_exp.h"
#include "vector/max_abs_threshold.h"
#include "vector/polar_ramp.h"
#include "vector/sqrt.h"
#include "vector/std_dev.h"

namespace {

// How a kernel uses one of its vectors.
enum class Role {
    kRead,       // a source: ends at the guard page
    kReadWrite,  // in place: ends at the guard page, compared afterwards
    kWrite,      // a destination at the tested offset, compared afterwards
    kScalar,     // one result element (maximum, deviation), compared afterwards
};

struct Operand {
    Role role;
    std::size_t elementBytes;
    bool floats;  // float contents in [0.5, 2) (valid for ln, sqrt, division); bytes otherwise
};

using Pointers = std::vector<unsigned char*>;

struct KernelCase {
    std::string name;
    std::vector<Operand> operands;
    std::function<DspStatus(int slot, const Pointers& p, int len)> run;
};

template <typename T>
T* as(unsigned char* p) {
    return reinterpret_cast<T*>(p);
}

constexpr Operand kSrc32f{Role::kRead, 4, true};
constexpr Operand kSrc32fc{Role::kRead, 8, true};
constexpr Operand kSrcDst32f{Role::kReadWrite, 4, true};
constexpr Operand kSrcDst32fc{Role::kReadWrite, 8, true};
constexpr Operand kDst32f{Role::kWrite, 4, true};
constexpr Operand kDst32fc{Role::kWrite, 8, true};
constexpr Operand kResult32f{Role::kScalar, 4, true};

std::vector<KernelCase> kernelCases() {
    return {
        {"dspsCopy_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) { return dspsCopy_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n); }},
        {"dspsCopy_64f", {kSrc32fc, kDst32fc},
         [](int k, const Pointers& p, int n) { return dspsCopy_64f_table[k](as<Dsp64f>(p[0]), as<Dsp64f>(p[1]), n); }},
        {"dspsMove_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) { return dspsMove_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n); }},
        {"dspsConvert_8u32f", {{Role::kRead, 1, false}, kDst32f},
         [](int k, const Pointers& p, int n) { return dspsConvert_8u32f_table[k](p[0], as<Dsp32f>(p[1]), n); }},
        {"dspsConvert_16s32f", {{Role::kRead, 2, false}, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsConvert_16s32f_table[k](as<Dsp16s>(p[0]), as<Dsp32f>(p[1]), n);
         }},
        {"dspsConvert_24s32f", {{Role::kRead, 3, false}, kDst32f},
         [](int k, const Pointers& p, int n) { return dspsConvert_24s32f_table[k](p[0], as<Dsp32f>(p[1]), n); }},
        {"dspsConvert_32s32f", {{Role::kRead, 4, false}, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsConvert_32s32f_table[k](as<Dsp32s>(p[0]), as<Dsp32f>(p[1]), n);
         }},
        {"dspsConvert_32f8u_Sfs", {kSrc32f, {Role::kWrite, 1, false}},
         [](int k, const Pointers& p, int n) {
             return dspsConvert_32f8u_Sfs_table[k](as<Dsp32f>(p[0]), p[1], n, dspRndNear, -6);
         }},
        {"dspsConvert_32f16s_Sfs", {kSrc32f, {Role::kWrite, 2, false}},
         [](int k, const Pointers& p, int n) {
             return dspsConvert_32f16s_Sfs_table[k](as<Dsp32f>(p[0]), as<Dsp16s>(p[1]), n, dspRndZero, -12);
         }},
        {"dspsConvert_32f24s_Sfs", {kSrc32f, {Role::kWrite, 3, false}},
         [](int k, const Pointers& p, int n) {
             return dspsConvert_32f24s_Sfs_table[k](as<Dsp32f>(p[0]), p[1], n, -20);
         }},
        {"dspsConvert_32f32s_Sfs", {kSrc32f, {Role::kWrite, 4, false}},
         [](int k, const Pointers& p, int n) {
             return dspsConvert_32f32s_Sfs_table[k](as<Dsp32f>(p[0]), as<Dsp32s>(p[1]), n, dspRndNear, -28);
         }},
        {"dspsAdd_32f_I", {kSrc32f, kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsAdd_32f_I_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n); }},
        {"dspsMul_32f_I", {kSrc32f, kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsMul_32f_I_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n); }},
        {"dspsAdd_32f", {kSrc32f, kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsAdd_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), as<Dsp32f>(p[2]), n);
         }},
        {"dspsSub_32f", {kSrc32f, kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsSub_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), as<Dsp32f>(p[2]), n);
         }},
        {"dspsMul_32f", {kSrc32f, kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsMul_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), as<Dsp32f>(p[2]), n);
         }},
        {"dspsDiv_32f", {kSrc32f, kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsDiv_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), as<Dsp32f>(p[2]), n);
         }},
        {"dspsAddProduct_32f", {kSrc32f, kSrc32f, kSrcDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsAddProduct_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), as<Dsp32f>(p[2]), n);
         }},
        {"dspsAddC_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsAddC_32f_I_table[k](0.25f, as<Dsp32f>(p[0]), n); }},
        {"dspsMulC_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsMulC_32f_I_table[k](1.5f, as<Dsp32f>(p[0]), n); }},
        {"dspsSubCRev_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsSubCRev_32f_I_table[k](3.0f, as<Dsp32f>(p[0]), n); }},
        {"dspsDivC_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsDivC_32f_I_table[k](3.0f, as<Dsp32f>(p[0]), n); }},
        {"dspsMulC_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsMulC_32f_table[k](as<Dsp32f>(p[0]), 1.5f, as<Dsp32f>(p[1]), n);
         }},
        {"dspsSubCRev_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsSubCRev_32f_table[k](as<Dsp32f>(p[0]), 3.0f, as<Dsp32f>(p[1]), n);
         }},
        {"dspsDivC_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsDivC_32f_table[k](as<Dsp32f>(p[0]), 3.0f, as<Dsp32f>(p[1]), n);
         }},
        {"dspsAddProductC_32f", {kSrc32f, kSrcDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsAddProductC_32f_table[k](as<Dsp32f>(p[0]), 1.5f, as<Dsp32f>(p[1]), n);
         }},
        {"dspsMulC_32fc", {kSrc32fc, kDst32fc},
         [](int k, const Pointers& p, int n) {
             return dspsMulC_32fc_table[k](as<Dsp32fc>(p[0]), Dsp32fc{1.5f, -0.5f}, as<Dsp32fc>(p[1]), n);
         }},
        {"dspsAdd_32fc_I", {kSrc32fc, kSrcDst32fc},
         [](int k, const Pointers& p, int n) {
             return dspsAdd_32fc_I_table[k](as<Dsp32fc>(p[0]), as<Dsp32fc>(p[1]), n);
         }},
        {"dspsAdd_32fc", {kSrc32fc, kSrc32fc, kDst32fc},
         [](int k, const Pointers& p, int n) {
             return dspsAdd_32fc_table[k](as<Dsp32fc>(p[0]), as<Dsp32fc>(p[1]), as<Dsp32fc>(p[2]), n);
         }},
        {"dspsMul_32f32fc", {kSrc32f, kSrc32fc, kDst32fc},
         [](int k, const Pointers& p, int n) {
             return dspsMul_32f32fc_table[k](as<Dsp32f>(p[0]), as<Dsp32fc>(p[1]), as<Dsp32fc>(p[2]), n);
         }},
        {"dspsMul_32fc_I", {kSrc32fc, kSrcDst32fc},
         [](int k, const Pointers& p, int n) {
             return dspsMul_32fc_I_table[k](as<Dsp32fc>(p[0]), as<Dsp32fc>(p[1]), n);
         }},
        {"dspsMul_32fc", {kSrc32fc, kSrc32fc, kDst32fc},
         [](int k, const Pointers& p, int n) {
             return dspsMul_32fc_table[k](as<Dsp32fc>(p[0]), as<Dsp32fc>(p[1]), as<Dsp32fc>(p[2]), n);
         }},
        {"dspsDiv_32fc", {kSrc32fc, kSrc32fc, kDst32fc},
         [](int k, const Pointers& p, int n) {
             return dspsDiv_32fc_table[k](as<Dsp32fc>(p[0]), as<Dsp32fc>(p[1]), as<Dsp32fc>(p[2]), n);
         }},
        {"dspsMulPerm_32f_I", {kSrc32f, kSrcDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsMulPerm_32f_I_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n);
         }},
        {"dspsLn_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsLn_32f_I_table[k](as<Dsp32f>(p[0]), n); }},
        {"dspsLn_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) { return dspsLn_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n); }},
        {"dspsExp_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsExp_32f_I_table[k](as<Dsp32f>(p[0]), n); }},
        {"dspsSqrt_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsSqrt_32f_I_table[k](as<Dsp32f>(p[0]), n); }},
        {"dspsMax_32f", {kSrc32f, kResult32f},
         [](int k, const Pointers& p, int n) { return dspsMax_32f_table[k](as<Dsp32f>(p[0]), n, as<Dsp32f>(p[1])); }},
        {"dspsAbs_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) { return dspsAbs_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n); }},
        {"dspsThreshold_LT_32f", {kSrc32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsThreshold_LT_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), n, 1.0f);
         }},
        {"dspsThreshold_LT_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsThreshold_LT_32f_I_table[k](as<Dsp32f>(p[0]), n, 1.0f); }},
        {"dspsThreshold_GT_32f_I", {kSrcDst32f},
         [](int k, const Pointers& p, int n) { return dspsThreshold_GT_32f_I_table[k](as<Dsp32f>(p[0]), n, 1.0f); }},
        {"dspsPolarToCart_32f", {kSrc32f, kSrc32f, kDst32f, kDst32f},
         [](int k, const Pointers& p, int n) {
             return dspsPolarToCart_32f_table[k](as<Dsp32f>(p[0]), as<Dsp32f>(p[1]), as<Dsp32f>(p[2]),
                                                 as<Dsp32f>(p[3]), n);
         }},
        {"dspsStdDev_32f (double sums)", {kSrc32f, kResult32f},
         [](int k, const Pointers& p, int n) {
             return dspsStdDev_32f_table[k](as<Dsp32f>(p[0]), n, as<Dsp32f>(p[1]), 0);
         }},
        {"dspsStdDev_32f (float sums)", {kSrc32f, kResult32f},
         [](int k, const Pointers& p, int n) {
             return dspsStdDev_32f_table[k](as<Dsp32f>(p[0]), n, as<Dsp32f>(p[1]), kStdDevFastHint);
         }},
    };
}

// Reproducible contents for one operand.
void fillOperand(unsigned char* p, std::size_t bytes, const Operand& op, unsigned seed) {
    std::uint32_t state = 0x9E3779B9u * (seed + 1);
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state;
    };
    if (!op.floats) {
        for (std::size_t i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(next() >> 24);
        return;
    }
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
        const float v = 0.5f + 1.5f * static_cast<float>(next() >> 8) / 16777216.0f;
        std::memcpy(p + i, &v, 4);
    }
}

std::size_t operandBytes(const Operand& op, int len) {
    return op.role == Role::kScalar ? op.elementBytes : op.elementBytes * static_cast<std::size_t>(len);
}

bool endsAtGuardPage(const Operand& op) { return op.role == Role::kRead || op.role == Role::kReadWrite; }

constexpr int kLongestLength = 2049;
constexpr std::size_t kWidestElement = 8;
constexpr std::size_t kMostOperands = 4;

// One guard page per operand, mapped once for the whole test.
std::vector<std::unique_ptr<GuardPage>>& guardPages() {
    static std::vector<std::unique_ptr<GuardPage>> pages = [] {
        std::vector<std::unique_ptr<GuardPage>> made;
        for (std::size_t i = 0; i < kMostOperands; ++i)
            made.push_back(std::make_unique<GuardPage>(kLongestLength * kWidestElement));
        return made;
    }();
    return pages;
}

// The operands of one run: the read vectors against guard pages, the others
// in guarded buffers at dstOffset.
struct GuardedRun {
    std::vector<std::unique_ptr<GuardedBuffer>> buffers;
    Pointers pointers;
};

// The same operands on ordinary memory, each at the address offset (mod 64)
// its counterpart has, so the kernel takes the same path.
struct PlainRun {
    std::vector<std::unique_ptr<GuardedBuffer>> buffers;
    Pointers pointers;
};

std::size_t offsetIn64(const void* p) { return reinterpret_cast<std::uintptr_t>(p) & 63; }

void expectSameResults(const KernelCase& c, int slot, int len, std::size_t dstOffset) {
    GuardedRun guarded;
    PlainRun plain;
    for (std::size_t i = 0; i < c.operands.size(); ++i) {
        const Operand& op = c.operands[i];
        const std::size_t bytes = operandBytes(op, len);
        unsigned char* g;
        if (endsAtGuardPage(op)) {
            g = guardPages().at(i)->vectorOf(bytes);
        } else {
            guarded.buffers.push_back(std::make_unique<GuardedBuffer>(bytes, dstOffset));
            g = guarded.buffers.back()->bytes();
        }
        plain.buffers.push_back(std::make_unique<GuardedBuffer>(bytes, offsetIn64(g)));
        unsigned char* q = plain.buffers.back()->bytes();
        fillOperand(g, bytes, op, static_cast<unsigned>(i));
        std::memcpy(q, g, bytes);
        guarded.pointers.push_back(g);
        plain.pointers.push_back(q);
    }

    const DspStatus expected = c.run(slot, plain.pointers, len);
    const DspStatus got = c.run(slot, guarded.pointers, len);
    const std::string where = c.name + " n" + std::to_string(slot) + " len " + std::to_string(len) +
                              " destination offset " + std::to_string(dstOffset);
    ASSERT_EQ(got, expected) << where;
    for (std::size_t i = 0; i < c.operands.size(); ++i) {
        if (c.operands[i].role == Role::kRead) continue;
        const std::size_t bytes = operandBytes(c.operands[i], len);
        ASSERT_EQ(std::memcmp(guarded.pointers[i], plain.pointers[i], bytes), 0) << where << " operand " << i;
    }
    for (const auto& buffer : guarded.buffers) ASSERT_TRUE(buffer->guardsIntact()) << where;
}

std::vector<int> testedLengths() {
    std::vector<int> lengths;
    for (int len = 1; len <= 70; ++len) lengths.push_back(len);
    for (int len : {127, 128, 129, 255, 256, 257, 1023, 1024, 1025, kLongestLength}) lengths.push_back(len);
    return lengths;
}

class GuardPageSourcesTest : public testing::TestWithParam<int> {};

TEST_P(GuardPageSourcesTest, NoKernelReadsPastTheEndOfItsVectors) {
    const int slot = GetParam();
    for (const KernelCase& c : kernelCases()) {
        for (int len : testedLengths()) {
            if (c.name.starts_with("dspsStdDev") && len < 2) continue;  // needs two elements
            for (std::size_t dstOffset : {0, 4, 8, 12}) {
                expectSameResults(c, slot, len, dstOffset);
                if (testing::Test::HasFatalFailure()) return;
            }
        }
    }
}

// The variants whose unaligned paths use loads the sanitizers do not see.
std::vector<int> sse3AndAbove() {
    std::vector<int> slots;
    for (int v : supportedVariants())
        if (v >= 2) slots.push_back(v);
    return slots;
}

// A processor without SSE3 has nothing to run here.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GuardPageSourcesTest);
INSTANTIATE_TEST_SUITE_P(Variants, GuardPageSourcesTest, testing::ValuesIn(sse3AndAbove()), variantName);

}  // namespace
