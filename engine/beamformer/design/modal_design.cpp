#include "beamformer/design/modal_design.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/crossover.h"
#include "beamformer/design/encoder.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/radial_biquads.h"
#include "beamformer/design/rigid_sphere.h"

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

std::vector<float> curveOf(const std::vector<std::complex<double>>& d)
{
    std::vector<float> curve(kCurvePoints);
    for (int i = 0; i < kCurvePoints; ++i) {
        const double x = std::cos(i * kCurveStepDegrees * kPi / 180.0);
        std::complex<double> v = 0.0;
        for (std::size_t n = 0; n < d.size(); ++n) v += d[n] * legendre(static_cast<int>(n), x);
        curve[i] = static_cast<float>(std::abs(v));
    }
    return curve;
}

// Look directions spread over one hull triangle (one vertex capsule, two
// face-centre capsules; every triangle is alike), each with the capsules of
// its HF cell: the nearest capsule (mode 1) or the triangle's three (mode 2).
std::vector<CellLook> looksOverOneTriangle(int hfMode)
{
    const Triangle& t = capsuleTriangles()[0];
    const auto& v = capsuleVectors();
    constexpr int kSteps = 8;
    std::vector<CellLook> looks;
    for (int i = 0; i <= kSteps; ++i)
        for (int j = 0; i + j <= kSteps; ++j) {
            const double a = double(i) / kSteps, b = double(j) / kSteps, c = 1.0 - a - b;
            Vec3 look{a * v[t[0]].x + b * v[t[1]].x + c * v[t[2]].x, a * v[t[0]].y + b * v[t[1]].y + c * v[t[2]].y,
                      a * v[t[0]].z + b * v[t[1]].z + c * v[t[2]].z};
            const double norm = std::sqrt(dot(look, look));
            look = {look.x / norm, look.y / norm, look.z / norm};
            if (hfMode == 1)
                looks.push_back({look, {nearestCapsule(look)}});
            else
                looks.push_back({look, std::vector<int>(t.begin(), t.end())});
        }
    return looks;
}

// The cosines of the angles between each of those looks and its cell's capsules.
std::vector<std::vector<double>> lookCellCosines(int hfMode)
{
    const auto& v = capsuleVectors();
    std::vector<std::vector<double>> looks;
    for (const CellLook& look : cellLooks(hfMode)) {
        std::vector<double> cosines;
        for (int capsule : look.capsules) cosines.push_back(dot(look.direction, v[capsule]));
        looks.push_back(cosines);
    }
    return looks;
}

}  // namespace

// The look at the centre of its cell: at the capsule (mode 1) or the
// triangle's centre (mode 2).
const std::vector<std::vector<double>>& cellCentreCosines(int hfMode)
{
    static const std::vector<std::vector<double>> cosines[2] = {{{1.0}}, [] {
        const Triangle& t = capsuleTriangles()[0];
        const auto& v = capsuleVectors();
        Vec3 centre{};
        for (int c : t) centre = {centre.x + v[c].x, centre.y + v[c].y, centre.z + v[c].z};
        const double norm = std::sqrt(dot(centre, centre));
        std::vector<double> look;
        for (int c : t) look.push_back(dot(centre, v[c]) / norm);
        return std::vector<std::vector<double>>{look};
    }()};
    return cosines[hfMode == 1 ? 0 : 1];
}

const std::vector<CellLook>& cellLooks(int hfMode)
{
    static const std::vector<CellLook> looks[2] = {looksOverOneTriangle(1), looksOverOneTriangle(2)};
    return looks[hfMode == 1 ? 0 : 1];
}

const std::vector<std::vector<double>>& cellCosinesAcrossLooks(int hfMode)
{
    static const std::vector<std::vector<double>> cosines[2] = {lookCellCosines(1), lookCellCosines(2)};
    return cosines[hfMode == 1 ? 0 : 1];
}

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

std::vector<std::complex<double>> RadialModel::hfOrderWeights(int hfMode, double hz, bool overCell) const
{
    const double kr = sphereKr(hz);
    std::vector<Complex> weights = rigidSphereModes(seriesOrderFor(kr), kr);
    // A capsule at angle a from the look hears a wave at angle g from it with
    // sum (2n+1) b_n P_n(cos(angle between them)); around the look axis this
    // averages to sum (2n+1) b_n P_n(cos a) P_n(cos g). Averaged as well over
    // where the look falls in its cell.
    const auto& looks = overCell ? cellCosinesAcrossLooks(hfMode) : cellCentreCosines(hfMode);
    for (std::size_t n = 0; n < weights.size(); ++n) {
        double mean = 0;
        for (const auto& look : looks)
            for (double x : look) mean += legendre(static_cast<int>(n), x) / double(look.size());
        weights[n] *= (2.0 * double(n) + 1.0) * mean / double(looks.size());
    }
    return weights;
}

