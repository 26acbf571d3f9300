// FIR state: dspsFIRInitAlloc_32f, dspsFIRInit_32f, dspsFIRGetStateSize_32f,
// dspsFIRSetDlyLine_32f and dspsFIRFree_32f.
//
// A single-rate state decides once whether it runs in direct form or, from
// 64 taps, by FFT overlap-save, and carves its record, tap layouts, delay
// buffer, FFT areas and a 4096-float scratch from one block: one the library
// allocates, or one the caller provides (rounded up to 16 bytes).
#include <cstdint>
#include <new>

#include "dsp_memory.h"
#include "fft/fft_spec.h"
#include "filters/fir_state.h"
#include "shared/alignment.h"
#include "vector/copy_move.h"
#include "vector/zero_fill.h"

#define DSP_FAMILY_INL "fir_state.inl"
#define DSP_FAMILY_SLOTS DSP_FIR_STATE_SLOTS
#include "simd_levels_all.inc"
