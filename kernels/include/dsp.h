/*
 * Orvelan signal-processing kernel library: the one public header.
 *
 * Every function is reached through its entry point, which forwards to the
 * processor variant chosen once at start-up (dspStaticInit). Functions return
 * a DspStatus: 0 success, negative an error (nothing written), positive a
 * warning (the full result was written).
 */
#ifndef ORVELAN_DSP_H
#define ORVELAN_DSP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Element types ---------------------------------------------------- */

typedef uint8_t  Dsp8u;
typedef int16_t  Dsp16s;
typedef int32_t  Dsp32s;
typedef uint32_t Dsp32u;
typedef uint64_t Dsp64u;
typedef float    Dsp32f;
typedef double   Dsp64f;
typedef struct { Dsp32f re; Dsp32f im; } Dsp32fc;

/* ---- Status codes ----------------------------------------------------- */

typedef int32_t DspStatus;

enum {
    dspStsNoErr = 0,

    /* errors: nothing was written */
    dspStsBadArgErr = -5,
    dspStsSizeErr = -6,
    dspStsNullPtrErr = -8,
    dspStsMemAllocErr = -9,
    dspStsDivByZeroErr = -10,
    dspStsFftOrderErr = -15,
    dspStsFftFlagErr = -16,
    dspStsContextMatchErr = -17,
    dspStsIIROrderErr = -25,
    dspStsFIRLenErr = -26,
    dspStsFIRMRPhaseErr = -28,
    dspStsFIRMRFactorErr = -29,

    /* warnings: the full result was written */
    dspStsSqrtNegArg = 3,
    dspStsDivByZero = 6,
    dspStsLnZeroArg = 7,
    dspStsLnNegArg = 8,
    dspStsForeignCpu = 20,
    dspStsCpuMismatch = 21,
    dspStsNotSupportedCpu = 36
};

/* ---- Library start-up, processor features, version -------------------- */

typedef int DspCpuType;

typedef struct {
    int major;
    int minor;
    int majorBuild;
    int build;
    char targetCpu[4];     /* two-letter variant code, two zero bytes */
    const char* Name;
    const char* Version;
    const char* BuildDate;
} DspLibraryVersion;

/* Feature-mask bits reported by dspGetCpuFeatures. */
enum {
    dspCpuFeatureMmx = 0x1,
    dspCpuFeatureSse = 0x2,
    dspCpuFeatureSse2 = 0x4,
    dspCpuFeatureSse3 = 0x8,
    dspCpuFeatureSsse3 = 0x10,
    dspCpuFeatureMovbe = 0x20,
    dspCpuFeatureSse41 = 0x40,
    dspCpuFeatureSse42 = 0x80
};

/* Chooses the processor variant for the life of the process. Returns 0, or
 * dspStsForeignCpu when there is no CPUID or the vendor is not the one the
 * variants are tuned for (the variant is chosen from the features anyway). */
DspStatus dspStaticInit(void);
/* Forwarding entry used by the program's main. */
DspStatus dspStaticInitThunk(void);
DspStatus dspGetCpuFeatures(Dsp64u* pFeaturesMask, Dsp32u pCpuidInfoRegs[4]);
DspStatus dspStaticInitCpu(DspCpuType cpu);

/* ---- Aligned memory (32-byte aligned blocks) -------------------------- */

Dsp8u* dspsMalloc_8u(int len);
Dsp32f* dspsMalloc_32f(int len);
void dspsFree(void* ptr);

/* ---- Zero and fill ---------------------------------------------------- */

/* Write len elements of zero bytes. */
DspStatus dspsZero_8u(Dsp8u* pDst, int len);
DspStatus dspsZero_32f(Dsp32f* pDst, int len);
DspStatus dspsZero_32s(Dsp32s* pDst, int len);

/* ---- Copy and move ---------------------------------------------------- */

/* Copy len elements; the ranges must not overlap unless pSrc == pDst. */
DspStatus dspsCopy_32f(const Dsp32f* pSrc, Dsp32f* pDst, int len);
DspStatus dspsCopy_64f(const Dsp64f* pSrc, Dsp64f* pDst, int len);
DspStatus dspsCopy_32fc(const Dsp32fc* pSrc, Dsp32fc* pDst, int len);

