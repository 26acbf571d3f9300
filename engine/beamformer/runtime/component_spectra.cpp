#include "beamformer/runtime/component_spectra.h"

void vxComponentSpectra::release() {
    convolution_.release();
    components_ = 0;
    analysed_ = offered_ = false;
    for (int k = 0; k < kMaxComponents; ++k) {
        windows_[k].release();
        spectra_[k].release();
        windowPointers_[k] = spectrumPointers_[k] = nullptr;
    }
}

bool vxComponentSpectra::configure(int components, int maxFrames, int maxTaps) {
    release();
    if (components < 1 || components > kMaxComponents || !convolution_.configure(maxFrames, maxTaps)) return false;
    const int n = convolution_.length();
    for (int k = 0; k < components; ++k) {
        if (!windows_[k].allocate(n) || !spectra_[k].allocate(n)) {
            release();
            return false;
        }
        windowPointers_[k] = windows_[k].data();
        spectrumPointers_[k] = spectra_[k].data();
    }
    components_ = components;
    return true;
}

void vxComponentSpectra::push(const float* const* components, int frames, bool offerSpectra) {
    for (int k = 0; k < components_; ++k) {
        float* window = windows_[k].data();
        convolution_.slide(window, frames);
        dspsCopy_32f(components[k], convolution_.newSamples(window, frames), frames);
    }
    analysed_ = false;
    offered_ = offerSpectra;
}

const float* const* vxComponentSpectra::spectra() {
    if (!analysed_)
        for (int k = 0; k < components_; ++k) convolution_.analyse(windows_[k].data(), spectra_[k].data());
    analysed_ = true;
    return spectrumPointers_;
}

void vxComponentSpectra::clear() {
    for (int k = 0; k < components_; ++k) dspsZero_32f(windows_[k].data(), windows_[k].size());
    analysed_ = offered_ = false;
}
