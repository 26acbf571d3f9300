// Sample standard deviation (divisor n - 1) of a float vector. There is no
// entry point: the variant bodies and their table are reachable only from
// inside the library and from tests.
#pragma once

#include "dsp_dispatch.h"

// pStdDev receives the deviation of the len (>= 2) elements at pSrc. The SSE
// variants sum in double precision unless hint is kStdDevFastHint, which
// selects single-precision lane sums (faster, less accurate on long or badly
// scaled vectors). The generic variant ignores hint.
DSP_DECLARE_VARIANTS(DspStatus, dspsStdDev_32f, (const Dsp32f* pSrc, int len, Dsp32f* pStdDev, int hint));

constexpr int kStdDevFastHint = 1;
