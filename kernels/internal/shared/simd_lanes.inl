// Lane constants and lane masks shared by the SIMD levels of the logarithm,
// exponential and square-root kernels (memory access is in float_lanes.inl).
// Include inside a level (after simd_level_begin.inc, DSP_LEVEL 1..4), once
// per level; not include-guarded. The including file includes <immintrin.h>
// and <cstdint>.

inline __m128 splat(float v) { return _mm_set1_ps(v); }
inline __m128i splatInt(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }

// True when any bit of the mask is set (SSE4.1 has a single test for it).
inline bool anyLaneSet(__m128i mask) {
    if constexpr (kLevel >= 4) {
        return !_mm_testz_si128(mask, mask);
    } else {
        return _mm_movemask_epi8(mask) != 0;
    }
}

// Per lane: ifSet where the mask lane is all ones, ifClear where it is zero.
inline __m128 select(__m128i mask, __m128 ifSet, __m128 ifClear) {
    const __m128 m = _mm_castsi128_ps(mask);
    return _mm_or_ps(_mm_and_ps(m, ifSet), _mm_andnot_ps(m, ifClear));
}
