// The modal beamformer CMbf on the generated steering tables: the glide of
// the look direction, steering, the crossfade to a new bank of modal FIRs,
// and its refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "beamformer/design/beam_patterns.h"
#include "beamformer/sim/array_simulator.h"
#include "support/beam_response.h"
#include "beamformer/runtime/component_spectra.h"
#include "beamformer/runtime/decomposition.h"
#include "beamformer/runtime/modal_beamformer.h"
#include "beamformer/tables/beamformer_tables.h"
#include "support/channel_set.h"
#include "beamformer/design/fft.h"
#include "beamformer/design/spherical_harmonics.h"

namespace {

using orvelan::design::Direction;
constexpr float kRate = 44100.0f;
constexpr int kFrames = 256;

struct Beam {
    CMbf mbf;
    explicit Beam(float latency = 0.0f, int components = 16) {
        EXPECT_EQ(mbf.configure(vxAudioInterface::timeDomain(components, kRate, kFrames),
                                vxAudioInterface::timeDomain(1, kRate, kFrames)),
                  vxOK);
        EXPECT_EQ(mbf.setLatency(latency), 0);
    }
    // One tap per order: on ideal components (below) the beam's pattern is
    // sum_n d_n P_n(cos gamma).
    void loadOrderWeights(const orvelan::design::OrderWeights& d) {
        const int counts[4] = {1, 1, 1, 1};
        float taps[4];
        const float* pointers[4];
        for (int n = 0; n < 4; ++n) {
            taps[n] = float(d[n] / (2 * n + 1));
            pointers[n] = &taps[n];
        }
        ASSERT_EQ(mbf.loadFilters(counts, pointers), 0);
    }
    // Runs blocks of components; component k at sample i = value(k, i).
    std::vector<float> run(int samples, const std::function<float(int, int)>& value, int offset = 0) {
        std::vector<float> out(samples);
        ChannelSet components(16, kFrames);
        for (int start = 0; start < samples; start += kFrames) {
            components.fill([&](int k, int i) { return value(k, offset + start + i); });
            float* o = out.data() + start;
            mbf.process(components.pointers(), &o, kFrames);
        }
        return out;
    }
};

// Ideal components of a plane wave from `source`: (2n+1) Y_k(u) (the
// decomposition's 1/sqrt(4 pi) left out).
std::array<double, 16> idealComponents(const Direction& source) {
    const auto y = orvelan::design::directionHarmonics(source);
    std::array<double, 16> c{};
    for (int k = 0; k < 16; ++k) c[k] = (2 * orvelan::design::componentOrder(k) + 1) * y[k];
    return c;
}

TEST(ModalGlide, OneDegreePerHundredSamplesTheShortWayRound) {
    Beam beam;
    beam.mbf.setTheta(90);
    beam.mbf.setPhi(350);
    ASSERT_EQ(beam.mbf.start(), vxOK);
    beam.mbf.setTheta(100);
    beam.mbf.setPhi(10);
    std::vector<int> theta, phi;
    ChannelSet components(16, kFrames);
    float out[kFrames];
    float* o = out;
    for (int b = 0; b < 10; ++b) {
        beam.mbf.process(components.pointers(), &o, kFrames);
        theta.insert(theta.end(), beam.mbf.perSampleTheta(), beam.mbf.perSampleTheta() + kFrames);
        phi.insert(phi.end(), beam.mbf.perSamplePhi(), beam.mbf.perSamplePhi() + kFrames);
    }
    EXPECT_EQ(theta[998], 99);
    EXPECT_EQ(theta[999], 100) << "10 degrees take 1000 samples";
    EXPECT_EQ(phi[999], 0) << "350 -> 10 passes 0 after 10 steps";
    EXPECT_EQ(phi[1999], 10);
    for (int p : phi) EXPECT_TRUE(p >= 350 || p <= 10) << p;
    // 0 -> 180 goes upward, 0 -> 181 downward.
    for (const auto& [target, first] : {std::pair{180, 1}, std::pair{181, 359}}) {
        Beam b;
        b.mbf.setPhi(0);
        b.mbf.start();
        b.mbf.setPhi(float(target));
        b.mbf.process(components.pointers(), &o, kFrames);
        EXPECT_EQ(b.mbf.perSamplePhi()[99], first);
    }
    // Targets as the block takes them.
    beam.mbf.setPhi(725.9f);
    EXPECT_EQ(beam.mbf.phiTarget(), 5);
    beam.mbf.setPhi(-10.0f);
    EXPECT_EQ(beam.mbf.phiTarget(), 350);
    beam.mbf.setTheta(200.0f);
    EXPECT_EQ(beam.mbf.thetaTarget(), 180);
    EXPECT_FLOAT_EQ(beam.mbf.thetaAsSet(), 200.0f);
}

TEST(ModalGlide, WeightsRunOnTheStraightLineBetweenWholeDegrees) {
    // A unit on one first-order component through a one-tap order-1 filter
    // shows that component's weight at every sample: theta 90 -> 100 on the
    // cos t row, and phi 350 -> 10 on the 2 cos p row, each sample s of a
    // step at s/100 of the way from one whole degree's column to the next.
    namespace tables = orvelan::beamformer::tables;
    struct Case {
        int component;
        float fromTheta, fromPhi, toTheta, toPhi;
    };
    for (const Case& c : {Case{2, 90, 0, 100, 0}, Case{3, 90, 350, 90, 10}}) {
        Beam beam;
        beam.loadOrderWeights({0, 3, 0, 0});  // order 1 passed with gain 1
        beam.mbf.setTheta(c.fromTheta);
        beam.mbf.setPhi(c.fromPhi);
        ASSERT_EQ(beam.mbf.start(), vxOK);
        beam.mbf.setTheta(c.toTheta);
        beam.mbf.setPhi(c.toPhi);
        const std::vector<float> out = beam.run(8 * kFrames, [&](int k, int) { return k == c.component ? 1.0f : 0.0f; });
        const auto weight = [&](int theta, int phi) {
            return c.component == 2 ? tables::kElevationTable[2][theta]
                                    : tables::kElevationTable[3][theta] * tables::kAzimuthTable[1][phi];
        };
        for (int i = 0; i < 2000; ++i) {
            const int step = i / 100, s = i % 100 + 1;
            const int from = c.component == 2 ? 90 + step : (350 + step) % 360;
            const int to = c.component == 2 ? from + 1 : (from + 1) % 360;
            const bool moving = c.component == 2 ? step < 10 : step < 20;
            const float a = c.component == 2 ? weight(moving ? from : 100, 0) : weight(90, moving ? from : 10);
            const float b = c.component == 2 ? weight(moving ? to : 100, 0) : weight(90, moving ? to : 10);
            const float expected = moving ? a + (b - a) * float(s) / 100.0f : a;
            ASSERT_NEAR(out[i], expected, 2e-6f) << "component " << c.component << ", sample " << i;
        }
    }
}

// The largest step between samples, and the share of energy above 4 kHz
// (Hann-windowed DFT), of a sine's output.
struct Smoothness {
    double largestStep = 0;
    double highBandDb = -300;
};
Smoothness measure(const std::vector<float>& y) {
    Smoothness s;
    for (std::size_t i = 1; i < y.size(); ++i) s.largestStep = std::max(s.largestStep, double(std::abs(y[i] - y[i - 1])));
    const int n = 4096;
    const std::size_t start = y.size() / 2 - n / 2;
    double total = 0, high = 0;
    for (int bin = 1; bin < n / 2; ++bin) {
        std::complex<double> sum = 0.0;
        for (int i = 0; i < n; ++i) {
            const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n);
            sum += window * y[start + i] * std::polar(1.0, -2 * std::numbers::pi * bin * i / n);
        }
        total += std::norm(sum);
        if (bin * kRate / n > 4000.0) high += std::norm(sum);
    }
    s.highBandDb = 10 * std::log10(high / total);
    return s;
}

