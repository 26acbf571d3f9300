// Processor description and single-feature probes. Nothing in the system
// calls them; they answer "what is this machine" for diagnostics.
#include <x86intrin.h>

#include <cstring>

#include "core/cpu_features.h"
#include "core/cpu_info.h"

namespace {

Dsp32u leafRegister(Dsp32u leaf, int reg) {
    Dsp32u regs[4];
    cpuidQuery(regs, leaf, 0);
    return regs[reg];
}

constexpr int kEax = 0, kEbx = 1, kEcx = 2, kEdx = 3;

int bitOf(Dsp32u word, int bit) { return static_cast<int>((word >> bit) & 1u); }

int multipleLogicalFrom(Dsp32u ebx, Dsp32u edx) {
    return (bitOf(edx, 28) != 0 && ((ebx >> 16) & 0xFFu) > 1u) ? 1 : 0;
}

}  // namespace

Dsp32u cpuMaxBasicLeaf() { return leafRegister(0, kEax); }

int cpuCoresPerPackage() {
    if (cpuMaxBasicLeaf() < 4) return 1;
    return static_cast<int>((leafRegister(4, kEax) >> 26) & 0x3Fu) + 1;
}

int cpuIs64BitCapable() {
    if (leafRegister(0x80000000u, kEax) < 0x80000001u) return 0;
    return bitOf(leafRegister(0x80000001u, kEdx), 29);
}

int cpuHasTsc() { return bitOf(leafRegister(1, kEdx), 4); }
int cpuHasMmx() { return bitOf(leafRegister(1, kEdx), 23); }
int cpuHasSse() { return bitOf(leafRegister(1, kEdx), 25); }
int cpuHasSse2() { return bitOf(leafRegister(1, kEdx), 26); }
int cpuHasSse3() { return bitOf(leafRegister(1, kEcx), 0); }
int cpuHasSsse3() { return bitOf(leafRegister(1, kEcx), 9); }
int cpuHasSse41() { return bitOf(leafRegister(1, kEcx), 19); }
int cpuHasSse42() { return bitOf(leafRegister(1, kEcx), 20); }
int cpuHasMovbe() { return bitOf(leafRegister(1, kEcx), 22); }

int cpuHasMultipleLogical() {
    Dsp32u regs[4];
    cpuidQuery(regs, 1, 0);
    return multipleLogicalFrom(regs[kEbx], regs[kEdx]);
}

void cpuDescribe(DspCpuDescription* desc) {
    Dsp32u regs[4];
    cpuidQuery(regs, 1, 0);
    const Dsp32u eax = regs[kEax], ecx = regs[kEcx], edx = regs[kEdx];
    desc->stepping = static_cast<int>(eax & 0xFu);
    desc->model = static_cast<int>((eax >> 4) & 0xFu);
    desc->family = static_cast<int>((eax >> 8) & 0xFu);
    desc->type = static_cast<int>((eax >> 12) & 0x3u);
    desc->extModel = static_cast<int>((eax >> 16) & 0xFu);
    desc->extFamily = static_cast<int>((eax >> 20) & 0xFFu);
    desc->featuresEdx = edx;
    desc->hasSse3 = bitOf(ecx, 0);
    desc->hasSsse3 = bitOf(ecx, 9);
    desc->hasSse41 = bitOf(ecx, 19);
    desc->hasSse42 = bitOf(ecx, 20);
    desc->hasMovbe = bitOf(ecx, 22);
    desc->hasMmx = bitOf(edx, 23);
    desc->hasSse = bitOf(edx, 25);
    desc->hasSse2 = bitOf(edx, 26);
    desc->multipleLogical = multipleLogicalFrom(regs[kEbx], edx);
    desc->is64BitCapable = cpuIs64BitCapable();
    desc->coresPerPackage = cpuCoresPerPackage();
    cpuidQuery(regs, 2, 0);
    desc->leaf2Eax = regs[kEax];
    desc->leaf2Edx = regs[kEdx];
}

Dsp64u cpuReadTimeStamp() { return __rdtsc(); }

int cpuDazSupported() {
    alignas(16) unsigned char area[512];
    std::memset(area, 0, sizeof area);
    _fxsave(area);
    Dsp32u mxcsrMask;
    std::memcpy(&mxcsrMask, area + 28, sizeof mxcsrMask);
    return (mxcsrMask != 0 && (mxcsrMask & 0x40u) != 0) ? 1 : 0;
}
