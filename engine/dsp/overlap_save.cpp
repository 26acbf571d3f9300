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
    audioPerm_.release();
    loaderPerm_.release();
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
        !loaderWork_.allocate(workBytes) || !audioPerm_.allocate(1 << order) || !loaderPerm_.allocate(1 << order) ||
        dspsFFTInit_R_32f(&spec_, order, dspFftDivInvByN, 0, specMemory_.data(), initMemory.data()) != dspStsNoErr) {
        release();
        return false;
    }
    length_ = 1 << order;
    maxTaps_ = maxTaps;
    return true;
}

void vxOverlapSave::filterSpectrum(const float* taps, int count, int delay, float* spectrum) {
    float* perm = loaderPerm_.data();
    dspsZero_32f(perm, length_);
    if (count > 0) {
        dspsCopy_32f(taps, perm + delay, count);
        dspsFFTFwd_RToPerm_32f(perm, perm, spec_, loaderWork_.data());
    }
    splitPerm(perm, spectrum, length_);
}

void vxOverlapSave::slide(float* window, int frames) const {
    std::memmove(window, window + frames, sizeof(float) * static_cast<std::size_t>(length_ - frames));
}

void vxOverlapSave::analyse(const float* window, float* spectrum) {
    dspsFFTFwd_RToPerm_32f(window, audioPerm_.data(), spec_, audioWork_.data());
    splitPerm(audioPerm_.data(), spectrum, length_);
}

