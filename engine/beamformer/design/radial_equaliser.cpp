#include "beamformer/design/radial_equaliser.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "beamformer/design/array_geometry.h"
#include "beamformer/design/fir_design.h"
#include "beamformer/design/rigid_sphere.h"
#include "beamformer/design/small_linalg.h"
#include "beamformer/design/unimodal_search.h"

namespace orvelan::design {

namespace {

constexpr double kPi = std::numbers::pi;

// Steepness of the mode-0 gain limits: a first-order limit of the order-1
// integrator (and the same high-pass on order 0), steeper ones on orders 2, 3.
constexpr std::array<int, kMaxOrder + 1> kLimitSteepness{1, 1, 3, 4};

std::complex<double> advancedInverse(int order, double hz)
{
    const double kr = sphereKr(hz);
    return std::polar(1.0, kr) / rigidSphereMode(order, kr);
}

double limitShape(int order, double cornerHz, double hz)
{
    return 1.0 / std::sqrt(1.0 + std::pow(cornerHz / hz, 2.0 * kLimitSteepness[order]));
}

// The corner that makes L_n follow |mode-0 cascade / (HP x inverse)| best in
// decibels, from the bottom of the band to where the limit has long ended.
double fitLimitCorner(int order)
{
    auto misfit = [order](double cornerHz) {
        double sum = 0;
        for (double hz = 15.0; hz <= 2000.0; hz *= 1.03) {
            const double realised = std::abs(radialBiquadResponse(order, hz, kDesignRate) /
                                             (biquadResponse(radialHighPass(), hz, kDesignRate) *
                                              advancedInverse(order, hz)));
            const double error = std::log(realised / limitShape(order, cornerHz, hz));
            sum += error * error;
        }
        return sum;
    };
    return minimiseUnimodal(misfit, 5.0, 600.0);
}

const std::array<double, kMaxOrder + 1>& limitCorners()
{
    static const std::array<double, kMaxOrder + 1> corners{fitLimitCorner(0), fitLimitCorner(1), fitLimitCorner(2),
                                                           fitLimitCorner(3)};
    return corners;
}

// Two sections, four parameters each (b1, b2, a1, a2 with b0 = a0 = 1), and
// one common log-gain: every parameter is of order one, which keeps the
// numerical derivatives of the fit below well scaled.
constexpr int kFreeSections = 2;
constexpr int kParameterCount = 4 * kFreeSections + 1;
using SectionParameters = std::array<double, kParameterCount>;

std::array<BiquadSection, kFreeSections> sectionsOf(const SectionParameters& p)
{
    std::array<BiquadSection, kFreeSections> sections{};
    const double gain = std::exp(p[kParameterCount - 1]);
    for (int s = 0; s < kFreeSections; ++s) {
        const double g = s == 0 ? gain : 1.0;
        sections[s] = {g, g * p[4 * s], g * p[4 * s + 1], 1.0, p[4 * s + 2], p[4 * s + 3]};
    }
    return sections;
}

SectionParameters parametersOf(const std::array<BiquadSection, kFreeSections>& sections)
{
    SectionParameters p{};
    double gain = 1.0;
    for (int s = 0; s < kFreeSections; ++s) {
        const BiquadSection& q = sections[s];
        gain *= q.b0;
        p[4 * s] = q.b1 / q.b0;
        p[4 * s + 1] = q.b2 / q.b0;
        p[4 * s + 2] = q.a1;
        p[4 * s + 3] = q.a2;
    }
    p[kParameterCount - 1] = std::log(gain);
    return p;
}

bool stable(const SectionParameters& p)
{
    for (int s = 0; s < kFreeSections; ++s) {
        const double a1 = p[4 * s + 2], a2 = p[4 * s + 3];
        if (!(std::abs(a2) < 1.0 && std::abs(a1) < 1.0 + a2)) return false;
    }
    return true;
}

struct FitPoint {
    double hz;
    std::complex<double> target;  // what the free sections should realise
    double magnitudeWeight;
    double phaseWeight;
};

// Weighted log-domain residuals: magnitude in nepers, phase in radians.
std::vector<double> residuals(const SectionParameters& p, const std::vector<FitPoint>& points)
{
    const auto sections = sectionsOf(p);
    std::vector<double> r;
    r.reserve(2 * points.size());
    for (const FitPoint& point : points) {
        std::complex<double> h = 1.0;
        for (const BiquadSection& q : sections) h *= biquadResponse(q, point.hz, kDesignRate);
        const std::complex<double> error = std::log(h / point.target);
        r.push_back(point.magnitudeWeight * error.real());
        r.push_back(point.phaseWeight * error.imag());
    }
    return r;
}

double squaredNorm(const std::vector<double>& v)
{
    double sum = 0;
    for (double x : v) sum += x * x;
    return sum;
}

// Levenberg-Marquardt from a stable start; every accepted step lowers the
// misfit and keeps the poles inside the unit circle.
std::array<BiquadSection, kFreeSections> fitSections(const std::array<BiquadSection, kFreeSections>& start,
                                                      const std::vector<FitPoint>& points)
{
    SectionParameters p = parametersOf(start);
    std::vector<double> r = residuals(p, points);
    double cost = squaredNorm(r);
    double damping = 1e-3;
    for (int iteration = 0; iteration < 100; ++iteration) {
        Matrix<double> jacobian(r.size(), kParameterCount);
        for (int j = 0; j < kParameterCount; ++j) {
            SectionParameters stepped = p;
            const double step = 1e-7 * std::max(1.0, std::abs(p[j]));
            stepped[j] += step;
            const std::vector<double> rj = residuals(stepped, points);
            for (std::size_t i = 0; i < r.size(); ++i) jacobian(i, j) = (rj[i] - r[i]) / step;
        }
        const Matrix<double> normal = adjoint(jacobian) * jacobian;
        Matrix<double> descent(kParameterCount, 1);
        for (int j = 0; j < kParameterCount; ++j)
            for (std::size_t i = 0; i < r.size(); ++i) descent(j, 0) -= jacobian(i, j) * r[i];
        const double previousCost = cost;
        bool accepted = false;
        while (!accepted && damping < 1e12) {
            Matrix<double> damped = normal;
            for (int j = 0; j < kParameterCount; ++j) damped(j, j) += damping * normal(j, j) + 1e-12;
            const Matrix<double> delta = choleskySolve(damped, descent);
            SectionParameters trial = p;
            for (int j = 0; j < kParameterCount; ++j) trial[j] += delta(j, 0);
            if (stable(trial)) {
                std::vector<double> trialResiduals = residuals(trial, points);
                const double trialCost = squaredNorm(trialResiduals);
                if (trialCost < cost) {
                    p = trial;
                    r = std::move(trialResiduals);
                    cost = trialCost;
                    damping *= 0.3;
                    accepted = true;
                    continue;
                }
            }
            damping *= 10.0;
        }
        if (!accepted || previousCost - cost < 1e-9 * previousCost) break;
    }
    return sectionsOf(p);
}

std::vector<FitPoint> fitPoints(int order, double phaseFromHz)
{
    std::vector<FitPoint> points;
    for (double hz = 20.0; hz <= 18000.0; hz *= 1.02) {
        const std::complex<double> target =
            radialEqualiserTarget(order, hz) / biquadResponse(radialHighPass(), hz, kDesignRate);
        const double inBand = hz <= 16000.0 ? 1.0 : 0.1;
        points.push_back({hz, target, inBand, hz >= phaseFromHz ? inBand : 0.0});
    }
    return points;
}

// Orders 0 and 1 have no FIR to correct them: both sections are fitted in
// magnitude and phase, starting from the mode-0 section and a neutral one: the
// fit can only lower mode 0's misfit.
std::array<BiquadSection, kFreeSections> sectionsForPhase(int order)
{
    const BiquadSection neutral{1.0, 0.0, 0.0, 1.0, 0.0, 0.0};
    return fitSections({modeZeroRadialBiquads().sections[order][0], neutral},
                       fitPoints(order, radialLimitEndHz(order)));
}

// Orders 2 and 3: the sections only shape the magnitude, leaving the FIR a
// smooth, nearly flat residual. They start from the target's asymptotes: the
// limit's poles (all at its corner), one zero at 0 Hz (the limited response
// rises as f there) and zeros at the sphere's corner c / r for the rise of the
// inverse above it.
std::array<BiquadSection, kFreeSections> sectionsForMagnitude(int order)
{
    const double pole = std::exp(-2.0 * kPi * limitCorners()[order] / kDesignRate);
    const double zero = std::exp(-1.0 / (kSphereDelay * kDesignRate));
    std::array<BiquadSection, kFreeSections> start{
        BiquadSection{1.0, -(1.0 + zero), zero, 1.0, -2.0 * pole, pole * pole},
        BiquadSection{1.0, -2.0 * zero, zero * zero, 1.0, -2.0 * pole, pole * pole}};
    const double referenceHz = 1000.0;
    const double gain = std::abs(radialEqualiserTarget(order, referenceHz) /
                                 (biquadResponse(radialHighPass(), referenceHz, kDesignRate) *
                                  biquadResponse(start[0], referenceHz, kDesignRate) *
                                  biquadResponse(start[1], referenceHz, kDesignRate)));
    for (double* b : {&start[0].b0, &start[0].b1, &start[0].b2}) *b *= gain;
    return fitSections(start, fitPoints(order, 1e9));
}

// Relative least squares of the FIR against what the sections leave of the
// target, delayed by the FIR's centre tap.
std::vector<double> firForResidual(int order, const RadialBiquadSet& biquads)
{
    const int length = kRadialFirLengths[order];
    const int centre = (length - 1) / 2;
    auto residual = [&](double hz) {
        const double f = std::max(hz, 1.0);
        return radialEqualiserTarget(order, f) / radialBiquadResponse(biquads, order, f, kDesignRate) *
               delayResponse(centre, hz);
    };
    auto weight = [&](double hz) {
        const double band = hz < 40.0 ? 0.05 : (hz <= 12000.0 ? 1.0 : 0.02);
        return band / std::norm(residual(hz));
    };
    return LeastSquaresFir(length, weight).fit(residual);
}

RadialEqualiser designModeOne()
{
    RadialEqualiser equaliser;
    for (int n = 0; n <= kMaxOrder; ++n) {
        const auto free = kRadialFirLengths[n] == 1 ? sectionsForPhase(n) : sectionsForMagnitude(n);
        equaliser.biquads.sectionCounts[n] = kFreeSections + 1;
        equaliser.biquads.sections[n] = {free[0], free[1], radialHighPass()};
    }
    for (int n = 0; n <= kMaxOrder; ++n)
        equaliser.firTaps[n] = kRadialFirLengths[n] == 1 ? std::vector<double>{1.0} : firForResidual(n, equaliser.biquads);
    return equaliser;
}

}  // namespace

double radialLimitEndHz(int order)
{
    // L_n = 0.99 where (f_n / f)^(2 p_n) = 1 / 0.99^2 - 1.
    return limitCorners()[order] / std::pow(1.0 / (0.99 * 0.99) - 1.0, 0.5 / kLimitSteepness[order]);
}

double radialGainLimit(int order, double hz) { return limitShape(order, limitCorners()[order], hz); }

std::complex<double> radialEqualiserTarget(int order, double hz)
{
    return biquadResponse(radialHighPass(), hz, kDesignRate) * radialGainLimit(order, hz) *
           advancedInverse(order, hz);
}

const RadialEqualiser& modeOneRadialEqualiser()
{
    static const RadialEqualiser equaliser = designModeOne();
    return equaliser;
}

}  // namespace orvelan::design
