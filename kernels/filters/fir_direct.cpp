// Direct-form FIR filtering: the path that stages input behind the history
// in the delay buffer, and the convolution kernels of the five variants.
//
// n0 sums every output in double from the oldest sample to the newest and
// rounds once. The SSE variants sum in single precision, all four by one
// code: passes of four taps through the destination, reading every tap four
// times (pTapsQuad).
#include <immintrin.h>

#include "filters/fir_state.h"
#include "shared/alignment.h"
#include "vector/copy_move.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "fir_direct.inl"
#include "simd_levels_all.inc"
