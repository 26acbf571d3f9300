// FIR states without a delay line ("FI33" single rate, "FI34" multirate):
// the source carries the history, so output n of a single-rate state reads
// source samples n .. n + tapsLen - 1. The library offers no public set-up
// for them; firShortTapInitAlloc builds one (tests use it), and dspsFIR_32f
// filters them: the SSSE3 and SSE4.1 variants with unrolled 64-tap kernels
// over four shifted copies of the taps, every other case with plain loops in
// double.
#include <immintrin.h>

#include <cstdint>
#include <new>

#include "dsp_memory.h"
#include "filters/fir_state.h"
#include "shared/alignment.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "fir_shorttap.inl"
#define DSP_FAMILY_SLOTS DSP_FIR_SHORT_TAP_SLOTS
#include "simd_levels_all.inc"
