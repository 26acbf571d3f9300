// Filtering with single-precision taps: dspsIIR_32f and dspsIIR_32f_I in
// five processor variants.
//
// n0 runs the transposed direct form II sample by sample in double. n1..n4
// cut the call into blocks of at most kIir32fBlockLength samples and run a
// block longer than four samples per order through the block kernels.
#include <algorithm>

#include "filters/iir32f.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "iir32f_filter.inl"
#define DSP_FAMILY_SLOTS DSP_IIR32F_FILTER_SLOTS
#include "simd_levels_all.inc"
