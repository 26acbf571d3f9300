// Processor identification used by start-up and by the kernels that decide
// when to stream, with a test-only seam for the CPUID results.
#pragma once

#include <cstddef>
#include <optional>

#include "dsp.h"
#include "dsp_dispatch.h"

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

// Size of the processor's largest cache from the CPUID leaf 2 descriptors,
// or nothing (foreign vendor, repeating leaf 2, no known descriptor).
std::optional<std::size_t> largestCacheSize();

// The version records: n4, n4 with SSE4.2, n3, n2, n1, n0.
extern const DspLibraryVersion dspLibraryVersions[6];

DSP_DECLARE_VARIANTS(const DspLibraryVersion*, dspsGetLibVersion, (void));

// Processor and floating-point-environment routines carried with start-up.
// Nothing in the system calls them; they are kept for diagnostics.
struct DspCpuDescription {
    int family, stepping, model, type, extModel, extFamily;
    Dsp32u featuresEdx;
    int hasSse3, hasSsse3, hasSse41, hasSse42, hasMovbe, hasMmx, hasSse, hasSse2;
    int multipleLogical;
    int is64BitCapable;
    int coresPerPackage;
    Dsp32u leaf2Eax, leaf2Edx;
};
void cpuDescribe(DspCpuDescription* desc);

int cpuHasTsc();
int cpuHasMmx();
int cpuHasSse();
int cpuHasSse2();
int cpuHasSse3();
int cpuHasSsse3();
int cpuHasSse41();
int cpuHasSse42();
int cpuHasMovbe();
int cpuHasMultipleLogical();
Dsp32u cpuMaxBasicLeaf();
int cpuCoresPerPackage();
int cpuIs64BitCapable();

Dsp64u cpuReadTimeStamp();
struct DspCacheDescriptorEntry { Dsp32u key; Dsp32s value; };
Dsp32s cpuCacheDescriptorLookup(const DspCacheDescriptorEntry* table);
int cpuDazSupported();

Dsp32u fpResetMxcsr();
Dsp32u fpGetMxcsr();
Dsp32u fpSetMxcsrBits(Dsp32u value, Dsp32u mask);
Dsp32u fpSetMxcsrRounding(Dsp32u value);
void fpLoadMxcsr(Dsp32u value);

Dsp32u fpGetX87Control();
Dsp32u fpSetX87ControlBits(Dsp32u value, Dsp32u mask);
Dsp32u fpSetX87ControlIfChanged(Dsp32u value, Dsp32u mask);
void fpLoadX87Control(Dsp32u value);
Dsp32u fpGetX87Status();
Dsp32u fpGetClearX87Status();
Dsp32u fpControlX87Portable(Dsp32u value, Dsp32u mask);
Dsp32u fpStatusX87Portable();
Dsp32u fpClearX87Portable();
int fpIsNan(double x);
int fpIsFinite(double x);
