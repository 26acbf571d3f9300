// How close the processing chain runs to this core's arithmetic floor, in
// one run:
// - Peak: a loop of independent multiply and add chains that never leaves
//   the registers (SSE, no FMA), in multiply-adds per nanosecond: one
//   multiply-add is one multiply and one add, each on one float.
// - Block: the beamformer block, 32 capsules to 18 "hyper3" beams, 256
//   frames at 48 kHz, steady and with every beam fading to a new variant.
// - Chain: the whole chain cycle with both recorders writing.
// At the end it prints the block's multiply-adds counted stage by stage
// (below), the floor they take at the measured peak, and block/floor,
// chain/floor and fading/steady. Run it with repetitions
// (--benchmark_repetitions=N): the medians are taken.
//
// The count is of the arithmetic a block cannot do without, in
// multiply-adds (a lone multiply or add counts half): the encoder matrix,
// the radial biquad cascades (five of each per section and sample), the
// forward transforms of the components and the inverse one per beam (a real
// transform of N points as a complex one of N/2 points, five per butterfly,
// plus the split into the real spectrum), the order sums formed from the
// components' spectra, the overlap-save products with the modal filters,
// the crossover run as one filter, the equaliser, the HF path and the band
// sum. Copies, delays and crossfades count nothing.
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/allocation_counter.h"
#include "beamformer/runtime/beamformer_block.h"
#include "beamformer/tables/beamformer_tables.h"
#include "support/noise_channels.h"
#include "io/recording_chain.h"

namespace {

using namespace chain_bench;
namespace tables = orvelan::beamformer::tables;

constexpr int kVariant = 2;
constexpr int kCapsules = 32;
constexpr int kComponents = 16;
constexpr int kModalOrders = 4;

// Seven multiply and seven add chains of four floats each, independent of
// one another: the widest the core can issue without FMA.
constexpr int kPeakChains = 7;
constexpr int kPeakSteps = 1000;

void BM_MultiplyAddPeak(benchmark::State& state) {
    __m128 factor = _mm_set1_ps(1.0f);
    __m128 term = _mm_set1_ps(0.0f);
    // Opaque to the compiler, so neither operation folds away.
    asm volatile("" : "+x"(factor), "+x"(term));
    __m128 m[kPeakChains], a[kPeakChains];
    for (int c = 0; c < kPeakChains; ++c) m[c] = a[c] = _mm_set1_ps(float(c + 1));
    for (auto _ : state) {
        for (int i = 0; i < kPeakSteps; ++i) {
            for (int c = 0; c < kPeakChains; ++c) {
                m[c] = _mm_mul_ps(m[c], factor);
                a[c] = _mm_add_ps(a[c], term);
            }
        }
        for (int c = 0; c < kPeakChains; ++c) asm volatile("" : "+x"(m[c]), "+x"(a[c]));
    }
    // Per step: kPeakChains multiplies and adds of four lanes.
    const double multiplyAdds = double(state.iterations()) * kPeakSteps * kPeakChains * 4;
    state.counters["multiply_adds_per_ns"] =
        benchmark::Counter(multiplyAdds * 1e-9, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MultiplyAddPeak);

// The block's multiply-adds per block of `frames` samples for `beams`
// steady beams of one variant of one pattern.
double countedMultiplyAdds(const CRoPattern& pattern, int variant, int frames, int beams) {
    const double f = frames, b = beams;
    const double fftPoints = 2.0 * frames;
    const double half = fftPoints / 2, bins = half + 1;
    const double butterflies = half / 2 * std::log2(half);
    const double transform = 5.0 * butterflies + 5.0 * half / 2;

    double radial = 0;
    for (int o = 0; o < tables::kOrderCount; ++o) radial += (2 * o + 1) * tables::kRadialSectionCounts[o] * 5.0 * f;
    int filteredOrders = 0;
    for (int o = 0; o < kModalOrders; ++o) filteredOrders += pattern.tapCounts(variant)[o] > 0;

    const double encoder = kCapsules * kComponents * f;
    const double transforms = (kComponents + b) * transform;
    const double orderSums = b * kComponents * bins * 2.0;        // real weight times complex bin
    const double products = b * filteredOrders * bins * 4.0;      // complex multiply-add
    const double crossover = b * pattern.crossoverLength() * f;   // the pair run as one filter
    const double equaliser = b * pattern.eqLength(variant) * f;
    const double hf = pattern.hfMode() == 2 ? b * (1.5 + tables::kTriangleCorrectionLength + 1.0) * f : 0.0;
    const double bandSum = b * 0.5 * f;
    return encoder + radial + transforms + orderSums + products + crossover + equaliser + hf + bandSum;
}

struct Block {
    CRo32 block;
    NoiseChannels in{kCapsules, kFrames};
    std::vector<std::vector<float>> beams = std::vector<std::vector<float>>(kBeams, std::vector<float>(kFrames));
    std::vector<float*> out;
    bool ok = false;

    Block() {
        dspStaticInit();
        for (auto& b : beams) out.push_back(b.data());
        ok = block.configure(vxAudioInterface::timeDomain(kCapsules, kRate, kFrames),
                             vxAudioInterface::timeDomain(kBeams, kRate, kFrames)) == vxOK;
        for (int b = 0; ok && b < kBeams; ++b)
            ok = block.setPattern(b, kHyper3) == 0 && block.setPatternParameter(b, kVariant) == 0 &&
                 block.setPhi(b, float(20 * b)) == 0 && block.setBeamEnabled(b, true) == 0;
        ok = ok && block.start() == vxOK;
        for (int b = 0; ok && b < 200; ++b) block.process(in.data(), out.data(), kFrames);  // past every fade
    }
};

void BM_BeamformerBlock(benchmark::State& state) {
    const bool fading = state.range(0) != 0;
    Block b;
    if (!b.ok) {
        state.SkipWithError("the block did not start");
        return;
    }
    const int loadEvery = int(kRate) / 4 / kFrames + 2;  // a little longer than a fade
    int blocks = 0;
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        if (fading && blocks % loadEvery == 0) {
            state.PauseTiming();
            for (int beam = 0; beam < kBeams; ++beam)
                if (b.block.setPatternParameter(beam, blocks / loadEvery % 2 == 0 ? 0 : kVariant) != 0)
                    state.SkipWithError("pattern load refused");
            state.ResumeTiming();
        }
        ++blocks;
        const std::uint64_t before = allocationCount();
        b.block.process(b.in.data(), b.out.data(), kFrames);
        allocations += allocationCount() - before;
        benchmark::ClobberMemory();
    }
    state.counters["allocations_per_block"] = double(allocations) / double(state.iterations());
    state.counters["realtime_factor"] =
        benchmark::Counter(double(state.iterations()) * kFrames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BeamformerBlock)->ArgName("fading")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ChainCycle(benchmark::State& state) {
    RecordingChain chain;
    if (!chain.ok) {
        state.SkipWithError("the chain did not start");
        return;
    }
    for (int b = 0; b < 200; ++b) chain.cycle();
    for (auto _ : state)
        if (!chain.cycle()) state.SkipWithError("a cycle failed");
    state.counters["realtime_factor"] =
        benchmark::Counter(double(state.iterations()) * kFrames / kRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChainCycle)->Unit(benchmark::kMicrosecond);

// Keeps, per benchmark, the median of its repetitions (or its one run):
// the time per iteration in microseconds and the peak's rate.
class FloorReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            if (median || !medians_.count(name)) {
                Figures& f = run.run_type == Run::RT_Aggregate ? medians_[name] : singles_[name];
                f.microseconds = run.GetAdjustedRealTime() * timeToMicroseconds(run.time_unit);
                if (auto it = run.counters.find("multiply_adds_per_ns"); it != run.counters.end())
                    f.peak = it->second.value;
            }
        }
    }

