// The SSE kernels of the float-tap IIR filters, compiled once per processor
// level by iir32f_kernels.cpp. n3 and n4 add the block's work values as a
// whole quad (form A), n1 and n2 through the diagonal of the input rows and
// the last value alone (form B): each form matches the rows its level's taps
// routine writes.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n1 .. dsp_n4.

#if DSP_LEVEL >= 1

namespace {

constexpr bool kFormA = kLevel >= 3;

// Four floats at any address.
inline __m128 loadQuad(const Dsp32f* p) { return dspLoad<__m128>(p); }
inline void storeQuad(Dsp32f* p, __m128 v) { dspStore<__m128>(p, v); }
inline __m128 splat(Dsp32f v) { return _mm_set1_ps(v); }
inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }

// Four numerator outputs x[i..i+3]: b_k times the inputs k places back.
inline __m128 numeratorProduct(const Dsp32f* pSrc, const Dsp32f* pTapsQuad, int order, int i, int k) {
    return mul(_mm_load_ps(pTapsQuad + 4 * k), loadQuad(pSrc + i + order - k));
}

// Four outputs of orders 1 to 3, in the association every path keeps.
inline __m128 numeratorLowOrder(const Dsp32f* x, const Dsp32f* q, int order, int i) {
    const auto p = [&](int k) { return numeratorProduct(x, q, order, i, k); };
    if (order == 1) return add(p(1), p(0));
    if (order == 2) return add(add(p(2), p(1)), p(0));
    return add(add(p(3), p(2)), add(p(0), p(1)));
}

// Four outputs of order 4 and more, output-stationary: the taps four at a
// time from b_N down, each group summed as (p0 + p1) + (p3 + p2), then the
// one to three taps left.
inline __m128 numeratorHighOrder(const Dsp32f* x, const Dsp32f* q, int order, int i) {
    const auto p = [&](int k) { return numeratorProduct(x, q, order, i, k); };
    __m128 acc = _mm_setzero_ps();
    int k = order;
    for (; k >= 3; k -= 4) acc = add(acc, add(add(p(k), p(k - 1)), add(p(k - 3), p(k - 2))));
    if (k == 2) acc = add(add(acc, p(0)), add(p(2), p(1)));
    if (k == 1) acc = add(acc, add(p(1), p(0)));
    if (k == 0) acc = add(acc, p(0));
    return acc;
}

// The weights of a row m (1..N) or input row j (0..2) of the look-ahead table.
inline __m128 pastRow(const Dsp32f* rows, int m) { return _mm_load_ps(rows + 4 * (m - 1)); }
inline __m128 inputRow(const Dsp32f* rows, int order, int j) { return _mm_load_ps(rows + 4 * (order + j)); }

}  // namespace

// Sections in transposed direct form II from their step taps b0, b1, b2, 0,
// c1, c2 (c = -a).
void iirOneBiquad32f(Dsp32f x, Dsp32f* pDst, DspsIIRState_32f* pState) {
    Dsp32f v = x;
    for (int s = 0; s < pState->numBq; ++s) {
        const Dsp32f* t = pState->pBqStepTaps + 8 * s;
        Dsp32f* d = pState->pDlyLine + 2 * s;
        const Dsp32f y = t[0] * v + d[0];
        d[0] = (t[1] * v + d[1]) + t[4] * y;
        d[1] = t[2] * v + t[5] * y;
        v = y;
    }
    dspStore<Dsp32f>(pDst, v);
}

// One direct-form-I section: the delay values x[n-2], x[n-1], y[n-2],
// y[n-1] stay broadcast in registers; single steps until the output lies on
// a 16-byte boundary, then four outputs per step from the state at the
// step's start and its four inputs, then single steps for the rest.
void iirBiquadSectionBlock32f(const Dsp32f* pSrc, Dsp32f* pDst, int len, const Dsp32f* R, Dsp32f* pDly) {
    const auto row = [R](int r) { return _mm_load_ps(R + 4 * r); };
    const __m128 r0 = row(0), r1 = row(1), r2 = row(2), r3 = row(3), r4 = row(4), r5 = row(5), r6 = row(6),
                 r7 = row(7);
    __m128 d0 = splat(pDly[0]), d1 = splat(pDly[1]), d2 = splat(pDly[2]), d3 = splat(pDly[3]);
    int i = 0;
    const auto step = [&] {
        const Dsp32f x = dspLoad<Dsp32f>(pSrc + i);
        const __m128 xs = splat(x);
        const __m128 y = add(add(add(add(mul(d0, r0), mul(d1, r1)), mul(d2, r6)), mul(d3, r7)), mul(xs, r2));
        const __m128 yLane0 = _mm_shuffle_ps(y, y, 0);
        dspStore<Dsp32f>(pDst + i, _mm_cvtss_f32(y));
        d0 = d1;
        d1 = xs;
        d2 = d3;
        d3 = yLane0;
        ++i;
    };
    while (i < len && (addressOf(pDst + i) & 12) != 0) step();
    for (; i + 4 <= len; i += 4) {
        const __m128 x = loadQuad(pSrc + i);
        const __m128 x0 = _mm_shuffle_ps(x, x, 0x00), x1 = _mm_shuffle_ps(x, x, 0x55);
        const __m128 x2 = _mm_shuffle_ps(x, x, 0xAA), x3 = _mm_shuffle_ps(x, x, 0xFF);
        const __m128 y = add(add(add(add(add(mul(d0, r0), mul(d1, r1)), mul(d2, r6)), mul(d3, r7)),
                                 add(mul(x0, r2), mul(x1, r3))),
                             add(mul(x2, r4), mul(x3, r5)));
        storeQuad(pDst + i, y);
        d0 = x2;
        d1 = x3;
        d2 = _mm_shuffle_ps(y, y, 0xAA);
        d3 = _mm_shuffle_ps(y, y, 0xFF);
    }
    while (i < len) step();
    pDly[0] = _mm_cvtss_f32(d0);
    pDly[1] = _mm_cvtss_f32(d1);
    pDly[2] = _mm_cvtss_f32(d2);
    pDly[3] = _mm_cvtss_f32(d3);
}

