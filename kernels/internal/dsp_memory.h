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

DSP_DECLARE_SINGLE_BODY(Dsp8u*, dspsMalloc_8u, (int len));
DSP_DECLARE_SINGLE_BODY(Dsp32f*, dspsMalloc_32f, (int len));
DSP_DECLARE_SINGLE_BODY(Dsp64f*, dspsMalloc_64f, (int len));
DSP_DECLARE_SINGLE_BODY(void, dspsFree, (void* ptr));
