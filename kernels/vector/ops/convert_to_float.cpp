// Integer-to-float conversion in the five processor variants. The kernels
// are written once in convert_to_float.inl and compiled once per level.
#include <emmintrin.h>
#include <pmmintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "ops/alignment.h"
#include "ops/convert_to_float.h"
#include "ops/vector_checks.h"
#include "simd_memory.h"

namespace {

template <std::size_t... kIndex>
constexpr std::array<Dsp32f, 256> makeByteValueTable(std::index_sequence<kIndex...>) {
    return {{static_cast<Dsp32f>(kIndex)...}};
}

// Entry i holds the float i: an 8-bit sample becomes a float by a table
// load instead of an integer-to-float conversion.
constexpr std::array<Dsp32f, 256> kU8ToFloatTable = makeByteValueTable(std::make_index_sequence<256>{});

}  // namespace

#define DSP_FAMILY_INL "convert_to_float.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsConvert_8u32f);
DSP_DEFINE_TABLE5(dspsConvert_16s32f);
DSP_DEFINE_TABLE5(dspsConvert_24s32f);
DSP_DEFINE_TABLE5(dspsConvert_32s32f);

DSP_DEFINE_ENTRY(DspStatus, dspsConvert_8u32f, (const Dsp8u* pSrc, Dsp32f* pDst, int len), (pSrc, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsConvert_16s32f, (const Dsp16s* pSrc, Dsp32f* pDst, int len), (pSrc, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsConvert_24s32f, (const Dsp8u* pSrc, Dsp32f* pDst, int len), (pSrc, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsConvert_32s32f, (const Dsp32s* pSrc, Dsp32f* pDst, int len), (pSrc, pDst, len))
