// The crossover pairs that join a beam's modal low band to its HF path, and
// the equalisers that flatten the sum on the beam's axis.
#pragma once

#include <complex>
#include <vector>

#include "modal_design.h"

namespace orvelan::design {

// Below the array's spatial-aliasing frequency (order 3 at kr = 3, about
// 3.9 kHz), where the capsules still resolve the components cleanly.
inline constexpr double kCrossoverHz = 3000.0;
inline constexpr double kEqLimitDb = 12.0;

struct CrossoverPair {
    std::vector<double> lowPass;
    std::vector<double> highPass;  // delayed impulse minus the low-pass
};
CrossoverPair designCrossover(int length);

// Response of the HF path, delayed by the modal latency, to a wave from the
// pattern's reference direction, the look direction at the centre of its
// cell (for the torus, the capsule at the look direction hears its ring
// from the side).
std::complex<double> hfPathResponse(const PatternSpec& spec, double hz);

// Low band through the low-pass plus HF path through the high-pass, in the
// pattern's reference direction (before the equaliser).
std::complex<double> combinedResponse(const PatternSpec& spec, const ModalFilters& filters,
                                      const CrossoverPair& crossover, double hz);

std::vector<double> designEq(const PatternSpec& spec, const ModalFilters& filters, const CrossoverPair& crossover);

}  // namespace orvelan::design
