// The floating-point environment helpers carried with start-up.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "core/fp_env.h"
#include "core/cpu_info.h"

namespace {

// Restores MXCSR and the x87 control word whatever a test does.
class FpEnvTest : public testing::Test {
protected:
    void SetUp() override {
        mxcsr_ = fpGetMxcsr();
        x87_ = fpGetX87Control();
    }
    void TearDown() override {
        fpLoadMxcsr(mxcsr_);
        fpLoadX87Control(x87_);
        fpGetClearX87Status();
    }
    Dsp32u mxcsr_ = 0;
    Dsp32u x87_ = 0;
};

TEST_F(FpEnvTest, MxcsrHelpersReturnPreviousValueAndChangeOnlyMaskedBits) {
    fpLoadMxcsr(0x1F80);
    EXPECT_EQ(fpSetMxcsrBits(0x8040, 0x8040), 0x1F80u);
    EXPECT_EQ(fpGetMxcsr() & ~0x3Fu, 0x9FC0u);
    EXPECT_EQ(fpSetMxcsrRounding(0x6000) & ~0x3Fu, 0x9FC0u);
    EXPECT_EQ(fpGetMxcsr() & 0x6000u, 0x6000u);
    EXPECT_EQ(fpResetMxcsr() & ~0x3Fu, 0xFFC0u);
    EXPECT_EQ(fpGetMxcsr(), 0x1F80u);
}

TEST_F(FpEnvTest, X87PortableControlRoundTrips) {
    fpLoadX87Control(0x037F);  // all masked, 64-bit precision, round to nearest
    EXPECT_EQ(fpControlX87Portable(0, 0), 0x8001Fu);  // all exceptions masked, near, 64-bit
    struct Row {
        Dsp32u value, mask, x87Field, x87Mask;
    } rows[] = {
        {0x100, 0x300, 0x0400, 0x0C00},       // round down
        {0x200, 0x300, 0x0800, 0x0C00},       // round up
        {0x300, 0x300, 0x0C00, 0x0C00},       // chop
        {0x10000, 0x30000, 0x0200, 0x0300},   // 53-bit
        {0x20000, 0x30000, 0x0000, 0x0300},   // 24-bit
        {0x0, 0x10, 0x0000, 0x0001},          // unmask invalid
        {0x0, 0x80000, 0x0000, 0x0002},       // unmask denormal
    };
    for (const Row& r : rows) {
        fpLoadX87Control(0x037F);
        const Dsp32u portable = fpControlX87Portable(r.value, r.mask);
        EXPECT_EQ(portable & r.mask, r.value);
        EXPECT_EQ(fpGetX87Control() & r.x87Mask, r.x87Field) << std::hex << r.value;
    }
}

TEST_F(FpEnvTest, X87ControlBitHelpers) {
    fpLoadX87Control(0x037F);
    EXPECT_EQ(fpSetX87ControlBits(0x0C00, 0x0C00), 0x037Fu);
    EXPECT_EQ(fpGetX87Control(), 0x0F7Fu);
    EXPECT_EQ(fpSetX87ControlIfChanged(0x0C00, 0x0C00), 0x0F7Fu);  // unchanged
    EXPECT_EQ(fpSetX87ControlIfChanged(0x0000, 0x0C00), 0x0F7Fu);
    EXPECT_EQ(fpGetX87Control(), 0x037Fu);
}

TEST_F(FpEnvTest, X87StatusIsReadAndCleared) {
    fpGetClearX87Status();
    volatile double zero = 0.0;
    double r;
    // An x87 division by zero raises the zero-divide flag.
    asm volatile("fldl %1\n\tfld1\n\tfdivp\n\tfstpl %0" : "=m"(r) : "m"(zero));
    EXPECT_TRUE(std::isinf(r));
    EXPECT_EQ(fpStatusX87Portable() & 0x8u, 0x8u);
    EXPECT_EQ(fpClearX87Portable() & 0x8u, 0x8u);
    EXPECT_EQ(fpStatusX87Portable() & 0x8u, 0u);
}

TEST(FpClassifyTest, NanAndFinite) {
    const double inf = std::numeric_limits<double>::infinity();
    const double qnan = std::numeric_limits<double>::quiet_NaN();
    const double snan = std::numeric_limits<double>::signaling_NaN();
    EXPECT_EQ(fpIsNan(qnan), 1);
    EXPECT_EQ(fpIsNan(snan), 1);
    EXPECT_EQ(fpIsNan(inf), 0);
    EXPECT_EQ(fpIsNan(-1.5), 0);
    EXPECT_EQ(fpIsFinite(inf), 0);
    EXPECT_EQ(fpIsFinite(qnan), 0);
    EXPECT_EQ(fpIsFinite(-0.0), 1);
    EXPECT_EQ(fpIsFinite(std::numeric_limits<double>::denorm_min()), 1);
}

TEST(CpuInfoTest, DescriptionMatchesSingleProbes) {
    DspCpuDescription d{};
    cpuDescribe(&d);
    EXPECT_EQ(d.hasSse2, cpuHasSse2());
    EXPECT_EQ(d.hasSse41, cpuHasSse41());
    EXPECT_EQ(d.multipleLogical, cpuHasMultipleLogical());
    EXPECT_EQ(d.is64BitCapable, 1);  // this build only runs on x86-64
    EXPECT_GE(d.coresPerPackage, 1);
    EXPECT_EQ(cpuHasTsc(), 1);
    const Dsp64u t0 = cpuReadTimeStamp();
    EXPECT_GE(cpuReadTimeStamp(), t0);
    EXPECT_EQ(cpuDazSupported(), 1);  // every x86-64 processor has DAZ
}

}  // namespace
