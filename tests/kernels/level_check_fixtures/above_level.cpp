// An SSE2 body that uses an SSE3 instruction: the level check must reject it.
#include <pmmintrin.h>

extern "C" int n0_fixtureSum(int x) { return x; }
extern "C" __attribute__((target("sse3"))) float n1_fixtureSum(const float* p) {
    const __m128 v = _mm_loadu_ps(p);
    return _mm_cvtss_f32(_mm_hadd_ps(v, v));
}
extern "C" int n2_fixtureSum(int x) { return x; }
extern "C" int n3_fixtureSum(int x) { return x; }
extern "C" int n4_fixtureSum(int x) { return x; }
