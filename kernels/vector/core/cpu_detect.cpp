// Library start-up: probe the processor once and fix the variant index.
#include <cpuid.h>

#include <array>
#include <atomic>
#include <cstring>

#include "dsp_cpu.h"
#include "dsp_dispatch.h"

std::atomic<int> dspDispatchIndex{0};

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

int variantForFeatures(Dsp64u mask) {
    if (mask & dspCpuFeatureSse41) return 4;
    if (mask & dspCpuFeatureSsse3) return 3;
    if (mask & dspCpuFeatureSse3) return 2;
    if (mask & dspCpuFeatureSse2) return 1;
    return 0;
}

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

// ---- Cache size from the leaf 2 descriptors ------------------------------

namespace {

struct CacheDescriptor {
    Dsp8u descriptor;
    Dsp8u sizeCode;  // (code >> 4) * 2^((code & 15) + 18) bytes
};

// Largest first, so the first match is the largest cache named.
constexpr CacheDescriptor kCacheDescriptorTable[] = {
    {0x4D, 0x16}, {0x4C, 0x34}, {0x4B, 0x15}, {0x47, 0x15}, {0x4E, 0x33}, {0x4A, 0x33},
    {0x49, 0x14}, {0x29, 0x14}, {0x46, 0x14}, {0x48, 0x32}, {0x25, 0x13}, {0x7D, 0x13},
    {0x85, 0x13}, {0x45, 0x13}, {0x23, 0x12}, {0x87, 0x12}, {0x7C, 0x12}, {0x78, 0x12},
    {0x84, 0x12}, {0x44, 0x12}, {0x22, 0x11}, {0x7B, 0x11}, {0x80, 0x11}, {0x86, 0x11},
    {0x3E, 0x11}, {0x7F, 0x11}, {0x83, 0x11}, {0x43, 0x11}, {0x00, 0x00},
};

// Descriptor bytes of one leaf 2 query: bytes 1..3 of EAX and all bytes of
// EBX, ECX, EDX, skipping registers whose bit 31 says they hold none.
// Returns the number of bytes gathered, 0 when no register was kept or the
// leaf must be repeated.
int gatherLeaf2Descriptors(Dsp8u bytes[15], const Dsp32u regs[4]) {
    if ((regs[0] & 0xFFu) != 1u) return 0;
    int count = 0;
    bool anyKept = false;
    for (int r = 0; r < 4; ++r) {
        if (regs[r] & 0x80000000u) continue;
        anyKept = true;
        for (int b = (r == 0 ? 1 : 0); b < 4; ++b) bytes[count++] = static_cast<Dsp8u>(regs[r] >> (8 * b));
    }
    return anyKept ? count : 0;
}

}  // namespace

std::optional<std::size_t> largestCacheSize() {
    if (cpuVendorMatches() == 0) return std::nullopt;
    Dsp32u regs[4];
    cpuidQuery(regs, 2, 0);
    Dsp8u bytes[15];
    const int count = gatherLeaf2Descriptors(bytes, regs);
    if (count == 0) return std::nullopt;
    for (const CacheDescriptor& row : kCacheDescriptorTable) {
        if (row.descriptor == 0) break;
        for (int i = 0; i < count; ++i) {
            if (bytes[i] == row.descriptor) {
                return static_cast<std::size_t>(row.sizeCode >> 4) << ((row.sizeCode & 15) + 18);
            }
        }
    }
    return std::nullopt;
}

Dsp32s cpuCacheDescriptorLookup(const DspCacheDescriptorEntry* table) {
    Dsp32u regs[4];
    cpuidQuery(regs, 2, 0);
    Dsp8u bytes[15];
    const int count = gatherLeaf2Descriptors(bytes, regs);
    for (const DspCacheDescriptorEntry* e = table; e->key != 0; ++e) {
        for (int i = 0; i < count; ++i) {
            if (bytes[i] == static_cast<Dsp8u>(e->key)) return e->value;
        }
    }
    return -1;
}

// ---- Version records -------------------------------------------------------

namespace {
constexpr const char kVersionText[] = "6.0 Update 2 build 167.41";
constexpr const char kBuildDate[] = "Feb 23 2009";
}  // namespace

const DspLibraryVersion dspLibraryVersions[6] = {
    {6, 0, 167, 695, {'n', '4', 0, 0}, "Orvelan DSP n4 (SSE4.1)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '4', 0, 0}, "Orvelan DSP n4 (SSE4.1)+", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '3', 0, 0}, "Orvelan DSP n3 (SSSE3)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '2', 0, 0}, "Orvelan DSP n2 (SSE3)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '1', 0, 0}, "Orvelan DSP n1 (SSE2)", kVersionText, kBuildDate},
    {6, 0, 167, 695, {'n', '0', 0, 0}, "Orvelan DSP n0 (generic)", kVersionText, kBuildDate},
};

extern "C" const DspLibraryVersion* n0_dspsGetLibVersion(void) { return &dspLibraryVersions[5]; }
extern "C" const DspLibraryVersion* n1_dspsGetLibVersion(void) { return &dspLibraryVersions[4]; }
extern "C" const DspLibraryVersion* n2_dspsGetLibVersion(void) { return &dspLibraryVersions[3]; }
extern "C" const DspLibraryVersion* n3_dspsGetLibVersion(void) { return &dspLibraryVersions[2]; }
extern "C" const DspLibraryVersion* n4_dspsGetLibVersion(void) {
    return &dspLibraryVersions[cpuHasFeatures(dspCpuFeatureSse42) ? 1 : 0];
}
// No entry point: nothing in the system asks for the version.
DSP_DEFINE_TABLE5(dspsGetLibVersion);
