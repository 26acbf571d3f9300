// FIR filtering: dspsFIR_32f (out of place) and dspsFIR_32f_I (in place).
// Checks, in this order, with nothing written on a failure: the state and
// the other pointers (dspStsNullPtrErr), the count (dspStsSizeErr), the
// state's kind (dspStsContextMatchErr).
#include <cstdint>

#include "dsp_memory.h"
#include "filters/fir_state.h"
#include "vector/copy_move.h"

#define DSP_FAMILY_INL "fir_filter.inl"
#define DSP_FAMILY_SLOTS DSP_FIR_FILTER_SLOTS
#include "simd_levels_all.inc"
