// Start-up: variant selection, feature query, start-up by processor code,
// version records.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "cpuid_fake.h"
#include "dsp.h"
#include "core/fp_env.h"
#include "core/cpu_features.h"
#include "core/versions.h"
#include "dsp_dispatch.h"
#include "dsp_dispatch.h"

using namespace cpuid_bits;

namespace {

struct SelectionRow {
    const char* what;
    Dsp32u ecx;
    Dsp32u edx;
    int expectedIndex;
};

class SelectionTest : public testing::TestWithParam<SelectionRow> {};

TEST_P(SelectionTest, PicksVariantFromLeaf1Features) {
    const SelectionRow& row = GetParam();
    const FakeCpu cpu = FakeCpu::withFeatures(row.ecx, row.edx);
    ScopedFakeCpu fake(cpu);
    dspDispatchIndex.store(-1);  // start-up must overwrite whatever was there
    EXPECT_EQ(dspStaticInit(), dspStsNoErr);
    EXPECT_EQ(dspCurrentVariant(), row.expectedIndex) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SelectionTest,
    testing::Values(
        SelectionRow{"SSE4.1 without SSSE3", kEcxSse41, kEdxSse | kEdxSse2, 4},
        SelectionRow{"everything up to SSE4.2", kEcxSse3 | kEcxSsse3 | kEcxSse41 | kEcxSse42 | kEcxMovbe,
                     kEdxMmx | kEdxSse | kEdxSse2, 4},
        SelectionRow{"SSSE3 and MOVBE", kEcxSse3 | kEcxSsse3 | kEcxMovbe, kEdxSse | kEdxSse2, 3},
        SelectionRow{"SSE2 and SSE3", kEcxSse3, kEdxSse | kEdxSse2, 2},
        SelectionRow{"SSE2 only", 0, kEdxMmx | kEdxSse | kEdxSse2, 1},
        SelectionRow{"SSE without SSE2", 0, kEdxMmx | kEdxSse, 0},
        SelectionRow{"MOVBE and SSE4.2 alone", kEcxMovbe | kEcxSse42, 0, 0}),
    [](const testing::TestParamInfo<SelectionRow>& info) { return "Row" + std::to_string(info.index); });

TEST(StartupTest, NoCpuidGivesGenericVariantAndBothWarnings) {
    FakeCpu cpu = FakeCpu::withFeatures(kEcxSse41, kEdxSse2);
    cpu.hasCpuid = false;
    ScopedFakeCpu fake(cpu);
    dspDispatchIndex.store(3);
    EXPECT_EQ(dspStaticInit(), dspStsForeignCpu);
    EXPECT_EQ(dspCurrentVariant(), 0);

    Dsp64u mask = 0xDEADBEEF;
    Dsp32u regs[4] = {1, 2, 3, 4};
    EXPECT_EQ(dspGetCpuFeatures(&mask, regs), dspStsNotSupportedCpu);
    EXPECT_EQ(mask, 0xDEADBEEFu) << "nothing written without CPUID";
    EXPECT_EQ(regs[0], 1u);
    // The pointers are not even looked at.
    EXPECT_EQ(dspGetCpuFeatures(nullptr, nullptr), dspStsNotSupportedCpu);
}

TEST(StartupTest, ForeignVendorKeepsIndexAndWarns) {
    FakeCpu cpu = FakeCpu::withFeatures(kEcxSse3 | kEcxSsse3, kEdxSse | kEdxSse2);
    cpu.vendor = "SomeOtherCPU";
    ScopedFakeCpu fake(cpu);
    EXPECT_EQ(dspStaticInit(), dspStsForeignCpu);
    EXPECT_EQ(dspCurrentVariant(), 3);
}

TEST(StartupTest, RepeatedStartupGivesSameIndexAndStatus) {
    const DspStatus first = dspStaticInit();
    const int firstIndex = dspCurrentVariant();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dspStaticInit(), first);
        EXPECT_EQ(dspCurrentVariant(), firstIndex);
    }
    EXPECT_EQ(dspStaticInitThunk(), first);
}

