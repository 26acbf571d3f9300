// Frequency-domain model of a beam as the generated tables form it: the
// simulated capsules, the encoder matrix, the mode-0 radial biquads, the
// steering weights and the modal FIRs (with the modal stage's alignment),
// plus the crossover, the HF path and the equaliser.
#pragma once

#include <complex>

#include "beamformer/sim/array_simulator.h"
#include "beamformer/tables/beamformer_tables.h"
#include "beamformer/design/modal_design.h"

namespace orvelan::testing {

using Complex = std::complex<double>;
using design::Direction;

const beamformer::tables::PatternTable& patternTable(int pattern);

// The modal FIRs of one variant, as stored (float taps widened).
design::ModalFilters storedModalFilters(int pattern, int variant);

// One order's radial filtering as the tables store it: in radial mode 0 its
// biquads, in mode 1 its biquads, FIR and alignment delay.
Complex storedRadialResponse(int radialMode, int order, double hz);

// Encoded and radially equalised components for the capsule pressures p.
// (radial mode 0).
std::array<Complex, design::kComponentCount> equalisedComponents(const sim::CapsuleTransfer& p, double hz);

// Low band of a beam looking at `look` for a unit plane wave from `source`.
Complex lowBandResponse(int pattern, int variant, const Direction& look, const Direction& source, double hz);
Complex lowBandResponse(int pattern, int variant, const Direction& look, const sim::CapsuleTransfer& p, double hz);

// The weight of the triangle HF path's correction at the look, rounded to
// the whole degrees the beamformer steers in.
float triangleCorrectionWeight(const Direction& look);

// Whole beam before the output delay: low band through the crossover
// low-pass, HF path (delayed by the modal latency; the triangle mean with
// its correction) through the high-pass, then the equaliser.
Complex beamResponse(int pattern, int variant, const Direction& look, const Direction& source, double hz);
// The same for capsule pressures p already simulated at hz.
Complex beamResponse(int pattern, int variant, const Direction& look, const sim::CapsuleTransfer& p, double hz);

// White-noise gain in dB of the low band at hz (capsule weights from the
// tables), for a wave from the pattern's reference direction.
double lowBandWhiteNoiseGainDb(int pattern, int variant, const Direction& look, double hz);

// Whether the variant's white-noise-gain limit reshapes its beam at hz (its
// pattern there is not the held one of its curve).
bool limitBindsAt(int pattern, int variant, double hz);

// The direction at angle `gamma` from `look`, turned about it by `roll`.
Direction offsetDirection(const Direction& look, double gammaDegrees, double rollDegrees);

double decibels(double magnitude);

}  // namespace orvelan::testing
