// The equalisers that flatten a beam's low band and HF path, joined by the
// crossover pair, on the beam's axis.
#pragma once

#include <complex>
#include <vector>

#include "beamformer/design/crossover.h"
#include "beamformer/design/modal_design.h"

namespace orvelan::design {

inline constexpr double kEqLimitDb = 12.0;

// Response of the HF path, delayed by the modal latency, to a wave from the
// pattern's reference direction, the look direction at the centre of its
// cell (for the torus, the capsule at the look direction hears its ring
// from the side).
std::complex<double> hfPathResponse(const PatternDesign& patternDesign, double hz);

// Low band through the low-pass plus HF path through the high-pass, in the
// pattern's reference direction (before the equaliser).
std::complex<double> combinedResponse(const PatternDesign& patternDesign, const ModalFilters& filters,
                                      const CrossoverPair& crossover, double hz);

std::vector<double> designEq(const PatternDesign& patternDesign, const ModalFilters& filters, const CrossoverPair& crossover);

}  // namespace orvelan::design