TEST(StartupTest, CacheIsFilledOnceAndNotReprobed) {
    ScopedFakeCpu fake(FakeCpu::withFeatures(kEcxSse3, kEdxSse2));
    ASSERT_EQ(dspStaticInit(), dspStsNoErr);
    EXPECT_EQ(dspCurrentVariant(), 2);
    // A later change of the processor's answers does not reach the cache.
    fake.cpu().leaf1[2] = kEcxSse41;
    EXPECT_EQ(dspStaticInit(), dspStsNoErr);
    EXPECT_EQ(dspCurrentVariant(), 2);
}

TEST(StartupTest, StartupLeavesFloatingPointEnvironmentAlone) {
    const Dsp32u mxcsrBefore = fpGetMxcsr();
    const Dsp32u x87Before = fpGetX87Control();
    // A distinctive environment: round up, flush-to-zero and DAZ on, x87 at
    // 24-bit precision rounding down.
    fpLoadMxcsr((mxcsrBefore & ~0x6000u) | 0x4000u | 0x8040u);
    fpLoadX87Control((x87Before & ~0x0F00u) | 0x0400u);
    const Dsp32u mxcsrSet = fpGetMxcsr();
    const Dsp32u x87Set = fpGetX87Control();
    dspTestResetFeatureCache();
    dspStaticInit();
    const Dsp32u mxcsrAfter = fpGetMxcsr();
    const Dsp32u x87After = fpGetX87Control();
    fpLoadMxcsr(mxcsrBefore);
    fpLoadX87Control(x87Before);
    EXPECT_EQ(mxcsrAfter, mxcsrSet);
    EXPECT_EQ(x87After, x87Set);
}

std::string cpuinfoFlags() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("flags", 0) == 0) return line.substr(line.find(':') + 1) + " ";
    }
    return {};
}

TEST(FeatureQueryTest, MaskAgreesWithProcCpuinfo) {
    const std::string flags = cpuinfoFlags();
    if (flags.empty()) GTEST_SKIP() << "/proc/cpuinfo has no flags line";
    const auto has = [&](const char* name) { return flags.find(std::string(" ") + name + " ") != std::string::npos; };
    const struct {
        const char* flag;
        Dsp64u bit;
    } kFlags[] = {{"mmx", dspCpuFeatureMmx},     {"sse", dspCpuFeatureSse},      {"sse2", dspCpuFeatureSse2},
                  {"pni", dspCpuFeatureSse3},    {"ssse3", dspCpuFeatureSsse3},  {"movbe", dspCpuFeatureMovbe},
                  {"sse4_1", dspCpuFeatureSse41}, {"sse4_2", dspCpuFeatureSse42}};
    Dsp64u mask = 0;
    ASSERT_EQ(dspGetCpuFeatures(&mask, nullptr), dspStsNoErr);
    for (const auto& f : kFlags) EXPECT_EQ((mask & f.bit) != 0, has(f.flag)) << f.flag;
    EXPECT_EQ(mask >> 32, 0u);
    EXPECT_EQ(mask & ~Dsp64u{0xFF}, 0u);
}

TEST(FeatureQueryTest, RegisterArrayIsOptionalAndMaskPointerIsNot) {
    FakeCpu cpu = FakeCpu::withFeatures(kEcxSse3 | kEcxSse42, kEdxSse2);
    ScopedFakeCpu fake(cpu);
    Dsp64u mask = ~Dsp64u{0};
    EXPECT_EQ(dspGetCpuFeatures(&mask, nullptr), dspStsNoErr);
    EXPECT_EQ(mask, Dsp64u{dspCpuFeatureSse2 | dspCpuFeatureSse3 | dspCpuFeatureSse42});

    Dsp32u regs[4] = {};
    EXPECT_EQ(dspGetCpuFeatures(&mask, regs), dspStsNoErr);
    EXPECT_EQ(regs[0], cpu.leaf1[0]);
    EXPECT_EQ(regs[1], cpu.leaf1[1]);
    EXPECT_EQ(regs[2], cpu.leaf1[2]);
    EXPECT_EQ(regs[3], cpu.leaf1[3]);

    regs[0] = 77;
    EXPECT_EQ(dspGetCpuFeatures(nullptr, regs), dspStsNullPtrErr);
    EXPECT_EQ(regs[0], 77u);
}

