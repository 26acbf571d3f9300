#include "beamformer/design/crossover.h"

#include "beamformer/design/fir_design.h"

namespace orvelan::design {

double crossoverHz(const PatternDesign& patternDesign)
{
    return patternDesign.family == PatternFamily::Torus ? kTorusCrossoverHz : kCrossoverHz;
}

CrossoverPair designCrossover(const PatternDesign& patternDesign)
{
    const int length = patternDesign.crossoverLength;
    CrossoverPair pair;
    pair.lowPass = windowedLowPass(length, crossoverHz(patternDesign));
    pair.highPass.assign(length, 0.0);
    for (int t = 0; t < length; ++t) pair.highPass[t] = -pair.lowPass[t];
    pair.highPass[(length - 1) / 2] += 1.0;
    return pair;
}

}  // namespace orvelan::design
