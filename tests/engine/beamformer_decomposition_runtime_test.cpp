// The run-time decomposition CEbf on the generated tables, fed by the
// simulated array: what reaches each component for uniform and plane-wave
// inputs, and its refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "array_simulator.h"
#include "beam_response.h"
#include "beamformer/runtime/decomposition.h"
#include "beamformer_tables.h"
#include "channel_set.h"
#include "spherical_harmonics.h"

namespace {

namespace tables = orvelan::beamformer::tables;
using orvelan::design::Direction;
using Complex = std::complex<double>;

constexpr float kRate = 44100.0f;

struct Decomposition {
    CEbf ebf;
    explicit Decomposition(int frames, int capsules = 32, int components = 16) {
        EXPECT_EQ(ebf.configure(vxAudioInterface::timeDomain(capsules, kRate, frames),
                                vxAudioInterface::timeDomain(components, kRate, frames)),
                  vxOK);
    }
    void loadTables(int radialMode) {
        const float* rows[tables::kComponentCount];
        for (int k = 0; k < tables::kComponentCount; ++k) rows[k] = tables::kEncoderMatrix[k];
        ASSERT_EQ(ebf.setEncoderMatrix(rows), 0);
        const double* const* sections = radialMode == 1 ? tables::kModeOneRadialSections : tables::kRadialSections;
        const int* counts = radialMode == 1 ? tables::kModeOneRadialSectionCounts : tables::kRadialSectionCounts;
        ASSERT_EQ(ebf.setRadialBiquads(sections, counts), 0);
        ASSERT_EQ(ebf.setRadialFirs(tables::kRadialFirTaps, tables::kRadialFirLengths), 0);
        ASSERT_EQ(ebf.setRadialMode(radialMode), 0);
    }
};

TEST(DecompositionRuntime, EqualCapsulesReachOnlyComponentZero) {
    const int frames = 64;
    Decomposition d(frames);
    d.loadTables(CEbf::kNoRadialFilter);
    ChannelSet capsules(32, frames), components(16, frames);
    capsules.fill([](int, int i) { return std::sin(0.1f * float(i)); });
    ASSERT_EQ(d.ebf.process(capsules.pointers(), components.pointers(), frames), vxOK);
    for (int i = 0; i < frames; ++i) {
        EXPECT_NEAR(components[0][i], capsules[0][i] / std::sqrt(4 * std::numbers::pi), 2e-6);
        for (int k = 1; k < 16; ++k) EXPECT_NEAR(components[k][i], 0.0f, 2e-6) << "component " << k;
    }
}

TEST(DecompositionRuntime, RefusesWhatItCannotDecompose) {
    Decomposition nine(64, 32, 9);
    const float* rows[16] = {};
    EXPECT_EQ(nine.ebf.setEncoderMatrix(rows), 101);
    EXPECT_EQ(nine.ebf.setRadialBiquads(tables::kRadialSections, tables::kRadialSectionCounts), 102);
    Decomposition narrow(64, 31, 16);
    EXPECT_EQ(narrow.ebf.setEncoderMatrix(rows), 103);
    CEbf five;
    EXPECT_EQ(five.configure(vxAudioInterface::timeDomain(32, kRate, 64), vxAudioInterface::timeDomain(5, kRate, 64)),
              vxErrFormat);
    Decomposition noFirs(64);
    EXPECT_EQ(noFirs.ebf.setRadialMode(CEbf::kRadialBiquadsAndFirs), 105);
    EXPECT_EQ(noFirs.ebf.setRadialMode(3), 105);
}

// Steady-state complex amplitude of bin `bin` of the last `window` samples.
Complex amplitudeAt(const std::vector<float>& x, int bin, int window) {
    Complex sum = 0.0;
    const std::size_t start = x.size() - window;
    for (int i = 0; i < window; ++i)
        sum += double(x[start + i]) * std::polar(1.0, -2.0 * std::numbers::pi * bin * i / window);
    return 2.0 * sum / double(window);
}

// Where a plane wave's components can be held to its harmonics: orders 1..3
// up to 3 kHz (order 3 from 500 Hz: below it its share of the wave, about
// (kr)^3, sinks under the simulated capsules' own error); order 0 up to
// 6 kHz (above it 32 capsules alias the sphere's higher orders into it,
// +17 dB at 12 kHz).
bool checked(int order, double hz) {
    if (order == 0) return hz <= 6100.0;
    return hz <= 3100.0 && (order < 3 || hz >= 450.0);
}

TEST(DecompositionRuntime, PlaneWavesGiveTheHarmonicsOfTheirDirection) {
    // A multi-tone plane wave from 20 directions; at each tone, every
    // order's components must be that order's harmonics of the direction,
    // (2n+1)/sqrt(4 pi) Y_k(u), equalised to within 1 dB, and radial modes 0
    // and 1 must agree there.
    constexpr int kWindow = 4096, kSettle = 2048, kFrames = 256;
    const int bins[] = {19, 46, 93, 186, 279, 557, 1115};  // about 200 Hz .. 12 kHz
    std::vector<float> tones(kWindow + kSettle, 0.0f);
    for (int bin : bins)
        for (std::size_t i = 0; i < tones.size(); ++i)
            tones[i] += 0.1f * float(std::cos(2.0 * std::numbers::pi * bin * double(i) / kWindow));
    double worstDb = 0, worstModeGapDb = 0;
    for (int d = 0; d < 20; ++d) {
        const double z = 1.0 - 2.0 * (d + 0.5) / 20;
        const Direction source{std::acos(z) * 180.0 / std::numbers::pi, std::fmod(d * 137.50776405, 360.0)};
        auto capsules = orvelan::sim::simulateCapsuleSignals(source, tones);
        std::vector<Complex> measured[2][7];
        for (int mode : {0, 1}) {
            Decomposition dec(kFrames);
            dec.loadTables(mode);
            std::vector<std::vector<float>> components(16, std::vector<float>(tones.size()));
            for (std::size_t start = 0; start < tones.size(); start += kFrames) {
                float* in[32];
                float* out[16];
                for (int c = 0; c < 32; ++c) in[c] = capsules[c].data() + start;
                for (int k = 0; k < 16; ++k) out[k] = components[k].data() + start;
                dec.ebf.process(in, out, kFrames);
            }
            for (int b = 0; b < 7; ++b)
                for (int k = 0; k < 16; ++k) measured[mode][b].push_back(amplitudeAt(components[k], bins[b], kWindow));
        }
        const auto harmonics = orvelan::design::directionHarmonics(source);
        for (int b = 0; b < 7; ++b) {
            const double hz = bins[b] * kRate / kWindow;
            for (int n = 0; n <= 3; ++n) {
                if (!checked(n, hz)) continue;
                // Least-squares gain of the order's components on the ideal.
                Complex dotProduct = 0.0;
                double norm = 0, power = 0;
                for (int m = -n; m <= n; ++m) {
                    const int k = n * n + n + m;
                    const double ideal = (2 * n + 1) / std::sqrt(4 * std::numbers::pi) * harmonics[k] * 0.1;
                    dotProduct += measured[0][b][k] * ideal;
                    norm += ideal * ideal;
                    power += std::norm(measured[0][b][k]);
                }
                if (norm < 1e-12) continue;
                const Complex gain = dotProduct / norm;
                const double levelDb = 20 * std::log10(std::abs(gain));
                EXPECT_NEAR(levelDb, 0.0, 1.0) << "order " << n << " at " << hz << " Hz from direction " << d;
                // Nothing of other directions: the order's power is the fit's.
                EXPECT_NEAR(power, std::norm(gain) * norm, 0.05 * power) << "order " << n << " at " << hz << " Hz";
                worstDb = std::max(worstDb, std::abs(levelDb));
                for (int m = -n; m <= n; ++m) {
                    const int k = n * n + n + m;
                    if (std::abs(measured[0][b][k]) < 0.2 * std::sqrt(power / (2 * n + 1))) continue;
                    const double gap = 20 * std::log10(std::abs(measured[1][b][k]) / std::abs(measured[0][b][k]));
                    worstModeGapDb = std::max(worstModeGapDb, std::abs(gap));
                }
            }
        }
    }
    EXPECT_LE(worstModeGapDb, 1.0);
    std::printf("worst equalised level %.2f dB, radial modes 0 and 1 apart by at most %.2f dB\n", worstDb,
                worstModeGapDb);
}

}  // namespace