TEST(ModalGlide, ASineStaysCleanWhileTheLookGlidesNinetyDegrees) {
    // A 500 Hz plane wave from (90, 0) under a cardioid-like first-order
    // beam gliding from (90, 0) to (90, 90): the output's amplitude follows
    // the pattern smoothly. An unglided jump of the same beam, the control,
    // must fail the same check.
    const double omega = 2 * std::numbers::pi * 500.0 / kRate;
    const auto c = idealComponents({90, 0});
    const orvelan::design::OrderWeights cardioid{0.5, 0.5, 0, 0};
    Beam beam;
    beam.loadOrderWeights(cardioid);
    beam.mbf.setTheta(90);
    beam.mbf.setPhi(0);
    ASSERT_EQ(beam.mbf.start(), vxOK);
    beam.mbf.setPhi(90);
    const auto wave = [&](int k, int i) { return float(c[k] * std::sin(omega * i)); };
    const std::vector<float> glided = beam.run(36 * kFrames, wave);
    const Smoothness s = measure(glided);
    const double amplitude = 1.0;  // the pattern's largest value
    EXPECT_LE(s.largestStep, 1.05 * omega * amplitude);
    EXPECT_LT(s.highBandDb, -60.0);

    std::vector<float> jumped(glided.size());
    for (std::size_t i = 0; i < jumped.size(); ++i)
        jumped[i] = float((i < jumped.size() / 2 ? 1.0 : 0.5) * std::sin(omega * double(i)));
    const Smoothness control = measure(jumped);
    EXPECT_FALSE(control.largestStep <= 1.05 * omega * amplitude && control.highBandDb < -60.0);
    std::printf("glide: largest step %.4f (limit %.4f), above 4 kHz %.1f dB; jump: %.4f, %.1f dB\n", s.largestStep,
                1.05 * omega, s.highBandDb, control.largestStep, control.highBandDb);
}

