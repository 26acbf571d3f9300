// Copy and move: variant bodies, tables and the internal kernels that other
// families (the FFT work copies, and tests) call at their own processor level.
#pragma once

#include <cstddef>

#include "dsp.h"
#include "dsp_dispatch.h"

DSP_DECLARE_VARIANTS(DspStatus, dspsCopy_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsCopy_64f, (const Dsp64f* pSrc, Dsp64f* pDst, int len));
// dspsCopy_32fc runs the dspsCopy_64f bodies (len pairs of floats are len
// 8-byte elements), so its table has their type; its entry point hands the
// pointers on as Dsp64f* (the bodies copy bytes, never doubles).
DSP_DECLARE_TABLE(DspStatus, dspsCopy_32fc, (const Dsp64f* pSrc, Dsp64f* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsMove_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len));

// Internal kernels; the bodies have checked the arguments (valid pointers,
// byteCount >= 1). copyKernel8u: the ranges do not overlap, or are the same.
// moveKernel32f: any overlap. The generic level has no move kernel: its
// dspsMove_32f body moves the bytes itself.
#define DSP_COPY_KERNEL void copyKernel8u(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t byteCount);
#define DSP_MOVE_KERNEL void moveKernel32f(const Dsp8u* pSrc, Dsp8u* pDst, std::size_t byteCount);

namespace dsp_n0 { DSP_COPY_KERNEL }
namespace dsp_n1 { DSP_COPY_KERNEL DSP_MOVE_KERNEL }
namespace dsp_n2 { DSP_COPY_KERNEL DSP_MOVE_KERNEL }
namespace dsp_n3 { DSP_COPY_KERNEL DSP_MOVE_KERNEL }
namespace dsp_n4 { DSP_COPY_KERNEL DSP_MOVE_KERNEL }
#undef DSP_COPY_KERNEL
#undef DSP_MOVE_KERNEL
