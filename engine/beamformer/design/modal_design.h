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
// The FIRs centre at tap 125 and carry the phase of the HF path's on-axis
// response, so the low band and the HF path add without a notch; in
// magnitude the low band follows the order-0 path of the decomposition.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "beam_patterns.h"
#include "pattern_catalogue.h"

namespace orvelan::design {

inline constexpr double kReferenceHz = 2000.0;

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
    // Response of the HF path with the look direction at the centre of its
    // cell, nearest capsule (mode 1) or mean of a triangle (mode 2), to a
    // wave from the given angle off the look direction (mode 2: on axis).
    std::complex<double> hfReference(int hfMode, double angleDegrees, double hz) const;

private:
    RadialModel();
    std::array<double, kMaxOrder + 1> orderNoise_{};
};

// The reference direction of a pattern: the look direction, or for the
// torus the ring at 90 degrees from it.
double referenceAngleDegrees(const PatternSpec& spec);

// Weights that the designed filters give the pattern at one frequency,
// normalised to 1 in the reference direction.
OrderWeights heldPatternWeights(const PatternSpec& spec, int variant);
OrderWeights wngLimitedWeights(const OrderWeights& held, double referenceDegrees, double hz, double wngDb);

// White-noise gain (dB, relative to one capsule) of a beam with the given
// effective order weights at hz, in the reference direction.
double whiteNoiseGainDb(const OrderWeights& effective, double referenceDegrees, double hz);

struct ModalFilters {
    std::array<std::vector<double>, kMaxOrder + 1> taps;  // empty: no filter for the order
};
ModalFilters designModalFilters(const PatternSpec& spec, int variant);

// What the low band delivers in the reference direction for a unit plane
// wave: the modal latency, the order-0 path's magnitude, the HF path's phase.
std::complex<double> lowBandResponse(const PatternSpec& spec, double hz);

// The order weights the filters realise at hz: M_n(hz) R_n(hz) relative to
// the low band's on-axis response (see lowBandResponse).
std::array<std::complex<double>, kMaxOrder + 1> realisedWeights(const PatternSpec& spec, const ModalFilters& filters,
                                                                 double hz);
// Polar curve of the designed filters at the reference frequency,
// normalised to its value in the reference direction (torus: its largest).
std::vector<float> designedPolarCurve(const PatternSpec& spec, const ModalFilters& filters);

}  // namespace orvelan::design