// The loudest of the sources on rings 0..20 degrees around `centre` (ring
// step gammaStep, roll step rollStep), and its angle from `look`.
struct Loudest {
    Direction source;
    double level = -1;
    double degreesFromLook = 0;
};
Loudest loudestAround(const Direction& centre, const Direction& look, double gammaStep, double rollStep,
                      const std::function<double(const Direction&)>& level) {
    Loudest loudest;
    for (double gamma = 0; gamma <= 20; gamma += gammaStep)
        for (double roll = 0; roll < 360; roll += gamma == 0 ? 360 : rollStep) {
            const Direction source = orvelan::testing::offsetDirection(centre, gamma, roll);
            const double l = level(source);
            if (l > loudest.level) {
                loudest.level = l;
                loudest.source = source;
            }
        }
    const double cosine = orvelan::design::dot(orvelan::design::unitVector(loudest.source), orvelan::design::unitVector(look));
    loudest.degreesFromLook = std::acos(std::clamp(cosine, -1.0, 1.0)) * 180 / std::numbers::pi;
    return loudest;
}

TEST(ModalSteering, TheBeamPeaksAtItsLookDirection) {
    // A third-order hypercardioid steered to random looks; plane waves from
    // around each look: the loudest lies within 5 degrees of it.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const auto hyper = orvelan::design::patternWeights(orvelan::design::PatternFamily::Hypercardioid, 3);
    for (int trial = 0; trial < 6; ++trial) {
        const Direction look{std::acos(1 - 2 * unit(random)) * 180 / std::numbers::pi, 360 * unit(random)};
        Beam beam;
        beam.loadOrderWeights(hyper);
        beam.mbf.setTheta(float(look.theta));
        beam.mbf.setPhi(float(look.phi));
        ASSERT_EQ(beam.mbf.start(), vxOK);
        const Direction steered{double(int(look.theta)), double(int(look.phi))};
        const Loudest loudest = loudestAround(steered, look, 2, 30, [&](const Direction& source) {
            const auto c = idealComponents(source);
            return beam.run(kFrames, [&](int k, int) { return float(c[k]); })[kFrames - 1];
        });
        EXPECT_LE(loudest.degreesFromLook, 5.0) << "look " << look.theta << ", " << look.phi;
        EXPECT_NEAR(loudest.level, 1.0, 0.01);
    }
}

