// The twelve pattern records and their factory: names, codes, ids,
// variants, latencies and the maxima the beamformer sizes its stages from.
#include <gtest/gtest.h>

#include <string>

#include "beamformer/runtime/patterns.h"

namespace {

struct Expected {
    const char* name;
    int code;
    std::int32_t id;
    int variants;
    int firstBeamWidth;
    int crossover;
    int hfMode;
    double latency;
};

TEST(Patterns, RecordsInFactoryOrder) {
    const Expected expected[] = {
        {"omni", 10, 0x0A0A0001, 1, 360, 55, 1, 42},      {"super3", 43, 0x0A2B0001, 5, 66, 41, 2, 160},
        {"super2", 42, 0x0A2A0001, 5, 80, 41, 2, 160},    {"super1", 41, 0x0A290001, 1, 115, 37, 2, 158},
        {"hyper3", 33, 0x0A210001, 5, 48, 41, 2, 160},    {"hyper2", 32, 0x0A200001, 5, 65, 41, 2, 160},
        {"hyper1", 31, 0x0A1F0001, 1, 105, 37, 2, 158},   {"card3", 23, 0x0A170001, 5, 78, 41, 2, 160},
        {"card2", 22, 0x0A160001, 5, 94, 41, 2, 160},     {"card1", 21, 0x0A150001, 1, 131, 37, 1, 158},
        {"dipole1", 51, 0x0A330001, 1, 90, 41, 1, 160},   {"torus", 60, 0x0A3C0001, 1, 360, 41, 1, 160},
    };
    CRo32Factory factory;
    ASSERT_EQ(factory.count(), 12);
    for (int i = 0; i < 12; ++i) {
        const CRoPattern& p = *factory.pattern(i);
        const Expected& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_STREQ(p.name(), e.name);
        EXPECT_EQ(p.name()[CRoPattern::kTextLength - 1], '\0');
        EXPECT_STREQ(p.description(), e.variants == 5 ? "WNG" : "");
        EXPECT_EQ(p.code(), e.code);
        EXPECT_EQ(p.id(), e.id);
        EXPECT_EQ(p.variantCount(), e.variants);
        EXPECT_EQ(p.beamWidth(0), e.firstBeamWidth);
        EXPECT_EQ(p.crossoverLength(), e.crossover);
        EXPECT_EQ(p.hfMode(), e.hfMode);
        EXPECT_DOUBLE_EQ(p.latency(), e.latency);
        // Through the base, the latency leaves the crossover out.
        EXPECT_DOUBLE_EQ(static_cast<const vxPattern&>(p).vxPattern::latency(), e.latency - (e.crossover - 1) / 2);
        EXPECT_EQ(p.orderCount(), 4);
        EXPECT_EQ(p.curvePoints(), 73);
        EXPECT_EQ(p.eqLength(), 31);
        EXPECT_FLOAT_EQ(p.designRate(), 44100.0f);
        for (int v = 0; v < p.variantCount(); ++v) {
            EXPECT_EQ(p.variantValue(v), e.variants == 5 ? -12 + 6 * v : 0);
            EXPECT_EQ(p.eqLength(v), 31);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(p.tapCounts(v)[k], i == 0 ? (k == 0 ? 1 : 0) : 251);
        }
    }
    EXPECT_EQ(factory.pattern(-1), nullptr);
    EXPECT_EQ(factory.pattern(12), nullptr);
}

TEST(Patterns, FactoryMaxima) {
    CRo32Factory factory;
    EXPECT_EQ(factory.longestModalFir(), 251);
    EXPECT_EQ(factory.longestEqFir(), 31);
    EXPECT_EQ(factory.longestCrossoverFir(), 55);
    EXPECT_FLOAT_EQ(factory.largestLatency(), 160.0f);
    EXPECT_EQ(factory.mostCurvePoints(), 73);
}

TEST(Patterns, PolarCurvesHaveTheirShape) {
    CRo32Factory factory;
    const float* card1 = factory.pattern(9)->curve(0);
    EXPECT_NEAR(card1[0], 1.0f, 1e-3f);
    EXPECT_NEAR(card1[18], 0.5f, 0.02f);
    EXPECT_NEAR(card1[36], 0.0f, 0.02f);
    const float* torus = factory.pattern(11)->curve(0);
    EXPECT_NEAR(torus[0], 0.119f, 0.03f);
    EXPECT_NEAR(torus[36], 0.119f, 0.03f);
    EXPECT_NEAR(torus[18], 1.0f, 1e-3f);
    const float* dipole = factory.pattern(10)->curve(0);
    EXPECT_NEAR(dipole[0], 1.0f, 1e-3f);
    EXPECT_NEAR(dipole[18], 0.0f, 0.02f);
    // Every curve closes on itself.
    for (int i = 0; i < factory.count(); ++i)
        for (int v = 0; v < factory.pattern(i)->variantCount(); ++v)
            EXPECT_FLOAT_EQ(factory.pattern(i)->curve(v)[72], factory.pattern(i)->curve(v)[0]);
}

}  // namespace
