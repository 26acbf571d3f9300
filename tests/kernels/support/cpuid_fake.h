// A programmable processor for tests of start-up and cache-size rules.
#pragma once

#include <array>
#include <map>
#include <string>

#include "dsp.h"

struct FakeCpu {
    bool hasCpuid = true;
    std::string vendor = "GenuineIntel";  // the vendor the library is tuned for
    std::array<Dsp32u, 4> leaf1{};        // EAX, EBX, ECX, EDX
    std::map<Dsp32u, std::array<Dsp32u, 4>> otherLeaves;

    // Leaf 1 with these ECX and EDX feature words.
    static FakeCpu withFeatures(Dsp32u ecx, Dsp32u edx);
};

// CPUID leaf 1 feature bits, as the processor reports them.
namespace cpuid_bits {
constexpr Dsp32u kEdxMmx = 1u << 23, kEdxSse = 1u << 25, kEdxSse2 = 1u << 26;
constexpr Dsp32u kEcxSse3 = 1u << 0, kEcxSsse3 = 1u << 9, kEcxSse41 = 1u << 19, kEcxSse42 = 1u << 20,
                 kEcxMovbe = 1u << 22;
}  // namespace cpuid_bits

// Installs a fake processor for the lifetime of the object: the feature cache
// is emptied on entry and on exit, and the variant index is put back.
class ScopedFakeCpu {
public:
    explicit ScopedFakeCpu(const FakeCpu& cpu);
    ~ScopedFakeCpu();
    // The installed processor; changes take effect on the next CPUID query.
    FakeCpu& cpu() { return cpu_; }
    ScopedFakeCpu(const ScopedFakeCpu&) = delete;
    ScopedFakeCpu& operator=(const ScopedFakeCpu&) = delete;

private:
    FakeCpu cpu_;
    int savedIndex_;
};
