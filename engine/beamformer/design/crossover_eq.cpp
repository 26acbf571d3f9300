#include "beamformer/design/crossover_eq.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <map>
#include <mutex>
#include <tuple>

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/rigid_sphere.h"
#include "beamformer/design/triangle_correction.h"

namespace orvelan::design {

namespace {
constexpr double kPi = std::numbers::pi;

// Points around the torus's ring at which the equaliser measures it.
constexpr int kRingPoints = 8;

// The cosines between the capsules of a look's HF cell and points of its
// ring, 90 degrees from the look, spread around it.
std::vector<std::vector<double>> ringCosines(const CellLook& look)
{
    std::vector<std::vector<double>> points;
    for (int i = 0; i < kRingPoints; ++i) {
        const Vec3 ring = offsetVector(look.direction, 90.0, 360.0 * i / kRingPoints);
        std::vector<double> cosines;
        for (int capsule : look.capsules) cosines.push_back(dot(ring, capsuleVectors()[capsule]));
        points.push_back(cosines);
    }
    return points;
}

// The HF path's response (before its delay) at each of those looks, the
// triangle mean with its correction, to a wave from the look direction
// (onRing false) or from points around its ring. The equalisers of every
// pattern ask for the same frequencies: cached.
const std::vector<std::complex<double>>& hfAcrossLooks(int hfMode, double hz, bool onRing)
{
    static std::mutex mutex;
    static std::map<std::tuple<int, double, bool>, std::vector<std::complex<double>>> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    auto [entry, inserted] = cache.try_emplace({hfMode, hz, onRing});
    if (inserted) {
        const double kr = sphereKr(hz);
        const std::vector<Complex> modes = rigidSphereModes(seriesOrderFor(kr), kr);
        const auto& looks = cellCosinesAcrossLooks(hfMode);
        for (std::size_t i = 0; i < looks.size(); ++i) {
            const double correction = triangleCorrectionWeight(looks[i]);
            const auto sources = onRing ? ringCosines(cellLooks(hfMode)[i]) : std::vector<std::vector<double>>{looks[i]};
            for (const auto& source : sources) {
                std::complex<double> sum = 0.0;
                for (double x : source) sum += surfacePressure(x, modes);
                sum /= double(source.size());
                if (hfMode == 2) sum *= triangleCorrection(correction, hz);
                entry->second.push_back(sum);
            }
        }
    }
    return entry->second;
}

// The equaliser's target magnitude: the inverse of the beam's level in its
// reference direction, centred (in dB) on the range that level takes as the
// look moves over an HF cell: on the axis, or for the torus all round its
// ring, where the cell's capsules hear it from the side.
double referenceLevel(const PatternDesign& patternDesign, const ModalFilters& filters, const CrossoverPair& crossover, double hz)
{
    const auto d = realisedWeights(patternDesign, filters, hz);
    const double x = std::cos(referenceAngleDegrees(patternDesign) * kPi / 180.0);
    std::complex<double> pattern = 0.0;
    for (int n = 0; n <= kMaxOrder; ++n) pattern += d[n] * legendre(n, x);
    const std::complex<double> low = lowBandShape(patternDesign, hz) * pattern * firResponse(crossover.lowPass, hz);
    const std::complex<double> highPass = firResponse(crossover.highPass, hz) * delayResponse(kModalLatency, hz);
    double lowest = 1e300, highest = 0.0;
    for (const std::complex<double>& hf : hfAcrossLooks(patternDesign.hfMode, hz, patternDesign.family == PatternFamily::Torus)) {
        const double level = std::abs(low + hf * highPass);
        lowest = std::min(lowest, level);
        highest = std::max(highest, level);
    }
    return std::sqrt(lowest * highest);
}
}  // namespace

std::vector<double> designEq(const PatternDesign& patternDesign, const ModalFilters& filters, const CrossoverPair& crossover)
{
    static const LeastSquaresFir fitter(kEqLength, [](double hz) { return hz >= 100.0 && hz <= 16000.0 ? 1.0 : 0.05; });
    const double limit = std::pow(10.0, kEqLimitDb / 20.0);
    const int groupDelay = (kEqLength - 1) / 2;
    return fitter.fit([&](double hz) {
        const double gain =
            std::clamp(1.0 / referenceLevel(patternDesign, filters, crossover, std::max(hz, 20.0)), 1.0 / limit, limit);
        return gain * delayResponse(groupDelay, hz);
    });
}

}  // namespace orvelan::design
