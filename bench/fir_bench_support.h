// Shared by the FIR benchmarks: test signals and forcing a processor variant.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

#include "dsp.h"
#include "dsp_dispatch.h"
// The tests' reproducible signals, so benchmarks and tests filter the same data.
#include "../tests/kernels/support/random_signal.h"

// Runs the library as variant n0..n4 for the lifetime of the object (the
// processor codes dspStaticInitCpu maps to each); ok() is false, and the
// benchmark skipped, when this machine cannot run the variant.
class BenchVariant {
public:
    BenchVariant(benchmark::State& state, int variant) : saved_(dspCurrentVariant()) {
        static constexpr int kCpuCode[5] = {-1, 6, 8, 33, 35};
        ok_ = supported(variant);
        if (ok_)
            dspStaticInitCpu(kCpuCode[variant]);
        else
            state.SkipWithError("variant not supported here");
    }
    ~BenchVariant() { dspDispatchIndex.store(saved_); }
    BenchVariant(const BenchVariant&) = delete;
    BenchVariant& operator=(const BenchVariant&) = delete;
    bool ok() const { return ok_; }

private:
    static bool supported(int variant) {
        switch (variant) {
            case 2: return __builtin_cpu_supports("sse3");
            case 3: return __builtin_cpu_supports("ssse3");
            case 4: return __builtin_cpu_supports("sse4.1");
            default: return true;
        }
    }
    int saved_;
    bool ok_ = false;
};
