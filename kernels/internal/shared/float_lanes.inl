// Memory access shared by the float vector kernels of one processor level:
// the load and store forms that pass loops are instantiated
// with, and single, pair and prefetch access that is safe at any address.
// Included by a family's .inl inside its level namespace (so every level,
// and every family, has its own copy); not include-guarded. The address
// tests come from shared/alignment.h, which the family's .cpp includes.

#if DSP_LEVEL >= 1

struct AlignedLoad {
    static __m128 load(const Dsp32f* p) { return _mm_load_ps(p); }
};
struct UnalignedLoad {
    static __m128 load(const Dsp32f* p) { return _mm_loadu_ps(p); }
};
// The SSE3 load for unaligned data (lddqu); the plain one below SSE3.
struct UnalignedLoadSse3 {
    static __m128 load(const Dsp32f* p) {
        if constexpr (kLevel >= 2) {
            return _mm_castsi128_ps(_mm_lddqu_si128(reinterpret_cast<const __m128i*>(p)));
        } else {
            return _mm_loadu_ps(p);
        }
    }
};

struct AlignedStore {
    static void store(Dsp32f* p, __m128 v) { _mm_store_ps(p, v); }
};
struct UnalignedStore {
    static void store(Dsp32f* p, __m128 v) { _mm_storeu_ps(p, v); }
};
// Non-temporal: the caller issues the store fence after its loop.
struct StreamingStore {
    static void store(Dsp32f* p, __m128 v) { _mm_stream_ps(p, v); }
};

inline __m128 loadSingle(const Dsp32f* p) { return _mm_set_ss(dspLoad<Dsp32f>(p)); }
inline void storeSingle(Dsp32f* p, __m128 v) { dspStore<Dsp32f>(p, _mm_cvtss_f32(v)); }

// Two floats in the low half, the upper half zero.
inline __m128 loadPair(const Dsp32f* p) { return _mm_castsi128_ps(_mm_cvtsi64_si128(dspLoad<long long>(p))); }
inline void storePair(Dsp32f* p, __m128 v) { dspStore<long long>(p, _mm_cvtsi128_si64(_mm_castps_si128(v))); }

// A prefetch never faults, so the address may lie past the end of the data;
// it is formed as an integer, not by pointer arithmetic beyond the array.
inline void prefetchAhead(const void* p, std::uintptr_t bytes) {
    _mm_prefetch(reinterpret_cast<const char*>(addressOf(p) + bytes), _MM_HINT_T0);
}

#endif
