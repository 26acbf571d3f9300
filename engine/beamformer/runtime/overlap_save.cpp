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

namespace {
// sum (+)= filter x signal over the (Re, Im) pairs of n bins; the pointers
// never overlap, which lets the compiler run several bins per instruction.
template <bool kFirst>
void multiplyBins(const float* __restrict filter, const float* __restrict signal, float* __restrict sum, int n) {
    for (int k = 0; k < 2 * n; k += 2) {
        const float re = filter[k] * signal[k] - filter[k + 1] * signal[k + 1];
        const float im = filter[k] * signal[k + 1] + filter[k + 1] * signal[k];
        sum[k] = kFirst ? re : sum[k] + re;
        sum[k + 1] = kFirst ? im : sum[k + 1] + im;
    }
}
}  // namespace

void vxOverlapSave::accumulate(const float* filter, const float* signal, float* sum, bool first) const {
    // Perm layout: bins 0 and N/2 real, then (Re, Im) of bins 1 .. N/2 - 1.
    const float dc = filter[0] * signal[0], nyquist = filter[1] * signal[1];
    sum[0] = first ? dc : sum[0] + dc;
    sum[1] = first ? nyquist : sum[1] + nyquist;
    if (first)
        multiplyBins<true>(filter + 2, signal + 2, sum + 2, length_ / 2 - 1);
    else
        multiplyBins<false>(filter + 2, signal + 2, sum + 2, length_ / 2 - 1);
}

void vxOverlapSave::synthesise(float* sum, float* out, int frames) {
    dspsFFTInv_PermToR_32f(sum, sum, spec_, audioWork_.data());
    dspsCopy_32f(sum + length_ - frames, out, frames);
}