void vxOverlapSave::splitPerm(const float* perm, float* split, int length) {
    const int half = length / 2;
    float* re = split;
    float* im = split + half;
    int k = 0;
    for (; k + 4 <= half; k += 4) {
        const __m128 a = _mm_loadu_ps(perm + 2 * k), b = _mm_loadu_ps(perm + 2 * k + 4);
        _mm_storeu_ps(re + k, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(im + k, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    for (; k < half; ++k) {
        re[k] = perm[2 * k];
        im[k] = perm[2 * k + 1];
    }
}

namespace {

constexpr int kMostSums = 2;
// Bins formed together: two SSE registers of real parts, two of imaginary.
constexpr int kStretch = 8;

// Bins at..at+7 of a weighted sum of split spectra: the real parts at `at`,
// the imaginary ones at at + half.
inline void weightedBins(const vxOverlapSave::WeightedSpectra& g, int at, int half, __m128* re, __m128* im) {
    const float* x = g.spectra[0];
    __m128 w = _mm_set1_ps(g.weights[0]);
    re[0] = _mm_mul_ps(_mm_load_ps(x + at), w);
    re[1] = _mm_mul_ps(_mm_load_ps(x + at + 4), w);
    im[0] = _mm_mul_ps(_mm_load_ps(x + half + at), w);
    im[1] = _mm_mul_ps(_mm_load_ps(x + half + at + 4), w);
    for (int i = 1; i < g.count; ++i) {
        x = g.spectra[i];
        w = _mm_set1_ps(g.weights[i]);
        re[0] = _mm_add_ps(re[0], _mm_mul_ps(_mm_load_ps(x + at), w));
        re[1] = _mm_add_ps(re[1], _mm_mul_ps(_mm_load_ps(x + at + 4), w));
        im[0] = _mm_add_ps(im[0], _mm_mul_ps(_mm_load_ps(x + half + at), w));
        im[1] = _mm_add_ps(im[1], _mm_mul_ps(_mm_load_ps(x + half + at + 4), w));
    }
}

// Bins k..k+7 of a job of kSums banks.
template <int kSums>
void accumulateStretch(const vxOverlapSave::Accumulation& job, int k, int half) {
    // Each bank's first product replaces the zeros (none is added to them).
    __m128 re[kSums][2], im[kSums][2];
    for (int b = 0; b < kSums; ++b) re[b][0] = re[b][1] = im[b][0] = im[b][1] = _mm_setzero_ps();
    bool started[kSums] = {};
    for (int j = 0; j < job.count; ++j) {
        __m128 sr[2], si[2];
        weightedBins(job.signals[j], k, half, sr, si);
        for (int b = 0; b < kSums; ++b) {
            const float* f = job.filters[b * job.count + j];
            if (f == nullptr) continue;
            // The filters are this job's alone: fetched ahead for its next
            // stretches while the other jobs run theirs.
            _mm_prefetch(reinterpret_cast<const char*>(f + k + 2 * kStretch), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(f + half + k + 2 * kStretch), _MM_HINT_T0);
            for (int h = 0; h < 2; ++h) {
                const __m128 fr = _mm_load_ps(f + k + 4 * h), fi = _mm_load_ps(f + half + k + 4 * h);
                const __m128 pr = _mm_sub_ps(_mm_mul_ps(fr, sr[h]), _mm_mul_ps(fi, si[h]));
                const __m128 pi = _mm_add_ps(_mm_mul_ps(fr, si[h]), _mm_mul_ps(fi, sr[h]));
                re[b][h] = started[b] ? _mm_add_ps(re[b][h], pr) : pr;
                im[b][h] = started[b] ? _mm_add_ps(im[b][h], pi) : pi;
            }
            started[b] = true;
        }
    }
    for (int b = 0; b < kSums; ++b)
        for (int h = 0; h < 2; ++h) {
            float* out = job.sum[b] + 2 * (k + 4 * h);
            _mm_storeu_ps(out, _mm_unpacklo_ps(re[b][h], im[b][h]));
            _mm_storeu_ps(out + 4, _mm_unpackhi_ps(re[b][h], im[b][h]));
        }
}

// One value of a weighted sum, at index `at` of every spectrum.
inline float weightedValue(const vxOverlapSave::WeightedSpectra& g, int at) {
    float v = g.spectra[0][at] * g.weights[0];
    for (int i = 1; i < g.count; ++i) v += g.spectra[i][at] * g.weights[i];
    return v;
}

// The bins from k on that no stretch took (short transforms), then bins 0
// and N/2, which are real: their products are plain ones.
void accumulateRest(const vxOverlapSave::Accumulation& job, int k, int half) {
    const int count = job.count;
    for (; k < half; ++k)
        for (int b = 0; b < job.sums; ++b) {
            float re = 0.0f, im = 0.0f;
            bool started = false;
            for (int j = 0; j < count; ++j) {
                const float* f = job.filters[b * count + j];
                if (f == nullptr) continue;
                const float sr = weightedValue(job.signals[j], k), si = weightedValue(job.signals[j], half + k);
                const float pr = f[k] * sr - f[half + k] * si, pi = f[k] * si + f[half + k] * sr;
                re = started ? re + pr : pr;
                im = started ? im + pi : pi;
                started = true;
            }
            job.sum[b][2 * k] = re;
            job.sum[b][2 * k + 1] = im;
        }
    for (int b = 0; b < job.sums; ++b)
        for (int at : {0, half}) {
            float total = 0.0f;
            bool started = false;
            for (int j = 0; j < count; ++j) {
                const float* f = job.filters[b * count + j];
                if (f == nullptr) continue;
                const float p = f[at] * weightedValue(job.signals[j], at);
                total = started ? total + p : p;
                started = true;
            }
            job.sum[b][at == 0 ? 0 : 1] = total;
        }
}

}  // namespace

void vxOverlapSave::accumulate(const float* const* filters, int sums, const WeightedSpectra* signals, int count,
                               float* const* sum) const {
    const Accumulation job{filters, sums, signals, count, sum};
    accumulate(&job, 1);
}

void vxOverlapSave::accumulate(const Accumulation* jobs, int jobCount) const {
    const int half = length_ / 2;
    // Stretch by stretch through every job: each signal's bins are formed
    // once, then multiplied into every bank's sum; the sums go out
    // interleaved (Perm).
    int k = 0;
    for (; k + kStretch <= half; k += kStretch)
        for (int i = 0; i < jobCount; ++i) {
            if (jobs[i].sums == 1)
                accumulateStretch<1>(jobs[i], k, half);
            else
                accumulateStretch<kMostSums>(jobs[i], k, half);
        }
    for (int i = 0; i < jobCount; ++i) accumulateRest(jobs[i], k, half);
}

void vxOverlapSave::synthesise(float* sum, float* out, int frames) {
    dspsFFTInv_PermToR_32f(sum, sum, spec_, audioWork_.data());
    dspsCopy_32f(sum + length_ - frames, out, frames);
}
