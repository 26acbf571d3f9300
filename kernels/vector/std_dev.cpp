// Standard deviation in the five processor variants. The kernels are written
// once in std_dev.inl and compiled once per level.
#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "shared/alignment.h"
#include "vector/std_dev.h"
#include "shared/simd_memory.h"

namespace {

DspStatus checkStdDevArgs(const void* pSrc, const void* pStdDev, int len) {
    if (pSrc == nullptr || pStdDev == nullptr) return dspStsNullPtrErr;
    if (len < 2) return dspStsSizeErr;  // one element has no sample deviation
    return dspStsNoErr;
}

// S (sum of the elements) and Q (sum of their squares).
struct StdDevSums {
    double values = 0.0;
    double squares = 0.0;

    void add(double v) {
        values += v;
        squares += v * v;
    }
};

// n*Q - S^2, which is n*(n-1) times the variance.
double scaledVariance(const StdDevSums& sums, int len) {
    const double n = len;
    return n * sums.squares - sums.values * sums.values;
}

double varianceDivisor(int len) {
    const double n = len;
    return n * (n - 1.0);
}

}  // namespace

#define DSP_FAMILY_INL "std_dev.inl"
#define DSP_FAMILY_SLOTS DSP_STD_DEV_SLOTS
#include "simd_levels_all.inc"
