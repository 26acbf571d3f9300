// Filtering through a double-tap biquad cascade: dspsIIR64f_32f and
// dspsIIR64f_32f_I in five processor variants.
//
// n0 runs the plain transposed direct form II loop. n1..n4 cut the call
// into chunks of at most kIirChunkLength samples; a chunk longer than four
// samples per section runs section by section through the block kernels,
// four outputs of the recursion per step; a shorter one sample by sample.
#include <algorithm>

#include "filters/iir64f.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "iir64f_filter.inl"
#define DSP_FAMILY_SLOTS DSP_IIR64F_FILTER_SLOTS
#include "simd_levels_all.inc"
