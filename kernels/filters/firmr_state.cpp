// Multirate FIR set-up: dspsFIRMRInitAlloc_32f and the builders of its
// window and compact forms ("FI03" states; factors 1 and 1 give a
// single-rate state).
//
// Every size is formed in 64 bits; a state whose block, temporary area or
// counts would not fit an int is refused as an allocation failure.
#include <cstdint>
#include <new>

#include "dsp_memory.h"
#include "filters/fir_state.h"
#include "vector/copy_move.h"
#include "vector/zero_fill.h"

#define DSP_FAMILY_INL "firmr_state.inl"
#define DSP_FAMILY_SLOTS DSP_FIR_MR_STATE_SLOTS
#include "simd_levels_all.inc"
