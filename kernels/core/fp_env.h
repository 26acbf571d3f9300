// MXCSR and x87 control/status routines carried with start-up, for
// diagnostics and tests. Kernels that change the floating-point environment
// use internal/shared/mxcsr_scope.h instead.
#pragma once

#include "dsp.h"

Dsp32u fpResetMxcsr();
Dsp32u fpGetMxcsr();
Dsp32u fpSetMxcsrBits(Dsp32u value, Dsp32u mask);
Dsp32u fpSetMxcsrRounding(Dsp32u value);
void fpLoadMxcsr(Dsp32u value);

Dsp32u fpGetX87Control();
Dsp32u fpSetX87ControlBits(Dsp32u value, Dsp32u mask);
Dsp32u fpSetX87ControlIfChanged(Dsp32u value, Dsp32u mask);
void fpLoadX87Control(Dsp32u value);
Dsp32u fpGetX87Status();
Dsp32u fpGetClearX87Status();
Dsp32u fpControlX87Portable(Dsp32u value, Dsp32u mask);
Dsp32u fpStatusX87Portable();
Dsp32u fpClearX87Portable();
int fpIsNan(double x);
int fpIsFinite(double x);
