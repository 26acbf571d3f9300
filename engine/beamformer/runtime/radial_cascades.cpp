#include "beamformer/runtime/radial_cascades.h"

#include <emmintrin.h>

#include <algorithm>

namespace {

constexpr int kTapsPerSection = 6;

bool cascadeUsable(const double* sections, int count) {
    if (sections == nullptr || count < 1) return false;
    for (int s = 0; s < count; ++s) {
        const double* taps = sections + kTapsPerSection * s;
        if (taps[0] == 0.0 || taps[3] == 0.0) return false;
    }
    return true;
}

}  // namespace

void vxRadialCascades::release() {
    sections_.release();
    sectionCount_ = 0;
    std::fill(std::begin(pairSections_), std::end(pairSections_), 0);
}

bool vxRadialCascades::load(const double* const* sections, const int* counts) {
    release();
    bool usable[kLanes];
    int longest = 0;
    for (int l = 0; l < kLanes; ++l) {
        usable[l] = cascadeUsable(sections[l], counts[l]);
        if (usable[l]) longest = std::max(longest, counts[l]);
    }
    if (longest == 0) return true;
    if (!sections_.allocate(longest)) return false;
    sectionCount_ = longest;
    for (int p = 0; p < kPairs; ++p) {
        pairSections_[p] = 0;
        for (int l = 2 * p; l < 2 * p + 2; ++l)
            if (usable[l]) pairSections_[p] = std::max(pairSections_[p], counts[l]);
    }
    for (int s = 0; s < longest; ++s) {
        Section& q = sections_[s];
        for (int l = 0; l < kLanes; ++l) {
            if (!usable[l] || s >= counts[l]) {
                q.b0[l] = 1.0;
                q.b1[l] = q.b2[l] = q.a1[l] = q.a2[l] = 0.0;
                continue;
            }
            const double* taps = sections[l] + kTapsPerSection * s;
            const double c = 1.0 / taps[3];
            q.b0[l] = taps[0] * c;
            q.b1[l] = taps[1] * c;
            q.b2[l] = taps[2] * c;
            q.a1[l] = taps[4] * c;
            q.a2[l] = taps[5] * c;
        }
    }
    reset();
    return true;
}

void vxRadialCascades::reset() {
    for (Section& q : sections_) {
        std::fill(std::begin(q.d0), std::end(q.d0), 0.0);
        std::fill(std::begin(q.d1), std::end(q.d1), 0.0);
    }
}

namespace {

// kPairs pairs of lanes from lane l on, kSections sections each, through
// `frames` samples. Two pairs side by side fill the time a section's
// recursion waits on its last output.
template <int kPairs, int kSections>
struct PairRun {
    template <class Section>
    static void run(Section* sections, int l, float* const* lanes, int frames) {
        __m128d d0[kPairs][kSections], d1[kPairs][kSections];
        for (int p = 0; p < kPairs; ++p)
            for (int s = 0; s < kSections; ++s) {
                d0[p][s] = _mm_load_pd(sections[s].d0 + l + 2 * p);
                d1[p][s] = _mm_load_pd(sections[s].d1 + l + 2 * p);
            }
        for (int i = 0; i < frames; ++i) {
            __m128d x[kPairs];
            for (int p = 0; p < kPairs; ++p)
                x[p] = _mm_set_pd(static_cast<double>(lanes[2 * p + 1][i]), static_cast<double>(lanes[2 * p][i]));
            for (int s = 0; s < kSections; ++s) {
                const Section& q = sections[s];
                for (int p = 0; p < kPairs; ++p) {
                    const int at = l + 2 * p;
                    const __m128d y = _mm_add_pd(_mm_mul_pd(_mm_load_pd(q.b0 + at), x[p]), d0[p][s]);
                    d0[p][s] = _mm_add_pd(
                        _mm_sub_pd(_mm_mul_pd(_mm_load_pd(q.b1 + at), x[p]), _mm_mul_pd(_mm_load_pd(q.a1 + at), y)),
                        d1[p][s]);
                    d1[p][s] =
                        _mm_sub_pd(_mm_mul_pd(_mm_load_pd(q.b2 + at), x[p]), _mm_mul_pd(_mm_load_pd(q.a2 + at), y));
                    x[p] = y;
                }
            }
            for (int p = 0; p < kPairs; ++p) {
                lanes[2 * p][i] = static_cast<float>(_mm_cvtsd_f64(x[p]));
                lanes[2 * p + 1][i] = static_cast<float>(_mm_cvtsd_f64(_mm_unpackhi_pd(x[p], x[p])));
            }
        }
        for (int p = 0; p < kPairs; ++p)
            for (int s = 0; s < kSections; ++s) {
                _mm_store_pd(sections[s].d0 + l + 2 * p, d0[p][s]);
                _mm_store_pd(sections[s].d1 + l + 2 * p, d1[p][s]);
            }
    }
};

}  // namespace

void vxRadialCascades::process(float* const* channels, int frames) {
    if (sectionCount_ == 0) return;
    int p = 0;
    while (p < kPairs) {
        // Two neighbouring pairs of the same length run together.
        const int together = p + 1 < kPairs && pairSections_[p + 1] == pairSections_[p] ? 2 : 1;
        const int l = 2 * p;
        float* const* lanes = channels + l;
        // Longer cascades than the mode-0 set's run four sections at a time.
        for (int done = 0, left = pairSections_[p]; left > 0;) {
            const int n = std::min(left, 4);
            Section* q = sections_.data() + done;
            if (together == 2) {
                switch (n) {
                    case 1: PairRun<2, 1>::run(q, l, lanes, frames); break;
                    case 2: PairRun<2, 2>::run(q, l, lanes, frames); break;
                    case 3: PairRun<2, 3>::run(q, l, lanes, frames); break;
                    default: PairRun<2, 4>::run(q, l, lanes, frames); break;
                }
            } else {
                switch (n) {
                    case 1: PairRun<1, 1>::run(q, l, lanes, frames); break;
                    case 2: PairRun<1, 2>::run(q, l, lanes, frames); break;
                    case 3: PairRun<1, 3>::run(q, l, lanes, frames); break;
                    default: PairRun<1, 4>::run(q, l, lanes, frames); break;
                }
            }
            done += n;
            left -= n;
        }
        p += together;
    }
}
