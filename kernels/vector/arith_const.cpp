// Arithmetic with a constant: add, multiply, reverse subtract, divide and
// multiply-accumulate of float vectors with one constant, in five processor
// variants. Zero and one constants fall back on the zero and copy bodies of
// the same level.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "shared/alignment.h"
#include "vector/arith_const.h"
#include "vector/copy_move.h"
#include "shared/vector_checks.h"
#include "vector/zero_fill.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "arith_const.inl"
#define DSP_FAMILY_SLOTS DSP_ARITH_CONST_SLOTS
#include "simd_levels_all.inc"
