// What the vector variants' complex engines share: split blocks (four
// complex values as their four real parts, then their four imaginary
// parts), the butterflies on them and the inverse engines' constant block.
// Included inside a level's namespace by each engine's .inl, so every level
// compiles its own copies and each engine file keeps its own constant block;
// <immintrin.h> and <bit> come from the including .cpp.

// Four complex values as their four real and four imaginary parts.
struct Quad {
    __m128 re, im;
};

inline Quad operator+(Quad a, Quad b) { return {_mm_add_ps(a.re, b.re), _mm_add_ps(a.im, b.im)}; }
inline Quad operator-(Quad a, Quad b) { return {_mm_sub_ps(a.re, b.re), _mm_sub_ps(a.im, b.im)}; }

// -i*a in the forward direction, +i*a in the inverse one. The inverse
// negates by the sign bit, so a butterfly's e + i*d is e.re - d.im exactly,
// signed zeros included.
template <bool Inverse>
Quad rotateQuarter(Quad a) {
    if constexpr (Inverse) {
        return {_mm_xor_ps(a.im, _mm_set1_ps(-0.0f)), a.re};
    } else {
        const __m128 zero = _mm_setzero_ps();
        return {a.im, _mm_sub_ps(zero, a.re)};
    }
}

// Split blocks in a 16-byte-aligned work area (also a table's twiddle quads).
inline Quad loadBlock(const float* p) { return {_mm_load_ps(p), _mm_load_ps(p + 4)}; }
inline void storeBlock(float* p, Quad q) {
    _mm_store_ps(p, q.re);
    _mm_store_ps(p + 4, q.im);
}

// a*w forward, a*conj(w) inverse; the tables hold the forward twiddles.
template <bool Inverse>
Quad twiddle(Quad a, Quad w) {
    if constexpr (Inverse)
        return {_mm_add_ps(_mm_mul_ps(a.re, w.re), _mm_mul_ps(a.im, w.im)),
                _mm_sub_ps(_mm_mul_ps(a.im, w.re), _mm_mul_ps(a.re, w.im))};
    else
        return {_mm_sub_ps(_mm_mul_ps(a.re, w.re), _mm_mul_ps(a.im, w.im)),
                _mm_add_ps(_mm_mul_ps(a.re, w.im), _mm_mul_ps(a.im, w.re))};
}

// Four consecutive interleaved values from anywhere.
inline Quad loadInterleaved(const float* p) {
    const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4);
    return {_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)), _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))};
}
inline void storeInterleaved(float* p, Quad q) {
    _mm_storeu_ps(p, _mm_unpacklo_ps(q.re, q.im));
    _mm_storeu_ps(p + 4, _mm_unpackhi_ps(q.re, q.im));
}

// The four-point DFT of (x0, x1, x2, x3), natural order in and out.
template <bool Inverse>
void dft4(Quad& x0, Quad& x1, Quad& x2, Quad& x3) {
    const Quad a0 = x0 + x2, a1 = x0 - x2, a2 = x1 + x3, a3 = rotateQuarter<Inverse>(x1 - x3);
    x0 = a0 + a2;
    x1 = a1 + a3;
    x2 = a0 - a2;
    x3 = a1 - a3;
}

// One twiddle row of a radix-4 stage: W^k, W^2k, W^3k for four k.
struct TwiddleRow {
    Quad w1, w2, w3;
};
inline TwiddleRow loadRow(const float* row) { return {loadBlock(row), loadBlock(row + 8), loadBlock(row + 16)}; }

// The radix-4 butterfly of four legs at k, k + L, k + 2L, k + 3L, whose
// quarters hold the sub-transforms of the residues 0, 2, 1, 3 (mod 4): so
// the leg at L takes W^2k and the leg at 2L takes W^k. Always inlined: out
// of line its legs would go through memory.
template <bool Inverse>
[[gnu::always_inline]] inline void radix4Butterfly(Quad& a0, Quad& a1, Quad& a2, Quad& a3, const TwiddleRow& w) {
    const Quad b1 = twiddle<Inverse>(a1, w.w2), b2 = twiddle<Inverse>(a2, w.w1), b3 = twiddle<Inverse>(a3, w.w3);
    const Quad sum = a0 + b1, diff = a0 - b1, outer = b2 + b3;
    const Quad inner = rotateQuarter<Inverse>(b2 - b3);
    a0 = sum + outer;
    a1 = diff + inner;
    a2 = sum - outer;
    a3 = diff - inner;
}

// The inverse engines' constant block: cos(k*pi/4) and -sin(k*pi/4) for
// k = 0..3, every +-cos(pi/4) one unit in the last place above the float
// nearest to it (0x3F3504F4); a sign mask of lane 3 and one of lanes 0 and 2.
struct alignas(16) InverseConstants {
    float cosine[4];
    float negSine[4];
    float signLane3[4];
    float signLanes02[4];
};
constexpr float kRootHalf = std::bit_cast<float>(0x3F3504F4u);
constexpr InverseConstants kInverseConstants{{1.0f, kRootHalf, 0.0f, -kRootHalf},
                                             {0.0f, -kRootHalf, -1.0f, -kRootHalf},
                                             {0.0f, 0.0f, 0.0f, -0.0f},
                                             {-0.0f, 0.0f, -0.0f, 0.0f}};

// o*exp(+i*pi*k/4) for k = 0..3, as the products with both constants
// (k = 0 and 2 too).
inline Quad eighthRootInverse(Quad o, int k) {
    const __m128 c = _mm_set1_ps(kInverseConstants.cosine[k]), s = _mm_set1_ps(kInverseConstants.negSine[k]);
    return {_mm_add_ps(_mm_mul_ps(o.re, c), _mm_mul_ps(o.im, s)), _mm_sub_ps(_mm_mul_ps(o.im, c), _mm_mul_ps(o.re, s))};
}
