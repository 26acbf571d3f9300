// Float-tap IIR filters, 1024-sample blocks from one source into a
// destination (so the signal neither decays into denormals nor grows): an order-8 filter
// ("II01") and a 4-section biquad cascade ("II29"), the n4 body against the
// generic n0 body and a plain scalar float loop of the same recursion.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "dsp.h"
#include "filters/iir32f.h"

namespace {

constexpr int kBlock = 1024;

// Order 8 as four stable sections multiplied out: b0..b8 then a0..a8.
std::vector<float> order8Taps() {
    const double sections[4][3] = {{1, -1.6, 0.8}, {1, -0.9, 0.6}, {1, 0.2, 0.5}, {1, 1.1, 0.45}};
    std::vector<double> a = {1.0};
    for (const auto& s : sections) {
        std::vector<double> product(a.size() + 2, 0.0);
        for (std::size_t i = 0; i < a.size(); ++i)
            for (int j = 0; j < 3; ++j) product[i + j] += a[i] * s[j];
        a = product;
    }
    std::vector<float> taps = {0.2f, 0.1f, -0.05f, 0.3f, 0.0f, 0.1f, -0.2f, 0.05f, 0.01f};
    for (double v : a) taps.push_back(static_cast<float>(v));
    return taps;
}

std::vector<float> fourSections() {
    return {1, -2, 1, 1, -1.96f, 0.962f,  1, -2, 1, 1, -1.9f, 0.91f,
            0.5f, 0.2f, 0.1f, 1, -0.5f, 0.2f,  0.3f, 0.6f, 0.3f, 1, 0.1f, 0.3f};
}

__attribute__((noinline)) void plainArbitraryLoop(const float* x, float* out, int len, const float* b,
                                                  const float* a, float* d, int order) {
    for (int i = 0; i < len; ++i) {
        const float in = x[i];
        const float y = b[0] * in + d[0];
        for (int j = 0; j < order; ++j) d[j] = (b[j + 1] * in - a[j + 1] * y) + d[j + 1];
        out[i] = y;
    }
}

__attribute__((noinline)) void plainDirectFormLoop(const float* x, float* out, int len, const float* taps, float* d,
                                                   int sections) {
    for (int s = 0; s < sections; ++s) {
        const float* t = taps + 5 * s;
        float* z = d + 4 * s;
        const float* from = s == 0 ? x : out;
        float x2 = z[0], x1 = z[1], y2 = z[2], y1 = z[3];
        for (int i = 0; i < len; ++i) {
            const float in = from[i];
            const float y = (((t[1] * x1 + t[2] * x2) - t[3] * y1) - t[4] * y2) + t[0] * in;
            x2 = x1;
            x1 = in;
            y2 = y1;
            y1 = y;
            out[i] = y;
        }
        z[0] = x2;
        z[1] = x1;
        z[2] = y2;
        z[3] = y1;
    }
}

enum class Kind { Order8, Cascade4 };
enum class Path { N4, N0, PlainLoop };

void runFloatTaps(benchmark::State& state, Kind kind, Path path) {
    dspStaticInit();
    const int variant = path == Path::N0 ? 0 : 4;
    if (path == Path::N4 && dspCurrentVariant() < 4) {
        state.SkipWithError("the processor has no SSE4.1");
        return;
    }
    std::vector<float> x(kBlock), y(kBlock);
    for (int i = 0; i < kBlock; ++i) x[i] = static_cast<float>((i * 37) % 101) / 50.0f - 1.0f;
    const std::vector<float> taps = kind == Kind::Order8 ? order8Taps() : fourSections();
    DspsIIRState_32f* iir = nullptr;
    if (kind == Kind::Order8) {
        dspsIIRInitAlloc_32f_table[variant](&iir, taps.data(), 8, nullptr);
    } else {
        const auto build = variant == 0 ? dsp_n0::iirInitAllocBiquad32f : dsp_n4::iirInitAllocBiquad32f;
        build(&iir, taps.data(), 4, nullptr, kIirIdBiquadBlock32f);
    }
    std::vector<float> plainB(taps.begin(), taps.begin() + 9), plainA(taps.begin() + 9, taps.end());
    std::vector<float> plainD(17, 0.0f);
    const auto filter = dspsIIR_32f_table[variant];
    for (auto _ : state) {
        if (path != Path::PlainLoop) {
            filter(x.data(), y.data(), kBlock, iir);
        } else if (kind == Kind::Order8) {
            plainArbitraryLoop(x.data(), y.data(), kBlock, plainB.data(), plainA.data(), plainD.data(), 8);
        } else {
            plainDirectFormLoop(x.data(), y.data(), kBlock, iir->pTaps, plainD.data(), 4);
        }
        benchmark::DoNotOptimize(y.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    dspsIIRFree_32f(iir);
}

}  // namespace

BENCHMARK_CAPTURE(runFloatTaps, Order8_N4, Kind::Order8, Path::N4);
BENCHMARK_CAPTURE(runFloatTaps, Order8_N0, Kind::Order8, Path::N0);
BENCHMARK_CAPTURE(runFloatTaps, Order8_PlainLoop, Kind::Order8, Path::PlainLoop);
BENCHMARK_CAPTURE(runFloatTaps, Cascade4_N4, Kind::Cascade4, Path::N4);
BENCHMARK_CAPTURE(runFloatTaps, Cascade4_N0, Kind::Cascade4, Path::N0);
BENCHMARK_CAPTURE(runFloatTaps, Cascade4_PlainLoop, Kind::Cascade4, Path::PlainLoop);
