// FFT mode of single-rate FIR states: overlap-save convolution with blocks of
// fftLen samples through the state's real FFT, the Perm product with the
// taps' spectrum and the inverse transform (which divides by fftLen).
#include <cstdint>

#include "fft/fft_spec.h"
#include "filters/fir_state.h"
#include "vector/arith_complex.h"
#include "vector/copy_move.h"
#include "vector/zero_fill.h"

#define DSP_FAMILY_INL "fir_fft.inl"
#include "simd_levels_all.inc"
