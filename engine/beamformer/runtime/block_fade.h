// A beam switched on or off is faded across one block rather than cut: a
// linear gain from silence to full level (or back), which bends a tone's
// slope by no more than 1 / frames of its level per sample.
#pragma once

namespace orvelan::beamformer {

enum class Fade { kIn, kOut };

// Multiplies x in place: sample i of `frames` by (i + 1) / frames fading in,
// by 1 - (i + 1) / frames fading out, so a fade-in ends on full level and a
// fade-out on an exact zero.
void fadeAcrossBlock(float* x, int frames, Fade direction);

}  // namespace orvelan::beamformer