/* ---- Float-to-integer conversion -------------------------------------- */

/* Rounding of the _Sfs conversions: dspRndZero truncates toward zero,
 * dspRndNear rounds to nearest with ties to even, and every other value
 * rounds to nearest with ties away from zero. */
typedef int DspRoundMode;
enum { dspRndZero = 0, dspRndNear = 1 };

/* pDst[i] = pSrc[i] * 2^-scaleFactor, rounded by rnd and saturated to the
 * destination range. NaN and out-of-range values are stored silently (no
 * warning). A 24-bit vector holds packed 3-byte little-endian samples (3*len
 * bytes) and always rounds to nearest, ties to even. The caller's MXCSR is
 * unchanged afterwards. */
DspStatus dspsConvert_32f8u_Sfs(const Dsp32f* pSrc, Dsp8u* pDst, int len, DspRoundMode rnd, int scaleFactor);
DspStatus dspsConvert_32f16s_Sfs(const Dsp32f* pSrc, Dsp16s* pDst, int len, DspRoundMode rnd, int scaleFactor);
DspStatus dspsConvert_32f24s_Sfs(const Dsp32f* pSrc, Dsp8u* pDst, int len, int scaleFactor);
DspStatus dspsConvert_32f32s_Sfs(const Dsp32f* pSrc, Dsp32s* pDst, int len, DspRoundMode rnd, int scaleFactor);

/* ---- Integer-to-float conversion -------------------------------------- */

/* pDst[i] = the value of sample i, unscaled (multiply by 2^-15, 2^-23 or
 * 2^-31 for full scale 1.0). A 24-bit vector holds packed 3-byte
 * little-endian signed samples. 32-bit values beyond 2^24 round to nearest
 * in the current rounding mode. No warnings. */
DspStatus dspsConvert_8u32f(const Dsp8u* pSrc, Dsp32f* pDst, int len);
DspStatus dspsConvert_16s32f(const Dsp16s* pSrc, Dsp32f* pDst, int len);
DspStatus dspsConvert_24s32f(const Dsp8u* pSrc, Dsp32f* pDst, int len);
DspStatus dspsConvert_32s32f(const Dsp32s* pSrc, Dsp32f* pDst, int len);

/* ---- Polar-to-Cartesian conversion and ramp --------------------------- */

/* pRe[i] = pMag[i] * cos(pPhase[i]), pIm[i] = pMag[i] * sin(pPhase[i]),
 * phases in radians. */
DspStatus dspsPolarToCart_32f(const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe, Dsp32f* pIm, int len);
/* pDst[i] = offset + slope * i (the SIMD variants accumulate the slope). */
DspStatus dspsVectorRamp_32f(Dsp32f* pDst, int len, Dsp32f offset, Dsp32f slope);

/* ---- Element-wise arithmetic on real vectors -------------------------- */

/* Element by element, IEEE single precision, infinities and NaNs passed
 * through. A destination may be the very same array as a source; only
 * dspsAddProduct_32f also allows partial overlap (the result is that of the
 * ascending element loop). */
DspStatus dspsAdd_32f_I(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len);     /* pSrcDst += pSrc */
DspStatus dspsAdd_32f(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len);
DspStatus dspsMul_32f_I(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len);     /* pSrcDst *= pSrc */
DspStatus dspsMul_32f(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len);
/* pSrcDst[i] += pSrc1[i] * pSrc2[i] */
DspStatus dspsAddProduct_32f(const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pSrcDst, int len);

/* ---- Complex and Perm-spectrum arithmetic ----------------------------- */

/* ---- Arithmetic with a constant --------------------------------------- */

/* In place: the constant first. val == 0 leaves the vector untouched (AddC);
 * val == 1 leaves it untouched and val == 0 writes +0.0 (MulC). */
