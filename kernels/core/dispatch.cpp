// Library start-up: probe the processor once and fix the variant index that
// every entry point reads.
#include <atomic>

#include "core/cpu_features.h"
#include "dsp_dispatch.h"

std::atomic<int> dspDispatchIndex{0};

namespace {

int variantForFeatures(Dsp64u mask) {
    if (mask & dspCpuFeatureSse41) return 4;
    if (mask & dspCpuFeatureSsse3) return 3;
    if (mask & dspCpuFeatureSse3) return 2;
    if (mask & dspCpuFeatureSse2) return 1;
    return 0;
}

}  // namespace

extern "C" DspStatus dspStaticInit(void) {
    Dsp64u mask = 0;
    // The variant is fixed before the vendor checks: a foreign processor
    // still gets the best variant its features allow, only the status says so.
    const int index = dspGetCpuFeatures(&mask, nullptr) == dspStsNoErr ? variantForFeatures(mask) : 0;
    dspDispatchIndex.store(index, std::memory_order_relaxed);
    if (cpuidAvailable() == 0) return dspStsForeignCpu;
    if (cpuVendorMatches() == 0) return dspStsForeignCpu;
    return dspStsNoErr;
}

extern "C" DspStatus dspStaticInitThunk(void) { return dspStaticInit(); }

extern "C" DspStatus dspStaticInitCpu(DspCpuType cpu) {
    // Processor codes -1..69; the others, and the gaps, are refused.
    static constexpr signed char kVariantOfCode[71] = {
        /* -1 */ 0,
        /* 0..5 */ 0, 0, 0, 0, 0, 0,
        /* 6..11 */ 1, 1, 2, 1, 2, 2,
        /* 12..15 */ -1, -1, -1, -1,
        /* 16, 17 */ 0, 1,
        /* 18..31 */ -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
        /* 32..38 */ 2, 3, 3, 4, 3, 4, 4,
        /* 39..63 */ -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
        -1, -1, -1, -1, -1, -1,
        /* 64..69 */ 0, 1, 2, 3, 4, 4,
    };
    if (static_cast<unsigned>(cpu) + 1u > 70u) return dspStsCpuMismatch;
    const int index = kVariantOfCode[cpu + 1];
    if (index < 0) return dspStsCpuMismatch;
    dspDispatchIndex.store(index, std::memory_order_relaxed);
    return dspStsNoErr;
}