    struct Figures {
        double microseconds = 0;
        double peak = 0;
    };
    // The median when repetitions ran, else the single run.
    const Figures* find(const std::string& name) const {
        if (auto it = medians_.find(name); it != medians_.end()) return &it->second;
        if (auto it = singles_.find(name); it != singles_.end()) return &it->second;
        return nullptr;
    }

private:
    static double timeToMicroseconds(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond: return 1e-3;
            case benchmark::kMicrosecond: return 1.0;
            case benchmark::kMillisecond: return 1e3;
            default: return 1e6;
        }
    }
    std::map<std::string, Figures> medians_, singles_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    FloorReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto* peak = reporter.find("BM_MultiplyAddPeak");
    const auto* steady = reporter.find("BM_BeamformerBlock/fading:0");
    const auto* fading = reporter.find("BM_BeamformerBlock/fading:1");
    const auto* chain = reporter.find("BM_ChainCycle");
    if (peak == nullptr || steady == nullptr || chain == nullptr || peak->peak <= 0) {
        std::printf("\nfloor: needs the peak, the steady block and the chain cycle in the run\n");
        return 0;
    }
    CRo32Factory factory;
    const double counted = countedMultiplyAdds(*factory.pattern(kHyper3), kVariant, kFrames, kBeams);
    const double floorUs = counted / peak->peak * 1e-3;
    std::printf("\nblock arithmetic: %.0f multiply-adds per block; peak %.2f per ns; floor %.1f us\n", counted,
                peak->peak, floorUs);
    std::printf("block  %8.1f us  block/floor  %.2f\n", steady->microseconds, steady->microseconds / floorUs);
    std::printf("chain  %8.1f us  chain/floor  %.2f  (%.0fx real time)\n", chain->microseconds,
                chain->microseconds / floorUs, kFrames / kRate * 1e6 / chain->microseconds);
    if (fading != nullptr)
        std::printf("fading %8.1f us  fading/steady %.2f\n", fading->microseconds,
                    fading->microseconds / steady->microseconds);
    return 0;
}
