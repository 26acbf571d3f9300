// Natural logarithm and exponential of float vectors, in five processor
// variants. The kernels themselves are in ln_exp.inl, compiled once per level;
// this file holds what all levels share, the dispatch tables and the entry
// points.
#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "shared/alignment.h"
#include "vector/ln_exp.h"
#include "shared/mxcsr_scope.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

namespace {

constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kPositiveInfinity = 0x7F800000u;
constexpr std::uint32_t kNegativeInfinity = 0xFF800000u;
constexpr std::uint32_t kPositiveQuietNan = 0x7FC00000u;
constexpr std::uint32_t kNegativeQuietNan = 0xFFC00000u;  // the processor's default NaN
constexpr std::uint32_t kQuietBit = 0x00400000u;

// Elements per logarithm kernel call; the entries cut longer vectors into
// blocks of this size, each with the same work area on the entry's stack.
constexpr int kLnBlockLength = 256;

// Logarithm kernel result: the kind of the first special element met (code 0
// until one is met, then never changed within the call).
enum LnCode : int { kLnCodeNone = 0, kLnCodeZero = 2, kLnCodeNegative = 4 };

struct alignas(32) LnWorkArea {
    Dsp32s exponents[kLnBlockLength];
    Dsp32f reduced[kLnBlockLength];  // staged reduced arguments, in place only
};

void noteFirstSpecial(int& code, LnCode kind) {
    if (code == kLnCodeNone) code = kind;
}

// The logarithm of +0.0 and of every sign-bit-set input (-0.0, negatives,
// -inf, NaNs with the sign set), identical in every variant. Returns false
// for any other input.
bool lnOfZeroOrNegative(std::uint32_t bits, float& result, int& code) {
    if (bits == 0) {
        result = std::bit_cast<float>(kNegativeInfinity);
        noteFirstSpecial(code, kLnCodeZero);
        return true;
    }
    if (bits & kSignBit) {
        result = std::bit_cast<float>(kNegativeQuietNan);
        noteFirstSpecial(code, kLnCodeNegative);
        return true;
    }
    return false;
}

DspStatus lnStatus(int code) {
    if (code == kLnCodeNone) return dspStsNoErr;
    return code == kLnCodeZero ? dspStsLnZeroArg : dspStsLnNegArg;
}

// e^x rounded once to single precision; the exact reference the generic
// variant's short path and the SIMD variants' trailing elements both give.
float expRounded(float x) { return static_cast<float>(std::exp(static_cast<double>(x))); }

}  // namespace

#define DSP_FAMILY_INL "ln_exp.inl"
#define DSP_FAMILY_SLOTS DSP_LN_EXP_SLOTS
#include "simd_levels_all.inc"
