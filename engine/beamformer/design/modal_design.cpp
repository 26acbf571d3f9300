#include "modal_design.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "array_geometry.h"
#include "encoder.h"
#include "fir_design.h"
#include "radial_biquads.h"
#include "rigid_sphere.h"

namespace orvelan::design {

namespace {

constexpr double kPi = std::numbers::pi;

// Largest regularisation the searches consider, relative to the order
// qualities; beyond it the beam is as robust as this pattern family gets.
constexpr double kMaxRegularisation = 1e9;

OrderWeights shrink(const OrderWeights& d, const std::array<double, kMaxOrder + 1>& quality, double lambda)
{
    OrderWeights e{};
    for (int n = 0; n <= kMaxOrder; ++n) e[n] = d[n] * quality[n] / (quality[n] + lambda);
    return e;
}

OrderWeights normalisedAt(OrderWeights d, double referenceDegrees)
{
    const double value = patternValue(d, referenceDegrees);
    for (double& v : d) v /= value;
    return d;
}

std::array<double, kMaxOrder + 1> qualities(double hz)
{
    std::array<double, kMaxOrder + 1> q{};
    for (int n = 0; n <= kMaxOrder; ++n) q[n] = RadialModel::instance().orderQuality(n, hz);
    return q;
}

// Smallest lambda in [0, kMaxRegularisation] for which accept(lambda) holds:
// a geometric scan finds the first accepted step (the criteria need not be
// monotone far from it), then bisection refines it; kMaxRegularisation when
// nothing is accepted.
template <typename Accept>
double smallestRegularisation(Accept accept)
{
    if (accept(0.0)) return 0.0;
    double previous = 0.0;
    for (double lambda = 1e-9; lambda < kMaxRegularisation; lambda *= 1.25) {
        if (accept(lambda)) {
            double lo = previous, hi = lambda;
            for (int i = 0; i < 40; ++i) {
                const double mid = 0.5 * (lo + hi);
                (accept(mid) ? hi : lo) = mid;
            }
            return hi;
        }
        previous = lambda;
    }
    return kMaxRegularisation;
}

std::vector<float> curveOf(const std::array<std::complex<double>, kMaxOrder + 1>& d)
{
    std::vector<float> curve(kCurvePoints);
    for (int i = 0; i < kCurvePoints; ++i) {
        const double x = std::cos(i * kCurveStepDegrees * kPi / 180.0);
        std::complex<double> v = 0.0;
        for (int n = 0; n <= kMaxOrder; ++n) v += d[n] * legendre(n, x);
        curve[i] = static_cast<float>(std::abs(v));
    }
    return curve;
}

}  // namespace

RadialModel::RadialModel()
{
    const Matrix<double> encoder = designEncoderMatrix();
    // Average the noise over a spread of look directions (it hardly depends
    // on them: the capsules almost integrate products of harmonics exactly).
    const int rings = 19, perRing = 36;
    for (int r = 0; r < rings; ++r)
        for (int a = 0; a < perRing; ++a) {
            const double theta = 180.0 * (r + 0.5) / rings;
            const ComponentVector w = steeringWeights({theta, 360.0 * a / perRing});
            const double area = std::sin(theta * kPi / 180.0);
            for (int n = 0; n <= kMaxOrder; ++n) {
                double power = 0;
                for (int c = 0; c < kCapsuleCount; ++c) {
                    double g = 0;
                    for (int m = -n; m <= n; ++m) g += encoder(componentIndex(n, m), c) * w[componentIndex(n, m)];
                    power += g * g;
                }
                orderNoise_[n] += area * power;
            }
        }
    double areaSum = 0;
    for (int r = 0; r < rings; ++r) areaSum += perRing * std::sin(180.0 * (r + 0.5) / rings * kPi / 180.0);
    for (double& v : orderNoise_) v /= areaSum;
}

const RadialModel& RadialModel::instance()
{
    static const RadialModel model;
    return model;
}

std::complex<double> RadialModel::radialResponse(int order, double hz) const
{
    return encoderScale() * (2.0 * order + 1.0) * rigidSphereMode(order, sphereKr(hz)) *
           radialBiquadResponse(order, hz, kDesignRate);
}

double RadialModel::orderQuality(int order, double hz) const
{
    // The biquads scale signal and noise alike and drop out.
    const double s = encoderScale() * (2.0 * order + 1.0);
    return s * s * std::norm(rigidSphereMode(order, sphereKr(hz))) / orderNoise_[order];
}

std::complex<double> RadialModel::hfReference(int hfMode, double angleDegrees, double hz) const
{
    const double kr = sphereKr(hz);
    const std::vector<Complex> modes = rigidSphereModes(seriesOrderFor(kr), kr);
    if (hfMode == 1) return surfacePressure(std::cos(angleDegrees * kPi / 180.0), modes);
    // All 60 triangles are alike (one vertex capsule, two face-centre capsules).
    const Triangle& t = capsuleTriangles()[0];
    const auto& v = capsuleVectors();
    Vec3 centre{};
    for (int c : t) centre = {centre.x + v[c].x, centre.y + v[c].y, centre.z + v[c].z};
    const double norm = std::sqrt(dot(centre, centre));
    std::complex<double> sum = 0.0;
    for (int c : t) sum += surfacePressure(dot(centre, v[c]) / norm, modes);
    return sum / 3.0;
}

double referenceAngleDegrees(const PatternSpec& spec) { return spec.family == PatternFamily::Torus ? 90.0 : 0.0; }

namespace {
double whiteNoiseGainDb(const OrderWeights& effective, double referenceDegrees,
                        const std::array<double, kMaxOrder + 1>& q)
{
    double noise = 0;
    for (int n = 0; n <= kMaxOrder; ++n)
        if (effective[n] != 0.0) noise += effective[n] * effective[n] / q[n];
    const double response = patternValue(effective, referenceDegrees);
    return 10.0 * std::log10(response * response / noise);
}
}  // namespace

double whiteNoiseGainDb(const OrderWeights& effective, double referenceDegrees, double hz)
{
    return whiteNoiseGainDb(effective, referenceDegrees, qualities(hz));
}

OrderWeights heldPatternWeights(const PatternSpec& spec, int variant)
{
    const OrderWeights nominal = patternWeights(spec.family, spec.order);
    const double reference = referenceAngleDegrees(spec);
    const auto q = qualities(kReferenceHz);
    auto curveFor = [&](double lambda) {
        const OrderWeights d = shrink(nominal, q, lambda);
        std::array<std::complex<double>, kMaxOrder + 1> c{};
        for (int n = 0; n <= kMaxOrder; ++n) c[n] = d[n];
        return curveOf(c);
    };
    // Widths are carried in whole degrees, rounded up: broaden only when the
    // family's pattern is clearly narrower than the record says.
    double lambda = 0.0;
    const double width = spec.beamWidths[variant];
    if (width < 360.0 && beamWidthDegrees(curveFor(0.0)) < width - 1.5)
        lambda = smallestRegularisation([&](double l) { return beamWidthDegrees(curveFor(l)) >= width - 0.5; });
    return normalisedAt(shrink(nominal, q, lambda), reference);
}

OrderWeights wngLimitedWeights(const OrderWeights& held, double referenceDegrees, double hz, double wngDb)
{
    const auto q = qualities(hz);
    const double lambda = smallestRegularisation(
        [&](double l) { return whiteNoiseGainDb(shrink(held, q, l), referenceDegrees, q) >= wngDb; });
    return normalisedAt(shrink(held, q, lambda), referenceDegrees);
}

namespace {

// Least-squares weighting: the low band up to well past the crossover
// matters; the top of the band only needs to stay tame.
double modalFitWeight(double hz)
{
    if (hz < 60.0) return 0.1;
    if (hz <= 6000.0) return 1.0;
    if (hz <= 9000.0) return 1.0 - 0.95 * (hz - 6000.0) / 3000.0;
    return 0.05;
}

const LeastSquaresFir& modalFitter()
{
    static const LeastSquaresFir fitter(kModalLength, modalFitWeight);
    return fitter;
}

// The low band follows the order-0 path (the biquads' high-pass and low
// gain limit included, which 251 taps could not undo) in magnitude, and
// from a few hundred hertz up the phase of the HF path's on-axis response,
// so that the two bands add in phase across the crossover.
std::complex<double> lowBandShape(const PatternSpec& spec, double hz)
{
    const RadialModel& model = RadialModel::instance();
    const std::complex<double> order0 = model.radialResponse(0, hz) / encoderScale();
    const std::complex<double> hf = model.hfReference(spec.hfMode, referenceAngleDegrees(spec), hz);
    const double fade = std::clamp((hz - 300.0) / 300.0, 0.0, 1.0);
    const double alignment = std::arg(hf / order0) * fade * fade * (3.0 - 2.0 * fade);
    return order0 * std::polar(1.0, alignment) * delayResponse(kModalLatency, hz);
}

}  // namespace

ModalFilters designModalFilters(const PatternSpec& spec, int variant)
{
    ModalFilters filters;
    if (spec.modalLength == 1) {
        // One tap, aligned by the modal stage: the biquads alone equalise order 0.
        filters.taps[0] = {1.0 / encoderScale()};
        return filters;
    }
    const OrderWeights held = heldPatternWeights(spec, variant);
    const double reference = referenceAngleDegrees(spec);
    const double wngDb = spec.variantValues[variant];
    const auto& grid = modalFitter().gridHz();
    std::array<std::vector<std::complex<double>>, kMaxOrder + 1> targets;
    for (double hz : grid) {
        const OrderWeights d = hz > 0.0 ? wngLimitedWeights(held, reference, hz, wngDb) : OrderWeights{};
        const std::complex<double> common = hz > 0.0 ? lowBandShape(spec, hz) : 0.0;
        for (int n = 0; n <= kMaxOrder; ++n) {
            if (held[n] == 0.0) continue;
            const std::complex<double> r = RadialModel::instance().radialResponse(n, hz);
            targets[n].push_back(std::abs(r) > 0.0 ? common * d[n] / r : 0.0);
        }
    }
    // Orders the pattern does not use still get a (silent) filter: every
    // record carries 251 taps for every order.
    for (int n = 0; n <= kMaxOrder; ++n)
        filters.taps[n] = held[n] != 0.0 ? modalFitter().fit(targets[n]) : std::vector<double>(kModalLength, 0.0);
    return filters;
}

std::complex<double> lowBandResponse(const PatternSpec& spec, double hz)
{
    if (spec.modalLength > 1) return lowBandShape(spec, hz);
    // A single tap leaves the order-0 path as the biquads make it.
    return RadialModel::instance().radialResponse(0, hz) / encoderScale() * delayResponse(kModalLatency, hz);
}

std::array<std::complex<double>, kMaxOrder + 1> realisedWeights(const PatternSpec& spec, const ModalFilters& filters,
                                                                double hz)
{
    std::array<std::complex<double>, kMaxOrder + 1> d{};
    // The modal stage delays every filter to the same latency: a filter of
    // L taps gets 125 - (L - 1) / 2 samples of alignment delay.
    const std::complex<double> shape = lowBandResponse(spec, hz);
    for (int n = 0; n <= kMaxOrder; ++n)
        if (!filters.taps[n].empty()) {
            const int alignment = kModalLatency - (static_cast<int>(filters.taps[n].size()) - 1) / 2;
            d[n] = firResponse(filters.taps[n], hz) * delayResponse(alignment, hz) *
                   RadialModel::instance().radialResponse(n, hz) / shape;
        }
    return d;
}

std::vector<float> designedPolarCurve(const PatternSpec& spec, const ModalFilters& filters)
{
    std::vector<float> curve = curveOf(realisedWeights(spec, filters, kReferenceHz));
    const int referenceIndex = static_cast<int>(referenceAngleDegrees(spec) / kCurveStepDegrees);
    float scale = curve[referenceIndex];
    if (spec.family == PatternFamily::Torus)
        for (float v : curve) scale = std::max(scale, v);
    for (float& v : curve) v /= scale;
    return curve;
}

}  // namespace orvelan::design