TEST(ModalSteering, ThroughTheSimulatedSphereTheBeamPeaksAtItsLook) {
    // The whole low band as it runs: plane-wave impulses from around each
    // random look reach the simulated rigid sphere, the decomposition on the
    // generated tables (radial mode 0) and the beam with the third-order
    // hypercardioid's modal FIRs. The source whose energy from 400 Hz to
    // 3 kHz (where the decomposition holds the harmonics) comes out loudest
    // lies within 5 degrees of the look. Sources up to 20 degrees away, so a
    // beam steered elsewhere cannot pass.
    namespace tables = orvelan::beamformer::tables;
    constexpr int kHyper3 = 4, kVariant = 2, kLength = 2048, kImpulse = 512;
    constexpr double kSimulatorDelay = 256.0;  // the band-limited impulse's ringing before its peak
    const tables::PatternTable& hyper3 = tables::kPatterns[kHyper3];
    const float* modalTaps[4];
    for (int n = 0; n < 4; ++n) modalTaps[n] = hyper3.modalTaps + (kVariant * 4 + n) * hyper3.modalLength;
    const int lowBin = int(400.0 * kLength / kRate), highBin = int(3000.0 * kLength / kRate);

    const auto bandEnergy = [&](const Direction& look, const Direction& source) {
        CEbf ebf;
        EXPECT_EQ(ebf.configure(vxAudioInterface::timeDomain(32, kRate, kFrames),
                                vxAudioInterface::timeDomain(16, kRate, kFrames)),
                  vxOK);
        const float* rows[16];
        for (int k = 0; k < 16; ++k) rows[k] = tables::kEncoderMatrix[k];
        EXPECT_EQ(ebf.setEncoderMatrix(rows), 0);
        EXPECT_EQ(ebf.setRadialBiquads(tables::kRadialSections, tables::kRadialSectionCounts), 0);
        Beam beam(float((hyper3.modalLength - 1) / 2));
        EXPECT_EQ(beam.mbf.loadFilters(hyper3.tapCounts + kVariant * 4, modalTaps), 0);
        beam.mbf.setTheta(float(look.theta));
        beam.mbf.setPhi(float(look.phi));
        EXPECT_EQ(ebf.start(), vxOK);
        EXPECT_EQ(beam.mbf.start(), vxOK);

        const auto impulses = orvelan::sim::capsuleImpulseResponses(source, kImpulse, kSimulatorDelay, kRate);
        ChannelSet capsules(32, kLength), components(16, kFrames);
        capsules.fill([&](int c, int i) { return i < kImpulse ? float(impulses[c][i]) : 0.0f; });
        std::vector<std::complex<double>> out(kLength);
        float block[kFrames];
        float* o = block;
        for (int start = 0; start < kLength; start += kFrames) {
            float* in[32];
            for (int c = 0; c < 32; ++c) in[c] = capsules[c].data() + start;
            ebf.process(in, components.pointers(), kFrames);
            beam.mbf.process(components.pointers(), &o, kFrames);
            for (int i = 0; i < kFrames; ++i) out[start + i] = block[i];
        }
        orvelan::design::fft(out, false);
        double energy = 0;
        for (int bin = lowBin; bin <= highBin; ++bin) energy += std::norm(out[bin]);
        return energy;
    };

    std::mt19937 random(19);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int trial = 0; trial < 4; ++trial) {
        const Direction look{std::acos(1 - 2 * unit(random)) * 180 / std::numbers::pi, 360 * unit(random)};
        const Loudest loudest =
            loudestAround(look, look, 2.5, 45, [&](const Direction& source) { return bandEnergy(look, source); });
        EXPECT_LE(loudest.degreesFromLook, 5.0) << "look " << look.theta << ", " << look.phi;
        std::printf("look (%.1f, %.1f): loudest source %.1f degrees away\n", look.theta, look.phi,
                    loudest.degreesFromLook);
    }
}

