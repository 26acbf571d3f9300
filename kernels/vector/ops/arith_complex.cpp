// Complex-vector arithmetic and the Perm-spectrum product in the five
// processor variants. The kernels are written once in arith_complex.inl and
// compiled once per level; the complex additions reuse the real ones.
#include <immintrin.h>

#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ops/alignment.h"
#include "ops/arith_complex.h"
#include "ops/arith_real.h"
#include "ops/division_nan.h"
#include "ops/vector_checks.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "arith_complex.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsAdd_32fc_I);
DSP_DEFINE_TABLE5(dspsAdd_32fc);
DSP_DEFINE_TABLE5(dspsMul_32f32fc);
DSP_DEFINE_TABLE5(dspsMul_32fc_I);
DSP_DEFINE_TABLE5(dspsMul_32fc);
DSP_DEFINE_TABLE5(dspsDiv_32fc);
DSP_DEFINE_TABLE5(dspsMulPerm_32f_I);
