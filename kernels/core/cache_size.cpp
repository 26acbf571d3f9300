// Cache sizes from the CPUID leaf 2 descriptors: the largest cache, which
// the zero, fill and copy kernels compare against, and the table lookup kept
// for diagnostics.
#include "cache_size.h"
#include "core/cpu_features.h"
#include "core/cpu_info.h"

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