TEST(ModalBanks, ANewBankFadesInOnceItsHistoryIsFull) {
    // L = 125: a 251-tap bank loaded while running starts fading at sample
    // 251 of the first block in which it has run 256 samples, and the fade
    // lasts 11025 samples at 44.1 kHz.
    Beam beam(125.0f);
    std::vector<float> unit(251, 0.0f), half(251, 0.0f);
    unit[125] = 1.0f;
    half[125] = 0.5f;
    const int counts[4] = {251, 0, 0, 0};
    const float* first[4] = {unit.data(), nullptr, nullptr, nullptr};
    const float* second[4] = {half.data(), nullptr, nullptr, nullptr};
    ASSERT_EQ(beam.mbf.loadFilters(counts, first), 0);
    ASSERT_EQ(beam.mbf.start(), vxOK);
    const auto dc = [](int k, int) { return k == 0 ? 1.0f : 0.0f; };
    beam.run(2 * kFrames, dc);
    ASSERT_EQ(beam.mbf.loadFilters(counts, second), 0);
    const std::vector<float> out = beam.run(48 * kFrames, dc, 2 * kFrames);
    EXPECT_FLOAT_EQ(out[250], 1.0f);
    EXPECT_LT(out[252], 1.0f);
    EXPECT_GT(out[251 + 11024], 0.5f);
    EXPECT_FLOAT_EQ(out[251 + 11025], 0.5f);
    EXPECT_FLOAT_EQ(out.back(), 0.5f);
}

// Modal FIRs of 251, 200, 151 and 100 taps (alignments 0, 26, 50 and 76 at
// L = 125) with random taps.
struct RandomFirs {
    int counts[4] = {251, 200, 151, 100};
    std::vector<float> taps[4];
    const float* pointers[4];
    explicit RandomFirs(std::mt19937& random) {
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        for (int n = 0; n < 4; ++n) {
            taps[n].resize(counts[n]);
            for (float& t : taps[n]) t = value(random) / float(counts[n]);
            pointers[n] = taps[n].data();
        }
    }
};

TEST(ModalBanks, OrdersAreFilteredAlignedAndAddedAsByDirectConvolution) {
    // FIRs of 251, 200, 151 and 100 taps (alignments 0, 26, 50 and 76 at
    // L = 125) on random components under a steady look, in blocks of the
    // configured 256 samples and shorter ones: the output is the direct
    // convolution of each order sum, delayed and added, to float rounding.
    namespace tables = orvelan::beamformer::tables;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    const RandomFirs firs(random);
    const int* counts = firs.counts;
    const auto& taps = firs.taps;
    Beam beam(125.0f);
    ASSERT_EQ(beam.mbf.loadFilters(counts, firs.pointers), 0);
    const int theta = 63, phi = 241;
    beam.mbf.setTheta(float(theta));
    beam.mbf.setPhi(float(phi));
    ASSERT_EQ(beam.mbf.start(), vxOK);

    const int blocks[] = {256, 256, 100, 7, 256, 200, 256};
    int total = 0;
    for (int b : blocks) total += b;
    ChannelSet components(16, total);
    components.fill([&](int, int) { return value(random); });
    std::vector<float> out(total);
    for (int start = 0, i = 0; start < total; start += blocks[i++]) {
        float* in[16];
        for (int k = 0; k < 16; ++k) in[k] = components[k].data() + start;
        float* o = out.data() + start;
        ASSERT_EQ(beam.mbf.process(in, &o, blocks[i]), vxOK);
    }

    std::vector<double> expected(total, 0.0);
    for (int n = 0; n < 4; ++n) {
        std::vector<double> sum(total, 0.0);
        for (int m = -n; m <= n; ++m) {
            const int k = n * n + n + m;
            double w = tables::kElevationTable[k][theta];
            if (m != 0) w *= tables::kAzimuthTable[m > 0 ? 2 * m - 1 : -2 * m - 2][phi];
            for (int i = 0; i < total; ++i) sum[i] += w * components[k][i];
        }
        const int alignment = 125 - (counts[n] - 1) / 2;
        for (int i = alignment; i < total; ++i)
            for (int t = 0; t < counts[n] && t <= i - alignment; ++t)
                expected[i] += taps[n][t] * sum[i - alignment - t];
    }
    double peak = 0;
    for (double v : expected) peak = std::max(peak, std::abs(v));
    for (int i = 0; i < total; ++i) ASSERT_NEAR(out[i], expected[i], 2e-6 * peak) << "sample " << i;
}

