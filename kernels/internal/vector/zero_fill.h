// Zero and fill: variant bodies, tables and the internal kernels that other
// families (and tests) call at their own processor level.
//
// Variant class: bit-identical in all variants (only bit patterns are
// stored; a NaN, an infinity or -0.0 arrives unchanged).
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

// dspsZero_64f and the fills have no entry point.
#define DSP_ZERO_FILL_SLOTS(ENTRY, INTERNAL)                                                     \
    ENTRY(DspStatus, dspsZero_8u, (0, 1, 2, 3, 4), (Dsp8u * pDst, int len), (pDst, len))          \
    ENTRY(DspStatus, dspsZero_32f, (0, 1, 2, 3, 4), (Dsp32f * pDst, int len), (pDst, len))        \
    INTERNAL(DspStatus, dspsZero_64f, (0, 1, 2, 3, 4), (Dsp64f * pDst, int len))                  \
    INTERNAL(DspStatus, dspsSet_32s, (0, 1, 2, 3, 4), (Dsp32s val, Dsp32s* pDst, int len))        \
    INTERNAL(DspStatus, dspsSet_32f, (0, 1, 2, 3, 4), (Dsp32f val, Dsp32f* pDst, int len))        \
    INTERNAL(DspStatus, dspsSet_32fc, (0, 1, 2, 3, 4), (Dsp32fc val, Dsp32fc* pDst, int len))

DSP_DECLARE_FAMILY(DSP_ZERO_FILL_SLOTS)

// dspsZero_32s runs the dspsZero_32f bodies, so its table has their type; its
// entry point hands the Dsp32s pointer on as Dsp32f* (only zero bytes are
// written through it).
DSP_DECLARE_TABLE(DspStatus, dspsZero_32s, (Dsp32f * pDst, int len));

// Internal kernels; the bodies have checked the arguments (valid pointer,
// count >= 1). Counts are 64-bit. The generic level has no setKernel32fc:
// its dspsSet_32fc body stores the pairs itself.
DSP_DECLARE_IN_LEVELS(void zeroKernel8u(Dsp8u* pDst, std::size_t byteCount);
                      void setKernel32(std::uint32_t val, void* pDst, std::size_t count);)
DSP_DECLARE_IN_SSE_LEVELS(void setKernel32fc(Dsp32fc val, void* pDst, std::size_t count);)