std::complex<double> RadialModel::hfReference(int hfMode, double angleDegrees, double hz, bool overCell) const
{
    const std::vector<Complex> h = hfOrderWeights(hfMode, hz, overCell);
    const double x = std::cos(angleDegrees * kPi / 180.0);
    std::complex<double> sum = 0.0;
    for (std::size_t n = 0; n < h.size(); ++n) sum += h[n] * legendre(static_cast<int>(n), x);
    return sum;
}

double referenceAngleDegrees(const PatternDesign& patternDesign) { return patternDesign.family == PatternFamily::Torus ? 90.0 : 0.0; }

bool hfOverCell(const PatternDesign& patternDesign) { return patternDesign.family != PatternFamily::Torus; }

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

OrderWeights heldPatternWeights(const PatternDesign& patternDesign, int variant)
{
    const OrderWeights nominal = patternWeights(patternDesign.family, patternDesign.order);
    const double reference = referenceAngleDegrees(patternDesign);
    const auto q = qualities(kReferenceHz);
    auto curveFor = [&](double lambda) {
        const OrderWeights d = shrink(nominal, q, lambda);
        return curveOf(std::vector<std::complex<double>>(d.begin(), d.end()));
    };
    // Widths are carried in whole degrees, rounded up: broaden only when the
    // family's pattern is clearly narrower than the record says.
    double lambda = 0.0;
    const double width = patternDesign.beamWidths[variant];
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
    if (hz <= 2500.0) return 4.0;  // where the bands' latency and the beam widths are held
    if (hz <= 6000.0) return 1.0;
    if (hz <= 9000.0) return 1.0 - 0.95 * (hz - 6000.0) / 3000.0;
    return 0.05;
}

const LeastSquaresFir& modalFitter()
{
    static const LeastSquaresFir fitter(kModalLength, modalFitWeight);
    return fitter;
}

// Weight of the low band's sum in the reference direction, relative to the
// order-0 path: where its latency is held, faded out towards the crossover.
// Below about 400 Hz the higher orders' filters turn where the
// white-noise-gain limit starts to bind; holding their sum there too would
// cost the beam up to 2 dB of its white-noise gain, so the weight fades in
// only above that.
double referenceFitWeight(double hz)
{
    constexpr double kWeight = 1.0;
    constexpr double kFadeInFrom = 300.0, kFullFrom = 480.0, kFullTo = 2600.0, kNoneFrom = 3600.0;
    if (hz <= kFadeInFrom || hz >= kNoneFrom) return 0.0;
    if (hz < kFullFrom) return kWeight * (0.5 - 0.5 * std::cos(kPi * (hz - kFadeInFrom) / (kFullFrom - kFadeInFrom)));
    if (hz > kFullTo) return kWeight * (0.5 + 0.5 * std::cos(kPi * (hz - kFullTo) / (kNoneFrom - kFullTo)));
    return kWeight;
}

// The share of the HF path (delayed by the modal latency, as the chain does)
// that the crossover's high-pass lets into the low band's range, relative to
// the low band: the modal filters make up for
// it up to just below the crossover (above it the HF path takes over).
std::complex<double> highPassLeak(const PatternDesign& patternDesign, const CrossoverPair& crossover, double hz)
{
    constexpr double kFullTo = 2500.0, kNoneFrom = 3300.0;
    if (hz >= kNoneFrom) return 0.0;
    const double x = std::clamp((hz - kFullTo) / (kNoneFrom - kFullTo), 0.0, 1.0);
    const double fade = 0.5 + 0.5 * std::cos(kPi * x);
    return fade * firResponse(crossover.highPass, hz) * delayResponse(kModalLatency, hz) /
           (lowBandShape(patternDesign, hz) * firResponse(crossover.lowPass, hz));
}

