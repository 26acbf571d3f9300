// Real-FFT specification: argument checks and their order, scale factors,
// the plan each variant lays out, sizes that hold the record at any caller
// address, allocation and release.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "dsp.h"
#include "dsp_memory.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "guarded_buffer.h"
#include "variants.h"

namespace {

constexpr int kVariants[] = {0, 1, 2, 3, 4};

struct Sizes {
    int spec = -1, init = -1, work = -1;
};

Sizes sizesOf(int variant, int order, int flag = dspFftNoDiv) {
    Sizes s;
    EXPECT_EQ(dspsFFTGetSize_R_32f_table[variant](order, flag, 0, &s.spec, &s.init, &s.work), dspStsNoErr)
        << "variant " << variant << " order " << order;
    return s;
}

// A record built by one variant's Init in its own guarded memory.
struct BuiltSpec {
    GuardedBuffer spec;
    GuardedBuffer init;
    DspsFFTSpec_R_32f* record = nullptr;
    DspStatus status;

    BuiltSpec(int variant, int order, int flag, std::size_t offset = 0)
        : BuiltSpec(variant, order, flag, offset, sizesOf(variant, order, flag)) {}

private:
    BuiltSpec(int variant, int order, int flag, std::size_t offset, Sizes sizes)
        : spec(static_cast<std::size_t>(sizes.spec), offset),
          init(static_cast<std::size_t>(sizes.init), offset),
          status(dspsFFTInit_R_32f_table[variant](&record, order, flag, 0, spec.bytes(),
                                                  sizes.init > 0 ? init.bytes() : nullptr)) {}
};

// ---- argument checks -----------------------------------------------------

struct GetSizeCase {
    int order;
    int flag;
    bool nullOutput;
    DspStatus expected;
};

TEST(FftSpecChecks, GetSizeChecksOrderThenPointersThenFlagThenLength) {
    const GetSizeCase cases[] = {
        {-1, dspFftNoDiv, false, dspStsFftOrderErr},  {0, dspFftNoDiv, false, dspStsNoErr},
        {27, dspFftNoDiv, false, dspStsNoErr},        {28, dspFftNoDiv, false, dspStsFftOrderErr},
        {31, dspFftNoDiv, false, dspStsFftOrderErr},  {31, 3, true, dspStsFftOrderErr},
        {28, 3, false, dspStsFftFlagErr},             {30, 16, false, dspStsFftFlagErr},
        {5, 0, false, dspStsFftFlagErr},              {5, 3, false, dspStsFftFlagErr},
        {5, 16, false, dspStsFftFlagErr},             {5, 3, true, dspStsNullPtrErr},
        {28, dspFftNoDiv, true, dspStsNullPtrErr},    {5, dspFftDivFwdByN, false, dspStsNoErr},
        {5, dspFftDivInvByN, false, dspStsNoErr},     {5, dspFftDivBySqrtN, false, dspStsNoErr},
    };
    for (const int variant : kVariants)
        for (const GetSizeCase& c : cases) {
            int a = -7, b = -7, w = -7;
            const DspStatus st = c.nullOutput
                                     ? dspsFFTGetSize_R_32f_table[variant](c.order, c.flag, 0, &a, nullptr, &w)
                                     : dspsFFTGetSize_R_32f_table[variant](c.order, c.flag, 0, &a, &b, &w);
            EXPECT_EQ(st, c.expected) << "variant " << variant << " order " << c.order << " flag " << c.flag;
            if (st != dspStsNoErr) {
                EXPECT_EQ(a, -7) << "written on failure";
            }
        }
    // Every null output pointer, in each position.
    int x = 0;
    EXPECT_EQ(dspsFFTGetSize_R_32f(5, 8, 0, nullptr, &x, &x), dspStsNullPtrErr);
    EXPECT_EQ(dspsFFTGetSize_R_32f(5, 8, 0, &x, &x, nullptr), dspStsNullPtrErr);
}

TEST(FftSpecChecks, InitChecksInOrderAndKeepsACleanHeaderOnAFlagError) {
    for (const int variant : kVariants) {
        SCOPED_TRACE(variant);
        const auto initFn = dspsFFTInit_R_32f_table[variant];
        std::vector<Dsp8u> mem(4096), memInit(4096);
        DspsFFTSpec_R_32f* spec = nullptr;
        EXPECT_EQ(initFn(nullptr, -1, 3, 0, nullptr, nullptr), dspStsNullPtrErr);
        EXPECT_EQ(initFn(&spec, -1, 8, 0, mem.data(), nullptr), dspStsFftOrderErr);
        EXPECT_EQ(initFn(&spec, 28, 8, 0, mem.data(), nullptr), dspStsFftOrderErr);
        EXPECT_EQ(initFn(&spec, 31, 8, 0, mem.data(), nullptr), dspStsFftOrderErr);
        EXPECT_EQ(initFn(&spec, 3, 3, 0, nullptr, nullptr), dspStsNullPtrErr);
        EXPECT_EQ(spec, nullptr);

        std::memset(mem.data(), 0x5A, mem.size());
        EXPECT_EQ(initFn(&spec, 3, 3, 77, mem.data(), nullptr), dspStsFftFlagErr);
        EXPECT_EQ(spec, nullptr);
        const auto* header = reinterpret_cast<const DspsFFTSpec_R_32f*>(fftAlignUp32(mem.data()));
        EXPECT_EQ(header->id, 0);
        EXPECT_EQ(header->order, 3);
        EXPECT_EQ(header->hint, 77);
        EXPECT_EQ(header->scaleFwd, 0);
        EXPECT_EQ(header->bitRevTable, nullptr);

        // Order 11 takes its sines from the init buffer; order 10 needs none.
        const Sizes s11 = sizesOf(variant, 11);
        std::vector<Dsp8u> big(static_cast<std::size_t>(s11.spec));
        EXPECT_EQ(initFn(&spec, 11, 8, 0, big.data(), nullptr), dspStsNullPtrErr);
        EXPECT_EQ(spec, nullptr);
        EXPECT_EQ(sizesOf(variant, 10).init, 0);
        EXPECT_GT(s11.init, 0);
    }
}

TEST(FftSpecChecks, InitAllocChecksPointerThenOrderThenFlag) {
    for (const int variant : kVariants) {
        const auto alloc = dspsFFTInitAlloc_R_32f_table[variant];
        DspsFFTSpec_R_32f* spec = nullptr;
        EXPECT_EQ(alloc(nullptr, 31, 3, 0), dspStsNullPtrErr);
        EXPECT_EQ(alloc(&spec, -1, 8, 0), dspStsFftOrderErr);
        EXPECT_EQ(alloc(&spec, 31, 3, 0), dspStsFftOrderErr);
        EXPECT_EQ(alloc(&spec, 28, 3, 0), dspStsFftFlagErr);
        EXPECT_EQ(alloc(&spec, 28, 8, 0), dspStsFftOrderErr);
        for (const int flag : {0, 3, 16}) EXPECT_EQ(alloc(&spec, 5, flag, 0), dspStsFftFlagErr);
        EXPECT_EQ(spec, nullptr);
    }
}

TEST(FftSpecChecks, FreeAndGetBufSizeRefuseNullDeadAndForeignRecords) {
    EXPECT_EQ(dspsFFTFree_R_32f(nullptr), dspStsNullPtrErr);
    int size = -1;
    EXPECT_EQ(dspsFFTGetBufSize_R_32f(nullptr, &size), dspStsNullPtrErr);

    // A filter state handed over as an FFT record: its identity word is not 6.
    alignas(32) unsigned char foreign[256] = {'F', 'I', '0', '1'};
    auto* notFft = reinterpret_cast<DspsFFTSpec_R_32f*>(foreign);
    EXPECT_EQ(dspsFFTFree_R_32f(notFft), dspStsContextMatchErr);
    EXPECT_EQ(dspsFFTGetBufSize_R_32f(notFft, &size), dspStsContextMatchErr);
    EXPECT_EQ(foreign[0], 'F');
    // Identity 6 with a variant no build of this library writes.
    std::memset(foreign, 0, sizeof foreign);
    notFft->id = kFftSpecId;
    notFft->variant = 9;
    EXPECT_EQ(dspsFFTGetBufSize_R_32f(notFft, &size), dspStsContextMatchErr);
    EXPECT_EQ(size, -1);

    BuiltSpec built(4, 8, dspFftDivInvByN);
    ASSERT_EQ(built.status, dspStsNoErr);
    EXPECT_EQ(dspsFFTGetBufSize_R_32f(built.record, nullptr), dspStsNullPtrErr);
    // Caller's memory: marked dead, nothing released (ASan would see a free
    // of a vector's storage), and a second release is a context error.
    EXPECT_EQ(dspsFFTFree_R_32f(built.record), dspStsNoErr);
    EXPECT_EQ(built.record->id, 0);
    EXPECT_EQ(dspsFFTFree_R_32f(built.record), dspStsContextMatchErr);
    EXPECT_EQ(dspsFFTGetBufSize_R_32f(built.record, &size), dspStsContextMatchErr);
}

// ---- scaling -------------------------------------------------------------

TEST(FftSpecScaling, FlagsSetDirectionsAndFactorsRoundedOnceFromDouble) {
    EXPECT_EQ(BuiltSpec(0, 1, dspFftDivBySqrtN).record->scaleFactor, 0.70710677f);
    for (int order = 0; order <= 20; ++order)
        for (const int variant : {0, 4}) {
            const double n = std::ldexp(1.0, order);
            struct Expect {
                int flag, fwd, inv;
                float factor;
            };
            const Expect expects[] = {{dspFftDivFwdByN, 1, 0, static_cast<float>(1.0 / n)},
                                      {dspFftDivInvByN, 0, 1, static_cast<float>(1.0 / n)},
                                      {dspFftDivBySqrtN, 1, 1, static_cast<float>(1.0 / std::sqrt(n))},
                                      {dspFftNoDiv, 0, 0, 0.0f}};
            for (const Expect& e : expects) {
                BuiltSpec built(variant, order, e.flag);
                ASSERT_EQ(built.status, dspStsNoErr);
                const DspsFFTSpec_R_32f& r = *built.record;
                EXPECT_EQ(r.id, kFftSpecId);
                EXPECT_EQ(r.scaleFwd, e.fwd);
                EXPECT_EQ(r.scaleInv, e.inv);
                EXPECT_EQ(r.scaleFactor, e.factor) << "order " << order << " flag " << e.flag;
                EXPECT_FALSE(std::signbit(r.scaleFactor));
            }
        }
}

// ---- sizes and plan ------------------------------------------------------

// Record sizes from the 32-bit layout, with its 128-byte margin (header and
// alignment slack), re-based on this build's margin.
int rebased(int specSizeWith128Margin) { return specSizeWith128Margin - 128 + static_cast<int>(kFftSpecMarginBytes); }

TEST(FftSpecSizes, TellingRowsPerVariant) {
    struct Row {
        int order;
        Sizes bySse[3];  // n4/n3, n2, n1
        Sizes generic;
    };
    const Row rows[] = {
        {7, {{1280, 0, 544}, {1280, 0, 544}, {1280, 0, 544}}, {1280, 0, 0}},
        {8, {{2368, 0, 1056}, {2368, 0, 1056}, {2368, 0, 1056}}, {2368, 0, 0}},
        {12, {{35008, 4160, 16416}, {35008, 4160, 16416}, {35008, 4160, 16416}}, {30912, 4160, 0}},
        {14, {{139456, 16448, 65568}, {139456, 16448, 65568}, {139456, 16448, 65568}}, {141792, 17536, 1056}},
        {18,
         {{2228416, 262208, 1048608}, {2359488, 262208, 131104}, {2293952, 262208, 65568}},
         {2234592, 270688, 8224}},
        {19,
         {{4587712, 524352, 131104}, {4587712, 524352, 131104}, {4587712, 524352, 131104}},
         {4466912, 532832, 8224}},
    };
    for (const Row& row : rows)
        for (const int variant : kVariants) {
            const Sizes want = variant == 0 ? row.generic : row.bySse[variant >= 3 ? 0 : 3 - variant];
            const Sizes got = sizesOf(variant, row.order);
            EXPECT_EQ(got.spec, rebased(want.spec)) << "variant " << variant << " order " << row.order;
            EXPECT_EQ(got.init, want.init) << "variant " << variant << " order " << row.order;
            EXPECT_EQ(got.work, want.work) << "variant " << variant << " order " << row.order;
        }
    // Order 5: split tables only in the vector variants, header only in n0.
    EXPECT_EQ(sizesOf(4, 5).spec, rebased(256));
    EXPECT_EQ(sizesOf(0, 5).spec, static_cast<int>(kFftSpecMarginBytes));
}

class FftSpecPlan : public testing::TestWithParam<int> {};

// Half-length order m of each plan boundary.
struct Boundaries {
    int headerOnlyMaxOrder, lastDirectM, tiledFromM;
};

Boundaries boundariesOf(int variant) {
    switch (variant) {
        case 0: return {5, 10, 99};
        case 1: return {4, 15, 17};
        case 2: return {4, 16, 18};
        default: return {4, 17, 19};
    }
}

std::uintptr_t offsetInRecord(const DspsFFTSpec_R_32f* r, const void* p) {
    return reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(r);
}

// Every order 0..20 at every caller offset 0..31: the record starts on the
// first 32-byte boundary, writes stay inside the reported sizes (guards), the
// tables lie inside and on the boundaries the plan gives, and the work size
// read back matches GetSize.
TEST_P(FftSpecPlan, RecordsFitTheirSizesAtEveryOffsetAndFollowThePlan) {
    const int variant = GetParam();
    const Boundaries plan = boundariesOf(variant);
    for (int order = 0; order <= 20; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const Sizes sizes = sizesOf(variant, order);
        const int m = order - 1;
        const std::int64_t n = std::int64_t{1} << order, halfN = n / 2;
        for (std::size_t offset = 0; offset < 32; offset += (order <= 14 ? 1 : 5)) {
            BuiltSpec built(variant, order, dspFftDivInvByN, offset);
            ASSERT_EQ(built.status, dspStsNoErr);
            ASSERT_TRUE(built.spec.guardsIntact()) << "offset " << offset;
            ASSERT_TRUE(built.init.guardsIntact()) << "offset " << offset;
            const DspsFFTSpec_R_32f* r = built.record;
            ASSERT_EQ(reinterpret_cast<unsigned char*>(const_cast<DspsFFTSpec_R_32f*>(r)),
                      fftAlignUp32(built.spec.bytes()));
            EXPECT_EQ(r->variant, variant);
            EXPECT_EQ(r->allocated, 0);
            int bufSize = -1;
            ASSERT_EQ(dspsFFTGetBufSize_R_32f(r, &bufSize), dspStsNoErr);
            EXPECT_EQ(bufSize, sizes.work);
            if (offset != 0) continue;

            const auto end = offsetInRecord(r, built.spec.bytes() + built.spec.size());
            if (order <= plan.headerOnlyMaxOrder) {
                EXPECT_EQ(r->splitFwdTable, nullptr);
                EXPECT_EQ(r->bufSize, 0);
                EXPECT_EQ(sizes.spec, static_cast<int>(kFftSpecMarginBytes));
                continue;
            }
            // Split tables: N/2 floats each, 32-byte aligned, the last table.
            EXPECT_EQ(offsetInRecord(r, r->splitFwdTable) % 32, 0u);
            EXPECT_EQ(offsetInRecord(r, r->splitInvTable) % 32, 0u);
            EXPECT_GE(offsetInRecord(r, r->splitInvTable), offsetInRecord(r, r->splitFwdTable) + 2 * n);
            EXPECT_LE(offsetInRecord(r, r->splitInvTable) + 2 * n, end);
            if (m <= 5) {
                EXPECT_EQ(r->bitRevTable, nullptr);
                EXPECT_EQ(r->bufSize, 0);
                EXPECT_EQ(offsetInRecord(r, r->splitFwdTable), kFftSpecHeaderBytes);
                continue;
            }
            EXPECT_EQ(offsetInRecord(r, r->bitRevTable), kFftSpecHeaderBytes);
            EXPECT_EQ(offsetInRecord(r, r->twiddleTable) % 32, 0u);
            const bool recursive = m > plan.lastDirectM;
            const bool blockedLeaf = variant == 0 && (m == 11 || m == 12);
            EXPECT_EQ(r->crossTwiddles[0] != nullptr, recursive && !blockedLeaf);
            if (!recursive) {
                EXPECT_EQ(r->bufSize, variant == 0 ? 0 : 8 * halfN);
                EXPECT_EQ(r->crossTwiddles[0], nullptr);
                EXPECT_EQ(r->joinTable, nullptr);
            }
            EXPECT_EQ(r->levelTwiddles[0] != nullptr, variant == 0 && recursive && m >= 13);
            EXPECT_EQ(r->joinTable != nullptr, blockedLeaf);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, FftSpecPlan, testing::Values(0, 1, 2, 3, 4), variantName);

TEST(FftSpecSizes, HeaderIndependentFacts) {
    // The record's header is a multiple of 32 bytes, so every table offset
    // from the record's base keeps the alignment the tables need.
    EXPECT_EQ(kFftSpecHeaderBytes % 32, 0u);
    EXPECT_GE(kFftSpecHeaderBytes, sizeof(DspsFFTSpec_R_32f));
    EXPECT_GE(kFftSpecMarginBytes, kFftSpecHeaderBytes + 31);
}

// ---- allocation ----------------------------------------------------------

class FftSpecAllocation : public testing::Test {
protected:
    static inline int allocations = 0;
    static inline int releases = 0;
    static inline int failAt = -1;  // allocation number that returns null
    static void* allocate(std::size_t n) {
        if (allocations++ == failAt) return nullptr;
        return std::malloc(n);
    }
    static void release(void* p) {
        ++releases;
        std::free(p);
    }
    void SetUp() override {
        saved_ = dspMemHooks;
        allocations = releases = 0;
        failAt = -1;
        dspMemHooks.allocate = allocate;
        dspMemHooks.release = release;
    }
    void TearDown() override { dspMemHooks = saved_; }

private:
    DspMemHooks saved_{};
};

TEST_F(FftSpecAllocation, InitBufferOnlyFromOrder11AndNeverOutlivesTheCall) {
    for (const int variant : kVariants)
        for (const int order : {0, 10, 11, 16}) {
            allocations = releases = 0;
            DspsFFTSpec_R_32f* spec = nullptr;
            ASSERT_EQ(dspsFFTInitAlloc_R_32f_table[variant](&spec, order, dspFftDivInvByN, 0), dspStsNoErr);
            EXPECT_EQ(allocations, order >= 11 ? 2 : 1) << variant << " order " << order;
            EXPECT_EQ(releases, order >= 11 ? 1 : 0);
            EXPECT_EQ(spec->allocated, 1);
            EXPECT_EQ(spec->variant, variant);
            EXPECT_EQ(dspsFFTFree_R_32f(spec), dspStsNoErr);
            EXPECT_EQ(releases, allocations);
        }
}

TEST_F(FftSpecAllocation, FailedAllocationsLeaveNothingAllocatedAndThePointerUntouched) {
    for (const int failing : {0, 1}) {
        allocations = releases = 0;
        failAt = failing;
        auto* const sentinel = reinterpret_cast<DspsFFTSpec_R_32f*>(std::uintptr_t{0x1234});
        DspsFFTSpec_R_32f* spec = sentinel;
        EXPECT_EQ(dspsFFTInitAlloc_R_32f(&spec, 12, dspFftDivInvByN, 0), dspStsMemAllocErr);
        EXPECT_EQ(spec, sentinel);
        EXPECT_EQ(releases, allocations - 1) << "every block that was obtained is released";
    }
}

TEST(FftSpecVariant, ARecordKeepsTheVariantThatBuiltItAcrossStartUp) {
    ScopedVariant generic(0);
    DspsFFTSpec_R_32f* spec = nullptr;
    ASSERT_EQ(dspsFFTInitAlloc_R_32f(&spec, 12, dspFftDivInvByN, 0), dspStsNoErr);
    dspStaticInit();
    EXPECT_EQ(spec->variant, 0);
    EXPECT_NE(spec->joinTable, nullptr) << "generic blocked-leaf tables";
    int size = -1;
    ASSERT_EQ(dspsFFTGetBufSize_R_32f(spec, &size), dspStsNoErr);
    EXPECT_EQ(size, 0) << "the generic order-12 plan needs no work buffer";
    EXPECT_EQ(dspsFFTFree_R_32f(spec), dspStsNoErr);
}

}  // namespace
