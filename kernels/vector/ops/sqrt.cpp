// Square root of float vectors in place, in five processor variants. The
// kernels are in sqrt.inl, compiled once per level.
#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "ops/alignment.h"
#include "ops/mxcsr_scope.h"
#include "ops/sqrt.h"
#include "ops/vector_checks.h"
#include "simd_memory.h"

namespace {

constexpr std::uint32_t kNegativeQuietNan = 0xFFC00000u;  // the processor's default NaN

}  // namespace

#define DSP_FAMILY_INL "sqrt.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsSqrt_32f_I);

DSP_DEFINE_ENTRY(DspStatus, dspsSqrt_32f_I, (Dsp32f * pSrcDst, int len), (pSrcDst, len))
