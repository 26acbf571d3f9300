// The real-FFT specification record and the variant bodies of its
// lifecycle functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

// One real FFT of N = 2^order points: the header below, then its read-only
// tables in the same block. The bit-reverse table follows the header
// directly; every other table starts on a 32-byte boundary. Pointers a plan
// does not use stay null.
struct DspsFFTSpec_R_32f {
    std::int32_t id;         // kFftSpecId while live, 0 after free or a refused flag
    std::int32_t order;      // 0..27
    std::int32_t scaleFwd;   // 1: the forward result is multiplied by scaleFactor
    std::int32_t scaleInv;   // 1: the inverse result is multiplied by scaleFactor
    float scaleFactor;       // 1/N, 1/sqrt(N) or 0.0 (flag dspFftNoDiv)
    std::int32_t hint;       // the caller's hint, stored only
    std::int32_t bufSize;    // bytes of 32-byte-aligned work buffer, 0 for none
    std::int32_t allocated;  // 1: dspsFFTInitAlloc_R_32f owns the block
    std::int32_t* bitRevTable;
    float* twiddleTable;     // of the half-length transform, or of the innermost sub-transform
    float* joinTable;        // generic blocked leaves: W^k pairs joining 1024-point pieces
    float* splitFwdTable;
    float* splitInvTable;
    float* levelTwiddles[3];  // generic recursion: column-transform twiddles per level
    float* crossTwiddles[3];  // recursion: cross-stage twiddles per level
    // The processor variant (0..4) that laid the tables out; the transforms
    // run that variant's bodies on the record whatever the library selects.
    std::int32_t variant;
};

constexpr std::int32_t kFftSpecId = 6;
constexpr int kFftMaxOrder = 27;

// The header as laid in memory: sizeof rounded up to 32, so the tables after
// it keep their 32-byte alignment relative to the record.
constexpr std::size_t kFftSpecHeaderBytes = (sizeof(DspsFFTSpec_R_32f) + 31) & ~std::size_t{31};
// Room for the header at any caller address: the header plus the up to 31
// bytes the record start moves to reach a 32-byte boundary. A record without
// tables takes exactly this much; a record with tables adds them.
constexpr std::size_t kFftSpecMarginBytes = kFftSpecHeaderBytes + 32;

// Work buffers and init buffers are used from their first 32-byte boundary.
inline unsigned char* fftAlignUp32(void* p) {
    const auto a = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<unsigned char*>((a + 31) & ~std::uintptr_t{31});
}

// A live record of a known variant: what the transforms' entry points
// accept (a record of another kind, or a dead one, is a context error).
inline bool fftSpecIsLive(const DspsFFTSpec_R_32f* spec) {
    return spec->id == kFftSpecId && spec->variant >= 0 && spec->variant <= 4;
}

// Variant classes: GetSize, Init and InitAlloc have a body per variant (each
// lays out its own variant's tables); Free and GetBufSize have one body. The
// transforms have a body per variant and entry points that run the body of the record's
// variant: n1..n4 give the same bits where their plans agree (n2, n3 and n4
// always; n1 except for odd half-length orders), n0 computes in double.
// The CCS transforms have one body, which runs the record's variant's Perm
// transform.
#define DSP_FFT_SPEC_SLOTS(ENTRY, INTERNAL)                                                                   \
    ENTRY(DspStatus, dspsFFTGetSize_R_32f, (0, 1, 2, 3, 4),                                                  \
          (int order, int flag, int hint, int* pSpecSize, int* pSpecBufferSize, int* pBufferSize),           \
          (order, flag, hint, pSpecSize, pSpecBufferSize, pBufferSize))                                      \
    ENTRY(DspStatus, dspsFFTInit_R_32f, (0, 1, 2, 3, 4),                                                     \
          (DspsFFTSpec_R_32f * *ppSpec, int order, int flag, int hint, Dsp8u* pMemSpec, Dsp8u* pMemInit),     \
          (ppSpec, order, flag, hint, pMemSpec, pMemInit))                                                   \
    ENTRY(DspStatus, dspsFFTInitAlloc_R_32f, (0, 1, 2, 3, 4),                                                \
          (DspsFFTSpec_R_32f * *ppSpec, int order, int flag, int hint), (ppSpec, order, flag, hint))          \
    ENTRY(DspStatus, dspsFFTFree_R_32f, (0, 0, 0, 0, 0), (DspsFFTSpec_R_32f * pSpec), (pSpec))              \
    ENTRY(DspStatus, dspsFFTGetBufSize_R_32f, (0, 0, 0, 0, 0),                                               \
          (const DspsFFTSpec_R_32f* pSpec, int* pBufferSize), (pSpec, pBufferSize))

#define DSP_FFT_TRANSFORM_SLOTS(ENTRY, INTERNAL)                                                \
    INTERNAL(DspStatus, dspsFFTFwd_RToPerm_32f, (0, 1, 2, 3, 4),                               \
             (const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer)) \
    INTERNAL(DspStatus, dspsFFTInv_PermToR_32f, (0, 1, 2, 3, 4),                               \
             (const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer))

#define DSP_FFT_CCS_SLOTS(ENTRY, INTERNAL)                                                      \
    INTERNAL(DspStatus, dspsFFTFwd_RToCCS_32f, (0, 0, 0, 0, 0),                                \
             (const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer)) \
    INTERNAL(DspStatus, dspsFFTInv_CCSToR_32f, (0, 0, 0, 0, 0),                                \
             (const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer))

DSP_DECLARE_FAMILY(DSP_FFT_SPEC_SLOTS)
DSP_DECLARE_FAMILY(DSP_FFT_TRANSFORM_SLOTS)
DSP_DECLARE_FAMILY(DSP_FFT_CCS_SLOTS)
