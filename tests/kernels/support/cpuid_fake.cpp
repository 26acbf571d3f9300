#include "cpuid_fake.h"

#include <cstring>

#include "core/cpu_features.h"
#include "dsp_dispatch.h"
#include "dsp_dispatch.h"

namespace {

const FakeCpu* current = nullptr;

int fakeIdFlagToggles() { return current->hasCpuid ? 1 : 0; }

void fakeQuery(Dsp32u regs[4], Dsp32u leaf, Dsp32u /*subleaf*/) {
    std::array<Dsp32u, 4> r{};
    if (leaf == 0) {
        char text[12] = {};
        std::memcpy(text, current->vendor.data(), std::min<std::size_t>(12, current->vendor.size()));
        r[0] = 4;  // highest basic leaf
        std::memcpy(&r[1], text, 4);
        std::memcpy(&r[3], text + 4, 4);
        std::memcpy(&r[2], text + 8, 4);
    } else if (leaf == 1) {
        r = current->leaf1;
    } else if (auto it = current->otherLeaves.find(leaf); it != current->otherLeaves.end()) {
        r = it->second;
    }
    std::memcpy(regs, r.data(), sizeof(Dsp32u) * 4);
}

const DspCpuidSource kFakeSource{fakeIdFlagToggles, fakeQuery};

}  // namespace

FakeCpu FakeCpu::withFeatures(Dsp32u ecx, Dsp32u edx) {
    FakeCpu cpu;
    cpu.leaf1 = {0x000906EAu, 0x00100800u, ecx, edx};
    return cpu;
}

ScopedFakeCpu::ScopedFakeCpu(const FakeCpu& cpu) : cpu_(cpu), savedIndex_(dspCurrentVariant()) {
    current = &cpu_;
    dspTestSetCpuidSource(&kFakeSource);
    dspTestResetFeatureCache();
}

ScopedFakeCpu::~ScopedFakeCpu() {
    dspTestSetCpuidSource(nullptr);
    dspTestResetFeatureCache();
    current = nullptr;
    dspDispatchIndex.store(savedIndex_);
}
