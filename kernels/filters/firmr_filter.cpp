// Multirate FIR filtering of "FI03" states: the drivers that stage a call's
// inputs behind the stored history, the SSE kernels of the window, decimation
// and compact forms, and the double-precision single-output loop that the
// generic variant runs for every output and the SSE variants for the outputs
// after their last whole period.
//
// Every output reads only the samples its own taps meet: a group window of
// the window form is cut to the lanes' tap ranges, and a compact output sums
// its own tap count, so an infinity or NaN elsewhere in the input reaches no
// output it is no part of, and no read goes past the input a call supplies.
#include <immintrin.h>

#include <cstdint>

#include "filters/fir_state.h"
#include "vector/copy_move.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "firmr_filter.inl"
#include "simd_levels_all.inc"
