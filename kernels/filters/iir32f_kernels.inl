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