DspStatus dspsAddC_32f_I(Dsp32f val, Dsp32f* pSrcDst, int len);
DspStatus dspsMulC_32f_I(Dsp32f val, Dsp32f* pSrcDst, int len);
DspStatus dspsSubCRev_32f_I(Dsp32f val, Dsp32f* pSrcDst, int len);   /* val - x */
/* Multiplies by the rounded reciprocal 1/val; val == 0 gives dspStsDivByZeroErr. */
DspStatus dspsDivC_32f_I(Dsp32f val, Dsp32f* pSrcDst, int len);
/* Two vectors: the constant between source and destination. */
DspStatus dspsMulC_32f(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len);
DspStatus dspsSubCRev_32f(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len);
/* pSrcDst[i] += pSrc[i] * val */
DspStatus dspsAddProductC_32f(const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, int len);

/* ---- Maximum, absolute value, thresholds ------------------------------ */

/* The greatest element. Without NaNs every variant returns the greatest
 * value (a tie of +0 and -0 may come out with either sign); a NaN element is
 * returned or ignored depending on its position. */
DspStatus dspsMax_32f(const Dsp32f* pSrc, int len, Dsp32f* pMax);
/* Sign bit cleared; pSrc may equal pDst. */
DspStatus dspsAbs_32f(const Dsp32f* pSrc, Dsp32f* pDst, int len);
/* Elements below level raised to it (LT), above level lowered to it (GT). */
DspStatus dspsThreshold_LT_32f(const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level);
DspStatus dspsThreshold_LT_32f_I(Dsp32f* pSrcDst, int len, Dsp32f level);
DspStatus dspsThreshold_GT_32f_I(Dsp32f* pSrcDst, int len, Dsp32f level);

/* ---- Standard deviation ----------------------------------------------- */

/* ---- Logarithm, exponential, square root ------------------------------ */

/* Natural logarithm. Every element is written; the first element in index
 * order that is +0.0 (result -inf) or has its sign bit set (result NaN)
 * decides the warning: dspStsLnZeroArg or dspStsLnNegArg. pSrc may equal
 * pDst. */
DspStatus dspsLn_32f_I(Dsp32f* pSrcDst, int len);
DspStatus dspsLn_32f(const Dsp32f* pSrc, Dsp32f* pDst, int len);
/* Exponential. Overflow gives +inf and underflow +0.0 without a status. */
DspStatus dspsExp_32f_I(Dsp32f* pSrcDst, int len);
/* Square root. Negative elements become NaN with dspStsSqrtNegArg; -0.0
 * stays -0.0. */
DspStatus dspsSqrt_32f_I(Dsp32f* pSrcDst, int len);

/* ---- Real FFT ---------------------------------------------------------- */

/* Specification of one real FFT of N = 2^order points: built once, then only
 * read by the transforms (any number of threads may share it as long as each
 * call has its own destination and work buffer). A record is used only by
 * the processor variant that built it: it remembers that variant, and the
 * transforms run it whatever variant the library has chosen since. */
typedef struct DspsFFTSpec_R_32f DspsFFTSpec_R_32f;

/* Scaling flags: exactly one of them. */
enum {
    dspFftDivFwdByN = 1,   /* forward result times 1/N */
    dspFftDivInvByN = 2,   /* inverse result times 1/N */
    dspFftDivBySqrtN = 4,  /* both times 1/sqrt(N) */
    dspFftNoDiv = 8        /* neither */
};

/* Bytes of record memory, of temporary init buffer (0 below order 11) and of
 * work buffer (0 when the transforms need none) for dspsFFTInit_R_32f. Every
 * size includes the slack for a block at any address. Orders 0..27. */
DspStatus dspsFFTGetSize_R_32f(int order, int flag, int hint, int* pSpecSize, int* pSpecBufferSize, int* pBufferSize);
/* Builds a record in caller memory (*ppSpec is its 32-byte-aligned start
 * inside pMemSpec); pMemInit is needed from order 11 on and only during the
 * call. hint is stored and never read. */
DspStatus dspsFFTInit_R_32f(DspsFFTSpec_R_32f** ppSpec, int order, int flag, int hint, Dsp8u* pMemSpec,
                            Dsp8u* pMemInit);
/* The same in one block of its own; release it with dspsFFTFree_R_32f. */
DspStatus dspsFFTInitAlloc_R_32f(DspsFFTSpec_R_32f** ppSpec, int order, int flag, int hint);
/* Ends the record's life (a second call gives dspStsContextMatchErr) and
 * releases the block when dspsFFTInitAlloc_R_32f made it. */
