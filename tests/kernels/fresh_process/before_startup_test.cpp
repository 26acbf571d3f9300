// A process in which nothing has called start-up yet: every entry point runs
// its generic body and the feature cache is empty.
#include <gtest/gtest.h>

#include "dsp.h"
#include "dsp_cpu.h"
#include "dsp_dispatch.h"

TEST(BeforeStartupTest, IndexIsGenericAndCacheEmptyUntilStartup) {
    EXPECT_EQ(dspCurrentVariant(), 0);
    EXPECT_EQ(cpuHasFeatures(~Dsp64u{0}), 0) << "the feature cache is filled only by start-up or a query";
    dspStaticInit();
    EXPECT_EQ(cpuHasFeatures(dspCpuFeatureSse2), 1);
}
