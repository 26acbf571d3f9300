// The SSE kernels of the float-tap IIR filters: one sample through the
// transposed direct form II, the numerator of a block four outputs at a
// time, and the recursion four outputs per step from look-ahead rows
// prepared with the taps.
#include <immintrin.h>

#include "filters/iir32f.h"
#include "shared/alignment.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "iir32f_kernels.inl"
#include "simd_levels_all.inc"
