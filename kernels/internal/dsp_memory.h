// 32-byte-aligned allocation. The library reaches the system allocator only
// through dspMemHooks.
#pragma once

#include <cstddef>

#include "dsp_dispatch.h"

struct DspMemHooks {
    void* (*allocate)(std::size_t);
    void* (*allocateZeroed)(std::size_t, std::size_t);
    void* (*reallocate)(void*, std::size_t);
    void (*release)(void*);
};

// Set to the runtime's malloc/calloc/realloc/free. Production code never
// changes it; tests swap it to watch what the allocator asks for.
extern DspMemHooks dspMemHooks;

// Alignment of every block handed out, and the bytes added to each request:
// room for the hidden system-block pointer plus the worst-case shift.
constexpr std::size_t kDspBlockAlignment = 32;
constexpr std::size_t kDspBlockOverhead = sizeof(void*) + kDspBlockAlignment;

void* dspAlignedMalloc(int size);
void dspAlignedFree(void* ptr);
// The same for a byte count already formed in 64 bits by a typed allocator.
void* dspAlignedMallocBytes(std::size_t bytes);

// Allocation has no processor-specific code: one body serves every variant.
// dspsMalloc_64f has no entry point.
#define DSP_MEMORY_SLOTS(ENTRY, INTERNAL)                               \
    ENTRY(Dsp8u*, dspsMalloc_8u, (0, 0, 0, 0, 0), (int len), (len))     \
    ENTRY(Dsp32f*, dspsMalloc_32f, (0, 0, 0, 0, 0), (int len), (len))   \
    INTERNAL(Dsp64f*, dspsMalloc_64f, (0, 0, 0, 0, 0), (int len))       \
    ENTRY(void, dspsFree, (0, 0, 0, 0, 0), (void* ptr), (ptr))

DSP_DECLARE_FAMILY(DSP_MEMORY_SLOTS)
