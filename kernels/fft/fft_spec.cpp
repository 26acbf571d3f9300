// Real-FFT specification: sizing, initialisation, allocation and release.
//
// The variants differ only in their plan (which tables, which layouts, which
// recursion steps), so one body per function takes the variant's plan; the
// five variant bodies bind it. The record remembers its variant, and the
// transforms run that variant's bodies on it.
#include <climits>
#include <cmath>
#include <cstring>

#include "dsp_memory.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "fft/fft_tables.h"

namespace {

constexpr bool isLegalFlag(int flag) {
    return flag == dspFftDivFwdByN || flag == dspFftDivInvByN || flag == dspFftDivBySqrtN || flag == dspFftNoDiv;
}

// Orders 28..30 pass the first range test but 2^order exceeds 268435455.
constexpr bool orderFitsRecord(int order) { return order <= kFftMaxOrder; }

DspStatus getSize(int variant, int order, int flag, int* pSpecSize, int* pSpecBufferSize, int* pBufferSize) {
    if (order < 0 || order > 30) return dspStsFftOrderErr;
    if (pSpecSize == nullptr || pSpecBufferSize == nullptr || pBufferSize == nullptr) return dspStsNullPtrErr;
    if (!isLegalFlag(flag)) return dspStsFftFlagErr;
    if (!orderFitsRecord(order)) return dspStsFftOrderErr;
    const FftSpecSizes sizes = fftSpecSizes(fftVariantPlan(variant), order);
    if (sizes.spec > INT_MAX || sizes.init > INT_MAX || sizes.work > INT_MAX) return dspStsMemAllocErr;
    *pSpecSize = static_cast<int>(sizes.spec);
    *pSpecBufferSize = static_cast<int>(sizes.init);
    *pBufferSize = static_cast<int>(sizes.work);
    return dspStsNoErr;
}

// Scale factors in double, rounded once (1/N is exact at every order).
bool setScaling(DspsFFTSpec_R_32f* spec, int flag) {
    const double n = std::ldexp(1.0, spec->order);
    switch (flag) {
        case dspFftNoDiv:
            break;
        case dspFftDivBySqrtN:
            spec->scaleFwd = spec->scaleInv = 1;
            spec->scaleFactor = static_cast<float>(1.0 / std::sqrt(n));
            break;
        case dspFftDivFwdByN:
            spec->scaleFwd = 1;
            spec->scaleFactor = static_cast<float>(1.0 / n);
            break;
        case dspFftDivInvByN:
            spec->scaleInv = 1;
            spec->scaleFactor = static_cast<float>(1.0 / n);
            break;
        default:
            return false;
    }
    spec->id = kFftSpecId;
    return true;
}

// Lays out the tables after the header: the bit-reverse table right after
// it, then twiddles (or the recursion's tables), then the split twiddles.
void buildTables(const FftVariantPlan& plan, DspsFFTSpec_R_32f* spec, FftSineSource sine) {
    const int order = spec->order;
    const int m = order - 1;
    const std::int64_t halfN = std::int64_t{1} << m;
    unsigned char* const afterHeader = reinterpret_cast<unsigned char*>(spec) + kFftSpecHeaderBytes;
    unsigned char* next = afterHeader;
    if (m >= 6) {
        spec->bitRevTable = reinterpret_cast<std::int32_t*>(afterHeader);
        if (m <= plan.lastDirectM) {
            unsigned char* twiddles = plan.layout == FftLayout::generic ? fftBitReverseTable(m, spec->bitRevTable)
                                                                        : fftBitReverseIndexTable(m, spec->bitRevTable);
            spec->twiddleTable = reinterpret_cast<float*>(twiddles);
            next = fftRadixTwiddles(plan.layout, m, sine, spec->twiddleTable);
            spec->bufSize = plan.layout == FftLayout::generic ? 0 : static_cast<std::int32_t>(8 * halfN);
        } else {
            // The bit-reverse area is reserved for the plain table of M/4 + 1
            // words; the tiled one is smaller.
            unsigned char* first = fftAlignUp32(afterHeader + ((halfN + 35) & ~std::int64_t{31}));
            next = fftRecursionTables(plan, spec, m, sine, first);
        }
    }
    spec->splitFwdTable = reinterpret_cast<float*>(next);
    spec->splitInvTable =
        reinterpret_cast<float*>(fftSplitTwiddlesForward(plan.layout, order, sine, spec->splitFwdTable));
    fftSplitTwiddlesInverse(plan.layout, order, sine, spec->splitInvTable);
}

DspStatus init(int variant, DspsFFTSpec_R_32f** ppSpec, int order, int flag, int hint, Dsp8u* pMemSpec,
               Dsp8u* pMemInit) {
    if (ppSpec == nullptr) return dspStsNullPtrErr;
    if (order < 0 || !orderFitsRecord(order)) return dspStsFftOrderErr;
    if (pMemSpec == nullptr) return dspStsNullPtrErr;
    auto* spec = reinterpret_cast<DspsFFTSpec_R_32f*>(fftAlignUp32(pMemSpec));
    std::memset(static_cast<void*>(spec), 0, kFftSpecHeaderBytes);
    spec->order = order;
    spec->hint = hint;
    spec->variant = variant;
    if (!setScaling(spec, flag)) return dspStsFftFlagErr;  // the cleared header keeps id 0
    const FftVariantPlan& plan = fftVariantPlan(variant);
    if (order > plan.headerOnlyMaxOrder) {
        FftSineSource sine = fftConstantSine();
        if (order >= 11) {
            if (pMemInit == nullptr) return dspStsNullPtrErr;
            auto* own = reinterpret_cast<float*>(fftAlignUp32(pMemInit));
            fftSineTable(order, own);
            sine = {own, order};
        }
        buildTables(plan, spec, sine);
    }
    *ppSpec = spec;
    return dspStsNoErr;
}

DspStatus initAlloc(int variant, DspsFFTSpec_R_32f** ppSpec, int order, int flag, int hint) {
    if (ppSpec == nullptr) return dspStsNullPtrErr;
    int specSize = 0, initSize = 0, bufSize = 0;
    const DspStatus sized = dspsFFTGetSize_R_32f_table[variant](order, flag, hint, &specSize, &initSize, &bufSize);
    if (sized != dspStsNoErr) return sized;
    auto* memSpec = static_cast<Dsp8u*>(dspAlignedMalloc(specSize));
    if (memSpec == nullptr) return dspStsMemAllocErr;
    Dsp8u* memInit = nullptr;
    if (initSize >= 1) {
        memInit = static_cast<Dsp8u*>(dspAlignedMalloc(initSize));
        if (memInit == nullptr) {
            dspAlignedFree(memSpec);
            return dspStsMemAllocErr;
        }
    }
    DspsFFTSpec_R_32f* spec = nullptr;
    const DspStatus status = dspsFFTInit_R_32f_table[variant](&spec, order, flag, hint, memSpec, memInit);
    dspAlignedFree(memInit);  // needed only while the tables are built
    if (status != dspStsNoErr) {
        dspAlignedFree(memSpec);
        return status;
    }
    spec->allocated = 1;  // the block is 32-byte aligned, so spec is its start
    *ppSpec = spec;
    return dspStsNoErr;
}

}  // namespace

