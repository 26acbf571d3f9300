// MXCSR and x87 control/status helpers carried with start-up. The kernels
// that change the floating-point environment save and restore it themselves;
// these routines exist for diagnostics and tests.
#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

#include "core/fp_env.h"

namespace {

constexpr Dsp32u kMxcsrDefault = 0x1F80u;
constexpr Dsp32u kMxcsrRoundingField = 0x6000u;

// x87 control word fields.
constexpr Dsp32u kX87PrecisionField = 0x0300u;
constexpr Dsp32u kX87RoundingField = 0x0C00u;
constexpr Dsp32u kX87InfinityControl = 0x1000u;

// The portable control/status format: exception bits, rounding, precision.
constexpr Dsp32u kPortInvalid = 0x10u, kPortZeroDivide = 0x8u, kPortOverflow = 0x4u,
                 kPortUnderflow = 0x2u, kPortInexact = 0x1u, kPortDenormal = 0x80000u;
constexpr Dsp32u kPortRoundDown = 0x100u, kPortRoundUp = 0x200u, kPortRoundChop = 0x300u;
constexpr Dsp32u kPortPrecision53 = 0x10000u, kPortPrecision24 = 0x20000u;
constexpr Dsp32u kPortInfinity = 0x40000u;

// x87 exception bits (control-word masks and status flags share positions).
struct ExceptionBit {
    Dsp32u x87;
    Dsp32u portable;
};
constexpr ExceptionBit kExceptionBits[] = {
    {0x01u, kPortInvalid}, {0x02u, kPortDenormal}, {0x04u, kPortZeroDivide},
    {0x08u, kPortOverflow}, {0x10u, kPortUnderflow}, {0x20u, kPortInexact},
};

Dsp32u exceptionsToPortable(Dsp32u x87) {
    Dsp32u p = 0;
    for (const ExceptionBit& e : kExceptionBits)
        if (x87 & e.x87) p |= e.portable;
    return p;
}

Dsp32u exceptionsToX87(Dsp32u portable) {
    Dsp32u x = 0;
    for (const ExceptionBit& e : kExceptionBits)
        if (portable & e.portable) x |= e.x87;
    return x;
}

Dsp32u controlToPortable(Dsp32u cw) {
    Dsp32u p = exceptionsToPortable(cw & 0x3Fu);
    switch (cw & kX87RoundingField) {
        case 0x0400u: p |= kPortRoundDown; break;
        case 0x0800u: p |= kPortRoundUp; break;
        case 0x0C00u: p |= kPortRoundChop; break;
        default: break;
    }
    switch (cw & kX87PrecisionField) {
        case 0x0000u: p |= kPortPrecision24; break;
        case 0x0200u: p |= kPortPrecision53; break;
        default: break;  // 64-bit (and the reserved code) read as 64-bit
    }
    if (cw & kX87InfinityControl) p |= kPortInfinity;
    return p;
}

Dsp32u portableToControl(Dsp32u p, Dsp32u oldCw) {
    Dsp32u cw = oldCw & ~(0x3Fu | kX87RoundingField | kX87PrecisionField | kX87InfinityControl);
    cw |= exceptionsToX87(p);
    switch (p & kPortRoundChop) {
        case kPortRoundDown: cw |= 0x0400u; break;
        case kPortRoundUp: cw |= 0x0800u; break;
        case kPortRoundChop: cw |= 0x0C00u; break;
        default: break;
    }
    switch (p & (kPortPrecision53 | kPortPrecision24)) {
        case kPortPrecision24: cw |= 0x0000u; break;
        case kPortPrecision53: cw |= 0x0200u; break;
        default: cw |= 0x0300u; break;
    }
    if (p & kPortInfinity) cw |= kX87InfinityControl;
    return cw;
}

}  // namespace

Dsp32u fpGetMxcsr() { return _mm_getcsr(); }

void fpLoadMxcsr(Dsp32u value) { _mm_setcsr(value); }

Dsp32u fpResetMxcsr() {
    const Dsp32u old = fpGetMxcsr();
    fpLoadMxcsr(kMxcsrDefault);
    return old;
}

Dsp32u fpSetMxcsrBits(Dsp32u value, Dsp32u mask) {
    const Dsp32u old = fpGetMxcsr();
    fpLoadMxcsr((old & ~mask) | (value & mask));
    return old;
}

Dsp32u fpSetMxcsrRounding(Dsp32u value) {
    const Dsp32u old = fpGetMxcsr();
    if ((old & kMxcsrRoundingField) != value) fpLoadMxcsr((old & ~kMxcsrRoundingField) | value);
    return old;
}

Dsp32u fpGetX87Control() {
    std::uint16_t cw = 0;
    asm volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

void fpLoadX87Control(Dsp32u value) {
    const std::uint16_t cw = static_cast<std::uint16_t>(value);
    asm volatile("fldcw %0" : : "m"(cw));
}

Dsp32u fpSetX87ControlBits(Dsp32u value, Dsp32u mask) {
    const Dsp32u old = fpGetX87Control();
    fpLoadX87Control((old & ~mask) | (value & mask));
    return old;
}

Dsp32u fpSetX87ControlIfChanged(Dsp32u value, Dsp32u mask) {
    const Dsp32u old = fpGetX87Control();
    if ((old & mask) != value) fpLoadX87Control((old & ~mask) | value);
    return old;
}

Dsp32u fpGetX87Status() {
    std::uint16_t sw = 0;
    asm volatile("fnstsw %0" : "=m"(sw));
    return sw;
}

Dsp32u fpGetClearX87Status() {
    const Dsp32u sw = fpGetX87Status();
    asm volatile("fnclex");
    return sw;
}

Dsp32u fpControlX87Portable(Dsp32u value, Dsp32u mask) {
    const Dsp32u oldCw = fpGetX87Control();
    const Dsp32u portable = (controlToPortable(oldCw) & ~mask) | (value & mask);
    fpLoadX87Control(portableToControl(portable, oldCw));
    return controlToPortable(fpGetX87Control());
}

Dsp32u fpStatusX87Portable() { return exceptionsToPortable(fpGetX87Status() & 0x3Fu); }

Dsp32u fpClearX87Portable() { return exceptionsToPortable(fpGetClearX87Status() & 0x3Fu); }

int fpIsNan(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return ((bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull && (bits & 0x000FFFFFFFFFFFFFull) != 0) ? 1 : 0;
}

int fpIsFinite(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits & 0x7FF0000000000000ull) == 0x7FF0000000000000ull ? 0 : 1;
}
