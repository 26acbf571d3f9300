// What every variant's transform entries share: the argument checks, the
// work buffer of one call and the codelet call.
#pragma once

#include "dsp_memory.h"
#include "fft/fft_codelets.h"
#include "fft/fft_generic.h"
#include "fft/fft_spec.h"

// The work buffer of one call: the caller's from its first 32-byte boundary,
// or one of the record's bufSize allocated for the call, or none.
class FftWorkBuffer {
public:
    FftWorkBuffer(const DspsFFTSpec_R_32f* spec, Dsp8u* callers) {
        if (spec->bufSize < 1) return;
        if (callers != nullptr) {
            bytes_ = fftAlignUp32(callers);
        } else {
            bytes_ = static_cast<unsigned char*>(dspAlignedMalloc(spec->bufSize));
            owned_ = true;
        }
    }
    ~FftWorkBuffer() {
        if (owned_) dspAlignedFree(bytes_);
    }
    FftWorkBuffer(const FftWorkBuffer&) = delete;
    FftWorkBuffer& operator=(const FftWorkBuffer&) = delete;

    // A record that needs a buffer got none: the allocation failed.
    bool missing(const DspsFFTSpec_R_32f* spec) const { return spec->bufSize >= 1 && bytes_ == nullptr; }
    unsigned char* bytes() const { return bytes_; }
    float* floats() const { return reinterpret_cast<float*>(bytes_); }

private:
    unsigned char* bytes_ = nullptr;
    bool owned_ = false;
};

// Record pointer, record kind, then the data pointers.
inline DspStatus fftCheckArguments(const void* pSrc, const void* pDst, const DspsFFTSpec_R_32f* pSpec) {
    if (pSpec == nullptr) return dspStsNullPtrErr;
    if (!fftSpecIsLive(pSpec)) return dspStsContextMatchErr;
    if (pSrc == nullptr || pDst == nullptr) return dspStsNullPtrErr;
    return dspStsNoErr;
}

inline void fftRunCodelet(const FftCodeletBlock& block, bool complexRow, int order, bool scale, float factor,
                          const float* src, float* dst) {
    if (scale)
        (complexRow ? block.complexScaled : block.realScaled)[order](src, dst, factor);
    else
        (complexRow ? block.complex : block.real)[order](src, dst);
}