#define DSP_FFT_SPEC_BODIES(level)                                                                                  \
    extern "C" DspStatus n##level##_dspsFFTGetSize_R_32f(int order, int flag, int, int* pSpecSize,                  \
                                                          int* pSpecBufferSize, int* pBufferSize) {                 \
        return getSize(level, order, flag, pSpecSize, pSpecBufferSize, pBufferSize);                                \
    }                                                                                                               \
    extern "C" DspStatus n##level##_dspsFFTInit_R_32f(DspsFFTSpec_R_32f** ppSpec, int order, int flag, int hint,    \
                                                       Dsp8u* pMemSpec, Dsp8u* pMemInit) {                          \
        return init(level, ppSpec, order, flag, hint, pMemSpec, pMemInit);                                          \
    }                                                                                                               \
    extern "C" DspStatus n##level##_dspsFFTInitAlloc_R_32f(DspsFFTSpec_R_32f** ppSpec, int order, int flag,         \
                                                            int hint) {                                             \
        return initAlloc(level, ppSpec, order, flag, hint);                                                         \
    }

DSP_FFT_SPEC_BODIES(0)
DSP_FFT_SPEC_BODIES(1)
DSP_FFT_SPEC_BODIES(2)
DSP_FFT_SPEC_BODIES(3)
DSP_FFT_SPEC_BODIES(4)
#undef DSP_FFT_SPEC_BODIES

extern "C" DspStatus n0_dspsFFTFree_R_32f(DspsFFTSpec_R_32f* pSpec) {
    if (pSpec == nullptr) return dspStsNullPtrErr;
    if (!fftSpecIsLive(pSpec)) return dspStsContextMatchErr;
    const bool allocated = pSpec->allocated == 1;
    pSpec->id = 0;
    if (allocated) dspAlignedFree(pSpec);
    return dspStsNoErr;
}

extern "C" DspStatus n0_dspsFFTGetBufSize_R_32f(const DspsFFTSpec_R_32f* pSpec, int* pBufferSize) {
    if (pSpec == nullptr || pBufferSize == nullptr) return dspStsNullPtrErr;
    if (!fftSpecIsLive(pSpec)) return dspStsContextMatchErr;
    *pBufferSize = pSpec->bufSize >= 1 ? pSpec->bufSize + 32 : 0;
    return dspStsNoErr;
}

DSP_DEFINE_FAMILY(DSP_FFT_SPEC_SLOTS)