// Expected index for each processor code -1..69; -1 means refused.
int expectedIndexForCode(int code) {
    switch (code) {
        case -1: case 0: case 1: case 2: case 3: case 4: case 5: case 16: case 64: return 0;
        case 6: case 7: case 9: case 17: case 65: return 1;
        case 8: case 10: case 11: case 32: case 66: return 2;
        case 33: case 34: case 36: case 67: return 3;
        case 35: case 37: case 38: case 68: case 69: return 4;
        default: return -1;
    }
}

TEST(StaticInitCpuTest, EveryCodeFromMinus2To70) {
    const int saved = dspCurrentVariant();
    for (int code = -2; code <= 70; ++code) {
        dspDispatchIndex.store(2);
        const int expected = expectedIndexForCode(code);
        if (expected < 0) {
            EXPECT_EQ(dspStaticInitCpu(code), dspStsCpuMismatch) << code;
            EXPECT_EQ(dspCurrentVariant(), 2) << "index unchanged for code " << code;
        } else {
            EXPECT_EQ(dspStaticInitCpu(code), dspStsNoErr) << code;
            EXPECT_EQ(dspCurrentVariant(), expected) << code;
        }
    }
    for (int code : {INT32_MIN, -1000, 1000, INT32_MAX}) EXPECT_EQ(dspStaticInitCpu(code), dspStsCpuMismatch);
    dspDispatchIndex.store(saved);
}

TEST(VersionTest, EachVariantReturnsItsOwnRecord) {
    const char* codes[5] = {"n0", "n1", "n2", "n3", "n4"};
    for (int i = 0; i < 5; ++i) {
        const DspLibraryVersion* v = dspsGetLibVersion_table[i]();
        ASSERT_NE(v, nullptr);
        EXPECT_STREQ(v->targetCpu, codes[i]);
        EXPECT_EQ(v->targetCpu[2], 0);
        EXPECT_EQ(v->targetCpu[3], 0);
        EXPECT_EQ(v->major, 6);
        EXPECT_EQ(v->minor, 0);
        EXPECT_EQ(v->majorBuild, 167);
        EXPECT_EQ(v->build, 695);
        EXPECT_STREQ(v->Version, "6.0 Update 2 build 167.41");
        EXPECT_STREQ(v->BuildDate, "Feb 23 2009");
    }
}

TEST(VersionTest, SseFourTwoRecordCarriesPlus) {
    const std::string plain = dspLibraryVersions[0].Name;
    EXPECT_EQ(std::string(dspLibraryVersions[1].Name), plain + "+");
    {
        ScopedFakeCpu fake(FakeCpu::withFeatures(kEcxSse41 | kEcxSse42, kEdxSse2));
        dspStaticInit();
        EXPECT_EQ(std::string(n4_dspsGetLibVersion()->Name), plain + "+");
    }
    {
        ScopedFakeCpu fake(FakeCpu::withFeatures(kEcxSse41, kEdxSse2));
        dspStaticInit();
        EXPECT_EQ(std::string(n4_dspsGetLibVersion()->Name), plain);
    }
    // Distinct names per variant.
    for (int i = 0; i < 6; ++i)
        for (int j = i + 1; j < 6; ++j) EXPECT_STRNE(dspLibraryVersions[i].Name, dspLibraryVersions[j].Name);
}

}  // namespace