DspStatus dspsFFTFree_R_32f(DspsFFTSpec_R_32f* pSpec);
/* Bytes of work buffer a caller passes to the transforms (0: none needed). */
DspStatus dspsFFTGetBufSize_R_32f(const DspsFFTSpec_R_32f* pSpec, int* pBufferSize);
/* Forward transform of N real samples to the Perm layout: X[0], X[N/2], then
 * Re X[k], Im X[k] for k = 1..N/2-1 (kernel exp(-2*pi*i*k*n/N), times 1/N or
 * 1/sqrt(N) when the record's flag says so). pSrc may equal pDst. pBuffer:
 * null (a buffer is allocated for the call when one is needed) or at least
 * dspsFFTGetBufSize_R_32f bytes, used from its first 32-byte boundary. */
DspStatus dspsFFTFwd_RToPerm_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer);
/* Inverse from the Perm layout (kernel exp(+2*pi*i*k*n/N), the bins above
 * N/2 the conjugates of those stored), scaled as the record's flag says. */
DspStatus dspsFFTInv_PermToR_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer);
/* The same transforms with the spectrum in the CCS layout: Re, Im of every
 * bin 0..N/2 (N + 2 floats; the imaginary parts of bins 0 and N/2 written as
 * 0 and ignored by the inverse, which writes words 0..N-1 only). Either may
 * run in place on N + 2 floats. */
DspStatus dspsFFTFwd_RToCCS_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer);
DspStatus dspsFFTInv_CCSToR_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer);
/* pSrcDst = pSrcDst * pSrc bin by bin, both len floats in the Perm layout
 * extended to any length: word 0 real, for an even len word 1 real too, then
 * (Re, Im) pairs. The spectrum of a circular convolution. pSrc may equal
 * pSrcDst. */
DspStatus dspsMulPerm_32f_I(const Dsp32f* pSrc, Dsp32f* pSrcDst, int len);

/* ---- FIR filters ------------------------------------------------------ */

/* y[n] = sum over k < tapsLen of taps[k] * x[n - k], samples before a
 * stream's first coming from the state's delay line. A delay line handed in
 * holds tapsLen past inputs, the most recent first; null means zeros. A
 * state serves one caller at a time. */
typedef struct DspsFIRState_32f DspsFIRState_32f;

/* A state in a block the library allocates; *ppState is null after a failure
 * of the set-up itself. Release it with dspsFIRFree_32f. */
DspStatus dspsFIRInitAlloc_32f(DspsFIRState_32f** ppState, const Dsp32f* pTaps, int tapsLen, const Dsp32f* pDlyLine);
/* A state in the caller's buffer of at least dspsFIRGetStateSize_32f bytes,
 * at any address; it lives as long as the buffer. */
DspStatus dspsFIRInit_32f(DspsFIRState_32f** ppState, const Dsp32f* pTaps, int tapsLen, const Dsp32f* pDlyLine,
                          Dsp8u* pBuffer);
/* A resampling state: input m sits at index m * upFactor + upPhase of an
 * upsampled axis (zeros elsewhere), output n is taken at n * downFactor +
 * downPhase. A delay line holds ceil(tapsLen / upFactor) past inputs. Factors
 * below 1 give dspStsFIRMRFactorErr, phases outside 0 .. factor - 1
 * dspStsFIRMRPhaseErr; factors 1 and 1 give a single-rate state. */
DspStatus dspsFIRMRInitAlloc_32f(DspsFIRState_32f** ppState, const Dsp32f* pTaps, int tapsLen, int upFactor,
                                 int upPhase, int downFactor, int downPhase, const Dsp32f* pDlyLine);
DspStatus dspsFIRGetStateSize_32f(int tapsLen, int* pBufferSize);
DspStatus dspsFIRSetDlyLine_32f(DspsFIRState_32f* pState, const Dsp32f* pDlyLine);
/* Releases a state the library allocated; one in a caller's buffer is left
 * untouched. */