TEST(ModalBanks, SharedComponentSpectraGiveTheSameBeamAsItsOwnOrderSums) {
    // A chain keeps the components' spectra for all its beams; a beam whose
    // look holds still forms its order sums from them, and rebuilds its own
    // when the look moves, the spectra are withdrawn or it is reset. Through
    // holds, glides, short blocks and those hand-overs it matches a beam that
    // never uses them, to float rounding.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    const RandomFirs firs(random);
    Beam shared(125.0f), own(125.0f);
    vxComponentSpectra spectra;
    ASSERT_TRUE(spectra.configure(16, kFrames, 251));
    for (Beam* beam : {&shared, &own}) {
        ASSERT_EQ(beam->mbf.loadFilters(firs.counts, firs.pointers), 0);
        beam->mbf.setTheta(40.0f);
        beam->mbf.setPhi(30.0f);
        ASSERT_EQ(beam->mbf.start(), vxOK);
    }
    struct Step {
        int frames;
        float theta;  // the look's target from this block on
        bool offered;
        bool reset;
    };
    const Step steps[] = {
        {256, 40, true, false}, {256, 40, true, false}, {256, 40, true, false}, {256, 40, true, false},
        {100, 40, true, false}, {256, 45, true, false}, {256, 45, true, false}, {256, 45, true, false},
        {256, 45, true, false}, {256, 45, true, false}, {256, 45, true, false}, {256, 45, true, false},
        {256, 45, false, false}, {256, 45, false, false}, {256, 45, true, false}, {256, 45, true, false},
        {256, 45, true, true},   {256, 45, true, false}, {256, 45, true, false}, {64, 45, true, false},
        {256, 45, true, false},  {256, 45, true, false},
    };
    ChannelSet components(16, kFrames);
    double peak = 0, worst = 0;
    for (const Step& step : steps) {
        components.fill([&](int, int) { return value(random); });
        spectra.push(components.pointers(), step.frames, step.offered);
        std::vector<float> a(step.frames), b(step.frames);
        for (Beam* beam : {&shared, &own}) {
            beam->mbf.setTheta(step.theta);
            if (step.reset) beam->mbf.reset();
        }
        ASSERT_EQ(shared.mbf.process(components.pointers(), spectra, a.data(), step.frames), vxOK);
        float* o = b.data();
        ASSERT_EQ(own.mbf.process(components.pointers(), &o, step.frames), vxOK);
        for (int i = 0; i < step.frames; ++i) {
            peak = std::max(peak, double(std::abs(b[i])));
            worst = std::max(worst, double(std::abs(a[i] - b[i])));
        }
    }
    EXPECT_GT(peak, 0.1);
    EXPECT_LE(worst, 2e-6 * peak);
}

TEST(ModalBanks, RefusesWhatItCannotLoad) {
    Beam beam(125.0f);
    EXPECT_EQ(beam.mbf.setLatency(-1.0f), 19);
    const int tooLong[4] = {252, 0, 0, 0};
    std::vector<float> taps(252, 0.0f);
    const float* pointers[4] = {taps.data(), nullptr, nullptr, nullptr};
    EXPECT_EQ(beam.mbf.loadFilters(tooLong, pointers), 102);
    Beam firstOrder(125.0f, 4);
    const int counts[4] = {1, 0, 0, 0};
    EXPECT_EQ(firstOrder.mbf.loadFilters(counts, pointers), 101);
    CMbf silent;
    EXPECT_EQ(silent.process(nullptr, nullptr, 0), 6);
}

}  // namespace
