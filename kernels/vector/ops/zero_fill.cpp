// Zero and fill: dspsZero_*, dspsSet_* in five processor variants.
//
// One byte-count kernel per level serves every zero (the functions differ
// only in the element size), one pattern fill serves the 32-bit and complex
// fills. Vectors at least as large as the processor's largest cache are
// written with non-temporal stores so they do not evict the working set.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dsp_cpu.h"
#include "ops/alignment.h"
#include "ops/byte_count.h"
#include "ops/vector_checks.h"
#include "ops/zero_fill.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "zero_fill.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsZero_8u);
DSP_DEFINE_TABLE5(dspsZero_32f);
DSP_DEFINE_TABLE(dspsZero_32s, n0_dspsZero_32f, n1_dspsZero_32f, n2_dspsZero_32f, n3_dspsZero_32f, n4_dspsZero_32f);
DSP_DEFINE_TABLE5(dspsZero_64f);
DSP_DEFINE_TABLE5(dspsSet_32s);
DSP_DEFINE_TABLE5(dspsSet_32f);
DSP_DEFINE_TABLE5(dspsSet_32fc);

DSP_DEFINE_ENTRY(DspStatus, dspsZero_8u, (Dsp8u * pDst, int len), (pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsZero_32f, (Dsp32f * pDst, int len), (pDst, len))

// Same bodies as dspsZero_32f; they write zero bytes whatever the element type.
extern "C" DspStatus dspsZero_32s(Dsp32s* pDst, int len) {
    return dspsZero_32s_table[dspCurrentVariant()](reinterpret_cast<Dsp32f*>(pDst), len);
}