DspStatus dspsFIRFree_32f(DspsFIRState_32f* pState);
/* numIters samples from pSrc to pDst, which must not overlap. */
DspStatus dspsFIR_32f(const Dsp32f* pSrc, Dsp32f* pDst, int numIters, DspsFIRState_32f* pState);
DspStatus dspsFIR_32f_I(Dsp32f* pSrcDst, int numIters, DspsFIRState_32f* pState);

/* ---- IIR filters with double-precision taps (biquad cascades) -------- */

/* A cascade of numBq second-order sections whose taps, delay line and
 * arithmetic are double precision while the samples are floats. Taps: 6
 * doubles per section, b0, b1, b2, a0, a1, a2 of
 * (b0 + b1 z^-1 + b2 z^-2) / (a0 + a1 z^-1 + a2 z^-2); a0 and b0 must be
 * non-zero (dspStsDivByZeroErr otherwise, and nothing changes). Delay line:
 * 2 doubles per section, d0 and d1 of the transposed direct form II
 * (y = b0 x + d0, d0' = b1 x - a1 y + d1, d1' = b2 x - a2 y, taps divided by
 * a0); null means zeros. The state keeps its own copies of both arrays. */
typedef struct DspsIIRState64f_32f DspsIIRState64f_32f;

/* Creates a state in one 32-byte-aligned block. *ppState is written only on
 * success. Errors: null pointer, numBq < 1 (dspStsIIROrderErr), allocation,
 * a zero a0 or b0. */
DspStatus dspsIIRInitAlloc64f_BiQuad_32f(DspsIIRState64f_32f** ppState, const Dsp64f* pTaps, int numBq,
                                         const Dsp64f* pDlyLine);
/* Replaces the taps of every section; the delay line stays, so filtering
 * continues from it. Allocates nothing (safe on the audio thread). */
DspStatus dspsIIRSetTaps64f_32f(const Dsp64f* pTaps, DspsIIRState64f_32f* pState);
/* Loads the delay line, or zeroes it when pDlyLine is null. */
DspStatus dspsIIRSetDlyLine64f_32f(DspsIIRState64f_32f* pState, const Dsp64f* pDlyLine);
DspStatus dspsIIRFree64f_32f(DspsIIRState64f_32f* pState);
/* Filters len samples, each output rounded once to float, and carries the
 * delay line to the next call. Allocates nothing. */
DspStatus dspsIIR64f_32f(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState64f_32f* pState);
DspStatus dspsIIR64f_32f_I(Dsp32f* pSrcDst, int len, DspsIIRState64f_32f* pState);

/* ---- IIR filters with single-precision taps -------------------------- */

/* An IIR filter of order N >= 1 with float taps, delay line and arithmetic:
 * taps b0..bN then a0..aN (2N+2 floats, a0 non-zero), run in transposed
 * direct form II; delay line N floats (null means zeros). */
typedef struct DspsIIRState_32f DspsIIRState_32f;

/* Bytes of the buffer dspsIIRInit_32f needs for an order (any alignment of
 * the buffer allowed). */
DspStatus dspsIIRGetStateSize_32f(int order, int* pBufferSize);
/* Create a state in an allocated block, or in the caller's buffer (released
 * by its owner). On failure *ppState is null. */
DspStatus dspsIIRInitAlloc_32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine);
DspStatus dspsIIRInit_32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine,
                          Dsp8u* pBuf);
/* Replace the taps (a zero a0 changes nothing); load, clear or read the
 * delay line. */
DspStatus dspsIIRSetTaps_32f(const Dsp32f* pTaps, DspsIIRState_32f* pState);
DspStatus dspsIIRSetDlyLine_32f(DspsIIRState_32f* pState, const Dsp32f* pDlyLine);
DspStatus dspsIIRGetDlyLine_32f(const DspsIIRState_32f* pState, Dsp32f* pDlyLine);
DspStatus dspsIIRFree_32f(DspsIIRState_32f* pState);
DspStatus dspsIIR_32f(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState);
DspStatus dspsIIR_32f_I(Dsp32f* pSrcDst, int len, DspsIIRState_32f* pState);

#ifdef __cplusplus
}
#endif

#endif /* ORVELAN_DSP_H */