// Level the low band takes in the reference direction, relative to its
// shape, for the HF path's share through the crossover there (relative to
// the low band through the low-pass). Every pattern but the torus keeps 1:
// the capsule at its look hears its axis almost in phase with the low band.
// The torus's ring that capsule hears from the side, up to a quarter period
// behind the low band until the phases are aligned above the reference
// frequency; the share then adds in quadrature and digs a notch of up to
// 1.5 dB into the crossover, too narrow for the 31-tap equaliser, whose
// attempt tilts the ring over the whole low band. There the low band makes
// up the level the two bands would have in phase (the crossover's passband
// ripple, where the high-pass changes sign, subtracting as it would). The
// gain is real: the low band keeps its phase, and so the shared latency.
double referenceLevel(const PatternDesign& patternDesign, const CrossoverPair& crossover, const std::complex<double>& share,
                      double hz)
{
    if (patternDesign.family != PatternFamily::Torus) return 1.0;
    // The high-pass over the low-pass, both linear-phase about one centre: real.
    const double sign = std::real(firResponse(crossover.highPass, hz) / firResponse(crossover.lowPass, hz)) < 0.0 ? -1.0 : 1.0;
    const double inPhase = 1.0 + sign * std::abs(share);
    return std::sqrt(std::max(inPhase * inPhase - share.imag() * share.imag(), 0.0)) - share.real();
}

// Order weights of the low band that, with the HF path's share added
// through the crossover, give the beam the pattern d (normalised to 1 in
// the reference direction) around the crossover too, the low band at its
// reference level.
std::array<std::complex<double>, kMaxOrder + 1> leakCompensated(const PatternDesign& patternDesign, const CrossoverPair& crossover,
                                                                 const OrderWeights& d, const std::complex<double>& leak,
                                                                 double hz)
{
    std::array<std::complex<double>, kMaxOrder + 1> e{};
    for (int n = 0; n <= kMaxOrder; ++n) e[n] = d[n];
    if (leak == 0.0) return e;
    const bool overCell = hfOverCell(patternDesign);
    const std::vector<std::complex<double>> h = RadialModel::instance().hfOrderWeights(patternDesign.hfMode, hz, overCell);
    const std::complex<double> hfReference =
        RadialModel::instance().hfReference(patternDesign.hfMode, referenceAngleDegrees(patternDesign), hz, overCell);
    const double level = referenceLevel(patternDesign, crossover, hfReference * leak, hz);
    for (int n = 0; n <= kMaxOrder; ++n) e[n] = d[n] * level + (d[n] * hfReference - h[n]) * leak;
    return e;
}

}  // namespace

std::complex<double> lowBandShape(const PatternDesign& patternDesign, double hz)
{
    const RadialModel& model = RadialModel::instance();
    const std::complex<double> order0 = model.radialResponse(0, hz) / encoderScale();
    // From just above the reference frequency the phase turns to the HF
    // path's in the reference direction, so that the two bands add without a
    // notch at the crossover; below it every pattern has the same phase. A
    // single tap (omni) cannot turn it; its HF path is within 15 degrees.
    double alignment = 0.0;
    if (patternDesign.modalLength > 1 && hz > kAlignFromHz) {
        const double x = std::min((hz - kAlignFromHz) / (kAlignedFromHz - kAlignFromHz), 1.0);
        const std::complex<double> hf = model.hfReference(patternDesign.hfMode, referenceAngleDegrees(patternDesign), hz, hfOverCell(patternDesign));
        alignment = std::arg(hf / order0) * x * x * (3.0 - 2.0 * x);
    }
    return order0 * std::polar(1.0, alignment) * delayResponse(kModalLatency, hz);
}

