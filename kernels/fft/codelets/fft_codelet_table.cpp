// Which codelets each variant's entries run, per direction.
#include "fft/fft_codelets.h"

const FftCodeletBlock* const fftCodeletTable[5][2] = {
    {&fftGenericForwardCodelets, &fftGenericInverseCodelets},
    {&fftVectorForwardCodelets, &fftVectorInverseCodelets},
    {&fftVectorForwardCodelets, &fftVectorInverseCodelets},
    {&fftVectorForwardCodelets, &fftVectorInverseCodelets},
    {&fftVectorForwardCodelets, &fftVectorInverseCodelets},
};
