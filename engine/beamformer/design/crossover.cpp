#include "beamformer/design/crossover.h"

#include "beamformer/design/fir_design.h"

namespace orvelan::design {

CrossoverPair designCrossover(int length)
{
    CrossoverPair pair;
    pair.lowPass = windowedLowPass(length, kCrossoverHz);
    pair.highPass.assign(length, 0.0);
    for (int t = 0; t < length; ++t) pair.highPass[t] = -pair.lowPass[t];
    pair.highPass[(length - 1) / 2] += 1.0;
    return pair;
}

}  // namespace orvelan::design
