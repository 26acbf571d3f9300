#include "beamformer/design/crossover_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <map>
#include <mutex>
#include <utility>

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/rigid_sphere.h"
#include "beamformer/design/triangle_correction.h"

namespace orvelan::design {

namespace {
constexpr double kPi = std::numbers::pi;

// The HF path's on-axis response (before its delay) at each of those looks,
// the triangle mean with its correction. The equalisers of every pattern ask
// for the same frequencies: cached.
const std::vector<std::complex<double>>& hfOnAxisAcrossLooks(int hfMode, double hz)
{
    static std::mutex mutex;
    static std::map<std::pair<int, double>, std::vector<std::complex<double>>> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    auto [entry, inserted] = cache.try_emplace({hfMode, hz});
    if (inserted) {
        const double kr = sphereKr(hz);
        const std::vector<Complex> modes = rigidSphereModes(seriesOrderFor(kr), kr);
        for (const auto& look : cellCosinesAcrossLooks(hfMode)) {
            std::complex<double> sum = 0.0;
            for (double x : look) sum += surfacePressure(x, modes);
            sum /= double(look.size());
            if (hfMode == 2) sum *= triangleCorrection(triangleCorrectionWeight(look), hz);
            entry->second.push_back(sum);
        }
    }
    return entry->second;
}

// The equaliser's target magnitude: the inverse of the beam's on-axis level,
// centred (in dB) on the range that level takes as the look moves over an
// HF cell; for the torus, measured on its ring with the look at a capsule.
double onAxisLevel(const PatternDesign& patternDesign, const ModalFilters& filters, const CrossoverPair& crossover, double hz)
{
    if (patternDesign.family == PatternFamily::Torus) return std::abs(combinedResponse(patternDesign, filters, crossover, hz));
    const auto d = realisedWeights(patternDesign, filters, hz);
    std::complex<double> pattern = 0.0;
    for (int n = 0; n <= kMaxOrder; ++n) pattern += d[n];
    const std::complex<double> low = lowBandShape(patternDesign, hz) * pattern * firResponse(crossover.lowPass, hz);
    const std::complex<double> highPass = firResponse(crossover.highPass, hz) * delayResponse(kModalLatency, hz);
    double lowest = 1e300, highest = 0.0;
    for (const std::complex<double>& hf : hfOnAxisAcrossLooks(patternDesign.hfMode, hz)) {
        const double level = std::abs(low + hf * highPass);
        lowest = std::min(lowest, level);
        highest = std::max(highest, level);
    }
    return std::sqrt(lowest * highest);
}
}  // namespace

std::complex<double> hfPathResponse(const PatternDesign& patternDesign, double hz)
{
    return RadialModel::instance().hfReference(patternDesign.hfMode, referenceAngleDegrees(patternDesign), hz, hfOverCell(patternDesign)) *
           delayResponse(kModalLatency, hz);
}

std::complex<double> combinedResponse(const PatternDesign& patternDesign, const ModalFilters& filters,
                                      const CrossoverPair& crossover, double hz)
{
    const auto d = realisedWeights(patternDesign, filters, hz);
    const double x = std::cos(referenceAngleDegrees(patternDesign) * kPi / 180.0);
    std::complex<double> pattern = 0.0;
    for (int n = 0; n <= kMaxOrder; ++n) pattern += d[n] * legendre(n, x);
    const std::complex<double> low = lowBandShape(patternDesign, hz) * pattern;
    return low * firResponse(crossover.lowPass, hz) + hfPathResponse(patternDesign, hz) * firResponse(crossover.highPass, hz);
}

std::vector<double> designEq(const PatternDesign& patternDesign, const ModalFilters& filters, const CrossoverPair& crossover)
{
    static const LeastSquaresFir fitter(kEqLength, [](double hz) { return hz >= 100.0 && hz <= 16000.0 ? 1.0 : 0.05; });
    const double limit = std::pow(10.0, kEqLimitDb / 20.0);
    const int groupDelay = (kEqLength - 1) / 2;
    return fitter.fit([&](double hz) {
        const double gain =
            std::clamp(1.0 / onAxisLevel(patternDesign, filters, crossover, std::max(hz, 20.0)), 1.0 / limit, limit);
        return gain * delayResponse(groupDelay, hz);
    });
}

}  // namespace orvelan::design
