#include "crossover_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "fir_design.h"

namespace orvelan::design {

namespace {
constexpr double kPi = std::numbers::pi;
}

CrossoverPair designCrossover(int length)
{
    CrossoverPair pair;
    pair.lowPass = windowedLowPass(length, kCrossoverHz);
    pair.highPass.assign(length, 0.0);
    for (int t = 0; t < length; ++t) pair.highPass[t] = -pair.lowPass[t];
    pair.highPass[(length - 1) / 2] += 1.0;
    return pair;
}

std::complex<double> hfPathResponse(const PatternSpec& spec, double hz)
{
    return RadialModel::instance().hfReference(spec.hfMode, referenceAngleDegrees(spec), hz) *
           delayResponse(kModalLatency, hz);
}

std::complex<double> combinedResponse(const PatternSpec& spec, const ModalFilters& filters,
                                      const CrossoverPair& crossover, double hz)
{
    const auto d = realisedWeights(spec, filters, hz);
    const double x = std::cos(referenceAngleDegrees(spec) * kPi / 180.0);
    std::complex<double> pattern = 0.0;
    for (int n = 0; n <= kMaxOrder; ++n) pattern += d[n] * legendre(n, x);
    const std::complex<double> low = lowBandResponse(spec, hz) * pattern;
    return low * firResponse(crossover.lowPass, hz) + hfPathResponse(spec, hz) * firResponse(crossover.highPass, hz);
}

std::vector<double> designEq(const PatternSpec& spec, const ModalFilters& filters, const CrossoverPair& crossover)
{
    static const LeastSquaresFir fitter(kEqLength, [](double hz) { return hz >= 100.0 && hz <= 16000.0 ? 1.0 : 0.05; });
    const double limit = std::pow(10.0, kEqLimitDb / 20.0);
    const int groupDelay = (kEqLength - 1) / 2;
    return fitter.fit([&](double hz) {
        const double gain = std::clamp(1.0 / std::abs(combinedResponse(spec, filters, crossover, std::max(hz, 20.0))),
                                       1.0 / limit, limit);
        return gain * delayResponse(groupDelay, hz);
    });
}

}  // namespace orvelan::design
