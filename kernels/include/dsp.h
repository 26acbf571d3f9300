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

/* ---- Copy and move ---------------------------------------------------- */

/* ---- Float-to-integer conversion -------------------------------------- */

/* ---- Integer-to-float conversion -------------------------------------- */

/* ---- Polar-to-Cartesian conversion and ramp --------------------------- */

/* ---- Element-wise arithmetic on real vectors -------------------------- */

/* ---- Complex and Perm-spectrum arithmetic ----------------------------- */

/* ---- Arithmetic with a constant --------------------------------------- */

/* ---- Maximum, absolute value, thresholds ------------------------------ */

/* ---- Standard deviation ----------------------------------------------- */

/* ---- Logarithm, exponential, square root ------------------------------ */

#ifdef __cplusplus
}
#endif

#endif /* ORVELAN_DSP_H */
