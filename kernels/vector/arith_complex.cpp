// Complex-vector arithmetic and the Perm-spectrum product in the five
// processor variants. The kernels are written once in arith_complex.inl and
// compiled once per level; the complex additions reuse the real ones.
#include <immintrin.h>

#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "shared/alignment.h"
#include "vector/arith_complex.h"
#include "vector/arith_real.h"
#include "shared/division_nan.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "arith_complex.inl"
#define DSP_FAMILY_SLOTS DSP_ARITH_COMPLEX_SLOTS
#include "simd_levels_all.inc"
