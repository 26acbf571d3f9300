// Copy and move: variant bodies, tables and the internal kernels that other
// families (the FFT work copies, and tests) call at their own processor level.
//
// Variant class: bit-identical in all variants (bytes are copied, never
// converted).
#pragma once

#include <cstddef>

#include "dsp.h"
#include "dsp_dispatch.h"

// dspsMove_32f has no entry point.
#define DSP_COPY_MOVE_SLOTS(ENTRY, INTERNAL)                                                              \
    ENTRY(DspStatus, dspsCopy_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, Dsp32f* pDst, int len), (pSrc, pDst, len)) \
    ENTRY(DspStatus, dspsCopy_64f, (0, 1, 2, 3, 4), (const Dsp64f* pSrc, Dsp64f* pDst, int len), (pSrc, pDst, len)) \
    INTERNAL(DspStatus, dspsMove_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, Dsp32f* pDst, int len))

DSP_DECLARE_FAMILY(DSP_COPY_MOVE_SLOTS)

// dspsCopy_32fc runs the dspsCopy_64f bodies (len pairs of floats are len
// 8-byte elements), so its table has their type; its entry point hands the
// pointers on as Dsp64f* (the bodies copy bytes, never doubles).
DSP_DECLARE_TABLE(DspStatus, dspsCopy_32fc, (const Dsp64f* pSrc, Dsp64f* pDst, int len));

// Internal kernels; the bodies have checked the arguments (valid pointers,
// byteCount >= 1). copyKernel8u: the ranges do not overlap, or are the same.
// moveKernel32f: any overlap. The generic level has no move kernel: its
// dspsMove_32f body moves the bytes itself.
DSP_DECLARE_IN_LEVELS(void copyKernel8u(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t byteCount);)
DSP_DECLARE_IN_SSE_LEVELS(void moveKernel32f(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t byteCount);)
