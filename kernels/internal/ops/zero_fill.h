// Zero and fill: variant bodies, tables and the internal kernels that other
// families (and tests) call at their own processor level.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

DSP_DECLARE_VARIANTS(DspStatus, dspsZero_8u, (Dsp8u * pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsZero_32f, (Dsp32f * pDst, int len));
// dspsZero_32s runs the dspsZero_32f bodies, so its table has their type; its
// entry point hands the Dsp32s pointer on as Dsp32f* (only zero bytes are
// written through it).
DSP_DECLARE_TABLE(DspStatus, dspsZero_32s, (Dsp32f * pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsZero_64f, (Dsp64f * pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsSet_32s, (Dsp32s val, Dsp32s* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsSet_32f, (Dsp32f val, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsSet_32fc, (Dsp32fc val, Dsp32fc* pDst, int len));

// Internal kernels; the bodies have checked the arguments (valid pointer,
// count >= 1). Counts are 64-bit. The generic level has no setKernel32fc:
// its dspsSet_32fc body stores the pairs itself.
#define DSP_ZERO_FILL_KERNELS                              \
    void zeroKernel8u(Dsp8u* pDst, std::size_t byteCount); \
    void setKernel32(std::uint32_t val, void* pDst, std::size_t count);
#define DSP_ZERO_FILL_SIMD_KERNELS \
    DSP_ZERO_FILL_KERNELS          \
    void setKernel32fc(Dsp32fc val, void* pDst, std::size_t count);

namespace dsp_n0 { DSP_ZERO_FILL_KERNELS }
namespace dsp_n1 { DSP_ZERO_FILL_SIMD_KERNELS }
namespace dsp_n2 { DSP_ZERO_FILL_SIMD_KERNELS }
namespace dsp_n3 { DSP_ZERO_FILL_SIMD_KERNELS }
namespace dsp_n4 { DSP_ZERO_FILL_SIMD_KERNELS }
#undef DSP_ZERO_FILL_SIMD_KERNELS
#undef DSP_ZERO_FILL_KERNELS
