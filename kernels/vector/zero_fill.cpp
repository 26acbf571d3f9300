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

#include "cache_size.h"
#include "shared/alignment.h"
#include "shared/byte_count.h"
#include "shared/vector_checks.h"
#include "vector/zero_fill.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "zero_fill.inl"
#define DSP_FAMILY_SLOTS DSP_ZERO_FILL_SLOTS
#include "simd_levels_all.inc"

// Same bodies as dspsZero_32f; they write zero bytes whatever the element type.
const dspsZero_32s_fn dspsZero_32s_table[5] = {n0_dspsZero_32f, n1_dspsZero_32f, n2_dspsZero_32f, n3_dspsZero_32f,
                                               n4_dspsZero_32f};

extern "C" DspStatus dspsZero_32s(Dsp32s* pDst, int len) {
    return dspsZero_32s_table[dspCurrentVariant()](reinterpret_cast<Dsp32f*>(pDst), len);
}
