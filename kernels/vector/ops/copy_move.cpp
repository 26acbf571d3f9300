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

#include "dsp_cpu.h"
#include "ops/alignment.h"
#include "ops/byte_count.h"
#include "ops/copy_move.h"
#include "ops/vector_checks.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "copy_move.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsCopy_32f);
DSP_DEFINE_TABLE5(dspsCopy_64f);
DSP_DEFINE_TABLE(dspsCopy_32fc, n0_dspsCopy_64f, n1_dspsCopy_64f, n2_dspsCopy_64f, n3_dspsCopy_64f, n4_dspsCopy_64f);
DSP_DEFINE_TABLE5(dspsMove_32f);

DSP_DEFINE_ENTRY(DspStatus, dspsCopy_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len), (pSrc, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsCopy_64f, (const Dsp64f* pSrc, Dsp64f* pDst, int len), (pSrc, pDst, len))

// Same bodies as dspsCopy_64f: len complex elements are len 8-byte elements.
extern "C" DspStatus dspsCopy_32fc(const Dsp32fc* pSrc, Dsp32fc* pDst, int len) {
    return dspsCopy_32fc_table[dspCurrentVariant()](reinterpret_cast<const Dsp64f*>(pSrc),
                                                    reinterpret_cast<Dsp64f*>(pDst), len);
}
