// IIR filters with single-precision taps: size, creation (allocated or in a
// caller's buffer), taps, delay line and release in five processor variants.
//
// One block holds the record, the normalised taps and the delay line; the
// SSE variants add the numerator taps four times each, the look-ahead rows
// with which the recursion makes four outputs per step, and a work area.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>

#include "dsp_memory.h"
#include "filters/iir32f.h"
#include "shared/alignment.h"
#include "vector/copy_move.h"
#include "vector/zero_fill.h"

#define DSP_FAMILY_INL "iir32f_state.inl"
#define DSP_FAMILY_SLOTS DSP_IIR32F_STATE_SLOTS
#include "simd_levels_all.inc"
