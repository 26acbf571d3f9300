#include "beamformer/runtime/block_fade.h"

namespace orvelan::beamformer {

void fadeAcrossBlock(float* x, int frames, Fade direction) {
    // A division per sample keeps both ends exact; it runs once a switch.
    const float n = static_cast<float>(frames);
    if (direction == Fade::kIn)
        for (int i = 0; i < frames; ++i) x[i] *= static_cast<float>(i + 1) / n;
    else
        for (int i = 0; i < frames; ++i) x[i] *= static_cast<float>(frames - 1 - i) / n;
}

}  // namespace orvelan::beamformer
