#include "dsp/crossfade.h"

#include <algorithm>

bool vxCrossfade::configure(float sampleRate, int timeConstantMs) {
    restart();
    const int length = static_cast<int>(sampleRate) * timeConstantMs * 5 / 1000;
    if (length <= 0) {
        fadeOut_.release();
        fadeIn_.release();
        return length == 0;
    }
    if (!fadeOut_.allocate(length) || !fadeIn_.allocate(length)) {
        fadeOut_.release();
        fadeIn_.release();
        return false;
    }
    // fade-out[i] = exp(-i / (T x rate / 1000)), fade-in = 1 - fade-out.
    dspsVectorRamp_32f(fadeOut_.data(), length, 0.0f, -1.0f);
    dspsDivC_32f_I(static_cast<float>(timeConstantMs) * sampleRate * 0.001f, fadeOut_.data(), length);
    dspsExp_32f_I(fadeOut_.data(), length);
    dspsSubCRev_32f(fadeOut_.data(), 1.0f, fadeIn_.data(), length);
    return true;
}

bool vxCrossfade::mix(const float* current, const float* next, float* out, int frames, int nextTapMax) {
    counter_ += frames;
    if (counter_ <= nextTapMax) {
        if (out != current) dspsCopy_32f(current, out, frames);
        return false;
    }
    // The fade begins where the next bank's history has filled.
    const int start = position_ == 0 ? std::clamp(nextTapMax - counter_ + frames, 0, frames) : 0;
    if (start > 0 && out != current) dspsCopy_32f(current, out, start);
    const int length = fadeOut_.size();
    const int n = std::min(std::min(counter_ - nextTapMax, length) - position_, frames - start);
    if (n > 0) {
        // out = current x fade-out + next x fade-in (out may be current), in
        // one pass rather than a product and a multiply-accumulate.
        const float* fadeOut = fadeOut_.data() + position_;
        const float* fadeIn = fadeIn_.data() + position_;
        const float* c = current + start;
        const float* x = next + start;
        float* y = out + start;
        for (int i = 0; i < n; ++i) y[i] = c[i] * fadeOut[i] + x[i] * fadeIn[i];
        position_ += n;
    }
    const int done = start + std::max(n, 0);
    if (position_ < length) return false;
    if (done < frames) dspsCopy_32f(next + done, out + done, frames - done);
    restart();
    return true;
}
