// Copy and move: dspsCopy_32f/_64f/_32fc and dspsMove_32f in five processor
// variants.
//
// The copy kernel aligns the destination, picks its loads by the source's
// alignment and streams copies of at least half the largest cache past the
// caches; the move kernel takes its direction from the address order so
// overlapping ranges come out right, and never streams.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cache_size.h"
#include "shared/alignment.h"
#include "shared/byte_count.h"
#include "vector/copy_move.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "copy_move.inl"
#define DSP_FAMILY_SLOTS DSP_COPY_MOVE_SLOTS
#include "simd_levels_all.inc"

// Same bodies as dspsCopy_64f: len complex elements are len 8-byte elements.
const dspsCopy_32fc_fn dspsCopy_32fc_table[5] = {n0_dspsCopy_64f, n1_dspsCopy_64f, n2_dspsCopy_64f, n3_dspsCopy_64f,
                                                 n4_dspsCopy_64f};

extern "C" DspStatus dspsCopy_32fc(const Dsp32fc* pSrc, Dsp32fc* pDst, int len) {
    return dspsCopy_32fc_table[dspCurrentVariant()](reinterpret_cast<const Dsp64f*>(pSrc),
                                                    reinterpret_cast<Dsp64f*>(pDst), len);
}
