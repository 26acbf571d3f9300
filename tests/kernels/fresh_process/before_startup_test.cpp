// A process in which nothing has called start-up yet: every entry point runs
// its generic body and the feature cache is empty.
#include <gtest/gtest.h>

#include <cmath>

#include "dsp.h"
#include "core/cpu_features.h"
#include "dsp_dispatch.h"

namespace {

// d + a*b for a = b = 1 + 2^-12, d = -1. The generic body keeps the exact
// product (2^-11 + 2^-24); the SSE bodies round it to float first (2^-11).
float accumulatedProductThroughEntryPoint() {
    const float a = 1.0f + std::ldexp(1.0f, -12);
    float d = -1.0f;
    EXPECT_EQ(dspsAddProduct_32f(&a, &a, &d, 1), dspStsNoErr);
    return d;
}

}  // namespace

TEST(BeforeStartupTest, EntryPointsRunGenericBodiesUntilStartup) {
    EXPECT_EQ(dspCurrentVariant(), 0);
    EXPECT_EQ(cpuHasFeatures(~Dsp64u{0}), 0) << "the feature cache is filled only by start-up or a query";
    EXPECT_EQ(accumulatedProductThroughEntryPoint(), std::ldexp(1.0f, -11) + std::ldexp(1.0f, -24));

    dspStaticInit();
    EXPECT_EQ(cpuHasFeatures(dspCpuFeatureSse2), 1);
    ASSERT_GT(dspCurrentVariant(), 0) << "every x86-64 processor has SSE2";
    EXPECT_EQ(accumulatedProductThroughEntryPoint(), std::ldexp(1.0f, -11));
}
