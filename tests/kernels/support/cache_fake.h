// Fake processors for the cache-size rule that decides when kernels stream.
#pragma once

#include "cpuid_fake.h"

// Leaf-2 descriptor bytes naming a largest cache of the given size.
namespace cache_descriptor {
constexpr Dsp32u k512KiB = 0x22, k1MiB = 0x23, k2MiB = 0x25, k4MiB = 0x29, k16MiB = 0x4D;
}

// A processor of the vendor the library is tuned for, with every SSE level,
// whose CPUID leaf 2 (count 1) names `descriptor` in EBX.
inline FakeCpu fakeCpuWithCache(Dsp32u descriptor) {
    using namespace cpuid_bits;
    FakeCpu cpu = FakeCpu::withFeatures(kEcxSse3 | kEcxSsse3 | kEcxSse41, kEdxMmx | kEdxSse | kEdxSse2);
    cpu.otherLeaves[2] = {0x00000001u, descriptor, 0, 0};
    return cpu;
}
