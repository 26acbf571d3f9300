#include "beamformer/runtime/overlap_save.h"

#include <cstring>

namespace {
constexpr int kMaxOrder = 20;
}  // namespace

void vxOverlapSave::release() {
    spec_ = nullptr;
    length_ = maxTaps_ = 0;
    specMemory_.release();
    audioWork_.release();
    loaderWork_.release();
}

bool vxOverlapSave::configure(int maxFrames, int maxTaps) {
    release();
    if (maxFrames < 1 || maxTaps < 1) return false;
    int order = 1;
    while (order <= kMaxOrder && (1 << order) < maxFrames + maxTaps - 1) ++order;
    if (order > kMaxOrder) return false;
    int specBytes = 0, initBytes = 0, workBytes = 0;
    if (dspsFFTGetSize_R_32f(order, dspFftDivInvByN, 0, &specBytes, &initBytes, &workBytes) != dspStsNoErr)
        return false;
    vxKernelArray<Dsp8u> initMemory;
    if (!specMemory_.allocate(specBytes) || !initMemory.allocate(initBytes) || !audioWork_.allocate(workBytes) ||
        !loaderWork_.allocate(workBytes) ||
        dspsFFTInit_R_32f(&spec_, order, dspFftDivInvByN, 0, specMemory_.data(), initMemory.data()) != dspStsNoErr) {
        release();
        return false;
    }
    length_ = 1 << order;
    maxTaps_ = maxTaps;
    return true;
}

void vxOverlapSave::filterSpectrum(const float* taps, int count, int delay, float* spectrum) {
    dspsZero_32f(spectrum, length_);
    if (count <= 0) return;
    dspsCopy_32f(taps, spectrum + delay, count);
    dspsFFTFwd_RToPerm_32f(spectrum, spectrum, spec_, loaderWork_.data());
}

void vxOverlapSave::slide(float* window, int frames) const {
    std::memmove(window, window + frames, sizeof(float) * static_cast<std::size_t>(length_ - frames));
}

void vxOverlapSave::analyse(const float* window, float* spectrum) {
    dspsFFTFwd_RToPerm_32f(window, spectrum, spec_, audioWork_.data());
}

void vxOverlapSave::accumulate(const float* filter, const float* signal, float* sum, bool first) const {
    // Perm layout: bins 0 and N/2 real, then (Re, Im) of bins 1 .. N/2 - 1.
    if (first) {
        sum[0] = filter[0] * signal[0];
        sum[1] = filter[1] * signal[1];
        for (int k = 2; k < length_; k += 2) {
            sum[k] = filter[k] * signal[k] - filter[k + 1] * signal[k + 1];
            sum[k + 1] = filter[k] * signal[k + 1] + filter[k + 1] * signal[k];
        }
        return;
    }
    sum[0] += filter[0] * signal[0];
    sum[1] += filter[1] * signal[1];
    for (int k = 2; k < length_; k += 2) {
        sum[k] += filter[k] * signal[k] - filter[k + 1] * signal[k + 1];
        sum[k + 1] += filter[k] * signal[k + 1] + filter[k + 1] * signal[k];
    }
}

void vxOverlapSave::synthesise(float* sum, float* out, int frames) {
    dspsFFTInv_PermToR_32f(sum, sum, spec_, audioWork_.data());
    dspsCopy_32f(sum + length_ - frames, out, frames);
}
