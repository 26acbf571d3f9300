// The equalisers that flatten a beam's low band and HF path, joined by the
// crossover pair, on the beam's axis (the torus: all round its ring) as the
// look moves over an HF cell.
#pragma once

#include <complex>
#include <vector>

#include "beamformer/design/crossover.h"
#include "beamformer/design/modal_design.h"

namespace orvelan::design {

inline constexpr double kEqLimitDb = 12.0;

std::vector<double> designEq(const PatternDesign& patternDesign, const ModalFilters& filters, const CrossoverPair& crossover);

}  // namespace orvelan::design
