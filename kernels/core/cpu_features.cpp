// Processor identification: CPUID through a replaceable source, the feature
// mask (read once and cached), the vendor check and dspGetCpuFeatures.
#include <cpuid.h>

#include <array>
#include <atomic>
#include <cstring>

#include "core/cpu_features.h"

const char kDspTunedVendor[13] = "GenuineIntel";

namespace {

int hardwareIdFlagToggles() {
    unsigned long before = 0;
    unsigned long after = 0;
    // Flip EFLAGS.ID and read it back. The stack pointer is moved past the
    // red zone first: pushes in inline assembly would otherwise overwrite
    // locals the compiler may keep there.
    asm volatile(
        "add $-128, %%rsp\n\t"
        "pushfq\n\t"
        "pop %0\n\t"
        "mov %0, %1\n\t"
        "xor $0x200000, %1\n\t"
        "push %1\n\t"
        "popfq\n\t"
        "pushfq\n\t"
        "pop %1\n\t"
        "push %0\n\t"
        "popfq\n\t"
        "sub $-128, %%rsp"
        : "=&r"(before), "=&r"(after)
        :
        : "cc", "memory");
    return ((before ^ after) & 0x200000UL) != 0 ? 1 : 0;
}

void hardwareQuery(Dsp32u regs[4], Dsp32u leaf, Dsp32u subleaf) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(leaf, subleaf, a, b, c, d);
    regs[0] = a;
    regs[1] = b;
    regs[2] = c;
    regs[3] = d;
}

constexpr DspCpuidSource kHardware{hardwareIdFlagToggles, hardwareQuery};
std::atomic<const DspCpuidSource*> activeSource{&kHardware};

// The cache is filled at most once. The mask is published before the flag
// so a thread that sees the flag set never reads a half-written mask.
std::atomic<Dsp64u> cachedFeatureMask{0};
std::atomic<int> featureMaskCached{0};

struct FeatureBit {
    Dsp64u mask;
    int reg;  // 2 = ECX, 3 = EDX of leaf 1
    int bit;
};
constexpr std::array<FeatureBit, 8> kFeatureBits{{
    {dspCpuFeatureMmx, 3, 23},
    {dspCpuFeatureSse, 3, 25},
    {dspCpuFeatureSse2, 3, 26},
    {dspCpuFeatureSse3, 2, 0},
    {dspCpuFeatureSsse3, 2, 9},
    {dspCpuFeatureMovbe, 2, 22},
    {dspCpuFeatureSse41, 2, 19},
    {dspCpuFeatureSse42, 2, 20},
}};

}  // namespace

void dspTestSetCpuidSource(const DspCpuidSource* source) {
    activeSource.store(source != nullptr ? source : &kHardware);
}

void dspTestResetFeatureCache() {
    featureMaskCached.store(0);
    cachedFeatureMask.store(0);
}

int cpuidAvailable() { return activeSource.load()->idFlagToggles(); }

void cpuidQuery(Dsp32u regs[4], Dsp32u leaf, Dsp32u subleaf) {
    activeSource.load()->query(regs, leaf, subleaf);
}

int cpuVendorMatches() {
    Dsp32u regs[4];
    cpuidQuery(regs, 0, 0);
    char vendor[12];
    std::memcpy(vendor, &regs[1], 4);      // EBX
    std::memcpy(vendor + 4, &regs[3], 4);  // EDX
    std::memcpy(vendor + 8, &regs[2], 4);  // ECX
    return std::memcmp(vendor, kDspTunedVendor, 12) == 0 ? 1 : 0;
}

int cpuFeaturesInit(Dsp64u* pMask) {
    if (featureMaskCached.load(std::memory_order_acquire) != 0) {
        *pMask = cachedFeatureMask.load(std::memory_order_relaxed);
        return 1;
    }
    if (cpuidAvailable() == 0) return 0;
    Dsp32u regs[4];
    cpuidQuery(regs, 1, 0);
    Dsp64u mask = 0;
    for (const FeatureBit& f : kFeatureBits) {
        if ((regs[f.reg] >> f.bit) & 1u) mask |= f.mask;
    }
    cachedFeatureMask.store(mask, std::memory_order_relaxed);
    featureMaskCached.store(1, std::memory_order_release);
    *pMask = mask;
    return 1;
}

int cpuHasFeatures(Dsp64u mask) {
    return (cachedFeatureMask.load(std::memory_order_relaxed) & mask) != 0 ? 1 : 0;
}

extern "C" DspStatus dspGetCpuFeatures(Dsp64u* pFeaturesMask, Dsp32u pCpuidInfoRegs[4]) {
    Dsp64u mask = 0;
    if (cpuFeaturesInit(&mask) == 0) return dspStsNotSupportedCpu;
    if (pFeaturesMask == nullptr) return dspStsNullPtrErr;
    *pFeaturesMask = mask;
    if (pCpuidInfoRegs != nullptr) cpuidQuery(pCpuidInfoRegs, 1, 0);
    return dspStsNoErr;
}