void iirOne32f(Dsp32f x, Dsp32f* pDst, DspsIIRState_32f* pState) {
    const int order = pState->dlyLineLen;
    const Dsp32f* b = pState->pTaps;
    const Dsp32f* a = pState->pTaps + order;  // a[1..N]
    Dsp32f* d = pState->pDlyLine;             // d[N] is zero
    const Dsp32f y = b[0] * x + d[0];
    for (int j = 0; j < order; ++j) d[j] = (b[j + 1] * x - a[j + 1] * y) + d[j + 1];
    dspStore<Dsp32f>(pDst, y);
}

void iirBlockNumerator32f(const Dsp32f* pSrc, Dsp32f* pWork, int len, const Dsp32f* pTapsQuad, int order) {
    int i = 0;
    for (; i + 4 <= len; i += 4) {
        const __m128 v = order <= 3 ? numeratorLowOrder(pSrc, pTapsQuad, order, i)
                                    : numeratorHighOrder(pSrc, pTapsQuad, order, i);
        _mm_store_ps(pWork + i, v);
    }
    for (; i < len; ++i) {
        const auto x = [&](int k) { return dspLoad<Dsp32f>(pSrc + i + order - k); };
        const auto b = [&](int k) { return pTapsQuad[4 * k]; };
        if (order == 1) {
            pWork[i] = b(1) * x(1) + b(0) * x(0);
        } else if (order == 2) {
            pWork[i] = (b(2) * x(2) + b(1) * x(1)) + b(0) * x(0);
        } else if (order == 3) {
            pWork[i] = (b(3) * x(3) + b(2) * x(2)) + (b(0) * x(0) + b(1) * x(1));
        } else {
            Dsp32f s = 0.0f;
            for (int k = order; k >= 0; --k) s = s + b(k) * x(k);
            pWork[i] = s;
        }
    }
}

void iirBlockRecursion32f(const Dsp32f* pWork, Dsp32f* pDst, int len, const Dsp32f* rows, int order) {
    const int N = order;
    int i = 0;
    for (; i + 4 <= len; i += 4) {
        Dsp32f* out = pDst + N + i;  // y[t] .. y[t+3]
        const auto Py = [&](int m) { return mul(pastRow(rows, m), splat(dspLoad<Dsp32f>(out - m))); };
        const __m128 u = _mm_load_ps(pWork + i);
        const auto Wu = [&](int j) { return mul(inputRow(rows, N, j), splat(pWork[i + j])); };
        const __m128 U = kFormA ? u : _mm_and_ps(u, _mm_castsi128_ps(_mm_set_epi32(-1, 0, 0, 0)));
        __m128 y;
        if (N == 1) {
            y = add(add(Py(1), Wu(0)), add(add(Wu(1), Wu(2)), U));
        } else if (N == 2) {
            y = add(add(Py(2), Py(1)), add(add(Wu(0), Wu(1)), add(Wu(2), U)));
        } else if (N == 3) {
            y = add(add(add(Py(3), Py(2)), U), add(add(Py(1), Wu(0)), add(Wu(1), Wu(2))));
        } else if (N == 4) {
            y = add(add(add(Py(4), Py(3)), add(Py(2), Py(1))), add(add(Wu(0), Wu(1)), add(Wu(2), U)));
        } else {
            // Whole groups of four past outputs, oldest first; the newest one
            // to four go in with the input terms.
            const int last = (N - 1) % 4 + 1;
            __m128 acc = _mm_setzero_ps();
            for (int m = N; m > last; m -= 4) acc = add(acc, add(add(Py(m), Py(m - 1)), add(Py(m - 2), Py(m - 3))));
            if (last == 4) {
                y = add(acc, add(add(add(Py(4), Py(3)), add(Py(2), Py(1))), add(add(Wu(0), Wu(1)), add(Wu(2), U))));
            } else if (last == 3) {
                y = add(add(acc, U), add(add(Wu(1), Wu(2)), add(add(Py(3), Py(2)), add(Py(1), Wu(0)))));
            } else if (last == 2) {
                y = add(acc, add(add(Py(2), Py(1)), add(add(Wu(0), Wu(1)), add(Wu(2), U))));
            } else {
                y = add(acc, add(add(add(Py(1), Wu(0)), U), add(Wu(1), Wu(2))));
            }
        }
        storeQuad(out, y);
    }
    // The outputs after the last whole step: lane 0 of each row is c_m.
    for (; i < len; ++i) {
        Dsp32f* out = pDst + N + i;
        const auto cy = [&](int m) { return rows[4 * (m - 1)] * dspLoad<Dsp32f>(out - m); };
        const Dsp32f u = pWork[i];
        Dsp32f y;
        if (N == 1) {
            y = cy(1) + u;
        } else if (N == 2) {
            y = cy(1) + (u + cy(2));
        } else if (N == 3) {
            y = (cy(1) + cy(2)) + (u + cy(3));
        } else if (N == 4) {
            y = (cy(1) + cy(2)) + ((cy(3) + cy(4)) + u);
        } else {
            Dsp32f s = 0.0f;
            for (int m = N; m >= 1; --m) s = s + cy(m);
            y = s + u;
        }
        dspStore<Dsp32f>(out, y);
    }
}

#endif

#include "simd_level_end.inc"
