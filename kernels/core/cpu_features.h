// Processor identification behind start-up: the CPUID queries, the feature
// mask and the vendor check, with a test-only seam for the CPUID results.
// Start-up code only: kernels ask for what they need through the headers in
// internal/ (the cache size, the dispatch index), never through this one.
#pragma once

#include "dsp.h"

// Raw processor queries. Production code reaches the hardware; a test can
// substitute both so every selection rule runs on any machine.
struct DspCpuidSource {
    int (*idFlagToggles)();  // 1 when the EFLAGS ID bit can be flipped
    void (*query)(Dsp32u regs[4], Dsp32u leaf, Dsp32u subleaf);
};

// Test seam: replace the CPUID source (nullptr restores the hardware) and
// empty the feature cache, which production code never does.
void dspTestSetCpuidSource(const DspCpuidSource* source);
void dspTestResetFeatureCache();

int cpuidAvailable();
int cpuVendorMatches();
int cpuFeaturesInit(Dsp64u* pMask);
void cpuidQuery(Dsp32u regs[4], Dsp32u leaf, Dsp32u subleaf);
int cpuHasFeatures(Dsp64u mask);

// The vendor identification the variants are tuned for (CPUID leaf 0).
extern const char kDspTunedVendor[13];