ModalFilters designModalFilters(const PatternDesign& patternDesign, int variant)
{
    ModalFilters filters;
    if (patternDesign.modalLength == 1) {
        // One tap, aligned by the modal stage: the biquads alone equalise order 0.
        filters.taps[0] = {1.0 / encoderScale()};
        return filters;
    }
    const OrderWeights held = heldPatternWeights(patternDesign, variant);
    const double reference = referenceAngleDegrees(patternDesign);
    const double wngDb = patternDesign.variantValues[variant];
    const CrossoverPair crossover = designCrossover(patternDesign);
    const auto& grid = modalFitter().gridHz();
    const RadialModel& model = RadialModel::instance();
    const double x = std::cos(reference * kPi / 180.0);
    std::array<std::vector<std::complex<double>>, kMaxOrder + 1> targets;
    std::array<std::vector<std::complex<double>>, kMaxOrder + 1> paths;
    std::vector<std::complex<double>> referenceTarget;
    std::vector<double> referenceWeight;
    bool used[kMaxOrder + 1] = {};
    for (double hz : grid) {
        std::array<std::complex<double>, kMaxOrder + 1> e{};
        if (hz > 0.0) {
            const OrderWeights d = wngLimitedWeights(held, reference, hz, wngDb);
            e = leakCompensated(patternDesign, crossover, d, highPassLeak(patternDesign, crossover, hz), hz);
        }
        const std::complex<double> common = hz > 0.0 ? lowBandShape(patternDesign, hz) : 0.0;
        std::complex<double> wanted = 0.0;
        for (int n = 0; n <= kMaxOrder; ++n) {
            const std::complex<double> r = model.radialResponse(n, hz);
            targets[n].push_back(std::abs(r) > 0.0 ? common * e[n] / r : 0.0);
            paths[n].push_back(r * legendre(n, x));
            wanted += common * e[n] * legendre(n, x);
            used[n] = used[n] || e[n] != 0.0;
        }
        referenceTarget.push_back(wanted);
        const double order0 = std::norm(model.radialResponse(0, hz));
        referenceWeight.push_back(order0 > 0.0 ? referenceFitWeight(hz) / order0 : 0.0);
    }
    // The orders are fitted together: each to its own target, and their sum
    // in the reference direction to the low band's one shape there. Alone,
    // each order's 251 taps ring a little where its target turns (where the
    // white-noise-gain limit starts to bind) and in the reference direction
    // the orders' ripples add up to a sample of group delay; together they
    // share out what none can reach so that the sum holds the latency.
    std::vector<int> orders;
    std::vector<std::vector<std::complex<double>>> ownTargets, ownPaths;
    for (int n = 0; n <= kMaxOrder; ++n)
        if (used[n]) {
            orders.push_back(n);
            ownTargets.push_back(targets[n]);
            ownPaths.push_back(paths[n]);
        }
    const auto fitted = modalFitter().fitJointly(ownTargets, ownPaths, referenceTarget, referenceWeight);
    // Orders the pattern does not use still get a (silent) filter: every
    // record carries 251 taps for every order.
    for (int n = 0; n <= kMaxOrder; ++n) filters.taps[n] = std::vector<double>(kModalLength, 0.0);
    for (std::size_t j = 0; j < orders.size(); ++j) filters.taps[orders[j]] = fitted[j];
    return filters;
}

std::array<std::complex<double>, kMaxOrder + 1> realisedWeights(const PatternDesign& patternDesign, const ModalFilters& filters,
                                                                double hz)
{
    std::array<std::complex<double>, kMaxOrder + 1> d{};
    // The modal stage delays every filter to the same latency: a filter of
    // L taps gets 125 - (L - 1) / 2 samples of alignment delay.
    const std::complex<double> shape = lowBandShape(patternDesign, hz);
    for (int n = 0; n <= kMaxOrder; ++n)
        if (!filters.taps[n].empty()) {
            const int alignment = kModalLatency - (static_cast<int>(filters.taps[n].size()) - 1) / 2;
            d[n] = firResponse(filters.taps[n], hz) * delayResponse(alignment, hz) *
                   RadialModel::instance().radialResponse(n, hz) / shape;
        }
    return d;
}

std::vector<float> designedPolarCurve(const PatternDesign& patternDesign, const ModalFilters& filters)
{
    // The whole beam at the reference frequency: the low band through the
    // crossover's low-pass, the HF path's share through its high-pass.
    const double hz = kReferenceHz;
    const CrossoverPair crossover = designCrossover(patternDesign);
    const auto low = realisedWeights(patternDesign, filters, hz);
    const std::complex<double> lowPass = firResponse(crossover.lowPass, hz);
    const std::complex<double> leak =
        firResponse(crossover.highPass, hz) * delayResponse(kModalLatency, hz) / lowBandShape(patternDesign, hz);
    std::vector<std::complex<double>> beam = RadialModel::instance().hfOrderWeights(patternDesign.hfMode, hz, hfOverCell(patternDesign));
    // A single tap cannot make up for the HF path's share: one-tap patterns
    // keep the curve of their low band (the share is a quarter of a percent).
    for (std::size_t n = 0; n < beam.size(); ++n) beam[n] *= patternDesign.modalLength > 1 ? leak : 0.0;
    for (int n = 0; n <= kMaxOrder; ++n) beam[n] += low[n] * lowPass;
    std::vector<float> curve = curveOf(beam);
    const int referenceIndex = static_cast<int>(referenceAngleDegrees(patternDesign) / kCurveStepDegrees);
    float scale = curve[referenceIndex];
    if (patternDesign.family == PatternFamily::Torus)
        for (float v : curve) scale = std::max(scale, v);
    for (float& v : curve) v /= scale;
    return curve;
}

}  // namespace orvelan::design
