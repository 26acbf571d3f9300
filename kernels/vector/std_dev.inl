// One processor level of the standard deviation (see std_dev.cpp). The
// source need not be aligned to its element size.
#include "simd_level_begin.inc"
#include "shared/float_lanes.inl"

// Element i in double; the byte offset is formed in 64 bits (4 * i overflows
// an int from 2^29 elements on).
inline double elementAt(const unsigned char* src, int i) {
    return dspLoad<Dsp32f>(src + sizeof(Dsp32f) * static_cast<std::size_t>(i));
}

// Groups of four with two pairs of partial sums (elements 0 and 2 of a group
// into one, 1 and 3 into the other), then the last 0..3 elements singly.
inline StdDevSums sumInDouble(const unsigned char* src, int len) {
    StdDevSums even, odd;
    int i = 0;
    for (; i <= len - 4; i += 4) {
        even.add(elementAt(src, i));
        odd.add(elementAt(src, i + 1));
        even.add(elementAt(src, i + 2));
        odd.add(elementAt(src, i + 3));
    }
    StdDevSums sums{even.values + odd.values, even.squares + odd.squares};
    for (; i < len; ++i) sums.add(elementAt(src, i));
    return sums;
}

#if DSP_LEVEL >= 1

// Lane sums of values and of squares in single precision.
struct LaneSums {
    __m128 values = _mm_setzero_ps();
    __m128 squares = _mm_setzero_ps();

    void add(__m128 v) {
        values = _mm_add_ps(values, v);
        squares = _mm_add_ps(squares, _mm_mul_ps(v, v));
    }
};

// (l0 + l2) + (l1 + l3), in single precision.
inline float reduceLanes(__m128 lanes) {
    const __m128 pairs = _mm_add_ps(lanes, _mm_movehl_ps(lanes, lanes));
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
}

constexpr int kFastChunk = 1024;

// Adds the len elements at src to `totals` through single-precision lanes,
// reduced into the double totals after every chunk of kFastChunk elements.
template <class Load>
void sumInLanes(const Dsp32f* src, int len, StdDevSums& totals) {
    while (len > 0) {
        int left = len < kFastChunk ? len : kFastChunk;
        len -= left;
        LaneSums lanes;
        for (; left >= 16; left -= 16, src += 16) {
            prefetchAhead(src, 128);
            prefetchAhead(src, 160);
            const __m128 v1 = Load::load(src), v2 = Load::load(src + 4);
            const __m128 v3 = Load::load(src + 8), v4 = Load::load(src + 12);
            lanes.values = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(lanes.values, v1), v2), v3), v4);
            lanes.squares = _mm_add_ps(lanes.squares, _mm_add_ps(_mm_mul_ps(v1, v1), _mm_mul_ps(v2, v2)));
            lanes.squares = _mm_add_ps(lanes.squares, _mm_add_ps(_mm_mul_ps(v3, v3), _mm_mul_ps(v4, v4)));
        }
        for (; left >= 4; left -= 4, src += 4) lanes.add(Load::load(src));
        if (left >= 2) {
            lanes.add(loadPair(src));
            left -= 2;
            src += 2;
        }
        if (left == 1) {
            lanes.add(loadSingle(src));
            src += 1;
        }
        totals.values += reduceLanes(lanes.values);
        totals.squares += reduceLanes(lanes.squares);
    }
}

// The result from the finished sums, as the SSE kernels guard it: the
// quotient's sign bit set (negative, -0, or a NaN such as the default NaN of
// inf - inf) gives +0; anything else, a NaN with a clear sign bit included,
// goes to the square root.
inline void storeDeviation(const StdDevSums& sums, int len, Dsp32f* pStdDev) {
    const double variance = scaledVariance(sums, len) / varianceDivisor(len);
    const Dsp32f result = std::signbit(variance) ? 0.0f : static_cast<Dsp32f>(std::sqrt(variance));
    dspStore<Dsp32f>(pStdDev, result);
}

void stdDevKernel(const Dsp32f* pSrc, int len, Dsp32f* pStdDev) {
    storeDeviation(sumInDouble(reinterpret_cast<const unsigned char*>(pSrc), len), len, pStdDev);
}

void stdDevFastKernel(const Dsp32f* pSrc, int len, Dsp32f* pStdDev) {
    auto* src = reinterpret_cast<const unsigned char*>(pSrc);
    StdDevSums sums;
    if (len <= 8) {
        for (int i = 0; i < len; ++i) sums.add(elementAt(src, i));
    } else {
        // Single elements until the source is 16-byte aligned. Only address
        // bits 2 and 3 are looked at: a source that is not 4-byte aligned
        // stops within three elements and is read with unaligned loads.
        int left = len;
        for (; left > 0 && (addressOf(src) & 0xC) != 0; --left, src += 4) sums.add(elementAt(src, 0));
        const auto* floats = reinterpret_cast<const Dsp32f*>(src);  // passed on, never dereferenced
        if (onBoundary(floats, 16)) {
            sumInLanes<AlignedLoad>(floats, left, sums);
        } else {
            sumInLanes<UnalignedLoad>(floats, left, sums);
        }
    }
    storeDeviation(sums, len, pStdDev);
}

void stdDevSelect(const Dsp32f* pSrc, int len, Dsp32f* pStdDev, int hint) {
    if (hint == kStdDevFastHint) {
        stdDevFastKernel(pSrc, len, pStdDev);
    } else {
        stdDevKernel(pSrc, len, pStdDev);
    }
}

DspStatus DSP_VARIANT(dspsStdDev_32f)(const Dsp32f* pSrc, int len, Dsp32f* pStdDev, int hint) {
    const DspStatus status = checkStdDevArgs(pSrc, pStdDev, len);
    if (status == dspStsNoErr) stdDevSelect(pSrc, len, pStdDev, hint);
    return status;
}

#else  // DSP_LEVEL == 0

// The generic variant ignores the hint and divides only when n*Q - S^2 is
// greater than 0 (not NaN): otherwise the result is +0.
DspStatus DSP_VARIANT(dspsStdDev_32f)(const Dsp32f* pSrc, int len, Dsp32f* pStdDev, int /*hint*/) {
    const DspStatus status = checkStdDevArgs(pSrc, pStdDev, len);
    if (status != dspStsNoErr) return status;
    const StdDevSums sums = sumInDouble(reinterpret_cast<const unsigned char*>(pSrc), len);
    const double scaled = scaledVariance(sums, len);
    const Dsp32f result = scaled > 0.0 ? static_cast<Dsp32f>(std::sqrt(scaled / varianceDivisor(len))) : 0.0f;
    dspStore<Dsp32f>(pStdDev, result);
    return status;
}

#endif

#include "simd_level_end.inc"
