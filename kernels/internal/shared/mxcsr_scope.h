// The MXCSR the logarithm, exponential and square-root kernels run under.
//
// While a scope is alive every floating-point exception is masked (lanes that
// are computed and then replaced may overflow or be invalid and must never
// trap), denormals are neither read as zero nor flushed (subnormal inputs and
// results have defined values) and rounding is to nearest, which the range
// reductions and the exactly rounded results rely on.
// When the scope ends the caller's MXCSR is loaded back whole: its modes and
// its sticky exception flags are exactly as they were on entry, so the flags
// raised by the kernel's own work disappear and flags the caller had raised
// before the call survive.
//
// Hold the scope in the variant body around a call of a non-inlined kernel, so
// the compiler cannot move the kernel's arithmetic across the MXCSR writes.
#pragma once

#include <xmmintrin.h>

#include "dsp.h"

class KernelMxcsrScope {
public:
    static constexpr Dsp32u kExceptionMasks = 0x1F80u;
    static constexpr Dsp32u kDenormalsAreZero = 0x0040u;
    static constexpr Dsp32u kFlushToZero = 0x8000u;
    static constexpr Dsp32u kRoundingField = 0x6000u;  // 0: round to nearest

    KernelMxcsrScope() : saved_(_mm_getcsr()) {
        const Dsp32u run = (saved_ & ~(kDenormalsAreZero | kFlushToZero | kRoundingField)) | kExceptionMasks;
        if (run != saved_) _mm_setcsr(run);
    }
    // Switches the scope to another rounding (a kRoundingField value) until
    // it ends.
    void setRounding(Dsp32u rounding) {
        const Dsp32u run = _mm_getcsr();
        if ((run & kRoundingField) != rounding) _mm_setcsr((run & ~kRoundingField) | rounding);
    }
    ~KernelMxcsrScope() {
        if (_mm_getcsr() != saved_) _mm_setcsr(saved_);
    }
    KernelMxcsrScope(const KernelMxcsrScope&) = delete;
    KernelMxcsrScope& operator=(const KernelMxcsrScope&) = delete;

private:
    Dsp32u saved_;
};
