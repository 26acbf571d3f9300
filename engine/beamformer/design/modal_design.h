// Design of the modal FIRs: per pattern, variant and order, the pattern
// weight times the regularised inverse of the sphere's radial response as the
// decomposition (encoder + mode-0 biquads) leaves it.
//
// Each variant is designed in two steps:
//  1. its held pattern: the family's pattern, regularised at the reference
//     frequency (2 kHz) just enough to give the beam width its record
//     carries (the torus: its pole level); above the frequency where the
//     white-noise-gain limit stops binding, every frequency gets this pattern;
//  2. per frequency, the held pattern is regularised further (Tikhonov, one
//     parameter for all orders) until the white-noise gain reaches the
//     variant's limit, then renormalised to 1 in its reference direction.
// Every pattern's low band has one response on its axis up to the reference
// frequency, the order-0 path of the decomposition delayed by the modal
// latency (its FIRs centre at tap 125), so that beams of different patterns
// share one latency and do not comb-filter when mixed; towards the crossover
// its phase turns to the HF path's, so that the bands add without a notch.
// The four orders' filters are fitted together, so that what each order's
// 251 taps cannot reach does not add up to a latency of its own in the
// reference direction. Up to just below the crossover the filters also
// make up for the share of the HF path that the crossover's high-pass lets
// through, which would otherwise widen the beam there.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/beam_patterns.h"
#include "beamformer/design/pattern_catalogue.h"

namespace orvelan::design {

inline constexpr double kReferenceHz = 2000.0;
// The low band's phase turns to the HF path's between these frequencies.
inline constexpr double kAlignFromHz = 2300.0;
inline constexpr double kAlignedFromHz = 3100.0;

// The decomposition as the design sees it.
class RadialModel {
public:
    static const RadialModel& instance();

    // R_n: encoder scale x (2n+1) x b_n(kr) x mode-0 biquads of order n.
    std::complex<double> radialResponse(int order, double hz) const;
    // Capsule noise power reaching the output per unit of order-n modal gain
    // after the biquads (averaged over look directions).
    double orderNoise(int order) const { return orderNoise_[order]; }
    // Signal-to-noise worth of order n at hz: |R_n|^2 / (|biquads|^2 noise_n).
    double orderQuality(int order, double hz) const;
    // Response of the HF path, nearest capsule (mode 1) or mean of a
    // triangle (mode 2), to a wave from the given angle off the look
    // direction, averaged around the look axis and over where the look
    // falls in its cell.
    // With overCell false, the look is at the cell's centre instead.
    std::complex<double> hfReference(int hfMode, double angleDegrees, double hz, bool overCell = true) const;
    // The same as Legendre weights: hfReference = sum h_n P_n(cos angle),
    // to the order the series needs at hz.
    std::vector<std::complex<double>> hfOrderWeights(int hfMode, double hz, bool overCell = true) const;

private:
    RadialModel();
    std::array<double, kMaxOrder + 1> orderNoise_{};
};

// Look directions spread over one hull triangle (one vertex capsule, two
// face-centre capsules; every triangle is alike), each with the capsules of
// its HF cell: the nearest capsule (mode 1) or the triangle's three (mode 2).
struct CellLook {
    Vec3 direction;
    std::vector<int> capsules;
};
const std::vector<CellLook>& cellLooks(int hfMode);
// The same looks, each with the cosines of the angles between it and the
// capsules of its HF cell.
const std::vector<std::vector<double>>& cellCosinesAcrossLooks(int hfMode);
// The same for the one look at the centre of the cell.
const std::vector<std::vector<double>>& cellCentreCosines(int hfMode);

// The reference direction of a pattern: the look direction, or for the
// torus the ring at 90 degrees from it.
double referenceAngleDegrees(const PatternDesign& patternDesign);
// Whether the design takes the HF path averaged over where the look falls
// in its cell (every pattern but the torus, whose ring the capsule at the
// look hears from the side: there the look at the capsule is the reference).
bool hfOverCell(const PatternDesign& patternDesign);

// Weights that the designed filters give the pattern at one frequency,
// normalised to 1 in the reference direction.
OrderWeights heldPatternWeights(const PatternDesign& patternDesign, int variant);
OrderWeights wngLimitedWeights(const OrderWeights& held, double referenceDegrees, double hz, double wngDb);

// White-noise gain (dB, relative to one capsule) of a beam with the given
// effective order weights at hz, in the reference direction.
double whiteNoiseGainDb(const OrderWeights& effective, double referenceDegrees, double hz);

struct ModalFilters {
    std::array<std::vector<double>, kMaxOrder + 1> taps;  // empty: no filter for the order
};
ModalFilters designModalFilters(const PatternDesign& patternDesign, int variant);

// What a pattern's low band delivers in its reference direction for a unit
// plane wave: the order-0 path of the decomposition, delayed by the modal
// latency, and above kAlignFromHz turned to the HF path's phase.
std::complex<double> lowBandShape(const PatternDesign& patternDesign, double hz);

// The order weights the filters realise at hz: M_n(hz) R_n(hz) relative to
// lowBandShape.
std::array<std::complex<double>, kMaxOrder + 1> realisedWeights(const PatternDesign& patternDesign, const ModalFilters& filters,
                                                                 double hz);
// Polar curve of the whole beam (low band and HF path through the
// crossover) at the reference frequency, normalised to its value in the
// reference direction (torus: its largest).
std::vector<float> designedPolarCurve(const PatternDesign& patternDesign, const ModalFilters& filters);

}  // namespace orvelan::design
