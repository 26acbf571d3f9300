#include "framework/finite_samples.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace {

// A float is not finite when its exponent bits are all set.
constexpr std::uint32_t kExponent = 0x7f800000u;

}  // namespace

void vxZeroNonFinite(float* samples, int n) {
    // Four samples at a time as integers: a compare of the exponent gives
    // a mask that clears the non-finite lanes; no floating-point operation
    // runs, so no exception flag is raised either.
    const __m128i exponent = _mm_set1_epi32(static_cast<int>(kExponent));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        auto* p = reinterpret_cast<__m128i*>(samples + i);
        const __m128i v = _mm_loadu_si128(p);
        const __m128i bad = _mm_cmpeq_epi32(_mm_and_si128(v, exponent), exponent);
        _mm_storeu_si128(p, _mm_andnot_si128(bad, v));
    }
    for (; i < n; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, samples + i, sizeof bits);
        bits &= (bits & kExponent) == kExponent ? 0u : ~0u;
        std::memcpy(samples + i, &bits, sizeof bits);
    }
}
