#include "beamformer/runtime/radial_cascades.h"

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

void vxRadialCascades::process(float* const* channels, int frames) {
    if (sectionCount_ == 0) return;
    for (int i = 0; i < frames; ++i) {
        alignas(16) double x[kLanes];
        for (int l = 0; l < kLanes; ++l) x[l] = channels[l][i];
        for (Section& q : sections_)
            for (int l = 0; l < kLanes; ++l) {
                const double y = q.b0[l] * x[l] + q.d0[l];
                q.d0[l] = q.b1[l] * x[l] - q.a1[l] * y + q.d1[l];
                q.d1[l] = q.b2[l] * x[l] - q.a2[l] * y;
                x[l] = y;
            }
        for (int l = 0; l < kLanes; ++l) channels[l][i] = static_cast<float>(x[l]);
    }
}
