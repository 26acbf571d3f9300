#include "dsp/overlap_save.h"

#include <emmintrin.h>

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
// One complex bin pair (re, im) of filter x signal, as two floats of an SSE
// register: re = fr sr - fi si, im = fr si + fi sr, each term rounded as the
// plain expression rounds it.
inline __m128 multiplyPairs(__m128 f, __m128 s) {
    const __m128 negateRe = _mm_castsi128_ps(_mm_set_epi32(0, int(0x80000000u), 0, int(0x80000000u)));
    const __m128 fr = _mm_shuffle_ps(f, f, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 fi = _mm_shuffle_ps(f, f, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128 swapped = _mm_shuffle_ps(s, s, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_add_ps(_mm_mul_ps(fr, s), _mm_xor_ps(_mm_mul_ps(fi, swapped), negateRe));
}
}  // namespace

void vxOverlapSave::accumulate(const float* const* filters, const float* const* signals, int count,
                               float* sum) const {
    // Perm layout: bins 0 and N/2 real, then (Re, Im) of bins 1 .. N/2 - 1.
    // Each stretch of bins is summed over every filter in registers and
    // stored once.
    for (int k = 0; k < 2; ++k) {
        float total = filters[0][k] * signals[0][k];
        for (int j = 1; j < count; ++j) total += filters[j][k] * signals[j][k];
        sum[k] = total;
    }
    int k = 2;
    for (; k + 8 <= length_; k += 8) {
        __m128 a = multiplyPairs(_mm_loadu_ps(filters[0] + k), _mm_loadu_ps(signals[0] + k));
        __m128 b = multiplyPairs(_mm_loadu_ps(filters[0] + k + 4), _mm_loadu_ps(signals[0] + k + 4));
        for (int j = 1; j < count; ++j) {
            a = _mm_add_ps(a, multiplyPairs(_mm_loadu_ps(filters[j] + k), _mm_loadu_ps(signals[j] + k)));
            b = _mm_add_ps(b, multiplyPairs(_mm_loadu_ps(filters[j] + k + 4), _mm_loadu_ps(signals[j] + k + 4)));
        }
        _mm_storeu_ps(sum + k, a);
        _mm_storeu_ps(sum + k + 4, b);
    }
    for (; k < length_; k += 2) {
        auto product = [&](int j, bool imaginary) {
            const float* f = filters[j] + k;
            const float* x = signals[j] + k;
            return imaginary ? f[0] * x[1] + f[1] * x[0] : f[0] * x[0] - f[1] * x[1];
        };
        float re = product(0, false), im = product(0, true);
        for (int j = 1; j < count; ++j) {
            re += product(j, false);
            im += product(j, true);
        }
        sum[k] = re;
        sum[k + 1] = im;
    }
}

void vxOverlapSave::synthesise(float* sum, float* out, int frames) {
    dspsFFTInv_PermToR_32f(sum, sum, spec_, audioWork_.data());
    dspsCopy_32f(sum + length_ - frames, out, frames);
}
