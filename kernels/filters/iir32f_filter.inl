// Filtering with single-precision taps, compiled once per processor level by
// iir32f_filter.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

namespace {

// Generic arbitrary order: transposed direct form II in double, each delay
// value rounded to float when stored, the output once. Sample i is read
// before it is written, so pSrc may equal pDst.
void arbitraryPlain(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    const int order = pState->dlyLineLen;
    const Dsp32f* b = pState->pTaps;
    const Dsp32f* a = pState->pTaps + order;
    Dsp32f* d = pState->pDlyLine;  // d[order] is zero
    for (int i = 0; i < len; ++i) {
        const Dsp64f x = dspLoad<Dsp32f>(pSrc + i);
        const Dsp64f y = b[0] * x + d[0];
        for (int j = 0; j < order; ++j)
            d[j] = static_cast<Dsp32f>((b[j + 1] * x - a[j + 1] * y) + d[j + 1]);
        dspStore<Dsp32f>(pDst + i, static_cast<Dsp32f>(y));
    }
}

// Generic "II02": transposed direct form II in double, the delays rounded
// to float at every sample, the signal between sections not.
void transposedPlain(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    for (int i = 0; i < len; ++i) {
        Dsp64f v = dspLoad<Dsp32f>(pSrc + i);
        for (int s = 0; s < pState->numBq; ++s) {
            const Dsp32f* t = pState->pTaps + 5 * s;
            Dsp32f* d = pState->pDlyLine + 2 * s;
            const Dsp64f y = t[0] * v + d[0];
            d[0] = static_cast<Dsp32f>((t[1] * v + d[1]) - t[3] * y);
            d[1] = static_cast<Dsp32f>(t[2] * v + (-t[4]) * y);
            v = y;
        }
        dspStore<Dsp32f>(pDst + i, static_cast<Dsp32f>(v));
    }
}

// Generic "II29" section: direct form I in double; the feedback keeps the
// unrounded outputs within the call, the stored delays are rounded.
void directSectionPlain(const Dsp32f* pSrc, Dsp32f* pDst, int len, const Dsp32f* t, Dsp32f* pDly) {
    Dsp64f x2 = pDly[0], x1 = pDly[1], y2 = pDly[2], y1 = pDly[3];
    for (int i = 0; i < len; ++i) {
        const Dsp64f x = dspLoad<Dsp32f>(pSrc + i);
        const Dsp64f y = (((t[1] * x1 + t[2] * x2) - t[3] * y1) - t[4] * y2) + t[0] * x;
        dspStore<Dsp32f>(pDst + i, static_cast<Dsp32f>(y));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
    const Dsp64f values[4] = {x2, x1, y2, y1};
    for (int k = 0; k < 4; ++k) pDly[k] = static_cast<Dsp32f>(values[k]);
}

// Section 0 from the source into the destination, every later section in
// place on the destination.
template <class Section>
void cascadeSections(const Dsp32f* pSrc, Dsp32f* pDst, int len, const DspsIIRState_32f* pState, Section section) {
    for (int s = 0; s < pState->numBq; ++s) section(s == 0 ? pSrc : pDst, pDst, len, s);
}

#if DSP_LEVEL >= 1

// One block of at most kIir32fBlockLength samples. Longer than four samples
// per order: the numerator of the outputs from N on into the work area, the
// first N outputs from the delay line, the input part of the new delay line
// (before in-place outputs overwrite the inputs), the recursion, then the
// output part of the delay line.
void arbitraryBlock(const Dsp32f* x, Dsp32f* y, int L, DspsIIRState_32f* pState) {
    const int N = pState->dlyLineLen;
    if (L <= 4 * N) {
        for (int i = 0; i < L; ++i) iirOne32f(dspLoad<Dsp32f>(x + i), y + i, pState);
        return;
    }
    const Dsp32f* b = pState->pTaps;
    const Dsp32f* a = pState->pTaps + N;
    Dsp32f* d = pState->pDlyLine;
    iirBlockNumerator32f(x, pState->pWork, L - N, pState->pTapsQuad, N);
    for (int i = 0; i < N; ++i) iirOne32f(dspLoad<Dsp32f>(x + i), y + i, pState);
    for (int j = 0; j < N; ++j) {
        Dsp32f sum = 0.0f;
        for (int m = N; m > j; --m) sum = sum + b[m] * dspLoad<Dsp32f>(x + L + j - m);
        d[j] = sum;
    }
    iirBlockRecursion32f(pState->pWork, y, L - N, pState->pRecursionQuads, N);
    for (int j = 0; j < N; ++j)
        for (int m = N; m > j; --m) d[j] = d[j] - a[m] * dspLoad<Dsp32f>(y + L + j - m);
}

// "II02" in n1/n2: blocks of at most kIir32fBlockLength; a block longer
// than four samples per section runs section by section: the 3-tap
// numerator into the work area, the first two outputs from the delays, the
// input part of the new delays (before in-place outputs overwrite the
// inputs), the order-2 recursion four outputs per step, the output part.
void transposedBlock(const Dsp32f* x, Dsp32f* y, int L, DspsIIRState_32f* pState) {
    if (L <= 4 * pState->numBq) {
        for (int i = 0; i < L; ++i) iirOneBiquad32f(dspLoad<Dsp32f>(x + i), y + i, pState);
        return;
    }
    cascadeSections(x, y, L, pState, [pState](const Dsp32f* in, Dsp32f* out, int n, int s) {
        const Dsp32f* t = pState->pTaps + 5 * s;
        const Dsp32f* quads = pState->pTapsQuad + 12 * s;
        const Dsp32f* rows = pState->pRecursionQuads + 20 * s;
        Dsp32f* d = pState->pDlyLine + 2 * s;
        iirBlockNumerator32f(in, pState->pWork, n - 2, quads, 2);
        const Dsp32f u0 = dspLoad<Dsp32f>(in), u1 = dspLoad<Dsp32f>(in + 1);
        const Dsp32f y0 = t[0] * u0 + d[0];
        const Dsp32f y1 = ((d[1] - t[3] * y0) + t[0] * u1) + t[1] * u0;
        const Dsp32f last = dspLoad<Dsp32f>(in + n - 1), beforeLast = dspLoad<Dsp32f>(in + n - 2);
        const Dsp32f inputD0 = quads[8] * beforeLast + quads[4] * last, inputD1 = quads[8] * last;
        dspStore<Dsp32f>(out, y0);
        dspStore<Dsp32f>(out + 1, y1);
        iirBlockRecursion32f(pState->pWork, out, n - 2, rows, 2);
        const Dsp32f c1 = rows[0], c2 = rows[4];
        const Dsp32f yLast = dspLoad<Dsp32f>(out + n - 1), yBeforeLast = dspLoad<Dsp32f>(out + n - 2);
        d[0] = (c2 * yBeforeLast + c1 * yLast) + inputD0;
        d[1] = c2 * yLast + inputD1;
    });
}

// "II02" in n3/n4, the whole call at once: each section's first two outputs
// in transposed direct form II, the rest through the direct-form-I block
// kernel, its state in the 4-float scratch behind the delay line; then the
// transposed delays rebuilt from the section's last inputs and outputs.
void transposedThroughBlockKernel(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    if (len <= 2) {
        for (int i = 0; i < len; ++i) {
            Dsp32f v = dspLoad<Dsp32f>(pSrc + i);
            for (int s = 0; s < pState->numBq; ++s) {
                const Dsp32f* t = pState->pTaps + 5 * s;
                Dsp32f* d = pState->pDlyLine + 2 * s;
                const Dsp32f y = t[0] * v + d[0];
                d[0] = (t[1] * v + d[1]) - t[3] * y;
                d[1] = t[2] * v - t[4] * y;
                v = y;
            }
            dspStore<Dsp32f>(pDst + i, v);
        }
        return;
    }
    Dsp32f* scratch = pState->pDlyLine + 2 * pState->numBq;
    cascadeSections(pSrc, pDst, len, pState, [pState, scratch](const Dsp32f* in, Dsp32f* out, int n, int s) {
        const Dsp32f* t = pState->pTaps + 5 * s;
        Dsp32f* d = pState->pDlyLine + 2 * s;
        const Dsp32f x0 = dspLoad<Dsp32f>(in), x1 = dspLoad<Dsp32f>(in + 1);
        const Dsp32f y0 = t[0] * x0 + d[0];
        const Dsp32f d0 = (t[1] * x0 + d[1]) - t[3] * y0;
        const Dsp32f y1 = t[0] * x1 + d0;
        scratch[0] = x0;
        scratch[1] = x1;
        scratch[2] = y0;
        scratch[3] = y1;
        const Dsp32f last = dspLoad<Dsp32f>(in + n - 1), beforeLast = dspLoad<Dsp32f>(in + n - 2);
        d[0] = t[1] * last + t[2] * beforeLast;
        d[1] = t[2] * last;
        dspStore<Dsp32f>(out, y0);
        dspStore<Dsp32f>(out + 1, y1);
        iirBiquadSectionBlock32f(in + 2, out + 2, n - 2, pState->pWork + 32 * s, scratch);
        const Dsp32f yLast = dspLoad<Dsp32f>(out + n - 1), yBeforeLast = dspLoad<Dsp32f>(out + n - 2);
        d[0] = (d[0] - t[3] * yLast) - t[4] * yBeforeLast;
        d[1] = d[1] - t[4] * yLast;
    });
}

#endif

// "II29" in every level: section by section over the whole call.
void directCascade(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
#if DSP_LEVEL >= 1
    if (pState->pWork != nullptr) {
        cascadeSections(pSrc, pDst, len, pState, [pState](const Dsp32f* in, Dsp32f* out, int n, int s) {
            iirBiquadSectionBlock32f(in, out, n, pState->pWork + 32 * s, pState->pDlyLine + 4 * s);
        });
        return;
    }
#endif
    cascadeSections(pSrc, pDst, len, pState, [pState](const Dsp32f* in, Dsp32f* out, int n, int s) {
        directSectionPlain(in, out, n, pState->pTaps + 5 * s, pState->pDlyLine + 4 * s);
    });
}

// Blocks of at most kIir32fBlockLength samples through a block routine.
template <class Block>
void inBlocks(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState, Block block) {
    for (int done = 0; done < len; done += kIir32fBlockLength)
        block(pSrc + done, pDst + done, std::min(len - done, kIir32fBlockLength), pState);
}

DspStatus filter(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    if (pState == nullptr || pSrc == nullptr || pDst == nullptr) return dspStsNullPtrErr;
    if (len < 1) return dspStsSizeErr;
    if (!iirIs32fState(pState)) return dspStsContextMatchErr;
    if (pState->id == kIirIdBiquadBlock32f) {
        directCascade(pSrc, pDst, len, pState);
        return dspStsNoErr;
    }
    // A state laid out by the generic level has no tables: it keeps to the
    // plain loops, whichever level runs it.
    [[maybe_unused]] const bool tables = pState->pTapsQuad != nullptr;
    if (pState->id == kIirIdArbitrary32f) {
#if DSP_LEVEL >= 1
        if (tables) {
            inBlocks(pSrc, pDst, len, pState, arbitraryBlock);
            return dspStsNoErr;
        }
#endif
        arbitraryPlain(pSrc, pDst, len, pState);
        return dspStsNoErr;
    }
#if DSP_LEVEL >= 1
    if (tables) {
        if constexpr (kLevel >= 3) {
            transposedThroughBlockKernel(pSrc, pDst, len, pState);
        } else {
            inBlocks(pSrc, pDst, len, pState, transposedBlock);
        }
        return dspStsNoErr;
    }
#endif
    transposedPlain(pSrc, pDst, len, pState);
    return dspStsNoErr;
}

}  // namespace

DspStatus DSP_VARIANT(dspsIIR_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    return filter(pSrc, pDst, len, pState);
}

DspStatus DSP_VARIANT(dspsIIR_32f_I)(Dsp32f* pSrcDst, int len, DspsIIRState_32f* pState) {
    return filter(pSrcDst, pSrcDst, len, pState);
}

#include "simd_level_end.inc"
