// Aligned blocks: the system block is over-allocated, the address handed out
// is rounded up to 32 bytes, and the system block's address is kept in the
// pointer-sized word just before it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "dsp_memory.h"
#include "shared/byte_count.h"

DspMemHooks dspMemHooks{std::malloc, std::calloc, std::realloc, std::free};

void* dspAlignedMallocBytes(std::size_t bytes) {
    if (bytes < 1) return nullptr;
    if (bytes > std::numeric_limits<std::size_t>::max() - kDspBlockOverhead) return nullptr;
    void* system = dspMemHooks.allocate(bytes + kDspBlockOverhead);
    if (system == nullptr) return nullptr;
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(system) + kDspBlockOverhead - 1;
    auto* aligned = reinterpret_cast<unsigned char*>(first & ~static_cast<std::uintptr_t>(kDspBlockAlignment - 1));
    std::memcpy(aligned - sizeof(void*), &system, sizeof(void*));
    return aligned;
}

void* dspAlignedMalloc(int size) {
    if (size < 1) return nullptr;
    return dspAlignedMallocBytes(static_cast<std::size_t>(size));
}

void dspAlignedFree(void* ptr) {
    if (ptr == nullptr) return;
    void* system;
    std::memcpy(&system, static_cast<unsigned char*>(ptr) - sizeof(void*), sizeof(void*));
    dspMemHooks.release(system);
}

namespace {

template <typename T>
T* typedMalloc(int len) {
    if (len < 1) return nullptr;
    // 64-bit byte count: len * 8 cannot wrap, so a block is never short.
    return static_cast<T*>(dspAlignedMallocBytes(dspByteCount(len, sizeof(T))));
}

}  // namespace

extern "C" Dsp8u* n0_dspsMalloc_8u(int len) { return typedMalloc<Dsp8u>(len); }
extern "C" Dsp32f* n0_dspsMalloc_32f(int len) { return typedMalloc<Dsp32f>(len); }
extern "C" Dsp64f* n0_dspsMalloc_64f(int len) { return typedMalloc<Dsp64f>(len); }
extern "C" void n0_dspsFree(void* ptr) { dspAlignedFree(ptr); }

DSP_DEFINE_FAMILY(DSP_MEMORY_SLOTS)
