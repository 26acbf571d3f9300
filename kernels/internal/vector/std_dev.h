// Sample standard deviation (divisor n - 1) of a float vector. There is no
// entry point: the variant bodies and their table are reachable only from
// inside the library and from tests.
//
// Variant classes: with the accurate hint, n1..n4 are bit-identical to each
// other and to n0 on finite data (all sum the same way in double); with
// kStdDevFastHint they sum in single-precision lanes and agree with the
// accurate result only where every partial sum is exact. A NaN with its sign
// clear gives +0 in n0 and NaN in n1..n4.
#pragma once

#include "dsp_dispatch.h"

// pStdDev receives the deviation of the len (>= 2) elements at pSrc. The SSE
// variants sum in double precision unless hint is kStdDevFastHint, which
// selects single-precision lane sums (faster, less accurate on long or badly
// scaled vectors). The generic variant ignores hint.
#define DSP_STD_DEV_SLOTS(ENTRY, INTERNAL) \
    INTERNAL(DspStatus, dspsStdDev_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, int len, Dsp32f* pStdDev, int hint))

DSP_DECLARE_FAMILY(DSP_STD_DEV_SLOTS)

constexpr int kStdDevFastHint = 1;
