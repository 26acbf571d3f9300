// The crossover pairs that join a beam's modal low band to its HF path.
#pragma once

#include <vector>

#include "beamformer/design/pattern_catalogue.h"

namespace orvelan::design {

// Below the array's spatial-aliasing frequency (order 3 at kr = 3, about
// 3.9 kHz), where the capsules still resolve the components cleanly.
inline constexpr double kCrossoverHz = 3000.0;
// The torus hands over higher. Its HF path, the capsule nearest the look,
// hears the ring from the side, each point of it differently (from 68 to
// 112 degrees off that capsule as the look moves over its cell), so the
// share of it that the high-pass lets below the crossover spreads the ring
// where no common equaliser can follow: about 10 % at 2 kHz with the
// crossover at 3 kHz, enough for 1.2 dB between the ring's points. Its
// second-order low band still resolves the ring cleanly at 3.3 kHz.
inline constexpr double kTorusCrossoverHz = 3300.0;

struct CrossoverPair {
    std::vector<double> lowPass;
    std::vector<double> highPass;  // delayed impulse minus the low-pass
};
double crossoverHz(const PatternDesign& patternDesign);
// The pattern's pair, of its crossover length.
CrossoverPair designCrossover(const PatternDesign& patternDesign);

}  // namespace orvelan::design
