// Calling a kernel under a chosen caller MXCSR, for tests that the kernel's
// results do not depend on it and that it is given back unchanged.
#pragma once

#include "core/fp_env.h"

// Caller states worth trying: the default, each denormal mode and both, the
// other rounding modes, sticky flags already raised, and exceptions unmasked
// (a kernel that computed with them unmasked would trap and end the program).
inline constexpr Dsp32u kCallerMxcsrStates[] = {
    0x1F80,  // default: all masked, round to nearest, no flags
    0x1FC0,  // denormals-are-zero
    0x9F80,  // flush-to-zero
    0x9FC0,  // both
    0x3F80,  // round down
    0x7F80,  // round toward zero
    0x1F91,  // invalid and underflow flags already set
    0x1FBF,  // every sticky flag set
    0x1F00,  // invalid operation unmasked
    0x1000,  // everything unmasked except precision
};

// Loads `state`, runs `call` and reads MXCSR back before anything else can
// touch it; the test's own MXCSR is restored afterwards. Returns the MXCSR the
// caller saw after the call.
template <typename Call>
Dsp32u mxcsrAfterCall(Dsp32u state, Call&& call) {
    const Dsp32u saved = fpGetMxcsr();
    fpLoadMxcsr(state);
    call();
    const Dsp32u after = fpGetMxcsr();
    fpLoadMxcsr(saved);
    return after;
}
