// Biquad cascades with double taps: creation, taps, delay line and release
// of the "II18" state in five processor variants.
//
// One allocation holds the record, the normalised taps and the delay line;
// the SSE variants add per-section tables (duplicated numerator taps, the
// one-sample coefficients and a four-step look-ahead block of the recursion)
// and two work areas, so filtering needs neither a division nor memory.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>
#include <new>

#include "dsp_memory.h"
#include "filters/iir64f.h"
#include "shared/alignment.h"
#include "vector/copy_move.h"
#include "vector/zero_fill.h"

#define DSP_FAMILY_INL "iir64f_state.inl"
#define DSP_FAMILY_SLOTS DSP_IIR64F_STATE_SLOTS
#include "simd_levels_all.inc"
