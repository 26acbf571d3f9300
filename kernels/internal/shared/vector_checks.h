// The argument checks that the vector kernels' variant bodies share: every
// pointer is tested for null first, then the length, before anything is
// written.
#pragma once

#include "dsp.h"

template <class... Pointers>
inline DspStatus checkVectorArgs(int len, const Pointers*... pointers) {
    if (((pointers == nullptr) || ...)) return dspStsNullPtrErr;
    if (len < 1) return dspStsSizeErr;
    return dspStsNoErr;
}
