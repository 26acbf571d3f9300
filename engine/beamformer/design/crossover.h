// The crossover pairs that join a beam's modal low band to its HF path.
#pragma once

#include <vector>

namespace orvelan::design {

// Below the array's spatial-aliasing frequency (order 3 at kr = 3, about
// 3.9 kHz), where the capsules still resolve the components cleanly.
inline constexpr double kCrossoverHz = 3000.0;

struct CrossoverPair {
    std::vector<double> lowPass;
    std::vector<double> highPass;  // delayed impulse minus the low-pass
};
CrossoverPair designCrossover(int length);

}  // namespace orvelan::design
